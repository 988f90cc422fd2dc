#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "PackWriteTestUtil.h"
#include "common/Pack/FilePackIndexMgr.h"

using FilePack::CFilePackIndexMgr;
using packtest::CopyKitPack;
using packtest::KitFiles;
using packtest::PackHolds;
using packtest::RowsOf;
using testsupport::ReadFileBytes;

namespace {

const char* const kSmallPacks[] = {"small_lz0_w0", "small_lz0_w1", "small_lz1_w0", "small_lz1_w1"};

// The records of an index file as written.
std::vector<PackIndexRecord> IndexRecords(const std::string& indexPath, PackIndexHeader* header) {
  std::vector<PackIndexRecord> records;
  std::string image;
  CFilePackIndexMgr loader;
  EXPECT_TRUE(loader.LoadIndexFile(indexPath.c_str(), true, &image));
  EXPECT_TRUE(FilePack::ParsePackIndexImage(packtest::Bytes(image), image.size(), header, [&](const PackIndexRecord& r) {
    records.push_back(r);
    return true;
  }));
  return records;
}

}  // namespace

TEST(PackSave, DeleteAndSaveRoundTrip) {
  CreateDirectoryA("save", nullptr);
  for (const char* pack : kSmallPacks) {
    for (bool handleMode : {false, true}) {
      SCOPED_TRACE(std::string(pack) + (handleMode ? " handle" : " stream"));
      const std::string local = "save/p";
      ASSERT_TRUE(CopyKitPack(pack, local));
      auto files = KitFiles(pack);
      const std::string data = ReadFileBytes(local + ".pkg");
      {
        CFilePackIndexMgr m;
        ASSERT_TRUE(m.OpenPack((local + ".pkg1").c_str(), (local + ".pkg").c_str(), handleMode));
        EXPECT_TRUE(m.DeleteFile("DATA\\WORLD\\A11.BIN"));
        EXPECT_FALSE(m.DeleteFile("data/world/a11.bin"));  // already marked
        EXPECT_TRUE(m.DeleteFile("no/such/key"));            // not held: nothing happens
        ASSERT_TRUE(m.SaveChanges());
        EXPECT_FALSE(m.HasFile("data/world/a11.bin"));
        EXPECT_EQ(5u, m.EntryCount());
        EXPECT_TRUE(m.HasFile("data/world/a15.bin"));
        ASSERT_TRUE(m.SaveChanges());  // no marks: the same records again
      }
      files.erase("data/world/a11.bin");
      EXPECT_TRUE(PackHolds(local, files));
      EXPECT_EQ(data, ReadFileBytes(local + ".pkg"));  // deleting never touches the data
      if (handleMode) packtest::RecordForOracle(local, std::string("saved_") + pack, RowsOf(pack, "data/world/a11.bin"));
    }
  }
  EXPECT_FALSE(CFilePackIndexMgr().DeleteFile("a"));  // closed pack
  EXPECT_FALSE(CFilePackIndexMgr().SaveChanges());
}

TEST(PackCompact, OffsetsRunningSumDuplicatesCollapse) {
  CreateDirectoryA("compact", nullptr);
  int n = 0;
  for (const char* pack : kSmallPacks) {
    const bool handleMode = (n++ % 2) == 0;
    SCOPED_TRACE(pack);
    const std::string local = "compact/p";
    ASSERT_TRUE(CopyKitPack(pack, local));
    auto files = KitFiles(pack);
    CFilePackIndexMgr m;
    ASSERT_TRUE(m.OpenPack((local + ".pkg1").c_str(), (local + ".pkg").c_str(), handleMode));
    ASSERT_EQ(7u, m.TotalCount());  // one key twice in the kit's index
    ASSERT_TRUE(m.CompactPack());
    EXPECT_GE(m.CompactProgress(), 7);  // the display's total is reached
    EXPECT_EQ(6u, m.EntryCount());
    EXPECT_EQ(6u, m.TotalCount());
    EXPECT_TRUE(m.HasFile("data/world/a10.bin"));

    PackIndexHeader header;
    auto records = IndexRecords(local + ".pkg1", &header);
    ASSERT_EQ(6u, header.count);
    uint64_t at = 0;
    for (auto& r : records) {
      EXPECT_EQ(at, r.entry.offset) << r.name;
      at += m.IsLzma() ? r.entry.packedSize : r.entry.size;
    }
    EXPECT_EQ(at, ReadFileBytes(local + ".pkg").size());  // the gaps are gone
    m.Close(false);
    EXPECT_TRUE(PackHolds(local, files));
    packtest::RecordForOracle(local, std::string("compact_") + pack, RowsOf(pack));
  }
  CFilePackIndexMgr closed;
  EXPECT_FALSE(closed.CompactPack());
}

TEST(PackSave, PackFileInPlaceAndSwap) {
  CreateDirectoryA("inplace", nullptr);
  const std::string plain = "image bytes that the index packer packs";
  ASSERT_TRUE(testsupport::WriteFileBytes("inplace/i.pkg1", plain));
  ASSERT_TRUE(CFilePackIndexMgr::PackFileInPlace("inplace/i.pkg1"));
  std::string packed = ReadFileBytes("inplace/i.pkg1"), back;
  ASSERT_TRUE(FilePack::UnpackIndexFileBytes(packtest::Bytes(packed), packed.size(), &back));
  EXPECT_EQ(plain, back);
  EXPECT_FALSE(CFilePackIndexMgr::PackFileInPlace("inplace/missing.pkg1"));
  ASSERT_TRUE(testsupport::WriteFileBytes("inplace/empty.pkg1", ""));
  EXPECT_FALSE(CFilePackIndexMgr::PackFileInPlace("inplace/empty.pkg1"));

  ASSERT_TRUE(testsupport::WriteFileBytes("inplace/n.pkg1", "new"));
  SetFileAttributesA("inplace/i.pkg1", FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(CFilePackIndexMgr::SwapIndexFiles("inplace/i.pkg1", "inplace/n.pkg1"));
  EXPECT_EQ("new", ReadFileBytes("inplace/i.pkg1"));
  EXPECT_FALSE(testsupport::FileExists("inplace/n.pkg1"));
  EXPECT_FALSE(CFilePackIndexMgr::SwapIndexFiles("inplace/i.pkg1", "inplace/gone.pkg1"));
  EXPECT_EQ("new", ReadFileBytes("inplace/i.pkg1"));
  EXPECT_FALSE(CFilePackIndexMgr::SwapIndexFiles(nullptr, "x"));
  EXPECT_EQ(2u, packtest::FilesIn("inplace").size());  // no temporary or backup stays
}
