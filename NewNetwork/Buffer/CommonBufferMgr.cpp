#include "CommonBufferMgr.h"

#include "common/EngineFun/Helper.h"
#include "common/Singleton.h"

CCommonBufferMgr& CCommonBufferMgr::GetInstance() { return util::Singleton<CCommonBufferMgr>::GetInstance(); }

CCommonBufferMgr::~CCommonBufferMgr() {
  for (auto& handler : m_handlers) {
    for (CircuitQueue* block : handler->send.blocks) delete block;
    for (CircuitQueue* block : handler->recv.blocks) delete block;
  }
}

void CCommonBufferMgr::Restock(Pool& pool, uint32_t blockSize, uint32_t atStart, uint32_t extraKept) {
  NetHold hold(pool.lock);
  for (CircuitQueue* block : pool.blocks) delete block;
  pool.blocks.clear();
  pool.blockSize = static_cast<int>(blockSize);
  pool.extraKept = static_cast<LONG>(extraKept);
  pool.extraAlive = 0;
  if (blockSize == 0) return;
  for (uint32_t i = 0; i < atStart; ++i) pool.blocks.push_back(new CircuitQueue(pool.blockSize));
}

void CCommonBufferMgr::Init(uint32_t handlerCount, const BUFFER_POOL_DESC* descs) {
  if (descs == nullptr && handlerCount != 0) {
    ENGINE_REPORT("false&&\"指针为空\"");
    return;
  }
  NetHold hold(m_tableLock);
  while (m_handlers.size() < handlerCount) m_handlers.emplace_back(new HandlerPools());
  for (uint32_t i = 0; i < handlerCount; ++i) {
    const BUFFER_POOL_DESC& d = descs[i];
    Restock(m_handlers[i]->send, d.dwSendBlockSize, d.dwSendBlocksAtStart, d.dwExtraSendBlocksKept);
    Restock(m_handlers[i]->recv, d.dwRecvBlockSize, d.dwRecvBlocksAtStart, d.dwExtraRecvBlocksKept);
  }
}

CCommonBufferMgr::Pool* CCommonBufferMgr::PoolOf(uint32_t handler, bool send) {
  NetHold hold(m_tableLock);
  if (handler >= m_handlers.size()) return nullptr;
  return send ? &m_handlers[handler]->send : &m_handlers[handler]->recv;
}

CircuitQueue* CCommonBufferMgr::Take(Pool& pool) {
  CircuitQueue* block = nullptr;
  {
    NetHold hold(pool.lock);
    if (!pool.blocks.empty()) {
      block = pool.blocks.back();
      pool.blocks.pop_back();
    } else if (pool.blockSize > 0) {
      block = new CircuitQueue(pool.blockSize, true);
      pool.extraAlive += 1;
    }
  }
  if (block != nullptr) block->Reset();
  return block;
}

void CCommonBufferMgr::Give(Pool& pool, CircuitQueue* block) {
  block->Reset();
  NetHold hold(pool.lock);
  bool sizeChanged = block->GetCapacity() != pool.blockSize;
  if (block->IsExtra() && !sizeChanged && pool.extraAlive > pool.extraKept) {
    pool.extraAlive -= 1;
    delete block;
  } else if (sizeChanged) {
    delete block;  // made for an earlier Init
  } else {
    pool.blocks.push_back(block);
  }
}

CircuitQueue* CCommonBufferMgr::GetSendBlock(uint32_t handler) {
  Pool* pool = PoolOf(handler, true);
  return pool != nullptr ? Take(*pool) : nullptr;
}

CircuitQueue* CCommonBufferMgr::GetRecvBlock(uint32_t handler) {
  Pool* pool = PoolOf(handler, false);
  return pool != nullptr ? Take(*pool) : nullptr;
}

void CCommonBufferMgr::ReturnSendBlock(CircuitQueue* block, uint32_t handler) {
  if (block == nullptr) {
    ENGINE_REPORT("false&&\"指针为空\"");
    return;
  }
  Pool* pool = PoolOf(handler, true);
  if (pool != nullptr) Give(*pool, block);
  else delete block;
}

void CCommonBufferMgr::ReturnRecvBlock(CircuitQueue* block, uint32_t handler) {
  if (block == nullptr) {
    ENGINE_REPORT("false&&\"指针为空\"");
    return;
  }
  Pool* pool = PoolOf(handler, false);
  if (pool != nullptr) Give(*pool, block);
  else delete block;
}

size_t CCommonBufferMgr::FreeSendBlocks(uint32_t handler) {
  Pool* pool = PoolOf(handler, true);
  if (pool == nullptr) return 0;
  NetHold hold(pool->lock);
  return pool->blocks.size();
}

size_t CCommonBufferMgr::FreeRecvBlocks(uint32_t handler) {
  Pool* pool = PoolOf(handler, false);
  if (pool == nullptr) return 0;
  NetHold hold(pool->lock);
  return pool->blocks.size();
}
