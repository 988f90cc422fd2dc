// The panel's popups and its browser, behind the calls the panel makes.
#include "PanelPopups.h"

#include <string>
#include <vector>

#include "ChildControlDlg.h"
#include "LauncherIni.h"
#include "OptimizationDlg.h"
#include "PatchDlg.h"
#include "SelectLineDlg.h"
#include "UpdateContext.h"
#include "UpdateNotesDlg.h"

namespace {

// The line popup's choice: the main window's line, the panel's caption and config.xml.
class PanelLineChoice : public ILineChoiceHost {
 public:
  PanelLineChoice(CPatchDlg* main, CChildControlDlg* panel) : m_main(main), m_panel(panel) {}
  void ChooseLine(int32_t line) override {
    m_main->User().line = line;
    m_panel->SetLineButtonText(line);
    m_main->SaveUserConfig();
  }

 private:
  CPatchDlg* m_main;
  CChildControlDlg* m_panel;
};

}  // namespace

namespace PanelPopups {

INT_PTR RunLineChoice(CChildControlDlg* panel) {
  CPatchDlg* main = TheMainWindow();
  if (panel == nullptr || main == nullptr) return -1;
  PanelLineChoice host(main, panel);
  CDlg_selectline popup(panel, main->LayoutData(), &host);
  return popup.DoModal();
}

INT_PTR RunOptimisation(CChildControlDlg* panel) {
  CPatchDlg* main = TheMainWindow();
  if (panel == nullptr || main == nullptr) return -1;
  CDlg_Optimization popup(panel, DefaultOptimisationChecks(main->LayoutData().exeName));
  return popup.DoModal();
}

INT_PTR RunUpdateNotes(CChildControlDlg* panel) {
  CPatchDlg* main = TheMainWindow();
  if (panel == nullptr || main == nullptr) return -1;
  std::vector<VersionStep> steps;
  std::string newVersion;
  if (UpdateRun* run = main->Run()) run->Context().VersionChain(&steps, &newVersion);
  CDlg_agreement popup(panel, std::move(steps), std::move(newVersion));
  return popup.DoModal();
}

void NavigateBrowser(CChildControlDlg* panel) {
  CPatchDlg* main = TheMainWindow();
  if (panel == nullptr || main == nullptr) return;
  const LauncherCfg::LayoutRect& r = main->LayoutData().browser;
  panel->Browser().Navigate(panel, RECT{r.left, r.top, r.right, r.bottom},
                            LauncherCfg::GetLauncherIni().browser.c_str());
}

}  // namespace PanelPopups

void CChildControlDlg::OnTranslateUrl(const wchar_t* url) { m_browser.OnTranslateUrl(url); }
