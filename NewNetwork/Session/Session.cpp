#include "Session.h"

#include <mswsock.h>
#include <ws2tcpip.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "IoTestHook.h"
#include "NewNetwork/Buffer/CommonBufferMgr.h"
#include "NewNetwork/Packet/PacketHeader.h"
#include "common/EngineFun/Helper.h"
#include "common/EngineFun/ReportSink.h"

namespace {

const int kDefaultRecvLimit = 4096;

void ShowNoBuffers(int error) {
  char caption[32];
  snprintf(caption, sizeof(caption), "%d", error);
  EngineFunc::ShowMessageBox(nullptr, "发送失败", caption, MB_OK);
}

}  // namespace

Session::Session(const IOHANDLER_DESC* desc, uint32_t id)
    : m_pObject(nullptr),
      m_peer(),
      m_acceptRecord(),
      m_reuseRecord(),
      m_lastRecvTime(0),
      m_closeFlag(0),
      m_timeOut(0),
      m_id(id),
      m_accepted(false),
      m_closePending(0),
      m_sendRecord(),
      m_sessionValue(0),
      m_recvRecord(),
      m_bScramble(0),
      m_scrambledCount(0),
      m_shared(0),
      m_maxPacketSize(0),
      m_socketBufferSize(0),
      m_bAcceptNoPause(0),
      m_bSessionFlag(0),
      m_stamp(0),
      m_sendInFlight(false),
      m_recvInFlight(false),
      m_recvDeferred(false),
      m_inPool(false),
      m_usable(false) {
  if (desc == nullptr) {
    EngineFunc::ShowMessageBox(nullptr, "指针为空", nullptr, MB_OK);
    return;
  }
  m_sendBuffer.Init(*desc);
  m_recvBuffer.Init(*desc);
  m_timeOut = desc->dwTimeOut;
  m_sessionValue = desc->dwSessionValue;
  m_bScramble = desc->bScramble;
  m_maxPacketSize = desc->dwMaxPacketSize;
  m_socketBufferSize = (desc->dwSocketBufferSize + 3) & ~3u;
  m_bAcceptNoPause = desc->bAcceptNoPause;
  m_bSessionFlag = desc->bSessionFlag;
  m_usable = true;
  RenewStamp();
}

Session::~Session() {}

void Session::RenewStamp() {
  uint64_t old = m_stamp.load();
  uint64_t fresh = EngineFunc::EngineFunc_UniqueID();
  if (fresh == old) fresh += 1;  // never the stamp of the use before
  m_stamp.store(fresh);
}

void Session::PrepareRecord(OVERLAPPEDEX& record, IoOperation type) {
  memset(&record, 0, sizeof(record));
  record.dwOperationType = type;
  record.pSession = this;
  record.stamp = m_stamp.load();
}

void Session::Link(NetworkObject* object) {
  m_pObject.store(object);
  if (object != nullptr) object->SetSession(this);
}

void Session::Unlink() {
  NetworkObject* object = m_pObject.exchange(nullptr);
  if (object != nullptr && object->GetSession() == this) object->SetSession(nullptr);
}

bool Session::Send(uint32_t size, const char* packet) {
  if (IsBadReadPtr(packet, size)) {
    ENGINE_REPORT("!IsBadReadPtr( pMsg, wSize )");
    return false;
  }
  if (!m_sendBuffer.Write(packet, static_cast<int>(size))) {
    SetClose();
    return false;
  }
  return true;
}

bool Session::PreSend() {
  // A send of the use before still owns the record: a later pass posts.
  if (m_sendInFlight.load()) return true;
  char* region = nullptr;
  int length = 0;
  if (!m_sendBuffer.GetSendRegion(&region, &length)) return true;
  if (m_bScramble && !ScrambleSendRegion(region, length, &m_scrambledCount, kStreamScrambleKey)) {
    ENGINE_REPORT("false&&\"GetPreSendSize()不可能为0的\"");
    SetClose();
    return false;
  }
  PrepareRecord(m_sendRecord, kIoSend);
  WSABUF buffer = {static_cast<ULONG>(length), region};
  DWORD sent = 0;
  m_sendInFlight.store(true);
  if (WSASend(m_socket.Get(), &buffer, 1, &sent, 0, &m_sendRecord.overlapped, nullptr) == SOCKET_ERROR) {
    int error = WSAGetLastError();
    if (error != WSA_IO_PENDING) {
      m_sendInFlight.store(false);
      if (error == WSAENOBUFS) ShowNoBuffers(error);
      return false;  // no completion will come: the session closes instead of stalling
    }
  }
  IoTestPointReached(kIoPointSendPosted, this, kIoSend);
  return true;
}

bool Session::PreRecv() {
  char* region = nullptr;
  int length = 0;
  if (!m_recvBuffer.GetRecvRegion(&region, &length)) {
    SetClose();
    return false;
  }
  const int limit = m_socketBufferSize != 0 ? static_cast<int>(m_socketBufferSize) : kDefaultRecvLimit;
  if (length > limit) length = limit;
  PrepareRecord(m_recvRecord, kIoRecv);
  WSABUF buffer = {static_cast<ULONG>(length), region};
  DWORD received = 0;
  DWORD flags = 0;
  m_recvInFlight.store(true);
  if (WSARecv(m_socket.Get(), &buffer, 1, &received, &flags, &m_recvRecord.overlapped, nullptr) == SOCKET_ERROR) {
    int error = WSAGetLastError();
    if (error != WSA_IO_PENDING) {
      m_recvInFlight.store(false);
      if (error == WSAENOBUFS) ShowNoBuffers(error);
      return false;
    }
  }
  return true;
}

void Session::OnSendDone(DWORD bytes) {
  if (m_bScramble) m_scrambledCount -= static_cast<int>(bytes);
  m_sendBuffer.OnSendComplete(static_cast<int>(bytes));
}

void Session::OnRecvDone(DWORD bytes) {
  if (m_bScramble) m_recvBuffer.Unscramble(static_cast<int>(bytes), kStreamScrambleKey);
  m_recvBuffer.OnRecvComplete(static_cast<int>(bytes));
}

bool Session::ProcessRecvPackets(uint32_t maxSize) {
  for (;;) {
    bool bad = false;
    char* packet = m_recvBuffer.GetFirstPacketPtr(m_id, &bad);
    if (bad) return false;  // the framing is lost; reported once, the session closes
    if (packet == nullptr) return true;
    const uint32_t size = PacketSize(packet);
    if (size == 0) {
      Log("消息长度少于0,类型：%d，大小：%d", PacketType(packet), static_cast<int>(size));
      return false;
    }
    if (size > maxSize) {
      ENGINE_REPORT("false&&\"消息包长度太大请注意\"");
      Log("消息长度在于指定的消息包大小.");
      return false;
    }
    if (NetworkObject* object = GetNetworkObject()) object->OnRecv(packet, size);
    m_recvBuffer.RemoveFirstPacket(static_cast<int>(size));
    m_lastRecvTime = GetTickCount();
  }
}

void Session::SetSocketOptions() {
  SOCKET s = m_socket.Get();
  BOOL noDelay = TRUE;
  if (setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof(noDelay)) != 0)
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "设置TCP_NODELAY失败%d", static_cast<int>(GetLastError()));
  if (m_socketBufferSize == 0) return;
  int size = static_cast<int>(m_socketBufferSize);
  if (setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&size), sizeof(size)) != 0)
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "设置SO_SNDBUF失败");
  if (setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof(size)) != 0)
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "设置SO_RCVBUF失败");
}

void Session::CloseSocket() {
  if (!m_socket.Valid()) return;
  if (m_socket.Close() != 0) {
    char data[64];
    snprintf(data, sizeof(data), "关闭SOCKET：%d", WSAGetLastError());
    ENGINE_REPORT("false&&data");
  }
}

void Session::Log(const char* format, ...) {
  NetworkObject* object = GetNetworkObject();
  if (object == nullptr || format == nullptr) return;
  char text[512];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  char address[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, const_cast<in_addr*>(&m_peer.sin_addr), address, sizeof(address));
  printf("%s(%s)\n", text, address);
  object->OnLog(text);
}

void Session::ResetLocked() {
  m_sendBuffer.Reset();
  m_recvBuffer.Reset();
  InterlockedExchange(&m_closePending, 0);
  InterlockedExchange(&m_closeFlag, 0);
  m_scrambledCount = 0;
  m_recvDeferred = false;
  RenewStamp();
}

void Session::ResetForUse() {
  NetHold io(m_ioLock);
  ResetLocked();
}

void Session::ShutdownSocket() {
  NetHold io(m_ioLock);
  // From here on every completion belongs to the use that is ending.
  RenewStamp();
  if (!m_socket.Valid() || shutdown(m_socket.Get(), SD_BOTH) != SOCKET_ERROR) return;
  int error = WSAGetLastError();
  if (error != WSAENOTCONN) EngineFunc::EngineFunc_DebugPrint(0, "Shutdown_SOCKET：%d", error);
}

void Session::ResetForPool() {
  NetHold io(m_ioLock);
  CloseSocket();
  ResetLocked();
}

bool Session::PostFirstRecv() {
  NetHold io(m_ioLock);
  RenewStamp();
  if (m_recvInFlight.load()) {
    m_recvDeferred = true;
    return true;
  }
  return PreRecv();
}

bool Session::EndRecv() {
  m_recvInFlight.store(false);
  const bool deferred = m_recvDeferred;
  m_recvDeferred = false;
  return deferred;
}

void Session::ReuseForAccept(HANDLE completionPort) {
  EngineFunc::EngineFunc_DebugPrint(0, "SOCKET将重置,ID:%d", static_cast<int>(m_id));
  NetHold io(m_ioLock);
  RenewStamp();
  PrepareRecord(m_reuseRecord, kIoReuse);
  if (!TransmitFile(m_socket.Get(), nullptr, 0, 0, &m_reuseRecord.overlapped, nullptr,
                    TF_DISCONNECT | TF_REUSE_SOCKET) &&
      WSAGetLastError() != WSA_IO_PENDING) {
    // The type-4 path still runs, with a fresh socket made when listening again.
    CloseSocket();
    PostQueuedCompletionStatus(completionPort, 0, reinterpret_cast<ULONG_PTR>(this), &m_reuseRecord.overlapped);
  }
  CCommonBufferMgr::GetInstance().AddPendingAccept(1);
}

bool Session::ListenAgain(SOCKET listenSocket) {
  EngineFunc::EngineFunc_DebugPrint(0, "SOCKET启动监听操作:%d", static_cast<int>(m_id));
  NetHold io(m_ioLock);
  if (!m_socket.Valid()) {
    m_socket.Reset(WSASocketA(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED));
    if (m_socket.Valid()) SetSocketOptions();
  }
  ResetLocked();
  char* region = nullptr;
  int length = 0;
  if (!m_recvBuffer.GetRecvRegion(&region, &length) || length < 2 * 32) return false;
  PrepareRecord(m_acceptRecord, kIoAccept);
  DWORD received = 0;
  if (!AcceptEx(listenSocket, m_socket.Get(), region, 0, 32, 32, &received, &m_acceptRecord.overlapped)) {
    int error = WSAGetLastError();
    if (error != WSA_IO_PENDING) {
      EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "%d", error);
      return false;
    }
  }
  CCommonBufferMgr::GetInstance().AddPendingAccept(-1);
  return true;
}
