#pragma once
// Writing an image as an 8-bit RGB PNG (alpha dropped): what `vorlane-tool png` and scripts save.
#include "base/bytes.h"
#include "platform/image.h"

namespace vorlane::platform {

// Streams the PNG into `out`. Throws base::StreamError when `out` refuses a write or libpng fails.
void encodePng(const Image& image, base::ByteWriter& out);

}  // namespace vorlane::platform
