#include "AllocationProbe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<size_t> g_largest{0};

}  // namespace

// libstdc++'s other forms of new call this one, and its deletes call free.
void* operator new(size_t size) {
  for (size_t seen = g_largest.load(); size > seen && !g_largest.compare_exchange_weak(seen, size);) {
  }
  if (void* p = malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}

namespace packtest {

LargestAllocation::LargestAllocation() { g_largest = 0; }

size_t LargestAllocation::Bytes() const { return g_largest.load(); }

}  // namespace packtest
