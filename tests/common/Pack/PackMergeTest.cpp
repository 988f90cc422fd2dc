#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <vector>

#include "PackWriteTestUtil.h"
#include "ClientDirUtil.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/ScopedHandle.h"

using FilePack::CFilePackIndexMgr;
using packtest::CopyKitPack;
using packtest::FaultScope;
using packtest::Fx;
using packtest::KitFiles;
using packtest::PackHolds;
using testsupport::FileExists;
using testsupport::ReadFileBytes;

namespace {

bool FailAllWrites(const char*, size_t) { return true; }

HANDLE Hold(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Parks the first count resources of kit micro pack 5 as .pkg3 records of
// "<dir>/005", downloaded as local(n) or else "res/<dir>_dl<n>.res", and
// returns their plain bytes by key.
std::map<std::string, std::string> Park(const std::string& dir, int count,
                                        const std::function<std::string(int)>& local = nullptr) {
  std::map<std::string, std::string> plain;
  CFilePackIndexMgr m;
  m.SetMicroMode(true);
  EXPECT_TRUE(m.OpenPack((dir + "/005.pkg1").c_str(), (dir + "/005.pkg").c_str(), true));
  EXPECT_TRUE(m.OpenMicroIndex(Fx("micro9/005.pkg2").c_str()));
  CreateDirectoryA("res", nullptr);
  int n = 0;
  for (auto& row : packtest::Manifest("micro9.txt")) {
    if (row[0] != "5" || n == count) continue;
    const std::string name = local ? local(n) : "res/" + dir + "_dl" + std::to_string(n) + ".res";
    ++n;
    EXPECT_TRUE(CopyFileA(Fx(row[2]).c_str(), name.c_str(), FALSE)) << name;
    EXPECT_TRUE(m.AddDownloadedResource(row[1].c_str(), name.c_str())) << name;
    plain[row[1]] = ReadFileBytes(Fx(row[3]));
  }
  return plain;
}

bool Merge(const std::string& dir) {
  return FilePack::MergeResourceFiles(nullptr, (dir + "/005.pkg").c_str(), (dir + "/005/").c_str(),
                                      (dir + "/005.pkg1").c_str(), true, false);
}

}  // namespace

TEST(MergeResourceFiles, OnlyRecordFilesCountAndDuplicatesMergeOnce) {
  testsupport::RemoveTree("mrf");
  CreateDirectoryA("mrf", nullptr);
  auto plain = Park("mrf", 3);
  // Look-alikes that the extension filter would also match: never touched.
  ASSERT_TRUE(testsupport::WriteFileBytes("mrf/005/keep.pkg", "pack"));
  ASSERT_TRUE(testsupport::WriteFileBytes("mrf/005/pkg3", "no extension"));
  auto names = packtest::FilesIn("mrf/005");
  std::string first;
  for (auto& n : names)
    if (n.size() > 5 && n.substr(n.size() - 5) == ".pkg3") first = n;
  ASSERT_TRUE(CopyFileA(("mrf/005/" + first).c_str(), "mrf/005/copy.pkg3", FALSE));  // same name twice

  int calls = 0;
  static int* counter;
  counter = &calls;
  ASSERT_TRUE(FilePack::MergeResourceFiles([](int, int) { ++*counter; }, "mrf/005.pkg", "mrf/005/", "mrf/005.pkg1",
                                           true, false));
  EXPECT_EQ(3, calls);
  EXPECT_TRUE(PackHolds("mrf/005", plain));
  auto left = packtest::FilesIn("mrf/005");
  std::sort(left.begin(), left.end());
  EXPECT_EQ((std::vector<std::string>{"keep.pkg", "pkg3"}), left);
  EXPECT_EQ(2u, packtest::FilesIn("mrf").size());  // 005.pkg, 005.pkg1
  EXPECT_FALSE(FileExists("res/mrf_dl0.res"));     // downloads deleted

  EXPECT_FALSE(Merge("mrf"));  // nothing left to merge
  EXPECT_TRUE(FileExists("mrf/005/keep.pkg"));
  EXPECT_FALSE(FilePack::MergeResourceFiles(nullptr, nullptr, "mrf/005/", "mrf/005.pkg1", true, false));
}

TEST(MergeResourceFiles, AFailedMergeKeepsRecordsAndData) {
  testsupport::RemoveTree("mrf2");
  CreateDirectoryA("mrf2", nullptr);
  auto plain = Park("mrf2", 4);
  const std::string index = ReadFileBytes("mrf2/005.pkg1"), data = ReadFileBytes("mrf2/005.pkg");
  int runs = 0;
  for (int fault = 0; fault < 2; ++fault) {
    testsupport::ReportCapture quiet;
    HANDLE held = fault == 0 ? Hold("mrf2/005.pkg1") : INVALID_HANDLE_VALUE;
    bool merged;
    {
      FaultScope scope({fault == 1 ? FailAllWrites : nullptr, nullptr});
      merged = Merge("mrf2");
    }
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    ++runs;
    EXPECT_FALSE(merged) << fault;
    EXPECT_EQ(index, ReadFileBytes("mrf2/005.pkg1"));
    EXPECT_EQ(data, ReadFileBytes("mrf2/005.pkg"));  // cut back to its old length
    EXPECT_EQ(4u, packtest::FilesIn("mrf2/005").size());
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(FileExists("res/mrf2_dl" + std::to_string(i) + ".res")) << i;
  }
  // A record whose downloaded bytes changed since is dropped, its file kept.
  std::string tampered = ReadFileBytes("res/mrf2_dl0.res");
  tampered[0] ^= 1;
  ASSERT_TRUE(testsupport::WriteFileBytes("res/mrf2_dl0.res", tampered));
  ASSERT_TRUE(Merge("mrf2"));
  EXPECT_TRUE(FileExists("res/mrf2_dl0.res"));
  EXPECT_EQ(0u, packtest::FilesIn("mrf2/005").size());
  ASSERT_EQ(1u, plain.erase("data/p5/r0.bin"));  // dl0 holds the kit's first resource
  EXPECT_TRUE(PackHolds("mrf2/005", plain));
}

// A record is renamed into place through a handle opened for deletion, which
// the renaming thread holds until the rename returns; a merge meeting the
// record then must still read it, not drop it.
TEST(MergeResourceFiles, RecordsStillHeldByTheirRenameAreMerged) {
  testsupport::RemoveTree("mrf3");
  CreateDirectoryA("mrf3", nullptr);
  auto plain = Park("mrf3", 2);
  auto records = packtest::FilesIn("mrf3/005");
  ASSERT_EQ(2u, records.size());
  bool merged = false;
  {
    ScopedHandle renaming(CreateFileA(("mrf3/005/" + records[0]).c_str(), DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(renaming);
    merged = Merge("mrf3");
  }
  EXPECT_TRUE(merged);
  EXPECT_TRUE(PackHolds("mrf3/005", plain));
}

// A merge reads the file a record names, appends it and deletes it: only the
// micro client's own downloads in res qualify. A record naming any other
// file (one beside the client above all), though its size and CRC match, is
// dropped without reading or deleting what it names.
TEST(MergeResourceFiles, RecordsNamingFilesOutsideTheDownloadFolderAreDropped) {
  const std::string named[] = {"../mrf4_beside.res", "other/v1.res", "res/sub/v2.res", "res\\3.res"};
  {
    packtest::ScopedClientDir client("mrf4");
    for (const char* folder : {"other", "res", "res/sub"}) CreateDirectoryA(folder, nullptr);
    Park(".", 4, [&](int n) { return named[n]; });
    std::string kept[3];
    for (int i = 0; i < 3; ++i) kept[i] = ReadFileBytes(named[i]);
    testsupport::ReportCapture reports;
    ASSERT_TRUE(Merge("."));
    EXPECT_TRUE(reports.Contains("资源记录的文件不在下载目录内"));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(kept[i], ReadFileBytes(named[i])) << named[i];
    EXPECT_FALSE(FileExists(named[3]));  // merged, then deleted
    EXPECT_TRUE(packtest::FilesIn("005").empty());
  }
  EXPECT_TRUE(DeleteFileA("mrf4_beside.res"));  // still there
}

TEST(MergePack, AppendsTheSourceAndRepointsSharedKeys) {
  CreateDirectoryA("mp", nullptr);
  struct Case {
    const char* source;
    const char* dest;
  } cases[] = {{"small_lz0_w0", "small_lz0_w0"}, {"small_lz1_w1", "empty"}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.source);
    ASSERT_TRUE(CopyKitPack(c.source, "mp/src"));
    ASSERT_TRUE(CopyKitPack(c.dest, "mp/dst"));
    const std::string oldData = ReadFileBytes("mp/dst.pkg");
    int calls = 0;
    static int* counter;
    counter = &calls;
    ASSERT_TRUE(CFilePackIndexMgr::MergePack([](int, int) { ++*counter; }, "mp/src.pkg1", "mp/src.pkg", "mp/dst.pkg1",
                                             "mp/dst.pkg", false));
    EXPECT_EQ(6, calls);
    const std::string newData = ReadFileBytes("mp/dst.pkg");
    EXPECT_EQ(0, newData.compare(0, oldData.size(), oldData));  // old bytes stay as a gap
    CFilePackIndexMgr dst;
    ASSERT_TRUE(dst.OpenPack("mp/dst.pkg1", "mp/dst.pkg", false));
    for (auto& file : KitFiles(c.source)) {
      PackEntry entry = {};
      EXPECT_TRUE(dst.FindEntry(file.first.c_str(), &entry));
      EXPECT_GE(entry.offset, oldData.size());
    }
    dst.Close(false);
    EXPECT_TRUE(PackHolds("mp/dst", KitFiles(c.source)));
    std::vector<std::vector<std::string>> rows;
    for (auto& row : packtest::Manifest("good.txt"))
      if (row[0] == c.source) rows.push_back({row[1], row[2]});
    packtest::RecordForOracle("mp/dst", std::string("merged_") + c.source, rows);
  }
  EXPECT_FALSE(CFilePackIndexMgr::MergePack(nullptr, nullptr, "a", "b", "c", false));
}

TEST(MergePack, RefusalsLeaveTheDestinationAsItWas) {
  CreateDirectoryA("mpf", nullptr);
  testsupport::ReportCapture quiet;
  int runs = 0;
  for (int fault = 0; fault < 3; ++fault) {
    ASSERT_TRUE(CopyKitPack(fault == 2 ? "small_lz1_w0" : "small_lz0_w0", "mpf/src"));
    ASSERT_TRUE(CopyKitPack("small_lz0_w1", "mpf/dst"));
    const std::string index = ReadFileBytes("mpf/dst.pkg1"), data = ReadFileBytes("mpf/dst.pkg");
    HANDLE held = fault == 0 ? Hold("mpf/dst.pkg1") : INVALID_HANDLE_VALUE;
    bool merged;
    {
      FaultScope scope({fault == 1 ? FailAllWrites : nullptr, nullptr});
      // Fault 2: a stored pack masked otherwise, an LZMA source: refused.
      merged = CFilePackIndexMgr::MergePack(nullptr, "mpf/src.pkg1", "mpf/src.pkg", "mpf/dst.pkg1", "mpf/dst.pkg", false);
    }
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    ++runs;
    EXPECT_FALSE(merged) << fault;
    EXPECT_EQ(index, ReadFileBytes("mpf/dst.pkg1")) << fault;
    EXPECT_EQ(data, ReadFileBytes("mpf/dst.pkg")) << fault;
    EXPECT_TRUE(PackHolds("mpf/dst", KitFiles("small_lz0_w1")));
    EXPECT_EQ(4u, packtest::FilesIn("mpf").size());
  }
}

TEST(MergePack, AppendsPastFourGiBAreRefused) {
  CreateDirectoryA("mp4g", nullptr);
  ASSERT_TRUE(CopyKitPack("small_lz0_w0", "mp4g/src"));
  ASSERT_TRUE(CopyKitPack("small_lz0_w0", "mp4g/dst"));
  const std::string index = ReadFileBytes("mp4g/dst.pkg1");
  const LONGLONG nearEnd = 0xFFFFF000LL;  // sparse: the offsets are u32
  HANDLE h = CreateFileA("mp4g/dst.pkg", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  LARGE_INTEGER to;
  to.QuadPart = nearEnd;
  ASSERT_TRUE(SetFilePointerEx(h, to, nullptr, FILE_BEGIN) && SetEndOfFile(h));
  CloseHandle(h);
  testsupport::ReportCapture quiet;
  EXPECT_FALSE(CFilePackIndexMgr::MergePack(nullptr, "mp4g/src.pkg1", "mp4g/src.pkg", "mp4g/dst.pkg1", "mp4g/dst.pkg", false));
  EXPECT_EQ(index, ReadFileBytes("mp4g/dst.pkg1"));
  WIN32_FILE_ATTRIBUTE_DATA info;
  ASSERT_TRUE(GetFileAttributesExA("mp4g/dst.pkg", GetFileExInfoStandard, &info));
  EXPECT_EQ(static_cast<DWORD>(nearEnd), info.nFileSizeLow);
  EXPECT_EQ(0u, info.nFileSizeHigh);
  testsupport::RemoveTree("mp4g");
}
