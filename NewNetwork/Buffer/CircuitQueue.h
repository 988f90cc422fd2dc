// One block: a fixed-capacity byte ring. Every operation holds the block's
// own lock, so a reader and a writer on different threads see whole updates.
#pragma once
#include <cstdint>
#include <vector>

#include "NewNetwork/NetLock.h"

class CircuitQueue {
 public:
  explicit CircuitQueue(int capacity, bool extra = false);
  virtual ~CircuitQueue() {}
  CircuitQueue(const CircuitQueue&) = delete;
  CircuitQueue& operator=(const CircuitQueue&) = delete;

  int GetLength();
  int GetCapacity() const { return m_capacity; }
  int GetFreeBytes();
  int GetBackDataCount();  // capacity - head
  char* GetReadPtr();      // storage + head
  char* GetWritePtr();     // storage + tail
  int GetReadableLen();    // contiguous bytes from head
  int GetWritableLen();    // contiguous free bytes from tail
  int GetEnqueueCount();
  bool IsExtra() const { return m_extra; }

  // Null data only books n bytes that already sit at tail (a receive).
  bool Enqueue(const char* data, int n);
  bool Dequeue(int n);
  // Copies n bytes from head, across the end of storage when wrapped.
  bool Peek(char* out, int n);
  // XORs the n bytes at tail; refused when they would cross the end of storage.
  bool Encrypt(int n, uint8_t key);
  // Empty again: length, head, tail and the enqueue count 0.
  void Reset();

 private:
  bool FullLocked() const { return m_length == m_capacity; }

  NetLock m_lock;
  std::vector<char> m_storage;
  int m_length;
  int m_capacity;
  int m_head;
  int m_tail;
  int m_enqueueCount;
  bool m_extra;
};
