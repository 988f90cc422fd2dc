// Packets headless: decompression against the kit's LZO packets, the send
// refusals, the session pool and the wait lists.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "NetTestUtil.h"
#include "NewNetwork/Packet/PacketHeader.h"
#include "NewNetwork/Session/Session.h"
#include "NewNetwork/Session/SessionPool.h"
#include "NewNetwork/Session/WaitSessionList.h"
#include "support/TestSupport.h"

using namespace nettest;
using testsupport::FixturePath;
using testsupport::ReadFileBytes;
using testsupport::ReportCapture;

TEST(Decompress, PlainLzoTruncatedAndCorruptPackets) {
  const std::string expanded = ReadFileBytes(FixturePath("net/lzo_expanded.bin"));
  const std::string lzo = ReadFileBytes(FixturePath("net/lzo_packet.bin"));
  const std::string corrupt = ReadFileBytes(FixturePath("net/lzo_corrupt.bin"));
  const std::string huge = ReadFileBytes(FixturePath("net/lzo_huge.bin"));
  ASSERT_FALSE(expanded.empty() || lzo.empty());
  // Cut to n bytes, the size field saying s.
  auto cutTo = [&](size_t n, uint32_t s) {
    std::string p = lzo.substr(0, n);
    memcpy(&p[0], &s, 4);
    return p;
  };
  const std::string tiny = cutTo(10, 4), cut = cutTo(25, 25);  // cut: the stream ends early

  struct Case {
    const char* name;
    std::string packet;
    uint32_t received;
    const std::string* expect;  // null: refused
    const char* report;
  } cases[] = {
      {"plain", expanded, static_cast<uint32_t>(expanded.size()), &expanded, nullptr},
      {"plain, longer than received", expanded, static_cast<uint32_t>(expanded.size() - 1), nullptr,
       "消息接收有问题，请检查"},
      {"lzo", lzo, static_cast<uint32_t>(lzo.size()), &expanded, nullptr},
      {"lzo, longer than received", lzo, static_cast<uint32_t>(lzo.size() - 3), nullptr, "消息接收有问题，请检查"},
      {"lzo, size under the header's", tiny, 10, nullptr, "消息接收有问题，请检查"},
      {"lzo, cut stream", cut, 25, nullptr, "解压失败"},
      {"lzo, corrupt", corrupt, static_cast<uint32_t>(corrupt.size()), nullptr, "解压失败"},
      {"lzo, expands past the area", huge, static_cast<uint32_t>(huge.size()), nullptr, "解压失败"},
  };

  NullObject object;
  std::vector<char> area(kDecompressAreaSize + 64, '\x5A');
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::fill(area.begin(), area.end(), '\x5A');
    ReportCapture reports;
    char* got = object.DecompressPacket(area.data(), &c.packet[0], c.received);
    if (c.expect == nullptr) {
      EXPECT_EQ(nullptr, got);
    } else {
      ASSERT_NE(nullptr, got);
      EXPECT_EQ(*c.expect, std::string(got, PacketSize(got)));
    }
    EXPECT_TRUE(c.report == nullptr || reports.Contains(c.report));
    for (size_t i = kDecompressAreaSize; i < area.size(); ++i) ASSERT_EQ('\x5A', area[i]) << "beyond the area";
  }
}

TEST(NetworkObjectSend, RefusalsAndAFullBuffer) {
  InitSmallPools();
  IOHANDLER_DESC desc = SmallDesc(1);
  Session session(&desc, 1);
  NullObject object;
  std::string p9 = Packet(9), p10 = Packet(10), p64k = Packet(0x10000), p300 = Packet(300);
  EXPECT_FALSE(object.Send(&p10[0])) << "no session yet";
  session.Link(&object);
  ReportCapture reports;
  EXPECT_FALSE(object.Send(&p9[0]));
  EXPECT_EQ(0u, reports.Count());
  p10[4] = 1;  // a flag the sender clears
  EXPECT_TRUE(object.Send(&p10[0]));
  EXPECT_EQ(0, p10[4]);
  EXPECT_FALSE(object.Send(&p64k[0]));
  EXPECT_TRUE(reports.Contains("消息过长不能发送"));
  EXPECT_FALSE(object.Send(nullptr));
  EXPECT_TRUE(reports.Contains("指针为空"));
  EXPECT_FALSE(session.ShouldClose());

  EXPECT_FALSE(object.Send(&p300[0])) << "two 128-byte blocks cannot hold it";
  EXPECT_TRUE(session.ShouldClose());
  EXPECT_FALSE(object.Send(&p10[0])) << "closing";
  session.Unlink();
}

TEST(SessionPool, DoubleFreeIsRefused) {
  InitSmallPools();
  IOHANDLER_DESC desc = SmallDesc();
  SessionPool pool;
  pool.Init(2, &desc, 5, false);
  Session* a = pool.Alloc();
  ASSERT_NE(nullptr, a);
  ReportCapture reports;
  EXPECT_TRUE(pool.Free(a));
  EXPECT_EQ(0u, reports.Count());
  EXPECT_FALSE(pool.Free(a));
  EXPECT_EQ(1u, reports.Count());
  EXPECT_EQ(2u, pool.GetFreeCount());

  Session stranger(&desc, 99);
  SessionPool full;
  full.Init(1, &desc, 1, true);
  Session* own = full.Alloc();
  ASSERT_TRUE(full.Free(own));
  EXPECT_TRUE(full.Free(&stranger));
  EXPECT_TRUE(reports.Contains("m_pList->size() < m_dwMaxSize"));
  EXPECT_EQ(own, full.Alloc());
  EXPECT_EQ(&stranger, full.Alloc());  // out again before the pool deletes what it holds
  EXPECT_TRUE(full.Free(own));
}

TEST(WaitSessionList, TenSecondsAndNoPassWithinASecond) {
  InitSmallPools();
  IOHANDLER_DESC desc = SmallDesc();
  const DWORD t = 0xFFFFF000u;  // the due time wraps past zero
  CWaitSessionList list(t);
  Session* s = new Session(&desc, 1);
  Session* later = new Session(&desc, 2);
  ASSERT_TRUE(list.Add(s, t));
  ASSERT_TRUE(list.Add(later, t + 5000));
  EXPECT_FALSE(list.Add(nullptr, t));
  struct Pass {
    DWORD at;
    size_t due;
  } passes[] = {
      {t + 1000, 0},   // no more than a second since the last pass
      {t + 1001, 0},   // not due yet
      {t + 9999, 0},   //
      {t + 10000, 0},  // due, but within a second of the previous pass
      {t + 11000, 1},
      {t + 14000, 0},
      {t + 16000, 1},
  };
  for (const Pass& p : passes) EXPECT_EQ(p.due, list.TakeDue(p.at).size()) << p.at - t;
  delete s;
  delete later;
  // Sessions still parked belong to the list.
  CWaitSessionList owner(t);
  owner.Add(new Session(&desc, 3), t);
}
