// A locked list of sessions. Whoever holds a session when the list is
// destroyed owns it: the list deletes every session still in it (unless
// the session is marked shared).
#pragma once
#include <cstddef>
#include <list>

#include "NewNetwork/NetLock.h"

class Session;

class SessionList {
 public:
  SessionList() {}
  virtual ~SessionList();
  SessionList(const SessionList&) = delete;
  SessionList& operator=(const SessionList&) = delete;

  void PushBack(Session* session);
  // Null when empty.
  Session* PopFront();
  // Moves every session to the back of `out`.
  void TakeAll(std::list<Session*>& out);
  // Moves `sessions` to the back of this list.
  void PutAll(std::list<Session*>& sessions);
  bool Remove(Session* session);
  size_t Size();
  bool Empty() { return Size() == 0; }

  // For a walk under the lock (Items() only while Lock is held).
  NetLock& Lock() { return m_lock; }
  std::list<Session*>& Items() { return m_items; }

 private:
  NetLock m_lock;
  std::list<Session*> m_items;
};
