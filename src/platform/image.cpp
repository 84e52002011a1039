#include "platform/image.h"

#include <atomic>
#include <utility>

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

Image::Image(Image&& other) noexcept
    : width(other.width), height(other.height), pixels(std::move(other.pixels)), mipmapped(other.mipmapped),
      serial(other.serial) {
  other.reset();
}

Image& Image::operator=(Image&& other) noexcept {
  if (this == &other) return *this;
  width = other.width;
  height = other.height;
  pixels = std::move(other.pixels);
  mipmapped = other.mipmapped;
  serial = other.serial;
  other.reset();
  return *this;
}

void Image::reset() noexcept {
  width = 0;
  height = 0;
  pixels.clear();
  mipmapped = false;
  serial = nextSerial();
}

}  // namespace vorlane::platform
