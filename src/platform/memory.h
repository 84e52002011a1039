#pragma once
// How much more memory this process can take: what operations estimate their needs against.
#include <cstdint>

namespace vorlane::platform {

// The smaller of the physical memory the system reports available and what is left under
// this process's address-space limit.
std::uint64_t availableMemory();

}  // namespace vorlane::platform
