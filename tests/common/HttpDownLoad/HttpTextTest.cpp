#include <gtest/gtest.h>

#include "common/HttpDownLoad/HttpText.h"

using namespace HttpText;

TEST(HttpText, SplitAddress) {
  struct Case {
    const char* address;
    bool ok;
    const char* host;
    const char* path;
    uint16_t port;
  } cases[] = {
      {"http://dl.example.com/a/b.pak", true, "dl.example.com", "/a/b.pak", 80},
      {"  HTTP://h:8080/x y.zip ", true, "h", "/x%20y.zip", 8080},
      {"http://h", false, "", "", 0},
      {"ftp://h/a", false, "", "", 0},
      {"h/a", false, "", "", 0},
      {"http://h:0/a", false, "", "", 0},
      {"http://h:70000/a", false, "", "", 0},
      {"http://h:8a/a", false, "", "", 0},
      {"http://:81/a", false, "", "", 0},
  };
  for (const Case& c : cases) {
    CString host, path;
    uint16_t port = 0;
    ASSERT_EQ(c.ok, SplitAddress(c.address, host, path, port)) << c.address;
    if (!c.ok) continue;
    EXPECT_STREQ(c.host, host) << c.address;
    EXPECT_STREQ(c.path, path) << c.address;
    EXPECT_EQ(c.port, port) << c.address;
  }
}

TEST(HttpText, RedirectTargets) {
  struct Case {
    const char* address;
    const char* location;
    const char* expect;
  } cases[] = {
      {"http://h/d/e/f.zip", "../a.zip", "http://h/d/a.zip"},
      {"http://h/d/e/f.zip", "a.zip", "http://h/d/e/a.zip"},
      {"http://h:81/d/e/f.zip", "/x/y.zip", "http://h:81/x/y.zip"},
      {"http://h/d/e/f.zip", "\\x\\y.zip", "http://h/x/y.zip"},
      {"http://h/d/f.zip", "http://o:82/z", "http://o:82/z"},
      // never past the host
      {"http://h/f.zip", "../../../a.zip", "http://h/a.zip"},
      {"http://h/d/f.zip", "x/../b.zip", "http://h/b.zip"},
  };
  for (const Case& c : cases) EXPECT_STREQ(c.expect, RedirectTarget(c.address, c.location)) << c.location;
}

TEST(HttpText, StatusAndFields) {
  int status = 0;
  EXPECT_TRUE(ParseStatus("http/1.1 206 partial\r\n", status));
  EXPECT_EQ(206, status);
  for (const char* bad : {"http/1.1 200\r\n", "http/1.1 200 ok", "http/1.1 2x0 ok\r\n", "garbage\r\n"})
    EXPECT_FALSE(ParseStatus(bad, status)) << bad;

  std::string v;
  const std::string h = "http/1.1 200 ok\r\nx-content-length: 9\r\ncontent-length:  12 \r\nlast:x";
  ASSERT_TRUE(FindField(h, "content-length:", v));
  EXPECT_EQ("12", v);
  EXPECT_FALSE(FindField(h, "last:", v));  // no line end after it

  struct Len {
    const char* text;
    bool ok;
    uint32_t value;
  } lengths[] = {{"0", true, 0},       {"2147483647", true, 2147483647u}, {"2147483648", false, 0},
                 {"-5", false, 0},     {"12abc", false, 0},               {"", false, 0},
                 {"+3", false, 0},     {"99999999999", false, 0}};
  for (const Len& l : lengths) {
    uint32_t n = 77;
    EXPECT_EQ(l.ok, ParseLength(l.text, n)) << l.text;
    if (l.ok) {
      EXPECT_EQ(l.value, n);
    }
  }
  uint32_t from = 0;
  EXPECT_TRUE(ParseRangeStart("bytes 100-199/200", from));
  EXPECT_EQ(100u, from);
  EXPECT_FALSE(ParseRangeStart("items 1-2/3", from));

  EXPECT_EQ("Range: bytes=5-9\r\n", RangeLine(5, 9));
  EXPECT_EQ("Range: bytes=2147483647-\r\n", RangeLine(0x7FFFFFFF, 0));
}

TEST(HttpText, LastModifiedDates) {
  int64_t june = 0, jan = 0, bogus = 0;
  ASSERT_TRUE(ParseHttpDate("wed, 15 jun 2022 10:20:30 gmt", june));
  std::tm tm = {};
  tm.tm_year = 122, tm.tm_mon = 5, tm.tm_mday = 15, tm.tm_hour = 10, tm.tm_min = 20, tm.tm_sec = 30, tm.tm_isdst = -1;
  EXPECT_EQ(static_cast<int64_t>(std::mktime(&tm)), june);
  ASSERT_TRUE(ParseHttpDate("wed, 15 jan 2022 10:20:30 gmt", jan));
  ASSERT_TRUE(ParseHttpDate("wed, 15 xyz 2022 10:20:30 gmt", bogus));
  EXPECT_EQ(jan, bogus);  // an unknown month is January
  for (const char* bad : {"15 jun 2022 10:20:30 gmt", "wed, 32 jun 2022 10:20:30 gmt", "wed, 15 jun 1800 10:20:30 gmt",
                          "wed, 15 jun 2022 25:20:30 gmt", "wed, 15 jun 2022 10:61:30 gmt", "wed, xx"}) {
    int64_t s = 0;
    EXPECT_FALSE(ParseHttpDate(bad, s)) << bad;
  }
}
