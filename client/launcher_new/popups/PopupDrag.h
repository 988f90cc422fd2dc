// The popups move with the system's move command when pressed anywhere on
// their own surface.
#pragma once
#include <windows.h>

// After the press's default processing: the system's move from the caption.
inline void StartPopupDrag(HWND popup) { ::PostMessageA(popup, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0); }
