// The program's base for its connections to servers: while connected, a
// ServerSession is registered by its session index in a registry that the
// program gives it (the launcher's is the process-wide ServerSessionManager).
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "NewNetwork/Session/NetworkObject.h"

class ServerSession;

// Holds pointers only; never owns or frees a session.
class IServerRegistry {
 public:
  // An index already present keeps its first session (reported).
  virtual void AddServer(ServerSession* session) = 0;
  virtual ServerSession* FindServer(uint32_t index) = 0;
  // Removes the index only while it names this session.
  virtual void RemoveServer(uint32_t index, ServerSession* session) = 0;

 protected:
  ~IServerRegistry() {}
};

class ServerSession : public NetworkObject {
 public:
  explicit ServerSession(IServerRegistry* registry);
  ~ServerSession() override {}

  void OnRecv(char*, uint32_t) override {}
  void OnAccept(uint32_t sessionId) override;
  void OnDisconnect() override;
  void OnConnect(bool success, uint32_t sessionId) override;

  virtual void Reset();
  virtual void ClearName() { m_name.clear(); }
  // Returns the old value.
  virtual LONG SetValue(LONG value) { return InterlockedExchange(&m_value, value); }
  virtual LONG GetValue() const { return m_value; }
  virtual int GetServerType() const { return 0; }

  uint32_t GetSessionIndex() const { return m_sessionIndex; }
  bool IsConnected() const { return m_connected != 0; }
  bool IsRegistered() const { return m_registered != 0; }
  const std::string& GetName() const { return m_name; }
  void SetName(const std::string& name) { m_name = name; }

 private:
  IServerRegistry* m_registry;
  uint32_t m_sessionIndex;
  std::string m_name;
  int m_connected;
  DWORD m_resetTime;
  volatile LONG m_registered;
  volatile LONG m_value;
};
