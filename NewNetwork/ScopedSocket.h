// Scoped owner of a socket: closed when the owner goes.
#pragma once
#include <winsock2.h>

class ScopedSocket {
 public:
  ScopedSocket() : m_s(INVALID_SOCKET) {}
  explicit ScopedSocket(SOCKET s) : m_s(s) {}
  ~ScopedSocket() { Close(); }
  ScopedSocket(const ScopedSocket&) = delete;
  ScopedSocket& operator=(const ScopedSocket&) = delete;

  SOCKET Get() const { return m_s; }
  bool Valid() const { return m_s != INVALID_SOCKET; }
  void Reset(SOCKET s) {
    Close();
    m_s = s;
  }
  // Gives the socket up without closing it.
  SOCKET Release() {
    SOCKET s = m_s;
    m_s = INVALID_SOCKET;
    return s;
  }
  // closesocket's result; 0 when there was nothing to close.
  int Close() {
    if (m_s == INVALID_SOCKET) return 0;
    int result = closesocket(m_s);
    m_s = INVALID_SOCKET;
    return result;
  }

 private:
  SOCKET m_s;
};
