#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "TestHttpServer.h"
#include "common/HttpDownLoad/SockHelpers.h"

namespace {

// A connected loopback pair: `client` is read by the helpers, `server` feeds it.
struct Pair {
  SOCKET client = INVALID_SOCKET, server = INVALID_SOCKET;
  Pair() {
    Sock_EnsureSocketLib();
    SOCKET l = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(l, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    listen(l, 1);
    int len = sizeof(a);
    getsockname(l, reinterpret_cast<sockaddr*>(&a), &len);
    client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_EQ(0, Sock_ConnectWithTimeout(client, &a, 2000));
    server = accept(l, nullptr, nullptr);
    closesocket(l);
  }
  ~Pair() {
    closesocket(client);
    if (server != INVALID_SOCKET) closesocket(server);
  }
  void Feed(const std::string& s) { ASSERT_EQ(static_cast<int>(s.size()), send(server, s.data(), static_cast<int>(s.size()), 0)); }
  void CloseServer() {
    shutdown(server, SD_SEND);
    closesocket(server);
    server = INVALID_SOCKET;
  }
};

}  // namespace

TEST(SockHelpers, ReadLinePieces) {
  Pair p;
  p.Feed(std::string(1500, 'x') + "\r\nabc\r\na\rb\n");
  Sock_RecvRing* ring = Sock_CreateRecvRing(p.client);
  ASSERT_NE(nullptr, ring);
  char line[kSockLineMax];
  int state = 9;
  ASSERT_EQ(0, Sock_ReadLine(ring, line, &state, 2000));
  EXPECT_EQ(1, state);
  EXPECT_EQ(std::string(1023, 'x'), line);
  ASSERT_EQ(0, Sock_ReadLine(ring, line, &state, 2000));
  EXPECT_EQ(0, state);
  EXPECT_EQ(std::string(477, 'x'), line);
  ASSERT_EQ(0, Sock_ReadLine(ring, line, &state, 2000));
  EXPECT_STREQ("abc", line);
  ASSERT_EQ(0, Sock_ReadLine(ring, line, &state, 2000));
  EXPECT_STREQ("a\rb", line);
  p.CloseServer();
  EXPECT_EQ(-1, Sock_ReadLine(ring, line, &state, 2000));
  EXPECT_EQ(-1, state);
  Sock_FreeRecvRing(ring);
  EXPECT_EQ(nullptr, Sock_CreateRecvRing(INVALID_SOCKET));
}

TEST(SockHelpers, ReadBlockTakesAFullRingAcrossTheWrap) {
  Pair p;
  Sock_RecvRing* ring = Sock_CreateRecvRing(p.client);
  // Move the positions off 0 first so the full ring wraps.
  p.Feed("0123456789");
  char small[kSockLineMax];
  int state = 0;
  ASSERT_EQ(10, Sock_ReadBlock(nullptr, ring, 2000, small));
  std::string data(70000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 31 + 7);
  std::thread feeder([&] { send(p.server, data.data(), static_cast<int>(data.size()), 0); });
  while (ring->held < kSockRingSize)
    ASSERT_GT(Sock_FillRecvRing(ring, 2000), 0);
  std::vector<char> out(kSockRingSize);
  ASSERT_EQ(static_cast<int>(kSockRingSize), Sock_ReadBlock(nullptr, ring, 2000, out.data()));
  EXPECT_EQ(0, std::memcmp(out.data(), data.data(), kSockRingSize));
  feeder.join();
  (void)state;
  Sock_FreeRecvRing(ring);
}

TEST(SockHelpers, ReceiveTimeoutCloseAndDataWithClose) {
  {
    Pair p;
    char buf[16];
    DWORD wait = 0;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(-1, Sock_RecvWithTimeout(p.client, buf, sizeof(buf), 300, &wait));
    EXPECT_EQ(258u, wait);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
  }
  {
    Pair p;
    p.CloseServer();
    Sleep(100);
    char buf[16];
    DWORD wait = 12345;
    EXPECT_EQ(-1, Sock_RecvWithTimeout(p.client, buf, sizeof(buf), 2000, &wait));
    EXPECT_EQ(12345u, wait);
  }
  {
    Pair p;
    p.Feed("tail");
    p.CloseServer();
    Sleep(100);
    char buf[16];
    EXPECT_EQ(4, Sock_RecvWithTimeout(p.client, buf, sizeof(buf), 2000));
    EXPECT_EQ(0, std::memcmp(buf, "tail", 4));
  }
}

TEST(SockHelpers, ConnectTimesOutOnAListenerThatNeverAccepts) {
  testhttp::Server server([](const std::string&, int) { return testhttp::Script{}; }, 0, false);
  auto t0 = std::chrono::steady_clock::now();
  // Its last connect is the one that times out.
  EXPECT_TRUE(server.FillBacklog());
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(8));
}
