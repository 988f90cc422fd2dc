// The incoming side of one handler, as far as this system has one: a private
// completion port and accept threads that hand accepted sessions to the
// handler. Nothing opens the listening socket; the launcher starts no threads.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>

#include "NewNetwork/NetDesc.h"
#include "NewNetwork/ScopedSocket.h"
#include "common/ScopedHandle.h"

class IoHandler;

class Acceptor {
 public:
  Acceptor() : m_handler(nullptr), m_threadCount(0), m_stopped(false) {}
  ~Acceptor() { Shutdown(); }
  Acceptor(const Acceptor&) = delete;
  Acceptor& operator=(const Acceptor&) = delete;

  void Init(uint32_t threadCount, IoHandler* handler);
  void Shutdown();
  SOCKET GetListenSocket() const { return m_listen.Get(); }
  HANDLE GetPort() const { return m_port.Get(); }
  uint32_t GetThreadCount() const { return m_threadCount; }

 private:
  static unsigned __stdcall AcceptThread(void* self);
  void ThreadLoop();

  IoHandler* m_handler;
  ScopedHandle m_threads[MAX_ACCEPT_THREAD];
  ScopedHandle m_port;
  ScopedSocket m_listen;
  uint32_t m_threadCount;
  bool m_stopped;
};
