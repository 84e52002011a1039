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
// No file the decoders accept is larger: the side limit's pixels uncompressed at 8 bytes
// each (16-bit RGBA PNG in stored deflate blocks), with room for headers and chunks. A
// larger file is refused before it is read.
inline constexpr std::uint64_t kMaxImageFileBytes =
    std::uint64_t{kMaxImageSide} * (1 + std::uint64_t{kMaxImageSide} * 8) + (std::uint64_t{64} << 20);
inline constexpr const char* kImageFileTooLarge =
    "Not a valid image: the file is larger than any image of up to 16384 x 16384 pixels.";

// An image of w × h for a decoder, or "Not enough memory to decode an image of W x H pixels."
base::Result<Image> blankImage(std::int32_t w, std::int32_t h);
// The same for the decoders over C libraries: false with blankImage's message in their
// fixed-size error buffer.
bool blankImageInto(std::uint32_t w, std::uint32_t h, Image& into, char* message, std::size_t size);

// Decodes by content (not by extension). Files without an alpha channel get the
// black-to-transparent rule; files with one keep theirs.
base::Result<Image> decodeImage(std::span<const std::uint8_t> bytes);
base::Result<Image> decodeImageFile(const std::string& path);

// The sides an image of these bytes has, from its header alone: what decoding it will take
// is known before any pixel memory. Refuses what is no PNG, JPEG or BMP header, and sides
// outside 1 to kMaxImageSide.
struct ImageSize {
  std::int32_t width = 0, height = 0;
};
base::Result<ImageSize> imageSize(std::span<const std::uint8_t> bytes);

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
