#include "formats/flips.h"

#include <cstring>
#include <utility>

namespace vorlane::formats {

namespace {

struct Place {
  std::int32_t x, y;
};

// Where the pixel (x, y) of a w × h tile lands in the flipped picture.
Place flippedPlace(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, std::uint32_t flags) {
  if (flags & kFlipDiagonal) {
    std::swap(x, y);
    std::swap(w, h);
  }
  if (flags & kFlipHorizontal) x = w - 1 - x;
  if (flags & kFlipVertical) y = h - 1 - y;
  return {x, y};
}

// Normal maps keep z in red, y (up the screen) in green and x in blue; 255 - b is -v exactly.
void turnNormal(std::uint8_t* p, std::uint32_t flags) {
  if (flags & kFlipDiagonal) {
    // Transposing swaps x and y in picture terms, where y grows downwards.
    const std::uint8_t x = p[2], y = p[1];
    p[2] = static_cast<std::uint8_t>(255 - y);
    p[1] = static_cast<std::uint8_t>(255 - x);
  }
  if (flags & kFlipHorizontal) p[2] = static_cast<std::uint8_t>(255 - p[2]);
  if (flags & kFlipVertical) p[1] = static_cast<std::uint8_t>(255 - p[1]);
}

}  // namespace

platform::Image flipImage(const platform::Image& image, std::uint32_t flags, bool undo) {
  const bool turned = (flags & kFlipDiagonal) != 0;
  // Undoing: `image` is the flipped picture, the tile's own is (w, h).
  const std::int32_t w = undo && turned ? image.height : image.width;
  const std::int32_t h = undo && turned ? image.width : image.height;
  platform::Image out(undo ? w : (turned ? h : w), undo ? h : (turned ? w : h));
  for (std::int32_t y = 0; y < h; ++y)
    for (std::int32_t x = 0; x < w; ++x) {
      const Place p = flippedPlace(x, y, w, h, flags);
      if (undo)
        std::memcpy(out.at(x, y), image.at(p.x, p.y), 4);
      else
        std::memcpy(out.at(p.x, p.y), image.at(x, y), 4);
    }
  return out;
}

platform::Image flipNormalMap(const platform::Image& normals, std::uint32_t flags) {
  platform::Image out = flipImage(normals, flags);
  for (std::size_t i = 0; i < out.pixels.size(); i += 4) turnNormal(&out.pixels[i], flags);
  return out;
}

std::shared_ptr<tiles::Tile> flippedTile(const tiles::Tile& tile, std::uint32_t flags) {
  auto out = std::make_shared<tiles::Tile>(tile);
  if (!tile.image) return out;
  const platform::Image& image = *tile.image;
  platform::Image normals(image.width, image.height);
  const tiles::ChannelGrid* grid = tile.normalGrid.get();
  for (std::int32_t y = 0; y < image.height; ++y)
    for (std::int32_t x = 0; x < image.width; ++x) {
      const bool inside = grid && x < grid->width && y < grid->height;
      std::memcpy(normals.at(x, y), inside ? grid->at(x, y) : tiles::kFlatNormal, 4);
    }
  auto picture = std::make_shared<platform::Image>(flipImage(image, flags));
  const platform::Image turned = flipNormalMap(normals, flags);
  (void)out->setImages(std::move(picture), &turned);  // both exist: cannot fail
  return out;
}

}  // namespace vorlane::formats
