#pragma once
// The big map the drawing and preview benchmarks share: 1024 × 1024 cells of 32 × 32 pixels
// in 4 layers, a full ground layer and ever sparser layers over it, from 16 tile images
// (mipmapped, as tiles read from a project are).
#include <cstdint>
#include <memory>
#include <vector>

#include "map/map.h"

namespace vorlane::bench {

inline constexpr int kBigSide = 1024;
inline constexpr int kTileSide = 32;
inline constexpr int kTileKinds = 16;

// Tile art with ramps, a checker and, for the kinds over the ground, a transparent hole.
inline platform::Image tileArt(int kind) {
  platform::Image image(kTileSide, kTileSide);
  image.mipmapped = true;
  const bool holes = kind >= kTileKinds / 2;
  for (int y = 0; y < kTileSide; ++y) {
    for (int x = 0; x < kTileSide; ++x) {
      std::uint8_t* p = image.at(x, y);
      p[0] = static_cast<std::uint8_t>((x * 8 + kind * 37) % 256);
      p[1] = static_cast<std::uint8_t>((y * 8 + kind * 71) % 256);
      p[2] = static_cast<std::uint8_t>(((x / 4 + y / 4) % 2 ? 190 : 70) + kind);
      const int dx = 2 * x + 1 - kTileSide, dy = 2 * y + 1 - kTileSide;
      p[3] = holes && dx * dx + dy * dy < kTileSide * kTileSide / 3 ? 0 : 255;
    }
  }
  return image;
}

// Which kind sits in a cell of a layer, or -1: the ground is full, each layer above
// holds about half as many tiles as the one below, from the kinds with holes.
inline int cellKind(int x, int y, int layer) {
  const unsigned h = (static_cast<unsigned>(x) * 73856093u) ^ (static_cast<unsigned>(y) * 19349663u) ^
                     (static_cast<unsigned>(layer) * 83492791u);
  if (layer == 0) return static_cast<int>(h % (kTileKinds / 2));
  if ((h >> 8) % (2u << layer) != 0) return -1;
  return kTileKinds / 2 + static_cast<int>(h % (kTileKinds / 2));
}

inline map::MapPtr bigMap(int side = kBigSide) {
  auto m = map::Map::create(side, side, 4, kTileSide, kTileSide);
  std::vector<map::TilePtr> tiles;
  for (int k = 0; k < kTileKinds; ++k) {
    auto t = std::make_shared<tiles::Tile>();
    t->image = std::make_shared<platform::Image>(tileArt(k));
    t->path = "tile" + std::to_string(k) + ".png";
    tiles.push_back(std::move(t));
  }
  for (int x = 0; x < side; ++x)
    for (int y = 0; y < side; ++y)
      for (int l = 0; l < 4; ++l)
        if (const int k = cellKind(x, y, l); k >= 0) m->setCell(x, y, l, tiles[static_cast<std::size_t>(k)]);
  return m;
}

}  // namespace vorlane::bench
