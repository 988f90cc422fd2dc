// Accept-side sessions parked for ten seconds: after a close before their
// socket is reused, and after the reuse before they listen again. Each
// handler has one list of each kind; the update thread passes them.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <list>
#include <vector>

#include "NewNetwork/NetLock.h"

class Session;

class CWaitSessionList {
 public:
  static const DWORD kParkMs = 10000;
  static const DWORD kPassGapMs = 1000;

  explicit CWaitSessionList(DWORD now = timeGetTime()) : m_lastPass(now) {}
  virtual ~CWaitSessionList();
  CWaitSessionList(const CWaitSessionList&) = delete;
  CWaitSessionList& operator=(const CWaitSessionList&) = delete;

  bool Add(Session* session) { return Add(session, timeGetTime()); }
  bool Add(Session* session, DWORD now);
  // The sessions whose ten seconds are over, in the order they came; none
  // when the last pass was no more than a second ago.
  std::vector<Session*> TakeDue(DWORD now);
  size_t Size();

 private:
  struct Entry {
    Session* session;
    DWORD due;
  };
  NetLock m_lock;
  std::list<Entry> m_entries;
  DWORD m_lastPass;
};

class CWaitReleaseSession : public CWaitSessionList {
 public:
  // Due sessions disconnect for reuse; their completions reach this port.
  void Pass(HANDLE completionPort);
};

class CWaitAcceptSession : public CWaitSessionList {
 public:
  // Due sessions listen again on this socket.
  void Pass(SOCKET listenSocket);
};
