// The library-backed ping against the loopback peer: one run over every
// behaviour, an empty list, hung hosts at teardown, the installed thread
// procedure, the round trip across the wrap and the server session registry.
#include <gtest/gtest.h>

#include <process.h>

#include <map>
#include <string>
#include <vector>

#include "NewNetwork/NetTestUtil.h"
#include "ServerListIni.h"
#include "ServerPing.h"
#include "ServerSessionManager.h"
#include "support/TestSupport.h"

using nettest::PeerPort;
using testsupport::ReportCapture;

namespace {

struct Completion {
  volatile LONG calls = 0;
  DWORD at = 0;
};

void OnDone(void* context) {
  Completion* done = static_cast<Completion*>(context);
  done->at = GetTickCount();
  InterlockedIncrement(&done->calls);
}

ServerEntry Row(const std::string& behaviour, uint16_t group, int index) {
  ServerEntry e;
  e.kind = "server";
  e.state = "normal";
  e.name = behaviour + std::to_string(index);
  e.ip = "127.0.0.1";
  e.areaIndex = e.recommend = 1;
  e.port = 8000;
  e.doublelineindex = group;
  e.pingport = PeerPort(behaviour);
  return e;
}

std::vector<std::string> Names(const ServerList& list) {
  std::vector<std::string> names;
  for (const ServerEntry& e : list.Rows()) names.push_back(e.name);
  return names;
}

}  // namespace

TEST(PingRun, EveryBehaviourMeasuredAndChosen) {
  ASSERT_NE(0, PeerPort("echo")) << "the loopback peer is not running";
  const struct {
    const char* behaviour;
    uint16_t group;
    bool answered;
  } table[] = {
      {"echo", 5, true},      {"delay", 5, true},     {"silent", 2, false},   {"two", 2, true},
      {"nolisten", 0, false}, {"close", 0, false},    {"reset", 0, false},    {"hung", 0, false},
      {"oversize", 0, false}, {"badlen", 0, false},   {"plain", 0, false},    {"lzo", 0, true},
      {"lzocorrupt", 0, false}, {"dribble", 0, true}, {"wrongtype", 0, false}, {"short", 0, false},
      {"echo", 0, true},
  };
  ServerList list;
  std::map<std::string, bool> answered;
  for (int i = 0; i < static_cast<int>(sizeof(table) / sizeof(table[0])); ++i) {
    list.Add(Row(table[i].behaviour, table[i].group, i));
    answered[table[i].behaviour + std::to_string(i)] = table[i].answered;
  }
  Completion done;
  list.SetCompletion(&OnDone, &done);

  ServerPing::PingRunStats stats = {};
  ReportCapture reports;
  // The silent and hung rows keep the run for its whole wait; the answering
  // ones must come within it however loaded the machine, so it is longer
  // than the launcher's own.
  const DWORD wait = 20000;
  const DWORD start = GetTickCount();
  ServerPing::RunPing(list, wait, &stats);
  const DWORD end = GetTickCount();

  EXPECT_EQ(1, done.calls);
  // A hung connect lasts the system's minutes; the run waits its own wait only.
  EXPECT_LT(end - done.at, 30000u) << "ms of teardown with a hung connect";
  EXPECT_LT(end - start, wait + 40000u) << "ms of the whole run";
  EXPECT_EQ(0, stats.outstandingAfterTeardown);
  EXPECT_EQ(0u, ServerSessionManager::GetInstance().Count());
  EXPECT_TRUE(reports.Contains("解压失败"));

  // Group-0 rows in list order, then the fastest of group 2, then of group 5.
  std::vector<std::string> order;
  for (int i = 4; i < 17; ++i) order.push_back(std::string(table[i].behaviour) + std::to_string(i));
  order.push_back("two3");
  order.push_back("echo0");
  EXPECT_EQ(order, Names(list));
  for (const ServerEntry& e : list.Rows()) {
    if (answered[e.name]) {
      EXPECT_LT(e.ping, static_cast<int>(wait)) << e.name;  // answered within the wait
    } else {
      EXPECT_EQ(10000, e.ping) << e.name;
    }
  }
}

TEST(PingRun, DelayedAnswerGivesHalfTheRoundTrip) {
  ServerList list;
  list.Add(Row("delay", 0, 0));
  // The run ends with the answer: a long wait costs nothing.
  ServerPing::RunPing(list, testsupport::kEventWaitMs, nullptr);
  // The peer answers after 2 s.
  EXPECT_GE(list.Rows()[0].ping, 995);
  EXPECT_LT(list.Rows()[0].ping, static_cast<int>(testsupport::kEventWaitMs)) << "answered within the run's wait";
}

TEST(PingRun, EmptyListEndsAtOnce) {
  ServerList list;
  Completion done;
  list.SetCompletion(&OnDone, &done);
  // A wait far longer than the test may take: ending at all is ending at once.
  const DWORD start = GetTickCount();
  ServerPing::RunPing(list, 600000, nullptr);
  EXPECT_EQ(1, done.calls);
  EXPECT_LT(GetTickCount() - start, 60000u);
  EXPECT_FALSE(testsupport::FileExists("server_list.ini"));
}

TEST(PingRun, HungConnectsEndPromptlyAtTeardown) {
  ServerList list;
  for (int i = 0; i < 20; ++i) list.Add(Row("hung", 0, i));
  Completion done;
  list.SetCompletion(&OnDone, &done);
  ServerPing::PingRunStats stats = {};
  const DWORD start = GetTickCount();
  ServerPing::RunPing(list, 300, &stats);
  // A hung connect lasts the system's minutes.
  EXPECT_LT(GetTickCount() - start, 30000u) << "ms for a 300 ms run with hung connects";
  EXPECT_EQ(1, done.calls);
  EXPECT_EQ(20, stats.outstandingAtEnd);
  EXPECT_EQ(0, stats.outstandingAfterTeardown);
  for (const ServerEntry& e : list.Rows()) EXPECT_EQ(10000, e.ping);
}

TEST(PingRun, InstalledThreadProcedureAlwaysCompletes) {
  ServerPing::InstallNetworkPing();
  ServerList list;
  for (int i = 0; i < 3; ++i) list.Add(Row("nolisten", 0, i));
  Completion done;
  list.SetCompletion(&OnDone, &done);
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, GetPingThreadProc(), &list, 0, nullptr));
  ASSERT_NE(nullptr, thread);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, testsupport::kEventWaitMs)) << "the ping thread ending";
  CloseHandle(thread);
  EXPECT_EQ(1, done.calls);
  SetPingThreadProc(nullptr);
}

// The message itself makes the round trips above; its 16-bit time wraps.
TEST(PingMessage, RoundTripAcrossTheWrap) {
  const struct {
    DWORD now;
    uint16_t echoed, roundTrip;
  } cases[] = {{65540, 65530, 10}, {1010, 1000, 10}, {0x10000, 0xFFFF, 1}, {77, 77, 0}};
  for (const auto& c : cases) EXPECT_EQ(c.roundTrip, ServerPing::RoundTrip(c.now, c.echoed)) << c.now;
}

TEST(ServerSessionRegistry, RegistersOnceAndRemovesOnlyItsOwnEntry) {
  ServerSessionManager& registry = ServerSessionManager::GetInstance();
  const size_t before = registry.Count();
  ServerSession first(&registry), second(&registry), never(&registry);
  first.OnConnect(false, 7);
  EXPECT_EQ(before, registry.Count());
  first.OnConnect(true, 7);
  EXPECT_EQ(&first, registry.FindServer(7));
  ReportCapture reports;
  second.OnConnect(true, 7);
  EXPECT_TRUE(reports.Contains("FindServer( pServer->GetSessionIndex() ) == NULL"));
  EXPECT_EQ(&first, registry.FindServer(7));
  second.OnDisconnect();
  EXPECT_EQ(&first, registry.FindServer(7));
  second.OnAccept(7);
  EXPECT_TRUE(reports.Contains("ServerSession::OnAccept的这个ID还存在，所以不能进行插入"));

  never.OnDisconnect();
  EXPECT_EQ(before + 1, registry.Count());
  first.OnDisconnect();
  EXPECT_EQ(nullptr, registry.FindServer(7));
}
