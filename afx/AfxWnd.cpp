#include "AfxWnd.h"

#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>

#include "common/EngineFun/Helper.h"

namespace {

struct HandleMap {
  std::mutex lock;
  std::unordered_map<HWND, CWnd*> objects;
};

HandleMap& Handles() {
  static HandleMap map;
  return map;
}

void Bind(HWND hwnd, CWnd* wnd) {
  std::lock_guard<std::mutex> hold(Handles().lock);
  Handles().objects[hwnd] = wnd;
}

void Forget(HWND hwnd) {
  std::lock_guard<std::mutex> hold(Handles().lock);
  Handles().objects.erase(hwnd);
}

}  // namespace

CWnd* afx::ChildFromHandle(CWnd* parent, HWND child) {
  if (CWnd* bound = CWnd::FromHandlePermanent(child)) return bound;
  return child ? parent->GetDlgItem(GetDlgCtrlID(child)) : nullptr;
}

const AfxMsgMap* CWnd::ClassMessageMap() {
  static const AfxMsgEntry entries[] = {{0, 0, 0, 0, nullptr}};
  static const AfxMsgMap map = {nullptr, entries};
  return &map;
}

CWnd::CWnd() {}

CWnd::~CWnd() {
  // Only a window bound to this object is destroyed with it.
  if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this) DestroyWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  std::lock_guard<std::mutex> hold(Handles().lock);
  auto it = Handles().objects.find(hwnd);
  return it == Handles().objects.end() ? nullptr : it->second;
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
  if (hwnd == nullptr || !::IsWindow(hwnd)) {
    ENGINE_ASSERT(false && "SubclassWindow: no window");
    return FALSE;
  }
  if (m_hWnd != nullptr || FromHandlePermanent(hwnd) != nullptr) {
    ENGINE_ASSERT(false && "SubclassWindow: already bound");
    return FALSE;
  }
  m_hWnd = hwnd;
  Bind(hwnd, this);
  m_oldProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  return SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

void CWnd::Unbind() {
  if (m_hWnd == nullptr) return;
  if (m_oldProc != nullptr) ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_oldProc));
  Forget(m_hWnd);
  m_oldProc = nullptr;
  m_hWnd = nullptr;
  m_items.clear();
}

HWND CWnd::UnsubclassWindow() {
  HWND hwnd = m_hWnd;
  Unbind();
  return hwnd;
}

namespace {

bool IsOwnClass(const char* className) {
  WNDCLASSEXA info = {};
  info.cbSize = sizeof(info);
  return ::GetClassInfoExA(::GetModuleHandleA(nullptr), className, &info) && info.lpfnWndProc == &AfxWndProc;
}

}  // namespace

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* text, DWORD style, const RECT& r,
                    CWnd* parent, UINT_PTR idOrMenu) {
  if (m_hWnd != nullptr) {
    ENGINE_ASSERT(false && "CreateEx: already bound");
    return FALSE;
  }
  bool own = className != nullptr && IsOwnClass(className);
  HWND hwnd = ::CreateWindowExA(exStyle, className, text, style, r.left, r.top, r.right - r.left,
                                r.bottom - r.top, parent ? parent->m_hWnd : nullptr,
                                reinterpret_cast<HMENU>(idOrMenu), ::GetModuleHandleA(nullptr),
                                own ? this : nullptr);
  if (hwnd == nullptr) return FALSE;
  return own ? m_hWnd == hwnd : SubclassWindow(hwnd);
}

const char* AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon) {
  static std::mutex lock;
  static std::set<std::string> names;
  char name[96];
  snprintf(name, sizeof name, "ZarnWnd:%x:%p:%p:%p", classStyle, static_cast<void*>(cursor),
           static_cast<void*>(background), static_cast<void*>(icon));
  std::lock_guard<std::mutex> hold(lock);
  auto found = names.find(name);
  if (found != names.end()) return found->c_str();
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = classStyle;
  wc.lpfnWndProc = &AfxWndProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.hCursor = cursor;
  wc.hbrBackground = background;
  wc.hIcon = icon;
  wc.lpszClassName = name;
  if (!::RegisterClassExA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
  return names.insert(name).first->c_str();
}

BOOL CWnd::DestroyWindow() {
  if (m_hWnd == nullptr) return FALSE;
  HWND hwnd = m_hWnd;
  BOOL ok = ::DestroyWindow(hwnd);
  // A window of another thread cannot be destroyed here; forget it anyway.
  if (m_hWnd == hwnd) Unbind();
  return ok;
}

LRESULT CWnd::Default() {
  if (m_current == nullptr) return 0;
  const MSG& m = *m_current;
  if (m_oldProc != nullptr) return ::CallWindowProcA(m_oldProc, m.hwnd, m.message, m.wParam, m.lParam);
  return ::DefWindowProcA(m.hwnd, m.message, m.wParam, m.lParam);
}

bool CWnd::DispatchMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  UINT id = LOWORD(wParam), code = HIWORD(wParam);
  for (const AfxMsgMap* map = GetMessageMap(); map != nullptr; map = map->base) {
    for (const AfxMsgEntry* e = map->entries; e->message != 0; ++e) {
      if (e->message != message) continue;
      if (message == WM_COMMAND && (e->code != code || id < e->idFirst || id > e->idLast)) continue;
      *result = e->thunk(this, message, wParam, lParam);
      return true;
    }
  }
  return false;
}

bool CWnd::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message != WM_DRAWITEM) return false;
  const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  if (item == nullptr || item->CtlType == ODT_MENU) return false;
  CWnd* child = FromHandlePermanent(item->hwndItem);
  return child != nullptr && child != this && child->OnChildNotify(message, wParam, lParam, result);
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (DispatchMap(message, wParam, lParam, &result)) return result;
  if (ReflectToChild(message, wParam, lParam, &result)) return result;
  return Default();
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

namespace {

UINT TaskMessage() {
  static const UINT message = ::RegisterWindowMessageA("ZarnWindowTask");
  return message;
}

// Tasks in flight by number: the message carries the number, never a
// pointer, so a message from elsewhere runs nothing.
struct TaskTable {
  std::mutex lock;
  LPARAM next = 0;
  std::map<LPARAM, const std::function<void()>*> tasks;
};

TaskTable& Tasks() {
  static TaskTable table;
  return table;
}

void RunTask(LPARAM number) {
  const std::function<void()>* task = nullptr;
  {
    std::lock_guard<std::mutex> hold(Tasks().lock);
    auto found = Tasks().tasks.find(number);
    if (found == Tasks().tasks.end()) return;
    task = found->second;
    Tasks().tasks.erase(found);
  }
  (*task)();
}

}  // namespace

bool afx::RunOnWindowThread(HWND hwnd, const std::function<void()>& task) {
  if (hwnd == nullptr || !::IsWindow(hwnd)) return false;
  if (::GetWindowThreadProcessId(hwnd, nullptr) == ::GetCurrentThreadId()) {
    task();
    return true;
  }
  LPARAM number;
  {
    std::lock_guard<std::mutex> hold(Tasks().lock);
    number = ++Tasks().next;
    Tasks().tasks[number] = &task;
  }
  ::SendMessageA(hwnd, TaskMessage(), 0, number);
  std::lock_guard<std::mutex> hold(Tasks().lock);
  // Still listed: the window never ran it (it went away meanwhile).
  return Tasks().tasks.erase(number) == 0;
}

LRESULT CALLBACK AfxWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* wnd = CWnd::FromHandlePermanent(hwnd);
  if (wnd == nullptr && message == WM_NCCREATE) {
    // Our own classes carry the object in the create parameters.
    const CREATESTRUCTA* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    wnd = cs != nullptr ? static_cast<CWnd*>(cs->lpCreateParams) : nullptr;
    if (wnd != nullptr && wnd->m_hWnd == nullptr) {
      wnd->m_hWnd = hwnd;
      Bind(hwnd, wnd);
    } else {
      wnd = nullptr;
    }
  }
  if (wnd == nullptr) return ::DefWindowProcA(hwnd, message, wParam, lParam);
  if (message == TaskMessage() && message != 0) {
    RunTask(lParam);
    return 0;
  }
  MSG msg = {hwnd, message, wParam, lParam, 0, {0, 0}};
  const MSG* outer = wnd->m_current;
  wnd->m_current = &msg;
  LRESULT result = wnd->WindowProc(message, wParam, lParam);
  wnd->m_current = outer;
  if (message == WM_NCDESTROY && wnd->m_hWnd == hwnd) {
    wnd->Unbind();
    wnd->PostNcDestroy();
  }
  return result;
}

void AfxPumpMessage(MSG* msg) {
  for (HWND h = msg->hwnd; h != nullptr; h = ::GetParent(h)) {
    CWnd* wnd = CWnd::FromHandlePermanent(h);
    if (wnd != nullptr && wnd->PreTranslateMessage(msg)) return;
  }
  ::TranslateMessage(msg);
  ::DispatchMessageA(msg);
}

CWnd* CWnd::GetDlgItem(int id) {
  HWND item = ::GetDlgItem(m_hWnd, id);
  if (item == nullptr) return nullptr;
  if (CWnd* bound = FromHandlePermanent(item)) return bound;
  std::unique_ptr<CWnd>& slot = m_items[item];
  if (!slot) {
    slot.reset(new CWnd);
    slot->m_hWnd = item;  // a plain wrapper: not subclassed, not in the map
  }
  return slot.get();
}

CWnd* CWnd::GetParent() const { return FromHandlePermanent(::GetParent(m_hWnd)); }

void CWnd::GetWindowText(CString& text) const {
  int n = ::GetWindowTextLengthA(m_hWnd);
  char* buffer = text.GetBuffer(n + 1);
  int got = ::GetWindowTextA(m_hWnd, buffer, n + 1);
  text.ReleaseBuffer(got > 0 ? got : 0);
}

void CWnd::ScreenToClient(RECT* rect) const {
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add) {
  DWORD style = GetStyle(), changed = (style & ~remove) | add;
  if (changed == style) return FALSE;
  ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(changed));
  return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add) {
  DWORD style = GetExStyle(), changed = (style & ~remove) | add;
  if (changed == style) return FALSE;
  ::SetWindowLongPtrA(m_hWnd, GWL_EXSTYLE, static_cast<LONG_PTR>(changed));
  return TRUE;
}

CMenu* CWnd::GetSystemMenu(BOOL revert) {
  m_systemMenu.m_hMenu = ::GetSystemMenu(m_hWnd, revert);
  return m_systemMenu.m_hMenu ? &m_systemMenu : nullptr;
}
