// The chain of blocks behind one session buffer, oldest first, with its list
// lock and the pool its blocks come from and go back to.
#pragma once
#include <cstdint>
#include <deque>

#include "CircuitQueue.h"
#include "NewNetwork/NetLock.h"

class BlockChain {
 public:
  explicit BlockChain(bool sendSide) : m_sendSide(sendSide), m_poolIndex(0) {}
  ~BlockChain() { ReturnAll(); }
  BlockChain(const BlockChain&) = delete;
  BlockChain& operator=(const BlockChain&) = delete;

  // Returns every block and takes a single fresh one from the pool of this
  // handler; null when the pool has none.
  CircuitQueue* Restart(uint32_t poolIndex);
  void ReturnAll();

  CircuitQueue* TakeFromPool();
  void GiveToPool(CircuitQueue* block);

  int Count();
  CircuitQueue* Oldest();
  CircuitQueue* Newest();
  void Append(CircuitQueue* block);
  // Drops the oldest block, which must be `expected`, into the pool and
  // returns the new oldest; null (reported) when the chain has fewer than 2
  // blocks or is out of order.
  CircuitQueue* DropOldest(CircuitQueue* expected);
  // Keeps only `keep`, emptied.
  void KeepOnly(CircuitQueue* keep);

  int TotalLength();
  // Copies n bytes from the oldest block on, across blocks; false when the
  // chain holds fewer.
  bool PeekAcross(char* out, int n);

  uint32_t PoolIndex() const { return m_poolIndex; }

 private:
  NetLock m_lock;
  std::deque<CircuitQueue*> m_blocks;
  bool m_sendSide;
  uint32_t m_poolIndex;
};
