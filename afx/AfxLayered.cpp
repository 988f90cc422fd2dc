#include "AfxLayered.h"

#include "AfxScoped.h"

namespace afx {

namespace {

typedef BOOL(WINAPI* UpdateLayeredFn)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD);
typedef BOOL(WINAPI* SetLayeredFn)(HWND, COLORREF, BYTE, DWORD);

template <class Fn>
Fn Lookup(const ScopedLibrary& user32, const char* name) {
  if (!user32) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(user32.Get(), name)));
}

}  // namespace

bool UpdateLayeredWindowByName(HWND hwnd, HDC screen, POINT* position, SIZE* size, HDC source, POINT* sourcePoint,
                               COLORREF key, BLENDFUNCTION* blend, DWORD flags) {
  ScopedLibrary user32(::LoadLibraryA("User32.DLL"));
  UpdateLayeredFn update = Lookup<UpdateLayeredFn>(user32, "UpdateLayeredWindow");
  if (update == nullptr) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  return update(hwnd, screen, position, size, source, sourcePoint, key, blend, flags) != FALSE;
}

bool SetLayeredWindowAttributesByName(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags) {
  ScopedLibrary user32(::LoadLibraryA("User32.DLL"));
  SetLayeredFn set = Lookup<SetLayeredFn>(user32, "SetLayeredWindowAttributes");
  if (set == nullptr) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  return set(hwnd, key, alpha, flags) != FALSE;
}

}  // namespace afx
