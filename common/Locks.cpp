#include "Locks.h"

#include <new>

CSemiAutoIntLock::CSemiAutoIntLock() { InitializeCriticalSectionAndSpinCount(&m_cs, 2000); }

CSemiAutoIntLock::~CSemiAutoIntLock() { DeleteCriticalSection(&m_cs); }

CSALocker::CSALocker(CSemiAutoIntLock* lock) : m_pSection(lock ? lock->Section() : nullptr) {
  if (m_pSection) EnterCriticalSection(m_pSection);
}

CSALocker::~CSALocker() {
  if (m_pSection) LeaveCriticalSection(m_pSection);
}

CDualLock* CDualLock::Create() {
  CDualLock* lock = new (std::nothrow) CDualLock;
  if (lock == nullptr) return nullptr;
  InitializeCriticalSectionAndSpinCount(&lock->first, 4000);
  InitializeCriticalSectionAndSpinCount(&lock->second, 4000);
  lock->counter = 0;
  return lock;
}

void CDualLock::Destroy(CDualLock* lock) {
  if (lock == nullptr) return;
  DeleteCriticalSection(&lock->first);
  DeleteCriticalSection(&lock->second);
  delete lock;
}
