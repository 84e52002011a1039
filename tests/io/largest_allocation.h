#pragma once
// Records the largest single allocation made while a tracker is alive (replaces operator new).
#include <cstddef>

namespace vorlane::io::test {

class LargestAllocation {
 public:
  LargestAllocation();
  ~LargestAllocation();
  LargestAllocation(const LargestAllocation&) = delete;
  LargestAllocation& operator=(const LargestAllocation&) = delete;
  std::size_t bytes() const;
};

}  // namespace vorlane::io::test
