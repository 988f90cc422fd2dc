// The outgoing connections of one handler: blocking connects on up to 16
// threads of its own, fed through a private completion port.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <memory>

#include "NewNetwork/NetDesc.h"
#include "NewNetwork/Session/SessionList.h"
#include "common/ScopedHandle.h"

class IoHandler;
class Session;

class Connector {
 public:
  Connector();
  ~Connector();
  Connector(const Connector&) = delete;
  Connector& operator=(const Connector&) = delete;

  void Init(uint32_t threadCount, IoHandler* handler);
  // Connects the session (its socket and peer are set), on a connect thread
  // or, without threads, at once; the result lands in the handler's lists.
  void Connect(Session* session);
  // Closes the sockets of sessions still connecting, so a hung host cannot
  // hold it; ends the threads; hands every session back to the handler.
  void Shutdown();
  uint32_t GetThreadCount() const { return m_threadCount; }

 private:
  enum Command : DWORD { kConnect = 1, kEndThread = 2 };
  static unsigned __stdcall ConnectThread(void* self);
  void ThreadLoop();
  void ConnectOne(Session* session);

  IoHandler* m_handler;
  // Sessions handed to the connector and not yet placed on a result list.
  std::unique_ptr<SessionList> m_pending;
  ScopedHandle m_threads[MAX_CONNECT_THREAD];
  volatile LONG m_bStop;
  uint32_t m_threadCount;
  ScopedHandle m_port;
};
