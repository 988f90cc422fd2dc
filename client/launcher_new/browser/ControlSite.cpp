#include "ControlSite.h"

#include <string>

#include "ScriptExternal.h"
#include "common/EngineFun/ReportSink.h"
#include "common/StrUtil.h"

bool IsBrowserKeySwallowed(const MSG* msg) {
  if (msg == nullptr || msg->message != WM_KEYDOWN) return false;
  if (GetAsyncKeyState(VK_F5) < 0) return true;
  return GetKeyState(VK_CONTROL) < 0 &&
         (GetAsyncKeyState('O') < 0 || GetAsyncKeyState('P') < 0 || GetAsyncKeyState('N') < 0);
}

CCustomControlSite::CCustomControlSite(HWND container)
    : m_container(container), m_xDocHostUIHandler(this), m_xDocHostShowUI(this) {}

void CCustomControlSite::SetUrlHandler(BrowserUrlHandler handler, void* context) {
  m_urlHandler = handler;
  m_urlContext = context;
}

void CCustomControlSite::Detach() {
  m_container = nullptr;
  m_urlHandler = nullptr;
  m_urlContext = nullptr;
}

STDMETHODIMP CCustomControlSite::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
    *object = static_cast<IOleClientSite*>(this);
  else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite))
    *object = static_cast<IOleInPlaceSite*>(this);
  else if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame))
    *object = static_cast<IOleInPlaceFrame*>(this);
  else if (IsEqualIID(iid, __uuidof(IDocHostUIHandler)))
    *object = static_cast<IDocHostUIHandler*>(&m_xDocHostUIHandler);
  else if (IsEqualIID(iid, __uuidof(IDocHostShowUI)))
    *object = static_cast<IDocHostShowUI*>(&m_xDocHostShowUI);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CCustomControlSite::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }

STDMETHODIMP_(ULONG) CCustomControlSite::Release() {
  LONG left = InterlockedDecrement(&m_refs);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

STDMETHODIMP CCustomControlSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) *moniker = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP CCustomControlSite::GetContainer(IOleContainer** container) {
  if (container != nullptr) *container = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP CCustomControlSite::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = m_container;
  return m_container != nullptr ? S_OK : E_FAIL;
}

STDMETHODIMP CCustomControlSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                                  LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
  if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr || info == nullptr)
    return E_POINTER;
  *frame = static_cast<IOleInPlaceFrame*>(this);
  AddRef();
  *document = nullptr;
  RECT client = {0, 0, 0, 0};
  if (m_container != nullptr) ::GetClientRect(m_container, &client);
  *position = client;
  *clip = client;
  info->fMDIApp = FALSE;
  info->hwndFrame = m_container != nullptr ? ::GetAncestor(m_container, GA_ROOT) : nullptr;
  info->haccel = nullptr;
  info->cAccelEntries = 0;
  return S_OK;
}

void CCustomControlSite::HandUrl(const wchar_t* url) {
  if (m_urlHandler != nullptr) m_urlHandler(m_urlContext, url);
}

STDMETHODIMP CCustomControlSite::XDocHostUIHandler::GetHostInfo(DOCHOSTUIINFO* info) {
  if (info == nullptr) return E_POINTER;
  info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER;
  info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
  return S_OK;
}

STDMETHODIMP CCustomControlSite::XDocHostUIHandler::TranslateAccelerator(LPMSG msg, const GUID*, DWORD) {
  return IsBrowserKeySwallowed(msg) ? S_OK : S_FALSE;
}

STDMETHODIMP CCustomControlSite::XDocHostUIHandler::GetExternal(IDispatch** dispatch) {
  if (dispatch == nullptr) return E_POINTER;
  CImpIDispatch* external = ScriptExternal();
  *dispatch = external;
  if (external == nullptr) return E_NOTIMPL;
  external->AddRef();
  return S_OK;
}

STDMETHODIMP CCustomControlSite::XDocHostUIHandler::TranslateUrl(DWORD, LPWSTR urlIn, LPWSTR* urlOut) {
  if (urlOut != nullptr) *urlOut = nullptr;
  if (urlIn != nullptr) m_site->HandUrl(urlIn);
  return E_NOTIMPL;
}

STDMETHODIMP CCustomControlSite::XDocHostShowUI::ShowMessage(HWND owner, LPOLESTR text, LPOLESTR, DWORD, LPOLESTR,
                                                             DWORD, LRESULT*) {
  // Converted at the length the text needs: a script's message has no bound.
  const std::string message = StrUtil::WideToAnsi(text);
  EngineFunc::ShowMessageBox(owner, message.c_str(), "launcher", MB_ICONERROR);
  return S_OK;
}
