#include <windows.h>

#include <gtest/gtest.h>

#include "LauncherTestUtil.h"
#include "LauncherText.h"
#include "Layout.h"
#include "common/Pack/FilePackIndexMgr.h"

using launchertest::EndWatch;
using launchertest::Fx;
using LauncherCfg::LauncherLayout;
using LauncherCfg::LayoutRect;

namespace {

const char kEntry[] = "LauncherCfg\\LauncherCfg.xml";

bool LoadFrom(const std::string& name, LauncherLayout* layout) {
  FilePack::CFilePackIndexMgr pack;
  std::string base = Fx("layout/" + name);
  pack.OpenPack((base + ".pkg1").c_str(), (base + ".pkg").c_str(), false);
  return LauncherCfg::LoadLayoutFromPack(&pack, kEntry, nullptr, layout);
}

void ExpectRect(const LayoutRect& r, int left, int top, int right, int bottom) {
  EXPECT_EQ(left, r.left);
  EXPECT_EQ(top, r.top);
  EXPECT_EQ(right, r.right);
  EXPECT_EQ(bottom, r.bottom);
}

}  // namespace

TEST(Layout, ReadsEveryElementAndTheTextTable) {
  EndWatch end;
  testsupport::ClearShownBoxes();
  LauncherLayout l;
  ASSERT_TRUE(LoadFrom("good", &l));
  EXPECT_EQ(0, end.Count());
  EXPECT_TRUE(testsupport::ShownBoxes().empty());

  EXPECT_EQ("赞恩登录器", l.caption);
  EXPECT_EQ("Skin/Main.bmp", l.image);
  EXPECT_EQ("Skin/Main.png", l.image2);
  EXPECT_EQ(20, l.clientVer.x);
  EXPECT_EQ(560, l.clientVer.y);
  EXPECT_EQ(200, l.serverVer.x);
  ExpectRect(l.refreshVer, 10, 10, 110, 30);
  ExpectRect(l.refreshText, 120, 10, 300, 30);
  EXPECT_EQ(520, l.text.y);
  EXPECT_EQ(12, l.font.height);
  EXPECT_EQ("宋体", l.font.face);
  EXPECT_EQ(255, l.font.color.green);
  EXPECT_EQ(0, l.font.color.blue);
  EXPECT_EQ(14, l.font2.height);
  EXPECT_EQ("黑体", l.font2.face);
  EXPECT_EQ(128, l.font2.color.green);
  ExpectRect(l.selectCombo, 500, 100, 700, 400);

  ASSERT_EQ(3u, l.buttons.size());  // document order
  EXPECT_EQ("start", l.buttons[0].name);
  EXPECT_EQ("Skin/Start.bmp", l.buttons[0].imageFile);
  ExpectRect(l.buttons[0].rect, 600, 500, 720, 550);
  ExpectRect(l.buttons[0].rect1, 0, 0, 120, 50);
  EXPECT_EQ("开始游戏", l.buttons[0].tip);
  EXPECT_EQ("", l.buttons[0].href);
  EXPECT_FALSE(l.buttons[0].ellipse);  // no Ellipse: rectangular
  EXPECT_EQ("home", l.buttons[1].name);
  EXPECT_EQ("http://127.0.0.1/home", l.buttons[1].href);
  EXPECT_TRUE(l.buttons[1].ellipse);
  EXPECT_FALSE(l.buttons[2].ellipse);  // Ellipse value 0

  EXPECT_EQ("Skin/Bar.bmp", l.progress.image);
  EXPECT_EQ(540, l.progress.position.y);
  EXPECT_EQ(400, l.progress.textPosition.x);
  EXPECT_EQ("Skin/Bar2.bmp", l.progress2.image);
  EXPECT_EQ(548, l.progress2.textPosition.y);
  ExpectRect(l.browser, 20, 60, 480, 500);
  EXPECT_EQ("Skin/Line.bmp", l.selectLineImage);
  EXPECT_EQ("Skin/LineExit.bmp", l.lineExit.image);
  EXPECT_EQ("自动选择", l.lineAuto.tip);
  ExpectRect(l.lineTelecom.rect, 20, 80, 100, 110);
  EXPECT_EQ("网通", l.lineNetcom.tip);
  EXPECT_EQ("Skin/Agree.bmp", l.agreementImage);
  EXPECT_EQ("http://127.0.0.1/agreement", l.agreementHref);
  ExpectRect(l.agreementRect, 10, 10, 390, 250);
  EXPECT_EQ("Skin/Yes.bmp", l.agreeButton.image);
  EXPECT_EQ("不同意", l.disagreeButton.tip);
  EXPECT_EQ("Bin\\zarn.exe", l.exeName);
  EXPECT_EQ("tunedesk.exe", l.setExeName);
  EXPECT_EQ("Quickmend.exe", l.emergencyExeName);

  EXPECT_EQ(39u, GetLauncherTextTable().Size());
  EXPECT_EQ("错误", LauncherText(16));
  EXPECT_EQ("错误(%d):%s", LauncherText(20));
}

TEST(Layout, OptionalPartsAndBadNumbersKeepTheirDefaults) {
  EndWatch end;
  LauncherLayout l;
  ASSERT_TRUE(LoadFrom("no_strings", &l));
  EXPECT_EQ("赞恩登录器", l.caption);
  EXPECT_EQ(0u, GetLauncherTextTable().Size());
  testsupport::ReportCapture reports;
  EXPECT_EQ("", LauncherText(16));
  EXPECT_EQ("", LauncherText(16));
  EXPECT_EQ(1u, reports.Count());  // one report per missing id
  EXPECT_TRUE(reports.Contains("界面配置缺少文字:16"));

  LauncherLayout strings;
  ASSERT_TRUE(LoadFrom("strings_only", &strings));
  EXPECT_EQ("", strings.caption);
  EXPECT_TRUE(strings.buttons.empty());
  EXPECT_EQ("错误", LauncherText(16));

  LauncherLayout bad;
  ASSERT_TRUE(LoadFrom("bad_numbers", &bad));
  EXPECT_EQ("c", bad.caption);
  EXPECT_EQ(0, bad.clientVer.x);        // "a, b"
  ExpectRect(bad.refreshVer, 0, 0, 0, 0);  // three numbers of four
  EXPECT_EQ(0, bad.font.height);        // "x"
  EXPECT_EQ("宋体", bad.font.face);
  EXPECT_EQ(0, bad.font.color.red);     // two numbers of three
  EXPECT_EQ(16, bad.font2.height);      // the height alone
  ASSERT_EQ(1u, bad.buttons.size());
  ExpectRect(bad.buttons[0].rect, 1, 2, 3, 4);  // no blanks still parses
  EXPECT_FALSE(bad.buttons[0].ellipse);          // "yes"
  ExpectRect(bad.browser, 0, 0, 0, 0);
  EXPECT_EQ(0, end.Count());
}

TEST(Layout, CharWithoutIdReplacesThePreviousOne) {
  EndWatch end;
  LauncherLayout l;
  ASSERT_TRUE(LoadFrom("char_ids", &l));
  const LauncherTextTable& t = GetLauncherTextTable();
  EXPECT_EQ("零", t.Get(0));  // the first defaults to 0
  EXPECT_EQ("乙", t.Get(5));
  EXPECT_EQ("丙", t.Get(6));  // an id that does not parse keeps the one before
  EXPECT_FALSE(t.Has(9));     // not a char element
  EXPECT_EQ(3u, t.Size());
}

TEST(Layout, BrokenLayoutShowsTheBoxAndEndsWithMinusOne) {
  GetLauncherTextTable().Set(15, "界面配置中找不到%s");
  struct Case {
    const char* name;
    const char* report;  // part of a report line, or null
  } cases[] = {
      {"no_pack", nullptr},
      {"missing_entry", "界面配置中找不到LauncherCfg\\LauncherCfg.xml"},
      {"broken_xml", nullptr},
      {"not_layout", nullptr},
      {"empty_entry", nullptr},
      {"huge_entry", "界面配置文件太大"},
      {"wrap_entry", "界面配置文件太大"},
  };
  for (const Case& c : cases) {
    EndWatch end;
    testsupport::ClearShownBoxes();
    testsupport::ReportCapture reports;
    LauncherLayout l;
    EXPECT_FALSE(LoadFrom(c.name, &l)) << c.name;
    EXPECT_EQ(1, end.Count()) << c.name;
    EXPECT_EQ(-1, end.LastCode()) << c.name;
    auto boxes = testsupport::ShownBoxes();
    ASSERT_EQ(1u, boxes.size()) << c.name;
    EXPECT_EQ("error: Read the configuration file failed!", boxes[0].text);
    EXPECT_EQ("error", boxes[0].caption);
    EXPECT_EQ(static_cast<unsigned>(MB_ICONERROR), boxes[0].type);
    if (c.report != nullptr) {
      EXPECT_TRUE(reports.Contains(c.report)) << c.name;
    }
  }
  EndWatch end;
  LauncherLayout l;
  EXPECT_FALSE(LauncherCfg::LoadLayoutFromPack(nullptr, kEntry, nullptr, &l));
  EXPECT_EQ(1, end.Count());
}
