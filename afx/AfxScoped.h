// Scoped owners for kernel handles, global memory, loaded libraries and COM
// references: whatever path a function leaves by, what it opened is closed
// once. The GDI ones live in AfxGdi.h.
#pragma once
#include <windows.h>
#include <objbase.h>

namespace afx {

// T is the handle type; Traits gives the empty value and the closer.
template <class T, class Traits>
class Scoped {
 public:
  Scoped() : m_h(Traits::Empty()) {}
  explicit Scoped(T h) : m_h(Traits::Adopt(h)) {}
  ~Scoped() { Reset(); }
  Scoped(const Scoped&) = delete;
  Scoped& operator=(const Scoped&) = delete;
  Scoped(Scoped&& o) noexcept : m_h(o.Release()) {}
  Scoped& operator=(Scoped&& o) noexcept {
    if (this != &o) Reset(o.Release());
    return *this;
  }

  T Get() const { return m_h; }
  bool IsValid() const { return m_h != Traits::Empty(); }
  explicit operator bool() const { return IsValid(); }
  // Gives the handle up without closing it.
  T Release() {
    T h = m_h;
    m_h = Traits::Empty();
    return h;
  }
  void Reset(T h = Traits::Empty()) {
    if (m_h != Traits::Empty()) Traits::Close(m_h);
    m_h = Traits::Adopt(h);
  }
  // For calls that fill a handle in: the old one is closed first.
  T* Out() {
    Reset();
    return &m_h;
  }

 private:
  T m_h;
};

// Kernel handles: some calls fail with null, others (CreateFile, snapshots)
// with INVALID_HANDLE_VALUE; both mean none.
struct HandleTraits {
  static HANDLE Empty() { return nullptr; }
  static HANDLE Adopt(HANDLE h) { return h == INVALID_HANDLE_VALUE ? nullptr : h; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct GlobalTraits {
  static HGLOBAL Empty() { return nullptr; }
  static HGLOBAL Adopt(HGLOBAL h) { return h; }
  static void Close(HGLOBAL h) { ::GlobalFree(h); }
};
struct LibraryTraits {
  static HMODULE Empty() { return nullptr; }
  static HMODULE Adopt(HMODULE h) { return h; }
  static void Close(HMODULE h) { ::FreeLibrary(h); }
};

// Process, thread, snapshot, event, file, completion port.
typedef Scoped<HANDLE, HandleTraits> ScopedHandle;
typedef Scoped<HGLOBAL, GlobalTraits> ScopedGlobal;
typedef Scoped<HMODULE, LibraryTraits> ScopedLibrary;

// One COM reference.
template <class I>
class ScopedCom {
 public:
  ScopedCom() {}
  explicit ScopedCom(I* p) : m_p(p) {}  // takes the reference over
  ~ScopedCom() { Reset(); }
  ScopedCom(const ScopedCom&) = delete;
  ScopedCom& operator=(const ScopedCom&) = delete;
  ScopedCom(ScopedCom&& o) noexcept : m_p(o.Detach()) {}
  ScopedCom& operator=(ScopedCom&& o) noexcept {
    if (this != &o) Reset(o.Detach());
    return *this;
  }

  I* Get() const { return m_p; }
  I* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  I* Detach() {
    I* p = m_p;
    m_p = nullptr;
    return p;
  }
  void Reset(I* p = nullptr) {
    if (m_p != nullptr) m_p->Release();
    m_p = p;
  }
  // For calls that hand out a reference.
  I** Out() {
    Reset();
    return &m_p;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }

 private:
  I* m_p = nullptr;
};

// COM initialised on this thread for the object's life (only when it worked,
// so the uninitialise always matches).
class ScopedComInit {
 public:
  ScopedComInit() : m_hr(::CoInitialize(nullptr)) {}
  ~ScopedComInit() {
    if (SUCCEEDED(m_hr)) ::CoUninitialize();
  }
  ScopedComInit(const ScopedComInit&) = delete;
  ScopedComInit& operator=(const ScopedComInit&) = delete;
  bool Succeeded() const { return SUCCEEDED(m_hr); }

 private:
  HRESULT m_hr;
};

}  // namespace afx
