#include "ThreadBuffer.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace Common {

namespace {

void* NextOf(void* block) {
  uint64_t next;
  memcpy(&next, block, sizeof(next));
  return reinterpret_cast<void*>(static_cast<uintptr_t>(next));
}

void SetNext(void* block, void* next) {
  // Stored as a 64-bit value in both builds; the 32-bit address is sign-extended.
  uint64_t value = static_cast<uint64_t>(static_cast<intptr_t>(reinterpret_cast<uintptr_t>(next)));
  memcpy(block, &value, sizeof(value));
}

}  // namespace

BlockStore& BlockStore::Global() {
  static BlockStore store;
  return store;
}

BlockStore::BlockStore(unsigned blockSize, unsigned blocksPerChunk)
    : m_pFreeList(nullptr), m_nBlockSize(blockSize), m_nBlocksPerChunk(blocksPerChunk), m_nAlignment(kAlignment) {
  InitializeCriticalSectionAndSpinCount(&m_cs, 2000);
}

BlockStore::~BlockStore() {
  for (void* chunk : m_vecChunks) free(chunk);
  DeleteCriticalSection(&m_cs);
}

void* BlockStore::Alloc() {
  CSectionHold hold(&m_cs);
  if (m_pFreeList == nullptr) {
    size_t bytes = static_cast<size_t>(m_nBlockSize) * m_nBlocksPerChunk + 63;
    char* chunk = static_cast<char*>(malloc(bytes));
    if (chunk == nullptr) return nullptr;
    m_vecChunks.push_back(chunk);
    char* first = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(chunk) + 63) & ~uintptr_t(63));
    for (unsigned i = 0; i < m_nBlocksPerChunk; ++i) {
      char* block = first + static_cast<size_t>(i) * m_nBlockSize;
      SetNext(block, i + 1 < m_nBlocksPerChunk ? block + m_nBlockSize : nullptr);
    }
    m_pFreeList = first;
  }
  void* block = m_pFreeList;
  m_pFreeList = NextOf(block);
  return block;
}

void BlockStore::Free(void* block) {
  if (block == nullptr) return;
  CSectionHold hold(&m_cs);
  SetNext(block, m_pFreeList);
  m_pFreeList = block;
}

size_t BlockStore::ChunkCount() {
  CSectionHold hold(&m_cs);
  return m_vecChunks.size();
}

}  // namespace Common

CThreadMsgBuffer* CThreadMsgBuffer::GetInstance() {
  static CThreadMsgBuffer instance;
  return &instance;
}

CThreadMsgBuffer::CThreadMsgBuffer(Common::BlockStore& store)
    : m_store(store),
      // Fresh pages read as zero and take memory only where a thread id lands.
      m_dwThreadList(static_cast<char**>(
          VirtualAlloc(nullptr, sizeof(char*) * kDirectIds, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE))),
      m_list(),
      m_pLock(CDualLock::Create()) {}

CThreadMsgBuffer::~CThreadMsgBuffer() {
  if (m_dwThreadList != nullptr) VirtualFree(m_dwThreadList, 0, MEM_RELEASE);
  CDualLock::Destroy(m_pLock);
}

char* CThreadMsgBuffer::GetBufferFor(DWORD threadId) {
  if (threadId < kDirectIds && m_dwThreadList != nullptr) {
    // Only the thread itself ever reads or writes its slot.
    char*& slot = m_dwThreadList[threadId];
    if (slot == nullptr) slot = CreateBuffer("CThreadBuffer::GetBuffer中创建m_dwThreadList[dwID]");
    return slot;
  }
  CSectionHold hold(&m_pLock->first);
  int empty = -1;
  for (unsigned i = 0; i < kListPairs; ++i) {
    if (m_list[i].dwThreadID == threadId) {
      if (m_list[i].pBuffer == nullptr) m_list[i].pBuffer = CreateBuffer("CThreadBuffer::GetBuffer中创建m_list[i].pBuffer");
      return m_list[i].pBuffer;
    }
    if (empty < 0 && m_list[i].dwThreadID == 0) empty = static_cast<int>(i);
  }
  if (empty < 0) return nullptr;
  m_list[empty].dwThreadID = threadId;
  m_list[empty].pBuffer = CreateBuffer("CThreadBuffer::GetBuffer中创建m_list[nEmptyPos].pBuffer");
  return m_list[empty].pBuffer;
}

char* CThreadMsgBuffer::CreateBuffer(const char* creationText) {
  char* block = static_cast<char*>(m_store.Alloc());
  if (block == nullptr) return nullptr;
  const int size = static_cast<int>(kThreadBufferUsable);
  CSectionHold hold(&MemoryStats::GetLock()->second);
  MemoryStats::GetByBlock()[block] = MemoryStats::BlockStat{size, 1, creationText};
  auto& byName = MemoryStats::GetByName();
  auto found = byName.find(creationText);
  if (found == byName.end()) {
    byName[creationText] = MemoryStats::NameStat{1, 1, size};
  } else {
    found->second.currentCount += 1;
    found->second.totalCount += 1;
    found->second.totalBytes += size;
  }
  return block;
}

char* CThreadBuffer::GetBuffer() { return CThreadMsgBuffer::GetInstance()->GetBufferFor(GetCurrentThreadId()); }

namespace MemoryStats {

std::map<std::string, NameStat>& GetByName() {
  static auto* table = new std::map<std::string, NameStat>();
  return *table;
}

std::map<const void*, BlockStat>& GetByBlock() {
  static auto* table = new std::map<const void*, BlockStat>();
  return *table;
}

CDualLock* GetLock() {
  static CDualLock* lock = CDualLock::Create();
  return lock;
}

std::map<std::string, NameStat> CopyByName() {
  CSectionHold hold(&GetLock()->second);
  return GetByName();
}

}  // namespace MemoryStats
