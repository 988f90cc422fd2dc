// The launcher's registry of connected server sessions by session index.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>

#include "LibInclude/ServerSession.h"
#include "NewNetwork/NetLock.h"

class ServerSessionManager : public IServerRegistry {
 public:
  static ServerSessionManager& GetInstance();

  void AddServer(ServerSession* session) override;
  ServerSession* FindServer(uint32_t index) override;
  void RemoveServer(uint32_t index, ServerSession* session) override;
  size_t Count();

 private:
  NetLock m_lock;
  char m_name[65] = {};
  std::map<uint32_t, ServerSession*> m_servers;
};
