// The panel's popups (line choice, pack optimisation, update notes) and its
// browser live in their own module; the panel only calls these.
#pragma once
#include <windows.h>

class CChildControlDlg;

namespace PanelPopups {

// Each runs its popup modally over the panel; -1 when it could not be shown.
INT_PTR RunLineChoice(CChildControlDlg* panel);
INT_PTR RunOptimisation(CChildControlDlg* panel);
INT_PTR RunUpdateNotes(CChildControlDlg* panel);
// Places the browser (control 1060) at the layout's browser rectangle and
// loads the launcher.ini page.
void NavigateBrowser(CChildControlDlg* panel);

}  // namespace PanelPopups
