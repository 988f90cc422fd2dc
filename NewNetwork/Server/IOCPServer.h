// The network library's top object: starts Winsock, one I/O handler and the
// send thread. The program calls Update regularly on one thread of its
// choice; every NetworkObject callback runs there.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <memory>

#include "NewNetwork/NetDesc.h"
#include "NewNetwork/NetLock.h"
#include "common/ScopedHandle.h"

class IoHandler;

class IOCPServer {
 public:
  // With sendByThreadOnly, Update never sends: the send thread alone does.
  explicit IOCPServer(bool sendByThreadOnly = false);
  // Shuts everything down: every object hears OnDisconnect or
  // OnConnect(false) before this returns.
  virtual ~IOCPServer();
  IOCPServer(const IOCPServer&) = delete;
  IOCPServer& operator=(const IOCPServer&) = delete;

  // False only when Winsock 2.2 is missing.
  bool Init(const IOHANDLER_DESC& desc, const BUFFER_POOL_DESC& pool);
  void Update();
  // The handler registered under this key, or null.
  IoHandler* GetIoHandler(uint32_t key);
  bool IsStopping() const { return m_bStop != 0; }

 private:
  static const uint32_t kHandlerSlots = 1;  // one kind of connection is all this system needs

  struct HandlerTable {
    NetLock insertLock;
    std::unique_ptr<IoHandler> handlers[kHandlerSlots];
    uint8_t inUse[kHandlerSlots] = {};
    uint32_t count = 0;
  };

  static unsigned __stdcall SendThread(void* self);
  bool Register(std::unique_ptr<IoHandler> handler, uint32_t key);

  ScopedHandle m_sendThread;
  volatile LONG m_bStop;
  std::unique_ptr<HandlerTable> m_table;
  int m_bSendByThreadOnly;
  bool m_wsaStarted;
};
