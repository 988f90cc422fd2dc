// Hostile or broken servers: every run ends cleanly, writes nothing outside
// the client folder and does not advance the version.
#include <gtest/gtest.h>

#include "TestHttpServer.h"  // winsock2 before windows

#include <algorithm>

#include "EngineRun.h"
#include "FatalExit.h"
#include "UpdateContext.h"
#include "UpdateDriver.h"
#include "support/TestSupport.h"

using namespace enginetest;
using testsupport::ReadFileBytes;

namespace {

bool Has(const std::vector<int>& stages, UpdateStage stage) {
  return std::find(stages.begin(), stages.end(), static_cast<int>(stage)) != stages.end();
}

const char kUnchanged[] = "1.0.0.1|1.0.0.1 build 1";

}  // namespace

TEST(HostileServer, NamesOutsideTheClientInEveryListAreSkipped) {
  ClientFolder client("HostileLists");
  client.UseTree("hostilelists");
  DeleteFileA("LauncherCfg/dlllist.xml");  // fetched from the hostile tree
  testsupport::ReportCapture reports;
  EngineRun r(client);
  ASSERT_TRUE(r.UntilMessage(WM_UPDATE_COMPLETE));
  r.run.reset();
  EXPECT_TRUE(client.VictimIntact());
  EXPECT_FALSE(testsupport::FileExists("Bin/Zarn.exe:evil"));
  size_t refused = 0;
  for (const std::string& line : reports.Lines()) refused += line.find("路径不在客户端目录内") != std::string::npos;
  EXPECT_GE(refused, 15u);  // five names in each of three lists
  EXPECT_EQ("1.0.0.3|1.0.0.3 build 3", ReadUpdateCfgVersion());
}

TEST(HostileServer, BrokenStepsEndTheRunAndKeepTheVersion) {
  const struct {
    const char* tree;
    UpdateStage stage;
    const char* fetchedPath;  // with the number of requests for it
    int fetched;
    const char* version;
  } cases[] = {
      // A patch that writes outside the client is refused before any file.
      {"hostilepatch", UpdateStage::PatchOpenFailed, nullptr, 0, kUnchanged},
      // Four failed transfers, then the step gives up. The downloader keeps its
      // failures: five tries in the first transfer, one in each later one.
      {"nopatch", UpdateStage::NoPatch, "/nopatch/patch/update/1.0.0.1_1.0.0.2/1.0.0.1_1.0.0.2.pkg", 5 + 3, kUnchanged},
      // Three checksum passes of four attempts each, after the first step:
      // again five tries in the first transfer, one in each of the other eleven.
      {"missingfile", UpdateStage::ClientCheckFailed, "/good/micro/1.0.0.3/data/gone.dat", 5 + 11,
       "1.0.0.2|1.0.0.2 build 2"},
  };
  for (const auto& c : cases) {
    ClientFolder client(std::string("Broken_") + c.tree);
    client.UseTree(c.tree);
    AccessLog log;
    EngineRun r(client);
    ASSERT_TRUE(r.UntilMessage(WM_UPDATE_FAILED)) << c.tree;
    r.run.reset();
    EXPECT_TRUE(Has(r.window.Stages(), c.stage)) << c.tree;
    if (c.fetchedPath != nullptr) {
      EXPECT_EQ(c.fetched, log.Counts()[c.fetchedPath]) << c.tree;
    }
    EXPECT_EQ(c.version, ReadUpdateCfgVersion()) << c.tree;
    EXPECT_TRUE(client.VictimIntact()) << c.tree;
    EXPECT_FALSE(testsupport::FileExists("Data/Gone.dat")) << c.tree;
  }
}

TEST(HostileServer, ChainComingBackToAVersionItLeftEndsTheRun) {
  ClientFolder client("LoopChain");
  client.UseTree("loopchain");
  AccessLog log;
  EngineRun r(client);
  // Unguarded, the steps go round until stopped.
  ASSERT_TRUE(r.Until([&] {
    const std::vector<unsigned> m = r.window.Messages();
    return std::count(m.begin(), m.end(), WM_UPDATE_FAILED) > 0 ||
           std::count(m.begin(), m.end(), WM_RUN_VERSION_UPDATE) > 4;
  }));
  r.run.reset();
  EXPECT_EQ((std::vector<unsigned>{WM_RUN_VERSION_UPDATE, WM_RUN_VERSION_UPDATE, WM_RUN_VERSION_UPDATE,
                                   WM_UPDATE_FAILED}),
            r.window.Messages());
  EXPECT_EQ(UpdateStage::NoPatch, static_cast<UpdateStage>(r.window.Stages().back()));
  EXPECT_FALSE(r.window.ButtonEnabled(LauncherButton::Start));
  EXPECT_EQ("1.0.0.4|1.0.0.4 build 4", ReadUpdateCfgVersion());
  std::map<std::string, int> fetched = log.Counts();
  EXPECT_EQ(1, fetched["/loopchain/patch/update/1.0.0.2_1.0.0.4/1.0.0.2_1.0.0.4.pkg"]);
  EXPECT_EQ(0, fetched["/loopchain/patch/update/1.0.0.4_1.0.0.2/1.0.0.4_1.0.0.2.pkg"]);
}

TEST(HostileServer, BrokenServerListPackagesStopAtStage15) {
  for (const char* tree : {"badtrailer", "hugemember"}) {
    ClientFolder client(std::string("Package_") + tree);
    client.UseTree(tree);
    EngineRun r(client);
    ASSERT_TRUE(r.UntilStage(UpdateStage::ServerListBroken)) << tree;
    r.run.reset();
    EXPECT_TRUE(r.window.Messages().empty()) << tree;
    EXPECT_TRUE(client.FilesBelow("LauncherCfg/PatchTemp").empty()) << tree;
    EXPECT_EQ(kUnchanged, ReadUpdateCfgVersion()) << tree;
  }
}

// A list nested too deep for a recursive parser, or one whose element has
// more attributes than the parser can check in time, is a broken list; the
// next start against a good server updates as ever.
TEST(HostileServer, ListTooDeepOrTooWideStopsAtStage15AndAGoodServerStillUpdates) {
  const struct {
    const char* tree;
    const char* report;
  } cases[] = {
      {"deepmember", "XML文件嵌套超过"},
      {"wideelement", "XML元素属性超过"},  // quadratic in TinyXML: minutes to hours
  };
  for (const auto& c : cases) {
    ClientFolder client(std::string("Shape_") + c.tree);
    client.UseTree(c.tree);
    {
      testsupport::ReportCapture reports;
      EngineRun r(client);
      ASSERT_TRUE(r.UntilStage(UpdateStage::ServerListBroken)) << c.tree;
      r.run.reset();
      EXPECT_TRUE(r.window.Messages().empty()) << c.tree;
      EXPECT_TRUE(reports.Contains(c.report)) << c.tree;
    }
    EXPECT_TRUE(client.FilesBelow("LauncherCfg/PatchTemp").empty()) << c.tree;
    EXPECT_EQ(kUnchanged, ReadUpdateCfgVersion()) << c.tree;
    client.UseTree("good");
    EngineRun r(client);
    ASSERT_TRUE(r.UntilMessage(WM_UPDATE_COMPLETE)) << c.tree;
    r.run.reset();
    EXPECT_EQ("1.0.0.3|1.0.0.3 build 3", ReadUpdateCfgVersion()) << c.tree;
    EXPECT_TRUE(client.VictimIntact()) << c.tree;
  }
}

TEST(HostileServer, ListArrivingEmptyForeverIsFetchedFourTimes) {
  ClientFolder client("EmptyList");
  client.UseTree("emptylist");
  DeleteFileA("LauncherCfg/dlllist.xml");
  AccessLog log;
  EngineRun r(client);
  ASSERT_TRUE(r.UntilMessage(WM_UPDATE_COMPLETE));
  r.run.reset();
  EXPECT_EQ(4, log.Counts()["/emptylist/micro/1.0.0.3/launchercfg/dlllist.xml"]);
}

TEST(HostileServer, MissingAddressEndsTheLauncherWithText20) {
  static int ended = 0;
  ended = 0;
  LauncherCfg::EndProcessHook previous = LauncherCfg::SetEndProcessHook([](int code) { ended = code; });
  ClientFolder client("NoAddress");
  client.UseTree("noaddress");
  {
    EngineRun r(client);
    EXPECT_TRUE(r.Until([] { return ended != 0; }));
  }
  LauncherCfg::SetEndProcessHook(previous);
  EXPECT_EQ(-1, ended);
  EXPECT_EQ("错误(0):text21", testsupport::ShownBoxes().back().text);
  EXPECT_EQ(kUnchanged, ReadUpdateCfgVersion());
}

// A primary server that misbehaves: the package comes from the backup, and
// never as a splice of the two (the first type tried is WinINet, so the
// plain-socket downloader's part file of the primary is there when the
// backup is fetched).
TEST(HostileServer, MisbehavingPrimaryFallsBackToTheBackup) {
  const std::string package = ReadFileBytes(ServedPath("good", "serverlist.pak"));
  const testhttp::Step stalledBody = testhttp::Send(testhttp::Reply("200 OK", "Content-Length: 100\r\n", "x"));
  const struct {
    const char* name;
    testhttp::Script script, winInet;  // winInet: for WinINet's requests, when not empty
  } cases[] = {
      {"wrong bytes, then closed", {testhttp::Send(testhttp::Reply(
                                       "200 OK", "Content-Length: " + std::to_string(package.size()) + "\r\n",
                                       testhttp::Pattern(package.size() / 2)))}, {}},
      {"503", {testhttp::Send(testhttp::Reply("503 Busy", "Content-Length: 0\r\n", ""))}, {}},
      // The plain GET's stall outlasts the test's wait: only the run's
      // time-out ends it. WinINet takes no time-out from the run, so its
      // stall ends in a close.
      {"stalls", {stalledBody, testhttp::Stall(300000)}, {stalledBody, testhttp::Stall(6000)}},
  };
  for (const auto& c : cases) {
    ClientFolder client("Primary");
    client.SetHttpID(DOWNLOAD_INET);
    testhttp::Server primary([&](const std::string& request, int) {
      const bool winInet = request.find("InetURL:/1.0") != std::string::npos;  // its agent
      return winInet && !c.winInet.empty() ? c.winInet : c.script;
    });
    client.SetServerListUrls(primary.Url("/sl"), NginxUrl("/good/backup/serverlist"));
    EngineTestWindow window;
    window.Configure(client.Settings());
    UpdateRun run(&window);
    run.Context().SetupGlobalDownloader();
    const DWORD start = GetTickCount();
    EXPECT_TRUE(DownloadServerList(run.Context())) << c.name;
    EXPECT_LT(GetTickCount() - start, testsupport::kEventWaitMs) << c.name << ": ms until the primary was given up";
    EXPECT_EQ("1.0.0.3", run.Context().Tables().newVersion) << c.name;
    EXPECT_EQ(DOWNLOAD_HTTPGET, run.Context().DownloadType()) << c.name;
    EXPECT_TRUE(client.FilesBelow("LauncherCfg/PatchTemp").empty()) << c.name;
  }
}
