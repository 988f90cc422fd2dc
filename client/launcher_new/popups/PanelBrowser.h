// The panel's web page: the browser control (id 1060) made at the layout's
// browser rectangle on first use, and the page's one login hand-off.
#pragma once
#include <string>

#include "WebBrowser2.h"
#include "WebLogin.h"

class CChildControlDlg;
class CPatchDlg;

class PanelBrowser : public IWebLoginTarget {
 public:
  PanelBrowser();
  ~PanelBrowser() override;
  PanelBrowser(const PanelBrowser&) = delete;
  PanelBrowser& operator=(const PanelBrowser&) = delete;

  // Places the control at rect (x, y, width, height) in the panel, making it
  // when it is not there, and loads url anew. False when there is no
  // control or the page cannot be asked for.
  bool Navigate(CChildControlDlg* panel, const RECT& rect, const char* url);
  // Every address the page is about to open.
  WebLoginResult OnTranslateUrl(const wchar_t* url);
  bool LoginHandedOff() const { return m_handOff.Done(); }
  CWebBrowser2& Control() { return m_control; }

  // IWebLoginTarget: the main window of the panel the control lives in.
  bool HandOffBlocked() override;
  void StartGameWithLogin(int32_t area, const std::string& args) override;

 private:
  static void OnUrl(void* context, const wchar_t* url);

  HRESULT m_ole;  // in-place activation needs OLE, not only COM
  CChildControlDlg* m_panel = nullptr;
  CWebBrowser2 m_control;
  WebLoginHandOff m_handOff;
};
