#pragma once
// 32-bit RGBA pixels, rows top to bottom: what decoders produce and canvases draw.
#include <cstdint>
#include <memory>
#include <vector>

namespace vorlane::platform {

struct Image {
  Image() : serial(nextSerial()) {}
  Image(std::int32_t w, std::int32_t h);  // blank: every pixel (0, 0, 0, 0)
  Image(const Image& other);
  Image& operator=(const Image& other);
  // A move takes the pixels and the serial (a canvas's upload stays valid); the source is
  // left as a fresh blank 0 × 0 image.
  Image(Image&& other) noexcept;
  Image& operator=(Image&& other) noexcept;

  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> pixels;  // (y * width + x) * 4 + channel
  // Minified through mipmaps (tiles read from a project); others take the nearest pixel.
  bool mipmapped = false;
  // Distinct for every image object, so a canvas can cache what it uploaded.
  std::uint64_t serial;

  std::uint8_t* at(std::int32_t x, std::int32_t y) {
    return pixels.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
  }
  const std::uint8_t* at(std::int32_t x, std::int32_t y) const {
    return pixels.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
  }

 private:
  static std::uint64_t nextSerial();
  void reset() noexcept;
};

using ImagePtr = std::shared_ptr<Image>;

}  // namespace vorlane::platform
