#pragma once
// Decoding PNG, JPEG and BMP files into RGBA images.
#include <cstdint>
#include <span>
#include <string>

#include "base/result.h"
#include "platform/image.h"

namespace vorlane::platform {

// Larger sides are refused before any pixel memory is taken.
inline constexpr std::int32_t kMaxImageSide = 16384;

// Decodes by content (not by extension). Files without an alpha channel get the
// black-to-transparent rule; files with one keep theirs.
base::Result<Image> decodeImage(std::span<const std::uint8_t> bytes);
base::Result<Image> decodeImageFile(const std::string& path);

// The format decoders; each reports whether the file carried alpha.
struct Decoded {
  Image image;
  bool hasAlpha = false;
};
// The decoder chosen by the file's content, without the black-to-transparent rule: images
// made for other editors, which draw black as black.
base::Result<Decoded> decodeByContent(std::span<const std::uint8_t> bytes);
base::Result<Decoded> decodePng(std::span<const std::uint8_t> bytes);
base::Result<Decoded> decodeJpeg(std::span<const std::uint8_t> bytes);
base::Result<Decoded> decodeBmp(std::span<const std::uint8_t> bytes);

// Black pixels become alpha 0 with the integer mean colour of their non-black neighbours;
// every other pixel gets alpha 255.
void applyBlackTransparency(Image& image);

}  // namespace vorlane::platform
