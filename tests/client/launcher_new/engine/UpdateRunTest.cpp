// Whole runs of the engine against the fixture server, driven by the
// headless window: the message sequence, the stages, what the client holds
// afterwards and what was fetched how often.
#include <gtest/gtest.h>

#include "TestHttpServer.h"  // winsock2 before windows

#include <algorithm>
#include <sstream>

#include "EngineTestUtil.h"
#include "EngineRun.h"
#include "UpdateContext.h"
#include "UpdateDriver.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "support/TestSupport.h"

using namespace enginetest;
using testsupport::ReadFileBytes;

TEST(UpdateRun, FromOldestToNewestThenTheGameStarts) {
  ClientFolder client("FullRun");
  client.AddProgram("zarngame.exe");
  AccessLog log;
  EngineRun r(client);
  r.window.pressStartOnComplete = true;
  ASSERT_TRUE(r.Until([&] { return r.window.Quit(); }));
  EXPECT_FALSE(r.window.QuitWithRestart());

  const std::vector<unsigned> messages = {WM_RUN_VERSION_UPDATE, WM_RUN_VERSION_UPDATE, WM_UPDATE_COMPLETE,
                                          WM_RUN_VERSION_UPDATE, WM_START_GAME};
  EXPECT_EQ(messages, r.window.Messages());
  const std::vector<int> stages = {1, 2, 10, 3, 4, 5, 9, 10, 3, 4, 5, 6, 11, 9, 20};
  EXPECT_EQ(stages, r.window.Stages());
  EXPECT_EQ("1.0.0.3|1.0.0.3 build 3", ReadUpdateCfgVersion());
  EXPECT_TRUE(client.FilesBelow("LauncherCfg/PatchTemp").empty());

  const auto expect = ExpectLines("expect.txt");
  ASSERT_GT(expect.size(), 30u);
  CheckExpectations(expect, log);

  // The game got the login and the servers of area 1 in web mode.
  ASSERT_TRUE(r.window.RunUntil([&] { return !client.Record("zarngame").empty(); }, testsupport::kEventWaitMs));
  EXPECT_EQ("cmdline: 0 user key 1700000000 s1\n"
            "node server normal 青龙 127.0.0.1 0 7001 2 1 30001\r\n"
            "node server normal 白虎 127.0.0.2 1 7002 0 1 30002\r\n"
            "node server normal 朱雀 127.0.0.3 1 7003 0 0 30000\r\n",
            client.Record("zarngame"));
}

namespace {

int HttpIdInFile() { return GetPrivateProfileIntA("Main", "HttpID", -1, ".\\HTTPCONFIG.ini"); }

testhttp::Script Status(const std::string& status) {
  return testhttp::Script{testhttp::Send(testhttp::Reply(status, "Content-Length: 0\r\n", ""))};
}

}  // namespace

TEST(UpdateRun, PrimaryFailingForOneTypeSwitchesTypeAndSavesIt) {
  ClientFolder client("TypeSwitch");
  const std::string package = ReadFileBytes(ServedPath("good", "serverlist.pak"));
  // The plain-socket downloader (its agent says DigExt) gets 404, WinINet the package.
  testhttp::Server primary([&](const std::string& request, int) {
    if (request.find("DigExt") != std::string::npos) return Status("404 Not Found");
    return testhttp::Script{testhttp::Send(testhttp::Ok(package))};
  });
  client.SetServerListUrls(primary.Url("/sl"), NginxUrl("/none/serverlist"));
  EngineTestWindow window;
  window.Configure(client.Settings());
  UpdateRun run(&window);
  UpdateContext& context = run.Context();
  context.SetupGlobalDownloader();
  ASSERT_TRUE(DownloadServerList(context));
  EXPECT_EQ(DOWNLOAD_INET, context.DownloadType());
  EXPECT_EQ(DOWNLOAD_INET, HttpIdInFile());
  EXPECT_EQ(2, primary.RequestCount());
  EXPECT_EQ("1.0.0.3", context.Tables().newVersion);
  // The new downloader reports to the same progress callback.
  EXPECT_EQ(static_cast<int32_t>(package.size()), run.ProgressTotal());
}

TEST(UpdateRun, EveryAddressFailingChangesNothing) {
  ClientFolder client("NoServer");
  testhttp::Server dead([](const std::string&, int) { return Status("404 Not Found"); });
  client.SetServerListUrls(dead.Url("/a"), dead.Url("/b"));
  {
    EngineRun r(client);
    ASSERT_TRUE(r.UntilStage(UpdateStage::ServerListUnavailable));
    r.run.reset();
    EXPECT_EQ((std::vector<int>{1, 13, 12}), r.window.Stages());
    EXPECT_TRUE(r.window.Messages().empty());
  }
  // One, one, two and two attempts.
  EXPECT_EQ(6, dead.RequestCount());
  EXPECT_EQ(DOWNLOAD_HTTPGET, HttpIdInFile());
  EXPECT_EQ("1.0.0.1|1.0.0.1 build 1", ReadUpdateCfgVersion());
  EXPECT_TRUE(client.FilesBelow("LauncherCfg/PatchTemp").empty());
}

TEST(UpdateRun, BadPatchMd5LeavesTheVersion) {
  ClientFolder client("BadMd5");
  client.UseTree("badmd5");
  EngineRun r(client);
  ASSERT_TRUE(r.UntilMessage(WM_UPDATE_FAILED));
  r.run.reset();
  EXPECT_EQ(UpdateStage::PatchCheck, static_cast<UpdateStage>(r.window.Stages().back()));
  ASSERT_FALSE(testsupport::ShownBoxes().empty());
  EXPECT_EQ("text22", testsupport::ShownBoxes().back().text);
  EXPECT_EQ("1.0.0.1|1.0.0.1 build 1", ReadUpdateCfgVersion());
  EXPECT_TRUE(client.FilesBelow("LauncherCfg/PatchTemp").empty());
  EXPECT_FALSE(r.window.ButtonEnabled(LauncherButton::Start));
}

TEST(UpdateRun, RunningGameStopsTheStep) {
  ClientFolder client("GameRuns");
  client.AddProgram("zarn.exe");
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION game = {};
  char line[] = "zarn.exe wait";
  ASSERT_TRUE(CreateProcessA("zarn.exe", line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &game));
  EngineRun r(client);
  UpdateSettings settings = client.Settings();
  settings.exeName = "Bin\\ZARN.exe";  // the file-name part, without case
  r.window.Configure(settings);
  testsupport::ClearShownBoxes();
  const bool failed = r.UntilMessage(WM_UPDATE_FAILED);
  testsupport::WriteFileBytes("zarn.stop", "");
  WaitForSingleObject(game.hProcess, testsupport::kEventWaitMs);
  CloseHandle(game.hThread);
  CloseHandle(game.hProcess);
  ASSERT_TRUE(failed);
  r.run.reset();
  ASSERT_EQ(1u, testsupport::ShownBoxes().size());
  EXPECT_EQ("text27", testsupport::ShownBoxes()[0].text);
  EXPECT_EQ("1.0.0.1|1.0.0.1 build 1", ReadUpdateCfgVersion());
}

TEST(UpdateRun, LauncherTooOldHandsOverToTheUpdater) {
  ClientFolder client("OldLauncher");
  client.UseTree("oldlauncher");
  client.AddProgram("Quickmend.exe");
  AccessLog log;
  EngineRun r(client);
  ASSERT_TRUE(r.Until([&] { return r.window.Quit(); }));
  EXPECT_EQ((std::vector<unsigned>{WM_RUN_VERSION_UPDATE, WM_SELF_UPDATE}), r.window.Messages());
  EXPECT_EQ(UpdateStage::Merging, r.run->Stage());
  ASSERT_TRUE(r.window.RunUntil([&] { return !client.Record("Quickmend").empty(); }, testsupport::kEventWaitMs));
  const std::string record = client.Record("Quickmend");
  const std::string address = NginxUrl("/good/patch/launcher/13") + "\n";
  ASSERT_GT(record.size(), address.size());
  EXPECT_EQ(address, record.substr(record.size() - address.size()));
  for (const auto& fetched : log.Counts()) EXPECT_EQ(std::string::npos, fetched.first.find("/update/"));
  EXPECT_EQ("1.0.0.1|1.0.0.1 build 1", ReadUpdateCfgVersion());
}

TEST(UpdateRun, RestartStepRecordsItsVersionFirst) {
  ClientFolder client("Restart");
  client.UseTree("restart");
  EngineRun r(client);
  ASSERT_TRUE(r.Until([&] { return r.window.Quit(); }));
  EXPECT_TRUE(r.window.QuitWithRestart());
  EXPECT_EQ("1.0.0.2|1.0.0.2 build 2", ReadUpdateCfgVersion());
  EXPECT_EQ((std::vector<unsigned>{WM_RUN_VERSION_UPDATE}), r.window.Messages());
}

TEST(UpdateRun, LocalVersionNewerThanTheServersStartsTheGame) {
  ClientFolder client("NewerLocal");
  client.SetLocalVersion("2.0.0.0", "2.0.0.0 build 9");
  client.AddProgram("zarngame.exe");
  AccessLog log;
  EngineRun r(client);
  // Not in the chain: the box, and the update thread ends idle.
  ASSERT_TRUE(r.Until([&] { return r.window.Stages() == std::vector<int>{1, 2, 0}; }));
  EXPECT_EQ("text28", testsupport::ShownBoxes().back().text);
  PostMessageA(r.window.MainWindow(), WM_RUN_VERSION_UPDATE, 0, 0);  // the player presses start
  ASSERT_TRUE(r.window.RunUntil([&] { return r.window.Quit(); }, kRunLimit));
  EXPECT_EQ((std::vector<unsigned>{WM_RUN_VERSION_UPDATE, WM_START_GAME}), r.window.Messages());
  ASSERT_TRUE(r.window.RunUntil([&] { return !client.Record("zarngame").empty(); }, testsupport::kEventWaitMs));
  for (const auto& fetched : log.Counts()) EXPECT_EQ(std::string::npos, fetched.first.find("/update/"));
  EXPECT_EQ("2.0.0.0|2.0.0.0 build 9", ReadUpdateCfgVersion());
}

// An "_old" that a check left beside its copy is the index the pack matches
// before the steps: reconciled against that copy, never against the newest.
TEST(UpdateRun, OldPackCopyLeftBeforeTheStepsKeepsWhatTheyBrought) {
  ClientFolder client("LeftOld");
  for (const char* name : {"006.pkg2", "006.pkg2_old"})
    ASSERT_TRUE(CopyFileA((UpdateDir() + "/leftold/data/" + name).c_str(), (std::string("data/") + name).c_str(), FALSE));
  AccessLog log;
  EngineRun r(client);
  ASSERT_TRUE(r.UntilMessage(WM_UPDATE_COMPLETE));
  r.run.reset();
  CheckExpectations(ExpectLines("leftold/expect.txt"), log);
}
