#include "platform/decode.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/convert.h"

#include "platform/files.h"

namespace vorlane::platform {

namespace {

bool startsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> magic) {
  return bytes.size() >= magic.size() && std::memcmp(bytes.data(), magic.begin(), magic.size()) == 0;
}

bool isBlack(const std::uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 0; }

}  // namespace

// Neighbours are judged on the original colours: the row above is kept as it was before
// it changed, the rows below have not changed yet. Two rows, not a copy of the image.
void applyBlackTransparency(Image& image) {
  const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 4;
  std::vector<std::uint8_t> above(rowBytes), current(rowBytes);
  for (std::int32_t y = 0; y < image.height; ++y) {
    std::memcpy(current.data(), image.at(0, y), rowBytes);
    auto original = [&](std::int32_t nx, std::int32_t ny) -> const std::uint8_t* {
      if (ny == y) return current.data() + static_cast<std::size_t>(nx) * 4;
      if (ny < y) return above.data() + static_cast<std::size_t>(nx) * 4;
      return image.at(nx, ny);
    };
    for (std::int32_t x = 0; x < image.width; ++x) {
      std::uint8_t* p = image.at(x, y);
      if (!isBlack(original(x, y))) {
        p[3] = 255;
        continue;
      }
      int sum[3] = {0, 0, 0};
      int count = 0;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          int nx = x + dx, ny = y + dy;
          if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= image.width || ny >= image.height) continue;
          const std::uint8_t* q = original(nx, ny);
          if (isBlack(q)) continue;
          for (int k = 0; k < 3; ++k) sum[k] += q[k];
          ++count;
        }
      }
      for (int k = 0; k < 3; ++k) p[k] = static_cast<std::uint8_t>(count ? sum[k] / count : 0);
      p[3] = 0;
    }
    above.swap(current);
  }
}

base::Result<Image> blankImage(std::int32_t w, std::int32_t h) {
  try {
    return Image(w, h);
  } catch (const std::bad_alloc&) {
    return base::outOfMemory("decode an image of " + base::intToText(w) + " x " + base::intToText(h) + " pixels");
  }
}

bool blankImageInto(std::uint32_t w, std::uint32_t h, Image& into, char* message, std::size_t size) {
  auto blank = blankImage(static_cast<std::int32_t>(w), static_cast<std::int32_t>(h));
  if (!blank) {
    std::snprintf(message, size, "%s", blank.error().c_str());
    return false;
  }
  into = std::move(*blank);
  return true;
}

base::Result<Decoded> decodeByContent(std::span<const std::uint8_t> bytes) {
  if (startsWith(bytes, {0x89, 'P', 'N', 'G'})) return decodePng(bytes);
  if (startsWith(bytes, {0xFF, 0xD8})) return decodeJpeg(bytes);
  if (startsWith(bytes, {'B', 'M'})) return decodeBmp(bytes);
  return base::Error{"not a PNG, JPEG or BMP image"};
}

namespace {

std::uint32_t bigEndian(const std::uint8_t* p, int n) {
  std::uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = v << 8 | p[i];
  return v;
}

std::int64_t littleEndian(const std::uint8_t* p, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
  return n == 4 ? static_cast<std::int32_t>(v) : static_cast<std::int64_t>(v);
}

// The frame header of a JPEG: the first start-of-frame marker's sides.
bool jpegSize(std::span<const std::uint8_t> b, std::int64_t& w, std::int64_t& h) {
  std::size_t at = 2;
  while (at + 4 <= b.size()) {
    if (b[at] != 0xFF) return false;
    const std::uint8_t marker = b[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    const std::size_t length = bigEndian(&b[at + 2], 2);
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (at + 9 > b.size()) return false;
      h = bigEndian(&b[at + 5], 2);
      w = bigEndian(&b[at + 7], 2);
      return true;
    }
    if (length < 2) return false;
    at += 2 + length;
  }
  return false;
}

}  // namespace

base::Result<ImageSize> imageSize(std::span<const std::uint8_t> b) {
  std::int64_t w = 0, h = 0;
  bool known = false;
  if (startsWith(b, {0x89, 'P', 'N', 'G'}) && b.size() >= 24 && std::memcmp(&b[12], "IHDR", 4) == 0) {
    w = bigEndian(&b[16], 4);
    h = bigEndian(&b[20], 4);
    known = true;
  } else if (startsWith(b, {0xFF, 0xD8})) {
    known = jpegSize(b, w, h);
  } else if (startsWith(b, {'B', 'M'}) && b.size() >= 26) {
    const bool core = littleEndian(&b[14], 4) == 12;
    w = littleEndian(&b[18], core ? 2 : 4);
    h = littleEndian(&b[core ? 20 : 22], core ? 2 : 4);
    if (h < 0) h = -h;  // rows top-down
    known = true;
  }
  if (!known) return base::Error{"not a PNG, JPEG or BMP image"};
  if (w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide)
    return base::Error{"an image of " + std::to_string(w) + " x " + std::to_string(h) +
                       " pixels (the sides may be 1 to " + std::to_string(kMaxImageSide) + ")"};
  return ImageSize{static_cast<std::int32_t>(w), static_cast<std::int32_t>(h)};
}

base::Result<Image> decodeImage(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > kMaxImageFileBytes) return base::Error{kImageFileTooLarge};
  auto decoded = decodeByContent(bytes);
  if (!decoded) return base::Error{decoded.error()};
  if (!decoded->hasAlpha) applyBlackTransparency(decoded->image);
  return std::move(decoded->image);
}

base::Result<Image> decodeImageFile(const std::string& path) {
  auto bytes = readWholeFile(path, kMaxImageFileBytes);
  if (!bytes) return base::Error{bytes.error() == kFileTooLarge ? kImageFileTooLarge : bytes.error()};
  return decodeImage(*bytes);
}

}  // namespace vorlane::platform
