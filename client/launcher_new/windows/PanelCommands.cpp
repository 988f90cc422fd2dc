// What the panel's buttons do, and the panel operations the main window,
// the update run and the popups call.
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "ChildControlDlg.h"
#include "FatalExit.h"
#include "PanelPopups.h"
#include "PatchDlg.h"
#include "ProcessChecks.h"
#include "UpdateProtocol.h"
#include "afx/AfxScoped.h"
#include "common/EngineFun/Helper.h"
#include "common/EngineFun/ReportSink.h"

namespace {

CSkinButton* AreaButtonOf(std::map<int, CSkinButton*>& map, int area) {
  auto found = map.find(area);
  return found == map.end() ? nullptr : found->second;
}

}  // namespace

void CChildControlDlg::SaveSettings() { m_main->SaveUserConfig(); }

void CChildControlDlg::OnStart() {
  if (m_buttons[PanelLayout::kStart].IsDisabledLook() || !m_main->User().agree) return;
  if (m_main->User().bigArea == -1) {
    EngineFunc::ShowMessageBox(m_hWnd, "请选择服务器!", nullptr, MB_OK);
    return;
  }
  m_main->SendMessage(WM_RUN_VERSION_UPDATE);
}

void CChildControlDlg::OnMinimize() {
  CWinApp* app = AfxGetApp();
  if (app != nullptr && app->m_pMainWnd != nullptr) app->m_pMainWnd->ShowWindow(SW_MINIMIZE);
}

void CChildControlDlg::OnExit() { QuitLauncher(false); }

void CChildControlDlg::OnLink(UINT id) {
  static const struct {
    UINT id;
    size_t record;
  } kLinks[] = {{1003, 4}, {1004, 5}, {1006, 6}, {1007, 7}, {1008, 8}};
  const std::vector<LauncherCfg::ButtonStyle>& styles = m_main->LayoutData().buttons;
  for (const auto& link : kLinks) {
    if (link.id != id) continue;
    if (link.record >= styles.size()) return;
    HINSTANCE result =
        ::ShellExecuteA(nullptr, "open", styles[link.record].href.c_str(), nullptr, nullptr, SW_HIDE);
    if (reinterpret_cast<INT_PTR>(result) <= 32) {
      HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
      ::SendMessageA(owner, LinkClickedMessage(), static_cast<WPARAM>(::GetDlgCtrlID(m_hWnd)), 0);
    }
    return;
  }
}

void CChildControlDlg::OnSettings() { StartSettingsProgram(); }

void CChildControlDlg::StartSettingsProgram() {
  if (m_buttons[PanelLayout::kSettings].IsDisabledLook()) return;
  const std::string& program = m_main->LayoutData().setExeName;
  // Processes are counted by their file name, so the layout's path is cut to it.
  size_t slash = program.find_last_of("\\/");
  std::string fileName = slash == std::string::npos ? program : program.substr(slash + 1);
  if (CountProcessesByName(fileName.c_str()) > 0) return;
  CRect r;
  GetWindowRect(&r);
  char line[100];
  EngineFunc::EngineFunc_Sprintf(line, sizeof line, "%d,%d,%d,%d;", static_cast<int>(r.left), static_cast<int>(r.top),
                                 static_cast<int>(r.right), static_cast<int>(r.bottom));
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (::CreateProcessA(program.c_str(), line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    afx::ScopedHandle process(info.hProcess), thread(info.hThread);
  }
}

void CChildControlDlg::OnLine() { PanelPopups::RunLineChoice(this); }

void CChildControlDlg::OnOptimize() {
  if (m_buttons[PanelLayout::kOptimize].IsDisabledLook()) return;
  PanelPopups::RunOptimisation(this);
}

void CChildControlDlg::OnUpdateNotes() { PanelPopups::RunUpdateNotes(this); }

void CChildControlDlg::OnAgree() {
  if (!m_main->User().agree) {
    // Accepting goes through the notes popup; the box stays as it is here.
    PanelPopups::RunUpdateNotes(this);
    return;
  }
  m_main->User().agree = 0;
  m_buttons[PanelLayout::kAgree].DisableButton();
  m_buttons[PanelLayout::kStart].DisableButton();
  SaveSettings();
}

void CChildControlDlg::SetAgreeChecked(bool checked) {
  m_main->User().agree = checked ? 1 : 0;
  if (checked) {
    m_buttons[PanelLayout::kAgree].EnableButton();
    UpdateRun* run = m_main->Run();
    if (run != nullptr && run->Stage() == UpdateStage::Done) m_buttons[PanelLayout::kStart].EnableButton();
  } else {
    m_buttons[PanelLayout::kAgree].DisableButton();
    m_buttons[PanelLayout::kStart].DisableButton();
  }
  SaveSettings();
}

void CChildControlDlg::SetLineButtonText(int line) {
  const LauncherCfg::LauncherLayout& layout = m_main->LayoutData();
  const std::string& tip = line == 1 ? layout.lineTelecom.tip : line == 2 ? layout.lineNetcom.tip : layout.lineAuto.tip;
  CSkinButton& button = m_buttons[PanelLayout::kLine];
  button.SetButtonText(tip.c_str());
  button.SetTextColor(RGB(layout.font2.color.red & 0xFF, layout.font2.color.green & 0xFF,
                          layout.font2.color.blue & 0xFF));
  if (button.m_hWnd != nullptr) button.Invalidate(TRUE);
}

void CChildControlDlg::OnAreaButton(UINT id) { OnArea(static_cast<int>(id) - PanelLayout::kButtonIds[PanelLayout::kFirstAreaButton]); }

void CChildControlDlg::OnArea(int area) {
  bool all = true;
  for (int i = 0; i < PanelLayout::kAreaCount; ++i)
    all = all && m_buttons[PanelLayout::kFirstAreaButton + i].m_hWnd != nullptr;
  if (all) {
    for (int i = 0; i < PanelLayout::kAreaCount; ++i) {
      CSkinButton& button = m_buttons[PanelLayout::kFirstAreaButton + i];
      button.SetSelected(i == area);
      button.Invalidate(TRUE);
    }
  }
  m_main->User().bigArea = area;
  SaveSettings();
}

void CChildControlDlg::ShowAreaButton(int area, bool move) {
  // The number comes from the downloaded area list.
  if (area < 0 || area >= PanelLayout::kAreaCount) return;
  CSkinButton* button = AreaButtonOf(m_areaMap, area);
  if (button == nullptr || button->m_hWnd == nullptr) return;
  LauncherCfg::LayoutRect to;
  if (move && PanelLayout::AreaMoveTarget(m_main->LayoutData().buttons, area, &to))
    button->MoveWindow(to.left, to.top, to.right, to.bottom, TRUE);
  button->ShowWindow(SW_SHOW);
}

void CChildControlDlg::NavigateBrowser() { PanelPopups::NavigateBrowser(this); }

void CChildControlDlg::QuitLauncher(bool restart) {
  if (m_buttons[PanelLayout::kExit].IsDisabledLook()) return;
  CWinApp* app = AfxGetApp();
  if (app != nullptr && app->m_pMainWnd != nullptr) app->m_pMainWnd->ShowWindow(SW_MINIMIZE);
  if (UpdateRun* run = m_main->Run()) run->BeginQuit();
  ::Sleep(1000);
  if (restart) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof path - 1);
    ::ShellExecuteA(nullptr, "open", path, "zarn_restart", nullptr, SW_HIDE);
  }
  LauncherCfg::EndLauncherProcess(-1);
}
