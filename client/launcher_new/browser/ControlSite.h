// The host side of the embedded WebBrowser control: the client and in-place
// site the control lives in, its frame, and the document-host answers that
// shape the page: no context menu, no 3-D border, the refresh, open, print
// and new-window keys swallowed, script boxes shown as launcher error boxes,
// the script-callable external object, and every address the page is about
// to open handed to the owner before it proceeds unchanged.
#pragma once
#include <windows.h>
#include <mshtmhst.h>
#include <oleidl.h>

// Called for every address the page is about to open.
typedef void (*BrowserUrlHandler)(void* context, const wchar_t* url);

// Whether the browser swallows this key message: a WM_KEYDOWN while F5 is
// down, or while Control is down together with O, P or N.
bool IsBrowserKeySwallowed(const MSG* msg);

class CCustomControlSite : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  // container: the window the control is placed in (its client area).
  explicit CCustomControlSite(HWND container);
  CCustomControlSite(const CCustomControlSite&) = delete;
  CCustomControlSite& operator=(const CCustomControlSite&) = delete;

  void SetUrlHandler(BrowserUrlHandler handler, void* context);
  // The container is going away: the site answers without it from now on.
  void Detach();

  // IUnknown: one count for the site and its nested interfaces.
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
  STDMETHODIMP GetContainer(IOleContainer** container) override;
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(WINBOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (site and frame alike)
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(WINBOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(WINBOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  // The container's size rules; the control follows it on WM_SIZE.
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow, IOleInPlaceFrame: no menus, toolbars or status.
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(WINBOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // The document host's questions, answered for the site.
  class XDocHostUIHandler : public IDocHostUIHandler {
   public:
    explicit XDocHostUIHandler(CCustomControlSite* site) : m_site(site) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override { return m_site->QueryInterface(iid, object); }
    STDMETHODIMP_(ULONG) AddRef() override { return m_site->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return m_site->Release(); }
    STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return S_OK; }
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
    STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                        IOleInPlaceUIWindow*) override {
      return S_OK;
    }
    STDMETHODIMP HideUI() override { return S_OK; }
    STDMETHODIMP UpdateUI() override { return S_OK; }
    STDMETHODIMP EnableModeless(WINBOOL) override { return E_NOTIMPL; }
    STDMETHODIMP OnDocWindowActivate(WINBOOL) override { return E_NOTIMPL; }
    STDMETHODIMP OnFrameWindowActivate(WINBOOL) override { return E_NOTIMPL; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, WINBOOL) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG msg, const GUID*, DWORD) override;
    STDMETHODIMP GetOptionKeyPath(LPOLESTR*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget**) override { return E_NOTIMPL; }
    STDMETHODIMP GetExternal(IDispatch** dispatch) override;
    // Hands the address to the owner; never changes it.
    STDMETHODIMP TranslateUrl(DWORD, LPWSTR urlIn, LPWSTR* urlOut) override;
    STDMETHODIMP FilterDataObject(IDataObject*, IDataObject**) override { return E_NOTIMPL; }

   private:
    CCustomControlSite* m_site;
  };

  class XDocHostShowUI : public IDocHostShowUI {
   public:
    explicit XDocHostShowUI(CCustomControlSite* site) : m_site(site) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override { return m_site->QueryInterface(iid, object); }
    STDMETHODIMP_(ULONG) AddRef() override { return m_site->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return m_site->Release(); }
    // A script's box as a launcher error box; the browser shows none.
    STDMETHODIMP ShowMessage(HWND owner, LPOLESTR text, LPOLESTR, DWORD, LPOLESTR, DWORD, LRESULT*) override;
    STDMETHODIMP ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) override { return S_OK; }

   private:
    CCustomControlSite* m_site;
  };

 private:
  virtual ~CCustomControlSite() {}
  void HandUrl(const wchar_t* url);

  volatile LONG m_refs = 1;
  HWND m_container;
  BrowserUrlHandler m_urlHandler = nullptr;
  void* m_urlContext = nullptr;
  XDocHostUIHandler m_xDocHostUIHandler;
  XDocHostShowUI m_xDocHostShowUI;
};
