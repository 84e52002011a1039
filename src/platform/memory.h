#pragma once
// How much more memory this process can take: what operations estimate their needs against.
#include <cstddef>
#include <cstdint>

namespace vorlane::platform {

// The smaller of the physical memory the system reports available and what is left under
// this process's address-space limit.
std::uint64_t availableMemory();

// Makes the pages of [begin, begin + bytes) present and writable without writing to them, so
// that the first writes take no page faults; threads may populate parts of one block at once.
// Does nothing where the system cannot.
void populate(void* begin, std::size_t bytes);

}  // namespace vorlane::platform
