#include "CircuitQueue.h"

#include <cstring>

#include "NewNetwork/Packet/PacketHeader.h"
#include "common/EngineFun/Helper.h"

CircuitQueue::CircuitQueue(int capacity, bool extra)
    : m_storage(capacity > 0 ? capacity : 0),
      m_length(0),
      m_capacity(capacity > 0 ? capacity : 0),
      m_head(0),
      m_tail(0),
      m_enqueueCount(0),
      m_extra(extra) {}

int CircuitQueue::GetLength() {
  NetHold hold(m_lock);
  return m_length;
}

int CircuitQueue::GetFreeBytes() {
  NetHold hold(m_lock);
  return m_capacity - m_length;
}

int CircuitQueue::GetBackDataCount() {
  NetHold hold(m_lock);
  return m_capacity - m_head;
}

char* CircuitQueue::GetReadPtr() {
  NetHold hold(m_lock);
  return m_storage.data() + m_head;
}

char* CircuitQueue::GetWritePtr() {
  NetHold hold(m_lock);
  return m_storage.data() + m_tail;
}

int CircuitQueue::GetReadableLen() {
  NetHold hold(m_lock);
  if (m_head == m_tail) return FullLocked() ? m_capacity - m_head : 0;
  if (m_head < m_tail) return m_tail - m_head;
  return m_capacity - m_head;
}

int CircuitQueue::GetWritableLen() {
  NetHold hold(m_lock);
  if (m_head == m_tail) return FullLocked() ? 0 : m_capacity - m_tail;
  if (m_head < m_tail) return m_capacity - m_tail;
  return m_head - m_tail;
}

int CircuitQueue::GetEnqueueCount() {
  NetHold hold(m_lock);
  return m_enqueueCount;
}

bool CircuitQueue::Enqueue(const char* data, int n) {
  NetHold hold(m_lock);
  int free = m_capacity - m_length;
  if (n <= 0 || free <= 0 || free < n) return false;
  if (data != nullptr) {
    int toEnd = m_capacity - m_tail;
    if (m_tail < m_head || toEnd >= n) {
      memcpy(m_storage.data() + m_tail, data, n);
    } else {
      memcpy(m_storage.data() + m_tail, data, toEnd);
      memcpy(m_storage.data(), data + toEnd, n - toEnd);
    }
  }
  m_length += n;
  m_enqueueCount += 1;
  m_tail = (m_tail + n) % m_capacity;
  return true;
}

bool CircuitQueue::Peek(char* out, int n) {
  NetHold hold(m_lock);
  if (n <= 0 || m_length < n) return false;
  int toEnd = m_capacity - m_head;
  if (toEnd >= n) {
    memcpy(out, m_storage.data() + m_head, n);
  } else {
    memcpy(out, m_storage.data() + m_head, toEnd);
    memcpy(out + toEnd, m_storage.data(), n - toEnd);
  }
  return true;
}

bool CircuitQueue::Dequeue(int n) {
  NetHold hold(m_lock);
  if (n <= 0 || m_length < n) return false;
  m_length -= n;
  m_enqueueCount -= 1;
  m_head = (m_head + n) % m_capacity;
  return true;
}

bool CircuitQueue::Encrypt(int n, uint8_t key) {
  NetHold hold(m_lock);
  if (n < 0 || m_capacity - m_length < n || m_tail + n > m_capacity) {
    ENGINE_REPORT("false&&\"Encrypt失败\"");
    return false;
  }
  ScrambleBytes(m_storage.data() + m_tail, n, key);
  return true;
}

void CircuitQueue::Reset() {
  NetHold hold(m_lock);
  m_length = 0;
  m_head = 0;
  m_tail = 0;
  m_enqueueCount = 0;
}
