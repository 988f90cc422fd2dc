// A session's send side: writers on any thread append packets to the newest
// block; the sender hands out the oldest block's contiguous bytes, one send
// in flight at a time, and drops drained blocks.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>

#include "BlockChain.h"
#include "NewNetwork/NetDesc.h"
#include "NewNetwork/NetLock.h"

class SendBufferEX {
 public:
  SendBufferEX() : m_chain(true), m_pSendBlock(nullptr), m_pWriteBlock(nullptr), m_listMaxSize(0), m_ready(1), m_fresh(1), m_queued(0) {}
  SendBufferEX(const SendBufferEX&) = delete;
  SendBufferEX& operator=(const SendBufferEX&) = delete;

  void Init(const IOHANDLER_DESC& desc);
  void Reset();
  void OnSendComplete(int n);
  // The next contiguous bytes to send; false when none or a send is in flight.
  bool GetSendRegion(char** ptr, int* len);
  // A send ended without data (a stale completion): ready again.
  void MarkReady() { InterlockedExchange(&m_ready, 1); }
  // The whole packet or nothing: a packet the block limit cannot hold is
  // refused before any byte is queued.
  bool Write(const char* data, int n);
  bool IsFresh() const { return m_fresh != 0; }
  bool IsReady() const { return m_ready != 0; }
  bool HasData();
  int GetBlockCount() { return m_chain.Count(); }

 private:
  bool HasDataLocked();

  BlockChain m_chain;
  NetLock m_sendBlockLock;
  CircuitQueue* m_pSendBlock;
  NetLock m_writeBlockLock;
  CircuitQueue* m_pWriteBlock;  // changed under the write-block and the chain's lock
  NetLock m_bufferLock;
  int m_listMaxSize;
  volatile LONG m_ready;
  volatile LONG m_fresh;
  // Bytes written and not yet sent: an idle session costs the sender one read.
  volatile LONG m_queued;
};
