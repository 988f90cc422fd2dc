// The rules of the display settings: placement, radios, the ini read back
// and the bytes written (checked against the fixture kit's files).
#include <gtest/gtest.h>

#include <windows.h>

#include "DisplaySettings.h"
#include "support/TestSupport.h"

using namespace tunedesk;
using testsupport::FixturePath;
using testsupport::ReadFileBytes;

TEST(DisplaySettings, Placement) {
  struct Case {
    const char* line;
    int w, h;
    bool placed;
    int x, y;
  } cases[] = {
      {"100,50,900,650;", 400, 300, true, 300, 200},
      {"100,50,900,650;junk", 400, 300, true, 300, 200},
      {"0,0,0,0;", 401, 301, true, -200, -150},  // truncation toward zero
      {"100,50;", 400, 300, true, -150, -125},   // unread numbers count 0
      {"x;", 10, 10, true, -5, -5},
      {"100,50,900,650", 400, 300, false, 0, 0},
      {"-2147483648,0,2147483647,0;", 0, 0, true, -1, 0},
  };
  for (const Case& c : cases) {
    int x = 0, y = 0;
    EXPECT_EQ(PlaceInRect(c.line, c.w, c.h, &x, &y), c.placed) << c.line;
    if (c.placed) {
      EXPECT_EQ(x, c.x) << c.line;
      EXPECT_EQ(y, c.y) << c.line;
    }
  }
}

TEST(DisplaySettings, Radios) {
  struct Case {
    int w, h, radio;
  } cases[] = {{1024, 768, 1001}, {1152, 720, 1002}, {1280, 720, 1004}, {1600, 1024, 1011},
               {1680, 1050, 1012}, {1680, 1024, 1004}, {800, 600, 1004}, {768, 1024, 1004}};
  for (const Case& c : cases) {
    EXPECT_EQ(ResolutionRadio(c.w, c.h), c.radio) << c.w << "x" << c.h;
    int w = 0, h = 0;
    if (c.radio != 1004 || (c.w == 1280 && c.h == 720)) {
      ASSERT_TRUE(ResolutionOfRadio(c.radio, &w, &h));
      EXPECT_EQ(w, c.w);
      EXPECT_EQ(h, c.h);
    }
  }
  int w, h;
  EXPECT_FALSE(ResolutionOfRadio(1000, &w, &h));
  EXPECT_FALSE(ResolutionOfRadio(1013, &w, &h));
  EXPECT_EQ(ModeRadio(0), 1014);
  EXPECT_EQ(ModeRadio(1), 1015);
  EXPECT_EQ(ModeRadio(2), 1016);
  EXPECT_EQ(ModeRadio(7), 0);
}

TEST(DisplaySettings, LoadKeepsWhatIsMissing) {
  struct Case {
    const char* file;
    bool read;
    int mode, w, h;
  } cases[] = {
      {"stored_1600x1024.ini", true, 0, 1600, 1024}, {"mode7.ini", true, 7, 1280, 800},
      {"novalue.ini", true, 2, 1024, 900},           {"sections.ini", true, 0, 1024, 768},
      {"no_such.ini", false, 2, 1024, 768},
  };
  for (const Case& c : cases) {
    DisplaySettings s;
    EXPECT_EQ(LoadSettings(FixturePath(std::string("tunedesk/") + c.file).c_str(), &s), c.read) << c.file;
    EXPECT_EQ(s.mode, c.mode) << c.file;
    EXPECT_EQ(s.width, c.w) << c.file;
    EXPECT_EQ(s.height, c.h) << c.file;
  }
}

TEST(DisplaySettings, WrittenBytesAndReplacement) {
  struct Case {
    int mode, w, h;
  } cases[] = {{0, 1280, 800}, {2, 1280, 1024}, {7, 1280, 800}};
  for (const Case& c : cases) {
    DisplaySettings s;
    s.mode = c.mode;
    s.width = c.w;
    s.height = c.h;
    ASSERT_TRUE(SaveSettings("written.ini", s));
    std::string name = "tunedesk/expect_" + std::to_string(c.mode) + "_" + std::to_string(c.w) + "_" +
                       std::to_string(c.h) + ".ini";
    EXPECT_EQ(ReadFileBytes("written.ini"), ReadFileBytes(FixturePath(name))) << name;
    DisplaySettings back;
    ASSERT_TRUE(LoadSettings("written.ini", &back));
    EXPECT_EQ(back.mode, c.mode);
    EXPECT_EQ(back.width, c.w);
  }
  EXPECT_FALSE(testsupport::FileExists("written.ini.new"));

  // A read-only old file is replaced.
  SetFileAttributesA("written.ini", FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(SaveSettings("written.ini", DisplaySettings()));
  EXPECT_EQ(ReadFileBytes("written.ini"), ReadFileBytes(FixturePath("tunedesk/expect_2_1024_768.ini")));

  // When the new file cannot be written the old one stays whole.
  CreateDirectoryA("blocked.ini.new", nullptr);
  testsupport::WriteFileBytes("blocked.ini", "old");
  EXPECT_FALSE(SaveSettings("blocked.ini", DisplaySettings()));
  EXPECT_EQ(ReadFileBytes("blocked.ini"), "old");
  RemoveDirectoryA("blocked.ini.new");
}
