// The block pools of every handler: free send blocks and free receive blocks,
// a start stock made at Init, and extra blocks made on demand of which only
// a kept number survive their return.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "CircuitQueue.h"
#include "NewNetwork/NetDesc.h"
#include "NewNetwork/NetLock.h"

class CCommonBufferMgr {
 public:
  static CCommonBufferMgr& GetInstance();

  CCommonBufferMgr() : m_pendingAccept(0) {}
  virtual ~CCommonBufferMgr();
  CCommonBufferMgr(const CCommonBufferMgr&) = delete;
  CCommonBufferMgr& operator=(const CCommonBufferMgr&) = delete;

  // Sets the handlers' block sizes and makes their start stock. A second Init
  // (the next server of the process) drops the pooled blocks of the first;
  // blocks still out that no longer match their pool's size are freed on return.
  void Init(uint32_t handlerCount, const BUFFER_POOL_DESC* descs);

  // Null only for a handler that Init did not set up.
  CircuitQueue* GetSendBlock(uint32_t handler);
  CircuitQueue* GetRecvBlock(uint32_t handler);
  void ReturnSendBlock(CircuitQueue* block, uint32_t handler);
  void ReturnRecvBlock(CircuitQueue* block, uint32_t handler);

  // Pooled blocks, for diagnostics and tests.
  size_t FreeSendBlocks(uint32_t handler);
  size_t FreeRecvBlocks(uint32_t handler);

  LONG AddPendingAccept(LONG delta) { return InterlockedExchangeAdd(&m_pendingAccept, delta) + delta; }

 private:
  struct Pool {
    NetLock lock;
    std::vector<CircuitQueue*> blocks;
    int blockSize = 0;
    LONG extraKept = 0;
    LONG extraAlive = 0;
  };
  struct HandlerPools {
    Pool send;
    Pool recv;
  };

  Pool* PoolOf(uint32_t handler, bool send);
  static CircuitQueue* Take(Pool& pool);
  static void Give(Pool& pool, CircuitQueue* block);
  static void Restock(Pool& pool, uint32_t blockSize, uint32_t atStart, uint32_t extraKept);

  NetLock m_tableLock;
  std::vector<std::unique_ptr<HandlerPools>> m_handlers;
  LONG m_pendingAccept;
};
