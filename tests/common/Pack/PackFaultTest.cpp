// Fault runs: every failed save or compaction leaves the old pair byte for
// byte as it was, readable, and the same manager succeeds once the fault
// is gone.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "PackWriteTestUtil.h"
#include "common/Pack/FilePackIndexMgr.h"

using FilePack::CFilePackIndexMgr;
using packtest::FaultScope;
using packtest::KitFiles;
using packtest::PackHolds;
using packtest::RowsOf;
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
// the process had died there. From the hold point on, files are held open
// without delete sharing (a scanner, the game) and, where asked, the disk
// takes no journal.
struct Killed {};
int g_killAt = -1, g_holdAt = -1;
std::vector<std::string> g_holdPaths;
std::vector<HANDLE> g_held;
bool g_journalFull = false;
void CutReplace(int point) {
  if (point == g_holdAt)
    for (const std::string& path : g_holdPaths) g_held.push_back(Hold(path));
  if (point == g_killAt) throw Killed();
}
bool JournalFull(const char* path, size_t) { return g_journalFull && !g_held.empty() && strstr(path, ".replace"); }
bool NoHardLinks(const char*) { return true; }
void LetGo() {
  for (HANDLE h : g_held) CloseHandle(h);
  g_held.clear();
}

// Entries that read back other bytes than the kit's; a read that fails
// mixes nothing up.
int MixedReads(CFilePackIndexMgr& m, const std::map<std::string, std::string>& files) {
  int mixed = 0;
  for (const PackIndexRecord& r : m.Records()) {
    std::string bytes(r.entry.size, '\0');
    auto kit = files.find(r.name);
    if (m.ReadEntryData(&r.entry, reinterpret_cast<uint8_t*>(&bytes[0]), true))
      mixed += kit == files.end() || kit->second != bytes;
  }
  return mixed;
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
// failed replace is undone: the next open finishes or undoes it, and every
// entry reads as the kit wrote it. An undo that cannot put every old file
// back, or cannot journal itself, keeps the journal; until the next open
// the pack reads nothing mixed.
TEST(PackFaults, CompactionCutBetweenRenamesIsFinishedAtOpen) {
  struct Case {
    const char* what;
    int holdAt;                     // points: 0 journal, 1 data kept aside, 2 data renamed
    std::vector<const char*> held;  // beside cut/p
    bool journalFull, noHardLinks;
    bool endsNew;       // once held, the next open completes the compaction instead of undoing it
    bool journalStays;  // the replace returns unfinished
  } cases[] = {
      {"no fault", -1, {}, false, false, true, false},
      {"index held", 2, {".pkg1"}, false, false, false, false},
      {"new data held too", 2, {".pkg1", ".pkg"}, false, false, false, true},
      {"back journal unwritable", 2, {".pkg1"}, true, false, true, true},
      {"no hard links, backup held", 1, {"_new.pkg", ".pkg.bak0"}, false, true, false, true},
  };
  CreateDirectoryA("cut", nullptr);
  const std::string local = "cut/p";
  for (const char* pack : {"small_lz1_w0", "small_lz0_w0"}) {
    const auto files = KitFiles(pack);
    for (const Case& c : cases) {
      g_holdPaths.clear();
      for (const char* suffix : c.held) g_holdPaths.push_back(local + suffix);
      g_journalFull = c.journalFull;
      bool killed = true;
      for (int killAt = 0; killed; ++killAt) {
        SCOPED_TRACE(::testing::Message() << pack << " " << c.what << " kill at " << killAt);
        ASSERT_LT(killAt, 20) << "the replace never ran to its end";
        for (const std::string& name : packtest::FilesIn("cut")) DeleteFileA(("cut/" + name).c_str());
        ASSERT_TRUE(packtest::CopyKitPack(pack, local));
        const std::string data = ReadFileBytes(local + ".pkg");
        g_killAt = killAt, g_holdAt = c.holdAt, killed = false;
        {
          testsupport::ReportCapture quiet;
          CFilePackIndexMgr m;
          ASSERT_TRUE(m.OpenPack((local + ".pkg1").c_str(), (local + ".pkg").c_str(), true));
          FilePack::PackFaultHooks hooks = {nullptr, nullptr, CutReplace, c.noHardLinks ? NoHardLinks : nullptr};
          if (c.journalFull) hooks.failWrite = JournalFull;
          FaultScope scope(hooks);
          try {
            EXPECT_EQ(c.holdAt < 0, m.CompactPack());
          } catch (const Killed&) {
            killed = true;
          }
          if (!killed) {
            EXPECT_EQ(c.journalStays, GetFileAttributesA((local + ".pkg.replace").c_str()) != INVALID_FILE_ATTRIBUTES);
            EXPECT_EQ(0, MixedReads(m, files));
            CFilePackIndexMgr other;  // opened while the files are still held
            if (other.OpenPack((local + ".pkg1").c_str(), (local + ".pkg").c_str(), true)) {
              EXPECT_EQ(0, MixedReads(other, files));
            }
          }
        }
        LetGo();
        testsupport::ReportCapture quiet;
        EXPECT_TRUE(PackHolds(local, files));
        EXPECT_EQ(2u, packtest::FilesIn("cut").size()) << "journal, backup or new file left behind";
        if (c.holdAt >= 0 && killAt > c.holdAt) {
          EXPECT_EQ(!c.endsNew, data == ReadFileBytes(local + ".pkg"));
        }
        if (c.journalFull && !killed) packtest::RecordForOracle(local, std::string("compact_finished_") + pack, RowsOf(pack));
      }
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
