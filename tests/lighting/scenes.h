#pragma once
// Generated maps for the renderer's tests and benchmarks.
#include <cstdint>
#include <optional>
#include <vector>

#include "map/map.h"

namespace vorlane::scenes {

// A tile with a seeded image (some pixels transparent) and seeded normals. Grids may be
// smaller than the image (size given) or missing (nullopt).
struct TileShape {
  std::int32_t width = 8, height = 8;
  std::optional<std::pair<std::int32_t, std::int32_t>> colourGrid{std::pair{-1, -1}};  // -1: image size
  std::optional<std::pair<std::int32_t, std::int32_t>> normalGrid{std::pair{-1, -1}};
};
std::shared_ptr<tiles::Tile> makeTile(const TileShape& shape, std::uint32_t seed);

struct SceneShape {
  std::int32_t width = 8, height = 8, depth = 2, tileWidth = 16, tileHeight = 16;
  std::vector<double> occupancy{1.0, 0.3};  // per layer; clustered
  std::vector<TileShape> tiles{TileShape{}};
  std::uint32_t seed = 1;
};
// Cells drawn from a few shared tiles, occupied in clusters at each layer's fraction.
map::MapPtr makeScene(const SceneShape& shape);

std::shared_ptr<map::Light> light(float x, float y, std::int32_t layer, float range, float r = 255, float g = 255, float b = 255);

// Benchmark (a): 48 × 48 cells of 32 × 32 pixels, layer 0 full, layer 1 about a third in
// clusters, six lights on layers 1 and 2 with ranges 300 to 900.
map::MapPtr benchSceneA();
// Benchmark (b): 128 × 128 cells of 16 × 16 pixels with 4 × 4 images, layer 0 full, layer 1
// about a tenth in small clusters, six lights.
map::MapPtr benchSceneB();
// The whole-process maps: cells × cells of 32 pixels with imageSide-pixel images, layer 0
// full, 30 % of layer 1 in clusters; six lights on a 96-cell map, eight on larger ones.
map::MapPtr benchCity(std::int32_t cells, std::int32_t imageSide = 32);

}  // namespace vorlane::scenes
