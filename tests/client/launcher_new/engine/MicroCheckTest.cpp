// The micro client's check: a whole update whose resources land in the
// packs, and the fetch passes against the fixture server and a scripted one.
#include <gtest/gtest.h>

#include "TestHttpServer.h"  // winsock2 before windows

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>

#include "ClientCheck.h"
#include "EngineRun.h"
#include "EngineTestUtil.h"
#include "MicroClientCheck.h"
#include "UpdateContext.h"
#include "UpdateDriver.h"
#include "common/MD5Checksum.h"
#include "common/Pack/ApplyPack.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PackClient.h"
#include "support/TestSupport.h"

using namespace enginetest;
using testsupport::ReadFileBytes;

TEST(MicroRun, ResourcesLandInThePacksAndReadBack) {
  ClientFolder client("MicroRun", ClientKind::Micro);
  client.AddProgram("zarngame.exe");
  AccessLog log;
  EngineRun r(client);
  r.window.pressStartOnComplete = true;
  ASSERT_TRUE(r.Until([&] { return r.window.Quit(); }));
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

namespace {

const char kNewest[] = "1.0.0.3";
const int kQuestSlot = 2;    // data/004
const int kPictureSlot = 6;  // data/008

std::string MicroUrl() { return NginxUrl("/micro/micro/"); }
std::string VersionUrl(const std::string& micro) { return micro + kNewest + "/"; }
std::string Md5Of(const std::string& path) { return CMD5Checksum::GetFileMD5(path.c_str()).Str(); }

// One row of microbulk.txt: a resource of the bulk indexes.
struct BulkResource {
  std::string index, key, served, plain;  // files below UpdateDir(); "-": none
};
std::vector<BulkResource> BulkResources(const std::string& index) {
  std::vector<BulkResource> rows;
  for (const auto& row : ExpectLines("microbulk.txt"))
    if (row.size() == 4 && row[0] == index) rows.push_back({row[0], row[1], row[2], row[3]});
  return rows;
}

// A micro client whose packs are open in micro-client mode, with the bulk
// indexes of the fixture as the moved copies of data/004 and 008, and
// the run's tables pointing at micro (the resources) and its newest version
// (the bulk pairs, with the quest pair's checksums).
struct MicroStep {
  MicroStep(const char* name, const std::string& micro) : client(name, ClientKind::Micro) {
    for (const char* index : {"004.pkg2", "008.pkg2"})
      CopyFileA((UpdateDir() + "/microbulk/data/" + index).c_str(), (std::string("data/") + index).c_str(), FALSE);
    window.Configure(client.Settings());
    run.reset(new UpdateRun(&window));
    LauncherCfg::ServerListTables tables;
    tables.microClientVersionUrl = VersionUrl(micro);
    const std::string served = UpdateDir() + "/www/micro/micro/" + kNewest + "/data/004";
    tables.checksums = {{"Data\\004.pkg", Md5Of(served + ".pkg")}, {"data/004.PKG1", Md5Of(served + ".pkg1")}};
    Context().SetTables(tables);
    Context().SetupGlobalDownloader();
    Context().SetDownloaderRetry(DOWNLOAD_RETRY_LIMITED, 1, 1);  // one request per attempt
    // No fault here ends in a time-out: one long against a slow answer on a
    // busy machine, so that a request is never repeated by a time-out.
    Context().SetDownloaderTimeouts(60000);
    FilePack::SetMicroClientBaseAddress(micro.c_str());
    PackClient::OpenAllPacks(true, false);
    OpenMovedPackIndexes();
  }
  UpdateContext& Context() { return run->Context(); }
  // The fetched resources merged into the packs, which are then closed.
  void MergeAndClose() {
    PackClient::EnsurePacksReady(true, nullptr);
    PackClient::CloseAllPacks();
  }

  testsupport::ReportCapture quiet;
  ClientFolder client;
  EngineTestWindow window;
  std::unique_ptr<UpdateRun> run;
};

MicroResourceMap MapOf(int slot, const std::vector<BulkResource>& rows, size_t count) {
  MicroResourceMap map;
  for (size_t i = 0; i < count && i < rows.size(); ++i)
    map[slot].push_back({PackClient::GetPackFolderName(slot), rows[i].key});
  return map;
}

// The keys of a closed pack read by one fresh reader: how many read back
// as their plain files, and how many it holds at all.
struct PackRead {
  size_t equal = 0, held = 0;
};
PackRead ReadBack(const std::string& base, const std::vector<BulkResource>& rows) {
  PackRead read;
  FilePack::CFilePackIndexMgr pack;
  if (!pack.OpenPack((base + ".pkg1").c_str(), (base + ".pkg").c_str(), false)) return read;
  for (const BulkResource& row : rows) {
    PackEntry entry;
    if (!pack.FindEntry(row.key.c_str(), &entry)) continue;
    ++read.held;
    std::string bytes(entry.size, '\0');
    if (pack.ReadEntryData(&entry, reinterpret_cast<uint8_t*>(&bytes[0]), true) &&
        bytes == ReadFileBytes(UpdateDir() + "/" + row.plain))
      ++read.equal;
  }
  return read;
}

// Serves the fixture's resource files below /data/ (no bulk pair) and
// records the most requests in flight. The first request is held until
// another one comes, at most firstHoldMs, so that parallel fetches overlap
// however slowly their workers start. Faults by address: "wrong" bytes,
// "short", "stall", "404"; "N:" before a kind: only the first N requests of
// the address have it.
class ResourceServer {
 public:
  explicit ResourceServer(DWORD firstHoldMs = 0)
      : m_firstHoldMs(firstHoldMs),
        m_server([this](const std::string& request, int) { return Answer(request); }, 64) {}
  std::string Base() const { return m_server.Url("/"); }
  void Fault(const std::string& path, const std::string& kind) { m_faults[path] = kind; }
  int RequestCount() { return m_server.RequestCount(); }
  std::vector<std::string> Requests() { return m_server.Requests(); }
  int RequestsFor(const std::string& path) {
    int n = 0;
    for (const std::string& r : m_server.Requests()) n += r.find("GET " + path + " ") == 0;
    return n;
  }
  // The addresses asked for more than once, with their counts.
  std::string Repeated() {
    std::lock_guard<std::mutex> hold(m_lock);
    std::string list;
    for (const auto& seen : m_seen)
      if (seen.second > 1) list += seen.first + " x" + std::to_string(seen.second) + " ";
    return list;
  }
  // The most requests that were in flight at once.
  int MostInFlight() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_most;
  }

 private:
  testhttp::Script Answer(const std::string& request) {
    const size_t from = request.find(' ') + 1;
    const std::string path = request.substr(from, request.find(' ', from) - from);
    int seen;
    {
      std::unique_lock<std::mutex> hold(m_lock);
      m_most = std::max(m_most, ++m_now);
      seen = m_seen[path]++;
      m_arrived.notify_all();
      if (m_answered++ == 0)
        m_arrived.wait_for(hold, std::chrono::milliseconds(m_firstHoldMs), [&] { return m_most > 1; });
      --m_now;
    }
    std::string kind = m_faults.count(path) ? m_faults[path] : "";
    const size_t colon = kind.find(':');
    if (colon != std::string::npos) kind = seen < std::stoi(kind) ? kind.substr(colon + 1) : "";
    std::string body = path.compare(0, 6, "/data/") == 0 ? ReadFileBytes(UpdateDir() + "/www/micro/micro" + path) : "";
    if (body.empty() || kind == "404")
      return {testhttp::Send(testhttp::Reply("404 Not Found", "Content-Length: 0\r\n", ""))};
    const std::string head = testhttp::Reply("200 OK", "Content-Length: " + std::to_string(body.size()) + "\r\n", "");
    if (kind == "short") return {testhttp::Send(head + body.substr(0, body.size() / 2))};
    if (kind == "stall") return {testhttp::Send(head + body.substr(0, 10)), testhttp::Stall(300), testhttp::Reset()};
    if (kind == "wrong") body[body.size() / 2] ^= 0x20;
    return {testhttp::Send(head + body)};
  }

  std::map<std::string, std::string> m_faults;  // set before the fetch
  const DWORD m_firstHoldMs;
  std::mutex m_lock;
  std::condition_variable m_arrived;
  int m_now = 0, m_most = 0, m_answered = 0;
  std::map<std::string, int> m_seen;
  testhttp::Server m_server;
};

std::string ServedName(const BulkResource& row) { return row.served.substr(row.served.rfind('/')); }

}  // namespace

TEST(MicroFetch, QuestPackComesWholeAboveFiveHundredMissing) {
  const auto quests = BulkResources("data/004.pkg2");
  ASSERT_EQ(501u, quests.size());
  const struct {
    size_t items;
    bool whole;
  } cases[] = {{500, false}, {501, true}};
  for (const auto& c : cases) {
    MicroStep step("QuestBulk", MicroUrl());
    AccessLog log;
    ASSERT_TRUE(DownloadMicroResources(step.Context(), MapOf(kQuestSlot, quests, c.items))) << c.items;
    step.MergeAndClose();
    std::map<std::string, int> fetched = log.Counts();
    // The version address ends with "/": the pair's address holds "//".
    const std::string pair = std::string("/micro/micro/") + kNewest + "//data/004.pkg";
    EXPECT_EQ(c.whole ? 1 : 0, fetched[pair]) << c.items;
    EXPECT_EQ(c.whole ? 1 : 0, fetched[pair + "1"]) << c.items;
    int single = 0;
    for (const BulkResource& q : quests) single += fetched["/micro/micro/data/004" + ServedName(q)];
    EXPECT_EQ(c.whole ? 0 : 500, single) << c.items;
    // The bulk pair holds every quest; single fetches only those asked for.
    const PackRead read = ReadBack("data/004", quests);
    EXPECT_EQ(c.whole ? 501u : 500u, read.held) << c.items;
    EXPECT_EQ(read.held, read.equal) << c.items;
    EXPECT_TRUE(step.client.FilesBelow("LauncherCfg/PatchTemp").empty());
  }
}

TEST(MicroFetch, WorkersAboveHundredItemsInTheFirstFivePasses) {
  const auto quests = BulkResources("data/004.pkg2");
  // One by one, the first request's hold is a second in which a wrongly
  // started second worker would ask too; on workers, the hold stays well
  // below their time-out, so the held request is never asked again.
  const struct {
    size_t items;
    DWORD firstHoldMs;
  } cases[] = {{100, 1000}, {101, 5000}};
  for (const auto& c : cases) {
    const size_t items = c.items;
    ResourceServer server(c.firstHoldMs);
    MicroStep step("Workers", server.Base());
    EXPECT_TRUE(DownloadMicroResources(step.Context(), MapOf(kQuestSlot, quests, items))) << items;
    ASSERT_EQ(static_cast<int>(items), server.RequestCount()) << items << " items; asked more than once: " << server.Repeated();
    EXPECT_EQ(items > 100, server.MostInFlight() > 1) << items << " items: the most requests in flight at once";
    step.MergeAndClose();
    const PackRead read = ReadBack("data/004", quests);
    EXPECT_EQ(items, read.held) << items;
    EXPECT_EQ(read.held, read.equal) << items;
  }
}

TEST(MicroFetch, FaultyResourcesAreRetriedAndNeverReachThePack) {
  const auto quests = BulkResources("data/004.pkg2");
  const struct {
    const char* fault;
    int requests;  // ten passes for a fault that stays
    bool lands;
  } cases[] = {{"short", 10, false},      {"wrong", 10, false},     {"stall", 10, false},
               {"404", 10, false},        {"1:short", 2, true},  {"1:wrong", 2, true},
               {"1:404", 2, true},     {"", 1, true}};
  const size_t n = sizeof(cases) / sizeof(cases[0]);
  ResourceServer server;
  for (size_t i = 0; i < n; ++i) server.Fault("/data/004" + ServedName(quests[i]), cases[i].fault);
  MicroStep step("Faults", server.Base());
  const DWORD start = GetTickCount();
  EXPECT_FALSE(DownloadMicroResources(step.Context(), MapOf(kQuestSlot, quests, n)));
  EXPECT_LT(GetTickCount() - start, 120000u);
  for (size_t i = 0; i < n; ++i)
    EXPECT_EQ(cases[i].requests, server.RequestsFor("/data/004" + ServedName(quests[i]))) << cases[i].fault;
  step.MergeAndClose();
  EXPECT_TRUE(step.client.FilesBelow("res").empty());
  FilePack::CFilePackIndexMgr pack;
  ASSERT_TRUE(pack.OpenPack("data/004.pkg1", "data/004.pkg", false));
  for (size_t i = 0; i < n; ++i) {
    EXPECT_EQ(cases[i].lands, pack.HasFile(quests[i].key.c_str())) << cases[i].fault;
    if (cases[i].lands)
      EXPECT_EQ(ReadFileBytes(UpdateDir() + "/" + quests[i].plain), ReadPackKey("data/004", quests[i].key));
  }
}

TEST(MicroFetch, BulkPairsAreCheckedBeforeTheyMerge) {
  const auto quests = BulkResources("data/004.pkg2");
  std::vector<BulkResource> pictures;
  for (const auto& row : ExpectLines("micropics.txt")) pictures.push_back({"", row[0], "-", row[1]});
  const struct {
    int kind;
    const char* breaks;  // "md5": a wrong checksum of Data/004.pkg; "url": nothing served
    bool ok;
  } cases[] = {{kBulkQuests, "", true}, {kBulkQuests, "md5", false}, {kBulkQuests, "url", false},
               {kBulkPictures, "", true}, {kBulkPictures, "md5", true}, {kBulkPictures, "url", false}};
  for (const auto& c : cases) {
    const std::string what = std::to_string(c.kind) + " " + c.breaks;
    MicroStep step("Bulk", MicroUrl());
    LauncherCfg::ServerListTables tables = step.Context().Tables();
    if (std::string(c.breaks) == "md5") tables.checksums[0].md5 = std::string(32, '0');
    if (std::string(c.breaks) == "url") tables.microClientVersionUrl = NginxUrl("/none/");
    step.Context().SetTables(tables);
    EXPECT_EQ(c.ok, FetchBulkTempPack(step.Context(), c.kind)) << what;
    EXPECT_EQ(std::string(c.breaks) == "url", step.run->Stage() == UpdateStage::DownloadFailed) << what;
    for (const std::string& f : step.client.FilesBelow("LauncherCfg/PatchTemp")) ADD_FAILURE() << what << " " << f;
    PackClient::CloseAllPacks();
    const bool quest = c.kind == kBulkQuests;
    const std::vector<BulkResource>& rows = quest ? quests : pictures;
    const PackRead read = ReadBack(quest ? "data/004" : "data/008", rows);
    EXPECT_EQ(c.ok ? rows.size() : 0u, read.held) << what;
    EXPECT_EQ(read.held, read.equal) << what;
  }
}

TEST(MicroFetch, FailedBulkFetchCostsAPassOrEndsTheFetch) {
  const auto quests = BulkResources("data/004.pkg2");
  const auto pictures = BulkResources("data/008.pkg2");
  ResourceServer server;  // serves no bulk pair
  {
    // data/004: the pass is spent, the next fetches each quest.
    MicroStep step("QuestBulkFails", server.Base());
    EXPECT_TRUE(DownloadMicroResources(step.Context(), MapOf(kQuestSlot, quests, 501)));
    int quests404 = 0;  // each quest once, after the pair was refused
    for (const std::string& r : server.Requests()) quests404 += r.find("GET /data/004/") == 0;
    EXPECT_EQ(501, quests404);
    step.MergeAndClose();
    EXPECT_EQ(501u, ReadBack("data/004", quests).equal);
  }
  {
    // data/008: the whole fetch ends at once.
    MicroStep step("PictureBulkFails", server.Base());
    EXPECT_FALSE(DownloadMicroResources(step.Context(), MapOf(kPictureSlot, pictures, 501)));
    for (const std::string& r : server.Requests()) EXPECT_EQ(std::string::npos, r.find("GET /data/008/")) << r;
  }
}

TEST(MicroList, SlotsAndNamesFromTheListAreBounded) {
  const struct {
    std::string xml;
    const char* expect;  // "slot:name;..."
  } cases[] = {
      {"<FileList><Pack>0<File Name=\"a/b.tbl\"/><File Name=\"c.tbl\"/></Pack><Pack>10<File Name=\"d\"/></Pack>"
       "</FileList>",
       "0:a/b.tbl;0:c.tbl;10:d;"},
      {"<FileList><Pack>11<File Name=\"a\"/></Pack><Pack>-1<File Name=\"b\"/></Pack><Pack>x<File Name=\"c\"/>"
       "</Pack><Pack><File Name=\"e\"/></Pack><Pack>4294967298<File Name=\"f\"/></Pack></FileList>",
       ""},
      {"<FileList><Pack>3<File Name=\"../outside/v.txt\"/><File Name=\"..\\\\x\"/><File Name=\"C:/w\"/>"
       "<File Name=\"\"/><File/><File Name=\"ok\"/></Pack></FileList>",
       "3:ok;"},
      {"<Other><Pack>1<File Name=\"a\"/></Pack></Other>", ""},
      {"<FileList><Pack>1<File Name=\"" + std::string(300, 'a') + "\"/></Pack></FileList>", ""},  // too long
  };
  for (const auto& c : cases) {
    MicroResourceMap listed;
    ASSERT_TRUE(ParseDownloadList(c.xml.c_str(), &listed)) << c.xml;
    std::string got;
    for (const auto& slot : listed)
      for (const auto& r : slot.second) got += std::to_string(slot.first) + ":" + r.path + ";";
    EXPECT_EQ(c.expect, got) << c.xml;
  }
  MicroResourceMap listed;
  EXPECT_FALSE(ParseDownloadList("<FileList><Pack>", &listed));
}

TEST(MicroList, EmptyDownloadListIsFetchedABoundedNumberOfTimesAndTheCheckGoesOn) {
  testhttp::Server server([](const std::string&, int) { return testhttp::Script{testhttp::Send(testhttp::Ok(""))}; });
  MicroStep step("EmptyDownloadList", server.Url("/"));
  // Every other list and moved copy is at hand; the packs lack 501 indexed quests.
  const std::string served = UpdateDir() + "/www/micro/micro/" + kNewest + "/";
  for (int n = 1; n <= 9; ++n) {
    const std::string copy = "data/00" + std::to_string(n) + ".pkg2";
    CopyFileA((served + copy).c_str(), copy.c_str(), TRUE);
  }
  CopyFileA((served + "launchercfg/effectlist.xml").c_str(), "launchercfg/effectlist.xml", FALSE);
  testsupport::WriteFileBytes("launchercfg/downloadlist.xml", "");
  EXPECT_TRUE(MicroClientFileCheck(step.Context()));
  int fetched = 0;
  for (const std::string& r : server.Requests()) fetched += r.find("launchercfg/downloadlist.xml") != std::string::npos;
  EXPECT_EQ(kListRefetches, fetched);
  EXPECT_EQ(kListRefetches, server.RequestCount());  // nothing else: the map stayed empty
  EXPECT_TRUE(step.quiet.Contains("文件长度为0"));
  EXPECT_TRUE(step.quiet.Contains("下载列表不可用"));
}

TEST(MicroFetch, BeforeTheHandOverTheQueuedConfigurationFilesAreFetched) {
  const auto quests = BulkResources("data/004.pkg2");
  MicroStep step("HandOver", MicroUrl());
  AccessLog log;
  PackClient::ConfigFileMap()[kQuestSlot] = {quests[0].key, quests[1].key};
  ASSERT_TRUE(PrepareMicroClientUpdate(step.Context()));
  EXPECT_EQ(UpdateStage::ClientCheck, step.run->Stage());
  EXPECT_TRUE(step.window.ButtonEnabled(LauncherButton::Exit));
  // The packs were merged and reopened with their micro indexes.
  EXPECT_TRUE(FilePack::ClientPackManager(4)->HasFile(quests[1].key.c_str()));
  EXPECT_FALSE(FilePack::ClientPackManager(4)->HasFile(quests[2].key.c_str()));
  // The merge bar, reset before the merge, followed it to the end.
  EXPECT_EQ(2, step.run->FilesToMerge());
  EXPECT_EQ(2, step.run->FilesMerged());
  PackClient::CloseAllPacks();
  EXPECT_EQ(2u, ReadBack("data/004", quests).equal);
  EXPECT_TRUE(step.client.FilesBelow("res").empty());
  // The moved copies it lacked came from the newest version.
  std::map<std::string, int> fetched = log.Counts();
  EXPECT_EQ(1, fetched[std::string("/micro/micro/") + kNewest + "/data/001.pkg2"]);
  EXPECT_EQ(0, fetched[std::string("/micro/micro/") + kNewest + "/data/004.pkg2"]);
}

TEST(MicroCheck, ACutQuestPackIsFetchedAgainWhole) {
  const auto quests = BulkResources("data/004.pkg2");
  const std::string served = UpdateDir() + "/www/micro/micro/" + kNewest + "/";
  const struct {
    const char* name;
    size_t cut;  // bytes taken off the end of Data/004.pkg
    bool listedRight, ok, fetched;
  } cases[] = {{"whole", 0, true, true, false},
               {"one byte short", 1, true, true, true},
               {"empty", 1u << 30, true, true, true},
               {"cut, the served pair not the listed one", 1, false, false, false}};
  for (const auto& c : cases) {
    MicroStep step("CutQuestPack", MicroUrl());
    // The served picture index: the bulk one would send ten passes after 498 unserved pictures.
    CopyFileA((served + "data/008.pkg2").c_str(), "data/008.pkg2", FALSE);
    LauncherCfg::ServerListTables tables = step.Context().Tables();
    if (!c.listedRight) tables.checksums[0].md5 = std::string(32, '0');
    step.Context().SetTables(tables);
    PackClient::CloseAllPacks();
    std::string data = ReadFileBytes("Data/004.pkg");
    data.resize(data.size() - std::min(c.cut, data.size()));
    testsupport::WriteFileBytes("Data/004.pkg", data);
    PackClient::OpenAllPacks(true, false);

    EXPECT_EQ(c.ok, MicroClientFileCheck(step.Context())) << c.name;
    PackClient::CloseAllPacks();
    EXPECT_EQ(c.fetched, ReadFileBytes("Data/004.pkg") == ReadFileBytes(served + "data/004.pkg")) << c.name;
    EXPECT_EQ(c.fetched, ReadFileBytes("Data/004.pkg1") == ReadFileBytes(served + "data/004.pkg1")) << c.name;
    EXPECT_TRUE(!c.fetched || ReadBack("data/004", quests).equal == quests.size()) << c.name;
    // A pair that is not replaced keeps what it held.
    EXPECT_TRUE(c.cut != 0 || ReadPackKey("data/004", "ui/u.xml") == "<ui/>\n") << c.name;
    EXPECT_TRUE(c.ok || data == ReadFileBytes("Data/004.pkg")) << c.name;
    EXPECT_FALSE(testsupport::FileExists("Data/004.pkg.down") || testsupport::FileExists("Data/004.pkg1.down"));
  }
}
