// A session's receive side: the I/O worker receives into the newest block's
// free bytes; the update thread takes complete packets from the oldest block
// on, in place when contiguous, else copied into its thread's scratch region.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>

#include "BlockChain.h"
#include "NewNetwork/NetDesc.h"
#include "NewNetwork/NetLock.h"

// Where a packet that is not contiguous in its blocks is put together: this
// offset of the calling thread's buffer, at least 0xFFFF bytes long.
const unsigned kReassemblyOffset = 786408;

class RecvBufferEX {
 public:
  RecvBufferEX() : m_chain(false), m_pReadBlock(nullptr), m_pWriteBlock(nullptr), m_ready(1), m_fresh(1), m_listMaxSize(0), m_stored(0) {}
  RecvBufferEX(const RecvBufferEX&) = delete;
  RecvBufferEX& operator=(const RecvBufferEX&) = delete;

  void Init(const IOHANDLER_DESC& desc);
  // No block limit.
  void Init(uint32_t poolIndex);
  void OnRecvComplete(int n);
  // Unscrambles the n bytes just received at the newest block's tail.
  bool Unscramble(int n, uint8_t key);
  void Reset();
  // Free contiguous bytes to receive into; false when the limit is reached.
  bool GetRecvRegion(char** ptr, int* len);
  // The first complete packet, or null. A length field outside 10..0xFFFF
  // means the framing is lost: reported, *bad set, null.
  char* GetFirstPacketPtr(uint32_t sessionId, bool* bad);
  void RemoveFirstPacket(int n);
  bool IsFresh() const { return m_fresh != 0; }
  bool IsReady() const { return m_ready != 0; }
  int GetBlockCount() { return m_chain.Count(); }

 private:
  bool EnsureSpaceLocked();

  BlockChain m_chain;
  CircuitQueue* m_pReadBlock;
  NetLock m_writeBlockLock;
  CircuitQueue* m_pWriteBlock;
  NetLock m_bufferLock;
  volatile LONG m_ready;
  volatile LONG m_fresh;
  int m_listMaxSize;
  // Bytes received and not yet taken: an idle session costs the update
  // thread one read instead of a walk under the locks.
  volatile LONG m_stored;
};
