// The panel's plain parts: status line, bars, button plan, BMP checks.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "BmpImage.h"
#include "PanelLayout.h"
#include "PanelStatus.h"
#include "support/TestSupport.h"

using PanelStatus::StatusInputs;

namespace {

std::string Text(int id) { return "t" + std::to_string(id); }

std::string Line(const StatusInputs& in, uint32_t now = 5000) {
  PanelStatus::StatusClock clock;
  return PanelStatus::FormatStatusLine(in, &Text, &clock, now);
}

StatusInputs Stage(int stage) {
  StatusInputs in;
  in.stage = stage;
  in.merged = 3, in.toMerge = 9, in.checked = 4, in.toCheck = 12;
  return in;
}

}  // namespace

TEST(PanelStatus, CountedStagesAndStagesOutOfRange) {
  const struct {
    int stage;
    const char* line;
  } cases[] = {{8, "t37  3 / 9 "}, {10, "t40  4 / 12 "}, {0, ""}, {22, ""}, {-1, ""}, {32767, ""}};
  for (const auto& c : cases) EXPECT_EQ(c.line, Line(Stage(c.stage))) << c.stage;
}

TEST(PanelStatus, DownloadLineCarriesVersionSizesAndRate) {
  StatusInputs in = Stage(3);
  in.stepVersion = "1.0.0.2 build 7";
  in.done = 3 * 1048576 / 2;
  in.total = 10 * 1048576;
  PanelStatus::StatusClock clock;
  // The first call only starts the clock.
  EXPECT_EQ("t21.0.0.2 build 7  t141.50M/10.00M  t30.00KB/S", PanelStatus::FormatStatusLine(in, &Text, &clock, 1000));
  in.done += 512 * 1024;
  // Not yet a second: the rate stays.
  EXPECT_EQ("t21.0.0.2 build 7  t142.00M/10.00M  t30.00KB/S", PanelStatus::FormatStatusLine(in, &Text, &clock, 1999));
  EXPECT_EQ("t21.0.0.2 build 7  t142.00M/10.00M  t3512.00KB/S", PanelStatus::FormatStatusLine(in, &Text, &clock, 2000));
  // A download that starts over shows no negative rate.
  in.done = 0;
  EXPECT_EQ("t21.0.0.2 build 7  t140.00M/10.00M  t30.00KB/S", PanelStatus::FormatStatusLine(in, &Text, &clock, 3001));
}

TEST(PanelStatus, DotsGrowOncePerSecondAndStartOverAfterSix) {
  PanelStatus::StatusClock clock;
  const struct {
    uint32_t now;
    const char* dots;
  } steps[] = {{100, ""}, {1099, ""}, {1100, "."}, {1500, "."}, {2100, ".."}, {3100, "..."}, {4100, "...."},
               {5100, "....."}, {6100, "."}, {7100, ".."}, {0xFFFFFF00u, "..."}, {0x00000100u, "..."}, {0x00000400u, "...."}};
  for (const auto& s : steps) EXPECT_EQ(s.dots, PanelStatus::AdvanceDots(&clock, s.now)) << s.now;
}

TEST(PanelStatus, BarsClampAndComputeIn64Bits) {
  const struct {
    int64_t done, total;
    int width;
    bool draw;
    int fill, percent;
  } cases[] = {
      {0, 0, 300, false, 0, 0},          {5, 0, 300, false, 0, 0},       {0, -4, 300, false, 0, 0},
      {0, 1, 300, true, 0, 0},           {1, 2, 300, true, 150, 50},     {10, 10, 300, true, 300, 100},
      {11, 10, 300, true, 300, 100},     {-5, 10, 300, true, 0, 0},      {100, 100, 301, true, 301, 100},
      {2147483647, 2147483647, 300, true, 300, 100},
      {2147483646, 2147483647, 300, true, 299, 99},  // 32-bit percentages would overflow here
      {1, 3, 0, true, 0, 33},
  };
  for (const auto& c : cases) {
    PanelStatus::BarFill f = PanelStatus::ComputeBarFill(c.done, c.total, c.width);
    EXPECT_EQ(c.draw, f.draw) << c.done << "/" << c.total;
    EXPECT_EQ(c.fill, f.width) << c.done << "/" << c.total;
    EXPECT_EQ(c.percent, f.percent) << c.done << "/" << c.total;
  }
}

namespace {

LauncherCfg::ButtonStyle Style(const char* name, const char* image) {
  LauncherCfg::ButtonStyle s;
  s.name = name;
  s.imageFile = image;
  s.rect = {1, 2, 3, 4};
  return s;
}

}  // namespace

TEST(PanelLayout, ButtonsFollowTheModeRulesAndTheAreaNames) {
  std::vector<LauncherCfg::ButtonStyle> styles;
  for (int i = 0; i < 24; ++i) styles.push_back(Style(i >= 12 ? "area" : "b", "x.bmp"));
  styles[4].imageFile = "";          // no image: left alone
  styles[5].name = "my_area_link";   // "area" below 12: laid out and kept
  styles[13].name = "plain";         // no "area" at 12 or more: kept, not mapped
  for (bool web : {true, false}) {
    std::vector<PanelLayout::ButtonPlan> plans = PanelLayout::PlanButtons(styles, web);
    ASSERT_EQ(22u, plans.size());
    EXPECT_EQ(web, plans[0].hidden);    // start only outside web mode
    EXPECT_EQ(!web, plans[3].hidden);   // settings only in web mode
    EXPECT_TRUE(plans[11].hidden);      // optimisation waits for the main window
    EXPECT_FALSE(plans[4].skinned);
    for (int i : {5, 13}) {
      EXPECT_FALSE(plans[i].hidden) << i;
      EXPECT_EQ(-1, plans[i].area) << i;
    }
    for (int i = 14; i < 22; ++i) {
      EXPECT_TRUE(plans[i].hidden) << i;
      EXPECT_EQ(i - 12, plans[i].area) << i;
    }
  }
  // Fewer records than buttons: the rest are left alone.
  std::vector<PanelLayout::ButtonPlan> few = PanelLayout::PlanButtons({Style("exit", "e.bmp")}, true);
  EXPECT_TRUE(few[0].skinned);
  EXPECT_FALSE(few[1].skinned);
}

TEST(PanelLayout, AreaMoveNeedsAnAreaInRangeAndANonZeroSecondPlace) {
  std::vector<LauncherCfg::ButtonStyle> styles(22);
  styles[12].rect1 = {5, 6, 7, 8};
  styles[13].rect1 = {0, 6, 7, 8};  // x 0: stays
  styles[14].rect1 = {5, 6, 0, 8};  // width 0: stays
  LauncherCfg::LayoutRect to;
  EXPECT_TRUE(PanelLayout::AreaMoveTarget(styles, 0, &to));
  EXPECT_EQ(5, to.left);
  for (int area : {1, 2, -1, 10, 1000, -2147483647 - 1}) EXPECT_FALSE(PanelLayout::AreaMoveTarget(styles, area, &to)) << area;
  styles.resize(13);
  EXPECT_FALSE(PanelLayout::AreaMoveTarget(styles, 3, &to));  // no record 15
  EXPECT_EQ(-1, PanelLayout::IndexOfId(1002));
}

TEST(BmpImage, KitCasesLoadOrFailAsTheyShould) {
  std::ifstream list(testsupport::FixturePath("launcher_ui/bmp/cases.txt"));
  ASSERT_TRUE(list.good());
  std::string name;
  int ok = 0, w = 0, h = 0, bits = 0, count = 0;
  while (list >> name >> ok >> w >> h >> bits) {
    std::string bytes = testsupport::ReadFileBytes(testsupport::FixturePath("launcher_ui/bmp/" + name));
    SkinImage::BmpLayout layout;
    bool parsed = SkinImage::ParseBmp(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &layout);
    EXPECT_EQ(ok != 0, parsed) << name;
    if (parsed) {
      EXPECT_EQ(w, layout.width) << name;
      EXPECT_EQ(h, layout.height) << name;
      EXPECT_EQ(bits, layout.bitCount) << name;
    }
    ++count;
  }
  EXPECT_GE(count, 20);
}

TEST(BmpImage, KeyPixelsPerDepthAndRowOrder) {
  auto load = [](const char* name, std::string* bytes, SkinImage::BmpLayout* layout) {
    *bytes = testsupport::ReadFileBytes(testsupport::FixturePath(std::string("launcher_ui/bmp/") + name));
    return SkinImage::ParseBmp(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size(), layout);
  };
  std::string bytes;
  SkinImage::BmpLayout l;
  // The kit paints rgb24 as (x * 50, y * 80, 7), y from the top, both orders.
  for (const char* name : {"rgb24.bmp", "topdown24.bmp"}) {
    ASSERT_TRUE(load(name, &bytes, &l)) << name;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_EQ(0x000007u, SkinImage::PixelValue(p, l, 0, 0)) << name;
    EXPECT_EQ((200u << 16) | (160u << 8) | 7u, SkinImage::PixelValue(p, l, 4, 2)) << name;
  }
  // 16-bit: the raw 5-6-5 magenta is the key; 32-bit as 24.
  const struct {
    const char* name;
    int keyX, keyY, plainX, plainY;
  } keys[] = {{"rgb16.bmp", 1, 0, 0, 0}, {"rgb32.bmp", 2, 2, 1, 2}};
  for (const auto& k : keys) {
    ASSERT_TRUE(load(k.name, &bytes, &l)) << k.name;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_TRUE(SkinImage::IsKeyPixel(p, l, k.keyX, k.keyY)) << k.name;
    EXPECT_FALSE(SkinImage::IsKeyPixel(p, l, k.plainX, k.plainY)) << k.name;
  }
}
