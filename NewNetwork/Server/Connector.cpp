#include "Connector.h"


#include "IoHandler.h"
#include "ThreadSet.h"
#include "NewNetwork/Session/Session.h"
#include "common/EngineFun/Helper.h"
#include "common/EngineFun/ReportSink.h"

Connector::Connector()
    : m_handler(nullptr), m_pending(new SessionList()), m_bStop(0), m_threadCount(0),
      m_port(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1)) {
  if (!m_port.IsValid()) {
    ENGINE_REPORT("false&&\"创建完成端口失败\"");
    EngineFunc::ShowMessageBox(nullptr, "创建完成端口失败", nullptr, MB_OK);
  }
}

Connector::~Connector() {
  if (m_bStop == 0) Shutdown();
}

void Connector::Init(uint32_t threadCount, IoHandler* handler) {
  m_handler = handler;
  m_threadCount = ThreadCountWithin(threadCount, MAX_CONNECT_THREAD, "dwNumberOfThreads <= MAX_CONNECT_THREAD");
  m_pending.reset(new SessionList());
  StartThreads(m_threads, m_threadCount, &ConnectThread, this);
}

void Connector::Connect(Session* session) {
  m_pending->PushBack(session);
  if (m_threadCount == 0) {
    ConnectOne(session);
    return;
  }
  if (!PostQueuedCompletionStatus(m_port.Get(), kConnect, reinterpret_cast<ULONG_PTR>(session), nullptr))
    ENGINE_REPORT("false&&\"抛送完成端口失败\"");  // stays pending; Shutdown hands it back
}

void Connector::ConnectOne(Session* session) {
  const sockaddr_in& peer = session->GetPeerAddress();
  bool ok = connect(session->GetSocket(), reinterpret_cast<const sockaddr*>(&peer), sizeof(peer)) != SOCKET_ERROR;
  // Off the pending list before the handler sees it, so Shutdown never closes
  // a socket that is no longer the connector's.
  if (m_pending->Remove(session)) m_handler->OnConnectResult(session, ok);
}

unsigned __stdcall Connector::ConnectThread(void* self) {
  static_cast<Connector*>(self)->ThreadLoop();
  return 0;
}

void Connector::ThreadLoop() {
  while (m_bStop == 0) {
    DWORD command = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* overlapped = nullptr;
    BOOL ok = GetQueuedCompletionStatus(m_port.Get(), &command, &key, &overlapped, INFINITE);
    if (key == 0) return;
    if (!ok || command == 0) {
      ENGINE_REPORT("false&&\"CAsynCompletionPortThread错误\"");
      return;
    }
    if (command == kConnect) {
      ConnectOne(reinterpret_cast<Session*>(key));
    } else if (command == kEndThread) {
      return;
    } else {
      ENGINE_REPORT("false&&\"未知的消息\"");
    }
  }
}

void Connector::Shutdown() {
  InterlockedExchange(&m_bStop, 1);
  {
    // A blocking connect to a host that never answers ends when its socket closes.
    NetHold hold(m_pending->Lock());
    for (Session* session : m_pending->Items()) session->CloseSocket();
  }
  EndPortThreads(m_port.Get(), m_threads, m_threadCount, kEndThread);
  // What no thread reached goes back as failed.
  for (Session* session = m_pending->PopFront(); session != nullptr; session = m_pending->PopFront())
    if (m_handler != nullptr) m_handler->OnConnectResult(session, false);
  if (m_handler != nullptr) m_handler->DrainConnectResults();
}
