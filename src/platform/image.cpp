#include "platform/image.h"

#include <atomic>

namespace vorlane::platform {

std::uint64_t Image::nextSerial() {
  static std::atomic<std::uint64_t> counter{1};
  return counter.fetch_add(1, std::memory_order_relaxed);
}

Image::Image(std::int32_t w, std::int32_t h)
    : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4, 0), serial(nextSerial()) {}

Image::Image(const Image& other)
    : width(other.width), height(other.height), pixels(other.pixels), mipmapped(other.mipmapped), serial(nextSerial()) {}

Image& Image::operator=(const Image& other) {
  width = other.width;
  height = other.height;
  pixels = other.pixels;
  mipmapped = other.mipmapped;
  serial = nextSerial();
  return *this;
}

}  // namespace vorlane::platform
