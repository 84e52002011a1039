#pragma once
// Writing images as PNG files (through any ByteWriter, so through the atomic file path).
#include "base/bytes.h"
#include "platform/image.h"

namespace vorlane::platform {

// An 8-bit PNG of the image, row by row: RGBA, or RGB with the alpha left out. Throws
// base::StreamError when the writer's file refuses bytes or libpng fails.
void encodePng(const Image& image, bool withAlpha, base::ByteWriter& out);

}  // namespace vorlane::platform
