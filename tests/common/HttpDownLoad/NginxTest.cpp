// Happy paths of the three downloaders against a real nginx (started by the
// ctest fixture step, tests/fixtures/nginx.py); its access log is the
// record of what each downloader asked for.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "DownLoadTestUtil.h"
#include "support/TestSupport.h"

using namespace testhttp;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

const struct Kind {
  const char* name;
  int type;
} kKinds[] = {{"inet", DOWNLOAD_INET}, {"httpget", DOWNLOAD_HTTPGET}, {"http", DOWNLOAD_HTTP}};

class Nginx : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = testsupport::FixturePath("nginx");
    m_port = std::atoi(ReadFileBytes(m_dir + "/port").c_str());
    ASSERT_GT(m_port, 0) << "no nginx in " << m_dir << " (ctest starts it)";
    m_mark = ReadFileBytes(m_dir + "/access.log").size();
  }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }
  std::string Served(const std::string& name) const { return ReadFileBytes(m_dir + "/www/" + name); }
  // Access log lines written since the last call, waiting for `count` of
  // them: nginx writes its line after the response.
  std::vector<std::string> NewLog(size_t count) {
    std::vector<std::string> lines;
    for (DWORD start = GetTickCount(); GetTickCount() - start < testsupport::kEventWaitMs;) {
      std::string log = ReadFileBytes(m_dir + "/access.log").substr(m_mark);
      lines.clear();
      std::istringstream in(log);
      for (std::string line; std::getline(in, line);) lines.push_back(line);
      if (lines.size() >= count && !log.empty() && log.back() == '\n') {
        m_mark += log.size();
        break;
      }
      Sleep(20);
    }
    return lines;
  }

  std::string m_dir;
  int m_port = 0;
  size_t m_mark = 0;
};

}  // namespace

TEST_F(Nginx, EachTypeFetchesTheServedBytes) {
  const std::string small = Served("small.bin");
  ASSERT_EQ(200003u, small.size());
  for (const Kind& k : kKinds) {
    auto d = MakeDownLoad(k.type);
    std::string target = std::string("ng_") + k.name + ".bin";
    Fresh(target);
    ASSERT_EQ(0, Fetch(*d, Url("/small.bin"), target)) << k.name;
    EXPECT_TRUE(ReadFileBytes(target) == small) << k.name;
    EXPECT_FALSE(FileExists(target + "_0") || FileExists(target + ".temp")) << k.name;
    std::vector<std::string> log = NewLog(1);
    ASSERT_EQ(1u, log.size()) << k.name;
    EXPECT_NE(std::string::npos, log[0].find("\"GET /small.bin HTTP/1.1\"")) << log[0];
    EXPECT_NE(std::string::npos, log[0].find(k.type == DOWNLOAD_HTTPGET ? "\"bytes=0-\" \"-\" 206" : "\"-\" \"-\" 200"))
        << log[0];
  }
  // The HTTP client dates the file as the server does and then finds it up to date.
  auto d = MakeDownLoad(DOWNLOAD_HTTP);
  EXPECT_EQ(ServedSeconds(), FileSeconds("ng_http.bin"));
  EXPECT_EQ(1, Fetch(*d, Url("/small.bin"), "ng_http.bin", 0));
  EXPECT_EQ(1u, NewLog(1).size());
}

TEST_F(Nginx, ResumeAsksForTheExactRange) {
  const std::string small = Served("small.bin");
  // The part file of the plain GET and the temporary file of the HTTP client.
  for (const char* suffix : {"_0", ".temp"}) {
    bool get = std::string(suffix) == "_0";
    auto d = MakeDownLoad(get ? DOWNLOAD_HTTPGET : DOWNLOAD_HTTP);
    Fresh("ng_resume.bin");
    WriteFileBytes(std::string("ng_resume.bin") + suffix, small.substr(0, 70001));
    ASSERT_EQ(0, Fetch(*d, Url("/small.bin"), "ng_resume.bin", 0)) << suffix;
    EXPECT_TRUE(ReadFileBytes("ng_resume.bin") == small) << suffix;
    std::vector<std::string> log = NewLog(1);
    ASSERT_EQ(1u, log.size());
    EXPECT_NE(std::string::npos, log[0].find("\"bytes=70001-\" \"-\" 206")) << log[0];
  }
  // WinINet resumes only after its own time-out; the caller's range goes out as asked.
  auto d = MakeDownLoad(DOWNLOAD_INET);
  Fresh("ng_range.bin");
  ASSERT_EQ(0, Fetch(*d, Url("/small.bin"), "ng_range.bin", 1, 10, 99));
  EXPECT_EQ(small.substr(10, 90), ReadFileBytes("ng_range.bin"));
  std::vector<std::string> log = NewLog(1);
  ASSERT_EQ(1u, log.size());
  EXPECT_NE(std::string::npos, log[0].find("\"bytes=10-99\" \"-\" 206")) << log[0];
}

TEST_F(Nginx, RedirectsAreFollowed) {
  const std::string small = Served("small.bin");
  struct Hop {
    const char* path;
    size_t requests;
  } hops[] = {{"/r301", 2}, {"/r302", 2}, {"/rchain", 3}};
  for (const Kind& k : kKinds) {
    for (const Hop& h : hops) {
      auto d = MakeDownLoad(k.type);
      Fresh("ng_redirect.bin");
      ASSERT_EQ(0, Fetch(*d, Url(h.path), "ng_redirect.bin")) << k.name << h.path;
      EXPECT_TRUE(ReadFileBytes("ng_redirect.bin") == small) << k.name << h.path;
      std::vector<std::string> log = NewLog(h.requests);
      ASSERT_EQ(h.requests, log.size()) << k.name << h.path;
      EXPECT_NE(std::string::npos, log.back().find("\"GET /small.bin HTTP/1.1\"")) << log.back();
      if (k.type == DOWNLOAD_INET) continue;  // WinINet keeps its own referer rules
      // The last hop names the address that sent it there.
      std::string from = h.requests == 2 ? Url(h.path) : Url("/r302");
      EXPECT_NE(std::string::npos, log.back().find("\"" + from + "\"")) << log.back();
    }
  }
}

TEST_F(Nginx, MissingFileFailsAfterTheDefinedRequests) {
  for (const Kind& k : kKinds) {
    auto d = MakeDownLoad(k.type);
    Fresh("ng_missing.bin");
    EXPECT_EQ(3, Fetch(*d, Url("/missing.bin"), "ng_missing.bin")) << k.name;
    EXPECT_FALSE(FileExists("ng_missing.bin")) << k.name;
    // The plain GET asks three times with the factory's maximum, the others once.
    size_t expected = k.type == DOWNLOAD_HTTPGET ? 3 : 1;
    std::vector<std::string> log = NewLog(expected);
    EXPECT_EQ(expected, log.size()) << k.name;
    for (const std::string& line : log) EXPECT_NE(std::string::npos, line.find(" 404")) << line;
  }
}

TEST_F(Nginx, KeepAliveServesSeveralFilesOnOneConnection) {
  auto d = MakeDownLoad(DOWNLOAD_HTTP);
  d->SetKeepAlive(true);
  Fresh("ng_keep.bin");
  for (int i = 0; i < 3; ++i) ASSERT_EQ(0, Fetch(*d, Url("/small.bin"), "ng_keep.bin")) << i;
  d->CloseConnection();
  std::vector<std::string> log = NewLog(3);
  ASSERT_EQ(3u, log.size());
  // Each line starts with the connection's serial and its request count.
  int first = 0;
  for (int i = 0; i < 3; ++i) {
    int connection = 0, request = 0;
    std::istringstream(log[i]) >> connection >> request;
    if (i == 0) first = connection;
    EXPECT_EQ(first, connection) << log[i];
    EXPECT_EQ(i + 1, request) << log[i];
  }
}

TEST_F(Nginx, ChineseNamesGoOutAsGbkOrUtf8) {
  // The plain GET sends the name's GBK bytes, the HTTP client its UTF-8.
  struct Case {
    int type;
    const char* expect;
  } cases[] = {{DOWNLOAD_HTTPGET, "expect_gbk.bin"}, {DOWNLOAD_HTTP, "expect_utf8.bin"}};
  for (const Case& c : cases) {
    auto d = MakeDownLoad(c.type);
    Fresh("ng_name.bin");
    ASSERT_EQ(0, Fetch(*d, Url("/中文.bin"), "ng_name.bin")) << c.type;
    std::string expected = ReadFileBytes(m_dir + "/" + c.expect);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(ReadFileBytes("ng_name.bin") == expected) << c.type;
    NewLog(1);
  }
}
