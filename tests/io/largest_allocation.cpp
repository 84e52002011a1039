#include "largest_allocation.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> tracking{false};
std::atomic<std::size_t> largest{0};
}  // namespace

void* operator new(std::size_t n) {
  if (tracking && n > largest) largest = n;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace vorlane::io::test {

LargestAllocation::LargestAllocation() {
  largest = 0;
  tracking = true;
}
LargestAllocation::~LargestAllocation() { tracking = false; }
std::size_t LargestAllocation::bytes() const { return largest; }

}  // namespace vorlane::io::test
