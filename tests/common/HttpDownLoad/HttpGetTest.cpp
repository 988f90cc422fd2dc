#include <gtest/gtest.h>

#include "DownLoadTestUtil.h"
#include "TestHttpServer.h"
#include "support/TestSupport.h"
#include "common/HttpDownLoad/DownLoadFile.h"
#include "common/HttpDownLoad/HttpDownload.h"
#include "common/HttpDownLoad/HttpGet.h"

#include <memory>

using namespace testhttp;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

const char* const kAgent = "User-Agent: Mozilla/4.0 \t\t\t (compatible; MSIE 5.0; Windows NT; DigExt; Agent;)\r\n";

std::string GetRequest(const std::string& path, const std::string& range, const std::string& referer = "") {
  return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\nPragma: no-cache\r\nCache-Control: no-cache\r\n" +
         (referer.empty() ? "" : "Referer: " + referer + "\r\n") + kAgent + "Range: " + range +
         "\r\nConnection: close\r\n\r\n";
}

int Get(IDownLoad& d, const std::string& url, const std::string& target, int parts = 1) {
  return d.Download(url.c_str(), target.c_str(), nullptr, 0, 0, 0, 0, 1, parts);
}

}  // namespace

TEST(HttpGet, RequestBytesAndRawGbkPath) {
  const std::string body = Pattern(3000);
  Server server([&](const std::string&, int) { return Script{Send(Ok(body))}; });
  auto d = MakeDownLoad(DOWNLOAD_HTTPGET);
  Fresh("get_a.bin");
  // The GBK bytes of the name go out unconverted; the backslash becomes "/".
  std::string url = server.Url("\\dir\\中文 a.bin");
  ASSERT_EQ(0, Get(*d, url, "get_a.bin"));
  EXPECT_EQ(body, ReadFileBytes("get_a.bin"));
  EXPECT_FALSE(FileExists("get_a.bin_0"));
  ASSERT_EQ(1, server.RequestCount());
  EXPECT_EQ(GetRequest("/dir/\xD6\xD0\xCE\xC4%20a.bin", "bytes=0-"), server.Requests()[0]);
}

TEST(HttpGet, ResumeAppends206AndRewritesOn200) {
  const std::string body = Pattern(2000);
  for (bool honour : {true, false}) {
    Server server([&](const std::string& req, int) {
      if (honour && req.find("Range: bytes=700-") != std::string::npos)
        return Script{Send(Reply("206 Partial Content",
                                 "Content-Length: 1300\r\nContent-Range: bytes 700-1999/2000\r\n", body.substr(700)))};
      return Script{Send(Ok(body))};
    });
    auto d = MakeDownLoad(DOWNLOAD_HTTPGET);
    Fresh("get_r.bin");
    WriteFileBytes("get_r.bin_0", body.substr(0, 700));
    ASSERT_EQ(0, Get(*d, server.Url("/r.bin"), "get_r.bin"));
    EXPECT_EQ(body, ReadFileBytes("get_r.bin")) << honour;
    EXPECT_EQ(GetRequest("/r.bin", "bytes=700-"), server.Requests()[0]);
  }
}

TEST(HttpGet, RangeRefusedDropsThePartFile) {
  const std::string body = Pattern(500);
  Server server([&](const std::string& req, int) {
    if (req.find("bytes=0-") == std::string::npos)
      return Script{Send(Reply("416 Range Not Satisfiable", "Content-Length: 0\r\n", ""))};
    return Script{Send(Ok(body))};
  });
  auto d = MakeDownLoad(DOWNLOAD_HTTPGET);
  Fresh("get_416.bin");
  WriteFileBytes("get_416.bin_0", Pattern(900));
  ASSERT_EQ(0, Get(*d, server.Url("/x"), "get_416.bin"));
  EXPECT_EQ(body, ReadFileBytes("get_416.bin"));
  EXPECT_EQ(2, server.RequestCount());
}

TEST(HttpGet, ShortBodyIsAFailureAndTheNextTryResumes) {
  const std::string body = Pattern(4000);
  Server server([&](const std::string& req, int index) {
    if (index == 0) return Script{Send(Reply("200 OK", "Content-Length: 4000\r\n", body.substr(0, 1500)))};
    if (req.find("Range: bytes=1500-") != std::string::npos)
      return Script{Send(Reply("206 Partial Content", "Content-Length: 2500\r\n", body.substr(1500)))};
    return Script{Send(Reply("500 Bad", "Content-Length: 0\r\n", ""))};
  });
  auto d = MakeDownLoad(DOWNLOAD_HTTPGET);
  Fresh("get_s.bin");
  testsupport::ReportCapture reports;
  ASSERT_EQ(0, Get(*d, server.Url("/s"), "get_s.bin"));
  EXPECT_EQ(body, ReadFileBytes("get_s.bin"));
  EXPECT_TRUE(reports.Contains("下载失败,错误代码:4"));
}

TEST(HttpGet, BadAnswersFailWithoutAFile) {
  const std::string big = std::string(1100, 'h');
  const std::vector<std::string> answers = {
      Reply("200 OK", "", "body"),                                  // no Content-Length
      Reply("200 OK", "Content-Length: -4\r\n", "body"),
      Reply("200 OK", "Content-Length: 4x\r\n", "body"),
      Reply("200 OK", "Content-Length: 99999999999\r\n", "body"),
      Reply("200 OK", "Transfer-Encoding: chunked\r\n", "4\r\nbody\r\n0\r\n\r\n"),
      "HTTP/1.1 200\r\nContent-Length: 4\r\n\r\nbody",              // no reason phrase
      "garbage\r\n\r\n",
      "HTTP/1.1 200 OK\r\nX-Big: " + big + "\r\nContent-Length: 4\r\n\r\nbody",  // header over the limit
      "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n",                   // closed inside the header
      "",                                                           // closed at once
      Reply("302 Found", "", ""),                                   // redirect without Location
      Reply("200 OK", "Content-Length: 8\r\n", "body"),             // shorter than announced
  };
  for (size_t i = 0; i < answers.size(); ++i) {
    Server server([&](const std::string&, int) { return Script{Send(answers[i])}; });
    auto d = MakeDownLoad(DOWNLOAD_HTTPGET);
    Fresh("get_bad.bin");
    EXPECT_EQ(3, Get(*d, server.Url("/b"), "get_bad.bin")) << i;
    EXPECT_FALSE(FileExists("get_bad.bin")) << i;
    // Nothing of a header ever reaches the part file.
    std::string part = ReadFileBytes("get_bad.bin_0");
    EXPECT_TRUE(part.empty() || part == "body") << i << ": " << part.substr(0, 20);
  }
}

TEST(HttpGet, EmptyBodyIsAnEmptyFile) {
  Server server([&](const std::string&, int) { return Script{Send(Ok(""))}; });
  auto d = MakeDownLoad(DOWNLOAD_HTTPGET);
  Fresh("get_e.bin");
  ASSERT_EQ(0, Get(*d, server.Url("/e"), "get_e.bin"));
  EXPECT_TRUE(FileExists("get_e.bin"));
  EXPECT_EQ("", ReadFileBytes("get_e.bin"));
}

TEST(HttpGet, AttemptCountsOfTheFactoryMaximum) {
  struct Case {
    std::string answer;
    int requests;
  } cases[] = {
      {Reply("503 Busy", "Content-Length: 0\r\n", ""), 5},
      {Reply("404 Not Found", "Content-Length: 0\r\n", ""), 3},
      {Reply("302 Found", "Location: /loop\r\n", ""), 5},  // followed 4 times
  };
  for (const Case& c : cases) {
    Server server([&](const std::string&, int) { return Script{Send(c.answer)}; });
    auto d = MakeDownLoad(DOWNLOAD_HTTPGET);
    Fresh("get_n.bin");
    EXPECT_EQ(3, Get(*d, server.Url("/loop"), "get_n.bin"));
    EXPECT_EQ(c.requests, server.RequestCount()) << c.answer;
    // The failures stay with the object: a later call stops after one request.
    EXPECT_EQ(3, Get(*d, server.Url("/loop"), "get_n.bin"));
    EXPECT_EQ(c.requests + 1, server.RequestCount()) << c.answer;
  }
}

TEST(HttpGet, RedirectsSendTheReferer) {
  const std::string body = Pattern(100);
  Server other([&](const std::string&, int) { return Script{Send(Ok(body))}; });
  Server server([&](const std::string& req, int) {
    if (req.find("GET /d/e/f.zip ") == 0) return Script{Send(Reply("301 Moved", "Location: ../a.zip\r\n", ""))};
    if (req.find("GET /d/a.zip ") == 0)
      return Script{Send(Reply("302 Found", "LOCATION: " + other.Url("/z.bin") + "\r\n", ""))};
    return Script{Send(Reply("404 No", "Content-Length: 0\r\n", ""))};
  });
  auto d = MakeDownLoad(DOWNLOAD_HTTPGET);
  Fresh("get_red.bin");
  ASSERT_EQ(0, Get(*d, server.Url("/d/e/f.zip"), "get_red.bin"));
  EXPECT_EQ(body, ReadFileBytes("get_red.bin"));
  ASSERT_EQ(2, server.RequestCount());
  EXPECT_EQ(GetRequest("/d/a.zip", "bytes=0-", server.Url("/d/e/f.zip")), server.Requests()[1]);
  ASSERT_EQ(1, other.RequestCount());
  EXPECT_EQ(GetRequest("/z.bin", "bytes=0-", server.Url("/d/a.zip")), other.Requests()[0]);
}

TEST(HttpGet, LengthProbeUsesTheCallersRange) {
  const std::string body = Pattern(300);
  Server server([&](const std::string&, int) { return Script{Send(Ok(body))}; });
  auto d = MakeDownLoad(DOWNLOAD_HTTPGET);
  Fresh("get_p.bin");
  ASSERT_EQ(0, d->Download(server.Url("/p").c_str(), "get_p.bin", nullptr, 5, 9, 0, 0, 1, 2));
  ASSERT_EQ(2, server.RequestCount());
  EXPECT_EQ(GetRequest("/p", "bytes=5-9"), server.Requests()[0]);
  EXPECT_EQ(GetRequest("/p", "bytes=0-"), server.Requests()[1]);
  EXPECT_EQ(body, ReadFileBytes("get_p.bin"));
}

TEST(HttpGet, BrokenAndStalledBodies) {
  const std::string body = Pattern(3000);
  // A reset mid-body drops the part file; a stall ends in a time-out that keeps it.
  // The time-out is long against a busy server's answer and short against
  // the stall, which lasts until the server stops.
  for (bool reset : {true, false}) {
    Server server([&](const std::string&, int) {
      Script s{Send(Reply("200 OK", "Content-Length: 3000\r\n", body.substr(0, 1000))), Stall(300)};
      s.push_back(reset ? Reset() : Stall(300000));
      return s;
    });
    auto d = MakeDownLoad(DOWNLOAD_HTTPGET, 5000);
    d->SetRetry(DOWNLOAD_RETRY_LIMITED, 0, 1);
    Fresh("get_br.bin");
    testsupport::ReportCapture reports;
    EXPECT_EQ(3, Get(*d, server.Url("/br"), "get_br.bin"));
    EXPECT_TRUE(reports.Contains("下载失败,错误代码:4"));
    EXPECT_FALSE(FileExists("get_br.bin"));
    if (reset)
      EXPECT_FALSE(FileExists("get_br.bin_0"));
    else
      EXPECT_EQ(body.substr(0, 1000), ReadFileBytes("get_br.bin_0"));
  }
}

TEST(HttpGet, WriteFailureAndRefusedConnect) {
  const std::string body = Pattern(5000);
  Server server([&](const std::string&, int) { return Script{Send(Ok(body))}; });
  auto d = MakeDownLoad(DOWNLOAD_HTTPGET);
  Fresh("get_w.bin");
  SetDownLoadWriteHook([](const char*, uint64_t offset, uint32_t) { return offset >= 4096; });
  testsupport::ReportCapture reports;
  EXPECT_EQ(3, Get(*d, server.Url("/w"), "get_w.bin"));
  SetDownLoadWriteHook(nullptr);
  EXPECT_TRUE(reports.Contains("下载失败,错误代码:5"));
  EXPECT_EQ(3, server.RequestCount());
  EXPECT_FALSE(FileExists("get_w.bin"));

  uint16_t closedPort;
  { Server gone([](const std::string&, int) { return Script{}; }); closedPort = gone.Port(); }
  reports.Clear();
  EXPECT_EQ(3, Get(*d, "127.0.0.1:" + std::to_string(closedPort) + "/x", "get_w.bin"));
  EXPECT_TRUE(reports.Contains("下载失败,错误代码:1"));
}

TEST(HttpGet, FactoryDefaultsAndInterfaceDefaults) {
  for (int type : {2, 3, -1}) {
    std::unique_ptr<IDownLoad> d(CreateDownLoad(type));
    EXPECT_NE(nullptr, dynamic_cast<CHttpDownload*>(d.get())) << type;
  }
  std::unique_ptr<IDownLoad> d(CreateDownLoad(DOWNLOAD_HTTPGET));
  CHttpGet* get = dynamic_cast<CHttpGet*>(d.get());
  ASSERT_NE(nullptr, get);
  EXPECT_EQ(3u, get->MaxTries());
  d->SetRetry(DOWNLOAD_RETRY_LIMITED, 0, 0);
  EXPECT_EQ(10u, get->MaxTries());
  EXPECT_FALSE(d->GetKeepAlive());
  static int calls = 0;
  d->SetProgressCallback([](int32_t, int32_t) { ++calls; });
  d->Cancel();
  Server server([&](const std::string&, int) { return Script{Send(Ok(Pattern(100)))}; });
  Fresh("get_f.bin");
  EXPECT_EQ(0, Get(*d, server.Url("/f"), "get_f.bin"));  // cancel has no effect
  EXPECT_EQ(0, calls);
}
