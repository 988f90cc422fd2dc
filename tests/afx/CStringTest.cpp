#include <gtest/gtest.h>

#include "afx/AfxString.h"

TEST(CString, BasicsAndFormat) {
  CString s("abc");
  s += "DEF";
  s += CString("g");
  EXPECT_TRUE(s == "abcDEFg");
  EXPECT_EQ(7, s.GetLength());
  EXPECT_FALSE(s.IsEmpty());
  EXPECT_TRUE(CString().IsEmpty());
  EXPECT_STREQ("abcDEFg", static_cast<const char*>(s));
  EXPECT_TRUE(s.Left(2) == "ab");
  EXPECT_TRUE(s.Mid(3) == "DEFg");
  EXPECT_TRUE(s.Mid(3, 2) == "DE");
  EXPECT_TRUE(s.Right(3) == "EFg");
  EXPECT_TRUE(s.Left(99) == s);
  EXPECT_TRUE(s.Mid(99).IsEmpty());
  CString padded(" \t a b \r\n");
  EXPECT_TRUE(padded.Trim() == "a b");
  EXPECT_TRUE(CString(" \n").Trim().IsEmpty());
  CString f;
  f.Format("%d,%d,%d,%d;", 100, 50, 900, 650);
  EXPECT_TRUE(f == "100,50,900,650;");
  std::string big(6000, 'k');
  f.Format("%s", big.c_str());
  EXPECT_EQ(6000, f.GetLength());
}

TEST(CString, DoubleByteAwareFindReplaceLower) {
  // 0xD6 0x5C is one GBK character whose trail byte is a back-slash.
  CString path("A\xD6\x5C" "B\\C");
  EXPECT_EQ(4, path.Find('\\'));
  EXPECT_EQ(4, path.ReverseFind('\\'));
  EXPECT_EQ(1, path.Replace("\\", "/"));
  EXPECT_TRUE(path == "A\xD6\x5C" "B/C");
  // 0xB0 0x41 ("A" as trail byte) keeps its trail byte when lowered.
  CString lower("X\xB0\x41Y");
  lower.MakeLower();
  EXPECT_TRUE(lower == "x\xB0\x41y");
  EXPECT_EQ(-1, CString("\xB0\x41").Find("A"));
  EXPECT_EQ(2, CString("abcabc").Find("c"));
  EXPECT_EQ(5, CString("abcabc").Find("c", 3));
  CString twice("a.b.c");
  EXPECT_EQ(2, twice.Replace('.', '/'));
  EXPECT_TRUE(twice == "a/b/c");
  EXPECT_EQ(0, CString("ABC").CompareNoCase("abc"));
}

TEST(CString, Buffers) {
  CString s;
  char* p = s.GetBuffer(10);
  strcpy(p, "hi");
  s.ReleaseBuffer();
  EXPECT_TRUE(s == "hi");
  EXPECT_EQ(2, s.GetLength());
}
