// Fault runs: every failed save or compaction leaves the old pair byte for
// byte as it was, readable, and the same manager succeeds once the fault
// is gone.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

#include "PackWriteTestUtil.h"
#include "common/Pack/FilePackIndexMgr.h"

using FilePack::CFilePackIndexMgr;
using packtest::FaultScope;
using packtest::KitFiles;
using packtest::PackHolds;
using testsupport::ReadFileBytes;

namespace {

enum class Op { kSave, kCompact };
enum class Fault { kIndexHeld, kDataHeld, kCompress, kDiskFull, kIndexDiskFull };

std::atomic<long long> g_budget{0};

bool DiskFull(const char*, size_t count) { return (g_budget -= static_cast<long long>(count)) < 0; }
bool IndexDiskFull(const char* path, size_t) { return strstr(path, ".pkg1") != nullptr; }
bool CompressFails(size_t) { return true; }

HANDLE Hold(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool RunOp(CFilePackIndexMgr& m, Op op) { return op == Op::kSave ? m.SaveChanges() : m.CompactPack(); }

// A kill inside a compaction's replace: nothing after the point runs, as if
// the process had died there.
struct Killed {};
int g_killAt = -1, g_holdAt = -1;
std::string g_holdPath;
HANDLE g_held = INVALID_HANDLE_VALUE;
void CutReplace(int point) {
  if (point == g_holdAt) g_held = Hold(g_holdPath);  // makes the next rename fail
  if (point == g_killAt) throw Killed();
}

}  // namespace

TEST(PackFaults, FailedWritesLeaveTheOldPackWhole) {
  struct Case {
    Op op;
    Fault fault;
    long long budget;
  } cases[] = {
      {Op::kSave, Fault::kIndexHeld, 0},       {Op::kCompact, Fault::kIndexHeld, 0},
      {Op::kCompact, Fault::kDataHeld, 0},     {Op::kSave, Fault::kCompress, 0},
      {Op::kCompact, Fault::kCompress, 0},     {Op::kSave, Fault::kDiskFull, 0},
      {Op::kCompact, Fault::kDiskFull, 0},     {Op::kCompact, Fault::kDiskFull, 1000},
      {Op::kCompact, Fault::kIndexDiskFull, 0}, {Op::kSave, Fault::kIndexDiskFull, 0},
  };
  CreateDirectoryA("fault", nullptr);
  int runs = 0, lost = 0;
  for (const char* pack : {"small_lz0_w0", "small_lz1_w1"}) {
    for (const Case& c : cases) {
      for (bool handleMode : {true, false}) {
        SCOPED_TRACE(::testing::Message() << pack << " op " << static_cast<int>(c.op) << " fault "
                                          << static_cast<int>(c.fault) << " budget " << c.budget << " handle "
                                          << handleMode);
        const std::string local = "fault/p";
        ASSERT_TRUE(packtest::CopyKitPack(pack, local));
        const std::string index = ReadFileBytes(local + ".pkg1"), data = ReadFileBytes(local + ".pkg");
        auto files = KitFiles(pack);
        CFilePackIndexMgr m;
        ASSERT_TRUE(m.OpenPack((local + ".pkg1").c_str(), (local + ".pkg").c_str(), handleMode));
        if (c.op == Op::kSave) {
          ASSERT_TRUE(m.DeleteFile("data/world/a1.bin"));
        }

        HANDLE held = INVALID_HANDLE_VALUE;
        FilePack::PackFaultHooks hooks = {nullptr, nullptr};
        if (c.fault == Fault::kIndexHeld) held = Hold(local + ".pkg1");
        if (c.fault == Fault::kDataHeld) held = Hold(local + ".pkg");
        if (c.fault == Fault::kCompress) hooks.failCompress = CompressFails;
        if (c.fault == Fault::kDiskFull) hooks.failWrite = DiskFull;
        if (c.fault == Fault::kIndexDiskFull) hooks.failWrite = IndexDiskFull;
        g_budget = c.budget;
        bool ran;
        {
          testsupport::ReportCapture quiet;
          FaultScope scope(hooks);
          ran = RunOp(m, c.op);
        }
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        ++runs;
        EXPECT_FALSE(ran);
        const bool sameIndex = ReadFileBytes(local + ".pkg1") == index;
        const bool sameData = ReadFileBytes(local + ".pkg") == data;
        const bool noLeftovers = packtest::FilesIn("fault").size() == 2;
        const ::testing::AssertionResult readable = PackHolds(local, files);
        EXPECT_TRUE(sameIndex);
        EXPECT_TRUE(sameData);
        EXPECT_TRUE(noLeftovers);
        EXPECT_TRUE(readable);
        lost += !(sameIndex && sameData && noLeftovers && readable);
        // Nothing in memory went ahead of the disk: the retry works.
        EXPECT_TRUE(m.HasFile("data/world/a1.bin") || c.op == Op::kSave);
        ASSERT_TRUE(RunOp(m, c.op));
        if (c.op == Op::kSave) files.erase("data/world/a1.bin");
        m.Close(false);
        EXPECT_TRUE(PackHolds(local, files));
      }
    }
  }
  printf("fault runs: %d, lost or mismatched packs: %d\n", runs, lost);
}

TEST(PackFaults, ReadOnlyTargetsAreReplaced) {
  CreateDirectoryA("readonly", nullptr);
  for (Op op : {Op::kSave, Op::kCompact}) {
    const std::string local = "readonly/p";
    ASSERT_TRUE(packtest::CopyKitPack("small_lz1_w0", local));
    // A stale read-only leftover of an earlier run as well.
    ASSERT_TRUE(testsupport::WriteFileBytes(FilePack::NewIndexName("readonly/p"), "stale"));
    for (const char* ext : {".pkg", ".pkg1"}) SetFileAttributesA((local + ext).c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(FilePack::NewIndexName("readonly/p").c_str(), FILE_ATTRIBUTE_READONLY);
    auto files = KitFiles("small_lz1_w0");
    CFilePackIndexMgr m;
    ASSERT_TRUE(m.OpenPack((local + ".pkg1").c_str(), (local + ".pkg").c_str(), true));
    if (op == Op::kSave) {
      ASSERT_TRUE(m.DeleteFile("data/world/a15.bin"));
      files.erase("data/world/a15.bin");
    }
    EXPECT_TRUE(RunOp(m, op));
    m.Close(false);
    EXPECT_TRUE(PackHolds(local, files));
    EXPECT_EQ(2u, packtest::FilesIn("readonly").size());
  }
}

// Cut at every point of the pair's replace, going forward and while a
// failed replace is undone (the index held once the data is renamed): the
// next open finishes or undoes it, and every entry reads as the kit wrote it.
TEST(PackFaults, CompactionCutBetweenRenamesIsFinishedAtOpen) {
  CreateDirectoryA("cut", nullptr);
  const std::string local = "cut/p";
  const auto files = KitFiles("small_lz1_w0");
  g_holdPath = local + ".pkg1";
  for (int holdAt : {-1, 2}) {
    bool killed = true;
    for (int killAt = 0; killed; ++killAt) {
      SCOPED_TRACE(::testing::Message() << "hold " << holdAt << " kill at " << killAt);
      ASSERT_LT(killAt, 20) << "the replace never ran to its end";
      for (const std::string& name : packtest::FilesIn("cut")) DeleteFileA(("cut/" + name).c_str());
      ASSERT_TRUE(packtest::CopyKitPack("small_lz1_w0", local));
      const std::string data = ReadFileBytes(local + ".pkg");
      g_killAt = killAt, g_holdAt = holdAt, killed = false;
      {
        testsupport::ReportCapture quiet;
        CFilePackIndexMgr m;
        ASSERT_TRUE(m.OpenPack((local + ".pkg1").c_str(), (local + ".pkg").c_str(), true));
        FaultScope scope({nullptr, nullptr, CutReplace});
        try {
          EXPECT_EQ(holdAt < 0, m.CompactPack());
        } catch (const Killed&) {
          killed = true;
        }
      }
      if (g_held != INVALID_HANDLE_VALUE) CloseHandle(g_held);
      g_held = INVALID_HANDLE_VALUE;
      testsupport::ReportCapture quiet;
      EXPECT_TRUE(PackHolds(local, files));
      EXPECT_EQ(2u, packtest::FilesIn("cut").size()) << "journal, backup or new file left behind";
      if (holdAt >= 0 && killAt > holdAt) EXPECT_EQ(data, ReadFileBytes(local + ".pkg"));  // undone
    }
  }
}

// A planted journal that names files outside the pack's folder moves nothing.
TEST(PackFaults, JournalOutsideThePackFolderIsRefused) {
  CreateDirectoryA("planted", nullptr);
  ASSERT_TRUE(packtest::CopyKitPack("small_lz1_w0", "planted/p"));
  ASSERT_TRUE(testsupport::WriteFileBytes("outside.txt", "keep"));
  ASSERT_TRUE(testsupport::WriteFileBytes("planted/p.pkg.replace",
                                          "forward\nplanted/p.pkg\tplanted/../outside.txt\t\t1\n"
                                          "planted/p.pkg1\tplanted/p.pkg1\t\t1\nend\n"));
  testsupport::ReportCapture reports;
  EXPECT_TRUE(PackHolds("planted/p", KitFiles("small_lz1_w0")));
  EXPECT_GT(reports.Count(), 0u);
  EXPECT_EQ("keep", ReadFileBytes("outside.txt"));
  EXPECT_EQ(2u, packtest::FilesIn("planted").size());
}
