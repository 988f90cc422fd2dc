#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <regex>

#include "common/FileSearch.h"
#include "common/FuncPerformance.h"
#include "support/TestSupport.h"

using FileIO::CFileSearch;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::RemoveTree;
using testsupport::WriteFileBytes;

namespace {

// tree\ holds a.pkg3 b.PKG3 c.pkg d.pkg1 noext, sub\e.pkg3, sub\deeper\f.txt,
// and dot names that must never be listed.
void MakeTree() {
  RemoveTree("tree");
  for (const char* dir : {"tree", "tree\\sub", "tree\\sub\\deeper", "tree\\.dotdir"}) CreateDirectoryA(dir, nullptr);
  for (const char* file : {"a.pkg3", "b.PKG3", "c.pkg", "d.pkg1", "noext", ".hidden.pkg3", "sub\\e.pkg3",
                           "sub\\deeper\\f.txt", ".dotdir\\g.pkg3"})
    WriteFileBytes(std::string("tree\\") + file, "x");
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

}  // namespace

TEST(CFileSearch, MatchFilterIsExtensionSubstring) {
  struct Case {
    const char* filter;
    const char* name;
    bool match;
  } cases[] = {
      {".pkg3", "a.PKG3", true},     {".pkg3", "a.pkg", true},     {".pkg3", "a.pkg1", false},
      {"*.pkg3", "x.y.pkg3", true},  {".xml.ini", "b.INI", true},  {"readme", "README", true},
      {"abc", "x.abc", false},       {".pkg3", "pkg3", true},
  };
  for (const Case& c : cases) EXPECT_EQ(c.match, CFileSearch::MatchFilter(c.filter, c.name)) << c.filter << " " << c.name;
}

TEST(CFileSearch, FlatSearchIsTheSameWithAnySeparator) {
  MakeTree();
  const std::vector<std::string> files = {"tree\\a.pkg3", "tree\\b.PKG3", "tree\\c.pkg", "tree\\d.pkg1",
                                          "tree\\noext"};
  for (const char* folder : {"tree", "tree\\", "tree/"}) {
    CFileSearch search;
    EXPECT_EQ(6, search.Search(folder, "*.*", false)) << folder;
    std::string prefix = std::string(folder).substr(0, 4) + (folder[4] == '/' ? "/" : "\\");
    std::vector<std::string> expected;
    for (const std::string& f : files) expected.push_back(prefix + f.substr(5));
    EXPECT_EQ(expected, Sorted(search.m_vecFiles)) << folder;
    EXPECT_EQ(std::vector<std::string>{prefix + "sub\\"}, search.m_vecFolders) << folder;
  }
}

TEST(CFileSearch, FiltersAndRecursion) {
  MakeTree();
  struct Case {
    const char* filter;
    std::vector<std::string> files;
  } cases[] = {
      {".pkg3", {"tree\\a.pkg3", "tree\\b.PKG3", "tree\\c.pkg", "tree\\sub\\e.pkg3"}},
      {"", {"tree\\a.pkg3", "tree\\b.PKG3", "tree\\c.pkg", "tree\\d.pkg1", "tree\\noext", "tree\\sub\\deeper\\f.txt",
            "tree\\sub\\e.pkg3"}},
      {"*", {"tree\\a.pkg3", "tree\\b.PKG3", "tree\\c.pkg", "tree\\d.pkg1", "tree\\noext", "tree\\sub\\deeper\\f.txt",
             "tree\\sub\\e.pkg3"}},
      {".txt", {"tree\\sub\\deeper\\f.txt"}},
  };
  for (const Case& c : cases) {
    CFileSearch search;
    int count = search.Search("tree", c.filter, true);
    EXPECT_EQ(c.files, Sorted(search.m_vecFiles)) << c.filter;
    // Folders are listed whatever the filter, each before its own contents.
    EXPECT_EQ((std::vector<std::string>{"tree\\sub\\", "tree\\sub\\deeper\\"}), search.m_vecFolders) << c.filter;
    EXPECT_EQ(static_cast<int>(c.files.size() + 2), count) << c.filter;
  }
}

TEST(CFileSearch, MissingFolderEmptiesEarlierResults) {
  MakeTree();
  CFileSearch search;
  ASSERT_GT(search.Search("tree", "", true), 0);
  EXPECT_EQ(0, search.Search("no_such_folder", "", true));
  EXPECT_TRUE(search.m_vecFiles.empty());
  EXPECT_TRUE(search.m_vecFolders.empty());
}

// A link to a folder outside the tree is listed but not entered, so a tree
// delete driven by the results cannot reach the target's files.
TEST(CFileSearch, LinkedFolderIsListedNotEntered) {
  MakeTree();
  RemoveTree("outside");
  CreateDirectoryA("outside", nullptr);
  WriteFileBytes("outside\\keep.pkg3", "x");
  char target[MAX_PATH];
  GetFullPathNameA("outside", MAX_PATH, target, nullptr);
  if (!CreateSymbolicLinkA("tree\\link", target, SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2 /* unprivileged */) ||
      !(GetFileAttributesA("tree\\link") & FILE_ATTRIBUTE_REPARSE_POINT))
    GTEST_SKIP() << "no folder links on this system";
  CFileSearch search;
  search.Search("tree", "", true);
  // Windows lists the link as a folder; Wine leaves its own links out of
  // the enumeration. Either way nothing behind it may be listed.
  for (const std::string& f : search.m_vecFolders)
    if (f.find("link") != std::string::npos) {
      EXPECT_EQ("tree\\link\\", f);
    }
  for (const std::string& f : search.m_vecFiles) EXPECT_EQ(std::string::npos, f.find("link")) << f;
  RemoveDirectoryA("tree\\link");
  EXPECT_TRUE(FileExists("outside\\keep.pkg3"));
}

TEST(FuncPerformanceLog, ClockAdvancesInSeconds) {
  double start = FuncPerformanceLog::GetTime();
  Sleep(50);
  double elapsed = FuncPerformanceLog::GetTime() - start;
  EXPECT_GT(elapsed, 0.03);
  EXPECT_LT(elapsed, 30.0);  // seconds, not milliseconds, however slow the machine
}

TEST(FuncPerformanceLog, ReportIsAppendedOnlyWhenThereAreEntries) {
  DeleteFileA("funcperformance.log");
  { FuncPerformanceLog empty; }
  EXPECT_FALSE(FileExists("funcperformance.log"));

  for (int run = 0; run < 2; ++run) {
    FuncPerformanceLog log;
    log.Record("zeta", 0.25);
    log.Record("alpha", 0.25);
    log.Record("alpha", 0.5);
  }
  // Two runs, two reports of six lines each, entries in name order.
  std::vector<std::string> lines;
  std::string text = ReadFileBytes("funcperformance.log");
  for (size_t at = 0, next; (next = text.find("\r\n", at)) != std::string::npos; at = next + 2)
    lines.push_back(text.substr(at, next - at));
  ASSERT_EQ(12u, lines.size()) << text;
  std::string header = std::string("|") + "功能" + std::string(26, ' ') + "|" + "花费时间" + std::string(3, ' ') + "|" +
                       "调用次数" + std::string(3, ' ') + "|" + "平均调用时间" + std::string(3, ' ') + "|" + "总百分比" +
                       std::string(4, ' ') + "|";
  for (size_t i = 0; i < 12; i += 6) {
    std::string title = lines[i], prefix = "Release version ********" + std::string("时间") + ":";
    EXPECT_EQ(prefix, title.substr(0, prefix.size()));
    EXPECT_TRUE(std::regex_match(title.substr(prefix.size()),
                                 std::regex(R"(\d\d:\d\d:\d\d \d\d/\d\d/\d\d\*{8})"))) << title;
    EXPECT_TRUE(std::regex_match(lines[i + 1], std::regex(R"(Total:\d+)"))) << lines[i + 1];
    EXPECT_EQ("functions performance log:", lines[i + 2]);
    EXPECT_EQ(header, lines[i + 3]);
    EXPECT_TRUE(std::regex_match(lines[i + 4], std::regex(R"(\|alpha {25}\| {8}750\| {10}2\| {5}375\.000000\| *[0-9.]+\|)")))
        << lines[i + 4];
    EXPECT_TRUE(std::regex_match(lines[i + 5], std::regex(R"(\|zeta {26}\| {8}250\| {10}1\| {5}250\.000000\| *[0-9.]+\|)")))
        << lines[i + 5];
  }

  // A path that cannot be opened for appending is skipped silently.
  DeleteFileA("funcperformance.log");
  CreateDirectoryA("funcperformance.log", nullptr);
  {
    FuncPerformanceLog log;
    log.Record("alpha", 1);
  }
  EXPECT_TRUE(GetFileAttributesA("funcperformance.log") & FILE_ATTRIBUTE_DIRECTORY);
  RemoveDirectoryA("funcperformance.log");
}
