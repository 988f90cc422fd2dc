// The game's login servers as the ping measures them, the process-wide list
// that holds them, and the thread procedure that pings them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "common/Locks.h"

struct ServerEntry {
  std::string kind;   // "server"
  std::string state;  // "normal"
  std::string name;
  std::string ip;
  uint16_t areaIndex = 0;
  uint16_t recommend = 0;
  uint16_t port = 0;
  uint16_t resindex = 0;
  uint16_t doublelineindex = 0;  // the group key; 0 is no group
  int32_t ping = 10000;          // half the round trip in ms; 10000 until answered
  uint16_t pingport = 0;
};

// Called once when a ping run has finished, with the context it was given.
typedef void (*PingCompletion)(void* context);

class ServerList {
 public:
  void Clear();
  void Add(const ServerEntry& entry);
  size_t Count() const;
  // Copies, so that a reader never sees a row being replaced.
  std::vector<ServerEntry> Rows() const;
  bool Row(size_t index, ServerEntry* entry) const;
  void ReplaceRows(const std::vector<ServerEntry>& rows);
  // False for an index outside the list.
  bool SetPing(size_t index, int32_t ping);

  void SetCompletion(PingCompletion completion, void* context);
  // Calls the completion callback when one is set.
  void Complete();

 private:
  mutable CSemiAutoIntLock m_lock;
  std::vector<ServerEntry> m_rows;
  PingCompletion m_completion = nullptr;
  void* m_context = nullptr;
};

// The process-wide list, built on first use.
ServerList& GetServerList();

// The ping thread's procedure; its argument is the ServerList to measure. It
// ends with SelectFastestPerGroup and the list's completion callback, in
// every case. Without the network library installed, the procedure measures
// nothing: every row keeps 10000.
typedef unsigned(__stdcall* PingThreadProc)(void* serverList);
// Installs the procedure that RegisterPingServers starts; returns the previous one.
PingThreadProc SetPingThreadProc(PingThreadProc proc);
PingThreadProc GetPingThreadProc();
unsigned __stdcall PingWithoutNetwork(void* serverList);
