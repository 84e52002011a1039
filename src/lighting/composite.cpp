#include "lighting/composite.h"

#include <vector>

#include "base/convert.h"

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
