// CWebBrowser2: the WebBrowser ActiveX control inside a child window of its
// own. There is no control container in our window layer, so the control
// is made in code: the container window takes the control id and the
// rectangle, the control is activated in place inside it through our site,
// follows its size, and is closed when it goes.
#pragma once
#include <windows.h>
#include <exdisp.h>
#include <oleidl.h>

#include "ControlSite.h"
#include "afx/AfxWnd.h"

class CWebBrowser2 : public CWnd {
  DECLARE_MESSAGE_MAP()

 public:
  CWebBrowser2();
  ~CWebBrowser2() override;

  // The container child window (id, rectangle in the parent's client area)
  // with the control in place in it; FALSE when either cannot be made (the
  // window may then exist without a control). Needs COM on this thread.
  BOOL CreateControl(const char* windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  // Closes the control; the container window stays.
  void DestroyControl();
  bool HasControl() const { return m_browser != nullptr; }

  // Every address the page is about to open goes to handler first.
  void SetUrlHandler(BrowserUrlHandler handler, void* context);

  // The control's Navigate with the address and nothing else.
  bool Navigate(const char* url);
  // The same after the address is dropped from the browser cache, so the
  // page is fetched anew.
  bool NavigateUncached(const char* url);

  IWebBrowser2* Browser() const { return m_browser; }
  // The site the control talks to (no reference added).
  IOleClientSite* Site() const;

  // Key messages for the browser's windows go to the control's accelerator
  // translation first (the document host's key filter answers there).
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  LRESULT OnSizeMsg(WPARAM, LPARAM);
  LRESULT OnDestroyMsg(WPARAM, LPARAM);

 private:
  void ReleaseAll();

  CCustomControlSite* m_site = nullptr;  // one reference held
  IOleObject* m_object = nullptr;
  IOleInPlaceObject* m_inPlace = nullptr;
  IOleInPlaceActiveObject* m_active = nullptr;
  IWebBrowser2* m_browser = nullptr;
  BrowserUrlHandler m_urlHandler = nullptr;
  void* m_urlContext = nullptr;
};
