#pragma once
// Encoding images into the file formats the editor reads back.
#include <cstdint>
#include <vector>

#include "base/result.h"
#include "platform/image.h"

namespace vorlane::platform {

// An 8-bit PNG of the image: RGBA, or RGB (alpha dropped) when withAlpha is false.
base::Result<std::vector<std::uint8_t>> encodePng(const Image& image, bool withAlpha = true);

// A 24-bit bottom-up BMP of the image (alpha dropped): the format of normal-map companions.
std::vector<std::uint8_t> encodeBmp(const Image& image);

}  // namespace vorlane::platform
