#include "ServerSession.h"

#include "NewNetwork/Session/Session.h"
#include "common/EngineFun/Helper.h"

ServerSession::ServerSession(IServerRegistry* registry)
    : m_registry(registry), m_sessionIndex(0), m_connected(0), m_resetTime(0), m_registered(0), m_value(1) {}

void ServerSession::Reset() {
  m_sessionIndex = 0;
  m_connected = 0;
  m_resetTime = GetTickCount();
  InterlockedExchange(&m_registered, 0);
  m_name.clear();
}

void ServerSession::OnConnect(bool success, uint32_t sessionId) {
  if (!success) return;
  m_connected = 1;
  m_sessionIndex = sessionId;
  if (m_registry != nullptr) m_registry->AddServer(this);
  InterlockedExchange(&m_registered, 1);
}

void ServerSession::OnAccept(uint32_t sessionId) {
  m_connected = 0;
  m_sessionIndex = sessionId;
  if (m_registry != nullptr && m_registry->FindServer(sessionId) != nullptr) {
    ENGINE_REPORT("false&&\"ServerSession::OnAccept的这个ID还存在，所以不能进行插入\"");
    if (Session* session = GetSession()) session->SetClose();
    return;
  }
  if (m_registry != nullptr) m_registry->AddServer(this);
  InterlockedExchange(&m_registered, 1);
}

void ServerSession::OnDisconnect() {
  if (m_registry != nullptr) m_registry->RemoveServer(m_sessionIndex, this);
  InterlockedExchange(&m_registered, 0);
}
