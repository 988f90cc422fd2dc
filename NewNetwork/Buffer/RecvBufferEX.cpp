#include "RecvBufferEX.h"

#include "NewNetwork/Packet/PacketHeader.h"
#include "common/EngineFun/Helper.h"
#include "common/ThreadBuffer.h"

void RecvBufferEX::Init(const IOHANDLER_DESC& desc) {
  Init(desc.dwIoHandlerKey);
  m_listMaxSize = static_cast<int>(desc.dwRecvListMaxBlocks);
}

void RecvBufferEX::Init(uint32_t poolIndex) {
  NetHold buffer(m_bufferLock);
  m_listMaxSize = 0;
  m_pReadBlock = m_pWriteBlock = m_chain.Restart(poolIndex);
  m_stored = 0;
  m_ready = 1;
  m_fresh = 1;
}

bool RecvBufferEX::EnsureSpaceLocked() {
  if (m_pWriteBlock == nullptr) return false;
  if (m_pWriteBlock->GetFreeBytes() > 0) return true;
  int count = m_chain.Count();
  if (m_listMaxSize != 0 && count > m_listMaxSize) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "缓冲区不够,index:%d,listsize:%d,listMaxSize:%d,buffersize:%d",
                                       static_cast<int>(m_chain.PoolIndex()), count, m_listMaxSize,
                                       m_pWriteBlock->GetCapacity());
    return false;
  }
  CircuitQueue* block = m_chain.TakeFromPool();
  if (block == nullptr) {
    ENGINE_REPORT("false&&\"目前设计不能进来，请检查\"");
    return false;
  }
  NetHold writeBlock(m_writeBlockLock);
  m_chain.Append(block);
  m_pWriteBlock = block;
  return true;
}

bool RecvBufferEX::GetRecvRegion(char** ptr, int* len) {
  NetHold buffer(m_bufferLock);
  if (!EnsureSpaceLocked()) {
    *len = 0;
    return false;
  }
  *ptr = m_pWriteBlock->GetWritePtr();
  *len = m_pWriteBlock->GetWritableLen();
  InterlockedExchange(&m_ready, 0);
  return true;
}

bool RecvBufferEX::Unscramble(int n, uint8_t key) {
  NetSharedHold buffer(m_bufferLock);
  NetHold writeBlock(m_writeBlockLock);
  return m_pWriteBlock != nullptr && m_pWriteBlock->Encrypt(n, key);
}

void RecvBufferEX::OnRecvComplete(int n) {
  NetSharedHold buffer(m_bufferLock);
  {
    NetHold writeBlock(m_writeBlockLock);
    if (m_pWriteBlock != nullptr && n > 0 && n <= m_pWriteBlock->GetFreeBytes() && m_pWriteBlock->Enqueue(nullptr, n))
      InterlockedExchangeAdd(&m_stored, n);
  }
  m_fresh = 0;
  InterlockedExchange(&m_ready, 1);
}

char* RecvBufferEX::GetFirstPacketPtr(uint32_t sessionId, bool* bad) {
  if (bad != nullptr) *bad = false;
  if (m_stored < static_cast<LONG>(kMinPacketSize)) return nullptr;
  NetSharedHold buffer(m_bufferLock);
  char head[kMinPacketSize];
  if (m_pReadBlock == nullptr || !m_chain.PeekAcross(head, sizeof(head))) return nullptr;
  uint32_t size = PacketSize(head);
  if (size > kMaxPacketSize || size < kMinPacketSize) {
    EngineFunc::EngineFunc_DebugPrint(0, "GetFirstPacketPtr有问题,ID:%d,GetLength:%d,EnqueueNUM:%d ",
                                      static_cast<int>(sessionId), static_cast<int>(size),
                                      m_pReadBlock->GetEnqueueCount());
    if (bad != nullptr) *bad = true;
    return nullptr;
  }
  const int need = static_cast<int>(size);
  if (m_chain.TotalLength() < need) return nullptr;
  if (m_pReadBlock->GetLength() >= need && m_pReadBlock->GetBackDataCount() >= need) return m_pReadBlock->GetReadPtr();

  char* threadBuffer = CThreadBuffer::GetBuffer();
  if (threadBuffer == nullptr) {
    ENGINE_REPORT("false&&\"指针为空\"");
    if (bad != nullptr) *bad = true;
    return nullptr;
  }
  char* scratch = threadBuffer + kReassemblyOffset;
  if (!m_chain.PeekAcross(scratch, need)) {
    ENGINE_REPORT("false&&\"不可能进来的，请检查一下\"");
    return nullptr;
  }
  return scratch;
}

void RecvBufferEX::RemoveFirstPacket(int n) {
  NetSharedHold buffer(m_bufferLock);
  if (m_pReadBlock == nullptr || n <= 0) return;
  InterlockedExchangeAdd(&m_stored, -n);
  while (n > 0) {
    CircuitQueue* write;
    {
      NetHold writeBlock(m_writeBlockLock);
      write = m_pWriteBlock;
    }
    if (m_pReadBlock == write) break;
    int held = m_pReadBlock->GetLength();
    if (held > n) break;
    if (held > 0) m_pReadBlock->Dequeue(held);
    n -= held;
    CircuitQueue* next = m_chain.DropOldest(m_pReadBlock);
    if (next == nullptr) return;
    m_pReadBlock = next;
  }
  if (n > 0) m_pReadBlock->Dequeue(n);
}

void RecvBufferEX::Reset() {
  NetHold buffer(m_bufferLock);
  if (m_pWriteBlock == nullptr) return;
  m_chain.KeepOnly(m_pWriteBlock);
  m_pReadBlock = m_pWriteBlock;
  m_stored = 0;
  m_ready = 1;
  m_fresh = 1;
}
