// Single steps of the engine and the server list, table by table.
#include <gtest/gtest.h>

#include "TestHttpServer.h"  // winsock2 before windows

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>

#include "ClientCheck.h"
#include "EngineRun.h"
#include "FileDownload.h"
#include "PingRegistration.h"
#include "ProcessChecks.h"
#include "UpdateDriver.h"
#include "ServerListIni.h"
#include "UpdateContext.h"
#include "VersionChain.h"
#include "common/MD5Checksum.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PackClient.h"
#include "common/Pack/PackFileIo.h"
#include "support/TestSupport.h"

using namespace enginetest;
using testsupport::ReadFileBytes;

namespace {

ServerEntry Row(const char* name, uint16_t group, int32_t ping, uint16_t area = 1) {
  ServerEntry e;
  e.name = name;
  e.ip = "10.0.0.1";
  e.doublelineindex = group;
  e.ping = ping;
  e.areaIndex = area;
  return e;
}

std::string Names(const std::vector<ServerEntry>& rows) {
  std::string out;
  for (const ServerEntry& e : rows) out += e.name;
  return out;
}

VersionStep Step(const char* cur, const char* next, const char* show) {
  VersionStep s;
  s.Cur = cur;
  s.Next = next;
  s.ShowVer = show;
  return s;
}

// The run's client files come from server, one request per attempt.
void ServeFrom(UpdateContext& context, const testhttp::Server& server, LauncherCfg::ServerListTables tables) {
  context.SetDownloaderRetry(DOWNLOAD_RETRY_LIMITED, 1, 1);
  tables.microClientVersionUrl = server.Url("/");
  context.SetTables(tables);
}

}  // namespace

TEST(ServerListIni, FastestOfEachGroup) {
  const struct {
    std::vector<ServerEntry> rows;
    const char* kept;
  } cases[] = {
      {{}, ""},
      {{Row("a", 0, 5), Row("b", 0, 1)}, "ab"},                      // no group: as they are
      {{Row("a", 1, 10000), Row("b", 1, 10000)}, "a"},               // equal pings: the earlier
      {{Row("f5", 5, 9), Row("s2", 2, 30), Row("z", 0, 1), Row("t2", 2, 7)}, "zt2f5"},  // 0, then 2, then 5
  };
  for (const auto& c : cases) EXPECT_EQ(c.kept, Names(SelectFastestPerGroup(c.rows)));
}

TEST(ServerListIni, WrittenMaskedAndReadBack) {
  ServerList list;
  ServerEntry s1 = Row("s1", 0, 15);
  s1.recommend = 1, s1.port = 8000, s1.resindex = 2, s1.pingport = 30000;
  list.Add(s1);
  list.Add(Row("other area", 0, 1, 2));
  EXPECT_FALSE(list.SetPing(2, 1));
  ASSERT_TRUE(WriteServerListIniFromPingList(list, 1, "ping_list.ini"));
  // The mask itself is checked by the game stand-in of the whole runs.
  ASSERT_TRUE(ScrambleServerListIni("ping_list.ini"));
  EXPECT_EQ("node server normal s1 10.0.0.1 1 8000 2 0 30000 15\r\n", ReadFileBytes("ping_list.ini"));
  // A file that cannot be created: nothing is written, nothing masked.
  EXPECT_FALSE(WriteServerListIniFromPingList(list, 1, "no_such_folder/server_list.ini"));
  EXPECT_FALSE(testsupport::FileExists("no_such_folder/server_list.ini"));
}

TEST(ServerListIni, WebModeLinesPerSelectedLine) {
  AreaInfo area;
  area.index = 3;
  auto server = [](const char* name, int group, int line) {
    LoginServerLine s;
    s.name = name, s.ip = "1.2.3.4", s.port = 65536 + 7000, s.doublelineindex = group, s.line = line;
    return s;
  };
  area.servers = {server("a", 1, 1), server("b", 1, 2), server("c", 0, 2)};
  AreaInfo later = area;
  later.servers = {server("x", 0, 0)};  // the same index again: ignored
  const std::vector<AreaInfo> areas = {area, later};
  const struct {
    int area, line;
    std::vector<std::string> lines;
  } cases[] = {
      {3, 1, {"node server normal a 1.2.3.4 1 7000 0 0 30000\n", "node server normal c 1.2.3.4 1 7000 0 0 30000\n"}},
      {3, 0,
       {"node server normal a 1.2.3.4 1 7000 0 1 30000\n", "node server normal b 1.2.3.4 1 7000 0 1 30000\n",
        "node server normal c 1.2.3.4 1 7000 0 0 30000\n"}},
      {9, 0, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.lines, WebServerListLines(areas, c.area, c.line)) << c.area << c.line;
}

TEST(VersionChain, LocalVersionsAlignWithTheChain) {
  const std::vector<VersionStep> steps = {Step("1", "2", "show2"), Step("2", "3", "show3"), Step("3", "4", "show4"),
                                          Step("4", "5", "show5"), Step("5", "6", "show6")};
  const struct {
    std::vector<VersionStep> steps;
    const char* version;
    const char* client;
    ReconcileResult result;
    const char* versionAfter;
    const char* clientAfter;
  } cases[] = {
      {steps, "3", "show3", ReconcileResult::Unchanged, "3", "show3"},
      {steps, "6", "show3", ReconcileResult::Changed, "3", "show3"},  // Version from the earlier step
      {steps, "2", "show5", ReconcileResult::Changed, "2", "show2"},  // ClientVersion from the earlier step
      {steps, "9", "show3", ReconcileResult::NotInChain, "9", "show3"},
      {steps, "", "show3", ReconcileResult::EmptyChain, "", "show3"},
      {{}, "3", "show3", ReconcileResult::EmptyChain, "3", "show3"},
  };
  for (const auto& c : cases) {
    std::string version = c.version, client = c.client;
    EXPECT_EQ(c.result, AlignLocalVersions(c.steps, &version, &client)) << c.version << " " << c.client;
    EXPECT_EQ(c.versionAfter, version);
    EXPECT_EQ(c.clientAfter, client);
  }
  EXPECT_EQ(nullptr, GetVersionAfter(steps, "6"));
  EXPECT_FALSE(VersionNewer("1.10", "1.9"));         // 1.1 < 1.9
  EXPECT_FALSE(VersionNewer("1.0.0.9", "1.0.0.3"));  // both 1.0
}

TEST(VersionChain, StepsBackToAVersionLeftAreRefused) {
  VersionStep to4 = Step("2", "4", ""), back = Step("4", "2", ""), restart = to4;
  restart.Restart = "TRUE";  // the new launcher knows nothing of what this one left
  const struct {
    std::vector<VersionStep> steps;
    const char* left;  // "": none
    bool comesBack;    // the first step, towards the newest "3"
  } cases[] = {
      {{to4, back}, "", false},  {{to4}, "2", true},  // its start read back as another text than recorded
      {{Step("2", "2", "")}, "", true},    {{restart, back}, "", true},
      {{restart, Step("4", "3", "")}, "", false}, {{restart, Step("4", "5", "")}, "", false},  // a missing step ends it
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.comesBack, StepComesBack(c.steps, c.steps[0], "3", {c.left}))
        << c.steps[0].Next << c.steps.back().Next << c.left;
}

TEST(ClientCheck, SingleFileDownloads) {
  ClientFolder client("SingleFiles");
  testhttp::Server server([](const std::string& request, int) {
    if (request.find("/missing") != std::string::npos)
      return testhttp::Script{testhttp::Send(testhttp::Reply("404 Not Found", "Content-Length: 0\r\n", ""))};
    return testhttp::Script{testhttp::Send(testhttp::Ok("body"))};
  });
  EngineTestWindow window;
  UpdateRun run(&window);
  UpdateContext& context = run.Context();
  context.SetDownloaderRetry(DOWNLOAD_RETRY_LIMITED, 1, 1);  // one request per attempt
  EXPECT_FALSE(DownloadServerFile(context, "ftp://127.0.0.1/a", "a.bin", 3));
  EXPECT_EQ(UpdateStage::DownloadFailed, run.Stage());
  EXPECT_FALSE(DownloadServerFile(context, server.Url("/missing"), "m.bin", 0));
  EXPECT_EQ(1, server.RequestCount());  // maxRetries 0: one attempt
  // Folders that do not exist yet are made first.
  ASSERT_TRUE(DownloadServerFile(context, server.Url("/F"), "New/Sub/f.bin", 0));
  EXPECT_EQ("body", ReadFileBytes("New/Sub/f.bin"));
  EXPECT_NE(std::string::npos, server.Requests().back().find("GET /f "));  // lower-cased
  // A part file of an earlier attempt, maybe from another server, is not resumed.
  testsupport::WriteFileBytes("g.bin_0", "st");
  ASSERT_TRUE(DownloadServerFile(context, server.Url("/g"), "g.bin", 0));
  EXPECT_NE(std::string::npos, server.Requests().back().find("Range: bytes=0-\r\n"));
  EXPECT_FALSE(testsupport::FileExists("m.bin_0"));  // a failed file leaves no part behind
}

TEST(ClientCheck, ThousandsOfFilesTakeABoundedNumberOfWorkers) {
  ClientFolder client("ParallelFiles");
  std::mutex lock;
  std::condition_variable changed;
  int now = 0, most = 0;
  testhttp::Server server([&](const std::string& request, int index) {
    std::unique_lock<std::mutex> hold(lock);
    most = std::max(most, ++now);
    changed.notify_all();
    // The first request waits for a second one: the files come in parallel.
    if (index == 0) changed.wait_for(hold, std::chrono::seconds(60), [&] { return now > 1; });
    hold.unlock();
    Sleep(5);  // time in flight, so that requests overlap
    hold.lock();
    --now;
    return testhttp::Script{testhttp::Send(testhttp::Ok(request.substr(4, request.find(' ', 4) - 4)))};
  }, 64);
  EngineTestWindow window;
  UpdateRun run(&window);
  const int files = 1000;  // far more than workers; the old thread each came near the 32-bit limit
  std::vector<DownloadRecord> records;
  for (int i = 0; i < files; ++i)
    records.push_back({server.Url("/f" + std::to_string(i)), "many/f" + std::to_string(i)});
  records.push_back({server.Url("/f0"), "MANY\\F0"});      // the same file once
  records.push_back({server.Url("/x"), "../outside/x"});  // refused, skipped
  ASSERT_TRUE(DownloadFilesParallel(run.Context(), &records));
  EXPECT_TRUE(records.empty());
  EXPECT_EQ(files, server.RequestCount());
  // The server sends each file its own path: every file holds that.
  std::string wrong;
  for (int i = 0; i < files; ++i) {
    const std::string name = "/f" + std::to_string(i);
    if (ReadFileBytes("many" + name) != name) wrong += " " + name;
  }
  EXPECT_EQ("", wrong) << "files that do not hold their own body";
  EXPECT_FALSE(testsupport::FileExists("../outside/x"));
  EXPECT_LE(most, kMaxDownloadWorkers);
  EXPECT_GT(most, 1) << "no second request came while the first waited";
}

TEST(ClientCheck, NeedDownloadFilesTakeTheirNamesOnlyWholeAndUnpacked) {
  ClientFolder client("NeedWhole");
  const std::string served = UpdateDir() + "/www/good/micro/1.0.0.3";
  std::atomic<bool> refuse{true};
  testhttp::Server server([&](const std::string& request, int) {
    const std::string path = request.substr(4, request.find(' ', 4) - 4);
    const bool late = path == "/need/late.dat";  // need2.dat under another name
    if (late && refuse)
      return testhttp::Script{testhttp::Send(testhttp::Reply("404 Not Found", "Content-Length: 0\r\n", ""))};
    return testhttp::Script{testhttp::Send(testhttp::Ok(ReadFileBytes(served + (late ? "/need/need2.dat" : path))))};
  });
  std::map<std::string, std::string> plain;  // the fixture's own unpacked bytes
  for (const auto& row : ExpectLines("expect.txt"))
    if (row[0] == "file") plain[row[1]] = ReadFileBytes(UpdateDir() + "/" + row[2]);
  testsupport::ReportCapture reports;
  EngineTestWindow window;
  UpdateRun run(&window);
  UpdateContext& context = run.Context();
  LauncherCfg::ServerListTables tables;
  tables.needDownloads = {{"Need/need1.dat", false}, {"Need/need2.dat", true}, {"Need/late.dat", true}};
  ServeFrom(context, server, tables);
  // One file refused: the batch fails, and only finished files bear a name.
  EXPECT_FALSE(FetchNeedDownloadFiles(context));
  for (const char* name : {"Need/need1.dat", "Need/need2.dat"})
    EXPECT_TRUE(plain[name] == ReadFileBytes(name)) << name << " is not the unpacked file";
  EXPECT_EQ(3u, client.FilesBelow("Need").size());  // need3.dat was there; no late.dat, no side file
  // The next pass fetches only what is missing.
  const int firstPass = server.RequestCount();
  refuse = false;
  EXPECT_TRUE(FetchNeedDownloadFiles(context));
  EXPECT_TRUE(plain["Need/need2.dat"] == ReadFileBytes("Need/late.dat"));
  EXPECT_EQ(firstPass + 1, server.RequestCount());
  EXPECT_EQ(4u, client.FilesBelow("Need").size());
}

namespace {

struct Killed {};
void KillAtReplace(int) { throw Killed(); }

}  // namespace

// A kill between the fetch of a packed checksum file and its unpack leaves
// its own name without the packed image; the next check finishes it.
TEST(ClientCheck, PackedChecksumFileCutBeforeItsUnpack) {
  ClientFolder client("PackedCut");
  const std::string image = ReadFileBytes(ServedPath("good", "micro/1.0.0.3/need/need2.dat"));
  std::string plain;
  for (const auto& row : ExpectLines("expect.txt"))
    if (row[0] == "file" && row[1] == "Need/need2.dat") plain = UpdateDir() + "/" + row[2];
  testhttp::Server server([&](const std::string&, int) { return testhttp::Script{testhttp::Send(testhttp::Ok(image))}; });
  EngineTestWindow window;
  UpdateRun run(&window);
  UpdateContext& context = run.Context();
  LauncherCfg::ServerListTables tables;
  tables.needDownloads = {{"Need/need2.dat", true}};
  tables.checksums = {{"Need/need2.dat", CMD5Checksum::GetFileMD5(plain.c_str()).Str()}};
  ServeFrom(context, server, tables);
  ASSERT_TRUE(testsupport::WriteFileBytes("Need/need2.dat", "stale"));
  bool killed = false;
  FilePack::SetPackFaultHooks({nullptr, nullptr, &KillAtReplace});
  try {
    VerifyClientFiles(context);
  } catch (const Killed&) {
    killed = true;
  }
  FilePack::SetPackFaultHooks({nullptr, nullptr, nullptr});
  ASSERT_TRUE(killed) << "no replace after the fetch";
  EXPECT_NE(image, ReadFileBytes("Need/need2.dat"));
  EXPECT_TRUE(VerifyClientFiles(context));
  EXPECT_TRUE(ReadFileBytes(plain) == ReadFileBytes("Need/need2.dat"));
}

namespace {

const char* const kOldPackFiles[] = {"006.pkg", "006.pkg1", "006.pkg2", "006.pkg2_old"};

// The reconciled pack: the resources the new index changed or dropped are
// gone, the others stay; no "_old" is left.
void ExpectReconciled(const std::string& base) {
  EXPECT_FALSE(testsupport::FileExists(base + ".pkg2_old")) << base;
  FilePack::CFilePackIndexMgr pack;
  ASSERT_TRUE(pack.OpenPack((base + ".pkg1").c_str(), (base + ".pkg").c_str(), false)) << base;
  std::istringstream expect(ReadFileBytes(UpdateDir() + "/oldpacks/expect.txt"));
  for (std::string kind, key; expect >> kind >> key;)
    EXPECT_EQ(kind == "keep", pack.HasFile(key.c_str())) << base << " " << key;
}

bool IndexWriteFails(const char* path, size_t) { return strstr(path, ".pkg1") != nullptr; }

}  // namespace

TEST(ClientCheck, OldPackCopyRemovesChangedResources) {
  for (bool saveFails : {false, true}) {
    SCOPED_TRACE(saveFails ? "the first save fails" : "saved");
    ClientFolder client(saveFails ? "OldPacksUnsaved" : "OldPacks");
    const std::string from = UpdateDir() + "/oldpacks/data/";
    for (const char* name : kOldPackFiles)
      ASSERT_TRUE(CopyFileA((from + name).c_str(), (std::string("data/") + name).c_str(), FALSE));
    EngineTestWindow window;
    window.Configure(client.Settings());
    UpdateRun run(&window);
    PackClient::OpenAllPacks(false, false);
    if (saveFails) {
      testsupport::ReportCapture quiet;
      FilePack::SetPackFaultHooks({&IndexWriteFails, nullptr, nullptr});
      ReconcileOldPacks(run.Context());
      FilePack::SetPackFaultHooks({nullptr, nullptr, nullptr});
      EXPECT_FALSE(run.Context().packsChanged);
      // The pack is as it was, so "_old" stays for the next start.
      EXPECT_TRUE(testsupport::FileExists("data/006.pkg2_old"));
      PackClient::CloseAllPacks();
      PackClient::OpenAllPacks(false, false);
    }
    ReconcileOldPacks(run.Context());
    PackClient::CloseAllPacks();
    EXPECT_TRUE(run.Context().packsChanged);  // data/006 is a source of the move list
    ExpectReconciled("data/006");
  }
}

TEST(ClientCheck, OldPackCopyLeftByAnEarlierRunIsReconciledAtTheStart) {
  ClientFolder client("OldPacksLeft");
  const std::string from = UpdateDir() + "/oldpacks/data/";
  for (const char* name : kOldPackFiles)
    ASSERT_TRUE(CopyFileA((from + name).c_str(), (std::string("data/") + name).c_str(), FALSE));
  // Nothing else to fetch.
  ASSERT_TRUE(testsupport::WriteFileBytes("LauncherCfg/effectlist.xml", "-"));
  ASSERT_TRUE(testsupport::WriteFileBytes("Lib/b.dll", "b"));
  EngineTestWindow window;
  window.Configure(client.Settings());
  UpdateRun run(&window);
  EXPECT_TRUE(FullClientFileCheck(run.Context()));
  PackClient::CloseAllPacks();
  ExpectReconciled("data/006");
}

TEST(ClientCheck, PackCopyRefetchedAfterAFailedPassIsStillReconciled) {
  const std::string from = UpdateDir() + "/oldpacks/data/006";
  const std::string fresh = ReadFileBytes(from + ".pkg2");
  const struct {
    const char* what;
    int spoilt;       // the first answers for data/007.pkg2 that are not its copy
    bool unreadable;  // 200 with a cut copy, else 404
  } cases[] = {{"refused for the first pass", 4, false}, {"unreadable, then right", 1, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ClientFolder client(std::string("OldPacksRefetch") + (c.unreadable ? "Cut" : ""));
    // Two packs whose copies are the old index: 006's is served, 007's
    // spoilt at first.
    for (const char* base : {"data/006", "data/007"}) {
      ASSERT_TRUE(CopyFileA((from + ".pkg").c_str(), (std::string(base) + ".pkg").c_str(), FALSE));
      ASSERT_TRUE(CopyFileA((from + ".pkg1").c_str(), (std::string(base) + ".pkg1").c_str(), FALSE));
      ASSERT_TRUE(CopyFileA((from + ".pkg2_old").c_str(), (std::string(base) + ".pkg2").c_str(), FALSE));
    }
    std::atomic<int> spoilt{0};
    testhttp::Server server([&](const std::string& request, int) {
      if (request.find("GET /data/007.pkg2 ") == 0 && ++spoilt <= c.spoilt) {
        if (c.unreadable) return testhttp::Script{testhttp::Send(testhttp::Ok(fresh.substr(0, fresh.size() / 2)))};
        return testhttp::Script{testhttp::Send(testhttp::Reply("404 Not Found", "Content-Length: 0\r\n", ""))};
      }
      return testhttp::Script{testhttp::Send(testhttp::Ok(fresh))};
    });
    testsupport::ReportCapture reports;
    EngineTestWindow window;
    window.Configure(client.Settings());
    UpdateRun run(&window);
    UpdateContext& context = run.Context();
    context.SetupGlobalDownloader();
    LauncherCfg::ServerListTables tables;
    const std::string md5 = CMD5Checksum::GetFileMD5((from + ".pkg2").c_str()).Str();
    tables.checksums = {{"data/006.pkg2", md5}, {"data/007.pkg2", md5}};
    ServeFrom(context, server, tables);
    PackClient::OpenAllPacks(false, false);
    EXPECT_TRUE(VerifyClientFiles(context));
    EXPECT_EQ(c.spoilt + 1, spoilt.load());
    PackClient::CloseAllPacks();
    // The stale resources have left both packs before the game starts.
    for (const char* base : {"data/006", "data/007"}) ExpectReconciled(base);
  }
}

TEST(Ping, WithoutTheNetworkEveryRowKeepsItsDefault) {
  EngineTestWindow window;
  UpdateRun run(&window);
  UpdateContext& context = run.Context();
  AreaInfo area;
  area.index = 70000;  // cut to 16 bits
  LoginServerLine s;
  s.name = "n", s.ip = "127.0.0.1", s.port = 7001, s.doublelineindex = 2;
  area.servers = {s, s};
  LauncherCfg::ServerListTables tables;
  tables.areas = {area};
  context.SetTables(tables);
  RegisterPingServers(context);
  ASSERT_TRUE(window.RunUntil([&] { return context.pingDone.load(); }, testsupport::kEventWaitMs));
  std::vector<ServerEntry> rows = GetServerList().Rows();
  ASSERT_EQ(1u, rows.size());  // one of the group
  EXPECT_EQ(70000 & 0xFFFF, rows[0].areaIndex);
  EXPECT_EQ(10000, rows[0].ping);
}

TEST(VersionStep, PatchFolderIsEmptiedEvenWhenTheListIsEmpty) {
  ClientFolder client("EmptyPatch");
  CreateDirectoryA("LauncherCfg/PatchTemp", nullptr);
  for (const char* ext : {".pkg", ".pkg1"})
    ASSERT_TRUE(CopyFileA((UpdateDir() + "/emptypatch/Version" + ext).c_str(),
                          (std::string("LauncherCfg/PatchTemp/Version") + ext).c_str(), FALSE));
  EngineTestWindow window;
  UpdateRun run(&window);
  PackClient::OpenAllPacks(false, false);
  EXPECT_TRUE(ApplyDownloadedPatch(run.Context(), false));
  EXPECT_FALSE(testsupport::FileExists("old.txt"));
  EXPECT_TRUE(client.FilesBelow("LauncherCfg/PatchTemp").empty());
}

TEST(VersionStep, SelfUpdateAddressThatWouldBeCutFails) {
  ClientFolder client("LongAddress");
  client.AddProgram("Quickmend.exe");
  EngineTestWindow window;
  window.Configure(client.Settings());
  UpdateRun run(&window);
  run.Context().SetRequiredLauncherVersion("13");
  run.Context().SetBaseUrl("http://127.0.0.1/" + std::string(240, 'a') + "/");
  EXPECT_FALSE(run.StartLauncherSelfUpdate());
  EXPECT_EQ(UpdateStage::DownloadFailed, run.Stage());
  EXPECT_EQ(std::vector<unsigned>{WM_UPDATE_FAILED}, window.Messages());
  run.Context().SetBaseUrl("http://127.0.0.1/" + std::string(200, 'a') + "/");
  EXPECT_TRUE(run.StartLauncherSelfUpdate());
  ASSERT_TRUE(window.RunUntil([&] { return !client.Record("Quickmend").empty(); }, testsupport::kEventWaitMs));
}

TEST(GameStart, MissingGameProgramIsReportedAndTheLauncherStillLeaves) {
  ClientFolder client("NoGame");  // no zarngame.exe in it
  EngineTestWindow window;
  window.Configure(client.Settings());
  UpdateRun run(&window);
  testsupport::ReportCapture reports;
  EXPECT_TRUE(run.StartGameClient());
  EXPECT_TRUE(reports.Contains("zarngame.exe"));
}

TEST(ProcessChecks, FreeSpaceOfAFolderTooLongForTheBufferCountsAsEnough) {
  ClientFolder client("DiskSpace");
  EXPECT_FALSE(HasEnoughDiskSpace(0xFFFFFFFF, 0x7FFFFFFF));  // more than any disk
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof(current), current);
  // 256 characters: past the 255-byte buffer, within what a current folder may be.
  std::string deep = current;
  while (deep.size() < 256) {
    deep += "\\" + std::string(std::min<size_t>(100, 256 - deep.size() - 1), 'd');
    CreateDirectoryA(deep.c_str(), nullptr);
  }
  ASSERT_TRUE(SetCurrentDirectoryA(deep.c_str()));
  EXPECT_TRUE(HasEnoughDiskSpace(0xFFFFFFFF, 0x7FFFFFFF));
}
