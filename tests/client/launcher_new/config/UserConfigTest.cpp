#include <windows.h>

#include <gtest/gtest.h>

#include "LauncherTestUtil.h"
#include "UserConfig.h"

using LauncherCfg::UserConfig;
using launchertest::CopyFixture;
using launchertest::FreshDir;
using testsupport::ReadFileBytes;

namespace {

const char kFile[] = "LauncherCfg/config.xml";

bool LoadVariant(const char* name, UserConfig* cfg) {
  DeleteFileA(kFile);
  if (name != nullptr && !CopyFixture(std::string("config/") + name + ".xml", kFile)) return false;
  return LauncherCfg::LoadUserConfigFile(kFile, cfg);
}

void ExpectSame(const UserConfig& a, const UserConfig& b) {
  EXPECT_EQ(a.bigArea, b.bigArea);
  EXPECT_EQ(a.serverIndex, b.serverIndex);
  EXPECT_EQ(a.serverName, b.serverName);
  EXPECT_EQ(a.agree, b.agree);
  EXPECT_EQ(a.controlMode, b.controlMode);
  EXPECT_EQ(a.smallMapScale, b.smallMapScale);
  EXPECT_EQ(a.playerIndex, b.playerIndex);
  EXPECT_EQ(a.playerName, b.playerName);
  EXPECT_EQ(a.microClientOpen, b.microClientOpen);
  EXPECT_EQ(a.webMode, b.webMode);
  EXPECT_EQ(a.line, b.line);
}

}  // namespace

TEST(UserConfig, ReadsWhatTheFileHoldsAndDefaultsTheRest) {
  FreshDir("LauncherCfg");
  UserConfig c;
  ASSERT_TRUE(LoadVariant("full", &c));
  EXPECT_EQ(3, c.bigArea);
  EXPECT_EQ(7, c.serverIndex);
  EXPECT_EQ("电信一区", c.serverName);
  EXPECT_EQ(1, c.agree);  // selectagree 0 in the file
  EXPECT_EQ(1, c.controlMode);
  EXPECT_DOUBLE_EQ(0.75, c.smallMapScale);
  EXPECT_EQ(2, c.playerIndex);
  EXPECT_EQ("玩家&<一>", c.playerName);
  EXPECT_TRUE(c.microClientOpen);
  EXPECT_TRUE(LauncherCfg::MicroClientOpenFlag());
  EXPECT_EQ(2, c.line);

  UserConfig minus;
  ASSERT_TRUE(LoadVariant("bigarea_minus1", &minus));
  EXPECT_EQ(0, minus.bigArea);
  EXPECT_EQ(4, minus.serverIndex);

  // Web mode: set by any MicroClient element, never cleared by its absence.
  UserConfig web;
  web.webMode = false;
  ASSERT_TRUE(LoadVariant("no_microclient", &web));
  EXPECT_FALSE(web.webMode);
  EXPECT_TRUE(web.microClientOpen);
  EXPECT_EQ(2, web.bigArea);
  EXPECT_EQ(0, web.controlMode);
  ASSERT_TRUE(LoadVariant("microclient_closed", &web));
  EXPECT_TRUE(web.webMode);  // its web attribute is 0
  EXPECT_FALSE(web.microClientOpen);
  EXPECT_FALSE(LauncherCfg::MicroClientOpenFlag());

  UserConfig noOpen;
  ASSERT_TRUE(LoadVariant("microclient_no_open", &noOpen));
  EXPECT_FALSE(noOpen.microClientOpen);
  EXPECT_EQ(1, noOpen.line);

  UserConfig wrong, defaults;
  ASSERT_TRUE(LoadVariant("wrong_types", &wrong));
  defaults.microClientOpen = false;  // "yes" is no number greater than 0
  ExpectSame(defaults, wrong);
}

TEST(UserConfig, UnreadableFileChangesNothing) {
  FreshDir("LauncherCfg");
  for (const char* name : {"truncated", static_cast<const char*>(nullptr)}) {
    UserConfig c, before;
    c.bigArea = before.bigArea = 5;
    c.agree = before.agree = 0;
    EXPECT_FALSE(LoadVariant(name, &c)) << (name ? name : "(missing)");
    ExpectSame(before, c);
  }
}

TEST(UserConfig, SavedFileIsExactlyTheFormatAndReadsBackEqual) {
  FreshDir("LauncherCfg");
  UserConfig c;
  ASSERT_TRUE(LoadVariant("full", &c));
  SetFileAttributesA(kFile, FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(LauncherCfg::SaveUserConfigFile(kFile, c));
  EXPECT_EQ(ReadFileBytes(launchertest::Fx("config/saved_full.xml")), ReadFileBytes(kFile));

  UserConfig odd;
  odd.bigArea = 9;
  odd.serverIndex = -1;
  odd.serverName = "名字 \"引号\" 'x'";
  odd.controlMode = 0;
  odd.smallMapScale = 1.5;
  odd.playerIndex = -77;
  odd.playerName = "";
  odd.microClientOpen = false;
  odd.line = 1;
  ASSERT_TRUE(LauncherCfg::SaveUserConfigFile(kFile, odd));
  EXPECT_FALSE(LauncherCfg::MicroClientOpenFlag());
  UserConfig back;
  back.webMode = false;
  ASSERT_TRUE(LauncherCfg::LoadUserConfigFile(kFile, &back));
  ExpectSame(odd, back);
  EXPECT_EQ(0u, ReadFileBytes(kFile).find("<?xml version=\"1.0\" encoding=\"gb123\" standalone=\"yes\" ?>\r\n"));
}

TEST(UserConfig, SaveThatCannotCompleteIsFalseAndLeavesTheFile) {
  FreshDir("LauncherCfg");
  ASSERT_TRUE(CopyFixture("config/full.xml", kFile));
  std::string before = ReadFileBytes(kFile);
  ASSERT_TRUE(CreateDirectoryA((std::string(kFile) + ".new").c_str(), nullptr));
  EXPECT_FALSE(LauncherCfg::SaveUserConfigFile(kFile, UserConfig()));
  EXPECT_EQ(before, ReadFileBytes(kFile));
  RemoveDirectoryA((std::string(kFile) + ".new").c_str());
  EXPECT_FALSE(LauncherCfg::SaveUserConfigFile("no_such_dir/config.xml", UserConfig()));
}
