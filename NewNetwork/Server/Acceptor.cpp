#include "Acceptor.h"

#include <mswsock.h>
#include <process.h>

#include "IoHandler.h"
#include "NewNetwork/Session/Session.h"
#include "common/EngineFun/Helper.h"

void Acceptor::Init(uint32_t threadCount, IoHandler* handler) {
  if (threadCount > MAX_ACCEPT_THREAD) ENGINE_REPORT("dwNumberOfThreads <= MAX_ACCEPT_THREAD");
  m_handler = handler;
  m_threadCount = threadCount > MAX_ACCEPT_THREAD ? MAX_ACCEPT_THREAD : threadCount;
  m_port.Reset(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0));
  for (uint32_t i = 0; i < m_threadCount; ++i)
    m_threads[i].Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &AcceptThread, this, 0, nullptr)));
}

void Acceptor::Shutdown() {
  if (m_stopped) return;
  m_stopped = true;
  m_listen.Close();
  HANDLE handles[MAX_ACCEPT_THREAD];
  uint32_t n = 0;
  for (uint32_t i = 0; i < m_threadCount; ++i) {
    PostQueuedCompletionStatus(m_port.Get(), 0, 0, nullptr);
    if (m_threads[i].Valid()) handles[n++] = m_threads[i].Get();
  }
  if (n > 0) WaitForMultipleObjects(n, handles, TRUE, INFINITE);
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
