#pragma once
// Encoding images into the file formats the editor reads back.
#include <cstdint>
#include <functional>
#include <vector>

#include "base/bytes.h"
#include "base/result.h"
#include "platform/image.h"

namespace vorlane::platform {

// libpng writes no wider or taller image (its user limits).
inline constexpr std::int64_t kMaxPngSide = 1000000;

// An 8-bit PNG of the image: RGBA, or RGB (alpha dropped) when withAlpha is false.
base::Result<std::vector<std::uint8_t>> encodePng(const Image& image, bool withAlpha = true);
// The same written row by row through `out` (so through the atomic file path). Throws
// base::StreamError when the writer's file refuses bytes, base::FormatError with libpng's
// reason when it refuses the picture itself.
// `zlibLevel` 0 to 9 trades size for time; -1 is libpng's default.
void encodePng(const Image& image, bool withAlpha, base::ByteWriter& out, int zlibLevel = -1);
// An 8-bit RGB PNG of width × height pixels whose rows `rows` fills a band at a time (first
// row, count, 3 bytes a pixel), written through `out` as the above: a picture too large to
// hold whole is never in memory.
using PngRows = std::function<void(std::int32_t first, std::int32_t count, std::uint8_t* rgb)>;
void encodePngRows(std::int32_t width, std::int32_t height, const PngRows& rows, base::ByteWriter& out);

// A 24-bit bottom-up BMP of the image (alpha dropped): the format of normal-map companions.
std::vector<std::uint8_t> encodeBmp(const Image& image);

}  // namespace vorlane::platform
