#include "SendBufferEX.h"

#include <algorithm>
#include <vector>

#include "common/EngineFun/Helper.h"

void SendBufferEX::Init(const IOHANDLER_DESC& desc) {
  NetHold buffer(m_bufferLock);
  m_listMaxSize = static_cast<int>(desc.dwSendListMaxBlocks);
  m_pSendBlock = m_pWriteBlock = m_chain.Restart(desc.dwIoHandlerKey);
  m_queued = 0;
  m_ready = 1;
  m_fresh = 1;
}

bool SendBufferEX::Write(const char* data, int n) {
  NetSharedHold buffer(m_bufferLock);
  NetHold writeBlock(m_writeBlockLock);
  CircuitQueue* write = m_pWriteBlock;
  if (write == nullptr || data == nullptr || n <= 0) return false;
  int free = write->GetFreeBytes();
  if (n <= free) {
    if (!write->Enqueue(data, n)) return false;
    InterlockedExchangeAdd(&m_queued, n);
    return true;
  }

  const int blockSize = write->GetCapacity();
  const int more = (n - free + blockSize - 1) / blockSize;
  const int count = m_chain.Count();
  if (m_listMaxSize != 0 && count + more > m_listMaxSize + 1) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "缓冲区不够,index:%d,listsize:%d,listMaxSize:%d,buffersize:%d",
                                       static_cast<int>(m_chain.PoolIndex()), count, m_listMaxSize, blockSize);
    return false;
  }
  std::vector<CircuitQueue*> fresh;
  for (int i = 0; i < more; ++i) {
    CircuitQueue* block = m_chain.TakeFromPool();
    if (block == nullptr) {
      ENGINE_REPORT("false&&\"目前设计不能进来，请检查\"");
      for (CircuitQueue* taken : fresh) m_chain.GiveToPool(taken);
      return false;
    }
    fresh.push_back(block);
  }
  int done = 0;
  if (free > 0) {
    write->Enqueue(data, free);
    done = free;
  }
  for (CircuitQueue* block : fresh) {
    int part = std::min(block->GetCapacity(), n - done);
    block->Enqueue(data + done, part);
    done += part;
    m_chain.Append(block);
    m_pWriteBlock = block;
  }
  InterlockedExchangeAdd(&m_queued, n);
  return true;
}

bool SendBufferEX::HasDataLocked() {
  if (m_ready == 0 || m_pSendBlock == nullptr) return false;
  for (;;) {
    if (m_pSendBlock == m_chain.Newest()) return m_pSendBlock->GetLength() > 0;
    if (m_pSendBlock->GetLength() > 0) return true;
    // Drained and no longer written: the next block takes over.
    CircuitQueue* next = m_chain.DropOldest(m_pSendBlock);
    if (next == nullptr) {
      ENGINE_REPORT("false&&\"指针为空，请检查算法\"");
      return false;
    }
    m_pSendBlock = next;
  }
}

bool SendBufferEX::HasData() {
  NetSharedHold buffer(m_bufferLock);
  NetHold sendBlock(m_sendBlockLock);
  return HasDataLocked();
}

bool SendBufferEX::GetSendRegion(char** ptr, int* len) {
  if (m_ready == 0 || m_queued == 0) {
    *len = 0;
    return false;
  }
  NetSharedHold buffer(m_bufferLock);
  NetHold sendBlock(m_sendBlockLock);
  if (!HasDataLocked()) {
    *len = 0;
    return false;
  }
  *ptr = m_pSendBlock->GetReadPtr();
  *len = m_pSendBlock->GetReadableLen();
  InterlockedExchange(&m_ready, 0);
  return true;
}

void SendBufferEX::OnSendComplete(int n) {
  NetSharedHold buffer(m_bufferLock);
  {
    NetHold sendBlock(m_sendBlockLock);
    if (m_pSendBlock != nullptr && m_pSendBlock->Dequeue(n)) InterlockedExchangeAdd(&m_queued, -n);
  }
  m_fresh = 0;
  InterlockedExchange(&m_ready, 1);
}

void SendBufferEX::Reset() {
  NetHold buffer(m_bufferLock);
  if (m_pSendBlock == nullptr) return;
  m_chain.KeepOnly(m_pSendBlock);
  m_pWriteBlock = m_pSendBlock;
  m_queued = 0;
  m_ready = 1;
  m_fresh = 1;
}
