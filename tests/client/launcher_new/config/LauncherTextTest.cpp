#include <gtest/gtest.h>

#include "LauncherTestUtil.h"
#include "LauncherText.h"
#include "Layout.h"
#include "common/Pack/FilePackIndexMgr.h"

TEST(LauncherText, FormatMustMatchTheArgumentsPassed) {
  struct Case {
    const char* format;
    const char* kinds;
    bool matches;
  } cases[] = {
      {"%s", "s", true},          {"错误(%d):%s", "ds", true}, {"%s错误%d", "ds", false},
      {"100%%", "", true},        {"%%d", "", true},           {"%5.2f", "f", true},
      {"%-08x", "d", true},       {"%c", "d", true},           {"%*d", "d", false},
      {"%ld", "d", false},        {"%I64d", "d", false},       {"%n", "d", false},
      {"%s%n%s", "ss", false},    {"%s", "", false},           {"", "s", false},
      {"abc%", "", false},        {"%p", "d", false},          {"%s %s", "s", false},
      {"界面%s缺少", "s", true},  {nullptr, "", false},
      // Widths and precisions of up to three digits.
      {"%999d", "d", true},       {"%-0999.999f", "f", true},  {"%1000d", "d", false},
      {"%.1000s", "s", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.matches, FormatMatchesKinds(c.format, c.kinds)) << (c.format ? c.format : "null") << " " << c.kinds;
}

TEST(LauncherText, MismatchedTextIsShownFollowedByTheValues) {
  EXPECT_EQ("错误(0):读取失败", FormatCheckedText("错误(%d):%s", "ds", 0, "读取失败"));
  EXPECT_EQ("%s错误%d 0 读取失败", FormatCheckedText("%s错误%d", "ds", 0, "读取失败"));
  EXPECT_EQ("%n%n%n 7", FormatCheckedText("%n%n%n", "d", 7));
  EXPECT_EQ("无参数 1.500000", FormatCheckedText("无参数", "f", 1.5));
  EXPECT_EQ("%2000000000d %s 5 x", FormatCheckedText("%2000000000d %s", "ds", 5, "x"));

  // A downloaded layout with hostile texts 15, 18, 20 and 43.
  FilePack::CFilePackIndexMgr pack;
  std::string base = launchertest::Fx("layout/hostile_texts");
  ASSERT_TRUE(pack.OpenPack((base + ".pkg1").c_str(), (base + ".pkg").c_str(), false));
  LauncherCfg::LauncherLayout layout;
  ASSERT_TRUE(LauncherCfg::LoadLayoutFromPack(&pack, "LauncherCfg\\LauncherCfg.xml", nullptr, &layout));
  EXPECT_EQ("找不到%s%n%s LauncherCfg.xml", FormatLauncherText(15, "s", "LauncherCfg.xml"));
  EXPECT_EQ("读取失败%d Failed to open file", FormatLauncherText(18, "s", "Failed to open file"));
  EXPECT_EQ("%s错误%d 0 消息", FormatLauncherText(20, "ds", 0, "消息"));
  EXPECT_EQ("错误码%*d 1400", FormatLauncherText(43, "d", 1400));
  EXPECT_EQ("游戏客户端正在运行", FormatLauncherText(27, ""));
}

TEST(LauncherText, MissingIdGivesAnEmptyTextReportedOnce) {
  LauncherTextTable table;
  table.Set(1, "一");
  testsupport::ReportCapture reports;
  EXPECT_EQ("", table.Get(99));
  EXPECT_EQ("", table.Get(99));
  EXPECT_EQ("一", table.Get(1));
  EXPECT_EQ(1u, reports.Count());
  table.Clear();  // a new layout reports again
  EXPECT_EQ("", table.Get(99));
  EXPECT_EQ(2u, reports.Count());
}
