#include "WebBrowser2.h"

#include <wininet.h>

#include <string>

#include "common/EngineFun/Helper.h"
#include "common/StrUtil.h"

namespace {

const char kContainerClass[] = "ZarnBrowserContainer";

// The container paints nothing itself: the control covers it.
bool RegisterContainerClass() {
  static const bool registered = [] {
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kContainerClass;
    return ::RegisterClassA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

template <class T> void ReleaseRef(T*& p) {
  if (p != nullptr) p->Release();
  p = nullptr;
}

// A BSTR owned for one call.
class ScopedBstr {
 public:
  explicit ScopedBstr(const std::wstring& text) : m_text(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~ScopedBstr() { ::SysFreeString(m_text); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  BSTR Get() const { return m_text; }

 private:
  BSTR m_text;
};

}  // namespace

BEGIN_MESSAGE_MAP(CWebBrowser2, CWnd)
ON_MESSAGE(WM_SIZE, &CWebBrowser2::OnSizeMsg)
ON_MESSAGE(WM_DESTROY, &CWebBrowser2::OnDestroyMsg)
END_MESSAGE_MAP()

CWebBrowser2::CWebBrowser2() {}

CWebBrowser2::~CWebBrowser2() {
  DestroyControl();
  if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this) DestroyWindow();
}

BOOL CWebBrowser2::CreateControl(const char* windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  if (m_hWnd != nullptr || parent == nullptr || !RegisterContainerClass()) return FALSE;
  if (!CreateEx(0, kContainerClass, windowName, style | WS_CHILD | WS_CLIPCHILDREN, rect, parent, id)) {
    ENGINE_ASSERT(false && "浏览器窗口创建失败");
    return FALSE;
  }
  HRESULT hr = ::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(&m_object));
  if (FAILED(hr) || m_object == nullptr) {
    m_object = nullptr;
    ENGINE_ASSERT(false && "浏览器控件创建失败");
    return FALSE;
  }
  m_site = new CCustomControlSite(m_hWnd);
  m_site->SetUrlHandler(m_urlHandler, m_urlContext);
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  bool ok = SUCCEEDED(m_object->SetClientSite(static_cast<IOleClientSite*>(m_site)));
  ::OleSetContainedObject(m_object, TRUE);
  ok = ok && SUCCEEDED(m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(m_site), 0,
                                        m_hWnd, &client));
  ok = ok && SUCCEEDED(m_object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser)));
  if (ok) {
    m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&m_inPlace));
    m_object->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&m_active));
    if (m_inPlace != nullptr) m_inPlace->SetObjectRects(&client, &client);
  } else {
    ENGINE_ASSERT(false && "浏览器控件激活失败");
    DestroyControl();
  }
  return ok ? TRUE : FALSE;
}

void CWebBrowser2::ReleaseAll() {
  ReleaseRef(m_active);
  ReleaseRef(m_browser);
  ReleaseRef(m_inPlace);
  ReleaseRef(m_object);
  if (m_site != nullptr) {
    m_site->Detach();
    m_site->Release();
    m_site = nullptr;
  }
}

void CWebBrowser2::DestroyControl() {
  if (m_inPlace != nullptr) m_inPlace->InPlaceDeactivate();
  if (m_object != nullptr) {
    m_object->Close(OLECLOSE_NOSAVE);
    m_object->SetClientSite(nullptr);
  }
  ReleaseAll();
}

void CWebBrowser2::SetUrlHandler(BrowserUrlHandler handler, void* context) {
  m_urlHandler = handler;
  m_urlContext = context;
  if (m_site != nullptr) m_site->SetUrlHandler(handler, context);
}

IOleClientSite* CWebBrowser2::Site() const { return m_site; }

bool CWebBrowser2::Navigate(const char* url) {
  if (m_browser == nullptr || url == nullptr) return false;
  ScopedBstr address(StrUtil::AnsiToWide(url));
  VARIANT empty;
  ::VariantInit(&empty);
  return SUCCEEDED(m_browser->Navigate(address.Get(), &empty, &empty, &empty, &empty));
}

bool CWebBrowser2::NavigateUncached(const char* url) {
  if (url != nullptr) ::DeleteUrlCacheEntryA(url);
  return Navigate(url);
}

BOOL CWebBrowser2::PreTranslateMessage(MSG* msg) {
  if (m_active == nullptr || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return FALSE;
  return m_active->TranslateAccelerator(msg) == S_OK;
}

LRESULT CWebBrowser2::OnSizeMsg(WPARAM, LPARAM) {
  if (m_inPlace != nullptr) {
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    m_inPlace->SetObjectRects(&client, &client);
  }
  return Default();
}

LRESULT CWebBrowser2::OnDestroyMsg(WPARAM, LPARAM) {
  DestroyControl();
  return Default();
}
