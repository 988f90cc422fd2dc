#include "PanelBrowser.h"

#include "ChildControlDlg.h"
#include "PackOptimisation.h"
#include "PatchDlg.h"
#include "UpdateProtocol.h"

PanelBrowser::PanelBrowser() : m_ole(::OleInitialize(nullptr)), m_handOff(this) {}

PanelBrowser::~PanelBrowser() {
  m_control.DestroyControl();
  if (m_control.m_hWnd != nullptr) m_control.DestroyWindow();
  if (SUCCEEDED(m_ole)) ::OleUninitialize();
}

bool PanelBrowser::Navigate(CChildControlDlg* panel, const RECT& rect, const char* url) {
  if (panel == nullptr || panel->m_hWnd == nullptr) return false;
  m_panel = panel;
  if (m_control.m_hWnd == nullptr) {
    const RECT at = {rect.left, rect.top, rect.left + rect.right, rect.top + rect.bottom};
    m_control.SetUrlHandler(&PanelBrowser::OnUrl, this);
    m_control.CreateControl("", WS_VISIBLE, at, panel, CChildControlDlg::kBrowserId);
  } else {
    m_control.MoveWindow(rect.left, rect.top, rect.right, rect.bottom, TRUE);
  }
  return m_control.NavigateUncached(url);
}

void PanelBrowser::OnUrl(void* context, const wchar_t* url) {
  PanelBrowser* self = static_cast<PanelBrowser*>(context);
  if (self->m_panel != nullptr) self->m_panel->OnTranslateUrl(url);
}

WebLoginResult PanelBrowser::OnTranslateUrl(const wchar_t* url) { return m_handOff.OnTranslateUrl(url); }

bool PanelBrowser::HandOffBlocked() {
  // Ending now would leave a pack half compacted; a later login may still go.
  return IsPackOptimisationRunning() || TheMainWindow() == nullptr;
}

void PanelBrowser::StartGameWithLogin(int32_t area, const std::string& args) {
  CPatchDlg* main = TheMainWindow();
  if (main == nullptr) return;
  if (UpdateRun* run = main->Run()) run->SetLauncherLoginArgs(args.c_str());
  main->User().bigArea = area;
  main->SaveUserConfig();
  main->SendMessage(WM_START_GAME);
}
