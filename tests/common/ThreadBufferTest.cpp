#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <thread>

#include "common/ThreadBuffer.h"

TEST(ThreadBuffer, OnePerThreadAlignedAndKept) {
  char* mine = CThreadBuffer::GetBuffer();
  ASSERT_NE(nullptr, mine);
  EXPECT_EQ(mine, CThreadBuffer::GetBuffer());
  char* other = nullptr;
  std::thread([&] { other = CThreadBuffer::GetBuffer(); }).join();
  ASSERT_NE(nullptr, other);
  EXPECT_NE(mine, other);
  EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(mine) % 64);
  EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(other) % 64);
  // The whole usable size is ours to write.
  mine[0] = 1;
  mine[kThreadBufferUsable - 1] = 2;
}

TEST(ThreadBuffer, ChunksOfTwentyAndFreeListReuse) {
  Common::BlockStore store(256, 20);
  std::vector<char*> blocks;
  for (int i = 0; i < 20; ++i) blocks.push_back(static_cast<char*>(store.Alloc()));
  EXPECT_EQ(1u, store.ChunkCount());
  char* twentyFirst = static_cast<char*>(store.Alloc());
  EXPECT_EQ(2u, store.ChunkCount());
  EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(twentyFirst) % 64);
  store.Free(blocks[5]);
  store.Free(nullptr);
  EXPECT_EQ(blocks[5], store.Alloc());
}

TEST(ThreadBuffer, LargeThreadIdsShareTheListUntilFull) {
  Common::BlockStore store(64, 20);
  std::unique_ptr<CThreadMsgBuffer> table(new CThreadMsgBuffer(store));
  const DWORD big = CThreadMsgBuffer::kDirectIds;
  char* first = table->GetBufferFor(big);
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(first, table->GetBufferFor(big));
  for (DWORD i = 1; i < CThreadMsgBuffer::kListPairs; ++i) ASSERT_NE(nullptr, table->GetBufferFor(big + i)) << i;
  EXPECT_EQ(nullptr, table->GetBufferFor(big + CThreadMsgBuffer::kListPairs));
  char* small = table->GetBufferFor(7);  // small ids never need a pair
  EXPECT_NE(nullptr, small);
  EXPECT_EQ(small, table->GetBufferFor(7));
  EXPECT_EQ(first, table->GetBufferFor(big));
}
