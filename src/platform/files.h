#pragma once
// The few file-system operations the model needs.
#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"

namespace vorlane::platform {

// True when the path names an existing regular file (a directory does not count).
bool isRegularFile(const std::string& path);

// The whole file, or "Unable to open file." / a read error.
base::Result<std::vector<std::uint8_t>> readWholeFile(const std::string& path);

}  // namespace vorlane::platform
