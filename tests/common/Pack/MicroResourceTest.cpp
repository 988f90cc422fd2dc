#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ClientDirUtil.h"
#include "MicroTestUtil.h"
#include "common/Pack/FilePackIndexMgr.h"

using FilePack::CFilePackIndexMgr;
using packtest::Fx;
using packtest::PackHolds;
using packtest::Micro9;
using packtest::OpenMicroPack;
using packtest::PlainByKey;
using packtest::ReadsAs;
using packtest::Resource;
using testsupport::FileExists;
using testsupport::ReadFileBytes;

namespace {

std::string Copy(const std::string& from, const std::string& to) {
  EXPECT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << to;
  return to;
}

size_t Records(const std::string& folder) {
  size_t n = 0;
  for (auto& name : packtest::FilesIn(folder)) n += name.size() > 5 && name.substr(name.size() - 5) == ".pkg3";
  return n;
}

}  // namespace

TEST(MicroResource, RefusedDownloadsAreDeletedAndNeverPending) {
  testsupport::RemoveTree("rej");
  CreateDirectoryA("rej", nullptr);
  CFilePackIndexMgr m;
  ASSERT_TRUE(OpenMicroPack(m, "rej/006", 6));
  auto res = Micro9(6);
  const Resource& r = res[2];
  const std::string served = ReadFileBytes(r.served);
  std::string flipped = served;
  flipped[flipped.size() / 2] ^= 0x01;
  struct Case {
    const char* what;
    std::string key, bytes, report;
  } cases[] = {
      {"one byte short", r.key, served.substr(0, served.size() - 1), "文件长度不同"},
      {"one byte long", r.key, served + "x", "文件长度不同"},
      {"bad crc", r.key, flipped, "下载资源CRC验证失败"},
      {"not listed", "data/p6/none.bin", served, "文件不存在"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::ReportCapture reports;
    ASSERT_TRUE(testsupport::WriteFileBytes("rej/dl.res", c.bytes));
    EXPECT_FALSE(m.AddDownloadedResource(c.key.c_str(), "rej/dl.res"));
    EXPECT_FALSE(FileExists("rej/dl.res"));
    EXPECT_TRUE(reports.Contains(c.report));
    EXPECT_FALSE(m.HasFile(c.key.c_str()));
    EXPECT_EQ(0u, Records("rej/006"));
  }
  EXPECT_FALSE(m.AddDownloadedResource(nullptr, "x"));

  ASSERT_TRUE(m.AddDownloadedResource(r.key.c_str(), Copy(r.served, "rej/ok.res").c_str()));
  EXPECT_TRUE(FileExists("rej/ok.res"));  // read from there until the merge
  EXPECT_TRUE(m.HasFile(r.key.c_str()));
  EXPECT_TRUE(ReadsAs(m, r.key, r.plain));
  ASSERT_EQ(1u, Records("rej/006"));
  EXPECT_FALSE(m.AddDownloadedResource(r.key.c_str(), Copy(r.served, "rej/again.res").c_str()));
  EXPECT_FALSE(FileExists("rej/again.res"));

  MicroIndexRecord parked;
  ASSERT_TRUE(CFilePackIndexMgr::ReadResourceRecord(("rej/006/" + packtest::FilesIn("rej/006")[0]).c_str(), &parked));
  EXPECT_EQ(r.key, parked.record.name);
  EXPECT_STREQ("rej/ok.res", parked.fileName);
  MicroIndexRecord listed;
  ASSERT_TRUE(m.FindMicroEntry(r.key.c_str(), &listed));
  EXPECT_EQ(listed.crc, parked.crc);
  EXPECT_EQ(0, memcmp(&listed.record.entry, &parked.record.entry, 17));

  std::string address;
  ASSERT_TRUE(m.GetMicroLocalPath("DATA\\P6\\R2.BIN", &address));
  EXPECT_EQ(m.DownloadBase() + "/r2.res", address);
  EXPECT_FALSE(m.GetMicroLocalPath("data/p6/none.bin", &address));
  FilePack::MicroDownloadItem item = FilePack::MakeDownloadItem(7, 5, "data/p6/r2.bin", 99, &m);
  EXPECT_EQ(address, item.address);
  EXPECT_EQ(7, item.offset);
  EXPECT_EQ(5, item.typeCode);
  EXPECT_EQ(&m, item.owner);
  EXPECT_EQ(nullptr, FilePack::MakeDownloadItem(0, 0, "x", 0, nullptr).owner);
}

TEST(MicroResource, SavesAndCompactionsNeverWriteServerOffsets) {
  testsupport::RemoveTree("lat");
  CreateDirectoryA("lat", nullptr);
  CreateDirectoryA("res", nullptr);
  auto res = Micro9(3);
  {
    CFilePackIndexMgr m;
    ASSERT_TRUE(OpenMicroPack(m, "lat/003", 3));
    for (int i = 0; i < 2; ++i)
      ASSERT_TRUE(
          m.AddDownloadedResource(res[i].key.c_str(), Copy(res[i].served, "res/lat" + std::to_string(i)).c_str()));
  }
  ASSERT_TRUE(FilePack::MergeResourceFiles(nullptr, "lat/003.pkg", "lat/003/", "lat/003.pkg1", true, false));
  CFilePackIndexMgr m;
  ASSERT_TRUE(OpenMicroPack(m, "lat/003", 3));
  for (int i = 2; i < 5; ++i) {
    ASSERT_TRUE(
        m.AddDownloadedResource(res[i].key.c_str(), Copy(res[i].served, "res/lat" + std::to_string(i)).c_str()));
    ASSERT_TRUE(m.HasFile(res[i].key.c_str()));  // published into the lite index
  }
  const std::string data = ReadFileBytes("lat/003.pkg");
  for (bool compact : {false, true}) {
    ASSERT_TRUE(compact ? m.CompactPack() : m.SaveChanges());
    PackIndexHeader header;
    std::string image;
    ASSERT_TRUE(CFilePackIndexMgr().LoadIndexFile("lat/003.pkg1", true, &image));
    std::vector<std::string> saved;
    ASSERT_TRUE(FilePack::ParsePackIndexImage(packtest::Bytes(image), image.size(), &header, [&](const PackIndexRecord& rec) {
      saved.push_back(rec.name);
      return true;
    }));
    EXPECT_EQ(2u, saved.size());
    for (auto& key : saved) EXPECT_TRUE(key == res[0].key || key == res[1].key) << key;
    EXPECT_EQ(data.size(), ReadFileBytes("lat/003.pkg").size());  // already without gaps
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(m.HasFile(res[i].key.c_str()));
    EXPECT_TRUE(ReadsAs(m, res[3].key, res[3].plain));
  }
  m.Close(true);
  ASSERT_TRUE(FilePack::MergeResourceFiles(nullptr, "lat/003.pkg", "lat/003/", "lat/003.pkg1", true, false));
  res.resize(5);
  EXPECT_TRUE(PackHolds("lat/003", PlainByKey(res)));
}

TEST(MicroResource, SixteenThreadsThenTheNineWorkerMerge) {
  ASSERT_TRUE(packtest::EnterFreshClientFolder("mt"));
  auto res = Micro9();
  ASSERT_EQ(72u, res.size());
  for (int n = 1; n <= 9; ++n) {
    char base[16];
    snprintf(base, sizeof(base), "Data/%03d", n);
    ASSERT_TRUE(OpenMicroPack(*FilePack::ClientPackManager(n), base, n)) << n;
  }
  std::atomic<int> added{0}, refused{0}, found{0}, read{0};
  {
    testsupport::ReportCapture quiet;
    std::vector<std::thread> threads;
    for (int t = 0; t < 16; ++t) {
      threads.emplace_back([&, t]() {
        for (size_t i = t; i < res.size(); i += 16) {
          CFilePackIndexMgr* m = FilePack::ClientPackManager(res[i].pack);
          std::string local = "res/" + std::to_string(i) + ".res";
          CopyFileA(res[i].served.c_str(), local.c_str(), FALSE);
          added += m->AddDownloadedResource(res[i].key.c_str(), local.c_str());
          std::string twice = local + "2";
          CopyFileA(res[i].served.c_str(), twice.c_str(), FALSE);
          refused += !m->AddDownloadedResource(res[i].key.c_str(), twice.c_str());
          // Lookups of this and of other threads' resources meanwhile.
          for (size_t j = 0; j < res.size(); j += 7) FilePack::ClientPackManager(res[j].pack)->HasFile(res[j].key.c_str());
          found += m->HasFile(res[i].key.c_str());
          read += ReadsAs(*m, res[i].key, res[i].plain);
        }
      });
    }
    for (auto& thread : threads) thread.join();
  }
  EXPECT_EQ(72, added.load());
  EXPECT_EQ(72, refused.load());
  EXPECT_EQ(72, found.load());
  EXPECT_EQ(72, read.load());
  for (int n = 1; n <= 9; ++n) FilePack::ClientPackManager(n)->Close(true);

  static std::atomic<int> lastMerged, lastTotal;
  ASSERT_TRUE(FilePack::MergeAllDataPacks(true, [](int merged, int total) {
    lastMerged = merged;
    lastTotal = total;
  }));
  int merged = 0, toMerge = 0;
  FilePack::GetMergeProgress(&merged, &toMerge);
  EXPECT_EQ(72, merged);
  EXPECT_EQ(72, toMerge);
  EXPECT_EQ(72, lastMerged.load());
  EXPECT_EQ(0u, packtest::FilesIn("res").size());  // downloaded files deleted
  for (int n = 1; n <= 9; ++n) {
    char base[16], folder[16];
    snprintf(base, sizeof(base), "Data/%03d", n);
    snprintf(folder, sizeof(folder), "data/%03d", n);
    EXPECT_EQ(0u, Records(folder)) << n;
    EXPECT_TRUE(PackHolds(base, PlainByKey(Micro9(n))));
    std::vector<std::vector<std::string>> rows;
    for (auto& row : packtest::Manifest("micro9.txt"))
      if (std::stoi(row[0]) == n) rows.push_back({row[1], row[3]});
    packtest::RecordForOracle(base, "micro_merged_" + std::to_string(n), rows);
  }
  for (int n = 1; n <= 9; ++n) {
    FilePack::ClientPackManager(n)->SetMicroMode(false);
    FilePack::ClientPackManager(n)->SetPackNumber(9);
  }
  ASSERT_TRUE(SetCurrentDirectoryA(".."));
}

// The kit lists received resources at the offsets merged ones get (0 on
// both sides, same and other lengths): every read is the resource asked
// for, pending or merged, through downloads, merges and reopens.
TEST(MicroResource, ReceivedAndMergedResourcesNeverShareAnOffset) {
  packtest::ScopedClientDir dir("clash");
  CreateDirectoryA("res", nullptr);
  std::vector<Resource> res;  // e0..e3 of one stored length, odd of another
  for (auto& row : packtest::Manifest("microclash.txt"))
    res.push_back({4, row[0], Fx(row[1]), ReadFileBytes(Fx(row[2]))});
  CFilePackIndexMgr* global = FilePack::GlobalPackManager();
  auto open = [&]() {
    global->SetMicroMode(true);
    return global->OpenPack("004.pkg1", "004.pkg", true) && global->OpenMicroIndex(Fx("microclash/004.pkg2").c_str());
  };
  auto receive = [&](int i) {
    return global->AddDownloadedResource(res[i].key.c_str(), Copy(res[i].served, "res/" + std::to_string(i)).c_str());
  };
  auto mergeAndOpen = [&]() {
    global->Close(true);
    return FilePack::MergeResourceFiles(nullptr, "004.pkg", "004/", "004.pkg1", true, false) && open();
  };
  // As the document loader reads, and with the listed (server) entry.
  auto wrongReads = [&](std::initializer_list<int> which) {
    std::string wrong;
    for (int i : which) {
      PackEntry entry = {};
      const bool found = FilePack::FindFileInGlobalPack(res[i].key.c_str(), &entry);
      std::string buffer(entry.size + 1, '\0');
      if (!found || !FilePack::ReadFileFromGlobalPack(global, reinterpret_cast<uint8_t*>(&buffer[0]), &entry,
                                                      res[i].key.c_str()) ||
          buffer.compare(0, entry.size, res[i].plain) != 0 || !ReadsAs(*global, res[i].key, res[i].plain))
        wrong += res[i].key + " ";
    }
    return wrong;
  };
  testsupport::ReportCapture quiet;
  ASSERT_TRUE(open() && receive(0) && mergeAndOpen());  // e0 at local offset 0
  ASSERT_TRUE(receive(3) && receive(4));                 // both listed at 0
  EXPECT_EQ("", wrongReads({0, 3, 4}));
  ASSERT_TRUE(mergeAndOpen() && receive(1) && receive(2));
  EXPECT_EQ("", wrongReads({0, 1, 2, 3, 4}));
  global->Close(true);  // reopened unmerged: the parked records wait unseen
  ASSERT_TRUE(open());
  EXPECT_EQ("", wrongReads({0, 3, 4}));
  EXPECT_FALSE(global->HasFile(res[1].key.c_str()));
  ASSERT_TRUE(mergeAndOpen());
  EXPECT_EQ("", wrongReads({0, 1, 2, 3, 4}));
  global->Close(false);
  global->SetMicroMode(false);
  EXPECT_TRUE(PackHolds("004", PlainByKey(res)));
}
