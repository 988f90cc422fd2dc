#include <gtest/gtest.h>

#include <objbase.h>

#include <memory>

#include "DownLoadTestUtil.h"
#include "TestHttpServer.h"
#include "support/TestSupport.h"
#include "common/HttpDownLoad/DownLoadFile.h"
#include "common/HttpDownLoad/INetDownLoad.h"

using namespace testhttp;
using testsupport::FileExists;
using testsupport::ReadFileBytes;

namespace {

// A WinINet stand-in: each opened request serves `bodies[n]` (status 200 or
// 206) and then ends its reads with `endErrors[n]` (12002 = time-out).
struct Fake {
  std::vector<std::string> headers;  // extra headers of each open
  std::vector<std::string> bodies;
  std::vector<DWORD> statuses;
  std::vector<DWORD> endErrors;
  std::string length;                // Content-Length text when not empty
  DWORD openError = 0;               // non-zero: every open fails with it
  size_t pos = 0;
  size_t current = 0;
};
Fake* g_fake = nullptr;

HINTERNET WINAPI FakeOpen(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD) { return reinterpret_cast<HINTERNET>(1); }
HINTERNET WINAPI FakeOpenUrl(HINTERNET, LPCSTR, LPCSTR headers, DWORD, DWORD, DWORD_PTR) {
  g_fake->headers.push_back(headers ? headers : "");
  if (g_fake->openError) {
    SetLastError(g_fake->openError);
    return nullptr;
  }
  g_fake->current = g_fake->headers.size() - 1;
  g_fake->pos = 0;
  return reinterpret_cast<HINTERNET>(2);
}
BOOL WINAPI FakeQuery(HINTERNET, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD) {
  size_t i = g_fake->current;
  if (level == (HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER)) {
    *static_cast<DWORD*>(buffer) = g_fake->statuses[i];
    return TRUE;
  }
  if (level == HTTP_QUERY_CONTENT_LENGTH) {
    std::string text = g_fake->length.empty() ? std::to_string(g_fake->bodies[i].size()) : g_fake->length;
    memcpy(buffer, text.c_str(), text.size() + 1);
    *length = static_cast<DWORD>(text.size());
    return TRUE;
  }
  SetLastError(12150);
  return FALSE;
}
BOOL WINAPI FakeRead(HINTERNET, LPVOID buffer, DWORD toRead, LPDWORD read) {
  size_t i = g_fake->current;
  // Half of each body arrives unless the request ends cleanly.
  size_t limit = g_fake->endErrors[i] ? g_fake->bodies[i].size() / 2 : g_fake->bodies[i].size();
  size_t n = std::min<size_t>(toRead, limit - g_fake->pos);
  memcpy(buffer, g_fake->bodies[i].data() + g_fake->pos, n);
  g_fake->pos += n;
  *read = static_cast<DWORD>(n);
  if (n == 0) SetLastError(g_fake->endErrors[i]);
  return TRUE;
}
BOOL WINAPI FakeClose(HINTERNET) { return TRUE; }
const INetApi kFakeApi = {FakeOpen, FakeOpenUrl, FakeQuery, FakeRead, FakeClose};

struct FakeScope {
  Fake fake;
  FakeScope() {
    g_fake = &fake;
    SetINetApi(&kFakeApi);
  }
  ~FakeScope() {
    SetINetApi(nullptr);
    g_fake = nullptr;
  }
};

}  // namespace

TEST(INetDownLoad, RealWinInetFetchRangeAndStatus) {
  const std::string body = Pattern(6000);
  Server server([&](const std::string& req, int) {
    if (req.find("GET /missing") == 0) return Script{Send(Reply("404 Not Found", "Content-Length: 3\r\n", "no!"))};
    if (req.find("Range: bytes=5-9") != std::string::npos)
      return Script{Send(Reply("206 Partial Content", "Content-Length: 5\r\nContent-Range: bytes 5-9/6000\r\n",
                               body.substr(5, 5)))};
    if (req.find("GET /nolength") == 0) return Script{Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body)};
    return Script{Send(Ok(body))};
  });
  auto d = MakeDownLoad(DOWNLOAD_INET);
  static int progressCalls = 0;
  d->SetProgressCallback([](int32_t total, int32_t) { progressCalls += total == 6000; });
  ASSERT_EQ(0, Fetch(*d, server.Url("/Full.bin"), "inet_a.bin"));
  EXPECT_EQ(body, ReadFileBytes("inet_a.bin"));
  EXPECT_GT(progressCalls, 0);
  EXPECT_NE(std::string::npos, server.Requests()[0].find("GET /full.bin HTTP/1.1"));  // lower-cased

  ASSERT_EQ(0, Fetch(*d, server.Url("/part.bin"), "inet_b.bin", 0, 5, 9));
  EXPECT_EQ(body.substr(5, 5), ReadFileBytes("inet_b.bin"));
  EXPECT_NE(std::string::npos, server.Requests().back().find("\r\nRange: bytes=5-9\r\n"));

  // A failure leaves the earlier file and no side file.
  int before = server.RequestCount();
  EXPECT_EQ(3, Fetch(*d, server.Url("/missing"), "inet_a.bin"));
  EXPECT_EQ(before + 1, server.RequestCount());
  EXPECT_EQ(body, ReadFileBytes("inet_a.bin"));
  EXPECT_FALSE(FileExists("inet_a.bin.temp"));

  // Without Content-Length a non-empty body never matches; the tries are used up.
  before = server.RequestCount();
  EXPECT_EQ(3, Fetch(*d, server.Url("/nolength"), "inet_c.bin"));
  EXPECT_EQ(before + 3, server.RequestCount());
  EXPECT_FALSE(FileExists("inet_c.bin"));

  ASSERT_EQ(0, d->Download(server.Url("/full.bin").c_str(), "inet_d.bin", nullptr, 0, 0, 0, 0, 0, 1));
  EXPECT_TRUE(FileExists("inet_d.bin"));
  EXPECT_EQ("", ReadFileBytes("inet_d.bin"));
}

TEST(INetDownLoad, TimeoutsRetryAndResume) {
  {
    FakeScope scope;
    scope.fake.openError = 12002;
    auto d = MakeDownLoad(DOWNLOAD_INET);
    Fresh("inet_t.bin");
    EXPECT_EQ(3, Fetch(*d, "http://127.0.0.1:9/x", "inet_t.bin"));
    EXPECT_EQ(3u, scope.fake.headers.size());
    EXPECT_FALSE(FileExists("inet_t.bin"));
  }
  const std::string body = Pattern(10000);
  for (DWORD second : {206u, 200u}) {
    FakeScope scope;
    scope.fake.bodies = {body, second == 206 ? body.substr(5000) : body};
    scope.fake.statuses = {200, second};
    scope.fake.endErrors = {12002, 0};
    auto d = MakeDownLoad(DOWNLOAD_INET);
    ASSERT_EQ(0, Fetch(*d, "http://127.0.0.1:9/x", "inet_t.bin")) << second;
    EXPECT_EQ(body, ReadFileBytes("inet_t.bin")) << second;  // a 200 rewrites, never appends
    ASSERT_EQ(2u, scope.fake.headers.size());
    EXPECT_EQ("", scope.fake.headers[0]);
    EXPECT_EQ("Range: bytes=5000-\r\n", scope.fake.headers[1]);
  }
  {
    // A body that ends short without a time-out is fetched anew, up to the maximum.
    FakeScope scope;
    Fresh("inet_t.bin");
    scope.fake.bodies = {body, body, body};
    scope.fake.statuses = {200, 200, 200};
    scope.fake.endErrors = {5, 5, 5};
    auto d = MakeDownLoad(DOWNLOAD_INET);
    EXPECT_EQ(3, Fetch(*d, "http://127.0.0.1:9/x", "inet_t.bin"));
    EXPECT_EQ(std::vector<std::string>(3, ""), scope.fake.headers);
    EXPECT_FALSE(FileExists("inet_t.bin"));
  }
}

TEST(INetDownLoad, FirstObjectOfTheSessionHasNoRetries) {
  FakeScope scope;  // a new table starts without a session
  std::unique_ptr<IDownLoad> first(CreateDownLoad(DOWNLOAD_INET));
  std::unique_ptr<IDownLoad> second(CreateDownLoad(DOWNLOAD_INET));
  EXPECT_EQ(0u, static_cast<CINetDownLoad*>(first.get())->MaxTries());
  EXPECT_EQ(3u, static_cast<CINetDownLoad*>(second.get())->MaxTries());
}

TEST(INetDownLoad, TearingOneDownLeavesTheOthersRetries) {
  // Without Content-Length a non-empty body never matches, so every try is used.
  Server server([&](const std::string&, int) {
    return Script{Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + Pattern(500))};
  });
  auto kept = MakeDownLoad(DOWNLOAD_INET);
  kept->SetRetry(DOWNLOAD_RETRY_LIMITED, 0, 2);
  auto gone = MakeDownLoad(DOWNLOAD_INET);
  gone->UnInit();
  gone.reset();
  EXPECT_EQ(3, Fetch(*kept, server.Url("/k"), "inet_k.bin"));
  EXPECT_EQ(2, server.RequestCount());
  EXPECT_EQ(2u, static_cast<CINetDownLoad*>(kept.get())->MaxTries());
}

TEST(INetDownLoad, UnInitLeavesTheCallersApartmentAlone) {
  ASSERT_EQ(S_OK, CoInitialize(nullptr));
  {
    FakeScope scope;
    auto d = MakeDownLoad(DOWNLOAD_INET);
    d->UnInit();
  }
  // Still initialised: a second CoInitialize only counts up.
  EXPECT_EQ(S_FALSE, CoInitialize(nullptr));
  CoUninitialize();
  CoUninitialize();
}

TEST(INetDownLoad, ContentLengthIsReadStrictly) {
  const std::string body = Pattern(3000);
  for (const char* length : {"3000x", "-3000", "0x0BB8", "99999999999"}) {
    FakeScope scope;
    scope.fake.bodies = {body};
    scope.fake.statuses = {200};
    scope.fake.endErrors = {0};
    scope.fake.length = length;
    auto d = MakeDownLoad(DOWNLOAD_INET);
    EXPECT_EQ(3, Fetch(*d, "http://127.0.0.1:9/x", "inet_l.bin")) << length;
    EXPECT_EQ(1u, scope.fake.headers.size()) << length;
    EXPECT_FALSE(FileExists("inet_l.bin")) << length;
  }
}

TEST(INetDownLoad, WriteFailureLeavesNoTarget) {
  Server server([&](const std::string&, int) { return Script{Send(Ok(Pattern(9000)))}; });
  auto d = MakeDownLoad(DOWNLOAD_INET);
  SetDownLoadWriteHook([](const char*, uint64_t offset, uint32_t) { return offset >= 4096; });  // disk full
  EXPECT_EQ(3, Fetch(*d, server.Url("/w"), "inet_w.bin"));
  SetDownLoadWriteHook(nullptr);
  EXPECT_EQ(1, server.RequestCount());
  EXPECT_FALSE(FileExists("inet_w.bin"));
}
