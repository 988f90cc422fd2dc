// The micro client's check: a whole update whose resources land in the
// packs, and the fetch passes against the fixture server and a scripted one.
#include <gtest/gtest.h>

#include "TestHttpServer.h"  // winsock2 before windows

#include <algorithm>
#include <atomic>
#include <iostream>
#include <map>

#include "EngineRun.h"
#include "EngineTestUtil.h"
#include "MicroClientCheck.h"
#include "UpdateContext.h"
#include "UpdateDriver.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PackClient.h"
#include "support/TestSupport.h"

using namespace enginetest;
using testsupport::ReadFileBytes;

TEST(MicroRun, ResourcesLandInThePacksAndReadBack) {
  ClientFolder client("MicroRun", ClientKind::Micro);
  client.AddProgram("zarngame.exe");
  AccessLog log;
  testsupport::ReportCapture reports;
  EngineRun r(client);
  r.window.pressStartOnComplete = true;
  const bool quit = r.Until([&] { return r.window.Quit(); });
  if (!quit) {
    for (int s : r.window.Stages()) std::cerr << "stage " << s << "\n";
    for (unsigned m : r.window.Messages()) std::cerr << "message " << m << "\n";
    for (auto& l : reports.Lines()) std::cerr << "report " << l << "\n";
  }
  ASSERT_TRUE(quit);
  EXPECT_EQ((std::vector<unsigned>{WM_RUN_VERSION_UPDATE, WM_RUN_VERSION_UPDATE, WM_UPDATE_COMPLETE,
                                   WM_RUN_VERSION_UPDATE, WM_START_GAME}),
            r.window.Messages());
  EXPECT_EQ(UpdateStage::Done, r.run->Stage());
  r.run.reset();
  PackClient::CloseAllPacks();
  EXPECT_EQ("1.0.0.3|1.0.0.3 build 3", ReadUpdateCfgVersion());
  const auto expect = ExpectLines("microexpect.txt");
  ASSERT_GT(expect.size(), 40u);
  CheckExpectations(expect, log);
  EXPECT_TRUE(client.FilesBelow("res").empty());
  EXPECT_TRUE(client.FilesBelow("LauncherCfg/PatchTemp").empty());
  EXPECT_TRUE(client.VictimIntact());
}
