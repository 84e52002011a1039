#include "platform/decode.h"

#include <cstring>

#include "platform/files.h"

namespace vorlane::platform {

namespace {

bool startsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> magic) {
  return bytes.size() >= magic.size() && std::memcmp(bytes.data(), magic.begin(), magic.size()) == 0;
}

bool isBlack(const std::uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 0; }

}  // namespace

void applyBlackTransparency(Image& image) {
  const Image source = image;  // neighbours are judged on the original colours
  for (std::int32_t y = 0; y < image.height; ++y) {
    for (std::int32_t x = 0; x < image.width; ++x) {
      std::uint8_t* p = image.at(x, y);
      if (!isBlack(source.at(x, y))) {
        p[3] = 255;
        continue;
      }
      int sum[3] = {0, 0, 0};
      int count = 0;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          int nx = x + dx, ny = y + dy;
          if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= image.width || ny >= image.height) continue;
          const std::uint8_t* q = source.at(nx, ny);
          if (isBlack(q)) continue;
          for (int k = 0; k < 3; ++k) sum[k] += q[k];
          ++count;
        }
      }
      for (int k = 0; k < 3; ++k) p[k] = static_cast<std::uint8_t>(count ? sum[k] / count : 0);
      p[3] = 0;
    }
  }
}

base::Result<Decoded> decodeByContent(std::span<const std::uint8_t> bytes) {
  if (startsWith(bytes, {0x89, 'P', 'N', 'G'})) return decodePng(bytes);
  if (startsWith(bytes, {0xFF, 0xD8})) return decodeJpeg(bytes);
  if (startsWith(bytes, {'B', 'M'})) return decodeBmp(bytes);
  return base::Error{"not a PNG, JPEG or BMP image"};
}

base::Result<Image> decodeImage(std::span<const std::uint8_t> bytes) {
  auto decoded = decodeByContent(bytes);
  if (!decoded) return base::Error{decoded.error()};
  if (!decoded->hasAlpha) applyBlackTransparency(decoded->image);
  return std::move(decoded->image);
}

base::Result<Image> decodeImageFile(const std::string& path) {
  auto bytes = readWholeFile(path);
  if (!bytes) return base::Error{bytes.error()};
  return decodeImage(*bytes);
}

}  // namespace vorlane::platform
