#include "support/heap_probe.h"

#include <cstdlib>
#include <new>

namespace {

std::size_t gLive = 0;
std::size_t gPeak = 0;
std::size_t gLargest = 0;

void* allocate(std::size_t n) {
  // A header keeps the size for delete; 16 bytes keep the alignment malloc gives.
  auto* p = static_cast<std::size_t*>(std::malloc(n + 16));
  if (!p) throw std::bad_alloc();
  *p = n;
  gLive += n;
  if (gLive > gPeak) gPeak = gLive;
  if (n > gLargest) gLargest = n;
  return reinterpret_cast<char*>(p) + 16;
}

void release(void* q) noexcept {
  if (!q) return;
  auto* p = reinterpret_cast<std::size_t*>(static_cast<char*>(q) - 16);
  gLive -= *p;
  std::free(p);
}

}  // namespace

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return allocate(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }

namespace vorlane::test {

HeapProbe::HeapProbe() : before_(gLive) {
  gPeak = gLive;
  gLargest = 0;
}
std::size_t HeapProbe::peak() const { return gPeak - before_; }
std::size_t HeapProbe::largest() const { return gLargest; }

}  // namespace vorlane::test
