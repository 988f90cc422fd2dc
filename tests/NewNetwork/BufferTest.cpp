// Blocks, block chains and the session buffers, headless, with 128-byte blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "NetTestUtil.h"
#include "NewNetwork/Buffer/CircuitQueue.h"
#include "NewNetwork/Buffer/CommonBufferMgr.h"
#include "NewNetwork/Buffer/RecvBufferEX.h"
#include "NewNetwork/Buffer/SendBufferEX.h"
#include "NewNetwork/Packet/PacketHeader.h"
#include "support/TestSupport.h"

using namespace nettest;
using testsupport::ReportCapture;

namespace {

std::string Take(RecvBufferEX& buffer) {
  bool bad = false;
  char* p = buffer.GetFirstPacketPtr(1, &bad);
  EXPECT_FALSE(bad);
  if (p == nullptr) return "";
  std::string out(p, PacketSize(p));
  buffer.RemoveFirstPacket(static_cast<int>(out.size()));
  return out;
}

// Handler 0's pools and descriptor with 128-byte blocks.
class SmallBuffers : public ::testing::Test {
 protected:
  void SetUp() override { InitSmallPools(); }
  IOHANDLER_DESC desc = SmallDesc();
};

// At most two blocks queued beyond the one being written.
class SendBuffer : public SmallBuffers {
 protected:
  void SetUp() override {
    SmallBuffers::SetUp();
    desc.dwSendListMaxBlocks = 2;
    buffer.Init(desc);
  }
  // Everything the buffer hands out, as sent in full.
  std::string Drain() {
    std::string out;
    char* region = nullptr;
    int length = 0;
    while (buffer.GetSendRegion(&region, &length)) {
      out.append(region, length);
      buffer.OnSendComplete(length);
    }
    return out;
  }
  SendBufferEX buffer;
};

}  // namespace

TEST(CircuitQueue, WrapsAndCountsContiguousRuns) {
  CircuitQueue q(8);
  struct Step {
    const char* op;  // e: enqueue n, d: dequeue n
    int n;
    bool ok;
    int readable, writable;
  } steps[] = {
      {"e", 6, true, 6, 2},  {"d", 4, true, 2, 2}, {"e", 5, true, 4, 1},  // tail wrapped to 3
      {"e", 2, false, 4, 1}, {"e", 1, true, 4, 0},                       // full: head = tail
      {"d", 4, true, 4, 4},  {"d", 4, true, 0, 4}, {"d", 1, false, 0, 4}, {"e", 0, false, 0, 4},
  };
  std::string model;
  char next = 'a';
  for (const Step& s : steps) {
    bool ok;
    if (s.op[0] == 'e') {
      std::string data(s.n > 0 ? s.n : 0, '\0');
      for (char& c : data) c = next++;
      ok = q.Enqueue(data.data(), s.n);
      if (ok) model += data;
    } else {
      ok = q.Dequeue(s.n);
      if (ok) model.erase(0, s.n);
    }
    SCOPED_TRACE(std::string(s.op) + std::to_string(s.n));
    EXPECT_EQ(s.ok, ok);
    EXPECT_EQ(static_cast<int>(model.size()), q.GetLength());
    EXPECT_EQ(s.readable, q.GetReadableLen());
    EXPECT_EQ(s.writable, q.GetWritableLen());
    std::string peeked(model.size(), '\0');
    if (!model.empty()) {
      ASSERT_TRUE(q.Peek(&peeked[0], static_cast<int>(model.size())));
      EXPECT_EQ(model, peeked);
    }
  }
}

TEST(CircuitQueue, EncryptNeverCrossesTheEndOfStorage) {
  CircuitQueue q(128);
  std::string filler(120, 'x');
  ASSERT_TRUE(q.Enqueue(filler.data(), 120));
  ASSERT_TRUE(q.Dequeue(120));  // tail at 120, empty
  ReportCapture reports;
  EXPECT_FALSE(q.Encrypt(10, kStreamScrambleKey));
  EXPECT_TRUE(reports.Contains("Encrypt失败"));
  memset(q.GetWritePtr(), 0x11, 8);
  EXPECT_TRUE(q.Encrypt(8, kStreamScrambleKey));
  EXPECT_EQ(0x11 ^ 0x4E, static_cast<unsigned char>(q.GetWritePtr()[7]));
}

// Packets wrap past the end of a block and span several blocks.
TEST_F(SmallBuffers, RandomStreamsSplitAnywhere) {
  std::mt19937 rng(17);
  for (int round = 0; round < 20; ++round) {
    RecvBufferEX buffer;
    buffer.Init(desc);
    std::vector<std::string> sent;
    std::string stream;
    for (int i = 0; i < 12; ++i) {
      sent.push_back(Packet(10 + rng() % 400, kPingType, rng()));
      stream += sent.back();
    }
    std::vector<std::string> got;
    size_t at = 0;
    while (at < stream.size()) {
      size_t n = std::min<size_t>(1 + rng() % 200, stream.size() - at);
      ASSERT_TRUE(Receive(buffer, stream.substr(at, n), 1 + rng() % 90));
      at += n;
      for (std::string p = Take(buffer); !p.empty(); p = Take(buffer)) got.push_back(p);
    }
    EXPECT_EQ(sent, got) << "round " << round;
    EXPECT_EQ(1, buffer.GetBlockCount());
  }
}

TEST_F(SmallBuffers, BadLengthIsReportedOnceAndMarksTheStreamBad) {
  for (uint32_t size : {9u, 0x10000u, 0u}) {
    RecvBufferEX buffer;
    buffer.Init(desc);
    std::string bytes = Packet(20);
    memcpy(&bytes[0], &size, 4);
    ASSERT_TRUE(Receive(buffer, bytes));
    ReportCapture reports;
    bool bad = false;
    EXPECT_EQ(nullptr, buffer.GetFirstPacketPtr(7, &bad)) << size;
    EXPECT_TRUE(bad) << size;
    ASSERT_EQ(1u, reports.Count()) << size;
    EXPECT_NE(std::string::npos, reports.Lines()[0].find("GetFirstPacketPtr有问题,ID:7,GetLength:" + std::to_string(size)));
  }
}

TEST_F(SendBuffer, LimitRefusesWholePacketsBeforeQueueingAByte) {
  std::string queued;
  for (int i = 0; i < 3; ++i) {
    queued += Packet(100, kPingType, i);
    ASSERT_TRUE(buffer.Write(&queued[i * 100], 100));
  }
  ReportCapture reports;
  std::string tooBig = Packet(100, kPingType, 9);  // 84 bytes would still fit: none may go
  EXPECT_FALSE(buffer.Write(tooBig.data(), 100));
  EXPECT_TRUE(reports.Contains("缓冲区不够,index:0,listsize:3,listMaxSize:2,buffersize:128"));
  std::string fits = Packet(84, kPingType, 4);
  EXPECT_TRUE(buffer.Write(fits.data(), 84));
  EXPECT_EQ(queued + fits, Drain());
}

TEST_F(SendBuffer, OneSendInFlightAndResetEmpties) {
  std::string p = Packet(300);
  ASSERT_TRUE(buffer.Write(p.data(), 300));
  char* region;
  int length;
  ASSERT_TRUE(buffer.GetSendRegion(&region, &length));
  EXPECT_EQ(128, length);
  EXPECT_FALSE(buffer.GetSendRegion(&region, &length));  // in flight
  buffer.MarkReady();
  buffer.Reset();
  EXPECT_FALSE(buffer.HasData());
}

TEST_F(SendBuffer, ScramblesEachByteOnceHoweverTheSendsSplit) {
  const std::string ping = Packet(14);
  const std::string more = Packet(10, kPingType, 2);
  int scrambled = 0;
  std::string wire;
  char* region;
  int length;

  ASSERT_TRUE(buffer.Write(ping.data(), 14));
  ASSERT_TRUE(buffer.GetSendRegion(&region, &length));
  ASSERT_TRUE(ScrambleSendRegion(region, length, &scrambled, kStreamScrambleKey));
  wire.append(region, 6);  // the first completion reports 6 bytes
  scrambled -= 6;
  buffer.OnSendComplete(6);

  ASSERT_TRUE(buffer.Write(more.data(), 10));
  ASSERT_TRUE(buffer.GetSendRegion(&region, &length));
  EXPECT_EQ(18, length);
  ASSERT_TRUE(ScrambleSendRegion(region, length, &scrambled, kStreamScrambleKey));
  wire.append(region, length);
  EXPECT_EQ(Scrambled(ping + more), wire);

  int badCount = 40;
  EXPECT_FALSE(ScrambleSendRegion(region, length, &badCount, kStreamScrambleKey));
}

TEST(BufferPool, ExtraBlocksBeyondTheKeptNumberAreFreed) {
  BUFFER_POOL_DESC pool = {1, 1, 2, 5, 128, 128};
  CCommonBufferMgr& mgr = CCommonBufferMgr::GetInstance();
  mgr.Init(1, &pool);
  std::vector<CircuitQueue*> out;
  for (int i = 0; i < 5; ++i) out.push_back(mgr.GetSendBlock(0));  // 1 from stock, 4 extra
  for (CircuitQueue* b : out) mgr.ReturnSendBlock(b, 0);
  EXPECT_EQ(3u, mgr.FreeSendBlocks(0));  // the stock block and 2 kept extras
  ReportCapture reports;
  mgr.ReturnRecvBlock(nullptr, 0);
  EXPECT_TRUE(reports.Contains("指针为空"));
}
