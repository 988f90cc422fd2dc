// The micro-client download manager against a real loopback server serving
// the kit's micro-client resources: lists on workers, faults, companions.
#include <winsock2.h>
#include <windows.h>
#include <process.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "../HttpDownLoad/TestHttpServer.h"
#include "../Pack/MicroTestUtil.h"
#include "common/MicroClient/MicroClientHttpDownLoad.h"
#include "common/MicroClient/ResourceFetch.h"
#include "common/HttpDownLoad/IDownLoad.h"

using FilePack::CFilePackIndexMgr;
using FilePack::MicroDownloadItem;
using packtest::Resource;
using testsupport::FileExists;
using testsupport::ReadFileBytes;

namespace {

std::string PathOf(const std::string& request) {
  size_t from = request.find(' ') + 1;
  return request.substr(from, request.find(' ', from) - from);
}

// Serves "/data/00N/rI.res" (the kit's micro9 files); faults by address.
class ResourceServer {
 public:
  ResourceServer()
      : m_server([this](const std::string& request, int) { return Answer(PathOf(request)); }, 64) {
    for (auto& r : packtest::Micro9()) {
      char path[64];
      snprintf(path, sizeof(path), "/data/%03d/r%c.res", r.pack, r.key[r.key.size() - 5]);
      m_files[path] = ReadFileBytes(r.served);
    }
  }
  std::string Base() const { return m_server.Url("/"); }
  void Fault(const std::string& path, const std::string& kind) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_faults[path] = kind;
  }
  int Requests() { return m_server.RequestCount(); }

 private:
  testhttp::Script Answer(const std::string& path) {
    std::string fault;
    {
      std::lock_guard<std::mutex> hold(m_lock);
      if (m_faults.count(path)) fault = m_faults[path];
    }
    auto found = m_files.find(path);
    if (found == m_files.end() || fault == "404")
      return {testhttp::Send(testhttp::Reply("404 Not Found", "Content-Length: 0\r\n", ""))};
    std::string body = found->second;
    std::string head = testhttp::Reply("200 OK", "Content-Length: " + std::to_string(body.size()) + "\r\n", "");
    if (fault == "short") return {testhttp::Send(head + body.substr(0, body.size() / 2))};
    if (fault == "wrong") body[body.size() / 2] ^= 0x20;
    if (fault == "stall")
      return {testhttp::Send(head + body.substr(0, 10)), testhttp::Stall(800), testhttp::Reset()};
    if (fault == "slow") return {testhttp::Send(head + body.substr(0, 10)), testhttp::Stall(800), testhttp::Send(body.substr(10))};
    return {testhttp::Send(head + body)};
  }

  std::mutex m_lock;
  std::map<std::string, std::string> m_files, m_faults;
  testhttp::Server m_server;
};

struct Progress {
  std::atomic<int> lastDone{0}, total{0};
  static void Record(void* context, int done, int total) {
    Progress* p = static_cast<Progress*>(context);
    if (done > p->lastDone) p->lastDone = done;
    p->total = total;
  }
};

// A fresh folder with the nine micro packs open against base.
class MicroPacks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(packtest::EnterFreshClientFolder("mc"));
    FilePack::SetMicroClientBaseAddress(m_server.Base().c_str());
    ASSERT_TRUE(packtest::OpenMicroPacks());
    m_progress.lastDone = 0;
    m_progress.total = 0;
    CHttpDownLoadMgr::GetInstance()->SetProgressCallback(Progress::Record, &m_progress);
  }
  void TearDown() override {
    CHttpDownLoadMgr::GetInstance()->SetProgressCallback(nullptr, nullptr);
    CHttpDownLoadMgr::SetThreadStarter(nullptr);
    for (int n = 1; n <= 9; ++n) {
      FilePack::ClientPackManager(n)->Close(true);
      FilePack::ClientPackManager(n)->SetMicroMode(false);
    }
    SetCurrentDirectoryA("..");
  }
  static std::vector<MicroDownloadItem> Items(const std::vector<Resource>& resources) {
    std::vector<MicroDownloadItem> items;
    for (auto& r : resources) {
      CFilePackIndexMgr* m = FilePack::ClientPackManager(r.pack);
      items.push_back(FilePack::MakeDownloadItem(0, m->PackNumber(), r.key.c_str(), 0, m));
    }
    return items;
  }

  ResourceServer m_server;
  Progress m_progress;
};

std::atomic<int> g_starts{0};
HANDLE CountingStarter(unsigned(__stdcall* body)(void*), void* context) {
  ++g_starts;
  return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, body, context, 0, nullptr));
}
std::atomic<int> g_tries{0};
HANDLE EverySecondFails(unsigned(__stdcall* body)(void*), void* context) {
  return ++g_tries % 2 == 0 ? nullptr : CountingStarter(body, context);
}

}  // namespace

TEST_F(MicroPacks, ListLandsEveryResourceOnceAndReadsBack) {
  auto all = packtest::Micro9();
  auto items = Items(all);
  items.push_back(items[5]);  // a repeated name is fetched once
  ASSERT_TRUE(CHttpDownLoadMgr::GetInstance()->DownloadFileList(&items, 0, 16));
  EXPECT_FALSE(CHttpDownLoadMgr::GetInstance()->IsBusy());
  EXPECT_EQ(72, m_progress.total.load());
  EXPECT_EQ(72, m_progress.lastDone.load());
  EXPECT_EQ(72, m_server.Requests());
  for (auto& r : all) {
    CFilePackIndexMgr* m = FilePack::ClientPackManager(r.pack);
    EXPECT_TRUE(m->HasFile(r.key.c_str())) << r.key;
    EXPECT_TRUE(packtest::ReadsAs(*m, r.key, r.plain)) << r.key;
  }
  // Held resources are not fetched again, but count towards progress.
  ASSERT_TRUE(CHttpDownLoadMgr::GetInstance()->DownloadFileList(&items, 0, 16));
  EXPECT_EQ(72, m_server.Requests());
  EXPECT_EQ(72, m_progress.lastDone.load());

  for (int n = 1; n <= 9; ++n) FilePack::ClientPackManager(n)->Close(true);
  ASSERT_TRUE(FilePack::MergeAllDataPacks(true));
  for (int n = 1; n <= 9; ++n)
    EXPECT_TRUE(packtest::PackHolds(packtest::Numbered(n), packtest::PlainByKey(packtest::Micro9(n)))) << n;
  EXPECT_EQ(0u, packtest::FilesIn("res").size());
}

TEST_F(MicroPacks, FaultyResourcesNeverReachThePack) {
  auto six = packtest::Micro9(6);
  const struct {
    const char* kind;
    bool lands;
  } cases[] = {{"short", false}, {"wrong", false}, {"stall", false}, {"404", false}, {"slow", true}, {"", true}};
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    m_server.Fault("/data/006/r" + std::to_string(i) + ".res", cases[i].kind);
  testsupport::ReportCapture quiet;
  auto items = Items(six);
  const DWORD start = GetTickCount();
  ASSERT_TRUE(CHttpDownLoadMgr::GetInstance()->DownloadFileList(&items, 0, 16));
  EXPECT_LT(GetTickCount() - start, 60000u);
  CFilePackIndexMgr* m = FilePack::ClientPackManager(6);
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    EXPECT_EQ(cases[i].lands, m->HasFile(six[i].key.c_str())) << cases[i].kind;
    if (cases[i].lands) EXPECT_TRUE(packtest::ReadsAs(*m, six[i].key, six[i].plain)) << cases[i].kind;
  }
  EXPECT_TRUE(quiet.Contains("下载资源CRC验证失败"));
  // Failed fetches leave nothing behind; each accepted one keeps its file.
  EXPECT_EQ(4u, packtest::FilesIn("res").size());
  EXPECT_EQ(4u, packtest::FilesIn("data/006").size());
}

TEST_F(MicroPacks, WorkerCountsAndFailedStarts) {
  auto all = packtest::Micro9();
  const struct {
    size_t items;
    int max, starts;
  } cases[] = {{3, 16, 3}, {40, 16, 16}, {72, 100, 64}, {5, 0, 0}};
  for (auto& c : cases) {
    CHttpDownLoadMgr::SetThreadStarter(CountingStarter);
    std::vector<Resource> some(all.begin(), all.begin() + c.items);
    auto items = Items(some);
    g_starts = 0;
    ASSERT_TRUE(CHttpDownLoadMgr::GetInstance()->DownloadFileList(&items, 0, c.max));
    EXPECT_EQ(c.starts, g_starts.load()) << c.items << " " << c.max;
    int landed = 0;
    for (auto& r : some) landed += FilePack::ClientPackManager(r.pack)->HasFile(r.key.c_str());
    EXPECT_EQ(c.max == 0 ? 0 : static_cast<int>(c.items), landed);
    TearDown();
    SetUp();
  }
  // One item per worker: a worker that cannot start fails its item only.
  CHttpDownLoadMgr::SetThreadStarter(EverySecondFails);
  std::vector<Resource> six(all.begin(), all.begin() + 6);
  auto items = Items(six);
  g_starts = 0;
  g_tries = 0;
  testsupport::ReportCapture quiet;
  EXPECT_FALSE(CHttpDownLoadMgr::GetInstance()->DownloadFileList(&items, 0, 16));
  EXPECT_EQ(6, m_progress.lastDone.load());
  int landed = 0;
  for (auto& r : six) landed += FilePack::ClientPackManager(r.pack)->HasFile(r.key.c_str());
  EXPECT_EQ(3, landed);
  EXPECT_TRUE(quiet.Contains("启动线程失败"));
}

namespace {

// Records what it was asked for and "downloads" from the kit's files.
struct KitDownLoad : IDownLoad {
  std::map<std::string, std::string> files;  // address -> kit file
  std::vector<std::string> asked;
  std::vector<int> parts;
  int Download(const char* url, const char* localFile, void*, uint32_t, uint32_t, int, uint32_t, int,
               int partCount) override {
    asked.push_back(url);
    parts.push_back(partCount);
    auto found = files.find(url);
    if (found == files.end()) return DOWNLOAD_RESULT_FAILED;
    return CopyFileA(found->second.c_str(), localFile, FALSE) ? DOWNLOAD_RESULT_OK : DOWNLOAD_RESULT_FAILED;
  }
};

}  // namespace

TEST(MicroSingle, CompanionsPartsAndTheSinglePath) {
  testsupport::RemoveTree("ms");
  CreateDirectoryA("ms", nullptr);
  ASSERT_TRUE(SetCurrentDirectoryA("ms"));
  FilePack::SetMicroClientBaseAddress("http://kit/");
  CFilePackIndexMgr m;
  m.SetMicroMode(true);
  m.SetPackNumber(0);  // type 0: resources come with companions
  ASSERT_TRUE(m.OpenPack("c.pkg1", "c.pkg", true));
  ASSERT_TRUE(m.OpenMicroIndex(packtest::Fx("microcfg/001.pkg2").c_str()));
  KitDownLoad down;
  std::map<std::string, std::string> plain;
  for (auto& row : packtest::Manifest("microcfg.txt")) {
    std::string address;
    ASSERT_TRUE(m.GetMicroLocalPath(row[0].c_str(), &address));
    down.files[address] = packtest::Fx(row[1]);
    plain[row[0]] = ReadFileBytes(packtest::Fx(row[2]));
  }
  // The ".cfg" companion is already there; the ".cfs" one is still fetched.
  std::string cfgAddress;
  ASSERT_TRUE(m.GetMicroLocalPath("data/c/a.bin.cfg", &cfgAddress));
  ASSERT_TRUE(CopyFileA(down.files[cfgAddress].c_str(), "pre.res", FALSE));
  ASSERT_TRUE(m.AddDownloadedResource("data/c/a.bin.cfg", "pre.res"));

  CHttpDownLoadMgr* manager = CHttpDownLoadMgr::GetInstance();
  EXPECT_FALSE(manager->DownloadFile("x", 0, "data/c/a.bin", 0, 0, nullptr));
  manager->SetSingleDownLoad(&down);
  std::string address;
  ASSERT_TRUE(m.GetMicroLocalPath("data/c/a.bin", &address));
  ASSERT_TRUE(manager->DownloadFile(address.c_str(), 0, "data/c/a.bin", 0, 409600, &m));
  ASSERT_EQ(2u, down.asked.size());
  EXPECT_NE(std::string::npos, down.asked[0].find("c2.res"));  // the .cfs companion first
  EXPECT_EQ(3, down.parts[1]);
  for (const char* key : {"data/c/a.bin", "data/c/a.bin.cfg", "data/c/a.bin.cfs"})
    EXPECT_TRUE(packtest::ReadsAs(m, key, plain[key])) << key;

  const struct {
    int size, parts;
  } sizes[] = {{0, 1}, {204800, 1}, {204801, 2}, {409600, 3}};
  for (auto& s : sizes) EXPECT_EQ(s.parts, ResourcePartCount(s.size)) << s.size;
  // An unknown address fails and leaves no temporary file.
  EXPECT_FALSE(manager->DownloadFile("http://kit/none", 5, "data/c/b.bin", 0, 10, &m));
  EXPECT_FALSE(m.HasFile("data/c/b.bin"));
  m.Close(true);
  EXPECT_EQ(2u, packtest::FilesIn("res").size());
  ASSERT_TRUE(SetCurrentDirectoryA(".."));
}

TEST(MicroSingle, TempNamesAreNeverShared) {
  std::vector<std::thread> threads;
  std::mutex lock;
  std::set<std::string> names;
  std::atomic<int> made{0};
  for (int t = 0; t < 16; ++t) {
    threads.emplace_back([&]() {
      for (int i = 0; i < 40; ++i) {
        std::string name;
        if (!MakeTempFileName(&name)) continue;
        ++made;
        std::lock_guard<std::mutex> hold(lock);
        names.insert(name);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(640, made.load());
  EXPECT_EQ(640u, names.size());
  for (auto& name : names) DeleteFileA(name.c_str());
}

TEST(MicroSingle, PeakSpeedOverAWindow) {
  // Whichever call opened the window, one of the later ones closes a window
  // that holds the 5000 bytes.
  CHttpDownLoadMgr::RecordDownloadSpeed(0, 1000);
  Sleep(1100);
  CHttpDownLoadMgr::RecordDownloadSpeed(0, 5000);
  Sleep(1100);
  CHttpDownLoadMgr::RecordDownloadSpeed(0, 0);
  EXPECT_GE(CHttpDownLoadMgr::GetInstance()->PeakSpeed(), 5000);
}
