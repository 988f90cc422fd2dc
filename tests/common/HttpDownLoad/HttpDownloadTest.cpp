#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "DownLoadTestUtil.h"
#include "TestHttpServer.h"
#include "support/TestSupport.h"
#include "common/HttpDownLoad/DownLoadFile.h"
#include "common/HttpDownLoad/HttpDownload.h"

using namespace testhttp;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

const char* const kLastModified = "Wed, 15 Jun 2022 10:20:30 GMT";

std::string Dated(const std::string& body, const std::string& extra = "") {
  return Reply("200 OK",
               "Content-Length: " + std::to_string(body.size()) + "\r\nLast-Modified: " + kLastModified + "\r\n" + extra,
               body);
}

void SetMTime(const char* path, int64_t seconds) {
  HANDLE h = CreateFileA(path, FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  uint64_t t = static_cast<uint64_t>(seconds + 11644473600ll) * 10000000ull;
  FILETIME ft = {static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
  SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
}

}  // namespace

TEST(HttpDownload, RequestBytesUtf8PathAndLastModified) {
  const std::string body = Pattern(300);
  Server server([&](const std::string&, int) { return Script{Send(Dated(body))}; });
  auto d = MakeDownLoad(DOWNLOAD_HTTP);
  Fresh("http_a.bin");
  ASSERT_EQ(0, Fetch(*d, server.Url("/Dir\\中文.bin"), "  http_a.bin "));
  EXPECT_EQ(body, ReadFileBytes("http_a.bin"));
  EXPECT_FALSE(FileExists("http_a.bin.temp"));
  EXPECT_EQ(ServedSeconds(), FileSeconds("http_a.bin"));
  ASSERT_EQ(1, server.RequestCount());
  EXPECT_EQ("GET /dir/\xE4\xB8\xAD\xE6\x96\x87.bin HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\nPragma: no-cache\r\n"
            "Cache-Control: no-cache\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
            "Connection: close\r\n\r\n",
            server.Requests()[0]);
}

TEST(HttpDownload, UpToDateWithinTwoSeconds) {
  const std::string body = Pattern(200);
  Server server([&](const std::string&, int) { return Script{Send(Dated(body))}; });
  auto d = MakeDownLoad(DOWNLOAD_HTTP);
  for (int offset : {2, -2, 3}) {
    Fresh("http_u.bin");
    WriteFileBytes("http_u.bin", Pattern(200).replace(0, 1, "#"));
    SetMTime("http_u.bin", ServedSeconds() + offset);
    int expect = offset == 3 ? 0 : 1;
    EXPECT_EQ(expect, Fetch(*d, server.Url("/u"), "http_u.bin", 0)) << offset;
    EXPECT_EQ(expect == 0, ReadFileBytes("http_u.bin") == body) << offset;
  }
}

TEST(HttpDownload, TemporaryFileResumeRewriteAndRefusal) {
  const std::string body = Pattern(900);
  struct Case {
    const char* name;
    std::string held;  // what .temp holds before the call
    int force;
    std::function<std::string(const std::string&)> answer;
    const char* range;  // the Range line expected in the first request, or ""
    int result;
  } cases[] = {
      {"206 appends", body.substr(0, 400), 0,
       [&](const std::string&) {
         return Reply("206 Partial", "Content-Length: 500\r\nContent-Range: bytes 400-899/900\r\n", body.substr(400));
       },
       "Range: bytes=400-\r\n", 0},
      {"200 rewrites", Pattern(400), 0, [&](const std::string&) { return Ok(body); }, "Range: bytes=400-\r\n", 0},
      {"longer temp is cut", Pattern(5000), 1, [&](const std::string&) { return Ok(body); }, "", 0},
      // Refused rather than spliced: the header is not usable.
      {"206 of another range", Pattern(400), 0,
       [&](const std::string& r) {
         if (r.find("Range:") == std::string::npos) return Ok(body);
         return Reply("206 Partial", "Content-Length: 500\r\nContent-Range: bytes 300-799/900\r\n", body.substr(300, 500));
       },
       "Range: bytes=400-\r\n", 3},
      {"416 starts over", Pattern(4000), 0,
       [&](const std::string& r) {
         if (r.find("Range:") != std::string::npos) return Reply("416 Range", "Content-Length: 0\r\n", "");
         return Ok(body);
       },
       "Range: bytes=4000-\r\n", 0},
  };
  for (const Case& c : cases) {
    Server server([&](const std::string& r, int) { return Script{Send(c.answer(r))}; });
    auto d = MakeDownLoad(DOWNLOAD_HTTP);
    Fresh("http_t.bin");
    WriteFileBytes("http_t.bin.temp", c.held);
    ASSERT_EQ(c.result, Fetch(*d, server.Url("/t"), "http_t.bin", c.force)) << c.name;
    EXPECT_EQ(c.result == 0 ? body : "", ReadFileBytes("http_t.bin")) << c.name;
    const std::string first = server.Requests()[0];
    if (*c.range)
      EXPECT_NE(std::string::npos, first.find(c.range)) << c.name;
    else
      EXPECT_EQ(std::string::npos, first.find("Range:")) << c.name;
  }
}

TEST(HttpDownload, FailuresAndRetryCounts) {
  struct Case {
    const char* name;
    std::string answer;
    int result;
    int requests;
  } cases[] = {
      {"404", Reply("404 No", "Content-Length: 0\r\n", ""), 3, 1},
      {"503 retried by policy", Reply("503 Busy", "Content-Length: 0\r\n", ""), 3, 4},
      {"length 0", Ok(""), 3, 1},
      {"no length", Reply("200 OK", "", "abc"), 3, 1},
      {"negative length", Reply("200 OK", "Content-Length: -3\r\n", "abc"), 3, 1},
      {"garbage length", Reply("200 OK", "Content-Length: 3 bytes\r\n", "abc"), 3, 1},
      {"chunked", Reply("200 OK", "Transfer-Encoding: chunked\r\n", "3\r\nabc\r\n0\r\n\r\n"), 3, 1},
      {"no reason phrase", "HTTP/1.1 200\r\nContent-Length: 3\r\n\r\nabc", 3, 1},
      {"not http", "hello\r\n\r\n", 3, 1},
      {"redirect without location", Reply("302 Found", "Content-Length: 0\r\n", ""), 3, 1},
      {"redirect loop is capped", Reply("302 Found", "Location: /again\r\n", ""), 3, 11},
      {"header over 64 KiB", "HTTP/1.1 200 OK\r\n" + std::string(70000, 'x') + "\r\n\r\n", 3, 1},
      {"closed before the status", "", 3, 4},
      // The first cut is continued for free (the file grew), the same cut again costs the tries.
      {"body cut short every time", Reply("200 OK", "Content-Length: 50\r\n", "abc"), 3, 5},
  };
  for (const Case& c : cases) {
    Server server([&](const std::string&, int) { return Script{Send(c.answer)}; });
    auto d = MakeDownLoad(DOWNLOAD_HTTP);
    Fresh("http_f.bin");
    EXPECT_EQ(c.result, Fetch(*d, server.Url("/f"), "http_f.bin")) << c.name;
    EXPECT_EQ(c.requests, server.RequestCount()) << c.name;
    EXPECT_FALSE(FileExists("http_f.bin")) << c.name;
  }
}

TEST(HttpDownload, BodyEndsEarlyThenResumes) {
  const std::string body = Pattern(1200);
  // First a stall that ends in the receive time-out, then a close without one.
  for (bool stall : {true, false}) {
    Server server([&](const std::string& req, int index) {
      if (index == 0) {
        Script s{Send(Reply("200 OK", "Content-Length: 1200\r\n", body.substr(0, 500)))};
        if (stall) s.push_back(Stall(300000));
        return s;
      }
      if (req.find("Range: bytes=500-\r\n") != std::string::npos)
        return Script{Send(Reply("206 Partial", "Content-Length: 700\r\n", body.substr(500)))};
      return Script{Send(Reply("500 Wrong", "Content-Length: 0\r\n", ""))};
    });
    auto d = MakeDownLoad(DOWNLOAD_HTTP, 5000);
    Fresh("http_r.bin");
    ASSERT_EQ(0, d->Download(server.Url("/r").c_str(), "http_r.bin", nullptr, 0, 0, stall ? 1 : 0, 0, 1, 1)) << stall;
    EXPECT_EQ(body, ReadFileBytes("http_r.bin")) << stall;
    EXPECT_EQ(2, server.RequestCount());
  }
}

TEST(HttpDownload, ExtraBytesAreNotWrittenAndTheConnectionIsDropped) {
  Server server([&](const std::string&, int) { return Script{Send(Ok("hello") + "JUNKJUNK"), Keep()}; });
  auto d = MakeDownLoad(DOWNLOAD_HTTP);
  d->SetKeepAlive(true);
  Fresh("http_x.bin");
  ASSERT_EQ(0, Fetch(*d, server.Url("/x"), "http_x.bin"));
  ASSERT_EQ(0, Fetch(*d, server.Url("/x"), "http_x.bin"));
  EXPECT_EQ("hello", ReadFileBytes("http_x.bin"));
  EXPECT_EQ(2, server.Connections());
}

TEST(HttpDownload, KeepAliveConnectionsAndRedirectToAnotherPort) {
  const std::string body = Pattern(100);
  Server other([&](const std::string&, int) { return Script{Send(Ok(body)), Keep()}; });
  Server server([&](const std::string& req, int) {
    if (req.find("GET /away") == 0)
      return Script{Send(Reply("301 Moved", "Location: " + other.Url("/o") + "\r\nContent-Length: 0\r\n", "")), Keep()};
    return Script{Send(Ok(body)), Keep()};
  });
  auto d = MakeDownLoad(DOWNLOAD_HTTP);
  d->SetKeepAlive(true);
  Fresh("http_k.bin");
  ASSERT_EQ(0, Fetch(*d, server.Url("/a"), "http_k.bin"));
  ASSERT_EQ(0, Fetch(*d, server.Url("/b"), "http_k.bin"));
  EXPECT_EQ(1, server.Connections());
  EXPECT_NE(std::string::npos, server.Requests()[1].find("Connection: Keep-Alive\r\n"));
  // Same host, other port: a new connection.
  ASSERT_EQ(0, Fetch(*d, other.Url("/c"), "http_k.bin"));
  EXPECT_EQ(1, other.Connections());
  ASSERT_EQ(0, Fetch(*d, server.Url("/away"), "http_k.bin"));
  EXPECT_EQ(body, ReadFileBytes("http_k.bin"));
  EXPECT_EQ(2, other.Connections());
  EXPECT_NE(std::string::npos, other.Requests().back().find("Referer: " + server.Url("/away") + "\r\n"));
  d->CloseConnection();
}

TEST(HttpDownload, CancelFromAnotherThreadIsPrompt) {
  // Stalled in the body, and before the status line, past the download's
  // time-out; a cancel that waited for either would take 45 s or more.
  const Script stalls[] = {{Send(Reply("200 OK", "Content-Length: 1000\r\n", Pattern(100))), Stall(300000)},
                           {Stall(300000)}};
  for (const Script& stall : stalls) {
    Server server([&](const std::string&, int) { return stall; });
    auto d = MakeDownLoad(DOWNLOAD_HTTP, 45000);
    Fresh("http_c.bin");
    std::atomic<DWORD> cancelledAt(0);
    testing::AssertionResult asked = testing::AssertionSuccess();
    std::thread canceller([&] {
      // Once the server has the request, the download waits on the stall.
      asked = testsupport::WaitFor("the download's request", [&] { return server.RequestCount() > 0; });
      cancelledAt = GetTickCount();
      d->Cancel();
    });
    EXPECT_EQ(2, Fetch(*d, server.Url("/c"), "http_c.bin")) << stall.size();
    const DWORD ended = GetTickCount();
    canceller.join();
    EXPECT_TRUE(asked);
    EXPECT_LT(ended - cancelledAt, 30000u) << "ms from the cancel to the end, " << stall.size() << " steps";
    EXPECT_FALSE(FileExists("http_c.bin"));
  }
}

TEST(HttpDownload, WriteFailureCostsATry) {
  Server server([&](const std::string&, int) { return Script{Send(Ok(Pattern(300)))}; });
  auto d = MakeDownLoad(DOWNLOAD_HTTP);
  Fresh("http_w.bin");
  SetDownLoadWriteHook([](const char*, uint64_t, uint32_t) { return true; });
  EXPECT_EQ(3, Fetch(*d, server.Url("/w"), "http_w.bin"));
  SetDownLoadWriteHook(nullptr);
  EXPECT_EQ(4, server.RequestCount());
}

TEST(HttpDownload, ProgressAndInvalidLastModified) {
  // More than the receive ring holds: two reads at least, whenever a slow
  // client gets to the sends.
  const std::string body = Pattern(150000);
  Server server([&](const std::string&, int) {
    return Script{Send(Reply("200 OK", "Content-Length: 150000\r\nLast-Modified: wed, 99 jun 2022 10:20:30 gmt\r\n",
                             body.substr(0, 200))),
                  Stall(200), Send(body.substr(200))};
  });
  auto d = MakeDownLoad(DOWNLOAD_HTTP);
  static std::vector<std::pair<int32_t, int32_t>> calls;
  calls.clear();
  d->SetProgressCallback([](int32_t total, int32_t done) { calls.emplace_back(total, done); });
  d->SetNotify(GetDesktopWindow(), 0, 1, 1);
  Fresh("http_p.bin");
  int64_t before = static_cast<int64_t>(time(nullptr));
  ASSERT_EQ(0, Fetch(*d, server.Url("/p"), "http_p.bin"));
  EXPECT_GE(FileSeconds("http_p.bin"), before - 2);  // no valid date: now
  ASSERT_GE(calls.size(), 5u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(std::make_pair(150000, 0), calls[i]);
  int32_t sum = 0;
  for (size_t i = 3; i < calls.size(); ++i) sum += calls[i].second;  // delta mode
  EXPECT_EQ(150000, sum);

  calls.clear();
  d->SetNotify(nullptr, 0, 1, 0);  // no live window: no progress
  ASSERT_EQ(0, Fetch(*d, server.Url("/p"), "http_p.bin"));
  EXPECT_TRUE(calls.empty());
}

TEST(HttpDownload, ResumeNeverSplicesStaleBytes) {
  const std::string body = Pattern(1200);
  auto partial = [&](size_t from) {
    return Reply("206 Partial",
                 "Content-Length: " + std::to_string(1200 - from) + "\r\nContent-Range: bytes " + std::to_string(from) +
                     "-1199/1200\r\n",
                 body.substr(from));
  };
  // A time-out at 300, then a break at 700 without one: each next request
  // continues after the bytes held, and none is fetched twice.
  Server server([&](const std::string& req, int index) {
    if (index == 0) return Script{Send(Reply("200 OK", "Content-Length: 1200\r\n", body.substr(0, 300))), Stall(300000)};
    if (index == 1) return Script{Send(partial(300).substr(0, partial(300).size() - 500))};
    return Script{Send(partial(700))};
  });
  auto d = MakeDownLoad(DOWNLOAD_HTTP, 5000);
  d->SetRetry(DOWNLOAD_RETRY_NONE, 0, 0);  // a resume spends no try
  Fresh("http_splice.bin");
  ASSERT_EQ(0, Fetch(*d, server.Url("/s"), "http_splice.bin"));
  EXPECT_EQ(body, ReadFileBytes("http_splice.bin"));
  ASSERT_EQ(3, server.RequestCount());
  EXPECT_NE(std::string::npos, server.Requests()[1].find("Range: bytes=300-\r\n"));
  EXPECT_NE(std::string::npos, server.Requests()[2].find("Range: bytes=700-\r\n"));

  // The caller's range continues nothing: an old temporary file is not kept.
  Server ranged([&](const std::string&, int) { return Script{Send(partial(100))}; });
  Fresh("http_splice.bin");
  WriteFileBytes("http_splice.bin.temp", std::string(500, 'z'));
  ASSERT_EQ(0, d->Download(ranged.Url("/s").c_str(), "http_splice.bin", nullptr, 100, 0, 1, 0, 1, 1));
  EXPECT_EQ(body.substr(100), ReadFileBytes("http_splice.bin"));
}
