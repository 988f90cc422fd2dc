// Per-thread scratch buffers for the network library and the server ping:
// large blocks carved from 64-byte-aligned chunks, one per thread, never
// given back, each booked in the memory statistics.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/Locks.h"

namespace Common {

// Hands out fixed-size blocks; a free block's first 8 bytes link the next.
class BlockStore {
 public:
  static const unsigned kBlockSize = 917504;  // 0xE0000
  static const unsigned kBlocksPerChunk = 20;
  static const unsigned kAlignment = 64;

  // The process-wide store of thread buffers.
  static BlockStore& Global();

  explicit BlockStore(unsigned blockSize = kBlockSize, unsigned blocksPerChunk = kBlocksPerChunk);
  virtual ~BlockStore();
  BlockStore(const BlockStore&) = delete;
  BlockStore& operator=(const BlockStore&) = delete;

  // Null only when the allocator fails.
  void* Alloc();
  // Null is ignored.
  void Free(void* block);

  unsigned BlockSize() const { return m_nBlockSize; }
  size_t ChunkCount();

 private:
  void* m_pFreeList;
  std::vector<void*> m_vecChunks;
  unsigned m_nBlockSize;
  unsigned m_nBlocksPerChunk;
  unsigned m_nAlignment;
  CRITICAL_SECTION m_cs;
};

}  // namespace Common

// The bytes of a thread buffer that callers may use (the block less 28).
const unsigned kThreadBufferUsable = 917476;

class CThreadMsgBuffer {
 public:
  static const unsigned kDirectIds = 1000000;
  static const unsigned kListPairs = 1024;

  static CThreadMsgBuffer* GetInstance();

  explicit CThreadMsgBuffer(Common::BlockStore& store = Common::BlockStore::Global());
  virtual ~CThreadMsgBuffer();
  CThreadMsgBuffer(const CThreadMsgBuffer&) = delete;
  CThreadMsgBuffer& operator=(const CThreadMsgBuffer&) = delete;

  // The buffer of the thread with this id, made on first request; null when
  // the id is large and all pairs are taken.
  char* GetBufferFor(DWORD threadId);
  // Takes a block from the store and books it.
  char* CreateBuffer(const char* creationText);

 private:
  struct Pair {
    DWORD dwThreadID;
    char* pBuffer;
  };

  Common::BlockStore& m_store;
  char** m_dwThreadList;  // kDirectIds slots, indexed by thread id
  Pair m_list[kListPairs];
  CDualLock* m_pLock;
};

namespace CThreadBuffer {
// The calling thread's buffer; callers check for null.
char* GetBuffer();
}  // namespace CThreadBuffer

namespace MemoryStats {

struct NameStat {
  int currentCount;
  int totalCount;
  int totalBytes;
};

struct BlockStat {
  int size;
  int count;
  std::string creationText;
};

// The tables are guarded by the second section of GetLock().
std::map<std::string, NameStat>& GetByName();
std::map<const void*, BlockStat>& GetByBlock();
CDualLock* GetLock();

// A copy taken under the lock, for readers.
std::map<std::string, NameStat> CopyByName();

}  // namespace MemoryStats
