// The threads that serve one completion port: each ends on one packet
// without a key, so ending them all is one packet per thread and a wait.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <process.h>

#include <cstdint>

#include "common/EngineFun/Helper.h"
#include "common/ScopedHandle.h"

// More threads than the limit asked: reported, and the limit it is.
inline uint32_t ThreadCountWithin(uint32_t asked, uint32_t limit, const char* report) {
  if (asked <= limit) return asked;
  ENGINE_REPORT(report);
  return limit;
}

inline void StartThreads(ScopedHandle* threads, uint32_t count, unsigned(__stdcall* proc)(void*), void* arg) {
  for (uint32_t i = 0; i < count; ++i)
    threads[i].Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, proc, arg, 0, nullptr)));
}

inline void EndPortThreads(HANDLE port, ScopedHandle* threads, uint32_t count, DWORD bytes) {
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  uint32_t n = 0;
  for (uint32_t i = 0; i < count && n < MAXIMUM_WAIT_OBJECTS; ++i) {
    PostQueuedCompletionStatus(port, bytes, 0, nullptr);
    if (threads[i].IsValid()) handles[n++] = threads[i].Get();
  }
  if (n > 0) WaitForMultipleObjects(n, handles, TRUE, INFINITE);
}
