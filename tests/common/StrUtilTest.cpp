#include <windows.h>

#include <gtest/gtest.h>

#include "common/StrUtil.h"

using namespace StrUtil;

TEST(StrUtil, NullSafeConstructionAndCopies) {
  EXPECT_EQ("", FromCStr(nullptr));
  std::string s = "keep";
  AssignCStr(s, nullptr);
  EXPECT_EQ("", s);
  std::string withZero("ab\0cd", 5);
  EXPECT_EQ("ab", CopyConstruct(withZero));
  EXPECT_EQ("ab", CopyText(withZero));
  std::string target = "x";
  Assign(withZero, target);
  EXPECT_EQ("ab", target);
  Assign(target, target);
  EXPECT_EQ("ab", target);
  AssignWide(target, nullptr);
  EXPECT_EQ("", target);
}

TEST(StrUtil, CaseFindReplaceLeftLast) {
  std::string dbcs = "\xD6\xD0\xCE\xC4" "A";
  EXPECT_EQ("\xD6\xD0\xCE\xC4" "a", ToLower(dbcs));
  EXPECT_EQ(0, CompareNoCase("ABC", "abc"));
  EXPECT_EQ(-1, CompareNoCase("ab", "ABC"));
  EXPECT_EQ(1, CompareNoCase("abd", "ABC"));
  EXPECT_EQ(2u, Find("abcd", "cd"));
  EXPECT_EQ(std::string::npos, Find("abcd", "x"));

  std::string path = "a\\b\\c\\d";
  EXPECT_EQ(3, ReplaceAll(path, "\\", "/"));
  EXPECT_EQ("a/b/c/d", path);
  std::string same = "aaa";
  EXPECT_EQ(0, ReplaceAll(same, "", "x"));  // must not loop
  EXPECT_EQ(3, ReplaceAll(same, "a", "aa"));  // the replacement holds the pattern: still ends
  EXPECT_EQ("aaaaaa", same);

  EXPECT_EQ("", Left("abc", 0));
  EXPECT_EQ("abc", Left("abc", 9));
  EXPECT_EQ("x", LastChar("x"));
  EXPECT_EQ("c", LastChar("abc"));
  EXPECT_EQ("", LastChar(""));
}

TEST(StrUtil, FormatHasNoLengthLimit) {
  std::string big(10000, 'z'), out;
  Format(out, "<%s>%d", big.c_str(), 7);
  EXPECT_EQ("<" + big + ">7", out);
}

TEST(StrUtil, CodePageVectors) {
  // The test program runs with the ANSI code page 936.
  ASSERT_EQ(936u, GetACP());
  EXPECT_EQ(L"\x4E2D", AnsiToWide("\xD6\xD0"));
  EXPECT_EQ("\xD6\xD0", WideToAnsi(L"\x4E2D"));
  EXPECT_EQ(L"", AnsiToWide(nullptr));
  EXPECT_EQ("", WideToAnsi(L""));
  EXPECT_EQ("\xE4\xB8\xAD", WideToUtf8(L"\x4E2D"));
  EXPECT_EQ("\xC3\xA9", WideToUtf8(L"\x00E9"));
  EXPECT_EQ("A", WideToUtf8(L"A"));
  EXPECT_EQ(L"\x4E2D\x00E9" L"A", Utf8ToWide("\xE4\xB8\xAD\xC3\xA9" "A"));
  EXPECT_EQ(L"A", Utf8ToWide("\x41\xFF\x42"));
  EXPECT_EQ(L"", Utf8ToWide("\xE4\xB8"));  // a zero inside a sequence ends the text
  EXPECT_EQ("\xE4\xB8\xAD\xE6\x96\x87", AnsiToUtf8("\xD6\xD0\xCE\xC4"));
  std::string ansi;
  Utf8ToAnsi(ansi, "\xE4\xB8\xAD\xE6\x96\x87");
  EXPECT_EQ("\xD6\xD0\xCE\xC4", ansi);
}
