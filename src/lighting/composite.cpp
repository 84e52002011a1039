#include "lighting/composite.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/convert.h"
#include "lighting/parallel.h"

namespace vorlane::lighting {

base::Result<platform::Image> compositeMap(const map::Map& map) {
  const std::int64_t tw = map.tileWidth, th = map.tileHeight;
  const std::int64_t w = map.width * tw, h = map.height * th;
  const std::string size = base::intToText(w) + "x" + base::intToText(h);
  if (w <= 0 || h <= 0) return base::Error{"The map has no pixels to draw (" + size + ")."};
  // Each side up to 2^62: bound them before multiplying, or the count could wrap.
  if (static_cast<std::uint64_t>(w) > kMaxCompositePixels || static_cast<std::uint64_t>(h) > kMaxCompositePixels ||
      static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) > kMaxCompositePixels)
    return base::Error{"The map is " + size + " pixels, more than the " + base::intToText(kMaxCompositePixels) +
                       " pixels one image may hold."};
  platform::Image out(static_cast<std::int32_t>(w), static_cast<std::int32_t>(h));
  for (std::size_t p = 3; p < out.pixels.size(); p += 4) out.pixels[p] = 255;
  std::vector<std::int32_t> fromX(static_cast<std::size_t>(tw)), fromY(static_cast<std::size_t>(th));
  for (std::int32_t d = 0; d < map.depth; ++d) {
    for (std::int32_t c = 0; c < map.width; ++c) {
      for (std::int32_t r = 0; r < map.height; ++r) {
        const auto& tile = map.cells[map.cellIndex(c, r, d)];
        if (!tile || !tile->image || tile->image->width <= 0 || tile->image->height <= 0) continue;
        const platform::Image& src = *tile->image;
        for (std::int64_t x = 0; x < tw; ++x) fromX[x] = static_cast<std::int32_t>((2 * x + 1) * src.width / (2 * tw));
        for (std::int64_t y = 0; y < th; ++y) fromY[y] = static_cast<std::int32_t>((2 * y + 1) * src.height / (2 * th));
        for (std::int64_t y = 0; y < th; ++y) {
          std::uint8_t* row = out.at(static_cast<std::int32_t>(c * tw), static_cast<std::int32_t>(r * th + y));
          for (std::int64_t x = 0; x < tw; ++x, row += 4) {
            const std::uint8_t* p = src.at(fromX[x], fromY[y]);
            if (p[3] < 128) continue;  // alpha below one half
            row[0] = p[0];
            row[1] = p[1];
            row[2] = p[2];
          }
        }
      }
    }
  }
  return out;
}

}  // namespace vorlane::lighting

namespace vorlane::lighting {

namespace {

const platform::Image* drawable(const map::TilePtr& tile) {
  const platform::Image* image = tile ? tile->image.get() : nullptr;
  if (!image || image->width <= 0 || image->height <= 0 ||
      image->pixels.size() < static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height) * 4)
    return nullptr;
  return image;
}

// The cell a pixel centre falls in along one axis, and where across the cell it lies.
struct Along {
  std::int32_t cell;
  float at;
};

Along along(std::int32_t pixel, std::int32_t tileSize, float scale, std::int32_t cells) {
  const float span = static_cast<float>(tileSize) * scale;
  const float centre = static_cast<float>(pixel) + 0.5f;
  const std::int32_t cell = std::clamp(static_cast<std::int32_t>(centre / span), 0, cells - 1);
  const float corner = static_cast<float>(static_cast<std::int64_t>(cell) * tileSize) * scale;
  return {cell, std::clamp((centre - corner) / span, 0.0f, 1.0f)};
}

}  // namespace

MapPreview::MapPreview(const map::Map& map, std::int32_t w, std::int32_t h, float scale)
    : map_(&map), width_(w), height_(h), scale_(scale) {
  for (const map::TilePtr& tile : map.cells) {
    const platform::Image* image = drawable(tile);
    if (!image || samplers_.contains(image)) continue;
    samplers_.emplace(image, map::TileSampler(*image, map::TileSampler::lodFor(*image, static_cast<float>(map.tileWidth) * scale,
                                                                               static_cast<float>(map.tileHeight) * scale)));
  }
}

base::Result<MapPreview> MapPreview::create(const map::Map& map, float scale, std::int64_t maxSide) {
  const std::int64_t w = static_cast<std::int64_t>(map.width) * map.tileWidth;
  const std::int64_t h = static_cast<std::int64_t>(map.height) * map.tileHeight;
  if (w <= 0 || h <= 0)
    return base::Error{"The map has no pixels to draw (" + base::intToText(w) + "x" + base::intToText(h) + ")."};
  if (!(scale > 0 && scale <= 1)) return base::Error{"The scale must lie above 0 and at most 1."};
  const double longest = static_cast<double>(std::max(w, h));
  double s = scale;
  if (maxSide > 0 && longest * s > static_cast<double>(maxSide)) s = static_cast<double>(maxSide) / longest;
  const auto side = [&](std::int64_t pixels) {
    return std::max<std::int64_t>(1, static_cast<std::int64_t>(static_cast<double>(pixels) * s));
  };
  if (side(w) > kMaxPreviewSide || side(h) > kMaxPreviewSide)
    return base::Error{"The preview would be " + base::intToText(side(w)) + "x" + base::intToText(side(h)) +
                       " pixels, more than " + base::intToText(kMaxPreviewSide) +
                       " along a side: give a smaller --scale or a --max-side."};
  return MapPreview(map, static_cast<std::int32_t>(side(w)), static_cast<std::int32_t>(side(h)), static_cast<float>(s));
}

void MapPreview::drawRows(std::int32_t first, std::int32_t count, std::uint8_t* rgb) const {
  const map::Map& map = *map_;
  std::vector<Along> columns(static_cast<std::size_t>(width_));
  for (std::int32_t x = 0; x < width_; ++x) columns[static_cast<std::size_t>(x)] = along(x, map.tileWidth, scale_, map.width);
  detail::forEachRange(count, 1, [&](std::int64_t r0, std::int64_t r1) {
    for (auto r = static_cast<std::int32_t>(r0); r < r1; ++r) {
      const Along row = along(first + r, map.tileHeight, scale_, map.height);
      std::uint8_t* out = rgb + static_cast<std::size_t>(r) * static_cast<std::size_t>(width_) * 3;
      for (std::int32_t x = 0; x < width_; ++x, out += 3) {
        const Along& column = columns[static_cast<std::size_t>(x)];
        out[0] = out[1] = out[2] = 0;
        for (std::int32_t layer = 0; layer < map.depth; ++layer) {
          const platform::Image* image = drawable(map.cells[map.cellIndex(column.cell, row.cell, layer)]);
          if (!image) continue;
          float c[4];
          samplers_.at(image).sample(column.at, row.at, c);
          if (c[3] < 127.5f) continue;  // the mask's alpha test at one half
          for (int k = 0; k < 3; ++k) out[k] = static_cast<std::uint8_t>(std::clamp(std::lround(c[k]), 0l, 255l));
        }
      }
    }
  });
}

}  // namespace vorlane::lighting
