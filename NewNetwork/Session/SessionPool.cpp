#include "SessionPool.h"

#include <winsock2.h>
#include <windows.h>

#include "Session.h"
#include "common/EngineFun/Helper.h"
#include "common/EngineFun/ReportSink.h"

void SessionPool::Init(uint32_t count, const IOHANDLER_DESC* desc, uint32_t firstId, bool accepted) {
  if (desc == nullptr) {
    EngineFunc::ShowMessageBox(nullptr, "指针为空", nullptr, MB_OK);
    return;
  }
  m_dwMaxSize = count;
  NetHold hold(m_pList->Lock());
  for (uint32_t i = 0; i < count; ++i) {
    Session* session = new Session(desc, firstId + i);
    session->SetAccepted(accepted);
    session->m_inPool = true;
    m_pList->Items().push_back(session);
  }
}

Session* SessionPool::Alloc() {
  NetHold hold(m_pList->Lock());
  auto& items = m_pList->Items();
  if (items.empty()) return nullptr;
  Session* session = items.front();
  items.pop_front();
  session->m_inPool = false;
  return session;
}

bool SessionPool::Free(Session* session) {
  if (session == nullptr) return false;
  NetHold hold(m_pList->Lock());
  if (session->m_inPool) {
    // A second free would hand one session to two users.
    ENGINE_REPORT("false&&\"会话已在池中，不能再次归还\"");
    return false;
  }
  if (m_pList->Items().size() >= m_dwMaxSize) ENGINE_REPORT("m_pList->size() < m_dwMaxSize");
  session->m_inPool = true;
  m_pList->Items().push_back(session);
  return true;
}
