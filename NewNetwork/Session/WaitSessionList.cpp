#include "WaitSessionList.h"

#include "Session.h"

CWaitSessionList::~CWaitSessionList() {
  NetHold hold(m_lock);
  for (const Entry& entry : m_entries)
    if (!entry.session->IsShared()) delete entry.session;
  m_entries.clear();
}

bool CWaitSessionList::Add(Session* session, DWORD now) {
  if (session == nullptr) return false;
  NetHold hold(m_lock);
  m_entries.push_back(Entry{session, now + kParkMs});
  return true;
}

std::vector<Session*> CWaitSessionList::TakeDue(DWORD now) {
  std::vector<Session*> due;
  NetHold hold(m_lock);
  if (now - m_lastPass <= kPassGapMs) return due;
  for (auto it = m_entries.begin(); it != m_entries.end();) {
    // Signed difference: right across the wrap of the millisecond counter.
    if (static_cast<LONG>(now - it->due) >= 0) {
      due.push_back(it->session);
      it = m_entries.erase(it);
    } else {
      ++it;
    }
  }
  m_lastPass = now;
  return due;
}

size_t CWaitSessionList::Size() {
  NetHold hold(m_lock);
  return m_entries.size();
}

void CWaitReleaseSession::Pass(HANDLE completionPort) {
  for (Session* session : TakeDue(timeGetTime())) session->ReuseForAccept(completionPort);
}

void CWaitAcceptSession::Pass(SOCKET listenSocket) {
  // A session that cannot listen stays parked, so the list still owns it.
  for (Session* session : TakeDue(timeGetTime()))
    if (!session->ListenAgain(listenSocket)) Add(session);
}
