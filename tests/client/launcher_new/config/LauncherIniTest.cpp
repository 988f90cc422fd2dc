#include <gtest/gtest.h>

#include "LauncherIni.h"
#include "LauncherTestUtil.h"

using LauncherCfg::LauncherIniSettings;
using LauncherCfg::ReadLauncherIni;
using launchertest::CopyFixture;
using launchertest::FreshDir;
using testsupport::ReadFileBytes;

namespace {

const char kPath[] = ".\\ini\\launcher.ini";

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST(LauncherIni, MissingKeysGetTheirDefaultsAndAreWrittenBack) {
  for (const char* source : {"", "empty.ini", "partial.ini"}) {
    FreshDir("ini");
    if (*source != '\0') {
      ASSERT_TRUE(CopyFixture(std::string("ini/") + source, "ini/launcher.ini"));
    }
    LauncherIniSettings s;
    ReadLauncherIni(kPath, &s);
    EXPECT_EQ("LauncherCfg\\LauncherCfg.xml", s.launcherCfg) << source;
    std::string url = std::string(source) == "partial.ini" ? "http://127.0.0.1:18080/sl" : "/zarngameindex/serverlist/serverlist";
    EXPECT_TRUE(EndsWith(s.url, url)) << s.url;
    EXPECT_TRUE(EndsWith(s.backUrl, "/zarngameindex/serverlist/serverlist")) << s.backUrl;
    EXPECT_TRUE(EndsWith(s.microClientUrl, "/zarngameindex/zarnmicroclient/")) << s.microClientUrl;
    EXPECT_TRUE(EndsWith(s.browser, "/load/pclauncher")) << s.browser;

    // The file now holds all five keys; a second start reads the same.
    std::string text = ReadFileBytes("ini/launcher.ini");
    for (const char* key : {"LauncherCfg=", "URL=", "BackURL=", "MicroClientURL=", "browser="})
      EXPECT_NE(std::string::npos, text.find(key)) << source << " " << key;
    EXPECT_EQ(std::string::npos, text.find("zarnmicroclient/")) << "the slash stays in memory";
    LauncherIniSettings again;
    ReadLauncherIni(kPath, &again, false);
    EXPECT_EQ(s.url, again.url);
    EXPECT_EQ(s.backUrl, again.backUrl);
    EXPECT_EQ(s.microClientUrl, again.microClientUrl);
    EXPECT_EQ(s.browser, again.browser);
    EXPECT_EQ(text, ReadFileBytes("ini/launcher.ini"));
  }
  EXPECT_NE(std::string::npos, ReadFileBytes("ini/launcher.ini").find("keep=1"));  // other sections stay
}

TEST(LauncherIni, StoredValuesAreReadAsTheyStand) {
  FreshDir("ini");
  ASSERT_TRUE(CopyFixture("ini/full.ini", "ini/launcher.ini"));
  LauncherIniSettings s;
  ReadLauncherIni(kPath, &s);
  EXPECT_EQ("http://127.0.0.1:18080/zarngameindex/serverlist/serverlist", s.url);
  EXPECT_EQ("http://127.0.0.1:18081/zarngameindex/serverlist/serverlist", s.backUrl);
  EXPECT_EQ("http://127.0.0.1:18080/zarngameindex/zarnmicroclient/", s.microClientUrl);
  EXPECT_EQ("http://127.0.0.1:18082/load/pclauncher", s.browser);

  // A value longer than its 512-byte buffer is cut, never overrun.
  ASSERT_TRUE(CopyFixture("ini/long.ini", "ini/launcher.ini"));
  ReadLauncherIni(kPath, &s);
  EXPECT_EQ(511u, s.url.size());
  EXPECT_EQ(0u, s.url.find("http://127.0.0.1/aaaa"));
}

TEST(LauncherIni, DownloadedAddressWithControlCharactersIsRefused) {
  struct Case {
    std::string address;
    bool storable;
  } cases[] = {
      {"http://127.0.0.1/micro", true},
      {"http://127.0.0.1/中文", true},
      {"", true},
      {std::string(510, 'a'), true},
      {std::string(511, 'a'), false},  // no room for the "/" in 512 bytes
      {"http://a/\r\nURL=http://evil", false},
      {"http://a/\nx", false},
      {"http://a/\tx", false},
      {"http://a/\x7fx", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.storable, LauncherCfg::IsStorableAddress(c.address.c_str())) << c.address;
  EXPECT_FALSE(LauncherCfg::IsStorableAddress(nullptr));

  FreshDir("ini");
  ASSERT_TRUE(CopyFixture("ini/full.ini", "ini/launcher.ini"));
  std::string before = ReadFileBytes("ini/launcher.ini");
  testsupport::ReportCapture reports;
  EXPECT_FALSE(LauncherCfg::WriteLauncherIniAddress(kPath, "MicroClientURL", "http://a/\r\nURL=http://evil"));
  EXPECT_EQ(before, ReadFileBytes("ini/launcher.ini"));
  EXPECT_EQ(1u, reports.Count());
  EXPECT_TRUE(LauncherCfg::WriteLauncherIniAddress(kPath, "MicroClientURL", "http://127.0.0.1/m"));
  LauncherIniSettings s;
  ReadLauncherIni(kPath, &s, false);
  EXPECT_EQ("http://127.0.0.1/m/", s.microClientUrl);
}
