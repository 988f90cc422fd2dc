#include "IoHandler.h"


#include <cstdio>

#include "IOCPServer.h"
#include "ThreadSet.h"
#include "NewNetwork/Session/IoTestHook.h"
#include "NewNetwork/Session/NetworkObject.h"
#include "NewNetwork/Session/Session.h"
#include "common/EngineFun/Helper.h"

namespace {

// Tick counts wrap after 49 days; compare by signed difference.
bool TickPassed(DWORD now, DWORD deadline) { return static_cast<LONG>(now - deadline) > 0; }

}  // namespace

IoHandler::IoHandler()
    : m_server(nullptr),
      m_bShutdown(0),
      m_dwIoHandlerKey(0),
      m_ioThreadCount(0),
      m_dwMaxPacketSize(0),
      m_connectedCount(0),
      m_acceptedCount(0),
      m_dwMaxAcceptSession(0),
      m_bAcceptNoPause(0),
      m_dwTimeOut(0),
      m_fnCreateAccepted(nullptr),
      m_fnDestroyAccepted(nullptr),
      m_fnDestroyConnected(nullptr) {}

IoHandler::~IoHandler() {
  if (m_bShutdown == 0) Shutdown();
}

void IoHandler::Init(const IOHANDLER_DESC& desc, IOCPServer* server, uint32_t firstSessionId) {
  m_server = server;
  if (IsBadReadPtr(reinterpret_cast<const void*>(desc.fnCreateAcceptedObject), sizeof(desc.fnCreateAcceptedObject)))
    ENGINE_REPORT("!IsBadReadPtr( lpDesc->fnCreateAcceptedObject, sizeof(lpDesc->fnCreateAcceptedObject) )");
  if (IsBadReadPtr(reinterpret_cast<const void*>(desc.fnDestroyAcceptedObject), sizeof(desc.fnDestroyAcceptedObject)))
    ENGINE_REPORT("!IsBadReadPtr( lpDesc->fnDestroyAcceptedObject, sizeof(lpDesc->fnDestroyAcceptedObject) )");
  if (IsBadReadPtr(reinterpret_cast<const void*>(desc.fnDestroyConnectedObject), sizeof(desc.fnDestroyConnectedObject)))
    ENGINE_REPORT("!IsBadReadPtr( lpDesc->fnDestroyConnectedObject, sizeof(lpDesc->fnDestroyConnectedObject) )");
  m_fnCreateAccepted = desc.fnCreateAcceptedObject;
  m_fnDestroyAccepted = desc.fnDestroyAcceptedObject;
  m_fnDestroyConnected = desc.fnDestroyConnectedObject;
  m_dwIoHandlerKey = desc.dwIoHandlerKey;
  m_dwMaxAcceptSession = desc.dwMaxAcceptSession;
  m_dwTimeOut = desc.dwTimeOut;

  m_acceptPool.Init(desc.dwMaxAcceptSession, &desc, firstSessionId, true);
  m_connectPool.Init(desc.dwMaxConnectSession, &desc, firstSessionId + desc.dwMaxAcceptSession, false);
  if (desc.dwMaxPacketSize <= 2) ENGINE_REPORT("lpDesc->dwMaxPacketSize > sizeof(PACKET_HEADER)");
  m_dwMaxPacketSize = desc.dwMaxPacketSize;

  m_port.Reset(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0));
  m_ioThreadCount = ThreadCountWithin(desc.dwNumberOfIoThreads, MAX_IO_WORKER_THREAD,
                                     "lpDesc->dwNumberOfIoThreads <= MAX_IO_WORKER_THREAD");
  StartThreads(m_ioThreads, m_ioThreadCount, &IoThread, this);

  m_bAcceptNoPause = desc.bAcceptNoPause;
  m_acceptor.Init(desc.dwNumberOfAcceptThreads, this);
  m_connector.Init(desc.dwNumberOfConnectThreads, this);
}

uint32_t IoHandler::Connect(const char* address, NetworkObject* object, uint16_t port) {
  if (object == nullptr || address == nullptr || object->GetSession() != nullptr) return 0;
  ScopedSocket socket(WSASocketA(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED));
  if (!socket.Valid()) return 0;
  Session* session = m_connectPool.Alloc();
  if (session == nullptr) {
    ENGINE_REPORT("pSession != NULL && \"连接对象内存池分配完毕，申请不到内存空间了\"");
    return 0;
  }
  // A recycled session starts clean: nothing queued, no close flag.
  session->ResetForUse();
  sockaddr_in peer = {};
  peer.sin_family = AF_INET;
  peer.sin_addr.s_addr = inet_addr(address);
  peer.sin_port = htons(port);
  session->SetPeerAddress(peer);
  session->SetSocket(socket.Release());
  session->SetSocketOptions();
  session->Link(object);
  const uint32_t id = session->GetSessionId();
  m_connector.Connect(session);  // the session may be on a result list from here on
  return id;
}

void IoHandler::OnConnectResult(Session* session, bool ok) {
  (ok ? m_connectSucceeded : m_connectFailed).PushBack(session);
}

void IoHandler::OnAccepted(Session* session) { m_accepted.PushBack(session); }

unsigned __stdcall IoHandler::IoThread(void* self) {
  static_cast<IoHandler*>(self)->IoLoop();
  return 0;
}

void IoHandler::IoLoop() {
  for (;;) {
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* overlapped = nullptr;
    BOOL ok = GetQueuedCompletionStatus(m_port.Get(), &bytes, &key, &overlapped, INFINITE);
    DWORD error = ok ? 0 : GetLastError();
    if (key == 0) return;
    if (overlapped == nullptr) continue;
    OnCompletion(reinterpret_cast<Session*>(key), CONTAINING_RECORD(overlapped, OVERLAPPEDEX, overlapped), bytes,
                 ok != FALSE, error);
  }
}

void IoHandler::OnCompletion(Session* session, OVERLAPPEDEX* record, DWORD bytes, bool ok, DWORD error) {
  const DWORD type = record->dwOperationType;
  const int id = static_cast<int>(session->GetSessionId());
  if (type == kIoReuse) {
    EngineFunc::EngineFunc_DebugPrint(0, "SOCKET十秒后启动监听操作:%d", id);
    m_waitAccept.Add(session);
    return;
  }
  IoTestPointReached(kIoPointCompletionTaken, session, type);
  NetHold io(session->IoLock());
  // Read while the record is still this operation's: once a send is ended,
  // the send thread, which posts without the I/O lock, may post the next
  // send through the same record, stamped for the new use.
  const bool current = session->IsCurrent(record);
  bool firstRecvWaits = false;
  if (type == kIoSend) {
    session->EndSend();
    IoTestPointReached(kIoPointSendRecordFreed, session, type);
  }
  if (type == kIoRecv) firstRecvWaits = session->EndRecv();
  if (!current) {
    // From an earlier use of this recycled session: nothing of it may touch
    // the new use. Its record is free now for the new use's first receive.
    EngineFunc::EngineFunc_DebugPrint(0, type == kIoSend ? "SEND有问题,ID:%d,是否关闭:%d" : "RECV有问题,ID:%d,是否关闭:%d",
                                      id, session->ShouldClose() ? 1 : 0);
    if (firstRecvWaits && !session->ShouldClose() && !session->PreRecv()) session->SetClose();
    return;
  }
  if (!ok) {
    // A failed operation leaves nothing in flight on this side: the session closes.
    if (error == ERROR_NETNAME_DELETED)
      EngineFunc::EngineFunc_DebugPrint(0, "SOCKET被强制关闭,ID:%d,完成类型:%d", id, static_cast<int>(type));
    session->SetClose();
    return;
  }
  if (bytes == 0) {
    EngineFunc::EngineFunc_DebugPrint(0, "SOCKET优雅关闭,ID:%d,完成类型:%d", id, static_cast<int>(type));
    session->SetClose();
    return;
  }
  if (type == kIoSend) {
    session->OnSendDone(bytes);
  } else if (type == kIoRecv) {
    session->OnRecvDone(bytes);
    if (!session->PreRecv()) {
      printf("PreRecv error%d\n", id);
      session->SetClose();
    }
  } else {
    ENGINE_REPORT("false&&\"不明消息类型包\"");
  }
}

void IoHandler::Update(bool serverStopping) {
  if (!serverStopping && m_bShutdown == 0) {
    m_waitRelease.Pass(m_port.Get());
    if (m_bShutdown == 0) m_waitAccept.Pass(m_acceptor.GetListenSocket());
  }
  RecvPass();
  if (!m_accepted.Empty()) AcceptedPass();
  if (!m_connectSucceeded.Empty()) ConnectSuccessPass();
  if (!m_connectFailed.Empty()) ConnectFailurePass();
  ClosePass();
}

void IoHandler::RecvPass() {
  // Only this thread changes the active list, so it is walked without its lock.
  for (Session* session : m_active.Items()) {
    if (session->ShouldClose()) continue;
    if (session->IsClosePending()) {
      session->SetClose();
      continue;
    }
    if (session->IsAccepted() && m_dwTimeOut != 0 &&
        TickPassed(GetTickCount(), session->GetLastRecvTime() + m_dwTimeOut)) {
      session->Log("Idle Session 长时间没收到过消息，默认是断开.");
      session->SetClose();
      continue;
    }
    if (!session->ProcessRecvPackets(m_dwMaxPacketSize)) session->SetClose();
  }
}

void IoHandler::ReturnSession(Session* session) {
  session->ResetForPool();
  session->Unlink();
  (session->IsAccepted() ? m_acceptPool : m_connectPool).Free(session);
}

void IoHandler::ConnectSuccessPass() {
  m_connectSucceeded.TakeAll(m_work);
  for (auto it = m_work.begin(); it != m_work.end();) {
    Session* session = *it;
    NetworkObject* object = session->GetNetworkObject();
    bool ok = CreateIoCompletionPort(reinterpret_cast<HANDLE>(session->GetSocket()), m_port.Get(),
                                     reinterpret_cast<ULONG_PTR>(session), 0) != nullptr &&
              session->PostFirstRecv();
    const uint32_t id = session->GetSessionId();
    if (ok) {
      if (object != nullptr) object->OnConnect(true, id);
      ++it;
    } else {
      it = m_work.erase(it);
      ReturnSession(session);
      if (object != nullptr) object->OnConnect(false, id);
    }
  }
  m_connectedCount += static_cast<LONG>(m_work.size());
  m_active.PutAll(m_work);
}

void IoHandler::ConnectFailurePass() {
  m_connectFailed.TakeAll(m_work);
  for (Session* session : m_work) {
    NetworkObject* object = session->GetNetworkObject();
    const uint32_t id = session->GetSessionId();
    ReturnSession(session);
    if (object != nullptr) object->OnConnect(false, id);
  }
  m_work.clear();
}

void IoHandler::DrainConnectResults() {
  std::list<Session*> succeeded;
  m_connectSucceeded.TakeAll(succeeded);
  m_connectFailed.PutAll(succeeded);
  ConnectFailurePass();
}

void IoHandler::AcceptedPass() {
  m_accepted.TakeAll(m_work);
  for (auto it = m_work.begin(); it != m_work.end();) {
    Session* session = *it;
    bool keep = m_acceptedCount < static_cast<LONG>(m_dwMaxAcceptSession);
    if (!keep) printf("connection full! no available accept socket!\n");
    if (keep) {
      session->SetSocketOptions();
      keep = CreateIoCompletionPort(reinterpret_cast<HANDLE>(session->GetSocket()), m_port.Get(),
                                    reinterpret_cast<ULONG_PTR>(session), 0) != nullptr;
      if (keep) {
        session->ResetForUse();
        keep = session->PostFirstRecv();
      }
    }
    if (!keep) {
      it = m_work.erase(it);
      ReturnSession(session);
      continue;
    }
    NetworkObject* object = m_fnCreateAccepted != nullptr ? m_fnCreateAccepted() : nullptr;
    if (object == nullptr) {
      it = m_work.erase(it);
      EngineFunc::EngineFunc_DebugPrint(0, "SOCKET将在10后被重置为监听状态,ID:%d", static_cast<int>(session->GetSessionId()));
      m_waitRelease.Add(session);
      continue;
    }
    session->Link(object);
    session->SetLastRecvTime(GetTickCount());
    object->OnAccept(session->GetSessionId());
    ++m_acceptedCount;
    ++it;
  }
  m_active.PutAll(m_work);
}

void IoHandler::ClosePass() {
  {
    NetHold hold(m_active.Lock());
    auto& items = m_active.Items();
    for (auto it = items.begin(); it != items.end();) {
      if ((*it)->ShouldClose()) {
        m_work.push_back(*it);
        it = items.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (Session* session : m_work) {
    NetworkObject* object = session->GetNetworkObject();
    if (object != nullptr) object->OnDisconnect();
    session->ShutdownSocket();
    session->Unlink();
    const bool accepted = session->IsAccepted();
    if (!accepted || m_bShutdown != 0) {
      ReturnSession(session);
    } else {
      EngineFunc::EngineFunc_DebugPrint(0, "SOCKET将在10后被重置为监听状态,ID:%d", static_cast<int>(session->GetSessionId()));
      m_waitRelease.Add(session);
    }
    if (accepted) {
      --m_acceptedCount;
      if (m_fnDestroyAccepted != nullptr) m_fnDestroyAccepted(object);
    } else {
      --m_connectedCount;
      if (m_fnDestroyConnected != nullptr) m_fnDestroyConnected(object);
    }
  }
  m_work.clear();
}

void IoHandler::SendPass() {
  NetHold hold(m_active.Lock());
  for (Session* session : m_active.Items())
    if (!session->ShouldClose() && !session->PreSend()) session->SetClose();
}

void IoHandler::Shutdown() {
  InterlockedExchange(&m_bShutdown, 1);
  {
    NetHold hold(m_active.Lock());
    for (Session* session : m_active.Items()) session->SetClose();
  }
  RecvPass();
  ClosePass();
  m_acceptor.Shutdown();
  m_connector.Shutdown();
  EndPortThreads(m_port.Get(), m_ioThreads, m_ioThreadCount, 0);
}
