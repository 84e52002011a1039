#pragma once
// PNG files of images: the atlases of an export and the composite picture of a map.
#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"
#include "platform/image.h"

namespace vorlane::formats {

// An 8-bit RGBA (or, without alpha, RGB) PNG of the image, in memory.
base::Result<std::vector<std::uint8_t>> encodePng(const platform::Image& image, bool withAlpha);

// Writes it at exactly `path` through a temporary file.
base::Status writePngFile(const std::string& path, const platform::Image& image, bool withAlpha);

}  // namespace vorlane::formats
