#include "ServerSessionManager.h"

#include "common/EngineFun/Helper.h"

ServerSessionManager& ServerSessionManager::GetInstance() {
  static ServerSessionManager manager;
  return manager;
}

void ServerSessionManager::AddServer(ServerSession* session) {
  if (session == nullptr) return;
  NetHold hold(m_lock);
  if (!m_servers.emplace(session->GetSessionIndex(), session).second)
    ENGINE_REPORT("FindServer( pServer->GetSessionIndex() ) == NULL");
}

ServerSession* ServerSessionManager::FindServer(uint32_t index) {
  NetHold hold(m_lock);
  auto found = m_servers.find(index);
  return found == m_servers.end() ? nullptr : found->second;
}

void ServerSessionManager::RemoveServer(uint32_t index, ServerSession* session) {
  NetHold hold(m_lock);
  auto found = m_servers.find(index);
  // A session refused as a duplicate never takes the first one's entry away.
  if (found != m_servers.end() && found->second == session) m_servers.erase(found);
}

size_t ServerSessionManager::Count() {
  NetHold hold(m_lock);
  return m_servers.size();
}
