// The largest single allocation made while a probe is alive, from any
// thread. The test programs that link AllocationProbe.cpp replace the global
// operator new for this; nothing else changes.
#pragma once
#include <cstddef>

namespace packtest {

class LargestAllocation {
 public:
  LargestAllocation();
  ~LargestAllocation();
  LargestAllocation(const LargestAllocation&) = delete;
  LargestAllocation& operator=(const LargestAllocation&) = delete;
  size_t Bytes() const;
};

}  // namespace packtest
