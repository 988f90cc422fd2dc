// Whole runs of the engine against the fixture server, driven by the
// headless window: the message sequence, the stages, what the client holds
// afterwards and what was fetched how often.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "EngineTestUtil.h"
#include "EngineTestWindow.h"
#include "UpdateContext.h"
#include "UpdateDriver.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "support/TestSupport.h"

using namespace enginetest;
using testsupport::ReadFileBytes;

namespace {

const DWORD kRunLimit = 240000;

// One run from the window's start until done() holds.
struct EngineRun {
  explicit EngineRun(ClientFolder& client) {
    window.Configure(client.Settings());
    run.reset(new UpdateRun(&window));
    window.Attach(run.get());
    run->SetStageObserver(&EngineTestWindow::OnStage, &window);
    run->SetLauncherLoginArgs(" 0 user key 1700000000 s1");
  }
  ~EngineRun() {
    run.reset();  // waits for the run's threads, pumping
    window.Attach(nullptr);
  }
  bool Until(const std::function<bool()>& done) {
    return run->StartUpdateThread() && window.RunUntil(done, kRunLimit);
  }
  bool UntilMessage(unsigned message) {
    return Until([this, message] {
      for (unsigned m : window.Messages())
        if (m == message) return true;
      return window.Quit();
    });
  }
  bool UntilStage(UpdateStage stage) {
    return Until([this, stage] { return run->Stage() == stage; });
  }
  EngineTestWindow window;
  std::unique_ptr<UpdateRun> run;
};

std::vector<std::vector<std::string>> ExpectLines() {
  std::vector<std::vector<std::string>> lines;
  std::istringstream in(ReadFileBytes(UpdateDir() + "/expect.txt"));
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::vector<std::string> row;
    for (std::string w; words >> w;) row.push_back(w);
    if (!row.empty()) lines.push_back(row);
  }
  return lines;
}

std::string ReadPackKey(FilePack::CFilePackIndexMgr& pack, const std::string& key) {
  const PackEntry* entry = pack.FindEntry(key.c_str());
  if (entry == nullptr) return "(missing)";
  std::string bytes(entry->size, '\0');
  return pack.ReadEntryData(entry, reinterpret_cast<uint8_t*>(&bytes[0]), true) ? bytes : "(unreadable)";
}

}  // namespace

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

  const auto expect = ExpectLines();
  ASSERT_GT(expect.size(), 30u);
  for (const auto& row : expect) {
    const std::string& kind = row[0];
    if (kind == "count" || kind == "key") {
      FilePack::CFilePackIndexMgr pack;
      ASSERT_TRUE(pack.OpenPack((row[1] + ".pkg1").c_str(), (row[1] + ".pkg").c_str(), false)) << row[1];
      if (kind == "count")
        EXPECT_EQ(static_cast<uint32_t>(std::stoi(row[2])), pack.EntryCount()) << row[1];
      else
        EXPECT_EQ(ReadFileBytes(UpdateDir() + "/" + row[3]), ReadPackKey(pack, row[2])) << row[1] << " " << row[2];
    } else if (kind == "file") {
      EXPECT_EQ(ReadFileBytes(UpdateDir() + "/" + row[2]), ReadFileBytes(row[1])) << row[1];
    } else if (kind == "nofile") {
      EXPECT_FALSE(testsupport::FileExists(row[1])) << row[1];
    } else if (kind == "fetch") {
      EXPECT_EQ(std::stoi(row[2]), log.Counts()[row[1]]) << row[1];
    }
  }

  // The game got the login and the servers of area 1 in web mode.
  ASSERT_TRUE(r.window.RunUntil([&] { return !client.Record("zarngame").empty(); }, 30000));
  EXPECT_EQ("cmdline: 0 user key 1700000000 s1\n"
            "node server normal 青龙 127.0.0.1 0 7001 2 1 30001\r\n"
            "node server normal 白虎 127.0.0.2 1 7002 0 1 30002\r\n"
            "node server normal 朱雀 127.0.0.3 1 7003 0 0 30000\r\n",
            client.Record("zarngame"));
}
