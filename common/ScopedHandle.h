// Scoped owner of a kernel handle (thread, event, completion port): closed
// when the owner goes, so no exit path leaks one.
#pragma once
#include <windows.h>

class ScopedHandle {
 public:
  ScopedHandle() : m_h(nullptr) {}
  explicit ScopedHandle(HANDLE h) : m_h(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  ~ScopedHandle() { Close(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : m_h(other.m_h) { other.m_h = nullptr; }
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) {
      Close();
      m_h = other.m_h;
      other.m_h = nullptr;
    }
    return *this;
  }

  HANDLE Get() const { return m_h; }
  bool Valid() const { return m_h != nullptr; }
  void Reset(HANDLE h) {
    Close();
    m_h = h == INVALID_HANDLE_VALUE ? nullptr : h;
  }
  void Close() {
    if (m_h != nullptr) CloseHandle(m_h);
    m_h = nullptr;
  }

 private:
  HANDLE m_h;
};
