#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "TestHttpServer.h"
#include "common/HttpDownLoad/SockHelpers.h"

namespace {

// What a read waits for bytes already sent (or a close already made): ends
// at once, and holds while a loaded machine delays the sending thread.
const uint32_t kDataMs = 60000;

// A connected loopback pair: `client` is read by the helpers, `server` feeds it.
struct Pair {
  SOCKET client = INVALID_SOCKET, server = INVALID_SOCKET;
  Pair() {
    uint16_t port = 0;
    SOCKET l = testhttp::ListenLoopback(1, port);
    sockaddr_in a = testhttp::LoopbackAddress(port);
    client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_EQ(0, Sock_ConnectWithTimeout(client, &a, kDataMs));
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
  const struct {
    std::string line;
    int state;
  } pieces[] = {{std::string(1023, 'x'), 1}, {std::string(477, 'x'), 0}, {"abc", 0}, {"a\rb", 0}};
  char line[kSockLineMax];
  int state = 9;
  for (const auto& piece : pieces) {
    ASSERT_EQ(0, Sock_ReadLine(ring, line, &state, kDataMs)) << piece.line;
    EXPECT_EQ(piece.state, state) << piece.line;
    EXPECT_EQ(piece.line, line);
  }
  p.CloseServer();
  EXPECT_EQ(-1, Sock_ReadLine(ring, line, &state, kDataMs));
  EXPECT_EQ(-1, state);
  Sock_FreeRecvRing(ring);
  EXPECT_EQ(nullptr, Sock_CreateRecvRing(INVALID_SOCKET));
}

TEST(SockHelpers, ReadBlockTakesAFullRingAcrossTheWrap) {
  Pair p;
  Sock_RecvRing* ring = Sock_CreateRecvRing(p.client);
  ASSERT_NE(nullptr, ring);
  std::string data(70000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 31 + 7);
  data.replace(0, 4, "abc\n");
  // No fatal assertion before the join: the feeder must not outlive the test.
  std::thread feeder([&] { send(p.server, data.data(), static_cast<int>(data.size()), 0); });
  auto fillUp = [&] {
    while (ring->held < kSockRingSize && Sock_FillRecvRing(ring, kDataMs) > 0) {
    }
    return ring->held == kSockRingSize;
  };
  EXPECT_TRUE(fillUp());
  // The line frees the start of the full ring; the next bytes go there.
  char line[kSockLineMax];
  int state = 0;
  EXPECT_EQ(0, Sock_ReadLine(ring, line, &state, kDataMs));
  EXPECT_STREQ("abc", line);
  EXPECT_TRUE(fillUp());
  std::vector<char> out(kSockRingSize);
  int n = Sock_ReadBlock(nullptr, ring, kDataMs, out.data());
  feeder.join();
  Sock_FreeRecvRing(ring);
  ASSERT_EQ(static_cast<int>(kSockRingSize), n);
  EXPECT_EQ(0, std::memcmp(out.data(), data.data() + 4, kSockRingSize));
}

TEST(SockHelpers, ReceiveTimeoutCloseAndDataWithClose) {
  {
    Pair p;
    char buf[16];
    DWORD wait = 0;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(-1, Sock_RecvWithTimeout(p.client, buf, sizeof(buf), 300, &wait));
    EXPECT_EQ(258u, wait);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(30)) << "a 300 ms receive time-out";
  }
  {
    Pair p;
    p.CloseServer();
    char buf[16];
    DWORD wait = 12345;
    // The close ends the wait, long before the time-out.
    EXPECT_EQ(-1, Sock_RecvWithTimeout(p.client, buf, sizeof(buf), 60000, &wait));
    EXPECT_EQ(12345u, wait);
  }
  {
    Pair p;
    p.Feed("tail");
    p.CloseServer();
    char buf[16];
    EXPECT_EQ(4, Sock_RecvWithTimeout(p.client, buf, sizeof(buf), 60000));
    EXPECT_EQ(0, std::memcmp(buf, "tail", 4));
  }
}

TEST(SockHelpers, ConnectTimesOutOnAListenerThatNeverAccepts) {
  testhttp::Server server([](const std::string&, int) { return testhttp::Script{}; }, 0, false);
  auto t0 = std::chrono::steady_clock::now();
  // Its last connect is the one that times out.
  EXPECT_TRUE(server.FillBacklog());
  // Sixteen connects of 300 ms at most, not the system's minutes.
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(40));
}
