#include <windows.h>

#include <gtest/gtest.h>

#include "LauncherTestUtil.h"
#include "LauncherText.h"
#include "UpdateCfg.h"
#include "common/Pack/XmlLoad.h"
#include "tinyxml.h"

using LauncherCfg::GetLocalUpdateCfg;
using launchertest::CopyFixture;
using launchertest::FreshDir;
using testsupport::ReadFileBytes;

namespace {

const char kFile[] = "LauncherCfg/UpdateCfg.xml";

class UpdateCfgFile : public ::testing::Test {
 protected:
  void SetUp() override {
    FreshDir("LauncherCfg");
    GetLauncherTextTable().Set(18, "更新配置读取失败:%s");
    GetLauncherTextTable().Set(20, "错误(%d):%s");
  }
};

int CountChildren(const char* name) {
  TiXmlDocument doc;
  const TiXmlElement* update = LoadXmlDocument(doc, kFile) ? doc.FirstChildElement("Update") : nullptr;
  if (update == nullptr) return -1;
  int n = 0;
  for (const TiXmlElement* e = update->FirstChildElement(name); e != nullptr; e = e->NextSiblingElement(name))
    ++n;
  return n;
}

}  // namespace

TEST_F(UpdateCfgFile, LoadsVersionsDefaultsAndTheHiddenFlags) {
  struct Case {
    const char* file;
    bool ok;
    const char* version;
    const char* clientVersion;
    const char* patchVer;
    bool var, var1;
  } cases[] = {
      {"full", true, "1.0.0.4", "1.0.0.4 测试版", "12", false, false},
      {"super_var", true, "1", "0.0.0.0 build 0", "2", true, false},
      {"super_var1", true, "1", "0.0.0.0 build 0", "2", false, true},
      {"super_near", true, "1", "0.0.0.0 build 0", "2", false, false},  // flags cleared on each read
      {"no_clientversion", true, "1.0.0.4", "0.0.0.0 build 0", "12", false, false},
      {"element_values", true, "", "0.0.0.0 build 0", "", false, false},
      // Failures keep what the last good read gave.
      {"no_patchver", false, "1", "0.0.0.0 build 0", "2", false, false},
      {"no_version", false, "1", "0.0.0.0 build 0", "2", false, false},
      {"no_update", false, "1", "0.0.0.0 build 0", "2", false, false},
      {"truncated", false, "1", "0.0.0.0 build 0", "2", false, false},
      {"empty", false, "1", "0.0.0.0 build 0", "2", false, false},
      {"binary", false, "1", "0.0.0.0 build 0", "2", false, false},
      {nullptr, false, "1", "0.0.0.0 build 0", "2", false, false},
  };
  for (const Case& c : cases) {
    const char* name = c.file != nullptr ? c.file : "(missing)";
    DeleteFileA(kFile);
    if (c.file != nullptr) {
      ASSERT_TRUE(CopyFixture(std::string("updatecfg/") + c.file + ".xml", kFile));
    }
    if (std::string(name) == "no_patchver") {
      // Start the failures from a known good read.
      ASSERT_TRUE(CopyFixture("updatecfg/super_near.xml", kFile));
      ASSERT_TRUE(LoadUpdateCfg());
      ASSERT_TRUE(CopyFixture("updatecfg/no_patchver.xml", kFile));
    }
    testsupport::ReportCapture reports;
    EXPECT_EQ(c.ok, LoadUpdateCfg()) << name;
    const LauncherCfg::UpdateCfg& cfg = GetLocalUpdateCfg();
    EXPECT_EQ(c.version, cfg.version) << name;
    EXPECT_EQ(c.clientVersion, cfg.clientVersion) << name;
    EXPECT_EQ(c.patchVer, cfg.patchVer) << name;
    EXPECT_EQ(c.var, cfg.superVar) << name;
    EXPECT_EQ(c.var1, cfg.superVar1) << name;
    // The caught failure is text 20 around text 18, as a report.
    if (!c.ok) {
      EXPECT_TRUE(reports.Contains("错误(0):更新配置读取失败:")) << name;
    }
  }
}

TEST_F(UpdateCfgFile, SaveRewritesBothVersionsAndReportsTheSave) {
  ASSERT_TRUE(CopyFixture("updatecfg/full.xml", kFile));
  SetFileAttributesA(kFile, FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(SaveUpdateCfgVersion("1.0.0.5 build 77", "1.0.0.5"));
  ASSERT_TRUE(LoadUpdateCfg());
  EXPECT_EQ("1.0.0.5", GetLocalUpdateCfg().version);
  EXPECT_EQ("1.0.0.5 build 77", GetLocalUpdateCfg().clientVersion);
  EXPECT_EQ("12", GetLocalUpdateCfg().patchVer);
  EXPECT_EQ(1, CountChildren("Version"));
  EXPECT_EQ(1, CountChildren("ClientVersion"));
  EXPECT_FALSE(testsupport::FileExists(std::string(kFile) + ".new"));

  // A file without ClientVersion gains one.
  ASSERT_TRUE(CopyFixture("updatecfg/no_clientversion.xml", kFile));
  ASSERT_TRUE(SaveUpdateCfgVersion("显示版本", "2"));
  ASSERT_TRUE(LoadUpdateCfg());
  EXPECT_EQ("显示版本", GetLocalUpdateCfg().clientVersion);

  EXPECT_FALSE(SaveUpdateCfgVersion(nullptr, "1"));
  EXPECT_FALSE(SaveUpdateCfgVersion("1", nullptr));
}

TEST_F(UpdateCfgFile, SaveThatCannotCompleteIsFalseAndLeavesTheFile) {
  EXPECT_FALSE(SaveUpdateCfgVersion("1", "1"));  // no file
  EXPECT_FALSE(testsupport::FileExists(kFile));

  ASSERT_TRUE(CopyFixture("updatecfg/no_update.xml", kFile));
  std::string before = ReadFileBytes(kFile);
  EXPECT_FALSE(SaveUpdateCfgVersion("1", "1"));
  EXPECT_EQ(before, ReadFileBytes(kFile));

  // The write itself fails: the old file stays whole.
  ASSERT_TRUE(CopyFixture("updatecfg/full.xml", kFile));
  before = ReadFileBytes(kFile);
  ASSERT_TRUE(CreateDirectoryA((std::string(kFile) + ".new").c_str(), nullptr));
  EXPECT_FALSE(SaveUpdateCfgVersion("1", "1"));
  EXPECT_EQ(before, ReadFileBytes(kFile));
  RemoveDirectoryA((std::string(kFile) + ".new").c_str());
}
