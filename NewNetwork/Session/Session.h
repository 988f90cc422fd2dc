// One TCP socket of the library with its send and receive buffers and its
// overlapped records. Sessions are made once per handler and recycled; each
// use carries a new stamp so that completions of an earlier use are known.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "NetworkObject.h"
#include "NewNetwork/Buffer/RecvBufferEX.h"
#include "NewNetwork/Buffer/SendBufferEX.h"
#include "NewNetwork/NetDesc.h"
#include "NewNetwork/NetLock.h"
#include "NewNetwork/ScopedSocket.h"

class Session;

enum IoOperation : DWORD { kIoSend = 1, kIoRecv = 2, kIoAccept = 3, kIoReuse = 4 };

struct OVERLAPPEDEX {
  OVERLAPPED overlapped;
  DWORD dwIoSize;
  DWORD dwFlags;
  DWORD dwOperationType;
  Session* pSession;  // filled for accepts, which arrive without a session key
  DWORD dwUnused;
  uint64_t stamp;  // the session's stamp when the operation was posted
};

class Session {
 public:
  // Without a descriptor the session is unusable ("指针为空" box).
  Session(const IOHANDLER_DESC* desc, uint32_t id);
  virtual ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Appends to the send buffer; a refusal sets the close flag.
  bool Send(uint32_t size, const char* packet);
  // Posts the next send when there is data and no send in flight; false
  // when the send failed (the caller closes the session).
  bool PreSend();
  // Posts the next receive. The caller holds the I/O lock.
  bool PreRecv();
  // Hands every complete packet to the object; false closes the session.
  bool ProcessRecvPackets(uint32_t maxSize);
  void SetSocketOptions();
  void CloseSocket();
  void Log(const char* format, ...);

  // Completions of this session's operations; the caller holds the I/O lock
  // and has checked the record's stamp.
  void OnSendDone(DWORD bytes);
  void OnRecvDone(DWORD bytes);

  // A use ends: a new stamp, so that its operations still in flight are
  // known as stale, then the socket is shut down both ways.
  void ShutdownSocket();
  // Back to a pool: socket closed, buffers and flags cleared, new stamp.
  void ResetForPool();
  // A new use: buffers emptied, flags cleared, new stamp.
  void ResetForUse();
  // Connected: a new stamp and the first receive. While a receive of the
  // use before is still in flight its record cannot be rewritten: the first
  // receive then waits for that completion (EndRecv).
  bool PostFirstRecv();
  // A completion of the send or receive record was taken from the port, so
  // the record is free again: its stamp is compared before, as the next
  // send may be posted through it at once. EndRecv is called with the I/O
  // lock held and says whether a first receive waits to be posted.
  void EndSend() { m_sendInFlight.store(false); }
  bool EndRecv();
  // Accept side: the socket disconnected for reuse, then listening again.
  void ReuseForAccept(HANDLE completionPort);
  bool ListenAgain(SOCKET listenSocket);

  NetLock& IoLock() { return m_ioLock; }
  uint64_t GetStamp() const { return m_stamp.load(); }
  bool IsCurrent(const OVERLAPPEDEX* record) const { return record->stamp == m_stamp.load(); }

  SOCKET GetSocket() const { return m_socket.Get(); }
  void SetSocket(SOCKET s) { m_socket.Reset(s); }
  const sockaddr_in& GetPeerAddress() const { return m_peer; }
  void SetPeerAddress(const sockaddr_in& peer) { m_peer = peer; }
  NetworkObject* GetNetworkObject() const { return m_pObject.load(); }
  // Links object and session both ways (null object: unlinks both).
  void Link(NetworkObject* object);
  void Unlink();

  bool ShouldClose() const { return m_closeFlag != 0; }
  void SetClose() { InterlockedExchange(&m_closeFlag, 1); }
  bool IsClosePending() const { return m_closePending != 0; }
  void SetClosePending() { InterlockedExchange(&m_closePending, 1); }

  uint32_t GetSessionId() const { return m_id; }
  bool IsAccepted() const { return m_accepted; }
  void SetAccepted(bool accepted) { m_accepted = accepted; }
  bool IsShared() const { return m_shared != 0; }
  bool IsScrambled() const { return m_bScramble != 0; }
  DWORD GetLastRecvTime() const { return m_lastRecvTime; }
  void SetLastRecvTime(DWORD t) { m_lastRecvTime = t; }
  DWORD GetTimeOut() const { return m_timeOut; }
  bool IsUsable() const { return m_usable; }

  OVERLAPPEDEX& AcceptRecord() { return m_acceptRecord; }
  OVERLAPPEDEX& ReuseRecord() { return m_reuseRecord; }
  SendBufferEX& GetSendBuffer() { return m_sendBuffer; }
  RecvBufferEX& GetRecvBuffer() { return m_recvBuffer; }

 private:
  friend class SessionPool;

  void RenewStamp();
  void ResetLocked();
  void PrepareRecord(OVERLAPPEDEX& record, IoOperation type);

  SendBufferEX m_sendBuffer;
  RecvBufferEX m_recvBuffer;
  std::atomic<NetworkObject*> m_pObject;
  ScopedSocket m_socket;
  sockaddr_in m_peer;
  OVERLAPPEDEX m_acceptRecord;
  OVERLAPPEDEX m_reuseRecord;
  volatile DWORD m_lastRecvTime;
  volatile LONG m_closeFlag;
  DWORD m_timeOut;
  uint32_t m_id;
  bool m_accepted;
  volatile LONG m_closePending;
  OVERLAPPEDEX m_sendRecord;
  uint32_t m_sessionValue;
  OVERLAPPEDEX m_recvRecord;
  uint8_t m_bScramble;
  int m_scrambledCount;
  int m_shared;
  uint32_t m_maxPacketSize;
  uint32_t m_socketBufferSize;
  uint8_t m_bAcceptNoPause;
  uint8_t m_bSessionFlag;
  std::atomic<uint64_t> m_stamp;
  // The kernel owns a record from its post to its completion, whatever use
  // the session has meanwhile; the flags outlive every reset.
  std::atomic<bool> m_sendInFlight;
  std::atomic<bool> m_recvInFlight;
  bool m_recvDeferred;  // guarded by the I/O lock
  NetLock m_ioLock;  // a completion's work against recycling
  bool m_inPool;     // guarded by the pool's lock
  bool m_usable;
};
