// CWnd: one object per window handle, with a table-driven message map.
//
// Every class with handlers lists them in a static table (BEGIN_MESSAGE_MAP
// ... END_MESSAGE_MAP); each entry names the message (and for WM_COMMAND the
// control id range and notification code) and a thunk that unpacks wParam
// and lParam for one handler signature. Dispatch walks the tables from the
// most derived class to CWnd's; the first match handles the message, nothing
// found means Default(), the window's previous window procedure.
//
// Objects are bound to handles by subclassing; the handle-to-object map is
// process-wide and locked, because worker threads call window methods too.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <memory>

#include "AfxGdi.h"
#include "AfxString.h"

class CWnd;

typedef LRESULT (*AfxMsgThunk)(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam);

struct AfxMsgEntry {
  UINT message;  // 0 ends a table
  UINT code;     // WM_COMMAND: the notification code (BN_CLICKED = 0)
  UINT idFirst;  // WM_COMMAND: control id range
  UINT idLast;
  AfxMsgThunk thunk;
};

struct AfxMsgMap {
  const AfxMsgMap* base;
  const AfxMsgEntry* entries;
};

namespace afx {

template <class F> struct MemberOf;
template <class C, class R, class... A> struct MemberOf<R (C::*)(A...)> { typedef C Class; };

template <auto F> typename MemberOf<decltype(F)>::Class* Self(CWnd* w) {
  return static_cast<typename MemberOf<decltype(F)>::Class*>(w);
}

// One thunk per handler signature.
template <auto F> LRESULT OnVoid(CWnd* w, UINT, WPARAM, LPARAM) { (Self<F>(w)->*F)(); return 0; }
template <auto F> LRESULT OnId(CWnd* w, UINT, WPARAM wp, LPARAM) { (Self<F>(w)->*F)(LOWORD(wp)); return 0; }
template <auto F> LRESULT OnRaw(CWnd* w, UINT, WPARAM wp, LPARAM lp) { return (Self<F>(w)->*F)(wp, lp); }
template <auto F> LRESULT OnMouse(CWnd* w, UINT, WPARAM wp, LPARAM lp) {
  (Self<F>(w)->*F)(static_cast<UINT>(wp), CPoint(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))));
  return 0;
}
template <auto F> LRESULT OnSysCmd(CWnd* w, UINT, WPARAM wp, LPARAM lp) {
  (Self<F>(w)->*F)(static_cast<UINT>(wp), lp);
  return 0;
}
template <auto F> LRESULT OnTimerId(CWnd* w, UINT, WPARAM wp, LPARAM) {
  (Self<F>(w)->*F)(static_cast<UINT_PTR>(wp));
  return 0;
}
template <auto F> LRESULT OnHandleResult(CWnd* w, UINT, WPARAM, LPARAM) {
  return reinterpret_cast<LRESULT>((Self<F>(w)->*F)());
}
template <auto F> LRESULT OnErase(CWnd* w, UINT, WPARAM wp, LPARAM) {
  CDC dc(reinterpret_cast<HDC>(wp));
  return (Self<F>(w)->*F)(&dc);
}
template <auto F> LRESULT OnCreateMsg(CWnd* w, UINT, WPARAM, LPARAM lp) {
  return (Self<F>(w)->*F)(reinterpret_cast<CREATESTRUCTA*>(lp));
}
template <auto F> LRESULT OnSizeMsg(CWnd* w, UINT, WPARAM wp, LPARAM lp) {
  (Self<F>(w)->*F)(static_cast<UINT>(wp), static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
  return 0;
}
CWnd* ChildFromHandle(CWnd* parent, HWND child);
template <auto F> LRESULT OnCtlColorMsg(CWnd* w, UINT message, WPARAM wp, LPARAM lp) {
  CDC dc(reinterpret_cast<HDC>(wp));
  CWnd* child = ChildFromHandle(w, reinterpret_cast<HWND>(lp));
  return reinterpret_cast<LRESULT>((Self<F>(w)->*F)(&dc, child, message - WM_CTLCOLORMSGBOX));
}

}  // namespace afx

#define DECLARE_MESSAGE_MAP()                   \
 public:                                        \
  static const AfxMsgMap* ClassMessageMap();    \
  const AfxMsgMap* GetMessageMap() const override { return ClassMessageMap(); }

#define BEGIN_MESSAGE_MAP(Class, Base)          \
  const AfxMsgMap* Class::ClassMessageMap() {   \
    using ThisClass [[maybe_unused]] = Class;   \
    typedef Base TheBase;                       \
    static const AfxMsgEntry entries[] = {
#define END_MESSAGE_MAP()                                          \
  {0, 0, 0, 0, nullptr}};                                          \
  static const AfxMsgMap map = {TheBase::ClassMessageMap(), entries}; \
  return &map;                                                     \
  }

// void F()
#define ON_COMMAND(id, F) {WM_COMMAND, 0, (id), (id), &afx::OnVoid<F>},
#define ON_BN_CLICKED(id, F) ON_COMMAND(id, F)
#define ON_CONTROL(code, id, F) {WM_COMMAND, (code), (id), (id), &afx::OnVoid<F>},
// void F(UINT id)
#define ON_COMMAND_RANGE(first, last, F) {WM_COMMAND, 0, (first), (last), &afx::OnId<F>},
// LRESULT F(WPARAM, LPARAM)
#define ON_MESSAGE(message, F) {(message), 0, 0, 0, &afx::OnRaw<F>},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, &afx::OnVoid<&ThisClass::OnPaint>},
// int OnCreate(CREATESTRUCTA*): -1 stops the creation
#define ON_WM_CREATE() {WM_CREATE, 0, 0, 0, &afx::OnCreateMsg<&ThisClass::OnCreate>},
// void OnSize(UINT type, int cx, int cy)
#define ON_WM_SIZE() {WM_SIZE, 0, 0, 0, &afx::OnSizeMsg<&ThisClass::OnSize>},
// void OnX(): WM_MOUSEHOVER, WM_MOUSELEAVE
#define ON_WM_MOUSEHOVER() {WM_MOUSEHOVER, 0, 0, 0, &afx::OnVoid<&ThisClass::OnMouseHover>},
#define ON_WM_MOUSELEAVE() {WM_MOUSELEAVE, 0, 0, 0, &afx::OnVoid<&ThisClass::OnMouseLeave>},
// void OnSysCommand(UINT id, LPARAM)
#define ON_WM_SYSCOMMAND() {WM_SYSCOMMAND, 0, 0, 0, &afx::OnSysCmd<&ThisClass::OnSysCommand>},
// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON() {WM_QUERYDRAGICON, 0, 0, 0, &afx::OnHandleResult<&ThisClass::OnQueryDragIcon>},
// void OnX(UINT flags, CPoint point)
#define ON_WM_LBUTTONDOWN() {WM_LBUTTONDOWN, 0, 0, 0, &afx::OnMouse<&ThisClass::OnLButtonDown>},
#define ON_WM_LBUTTONUP() {WM_LBUTTONUP, 0, 0, 0, &afx::OnMouse<&ThisClass::OnLButtonUp>},
#define ON_WM_MOUSEMOVE() {WM_MOUSEMOVE, 0, 0, 0, &afx::OnMouse<&ThisClass::OnMouseMove>},
// void OnTimer(UINT_PTR id)
#define ON_WM_TIMER() {WM_TIMER, 0, 0, 0, &afx::OnTimerId<&ThisClass::OnTimer>},
// BOOL OnEraseBkgnd(CDC*)
#define ON_WM_ERASEBKGND() {WM_ERASEBKGND, 0, 0, 0, &afx::OnErase<&ThisClass::OnEraseBkgnd>},
// HBRUSH OnCtlColor(CDC*, CWnd* child, UINT ctlColor): every WM_CTLCOLOR* message
#define AFX_CTLCOLOR_ENTRY(m) {(m), 0, 0, 0, &afx::OnCtlColorMsg<&ThisClass::OnCtlColor>},
#define ON_WM_CTLCOLOR()                                                                     \
  AFX_CTLCOLOR_ENTRY(WM_CTLCOLORMSGBOX) AFX_CTLCOLOR_ENTRY(WM_CTLCOLOREDIT)                   \
  AFX_CTLCOLOR_ENTRY(WM_CTLCOLORLISTBOX) AFX_CTLCOLOR_ENTRY(WM_CTLCOLORBTN)                   \
  AFX_CTLCOLOR_ENTRY(WM_CTLCOLORDLG) AFX_CTLCOLOR_ENTRY(WM_CTLCOLORSCROLLBAR)                 \
  AFX_CTLCOLOR_ENTRY(WM_CTLCOLORSTATIC)

class CMenu {
 public:
  HMENU m_hMenu = nullptr;
  BOOL AppendMenu(UINT flags, UINT_PTR id = 0, const char* text = nullptr) {
    return ::AppendMenuA(m_hMenu, flags, id, text);
  }
  BOOL EnableMenuItem(UINT item, UINT enable) { return ::EnableMenuItem(m_hMenu, item, enable) != -1; }
  int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
};

class CWnd {
 public:
  CWnd();
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  static const AfxMsgMap* ClassMessageMap();
  virtual const AfxMsgMap* GetMessageMap() const { return ClassMessageMap(); }

  // The object bound to a handle, or null (no temporary wrappers).
  static CWnd* FromHandlePermanent(HWND hwnd);

  // Binds this object to an existing window and routes its messages here.
  BOOL SubclassWindow(HWND hwnd);
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  HWND UnsubclassWindow();
  // A class registered with AfxRegisterWndClass binds this object from
  // WM_NCCREATE on, so WM_CREATE and the first WM_SIZE reach the map; any
  // other class is subclassed once it exists.
  BOOL CreateEx(DWORD exStyle, const char* className, const char* text, DWORD style, const RECT& rect,
                CWnd* parent, UINT_PTR idOrMenu);
  BOOL DestroyWindow();
  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  // Dispatch: the message map, reflection to the child, then Default().
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Messages to this window or its children before they are dispatched;
  // true when taken.
  virtual BOOL PreTranslateMessage(MSG* msg);
  // Owner-draw and similar notifications the parent hands to the control.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual void PostNcDestroy() {}
  // The previous window procedure on the message being handled.
  LRESULT Default();

  // A wrapper of a dialog item, owned by this window; null when no such item.
  CWnd* GetDlgItem(int id);
  CWnd* GetParent() const;
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
  }
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
  }
  LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendDlgItemMessageA(m_hWnd, id, message, wParam, lParam);
  }
  BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  BOOL ShowWindow(int show) { return ::ShowWindow(m_hWnd, show); }
  void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
  void GetWindowText(CString& text) const;
  void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
  void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
  void ScreenToClient(RECT* rect) const;
  BOOL SetWindowPos(const CWnd* after, int x, int y, int cx, int cy, UINT flags) {
    return ::SetWindowPos(m_hWnd, after ? after->m_hWnd : nullptr, x, y, cx, cy, flags);
  }
  void MoveWindow(int x, int y, int w, int h, BOOL repaint = TRUE) { ::MoveWindow(m_hWnd, x, y, w, h, repaint); }
  void MoveWindow(const RECT& r, BOOL repaint = TRUE) { MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top, repaint); }
  void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
  void InvalidateRect(const RECT* rect, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, rect, erase); }
  void UpdateWindow() { ::UpdateWindow(m_hWnd); }
  CWnd* SetCapture() { return FromHandlePermanent(::SetCapture(m_hWnd)); }
  static BOOL ReleaseCapture() { return ::ReleaseCapture(); }
  HICON SetIcon(HICON icon, BOOL big) {
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
  }
  UINT_PTR SetTimer(UINT_PTR id, UINT elapse) { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
  BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
  DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE)); }
  DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE)); }
  BOOL ModifyStyle(DWORD remove, DWORD add);
  BOOL ModifyStyleEx(DWORD remove, DWORD add);
  int SetWindowRgn(HRGN region, BOOL redraw) { return ::SetWindowRgn(m_hWnd, region, redraw); }
  // The window menu, or null; revert restores the system's own.
  CMenu* GetSystemMenu(BOOL revert);

  HWND m_hWnd = nullptr;

 private:
  friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
  bool DispatchMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  bool ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  void Unbind();

  WNDPROC m_oldProc = nullptr;
  const MSG* m_current = nullptr;  // the message being handled, for Default()
  CMenu m_systemMenu;
  std::map<HWND, std::unique_ptr<CWnd>> m_items;  // wrappers handed out by GetDlgItem
};

LRESULT CALLBACK AfxWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// A window class of this module whose procedure is AfxWndProc, registered
// once per distinct set of arguments; its name, or null when it failed.
const char* AfxRegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                                HICON icon = nullptr);
// Pre-translates and dispatches one message (every message loop uses it).
void AfxPumpMessage(MSG* msg);

namespace afx {
// Runs task on the thread of a window bound to a CWnd: at once when called
// there, else by a blocking message to it (so the caller sees its effects in
// order, exactly as a call). False when the window is gone.
bool RunOnWindowThread(HWND hwnd, const std::function<void()>& task);
}  // namespace afx
