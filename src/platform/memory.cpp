#include "platform/memory.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <string>

namespace vorlane::platform {

namespace {

// MemAvailable counts the page cache the kernel can give back, which free memory does not.
std::uint64_t physicalAvailable() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::uint64_t kib = 0;
  while (meminfo >> key >> kib) {
    if (key == "MemAvailable:") return kib * 1024;
    meminfo.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  }
  const long pages = ::sysconf(_SC_AVPHYS_PAGES), size = ::sysconf(_SC_PAGESIZE);
  return pages > 0 && size > 0 ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size)
                               : std::numeric_limits<std::uint64_t>::max();
}

std::uint64_t addressSpaceLeft() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return std::numeric_limits<std::uint64_t>::max();
  std::ifstream statm("/proc/self/statm");
  std::uint64_t pages = 0;
  statm >> pages;
  const std::uint64_t used = pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}

}  // namespace

std::uint64_t availableMemory() { return std::min(physicalAvailable(), addressSpaceLeft()); }

void populate(void* begin, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto first = reinterpret_cast<std::uintptr_t>(begin) & ~(page - 1);
  const auto end = reinterpret_cast<std::uintptr_t>(begin) + bytes;
  if (bytes > 0) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
  (void)begin;
  (void)bytes;
#endif
}

}  // namespace vorlane::platform
