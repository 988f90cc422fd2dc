// The free sessions of one kind (accepted or connected) of one handler; the
// sessions are made once by Init and owned by whichever list holds them.
#pragma once
#include <cstdint>
#include <memory>

#include "NewNetwork/NetDesc.h"
#include "SessionList.h"

class Session;

class SessionPool {
 public:
  SessionPool() : m_dwMaxSize(0), m_pList(new SessionList()) {}
  SessionPool(const SessionPool&) = delete;
  SessionPool& operator=(const SessionPool&) = delete;

  // count sessions numbered firstId, firstId + 1, ...
  void Init(uint32_t count, const IOHANDLER_DESC* desc, uint32_t firstId, bool accepted);
  // Null when every session is in use.
  Session* Alloc();
  // Refuses (reported) a session that is already in the pool.
  bool Free(Session* session);

  uint32_t GetMaxSize() const { return m_dwMaxSize; }
  size_t GetFreeCount() { return m_pList->Size(); }

 private:
  uint32_t m_dwMaxSize;
  std::unique_ptr<SessionList> m_pList;
};
