#include "SessionList.h"

#include <algorithm>

#include "Session.h"

SessionList::~SessionList() {
  NetHold hold(m_lock);
  for (Session* session : m_items)
    if (!session->IsShared()) delete session;
  m_items.clear();
}

void SessionList::PushBack(Session* session) {
  NetHold hold(m_lock);
  m_items.push_back(session);
}

Session* SessionList::PopFront() {
  NetHold hold(m_lock);
  if (m_items.empty()) return nullptr;
  Session* session = m_items.front();
  m_items.pop_front();
  return session;
}

void SessionList::TakeAll(std::list<Session*>& out) {
  NetHold hold(m_lock);
  out.splice(out.end(), m_items);
}

void SessionList::PutAll(std::list<Session*>& sessions) {
  NetHold hold(m_lock);
  m_items.splice(m_items.end(), sessions);
}

bool SessionList::Remove(Session* session) {
  NetHold hold(m_lock);
  auto found = std::find(m_items.begin(), m_items.end(), session);
  if (found == m_items.end()) return false;
  m_items.erase(found);
  return true;
}

size_t SessionList::Size() {
  NetHold hold(m_lock);
  return m_items.size();
}
