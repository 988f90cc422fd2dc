// Launcher packages from the fixture kit's packer, unpacked over a launcher
// program on disk.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "common/LauncherPack/LauncherPack.h"
#include "support/TestSupport.h"

using testsupport::FileExists;
using testsupport::FixturePath;
using testsupport::ReadFileBytes;

namespace {

const std::string kOld = "the old launcher";

std::string Pak(const std::string& name) { return FixturePath("quickmend/" + name); }

// A fresh folder holding an old launcher.
struct Target {
  std::string dir, exe;
  explicit Target(const std::string& name) : dir("pack_" + name), exe(dir + "/zarn_launcher.exe") {
    testsupport::RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    testsupport::WriteFileBytes(exe, kOld);
  }
  std::string Side() const { return dir + "/zarn_launcher_new.exe"; }
  bool Untouched() const { return ReadFileBytes(exe) == kOld && !FileExists(Side()); }
};

int g_failAt = -1;  // the write block the hook fails, -1 none
int g_blocks = 0;
bool FailOneBlock(const char*, uint64_t, uint32_t) { return g_blocks++ == g_failAt; }

}  // namespace

TEST(LauncherPack, PackagesUnpackByteForByteWithoutTheirLastByte) {
  const struct {
    const char* name;
    const char* version;
  } cases[] = {{"small", "1.250"}, {"big", "2.500"}, {"tiny", "3.000"}};
  for (const auto& c : cases) {
    Target t(c.name);
    SetFileAttributesA(t.exe.c_str(), FILE_ATTRIBUTE_READONLY);  // made writable first
    std::string version;
    ASSERT_EQ(LAUNCHERPACK_OK, UnpackLauncherPack(Pak(std::string(c.name) + ".pak").c_str(), t.exe.c_str(), &version))
        << c.name;
    EXPECT_EQ(version, c.version);
    std::string expected = ReadFileBytes(Pak(std::string(c.name) + ".bin"));
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(ReadFileBytes(t.exe) == expected) << c.name;
    EXPECT_FALSE(FileExists(t.Side())) << c.name;
  }
}

TEST(LauncherPack, DamagedPackagesLeaveTheOldLauncher) {
  const struct {
    const char* name;
    LauncherPackResult rc;
    const char* report;
    const char* version;  // set once the header has been read
  } cases[] = {
      {"missing", LAUNCHERPACK_OPEN_FAILED, nullptr, ""},
      {"header_only", LAUNCHERPACK_BAD_LENGTH, "error: 文件长度错误", ""},
      {"size_zero", LAUNCHERPACK_BAD_HEADER, "解压长度错误:0", "1.250"},
      {"size_one", LAUNCHERPACK_BAD_HEADER, "解压长度错误:1", "1.250"},
      {"huge", LAUNCHERPACK_BAD_HEADER, "解压长度错误:4294967280", "1.250"},
      {"over_cap", LAUNCHERPACK_BAD_HEADER, "解压长度错误:268435457", "1.250"},
      {"over_ratio", LAUNCHERPACK_BAD_HEADER, "解压长度错误:268435456", "1.250"},  // refused before its buffer
      {"nan_version", LAUNCHERPACK_BAD_HEADER, "版本号错误", ""},
      {"truncated", LAUNCHERPACK_DECODE_FAILED, "解压缩失败", "1.250"},
      {"short", LAUNCHERPACK_DECODE_FAILED, "解压缩失败", "1.250"},
      {"corrupt", LAUNCHERPACK_DECODE_FAILED, "解压缩失败", "1.250"},
  };
  for (const auto& c : cases) {
    Target t(std::string("bad_") + c.name);
    testsupport::ReportCapture reports;
    std::string version;
    EXPECT_EQ(c.rc, UnpackLauncherPack(Pak(std::string("bad/") + c.name + ".pak").c_str(), t.exe.c_str(), &version))
        << c.name;
    EXPECT_TRUE(t.Untouched()) << c.name;
    if (c.report != nullptr) {
      EXPECT_TRUE(reports.Contains(c.report)) << c.name;
    }
    EXPECT_EQ(version, c.version) << c.name;
  }
}

TEST(LauncherPack, AFullDiskOrAHeldLauncherLeavesTheOldOne) {
  // The disk fills in the first or in the second 1 MiB block of the side file.
  for (int failAt : {0, 1}) {
    Target t("full" + std::to_string(failAt));
    g_failAt = failAt;
    g_blocks = 0;
    LauncherPackWriteHook previous = SetLauncherPackWriteHook(&FailOneBlock);
    EXPECT_EQ(LAUNCHERPACK_WRITE_FAILED, UnpackLauncherPack(Pak("big.pak").c_str(), t.exe.c_str(), nullptr));
    SetLauncherPackWriteHook(previous);
    EXPECT_EQ(g_blocks, failAt + 1);
    EXPECT_TRUE(t.Untouched()) << failAt;
  }

  // A launcher still running holds its file: the swap waits a while, then gives up.
  Target t("held");
  HANDLE held = CreateFileA(t.exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DWORD start = GetTickCount();
  EXPECT_EQ(LAUNCHERPACK_REPLACE_FAILED, UnpackLauncherPack(Pak("small.pak").c_str(), t.exe.c_str(), nullptr));
  EXPECT_GE(GetTickCount() - start, 2900u);
  CloseHandle(held);
  EXPECT_TRUE(t.Untouched());

  // Released within the wait, it is replaced.
  Target late("late");
  held = CreateFileA(late.exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  // Released once the new program is being written beside it, so within the
  // swap's wait however long the unpacking took.
  const std::string side = LauncherPackSidePath(late.exe);
  testing::AssertionResult sideSeen = testing::AssertionSuccess();
  std::thread releaser([&] {
    sideSeen = testsupport::WaitFor("the new program written beside the held one",
                                    [&] { return testsupport::FileExists(side); });
    CloseHandle(held);
  });
  EXPECT_EQ(LAUNCHERPACK_OK, UnpackLauncherPack(Pak("small.pak").c_str(), late.exe.c_str(), nullptr));
  releaser.join();
  EXPECT_TRUE(sideSeen);
  EXPECT_TRUE(ReadFileBytes(late.exe) == ReadFileBytes(Pak("small.bin")));
}
