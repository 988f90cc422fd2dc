#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "PackTestUtil.h"
#include "common/CRC32.h"
#include "common/Pack/PackFormat.h"

using namespace FilePack;
using packtest::Bytes;
using packtest::Fx;
using testsupport::ReadFileBytes;

namespace {

std::string UnpackFile(const std::string& path) {
  std::string file = ReadFileBytes(path), image;
  EXPECT_TRUE(UnpackIndexFileBytes(Bytes(file), file.size(), &image)) << path;
  return image;
}

}  // namespace

TEST(PackFormat, StoredMaskingWindows) {
  struct Case {
    uint32_t size;
    bool whole;
    std::vector<int> masked;  // positions that change
  } cases[] = {
      {10, false, {}},
      {11, false, {0, 1, 2, 3, 4, 6, 7, 8, 9, 10}},
      {15, false, {0, 1, 2, 3, 4, 10, 11, 12, 13, 14}},
      {3, true, {0, 1, 2}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> data(c.size, 0);
    MaskStoredBytes(data.data(), data.size(), 0, c.size, c.whole);
    std::vector<int> changed;
    for (uint32_t i = 0; i < c.size; ++i)
      if (data[i] != 0) {
        EXPECT_EQ(kDataKey, data[i]);
        changed.push_back(static_cast<int>(i));
      }
    EXPECT_EQ(c.masked, changed) << c.size;
  }
  // Masking piecewise (extraction chunks) equals masking the whole file.
  std::vector<uint8_t> whole(23, 0x41), pieces(23, 0x41);
  MaskStoredBytes(whole.data(), 23, 0, 23, false);
  for (uint32_t at = 0; at < 23; at += 4) MaskStoredBytes(pieces.data() + at, at + 4 > 23 ? 23 - at : 4, at, 23, false);
  EXPECT_EQ(whole, pieces);
}

TEST(PackFormat, ParsesPythonIndexesLikeTheManifest) {
  std::map<std::string, std::vector<std::string>> keysOf;
  for (auto& row : packtest::Manifest("good.txt")) keysOf[row[0]].push_back(row[1]);
  ASSERT_GE(keysOf.size(), 7u);
  for (auto& pack : keysOf) {
    std::string image = UnpackFile(Fx(pack.first + ".pkg1"));
    PackIndexHeader header;
    std::map<std::string, PackEntry> seen;
    ASSERT_TRUE(ParsePackIndexImage(Bytes(image), image.size(), &header, [&](const PackIndexRecord& r) {
      seen[r.name] = r.entry;  // later records replace earlier ones
      return true;
    })) << pack.first;
    EXPECT_EQ(pack.first.find("_lz1") != std::string::npos || pack.first == "big_lzma", header.lzma != 0);
    EXPECT_EQ(pack.second.size(), seen.size()) << pack.first;
    for (auto& key : pack.second) EXPECT_EQ(1u, seen.count(key)) << key;
  }
}

TEST(PackFormat, RejectsImagesThatDoNotMatchTheirHeader) {
  testsupport::ReportCapture reports;
  PackIndexRecord record = {};
  strcpy(record.name, "a/b");
  auto imageOf = [&](uint32_t count, size_t records) {
    std::string image;
    AppendIndexHeader(image, PackIndexHeader{count, 0, 0, 1});
    for (size_t i = 0; i < records; ++i) AppendMaskedRecord(image, &record, sizeof(record));
    return image;
  };
  auto parses = [](const std::string& image) {
    PackIndexHeader header;
    return ParsePackIndexImage(Bytes(image), image.size(), &header, [](const PackIndexRecord&) { return true; });
  };
  EXPECT_TRUE(parses(imageOf(0, 0)));
  EXPECT_TRUE(parses(imageOf(2, 2)));
  EXPECT_FALSE(parses(imageOf(0, 0) + std::string(275, 'x')));
  EXPECT_FALSE(parses(imageOf(3, 2)));
  EXPECT_FALSE(parses(imageOf(1, 2)));
  EXPECT_FALSE(parses(imageOf(0, 0).substr(0, 9)));
  memset(record.name, 'n', sizeof(record.name));
  EXPECT_FALSE(parses(imageOf(1, 1)));

  // A micro record's download file name must end within its field too.
  auto microParses = [](const MicroIndexRecord& micro) {
    std::string image;
    AppendIndexHeader(image, PackIndexHeader{1, 0, 0, 1});
    AppendMaskedRecord(image, &micro, sizeof(micro));
    PackIndexHeader header;
    return ParseMicroIndexImage(Bytes(image), image.size(), &header, [](const MicroIndexRecord&) { return true; });
  };
  MicroIndexRecord micro = {};
  strcpy(micro.record.name, "a/b");
  strcpy(micro.fileName, "b.res");
  EXPECT_TRUE(microParses(micro));
  memset(micro.fileName, 'f', sizeof(micro.fileName));
  EXPECT_FALSE(microParses(micro));
  EXPECT_TRUE(reports.Contains("数据有问题"));
  EXPECT_TRUE(reports.Contains("文件可能已经被损坏"));
}

TEST(PackFormat, IndexFilesRoundTripAndEmptyIndexFollowsThePath) {
  std::string image = UnpackFile(Fx("small_lz1_w0.pkg1")), file, back;
  ASSERT_TRUE(PackIndexFileBytes(Bytes(image), image.size(), &file));
  uint32_t announced;
  memcpy(&announced, file.data(), 4);
  EXPECT_EQ(image.size(), announced);
  ASSERT_TRUE(UnpackIndexFileBytes(Bytes(file), file.size(), &back));
  EXPECT_TRUE(back == image);

  EXPECT_EQ(std::string("\0\0\0\0\0\0\0\0\0\1", 10), EmptyIndexImage("Data/001.pkg1"));
  EXPECT_EQ(std::string(10, '\0'), EmptyIndexImage("Data/Sound/001.pkg1"));

  testsupport::ReportCapture reports;
  for (size_t cut : {0, 8}) EXPECT_FALSE(UnpackIndexFileBytes(Bytes(file), cut, &back));
  EXPECT_TRUE(reports.Contains("解压失败"));
}

TEST(PackFormat, MicroIndexRecordsCarryTheCrcOfTheServedBytes) {
  int checked = 0;
  for (auto& row : packtest::Manifest("micro.txt")) {
    std::string image = UnpackFile(Fx(row[0]));
    PackIndexHeader header;
    bool found = false;
    ASSERT_TRUE(ParseMicroIndexImage(Bytes(image), image.size(), &header, [&](const MicroIndexRecord& r) {
      if (row[1] != r.record.name) return true;
      std::string served = ReadFileBytes(Fx(row[2]));
      EXPECT_EQ(Crypto::CCRC32().Calc(Bytes(served), static_cast<uint32_t>(served.size())), r.crc);
      EXPECT_EQ(header.lzma ? r.record.entry.packedSize : r.record.entry.size, served.size());
      EXPECT_EQ("micro/" + std::string(r.fileName), row[2]);
      found = true;
      return true;
    }));
    EXPECT_TRUE(found) << row[1];
    ++checked;
  }
  EXPECT_EQ(12, checked);
}

TEST(PackFormat, ResourceRecords) {
  std::string good = ReadFileBytes(Fx("pkg3/good.pkg3"));
  MicroIndexRecord record;
  ASSERT_TRUE(DecodeResourceRecord(Bytes(good), good.size(), &record));
  EXPECT_STREQ("data/world/m0.dds", record.record.name);
  EXPECT_STREQ("data/006/m0.res", record.fileName);
  uint8_t again[kResourceRecordFileSize];
  EncodeResourceRecord(record, again);
  EXPECT_EQ(0, memcmp(again, good.data(), sizeof(again)));

  int damaged = 0;
  for (auto& row : packtest::Manifest("damaged.txt")) {
    if (row[0] != "pkg3") continue;
    std::string bytes = ReadFileBytes(Fx(row[1]));
    EXPECT_FALSE(DecodeResourceRecord(Bytes(bytes), bytes.size(), &record)) << row[1];
    ++damaged;
  }
  EXPECT_EQ(4, damaged);
}

TEST(PackFormat, Names) {
  EXPECT_EQ("data/006", PackNameOfIndexPath("Data\\006.pkg1"));
  EXPECT_EQ("data/006_new.pkg1", NewIndexName("data/006"));
  EXPECT_EQ("data/006_new.pkg", NewDataName("data/006"));
  EXPECT_EQ("data/world/a.xml", NormalizeKey("Data\\World\\A.XML"));
}
