// The tokenizer, the name map and the ini loader, against the fixture kit's
// independent oracle where one exists.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "support/TestSupport.h"
#include "common/CfgFileLoader/CfgFileLoader.h"
#include "common/MapStrToID/MapStrToID.h"
#include "common/ScriptParser/ScriptParser.h"

using testsupport::FixturePath;

namespace {

std::string Unhex(const std::string& hex) {
  std::string out;
  if (hex == "-") return out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

std::vector<std::string> FixtureLines(const char* name) {
  std::vector<std::string> lines;
  std::istringstream in(testsupport::ReadFileBytes(FixturePath(std::string("tunedesk/") + name)));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

TEST(ScriptParser, TokensMatchTheOracle) {
  std::vector<std::string> table = FixtureLines("tokens.txt");
  ASSERT_EQ(table.size(), 10u);
  for (const std::string& row : table) {
    size_t bar = row.find('|');
    std::string line = Unhex(row.substr(0, bar));
    std::vector<std::pair<int, std::string>> expected;
    std::istringstream list(row.substr(bar + 1));
    for (std::string item; std::getline(list, item, ',');) {
      size_t colon = item.find(':');
      expected.push_back({std::stoi(item.substr(0, colon)), Unhex(item.substr(colon + 1))});
    }
    ScriptLine parsed;
    ASSERT_EQ(ScriptParser::Parse(line.c_str(), &parsed), static_cast<int>(expected.size())) << row;
    EXPECT_EQ(parsed.length, static_cast<int>(line.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
      const ScriptToken& t = parsed.tokens[i];
      EXPECT_EQ(t.offset, expected[i].first) << row;
      EXPECT_EQ(std::string(t.text), expected[i].second) << row;
      EXPECT_EQ(t.length, static_cast<int>(expected[i].second.size()));
      EXPECT_EQ(t.text, parsed.buffer + t.offset);
    }
  }
}

TEST(ScriptParser, NullLineIsReportedAndReparseFreesTheOldCopy) {
  testsupport::ReportCapture reports;
  ScriptLine line;
  EXPECT_EQ(ScriptParser::Parse(nullptr, &line), 0);
  EXPECT_EQ(reports.Count(), 1u);
  EXPECT_EQ(ScriptParser::Parse("a b c", &line), 3);
  EXPECT_EQ(ScriptParser::Parse("z", &line), 1);
  EXPECT_STREQ(line.tokens[0].text, "z");
  EXPECT_EQ(line.tokens[1].text, nullptr);
}

TEST(ScriptParser, UnconvertibleBytesNeverLeaveTheBuffers) {
  // A lone lead byte at the end converts to fewer or more bytes; every token
  // must stay inside both the line and the copy.
  const char* lines[] = {"ab \x81", "\x81", "x \xff\xff y \x80", "\x81\x81\x81 q"};
  for (const char* text : lines) {
    ScriptLine line;
    int n = ScriptParser::Parse(text, &line);
    int limit = std::min(line.length, static_cast<int>(strlen(text)));
    for (int i = 0; i < n; ++i) {
      EXPECT_LE(line.tokens[i].offset + line.tokens[i].length, limit) << text;
      EXPECT_EQ(static_cast<int>(strlen(line.tokens[i].text)), line.tokens[i].length);
    }
  }
}

TEST(ScriptParser, LongLine) {
  std::string text(100000, 'q');
  text[50000] = ' ';
  ScriptLine line;
  ASSERT_EQ(ScriptParser::Parse(text.c_str(), &line), 2);
  EXPECT_EQ(line.tokens[1].offset, 50001);
  EXPECT_EQ(line.tokens[1].length, 49999);
}

TEST(MapStrToID, IdsMatchTheOracle) {
  std::vector<std::string> table = FixtureLines("genid.txt");
  ASSERT_EQ(table.size(), 13u);
  testsupport::ReportCapture reports;
  for (const std::string& row : table) {
    size_t blank = row.find(' ');
    std::string name = Unhex(row.substr(0, blank));
    unsigned long expected = std::stoul(row.substr(blank + 1), nullptr, 16);
    EXPECT_EQ(MapStrToID::GenID(name.c_str()), expected) << row;
  }
  // Only the 300-byte name is too long; it is reported and still hashed.
  ASSERT_EQ(reports.Count(), 1u);
  EXPECT_TRUE(reports.Contains("nLen <= 255 && \"gen id error, name len too large\""));
}

TEST(MapStrToID, CaseIgnoredOnlyForAscii) {
  MapStrToID map;
  int a = 1, b = 2, c = 3;
  EXPECT_NE(map.Insert("DisplayMode", &a), 0);
  EXPECT_EQ(map.Insert("displaymode", &b), 0);  // first entry wins
  EXPECT_EQ(map.Find("DISPLAYMODE"), &a);
  // 0xC1 and 0xE1 differ by 0x20 like A/a; they are not letters here.
  EXPECT_NE(map.Insert("\xc1\xa1", &b), 0);
  EXPECT_EQ(map.Find("\xe1\xa1"), nullptr);
  EXPECT_NE(map.Insert("\xe1\xa1", &c), 0);
  EXPECT_EQ(map.Find("\xc1\xa1"), &b);
  EXPECT_EQ(map.Find("\xe1\xa1"), &c);
  testsupport::ReportCapture reports;
  EXPECT_EQ(map.Find(nullptr), nullptr);
  EXPECT_EQ(MapStrToID::GenID(nullptr), 0u);
  EXPECT_EQ(reports.Count(), 2u);
  map.Clear();
  EXPECT_EQ(map.Find("displaymode"), nullptr);
}

TEST(MapStrToID, CollidingIdsShareABucket) {
  // "ab" and "ba" have the same sum, xor and length.
  ASSERT_EQ(MapStrToID::GenID("ab"), MapStrToID::GenID("ba"));
  MapStrToID map;
  int a = 1, b = 2;
  map.Insert("ab", &a);
  map.Insert("ba", &b);
  EXPECT_EQ(map.Find("AB"), &a);
  EXPECT_EQ(map.Find("Ba"), &b);
}

TEST(CfgFileLoader, SectionsKeysAndCase) {
  CfgFileLoader loader;
  ASSERT_TRUE(loader.Load(FixturePath("tunedesk/sections.ini").c_str()));
  ASSERT_NE(loader.m_pCurrentSection, nullptr);  // "main" after loading
  EXPECT_EQ(loader.m_pCurrentSection->name, "main");
  EXPECT_EQ(loader.GetInt("value"), 1);  // VALUE 2 is a refused repeat
  EXPECT_EQ(loader.GetInt(";"), 3);      // no comments
  EXPECT_EQ(loader.GetInt("top"), 0);    // before any section
  EXPECT_EQ(loader.m_pCurrentSection->lines.size(), 3u);

  // [Screen] and [screen] are one name for lookups; the first is found.
  auto* screen = static_cast<CfgSection*>(loader.m_sectionMap.Find("SCREEN"));
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->name, "Screen");
  loader.m_pCurrentSection = screen;
  EXPECT_EQ(loader.GetInt("displaymode"), 0);
  EXPECT_EQ(loader.GetInt("screenwidth"), 0);  // only in the unreachable second one

  auto* gbk = static_cast<CfgSection*>(loader.m_sectionMap.Find("\xd6\xd0\xce\xc4"));
  ASSERT_NE(gbk, nullptr);
  loader.m_pCurrentSection = gbk;
  ASSERT_NE(loader.FindLine("k"), nullptr);
  EXPECT_STREQ(loader.FindLine("k")->tokens[1].text, "\xb0\xa1");
}

TEST(CfgFileLoader, LineLimitEndsReading) {
  // 1024 characters stop the reading there; 1023 still fit.
  CfgFileLoader stopped, fitting;
  ASSERT_TRUE(stopped.Load(FixturePath("tunedesk/longline.ini").c_str()));
  EXPECT_EQ(stopped.GetInt("before"), 1);
  EXPECT_EQ(stopped.FindLine("long"), nullptr);
  EXPECT_EQ(stopped.GetInt("after"), 0);
  ASSERT_TRUE(fitting.Load(FixturePath("tunedesk/fitline.ini").c_str()));
  ASSERT_NE(fitting.FindLine("long"), nullptr);
  EXPECT_EQ(fitting.FindLine("long")->tokens[1].length, 1018);
  EXPECT_EQ(fitting.GetInt("after"), 2);
}

TEST(CfgFileLoader, MissingFileAndNoMainSection) {
  CfgFileLoader loader;
  EXPECT_FALSE(loader.Load("no_such_file.ini"));
  ASSERT_TRUE(loader.Load(FixturePath("tunedesk/mode7.ini").c_str()));
  EXPECT_EQ(loader.m_pCurrentSection, nullptr);
  EXPECT_EQ(loader.GetInt("displaymode"), 0);
}
