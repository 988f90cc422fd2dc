// The socket half of the server ping: one session per row of the server
// list, one ping message each, a wait of at most five seconds, then the
// fastest of each group and the list's completion callback.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "LibInclude/ServerSession.h"
#include "NewNetwork/Server/IOCPServer.h"
#include "ServerEntry.h"

namespace ServerPing {

const DWORD kPingWaitMs = 5000;
const uint16_t PING_MSG_TYPE = 0x0805;
const uint32_t kPingMessageSize = 14;
const uint16_t kNoRoundTrip = 10000;

class PingServerSession;

// One ping run: the library, a session per row and the count of sessions
// that have not finished. The ping thread makes it and tears it down.
struct PingCounter {
  explicit PingCounter(ServerList* list) : list(list), outstanding(0), measuring(1) {}
  // The library goes first: every open session hears OnDisconnect while its
  // object still exists.
  ~PingCounter();

  ServerList* list;
  std::vector<ServerEntry> rows;  // as they were when the run started
  std::vector<std::unique_ptr<PingServerSession>> sessions;
  std::unique_ptr<IOCPServer> server;
  volatile LONG outstanding;
  volatile LONG measuring;  // answers after the wait no longer count
};

class PingServerSession : public ServerSession {
 public:
  PingServerSession(PingCounter* counter, uint32_t entryIndex);

  void OnRecv(char* packet, uint32_t size) override;
  void OnDisconnect() override;
  void OnConnect(bool success, uint32_t sessionId) override;
  int GetServerType() const override { return 0x15; }

  uint32_t GetEntryIndex() const { return m_entryIndex; }
  uint16_t GetLastRoundTrip() const { return m_lastRoundTrip; }

 private:
  PingCounter* m_counter;
  uint32_t m_entryIndex;
  uint16_t m_lastRoundTrip;
};

// The 14-byte ping message carrying the sender's time.
void BuildPingMessage(char (&message)[kPingMessageSize], DWORD now);
// Half the round trip from the answer's echoed low 16 bits of the time.
uint16_t RoundTrip(DWORD now, uint16_t echoed);

// Starts the library for n rows and connects every row; false when the
// library could not start (the rows then keep 10000).
bool CreatePingServer(uint32_t n, PingCounter& counter);
void ConnectAllPingSessions(PingCounter& counter);

// What a run left behind, for the tests.
struct PingRunStats {
  LONG outstandingAtEnd;       // when the wait ended
  LONG outstandingAfterTeardown;
  DWORD waitMs;                // connect to the end of the wait
};

// A whole run over the list: measure for at most waitMs, choose the fastest
// per group, call the completion callback (always), tear the library down.
void RunPing(ServerList& list, DWORD waitMs, PingRunStats* stats);

// The ping thread's procedure; its argument is the ServerList.
unsigned __stdcall PingThreadProc(void* serverList);

// Makes RegisterPingServers start PingThreadProc.
void InstallNetworkPing();

}  // namespace ServerPing
