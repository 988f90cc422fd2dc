#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "AllocationProbe.h"
#include "PackTestUtil.h"
#include "common/Pack/FilePackIndexMgr.h"

using FilePack::CFilePackIndexMgr;
using packtest::Fx;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

bool Open(CFilePackIndexMgr& m, const std::string& pack, bool handleMode) {
  return m.OpenPack(Fx(pack + ".pkg1").c_str(), Fx(pack + ".pkg").c_str(), handleMode);
}

// Upper case and backslashes name the same key.
std::string Shouted(std::string key) {
  for (char& c : key) {
    if (c == '/') c = '\\';
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return key;
}

}  // namespace

TEST(PackIndexMgr, EveryGeneratedEntryExtractsInStreamMode) {
  CFilePackIndexMgr m;
  std::string openPack;
  int checked = 0;
  for (auto& row : packtest::Manifest("good.txt")) {
    if (row[0] != openPack) {
      ASSERT_TRUE(Open(m, row[0], false)) << row[0];
      openPack = row[0];
    }
    std::string plain = ReadFileBytes(Fx(row[2]));
    ASSERT_TRUE(m.HasFile(Shouted(row[1]).c_str())) << row[1];
    ASSERT_TRUE(m.ExtractFile(Shouted(row[1]).c_str(), "out.bin")) << row[1];
    EXPECT_TRUE(ReadFileBytes("out.bin") == plain) << row[0] << " " << row[1];

    PackEntry entry;
    ASSERT_TRUE(m.FindEntry(row[1].c_str(), &entry));
    ASSERT_EQ(plain.size(), entry.size);
    std::string buffer(entry.size + 1, '\0');
    ASSERT_TRUE(m.ReadEntryData(&entry, reinterpret_cast<uint8_t*>(&buffer[0]), true));
    EXPECT_TRUE(buffer.substr(0, entry.size) == plain) << row[1];
    ++checked;
  }
  EXPECT_EQ(29, checked);
  EXPECT_FALSE(m.ExtractFile("no/such/key", "out.bin"));
}

TEST(PackIndexMgr, EveryGeneratedEntryReadsInHandleMode) {
  CFilePackIndexMgr* global = FilePack::GlobalPackManager();
  std::string openPack;
  for (auto& row : packtest::Manifest("good.txt")) {
    if (row[0] != openPack) {
      ASSERT_TRUE(Open(*global, row[0], true)) << row[0];
      openPack = row[0];
    }
    PackEntry entry;
    EXPECT_FALSE(global->FindEntry(row[1].c_str(), &entry));  // no full index in handle mode
    EXPECT_TRUE(global->HasFile(row[1].c_str()));
    ASSERT_TRUE(FilePack::FindFileInGlobalPack(Shouted(row[1]).c_str(), &entry)) << row[1];
    std::string buffer(entry.size + 1, '\0');
    ASSERT_TRUE(
        FilePack::ReadFileFromGlobalPack(global, reinterpret_cast<uint8_t*>(&buffer[0]), &entry, row[1].c_str()));
    EXPECT_TRUE(buffer.substr(0, entry.size) == ReadFileBytes(Fx(row[2]))) << row[1];
  }
  global->Close(false);
  PackEntry entry;
  EXPECT_FALSE(FilePack::FindFileInGlobalPack("data/big/l.bin", &entry));
}

TEST(PackIndexMgr, DamagedPacksFailCleanly) {
  testsupport::ReportCapture reports;
  const std::string sentinel = "keep me";
  int opens = 0, entries = 0;
  for (auto& row : packtest::Manifest("damaged.txt")) {
    for (bool handleMode : {false, true}) {
      // A declared length is no reason to allocate: at most one extraction chunk.
      packtest::LargestAllocation probe;
      CFilePackIndexMgr m;
      if (row[0] == "open") {
        EXPECT_FALSE(Open(m, row[1], handleMode)) << row[1];
        EXPECT_FALSE(m.IsOpen());
        EXPECT_EQ(0u, m.EntryCount());
        ++opens;
      } else if (row[0] == "extract") {
        ASSERT_TRUE(Open(m, row[1], handleMode)) << row[1];
        ASSERT_TRUE(m.HasFile(row[2].c_str()));
        if (!handleMode) {
          ASSERT_TRUE(WriteFileBytes("victim.bin", sentinel));
          EXPECT_FALSE(m.ExtractFile(row[2].c_str(), "victim.bin")) << row[1];
          EXPECT_EQ(sentinel, ReadFileBytes("victim.bin")) << row[1];
          PackEntry e;
          ASSERT_TRUE(m.FindEntry(row[2].c_str(), &e));
          // Sized as a careful caller would; the read itself must refuse.
          std::unique_ptr<uint8_t[]> buffer(new uint8_t[16 * 4096]);
          if (e.size < 16 * 4096) {
            EXPECT_FALSE(m.ReadEntryData(&e, buffer.get(), true)) << row[1];
          }
        }
        ++entries;
      }
      EXPECT_LE(probe.Bytes(), 0xA00000u + 1) << row[1];
    }
  }
  EXPECT_EQ(2 * 18, opens);
  EXPECT_EQ(2 * 14, entries);
  EXPECT_TRUE(reports.Contains("解压失败"));
  EXPECT_TRUE(reports.Contains("调用ReadFile代码编号:"));
}

TEST(PackIndexMgr, OpenFallsBackToTheIndexExtension) {
  CFilePackIndexMgr m;
  ASSERT_TRUE(m.OpenPack(Fx("small_lz0_w1").c_str(), Fx("small_lz0_w1.pkg").c_str(), true));
  EXPECT_TRUE(m.HasFile("data/world/a11.bin"));
  EXPECT_TRUE(m.MaskWholeData());
  EXPECT_FALSE(m.IsLzma());
  EXPECT_EQ(6u, m.EntryCount());
  EXPECT_EQ(7u, m.TotalCount());  // the duplicate record counts in the header
}

TEST(PackIndexMgr, EmptyIndexOpensWithNoEntries) {
  CFilePackIndexMgr m;
  ASSERT_TRUE(Open(m, "empty", false));
  EXPECT_EQ(0u, m.EntryCount());
  EXPECT_FALSE(m.HasFile("a"));
  PackEntry entry;
  EXPECT_FALSE(m.FindEntry("a", &entry));
}

TEST(PackIndexMgr, MicroModeCreatesMissingFiles) {
  CreateDirectoryA("micro", nullptr);
  DeleteFileA("micro/009.pkg1");
  DeleteFileA("micro/009.pkg");
  WriteFileBytes("micro/008.pkg1", "damaged index");
  CFilePackIndexMgr m;
  m.SetMicroMode(true);
  ASSERT_TRUE(m.OpenPack("micro/009.pkg1", "micro/009.pkg", true));
  EXPECT_EQ("micro/009", m.PackName());
  EXPECT_TRUE(FileExists("micro/009.pkg"));
  EXPECT_TRUE(FileExists("micro/009"));  // the folder for resource records
  EXPECT_TRUE(m.IsLzma());
  ASSERT_TRUE(m.OpenPack("micro/008.pkg1", "micro/009.pkg", true));
  EXPECT_EQ(0u, m.EntryCount());

  CFilePackIndexMgr plain;  // not micro: nothing is created
  EXPECT_FALSE(plain.OpenPack("micro/007.pkg1", "micro/007.pkg", true));
  EXPECT_FALSE(FileExists("micro/007.pkg1"));
}

TEST(PackIndexMgr, ReadAtPastTheEndFailsAndLeavesZeros) {
  testsupport::ReportCapture reports;
  for (bool handleMode : {true, false}) {
    CFilePackIndexMgr m;
    ASSERT_TRUE(Open(m, "small_lz0_w0", handleMode));
    uint8_t buffer[8];
    memset(buffer, 0xEE, sizeof(buffer));
    EXPECT_FALSE(m.ReadAt(buffer, 1u << 30, sizeof(buffer)));
    for (uint8_t b : buffer) EXPECT_EQ(0, b);
    EXPECT_TRUE(m.ReadAt(buffer, 0, 4));
    EXPECT_FALSE(m.ReadAt(nullptr, 0, 4));
  }
  EXPECT_TRUE(reports.Contains("输入的内存块不存在"));
}

TEST(PackIndexMgr, ExtractFailsWhenTheOutputCannotBeCreated) {
  CFilePackIndexMgr m;
  ASSERT_TRUE(Open(m, "small_lz0_w0", false));
  EXPECT_FALSE(m.ExtractFile("data/world/a15.bin", "no_such_dir/out.bin"));
  EXPECT_FALSE(FileExists("no_such_dir"));
}

TEST(PackIndexMgr, TenProcessWideManagers) {
  EXPECT_EQ(nullptr, FilePack::ClientPackManager(0));
  EXPECT_EQ(nullptr, FilePack::ClientPackManager(11));
  EXPECT_EQ(FilePack::ClientPackManager(4), FilePack::GlobalPackManager());
  EXPECT_NE(FilePack::ClientPackManager(1), FilePack::ClientPackManager(10));
  EXPECT_EQ(9, FilePack::ClientPackManager(1)->PackNumber());
}
