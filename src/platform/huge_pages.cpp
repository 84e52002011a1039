// The program's operator new: large blocks ask the kernel for huge pages. On virtual machines
// a page fault costs microseconds, and the cells, layers and buffers of a big map otherwise
// fault 4 KiB at a time: about half of a large import's time went to the kernel.
// Sanitizer builds keep their own allocator, which checks new against delete.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define VORLANE_KEEP_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VORLANE_KEEP_ALLOCATOR 1
#endif

#ifndef VORLANE_KEEP_ALLOCATOR
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;

// Only the whole huge pages inside the block: its ends may share pages with other blocks.
void adviseHugePages(void* block, std::size_t size) {
  const auto begin = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = (begin + size) & ~(kHugePage - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

void* allocate(std::size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* block = std::malloc(size)) {
      if (size >= 2 * kHugePage) adviseHugePages(block, size);
      return block;
    }
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void* allocateOrNull(std::size_t size) noexcept {
  try {
    return allocate(size);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocateOrNull(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocateOrNull(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
#endif
