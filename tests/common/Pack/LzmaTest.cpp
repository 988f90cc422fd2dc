#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>

#include "AllocationProbe.h"
#include "common/Pack/Lzma.h"
#include "common/Pack/PackClientUnpack.h"
#include "support/TestSupport.h"

using testsupport::FixturePath;
using testsupport::ReadFileBytes;

namespace {

// A single-file image from our wrapper: properties, u32 size, stream.
std::string OurImage(const std::string& plain) {
  std::string out(Lzma_CompressBound(plain.size()) + 9, '\0');
  size_t destLength = out.size() - 9, propsSize = 5;
  EXPECT_EQ(1, Lzma_Compress(reinterpret_cast<uint8_t*>(&out[9]), &destLength,
                             reinterpret_cast<const uint8_t*>(plain.data()), plain.size(),
                             reinterpret_cast<uint8_t*>(&out[0]), &propsSize));
  EXPECT_EQ(5u, propsSize);
  uint32_t size = static_cast<uint32_t>(plain.size());
  memcpy(&out[5], &size, 4);
  out.resize(9 + destLength);
  return out;
}

std::string Unpack(const std::string& image) {
  int length = static_cast<int>(image.size());
  std::unique_ptr<uint8_t[]> plain(PackClient::DecompressBuffer(reinterpret_cast<const uint8_t*>(image.data()), &length));
  if (!plain) return "<null>";
  EXPECT_EQ(0, plain[length]);  // callers hand the buffer to the XML parser
  return std::string(reinterpret_cast<char*>(plain.get()), static_cast<size_t>(length));
}

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 1000) & 0xFF);
  return s;
}

}  // namespace

// Writes our images for the Python/xz check that runs after this test.
TEST(Lzma, OurImagesForTheIndependentDecoder) {
  CreateDirectoryA(FixturePath("core/ours").c_str(), nullptr);
  struct Case { const char* name; std::string plain; } cases[] = {
      {"one", "Q"},
      {"text", ReadFileBytes(FixturePath("core/py_text.plain"))},
      {"pattern", Pattern(3 << 20)},
      {"empty", ""},
  };
  for (const Case& c : cases) {
    std::string image = OurImage(c.plain);
    ASSERT_TRUE(testsupport::WriteFileBytes(FixturePath(std::string("core/ours/") + c.name + ".img"), image));
    ASSERT_TRUE(testsupport::WriteFileBytes(FixturePath(std::string("core/ours/") + c.name + ".plain"), c.plain));
    EXPECT_EQ(c.plain, Unpack(image)) << c.name;
  }
}

TEST(Lzma, DictionarySizeFollowsTheInput) {
  auto dictionaryOf = [](size_t size) {
    std::string plain(size, 'a');
    std::string image = OurImage(plain);
    uint32_t dict;
    memcpy(&dict, &image[1], 4);
    return dict;
  };
  EXPECT_EQ(4096u, dictionaryOf(1));
  EXPECT_EQ(8192u, dictionaryOf(4097));
  EXPECT_EQ(0x1000000u, dictionaryOf(20u << 20));
}

TEST(Lzma, DecodesPythonStreams) {
  std::istringstream lines(ReadFileBytes(FixturePath("core/py_streams.txt")));
  std::string name;
  size_t size;
  int checked = 0;
  while (lines >> name >> size) {
    std::string props = ReadFileBytes(FixturePath("core/py_" + name + ".props"));
    std::string stream = ReadFileBytes(FixturePath("core/py_" + name + ".lzma"));
    std::string plain = ReadFileBytes(FixturePath("core/py_" + name + ".plain"));
    ASSERT_EQ(size, plain.size());
    std::string out(size, '\0');
    size_t destLength = size, srcLength = stream.size();
    EXPECT_EQ(1, Lzma_Uncompress(reinterpret_cast<uint8_t*>(&out[0]), &destLength,
                                 reinterpret_cast<const uint8_t*>(stream.data()), &srcLength,
                                 reinterpret_cast<const uint8_t*>(props.data())));
    EXPECT_EQ(size, destLength);
    EXPECT_TRUE(out == plain) << name;
    EXPECT_TRUE(Unpack(ReadFileBytes(FixturePath("core/py_" + name + ".img"))) == plain) << name;
    ++checked;
  }
  EXPECT_EQ(4, checked);
}

TEST(DecompressBuffer, RejectsMalformedImages) {
  testsupport::ReportCapture reports;
  std::string good = ReadFileBytes(FixturePath("core/py_text.img"));
  ASSERT_GT(good.size(), 100u);
  auto withSize = [&](uint32_t size) {
    std::string s = good;
    memcpy(&s[5], &size, 4);
    return s;
  };
  std::string badProps = good;
  badProps[0] = static_cast<char>(0xFF);
  std::string flipped = good;
  for (size_t i = 40; i < 60; ++i) flipped[i] = static_cast<char>(~flipped[i]);
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"8 bytes", good.substr(0, 8)},
      {"header only", good.substr(0, 9)},
      {"cut stream", good.substr(0, good.size() / 2)},
      {"size wraps", withSize(0xFFFFFFFFu)},
      {"size above the cap", withSize(PackClient::kMaxUnpackedImage + 1)},
      {"size larger than the stream", withSize(static_cast<uint32_t>(300000 + 5000))},
      {"bad properties", badProps},
      {"corrupted stream", flipped},
  };
  for (const auto& c : cases) EXPECT_EQ("<null>", Unpack(c.second)) << c.first;
  int length = 20;
  EXPECT_EQ(nullptr, PackClient::DecompressBuffer(nullptr, &length));
  EXPECT_TRUE(reports.Contains("false&&\"数据为空\""));
  EXPECT_TRUE(reports.Contains("false&&\"解压缩失败\""));
}

// Nine header bytes declaring 512 MiB before a stream of a few dozen get no
// buffer of that size (an index file's: DamagedPacksFailCleanly); the
// densest stream LZMA makes still unpacks.
TEST(Lzma, DeclaredSizesAreBoundedByTheStream) {
  testsupport::ReportCapture reports;
  std::string list = ReadFileBytes(FixturePath("core/py_text.img")).substr(0, 57);  // properties, u32 size, stream
  ASSERT_EQ(57u, list.size());
  const uint32_t claimed = 512u << 20;
  memcpy(&list[5], &claimed, 4);
  packtest::LargestAllocation probe;
  EXPECT_EQ("<null>", Unpack(list));
  EXPECT_LT(probe.Bytes(), 1u << 20);
  const std::string dense = ReadFileBytes(FixturePath("core/py_densest.img"));
  ASSERT_GT(dense.size(), 9u);
  EXPECT_GT((32u << 20) / dense.size(), 6500u);  // Python's encoder near the ceiling
  EXPECT_TRUE(Unpack(dense) == std::string(32u << 20, '\0'));
}

TEST(UnpackFileInPlace, ReplacesOnlyWithACompleteCopy) {
  testsupport::ReportCapture reports;
  std::string plain = Pattern(50000);
  ASSERT_TRUE(testsupport::WriteFileBytes("packed.bin", OurImage(plain)));
  EXPECT_TRUE(PackClient::UnpackFileInPlace("packed.bin"));
  EXPECT_TRUE(ReadFileBytes("packed.bin") == plain);
  EXPECT_FALSE(testsupport::FileExists("packed.bin_new"));

  // A damaged file stays as it was.
  std::string damaged = OurImage(plain).substr(0, 200);
  ASSERT_TRUE(testsupport::WriteFileBytes("damaged.bin", damaged));
  EXPECT_FALSE(PackClient::UnpackFileInPlace("damaged.bin"));
  EXPECT_EQ(damaged, ReadFileBytes("damaged.bin"));

  // A file held open without delete sharing cannot be replaced: kept intact.
  ASSERT_TRUE(testsupport::WriteFileBytes("held.bin", OurImage(plain)));
  HANDLE h = CreateFileA("held.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_FALSE(PackClient::UnpackFileInPlace("held.bin"));
  CloseHandle(h);
  EXPECT_EQ(OurImage(plain), ReadFileBytes("held.bin"));
  EXPECT_FALSE(testsupport::FileExists("held.bin_new"));

  ASSERT_TRUE(testsupport::WriteFileBytes("zero.bin", ""));
  EXPECT_FALSE(PackClient::UnpackFileInPlace("zero.bin"));
  EXPECT_FALSE(testsupport::FileExists("zero.bin"));
  EXPECT_TRUE(reports.Contains("文件长度为0"));
  EXPECT_FALSE(PackClient::UnpackFileInPlace("missing.bin"));
}
