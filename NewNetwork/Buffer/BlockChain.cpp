#include "BlockChain.h"

#include <algorithm>

#include "CommonBufferMgr.h"
#include "common/EngineFun/Helper.h"

CircuitQueue* BlockChain::TakeFromPool() {
  CCommonBufferMgr& mgr = CCommonBufferMgr::GetInstance();
  return m_sendSide ? mgr.GetSendBlock(m_poolIndex) : mgr.GetRecvBlock(m_poolIndex);
}

void BlockChain::GiveToPool(CircuitQueue* block) {
  CCommonBufferMgr& mgr = CCommonBufferMgr::GetInstance();
  if (m_sendSide)
    mgr.ReturnSendBlock(block, m_poolIndex);
  else
    mgr.ReturnRecvBlock(block, m_poolIndex);
}

CircuitQueue* BlockChain::Restart(uint32_t poolIndex) {
  ReturnAll();
  m_poolIndex = poolIndex;
  CircuitQueue* block = TakeFromPool();
  if (block != nullptr) Append(block);
  return block;
}

void BlockChain::ReturnAll() {
  std::deque<CircuitQueue*> blocks;
  {
    NetHold hold(m_lock);
    blocks.swap(m_blocks);
  }
  for (CircuitQueue* block : blocks) GiveToPool(block);
}

int BlockChain::Count() {
  NetHold hold(m_lock);
  return static_cast<int>(m_blocks.size());
}

CircuitQueue* BlockChain::Oldest() {
  NetHold hold(m_lock);
  return m_blocks.empty() ? nullptr : m_blocks.front();
}

CircuitQueue* BlockChain::Newest() {
  NetHold hold(m_lock);
  return m_blocks.empty() ? nullptr : m_blocks.back();
}

void BlockChain::Append(CircuitQueue* block) {
  NetHold hold(m_lock);
  m_blocks.push_back(block);
}

CircuitQueue* BlockChain::DropOldest(CircuitQueue* expected) {
  NetHold hold(m_lock);
  if (m_blocks.size() < 2) {
    ENGINE_REPORT("false&&\"算法有问题，容器数量少于2\"");
    return nullptr;
  }
  if (m_blocks.front() != expected) {
    ENGINE_REPORT("false&&\"数据有问题，按道理是先近先出的\"");
    return nullptr;
  }
  m_blocks.pop_front();
  GiveToPool(expected);
  return m_blocks.front();
}

void BlockChain::KeepOnly(CircuitQueue* keep) {
  NetHold hold(m_lock);
  for (CircuitQueue* block : m_blocks)
    if (block != keep) GiveToPool(block);
  m_blocks.clear();
  if (keep != nullptr) {
    keep->Reset();
    m_blocks.push_back(keep);
  }
}

int BlockChain::TotalLength() {
  NetHold hold(m_lock);
  int total = 0;
  for (CircuitQueue* block : m_blocks) total += block->GetLength();
  return total;
}

bool BlockChain::PeekAcross(char* out, int n) {
  NetHold hold(m_lock);
  int copied = 0;
  for (CircuitQueue* block : m_blocks) {
    if (copied == n) break;
    int take = std::min(block->GetLength(), n - copied);
    if (take > 0 && !block->Peek(out + copied, take)) return false;
    copied += take;
  }
  return copied == n;
}
