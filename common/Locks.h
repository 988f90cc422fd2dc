// The shared lock classes: a spinning critical section with its scoped
// locker, and a heap record of two independent sections and a counter.
#pragma once
#include <windows.h>

class _CCriticalSectionImp {
 public:
  virtual ~_CCriticalSectionImp() {}
};

class CSemiAutoIntLock : public _CCriticalSectionImp {
 public:
  CSemiAutoIntLock();
  ~CSemiAutoIntLock() override;
  CSemiAutoIntLock(const CSemiAutoIntLock&) = delete;
  CSemiAutoIntLock& operator=(const CSemiAutoIntLock&) = delete;

  void Lock() { EnterCriticalSection(&m_cs); }
  void Unlock() { LeaveCriticalSection(&m_cs); }
  CRITICAL_SECTION* Section() { return &m_cs; }

 private:
  CRITICAL_SECTION m_cs;
};

class CSALocker {
 public:
  explicit CSALocker(CSemiAutoIntLock* lock);
  virtual ~CSALocker();
  CSALocker(const CSALocker&) = delete;
  CSALocker& operator=(const CSALocker&) = delete;

 private:
  CRITICAL_SECTION* m_pSection;
};

struct CDualLock {
  CRITICAL_SECTION first;
  CRITICAL_SECTION second;
  int counter;

  // Null when the allocation failed.
  static CDualLock* Create();
  // Null is ignored.
  static void Destroy(CDualLock* lock);
};

// Scoped hold of one plain critical section.
class CSectionHold {
 public:
  explicit CSectionHold(CRITICAL_SECTION* cs) : m_cs(cs) { EnterCriticalSection(m_cs); }
  ~CSectionHold() { LeaveCriticalSection(m_cs); }
  CSectionHold(const CSectionHold&) = delete;
  CSectionHold& operator=(const CSectionHold&) = delete;

 private:
  CRITICAL_SECTION* m_cs;
};
