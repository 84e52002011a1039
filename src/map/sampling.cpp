#include "map/sampling.h"

#include <algorithm>
#include <cmath>

namespace vorlane::map {

TileSampler::TileSampler(const platform::Image& image, float lod)
    : image_(image), lod_(lod), nearest_(lod > 0 && !image.mipmapped) {
  sizes_.emplace_back(image.width, image.height);
  if (nearest_ || lod <= 0) return;
  // Levels as far as the level of detail reaches, each the 2 × 2 box average of the last.
  const std::uint8_t* prev = image.pixels.data();
  while ((sizes_.back().first > 1 || sizes_.back().second > 1) && static_cast<float>(sizes_.size()) <= lod + 1) {
    const std::int32_t w = sizes_.back().first, h = sizes_.back().second;
    const std::int32_t nw = std::max(1, w / 2), nh = std::max(1, h / 2);
    std::vector<std::uint8_t> next(static_cast<std::size_t>(nw) * static_cast<std::size_t>(nh) * 4);
    const auto at = [&](std::int32_t px, std::int32_t py, int c) {
      return static_cast<int>(prev[(static_cast<std::size_t>(std::min(py, h - 1)) * static_cast<std::size_t>(w) +
                                    static_cast<std::size_t>(std::min(px, w - 1))) * 4 + static_cast<std::size_t>(c)]);
    };
    for (std::int32_t y = 0; y < nh; ++y)
      for (std::int32_t x = 0; x < nw; ++x)
        for (int c = 0; c < 4; ++c) {
          const int sum = at(2 * x, 2 * y, c) + at(2 * x + 1, 2 * y, c) + at(2 * x, 2 * y + 1, c) + at(2 * x + 1, 2 * y + 1, c);
          next[(static_cast<std::size_t>(y) * static_cast<std::size_t>(nw) + static_cast<std::size_t>(x)) * 4 +
               static_cast<std::size_t>(c)] = static_cast<std::uint8_t>((sum + 2) / 4);
        }
    levels_.push_back(std::move(next));
    sizes_.emplace_back(nw, nh);
    prev = levels_.back().data();
  }
}

float TileSampler::lodFor(const platform::Image& image, float spanX, float spanY) {
  return std::log2(std::max(static_cast<float>(image.width) / spanX, static_cast<float>(image.height) / spanY));
}

void TileSampler::bilinear(std::size_t level, float u, float v, float out[4]) const {
  const std::int32_t w = sizes_[level].first, h = sizes_[level].second;
  const std::uint8_t* pixels = level == 0 ? image_.pixels.data() : levels_[level - 1].data();
  const float x = u * static_cast<float>(w) - 0.5f, y = v * static_cast<float>(h) - 0.5f;
  const float fx0 = std::floor(x), fy0 = std::floor(y), fx = x - fx0, fy = y - fy0;
  const std::int32_t x0 = static_cast<std::int32_t>(fx0), y0 = static_cast<std::int32_t>(fy0);
  const auto at = [&](std::int32_t px, std::int32_t py, int c) {
    px = std::clamp(px, 0, w - 1), py = std::clamp(py, 0, h - 1);
    return static_cast<float>(
        pixels[(static_cast<std::size_t>(py) * static_cast<std::size_t>(w) + static_cast<std::size_t>(px)) * 4 +
               static_cast<std::size_t>(c)]);
  };
  for (int c = 0; c < 4; ++c) {
    const float top = at(x0, y0, c) * (1 - fx) + at(x0 + 1, y0, c) * fx;
    const float bottom = at(x0, y0 + 1, c) * (1 - fx) + at(x0 + 1, y0 + 1, c) * fx;
    out[c] = top * (1 - fy) + bottom * fy;
  }
}

void TileSampler::sample(float u, float v, float out[4]) const {
  if (nearest_) {
    const std::int32_t px = std::clamp(static_cast<std::int32_t>(u * static_cast<float>(image_.width)), 0, image_.width - 1);
    const std::int32_t py = std::clamp(static_cast<std::int32_t>(v * static_cast<float>(image_.height)), 0, image_.height - 1);
    const std::uint8_t* p = image_.at(px, py);
    for (int c = 0; c < 4; ++c) out[c] = p[c];
    return;
  }
  const std::size_t last = sizes_.size() - 1;
  if (lod_ <= 0) return bilinear(0, u, v, out);
  const std::size_t level = std::min(static_cast<std::size_t>(lod_), last);
  const float f = level == last ? 0 : lod_ - static_cast<float>(level);
  bilinear(level, u, v, out);
  if (f <= 0) return;
  float next[4];
  bilinear(level + 1, u, v, next);
  for (int c = 0; c < 4; ++c) out[c] = out[c] * (1 - f) + next[c] * f;
}

}  // namespace vorlane::map
