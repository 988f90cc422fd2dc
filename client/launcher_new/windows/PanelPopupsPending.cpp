// The popups and the browser are not built yet: nothing opens, and the
// callers are told so.
#include "PanelPopups.h"

#include "common/EngineFun/Helper.h"

namespace PanelPopups {

INT_PTR RunLineChoice(CChildControlDlg*) { return -1; }
INT_PTR RunOptimisation(CChildControlDlg*) { return -1; }
INT_PTR RunUpdateNotes(CChildControlDlg*) { return -1; }
void NavigateBrowser(CChildControlDlg*) {}

}  // namespace PanelPopups
