#include "AfxControls.h"

BOOL CButton::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
  if (message != WM_DRAWITEM) return FALSE;
  DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
  *result = TRUE;
  return TRUE;
}

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
  HWND hwnd = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | style, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent ? parent->m_hWnd : nullptr,
                                nullptr, ::GetModuleHandleA(nullptr), nullptr);
  return hwnd != nullptr && SubclassWindow(hwnd);
}

BOOL CToolTipCtrl::AddTool(CWnd* tool, const char* text) {
  TTTOOLINFOA info = {};
  info.cbSize = sizeof(info);
  info.uFlags = TTF_IDISHWND;
  info.hwnd = tool->m_hWnd;
  info.uId = reinterpret_cast<UINT_PTR>(tool->m_hWnd);
  info.lpszText = const_cast<char*>(text);
  return static_cast<BOOL>(SendMessage(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)));
}
