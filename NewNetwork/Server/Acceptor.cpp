#include "Acceptor.h"

#include <mswsock.h>

#include "IoHandler.h"
#include "ThreadSet.h"
#include "NewNetwork/Session/Session.h"
#include "common/EngineFun/Helper.h"

void Acceptor::Init(uint32_t threadCount, IoHandler* handler) {
  m_handler = handler;
  m_threadCount = ThreadCountWithin(threadCount, MAX_ACCEPT_THREAD, "dwNumberOfThreads <= MAX_ACCEPT_THREAD");
  m_port.Reset(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0));
  StartThreads(m_threads, m_threadCount, &AcceptThread, this);
}

void Acceptor::Shutdown() {
  if (m_stopped) return;
  m_stopped = true;
  m_listen.Close();
  EndPortThreads(m_port.Get(), m_threads, m_threadCount, 0);
}

unsigned __stdcall Acceptor::AcceptThread(void* self) {
  static_cast<Acceptor*>(self)->ThreadLoop();
  return 0;
}

void Acceptor::ThreadLoop() {
  for (;;) {
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* overlapped = nullptr;
    BOOL ok = GetQueuedCompletionStatus(m_port.Get(), &bytes, &key, &overlapped, INFINITE);
    if (key == 0 || overlapped == nullptr) return;
    OVERLAPPEDEX* record = CONTAINING_RECORD(overlapped, OVERLAPPEDEX, overlapped);
    Session* session = record->pSession;
    if (!ok) {
      DWORD error = GetLastError();
      if (error == ERROR_OPERATION_ABORTED && session != nullptr && !session->IsShared()) delete session;
      if (error == ERROR_OPERATION_ABORTED || error != ERROR_NETNAME_DELETED) continue;
    }
    if (!m_handler->AcceptNoPause()) Sleep(25);
    if (record->dwOperationType != kIoAccept || session == nullptr) continue;
    char* region = nullptr;
    int length = 0;
    session->GetRecvBuffer().GetRecvRegion(&region, &length);
    sockaddr* local = nullptr;
    sockaddr* remote = nullptr;
    int localLength = 0;
    int remoteLength = 0;
    GetAcceptExSockaddrs(region, 0, 32, 32, &local, &localLength, &remote, &remoteLength);
    if (remote != nullptr && remoteLength >= static_cast<int>(sizeof(sockaddr_in)))
      session->SetPeerAddress(*reinterpret_cast<sockaddr_in*>(remote));
    m_handler->OnAccepted(session);
  }
}
