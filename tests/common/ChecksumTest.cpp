#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "common/CRC32.h"
#include "common/MD5Checksum.h"
#include "support/TestSupport.h"

using testsupport::FixturePath;
using testsupport::ReadFileBytes;

namespace {
uint32_t Crc(const std::string& s) {
  return Crypto::CCRC32().Calc(reinterpret_cast<const uint8_t*>(s.data()), static_cast<uint32_t>(s.size()));
}
}  // namespace

TEST(CRC32, Vectors) {
  EXPECT_EQ(0xCBF43926u, Crc("123456789"));
  EXPECT_EQ(0x352441C2u, Crc("abc"));
  EXPECT_EQ(0u, Crc(""));
  EXPECT_EQ(0u, Crypto::CCRC32().Calc(nullptr, 5));
}

// crc32.txt: "<file> <crc hex>" lines computed by Python's zlib.
TEST(CRC32, MatchesZlibOnRandomBuffers) {
  std::istringstream lines(ReadFileBytes(FixturePath("core/crc32.txt")));
  std::string name, hex;
  int checked = 0;
  while (lines >> name >> hex) {
    std::string data = ReadFileBytes(FixturePath("core/" + name));
    EXPECT_EQ(static_cast<uint32_t>(strtoul(hex.c_str(), nullptr, 16)), Crc(data)) << name;
    // Split updates give the same value as one call.
    size_t half = data.size() / 3;
    uint32_t running = Crypto::CCRC32::Update(0, reinterpret_cast<const uint8_t*>(data.data()), half);
    running = Crypto::CCRC32::Update(running, reinterpret_cast<const uint8_t*>(data.data()) + half,
                                     static_cast<uint32_t>(data.size() - half));
    EXPECT_EQ(Crc(data), running) << name;
    ++checked;
  }
  EXPECT_GE(checked, 5);
}

TEST(MD5, RfcVectorsAndFiles) {
  auto md5 = [](const std::string& s) {
    return std::string(CMD5Checksum::GetBufferMD5(reinterpret_cast<const uint8_t*>(s.data()),
                                                  static_cast<uint32_t>(s.size())));
  };
  EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", md5(""));
  EXPECT_EQ("0cc175b9c0f1b6a831c399e269772661", md5("a"));
  EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", md5("abc"));
  EXPECT_EQ("f96b697d7cb7938d525a2f31aaf161d0", md5("message digest"));
  EXPECT_EQ("c3fcd3d76192e4007dfb496cca67e13b", md5("abcdefghijklmnopqrstuvwxyz"));
  EXPECT_EQ("d174ab98d277d9f5a5611c2c9f419d9f",
            md5("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"));
  EXPECT_EQ("57edf4a22be3c955ac49da2e2107b67a",
            md5("12345678901234567890123456789012345678901234567890123456789012345678901234567890"));

  ASSERT_TRUE(testsupport::WriteFileBytes("empty.bin", ""));
  EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", std::string(CMD5Checksum::GetFileMD5("empty.bin")));

  // md5.txt: "<file> <digest>" from md5sum over the fixture kit's files.
  std::istringstream lines(ReadFileBytes(FixturePath("core/md5.txt")));
  std::string digest, name;
  int checked = 0;
  while (lines >> digest >> name) {
    EXPECT_EQ(digest, std::string(CMD5Checksum::GetFileMD5(FixturePath("core/" + name).c_str()))) << name;
    ++checked;
  }
  EXPECT_GE(checked, 3);
}

TEST(MD5, MissingFileGivesEmptyTextAndAReport) {
  testsupport::ReportCapture reports;
  EXPECT_TRUE(CMD5Checksum::GetFileMD5("no-such-file.bin").IsEmpty());
  EXPECT_TRUE(reports.Contains("no-such-file.bin"));
}
