#include "AllocationProbe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<int> g_probes{0};
std::atomic<size_t> g_largest{0};

void Note(size_t size) {
  if (g_probes.load() == 0) return;
  for (size_t seen = g_largest.load(); size > seen && !g_largest.compare_exchange_weak(seen, size);) {
  }
}

void* Allocate(size_t size) {
  Note(size);
  return malloc(size != 0 ? size : 1);
}

}  // namespace

void* operator new(size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { free(p); }

namespace packtest {

LargestAllocation::LargestAllocation() {
  g_largest = 0;
  ++g_probes;
}

LargestAllocation::~LargestAllocation() { --g_probes; }

size_t LargestAllocation::Bytes() const { return g_largest.load(); }

}  // namespace packtest
