// One kind of connection: a completion port with its I/O workers, the
// session pools, the lists sessions move through, the connector and the
// acceptor. Every NetworkObject callback runs inside Update's passes.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <list>

#include "Acceptor.h"
#include "Connector.h"
#include "NewNetwork/NetDesc.h"
#include "NewNetwork/Session/SessionList.h"
#include "NewNetwork/Session/SessionPool.h"
#include "NewNetwork/Session/WaitSessionList.h"
#include "common/ScopedHandle.h"

class IOCPServer;
class NetworkObject;
class Session;
struct OVERLAPPEDEX;

class IoHandler {
 public:
  IoHandler();
  ~IoHandler();
  IoHandler(const IoHandler&) = delete;
  IoHandler& operator=(const IoHandler&) = delete;

  void Init(const IOHANDLER_DESC& desc, IOCPServer* server, uint32_t firstSessionId);
  // The new session's id, or 0 when refused (no callback follows).
  uint32_t Connect(const char* address, NetworkObject* object, uint16_t port);
  // Every object hears OnDisconnect or OnConnect(false); every session ends
  // back in its pool; the threads end.
  void Shutdown();
  bool IsShutdown() const { return m_bShutdown != 0; }

  // The passes of one IOCPServer::Update, on the update thread.
  void Update(bool serverStopping);
  void SendPass();

  // From the connector and the acceptor threads.
  void OnConnectResult(Session* session, bool ok);
  void OnAccepted(Session* session);
  // Everything still on the connect result lists ends as a failed connect.
  void DrainConnectResults();
  bool AcceptNoPause() const { return m_bAcceptNoPause != 0; }

  uint32_t GetKey() const { return m_dwIoHandlerKey; }
  uint32_t GetIoThreadCount() const { return m_ioThreadCount; }
  uint32_t GetConnectThreadCount() const { return m_connector.GetThreadCount(); }
  size_t GetFreeConnectSessions() { return m_connectPool.GetFreeCount(); }
  uint32_t GetConnectPoolSize() const { return m_connectPool.GetMaxSize(); }
  size_t GetActiveCount() { return m_active.Size(); }

 private:
  static unsigned __stdcall IoThread(void* self);
  void IoLoop();
  void OnCompletion(Session* session, OVERLAPPEDEX* record, DWORD bytes, bool ok, DWORD error);

  void RecvPass();
  void AcceptedPass();
  void ConnectSuccessPass();
  void ConnectFailurePass();
  void ClosePass();
  void ReturnSession(Session* session);

  IOCPServer* m_server;
  SessionPool m_acceptPool;
  SessionPool m_connectPool;
  Acceptor m_acceptor;
  Connector m_connector;
  SessionList m_active;
  SessionList m_accepted;
  SessionList m_connectSucceeded;
  SessionList m_connectFailed;
  std::list<Session*> m_work;  // inside one pass
  CWaitReleaseSession m_waitRelease;
  CWaitAcceptSession m_waitAccept;
  volatile LONG m_bShutdown;
  uint32_t m_dwIoHandlerKey;
  ScopedHandle m_port;
  uint32_t m_ioThreadCount;
  ScopedHandle m_ioThreads[MAX_IO_WORKER_THREAD];
  uint32_t m_dwMaxPacketSize;
  LONG m_connectedCount;
  LONG m_acceptedCount;
  uint32_t m_dwMaxAcceptSession;
  uint8_t m_bAcceptNoPause;
  uint32_t m_dwTimeOut;
  fnCallBackCreateAcceptedObject m_fnCreateAccepted;
  fnCallBackDestroyAcceptedObject m_fnDestroyAccepted;
  fnCallBackDestroyConnectedObject m_fnDestroyConnected;
};
