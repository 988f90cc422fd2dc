// The largest single allocation, from any thread, since the probe was made:
// the test programs that link AllocationProbe.cpp replace operator new.
#pragma once
#include <cstddef>

namespace packtest {

class LargestAllocation {
 public:
  LargestAllocation();
  size_t Bytes() const;
};

}  // namespace packtest
