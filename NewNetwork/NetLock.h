// The one lock of the network library: a slim reader/writer lock.
//
// Exclusive holds guard blocks, block lists, pools and session lists. Shared
// holds are taken only on a session buffer's buffer lock: writers, the
// sender and the packet reader share it, Reset takes it alone. A hold is
// never upgraded and never taken twice by one thread (the lock is not
// recursive), so no two holders can wait on each other inside one lock.
//
// Order, outermost first: a handler's session list; a session's I/O lock;
// a buffer's buffer lock; its send-block or write-block lock; its list lock;
// then either a block's own lock or a block pool's lock (never both).
#pragma once
#include <winsock2.h>
#include <windows.h>

class NetLock {
 public:
  NetLock() { InitializeSRWLock(&m_lock); }
  NetLock(const NetLock&) = delete;
  NetLock& operator=(const NetLock&) = delete;

  void Lock() { AcquireSRWLockExclusive(&m_lock); }
  void Unlock() { ReleaseSRWLockExclusive(&m_lock); }
  void LockShared() { AcquireSRWLockShared(&m_lock); }
  void UnlockShared() { ReleaseSRWLockShared(&m_lock); }

 private:
  SRWLOCK m_lock;
};

class NetHold {
 public:
  explicit NetHold(NetLock& lock) : m_lock(lock) { m_lock.Lock(); }
  ~NetHold() { m_lock.Unlock(); }
  NetHold(const NetHold&) = delete;
  NetHold& operator=(const NetHold&) = delete;

 private:
  NetLock& m_lock;
};

class NetSharedHold {
 public:
  explicit NetSharedHold(NetLock& lock) : m_lock(lock) { m_lock.LockShared(); }
  ~NetSharedHold() { m_lock.UnlockShared(); }
  NetSharedHold(const NetSharedHold&) = delete;
  NetSharedHold& operator=(const NetSharedHold&) = delete;

 private:
  NetLock& m_lock;
};
