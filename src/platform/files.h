#pragma once
// The few file-system operations the model needs.
#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"

namespace vorlane::platform {

inline constexpr const char* kUnableToOpenFile = "Unable to open file.";
inline constexpr const char* kFileTooLarge = "The file is too large.";

// True when the path names an existing regular file (a directory does not count).
bool isRegularFile(const std::string& path);

// The whole file; a file larger than maxBytes is refused before anything is read or
// reserved ("The file is too large."), as is one that grows past it while being read.
// Also "Unable to open file.", a read error, or "Not enough memory to read PATH.".
base::Result<std::vector<std::uint8_t>> readWholeFile(const std::string& path, std::uint64_t maxBytes);

}  // namespace vorlane::platform
