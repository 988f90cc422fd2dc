// Faults of the socket downloaders against the scripted loopback server:
// every Location form, servers that fail the first k requests, stalls that
// end in a close, trickled bodies, resets, a listener that never accepts,
// and kept connections the server drops.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "DownLoadTestUtil.h"
#include "TestHttpServer.h"
#include "support/TestSupport.h"

using namespace testhttp;
using testsupport::FileExists;
using testsupport::ReadFileBytes;

namespace {

const int kSocketTypes[] = {DOWNLOAD_HTTPGET, DOWNLOAD_HTTP};

const char* TypeName(int type) {
  return type == DOWNLOAD_HTTPGET ? "httpget" : type == DOWNLOAD_HTTP ? "http" : "inet";
}

std::string FirstLine(const std::string& request) { return request.substr(0, request.find("\r\n")); }

std::string Field(const std::string& request, const std::string& name) {
  size_t at = request.find("\r\n" + name + ": ");
  if (at == std::string::npos) return "";
  at += name.size() + 4;
  return request.substr(at, request.find("\r\n", at) - at);
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A downloader that ignored the caller's short time-out would wait out its
// own default of 10 s at least once. A loaded machine may stall one run for
// a while too, so the quickest of a few runs counts.
const double kUnderDefaultTimeout = 5.0;
double QuickestSeconds(const std::function<void()>& run) {
  double quickest = 1e9;
  for (int i = 0; i < 3 && quickest >= kUnderDefaultTimeout; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    run();
    quickest = std::min(quickest, Seconds(t0));
  }
  return quickest;
}

}  // namespace

TEST(FaultServer, EveryLocationFormLeadsToItsTarget) {
  const std::string body = Pattern(700);
  Server other([&](const std::string&, int) { return Script{Send(Ok(body))}; });
  std::string location;
  Server server([&](const std::string& req, int) {
    if (FirstLine(req) == "GET /d/e/f.zip HTTP/1.1")
      return Script{Send(Reply("302 Found", "Location: " + location + "\r\nContent-Length: 0\r\n", ""))};
    return Script{Send(Ok(body))};
  });
  const std::string port = std::to_string(server.Port());
  struct Form {
    const char* name;
    std::string location;
    Server* lands;
    const char* host;
    const char* path;
  } forms[] = {
      {"absolute, same host", "http://127.0.0.1:" + port + "/abs/x.bin", &server, "127.0.0.1", "/abs/x.bin"},
      {"absolute, other host name", "http://localhost:" + port + "/y.bin", &server, "localhost", "/y.bin"},
      {"absolute, other port", other.Url("/o.bin"), &other, "127.0.0.1", "/o.bin"},
      {"upper case", "HTTP://127.0.0.1:" + port + "/UP/Q.BIN", &server, "127.0.0.1", "/up/q.bin"},
      {"root path", "/top/z.bin", &server, "127.0.0.1", "/top/z.bin"},
      {"backslashes", "\\b\\s.bin", &server, "127.0.0.1", "/b/s.bin"},
      {"relative", "r.bin", &server, "127.0.0.1", "/d/e/r.bin"},
      {"one up", "../u.bin", &server, "127.0.0.1", "/d/u.bin"},
      {"beyond the root", "../../../../w.bin", &server, "127.0.0.1", "/w.bin"},
  };
  for (int type : kSocketTypes) {
    for (const Form& f : forms) {
      location = f.location;
      auto d = MakeDownLoad(type);
      Fresh("fs_loc.bin");
      size_t before = f.lands->Requests().size();
      ASSERT_EQ(0, Fetch(*d, server.Url("/d/e/f.zip"), "fs_loc.bin")) << TypeName(type) << ": " << f.name;
      EXPECT_EQ(body, ReadFileBytes("fs_loc.bin")) << f.name;
      std::vector<std::string> log = f.lands->Requests();
      ASSERT_GT(log.size(), before) << f.name;
      EXPECT_EQ(std::string("GET ") + f.path + " HTTP/1.1", FirstLine(log.back())) << TypeName(type) << ": " << f.name;
      EXPECT_EQ(f.host, Field(log.back(), "Host")) << f.name;
      EXPECT_EQ(server.Url("/d/e/f.zip"), Field(log.back(), "Referer")) << f.name;
    }
  }
}

TEST(FaultServer, RedirectChainAcrossServers) {
  const std::string body = Pattern(300);
  Server other([&](const std::string&, int) { return Script{Send(Ok(body))}; });
  // A root path, then a relative Location that starts from where it led.
  Server server([&](const std::string& req, int) {
    const std::string line = FirstLine(req);
    if (line == "GET /chain/1 HTTP/1.1") return Script{Send(Reply("301 Moved", "Location: /deep/er/2\r\n", ""))};
    if (line == "GET /deep/er/2 HTTP/1.1") return Script{Send(Reply("301 Moved", "Location: 3\r\n", ""))};
    return Script{Send(Reply("302 Found", "Location: " + other.Url("/end.bin") + "\r\n", ""))};
  });
  for (int type : kSocketTypes) {
    auto d = MakeDownLoad(type);
    Fresh("fs_chain.bin");
    ASSERT_EQ(0, Fetch(*d, server.Url("/chain/1"), "fs_chain.bin")) << TypeName(type);
    EXPECT_EQ(body, ReadFileBytes("fs_chain.bin"));
    EXPECT_EQ("GET /deep/er/3 HTTP/1.1", FirstLine(server.Requests().back())) << TypeName(type);
    EXPECT_EQ(server.Url("/deep/er/2"), Field(server.Requests().back(), "Referer")) << TypeName(type);
    EXPECT_EQ(server.Url("/deep/er/3"), Field(other.Requests().back(), "Referer")) << TypeName(type);
  }
}

TEST(FaultServer, ServersThatFailTheFirstRequests) {
  const std::string body = Pattern(500);
  struct Case {
    int type;
    int policy;
    int failing;        // the first k requests get `failure`
    std::string failure;
    int result;
    int requests;
  } cases[] = {
      // The plain GET: a try per failure plus one more for server errors.
      {DOWNLOAD_HTTPGET, 1, 2, Reply("503 Busy", "Content-Length: 0\r\n", ""), 0, 3},
      {DOWNLOAD_HTTPGET, 1, 4, Reply("503 Busy", "Content-Length: 0\r\n", ""), 0, 5},
      {DOWNLOAD_HTTPGET, 1, 5, Reply("503 Busy", "Content-Length: 0\r\n", ""), 3, 5},
      {DOWNLOAD_HTTPGET, 1, 2, "", 0, 3},  // closed before the status line
      // The HTTP client by its policy: 1 = 3 tries, 2 = without limit, 0 = none.
      {DOWNLOAD_HTTP, 1, 3, Reply("503 Busy", "Content-Length: 0\r\n", ""), 0, 4},
      {DOWNLOAD_HTTP, 1, 4, Reply("503 Busy", "Content-Length: 0\r\n", ""), 3, 4},
      {DOWNLOAD_HTTP, 2, 6, Reply("503 Busy", "Content-Length: 0\r\n", ""), 0, 7},
      {DOWNLOAD_HTTP, 0, 1, Reply("503 Busy", "Content-Length: 0\r\n", ""), 3, 1},
      {DOWNLOAD_HTTP, 1, 2, "", 0, 3},
  };
  for (const Case& c : cases) {
    Server server([&](const std::string&, int index) {
      return Script{Send(index < c.failing ? c.failure : Ok(body))};
    });
    auto d = MakeDownLoad(c.type);
    d->SetRetry(c.policy, 0, 3);
    Fresh("fs_k.bin");
    EXPECT_EQ(c.result, Fetch(*d, server.Url("/k"), "fs_k.bin")) << TypeName(c.type) << " k=" << c.failing;
    EXPECT_EQ(c.requests, server.RequestCount()) << TypeName(c.type) << " k=" << c.failing;
    EXPECT_EQ(c.result == 0, FileExists("fs_k.bin"));
    if (c.result == 0) {
      EXPECT_EQ(body, ReadFileBytes("fs_k.bin"));
    }
  }
}

TEST(FaultServer, StallsInTheHeaderEndInAFailure) {
  // Each stall lasts until the server stops: only the caller's receive
  // time-out ends the download.
  const std::string stalls[] = {"", "HTTP/1.1 200 OK\r\nContent-Le"};
  for (int type : kSocketTypes) {
    for (const std::string& sent : stalls) {
      const double took = QuickestSeconds([&] {
        Server server([&](const std::string&, int) { return Script{Send(sent), Stall(300000)}; });
        auto d = MakeDownLoad(type, 400);
        d->SetRetry(DOWNLOAD_RETRY_LIMITED, 0, 1);
        Fresh("fs_stall.bin");
        EXPECT_EQ(3, Fetch(*d, server.Url("/s"), "fs_stall.bin")) << TypeName(type) << ": " << sent;
      });
      EXPECT_LT(took, kUnderDefaultTimeout) << TypeName(type) << ": the caller's time-out never fired";
      EXPECT_FALSE(FileExists("fs_stall.bin"));
      // Nothing of a header is ever written.
      EXPECT_EQ("", ReadFileBytes(type == DOWNLOAD_HTTPGET ? "fs_stall.bin_0" : "fs_stall.bin.temp"));
    }
  }
}

TEST(FaultServer, TrickledBodiesArriveWhole) {
  const std::string body = Pattern(2000);
  Server server([&](const std::string&, int) {
    Script s{Send(Reply("200 OK", "Content-Length: 2000\r\n", ""))};
    for (size_t at = 0; at < body.size(); at += 100) {
      s.push_back(Stall(10));
      s.push_back(Send(body.substr(at, 100)));
    }
    return s;
  });
  for (int type : {DOWNLOAD_INET, DOWNLOAD_HTTPGET, DOWNLOAD_HTTP}) {
    auto d = MakeDownLoad(type);
    Fresh("fs_trickle.bin");
    ASSERT_EQ(0, Fetch(*d, server.Url("/t"), "fs_trickle.bin")) << TypeName(type);
    EXPECT_EQ(body, ReadFileBytes("fs_trickle.bin")) << TypeName(type);
  }
}

TEST(FaultServer, ResetMidBodyResumesTheTemporaryFile) {
  const std::string body = Pattern(1500);
  Server server([&](const std::string& req, int index) {
    if (index == 0) return Script{Send(Reply("200 OK", "Content-Length: 1500\r\n", body.substr(0, 600))), Stall(200), Reset()};
    if (Field(req, "Range") == "bytes=600-")
      return Script{Send(Reply("206 Partial", "Content-Length: 900\r\nContent-Range: bytes 600-1499/1500\r\n",
                               body.substr(600)))};
    return Script{Send(Reply("500 Wrong", "Content-Length: 0\r\n", ""))};
  });
  auto d = MakeDownLoad(DOWNLOAD_HTTP);
  d->SetRetry(DOWNLOAD_RETRY_NONE, 0, 0);  // the file grew: no try is used
  Fresh("fs_rst.bin");
  ASSERT_EQ(0, Fetch(*d, server.Url("/rst"), "fs_rst.bin", 0));
  EXPECT_EQ(body, ReadFileBytes("fs_rst.bin"));
  EXPECT_EQ(2, server.RequestCount());
}

TEST(FaultServer, BodyThatNeverGrowsUsesTheTries) {
  // A server that ignores Range and always breaks off at the same byte.
  Server server([&](const std::string&, int) {
    return Script{Send(Reply("200 OK", "Content-Length: 900\r\n", Pattern(300)))};
  });
  auto d = MakeDownLoad(DOWNLOAD_HTTP);
  Fresh("fs_same.bin");
  EXPECT_EQ(3, Fetch(*d, server.Url("/same"), "fs_same.bin", 0));
  EXPECT_EQ(5, server.RequestCount());  // one free retry after the first growth, then 3 tries
  EXPECT_FALSE(FileExists("fs_same.bin"));
  EXPECT_EQ(Pattern(300), ReadFileBytes("fs_same.bin.temp"));
}

TEST(FaultServer, ConnectToAListenerThatNeverAccepts) {
  const double took = QuickestSeconds([] {
    Server server([](const std::string&, int) { return Script{}; }, 0, false);
    ASSERT_TRUE(server.FillBacklog());
    auto d = MakeDownLoad(DOWNLOAD_HTTP, 300);
    d->SetRetry(DOWNLOAD_RETRY_LIMITED, 0, 1);
    Fresh("fs_connect.bin");
    EXPECT_EQ(3, Fetch(*d, server.Url("/c"), "fs_connect.bin"));
  });
  EXPECT_LT(took, kUnderDefaultTimeout) << "the caller's connect time-out never fired";
  EXPECT_FALSE(FileExists("fs_connect.bin"));
}

TEST(FaultServer, KeptConnectionsTheServerEnds) {
  const std::string body = Pattern(400);
  struct Case {
    const char* name;
    std::function<Script(const std::string&)> answer;
    int policy;
    int connections;
  } cases[] = {
      // Closed after each answer without saying so: the reuse fails once, costing a try.
      {"silent close", [&](const std::string&) { return Script{Send(Ok(body))}; }, 1, 2},
      // "Connection: close" is heeded, so no try is needed.
      {"announced close",
       [&](const std::string&) {
         return Script{Send(Reply("200 OK", "Content-Length: 400\r\nConnection: close\r\n", body))};
       },
       0, 2},
      // A redirect's unread body is never taken for the next answer.
      {"redirect with a body",
       [&](const std::string& req) {
         if (FirstLine(req) == "GET /k HTTP/1.1")
           return Script{Send(Reply("301 Moved", "Location: /here\r\nContent-Length: 5\r\n", "moved")), Keep()};
         return Script{Send(Ok(body)), Keep()};
       },
       0, 3},
  };
  for (const Case& c : cases) {
    Server server([&](const std::string& req, int) { return c.answer(req); });
    auto d = MakeDownLoad(DOWNLOAD_HTTP);
    d->SetKeepAlive(true);
    d->SetRetry(c.policy, 0, 3);
    Fresh("fs_keep.bin");
    ASSERT_EQ(0, Fetch(*d, server.Url("/k"), "fs_keep.bin")) << c.name;
    ASSERT_EQ(0, Fetch(*d, server.Url("/k"), "fs_keep.bin")) << c.name;
    EXPECT_EQ(body, ReadFileBytes("fs_keep.bin")) << c.name;
    EXPECT_EQ(c.connections, server.Connections()) << c.name;
    d->CloseConnection();
  }
}

TEST(FaultServer, WinInetAnswers) {
  const std::string body = Pattern(3000);
  struct Case {
    const char* name;
    std::string answer;
    int result;
    int requests;
    std::string file;
  } cases[] = {
      {"server error", Reply("500 Oops", "Content-Length: 0\r\n", ""), 3, 1, ""},
      {"length above the body", Reply("200 OK", "Content-Length: 5000\r\n", body), 3, 3, ""},
      {"empty body", Ok(""), 0, 1, ""},
  };
  for (const Case& c : cases) {
    Server server([&](const std::string&, int) { return Script{Send(c.answer)}; });
    auto d = MakeDownLoad(DOWNLOAD_INET);
    Fresh("fs_inet.bin");
    EXPECT_EQ(c.result, Fetch(*d, server.Url("/i"), "fs_inet.bin")) << c.name;
    EXPECT_EQ(c.requests, server.RequestCount()) << c.name;
    EXPECT_EQ(c.result == 0, FileExists("fs_inet.bin")) << c.name;
    EXPECT_EQ(c.file, ReadFileBytes("fs_inet.bin")) << c.name;
  }
  // Bytes past Content-Length: Windows' WinINet stops at the length, Wine's
  // hands them on and the length test fails. Never a longer file as success.
  Server server([&](const std::string&, int) { return Script{Send(Reply("200 OK", "Content-Length: 1000\r\n", body))}; });
  auto d = MakeDownLoad(DOWNLOAD_INET);
  Fresh("fs_inet.bin");
  if (Fetch(*d, server.Url("/i"), "fs_inet.bin") == 0)
    EXPECT_EQ(body.substr(0, 1000), ReadFileBytes("fs_inet.bin"));
  else
    EXPECT_FALSE(FileExists("fs_inet.bin"));
}

TEST(FaultServer, AStallThenACutMidBodyLeavesTheEarlierTarget) {
  // Two blocks of the body, then nothing until the server goes, which cuts
  // the connection; later tries find no server.
  const std::string body = Pattern(20000), earlier = "the earlier file";
  for (int type : {DOWNLOAD_INET, DOWNLOAD_HTTPGET, DOWNLOAD_HTTP}) {
    auto server = std::make_unique<Server>([&](const std::string&, int) {
      return Script{Send(Reply("200 OK", "Content-Length: 20000\r\n", body.substr(0, 8192))), Stall(600000), Reset()};
    });
    auto d = MakeDownLoad(type);
    Fresh("fs_cut.bin");
    testsupport::WriteFileBytes("fs_cut.bin", earlier);
    int result = -1;
    std::thread fetch([&] { result = Fetch(*d, server->Url("/cut"), "fs_cut.bin"); });
    // The stalled download's bytes on disk, under whatever name it writes.
    EXPECT_TRUE(testsupport::WaitFor("8192 bytes of the body on disk", [] {
      for (const char* name : {"fs_cut.bin", "fs_cut.bin_0", "fs_cut.bin.temp"})
        if (ReadFileBytes(name).size() == 8192) return true;
      return false;
    })) << TypeName(type);
    // What a kill or an Exit now leaves.
    EXPECT_TRUE(ReadFileBytes("fs_cut.bin") == earlier) << TypeName(type);
    server.reset();
    fetch.join();
    EXPECT_EQ(DOWNLOAD_RESULT_FAILED, result) << TypeName(type);
    EXPECT_TRUE(ReadFileBytes("fs_cut.bin") == earlier) << TypeName(type);
  }
}

TEST(FaultServer, ControlBytesInAnAddressAreNeverSent) {
  Server server([&](const std::string& req, int) {
    if (FirstLine(req) == "GET /moved HTTP/1.1")
      return Script{Send(Reply("302 Found", "Location: /b\x01.pak\r\nContent-Length: 0\r\n", ""))};
    return Script{Send(Ok(Pattern(200)))};
  });
  for (int type : {DOWNLOAD_INET, DOWNLOAD_HTTPGET, DOWNLOAD_HTTP}) {
    for (const std::string path : {"/a.pak\r\nX-Injected: yes", "/a\t.pak", "/a\x7f.pak", "/moved"}) {
      const bool redirect = path == "/moved";
      if (type == DOWNLOAD_INET && redirect) continue;  // WinINet follows redirects itself
      auto d = MakeDownLoad(type);
      Fresh("fs_ctl.bin");
      const int before = server.RequestCount();
      EXPECT_EQ(DOWNLOAD_RESULT_FAILED, Fetch(*d, server.Url(path), "fs_ctl.bin")) << TypeName(type) << ": " << path;
      EXPECT_EQ(redirect ? 1 : 0, server.RequestCount() - before) << TypeName(type) << ": " << path;
      EXPECT_FALSE(FileExists("fs_ctl.bin")) << TypeName(type) << ": " << path;
    }
  }
}
