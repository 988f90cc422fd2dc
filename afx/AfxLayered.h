// Layered windows through the two calls looked up by name in User32.DLL
// (the library is loaded for the call and freed after it).
#pragma once
#include <windows.h>

namespace afx {

// False when the call is missing or fails; GetLastError then tells why.
bool UpdateLayeredWindowByName(HWND hwnd, HDC screen, POINT* position, SIZE* size, HDC source, POINT* sourcePoint,
                               COLORREF key, BLENDFUNCTION* blend, DWORD flags);
bool SetLayeredWindowAttributesByName(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags);

}  // namespace afx
