#include "lighting/scenes.h"

#include <random>

namespace vorlane::scenes {

std::shared_ptr<tiles::Tile> makeTile(const TileShape& shape, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  auto image = std::make_shared<platform::Image>(shape.width, shape.height);
  for (std::size_t p = 0; p < image->pixels.size(); p += 4) {
    for (int k = 0; k < 3; ++k) image->pixels[p + k] = static_cast<std::uint8_t>(byte(rng));
    image->pixels[p + 3] = static_cast<std::uint8_t>(byte(rng) < 40 ? 0 : byte(rng));
  }
  auto tile = std::make_shared<tiles::Tile>();
  tile->image = image;
  auto sized = [&](std::pair<std::int32_t, std::int32_t> s) {
    return std::pair{s.first < 0 ? shape.width : s.first, s.second < 0 ? shape.height : s.second};
  };
  if (shape.colourGrid) {
    auto [w, h] = sized(*shape.colourGrid);
    platform::Image colours(w, h);
    for (std::size_t p = 0; p < colours.pixels.size(); ++p) colours.pixels[p] = static_cast<std::uint8_t>(byte(rng));
    tile->colourGrid = tiles::ChannelGrid::fromImage(colours);
  }
  if (shape.normalGrid) {
    auto [w, h] = sized(*shape.normalGrid);
    platform::Image normals(w, h);
    std::uniform_int_distribution<int> z(100, 255);
    for (std::size_t p = 0; p < normals.pixels.size(); p += 4) {
      normals.pixels[p] = static_cast<std::uint8_t>(z(rng));  // mostly facing out of the map
      normals.pixels[p + 1] = static_cast<std::uint8_t>(byte(rng));
      normals.pixels[p + 2] = static_cast<std::uint8_t>(byte(rng));
      normals.pixels[p + 3] = 255;
    }
    tile->normalGrid = tiles::ChannelGrid::fromImage(normals);
  }
  return tile;
}

map::MapPtr makeScene(const SceneShape& shape) {
  auto map = map::Map::create(shape.width, shape.height, shape.depth, shape.tileWidth, shape.tileHeight);
  std::vector<tiles::TilePtr> tiles;
  for (std::size_t t = 0; t < shape.tiles.size(); ++t)
    tiles.push_back(makeTile(shape.tiles[t], shape.seed * 7919u + static_cast<std::uint32_t>(t)));
  std::mt19937 rng(shape.seed);
  std::uniform_real_distribution<double> unit(0, 1);
  std::uniform_int_distribution<std::size_t> pick(0, tiles.size() - 1);
  for (std::int32_t d = 0; d < shape.depth && d < static_cast<std::int32_t>(shape.occupancy.size()); ++d) {
    const double target = shape.occupancy[d];
    if (target >= 1.0) {
      for (std::int32_t x = 0; x < shape.width; ++x)
        for (std::int32_t y = 0; y < shape.height; ++y) map->setCell(x, y, d, tiles[pick(rng)]);
      continue;
    }
    // Clusters: seeds grown into small blobs until the fraction is reached.
    const std::int64_t want = static_cast<std::int64_t>(target * shape.width * shape.height);
    std::int64_t have = 0;
    std::uniform_int_distribution<std::int32_t> cx(0, std::max(0, shape.width - 1)), cy(0, std::max(0, shape.height - 1));
    for (int attempts = 0; have < want && attempts < 100000; ++attempts) {
      std::int32_t x = cx(rng), y = cy(rng);
      std::int32_t size = 1 + static_cast<std::int32_t>(unit(rng) * 6);
      for (std::int32_t s = 0; s < size && have < want; ++s) {
        if (map->contains(x, y) && !map->cell(x, y, d)) {
          map->setCell(x, y, d, tiles[pick(rng)]);
          ++have;
        }
        switch (rng() % 4) {
          case 0: ++x; break;
          case 1: --x; break;
          case 2: ++y; break;
          default: --y; break;
        }
      }
    }
  }
  return map;
}

std::shared_ptr<map::Light> light(float x, float y, std::int32_t layer, float range, float r, float g, float b) {
  auto l = map::Light::createLight(x, y, static_cast<float>(layer), r, g, b);
  l->range = range;
  return l;
}

map::MapPtr benchSceneA() {
  SceneShape shape;
  shape.width = shape.height = 48;
  shape.depth = 2;
  shape.tileWidth = shape.tileHeight = 32;
  shape.occupancy = {1.0, 0.33};
  shape.tiles = {TileShape{32, 32}, TileShape{32, 32}, TileShape{32, 32}, TileShape{32, 32}};
  shape.seed = 11;
  auto map = makeScene(shape);
  map->addLight(light(300, 260, 1, 600, 255, 200, 160));
  map->addLight(light(1200, 300, 1, 900, 120, 160, 255));
  map->addLight(light(760, 780, 1, 300, 255, 255, 255));
  map->addLight(light(250, 1300, 1, 700, 200, 255, 180));
  map->addLight(light(1100, 1250, 2, 800, 255, 150, 90));
  map->addLight(light(700, 100, 2, 450, 90, 90, 255));
  return map;
}

map::MapPtr benchSceneB() {
  SceneShape shape;
  shape.width = shape.height = 128;
  shape.depth = 2;
  shape.tileWidth = shape.tileHeight = 16;
  shape.occupancy = {1.0, 0.10};
  shape.tiles = {TileShape{4, 4}, TileShape{4, 4}, TileShape{4, 4}};
  shape.seed = 23;
  auto map = makeScene(shape);
  map->addLight(light(400, 380, 1, 900, 255, 220, 180));
  map->addLight(light(1600, 500, 1, 700, 150, 180, 255));
  map->addLight(light(1024, 1024, 1, 600, 255, 255, 255));
  map->addLight(light(300, 1700, 1, 800, 210, 255, 190));
  map->addLight(light(1750, 1650, 1, 500, 255, 160, 100));
  map->addLight(light(900, 200, 2, 1000, 100, 100, 255));
  return map;
}

map::MapPtr benchCity(std::int32_t cells, std::int32_t imageSide) {
  SceneShape shape;
  shape.width = shape.height = cells;
  shape.depth = 2;
  shape.tileWidth = shape.tileHeight = 32;
  shape.occupancy = {1.0, 0.30};
  shape.tiles = {TileShape{imageSide, imageSide}, TileShape{imageSide, imageSide}, TileShape{imageSide, imageSide},
                 TileShape{imageSide, imageSide}};
  shape.seed = 31;
  auto map = makeScene(shape);
  // Positions as fractions of the map's side, so every size has the same arrangement.
  struct Spot {
    float x, y;
    std::int32_t layer;
    float range, r, g, b;
  };
  const Spot spots[] = {{0.12f, 0.10f, 1, 0.25f, 255, 220, 180}, {0.55f, 0.18f, 1, 0.20f, 150, 180, 255},
                        {0.50f, 0.52f, 1, 0.30f, 255, 255, 255}, {0.15f, 0.80f, 1, 0.22f, 210, 255, 190},
                        {0.85f, 0.82f, 2, 0.28f, 255, 160, 100}, {0.80f, 0.30f, 2, 0.35f, 100, 100, 255},
                        {0.33f, 0.40f, 1, 0.18f, 255, 200, 60},  {0.70f, 0.65f, 1, 0.24f, 90, 255, 200}};
  const float side = static_cast<float>(cells * 32);
  const std::size_t count = cells <= 96 ? 6 : 8;
  for (std::size_t k = 0; k < count; ++k) {
    const Spot& s = spots[k];
    map->addLight(light(s.x * side, s.y * side, s.layer, s.range * side, s.r, s.g, s.b));
  }
  return map;
}

}  // namespace vorlane::scenes
