#include "tiles/normals.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vorlane::tiles {

namespace {

// Heights 0..1 row by row; transparent pixels are ground.
std::vector<float> heights(const platform::Image& image) {
  std::vector<float> h(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
  for (std::int32_t y = 0; y < image.height; ++y)
    for (std::int32_t x = 0; x < image.width; ++x) {
      const std::uint8_t* p = image.at(x, y);
      float luminance = (0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2]) / 255.0f;
      h[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)] =
          p[3] < 128 ? 0.0f : luminance;
    }
  return h;
}

// One pass of a box blur along rows (step 1) or columns (step width), edges clamped.
void boxPass(std::vector<float>& h, std::int32_t width, std::int32_t height, std::int32_t radius, bool rows) {
  std::vector<float> line(static_cast<std::size_t>(rows ? width : height));
  const std::int32_t lines = rows ? height : width;
  const std::int32_t n = rows ? width : height;
  auto index = [&](std::int32_t l, std::int32_t i) {
    return rows ? static_cast<std::size_t>(l) * static_cast<std::size_t>(width) + static_cast<std::size_t>(i)
                : static_cast<std::size_t>(i) * static_cast<std::size_t>(width) + static_cast<std::size_t>(l);
  };
  for (std::int32_t l = 0; l < lines; ++l) {
    for (std::int32_t i = 0; i < n; ++i) line[static_cast<std::size_t>(i)] = h[index(l, i)];
    for (std::int32_t i = 0; i < n; ++i) {
      float sum = 0;
      for (std::int32_t k = -radius; k <= radius; ++k)
        sum += line[static_cast<std::size_t>(std::clamp(i + k, 0, n - 1))];
      h[index(l, i)] = sum / static_cast<float>(2 * radius + 1);
    }
  }
}

std::uint8_t encode(float c) {
  return static_cast<std::uint8_t>(std::clamp(std::lround((c + 1.0f) * 0.5f * 255.0f), 0L, 255L));
}

}  // namespace

platform::Image deriveNormalMap(const platform::Image& image, const NormalOptions& options) {
  platform::Image out(image.width, image.height);
  if (image.width <= 0 || image.height <= 0) return out;
  std::vector<float> h = heights(image);
  if (options.blur > 0) {
    const std::int32_t radius = std::min(options.blur, std::max(image.width, image.height));
    boxPass(h, image.width, image.height, radius, true);
    boxPass(h, image.width, image.height, radius, false);
  }
  auto at = [&](std::int32_t x, std::int32_t y) {
    x = std::clamp(x, 0, image.width - 1);
    y = std::clamp(y, 0, image.height - 1);
    return h[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)];
  };
  for (std::int32_t y = 0; y < image.height; ++y)
    for (std::int32_t x = 0; x < image.width; ++x) {
      std::uint8_t* q = out.at(x, y);
      q[3] = 255;
      if (image.at(x, y)[3] < 128) {
        q[0] = 255, q[1] = 128, q[2] = 128;
        continue;
      }
      // Sobel, divided by 8 so that it estimates the slope per pixel. Each side is summed on
      // its own so that an even neighbourhood gives exactly 0.
      float gx = ((at(x + 1, y - 1) + 2 * at(x + 1, y) + at(x + 1, y + 1)) -
                  (at(x - 1, y - 1) + 2 * at(x - 1, y) + at(x - 1, y + 1))) / 8.0f;
      float gy = ((at(x - 1, y + 1) + 2 * at(x, y + 1) + at(x + 1, y + 1)) -
                  (at(x - 1, y - 1) + 2 * at(x, y - 1) + at(x + 1, y - 1))) / 8.0f;
      // The surface faces down its slope; image rows grow downwards while the normal's y
      // points up, so a height rising down the image tilts the normal up.
      float nx = -gx * options.strength;
      float ny = gy * options.strength * (options.invertY ? -1.0f : 1.0f);
      float length = std::sqrt(nx * nx + ny * ny + 1.0f);
      q[0] = encode(1.0f / length);
      q[1] = encode(ny / length);
      q[2] = encode(nx / length);
    }
  return out;
}

}  // namespace vorlane::tiles
