#pragma once
// Byte builders and small sample projects shared by the io tests.
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/console.h"
#include "io/project.h"
#include "support/fixtures.h"

namespace vorlane::io::test {

using Bytes = std::vector<std::uint8_t>;

// Appends little-endian values, for golden files and hand-made broken ones.
struct Builder {
  Bytes bytes;
  Builder& i32(std::int32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i)));
    return *this;
  }
  Builder& i32s(std::initializer_list<std::int32_t> vs) {
    for (auto v : vs) i32(v);
    return *this;
  }
  Builder& f32(float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    return i32(static_cast<std::int32_t>(u));
  }
  Builder& u8(std::uint8_t v) {
    bytes.push_back(v);
    return *this;
  }
  Builder& fill(std::size_t n, std::uint8_t v) {
    bytes.insert(bytes.end(), n, v);
    return *this;
  }
  Builder& line(const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0x0D);
    bytes.push_back(0x0A);
    return *this;
  }
  // The five map sizes with 32 × 32 cells.
  Builder& sizes(std::int32_t w, std::int32_t h, std::int32_t d) { return i32(w).i32(h).i32(d).i32(32).i32(32); }
  // The smallest records: a tile with a 1-byte path line and 0 × 0 image and grids, a light,
  // a pivot with no link and no records.
  Builder& emptyTile() { return u8(0x0A).i32(0).i32(0).u8(0).u8(0).i32(0).i32(0).i32(0).i32(0); }
  Builder& light() { return fill(36, 0); }
  Builder& emptyPivot() { return i32(0).i32(0).i32(0).u8(0x0A).i32(0).i32(0); }
  // A tile record with a w × h image of one colour and grids of its size.
  Builder& tile(const std::string& path, std::int32_t w = 1, std::int32_t h = 1, std::uint8_t value = 7) {
    line(path).i32(w).i32(h).u8(0).u8(1).fill(static_cast<std::size_t>(w * h * 4), value);
    i32(w).i32(h).fill(static_cast<std::size_t>(w * h * 4), value);
    return i32(w).i32(h).fill(static_cast<std::size_t>(w * h * 4), value);
  }
};

inline std::shared_ptr<tiles::Tile> makeTile(const std::string& path, int w = 2, int h = 3) {
  auto tile = std::make_shared<tiles::Tile>();
  auto image = std::make_shared<platform::Image>(vorlane::test::patternImage(w, h));
  tile->path = path;
  (void)tile->setImages(image, image.get());
  return tile;
}

// A project with every kind of record: shared tiles, empty cells, two lights, a pivot with
// records, and two tilesets, one of whose tiles shares a map tile's path in other case.
struct Sample {
  map::MapPtr map;
  std::vector<TilesetEntry> tilesets;
};

inline Sample sampleProject() {
  Sample s;
  s.map = map::Map::create(3, 2, 2, 32, 16);
  auto grass = makeTile("Maps/Grass.png");
  auto rock = makeTile("maps/rock.png", 1, 4);
  rock->castShadows = 1;
  s.map->setCell(0, 0, 0, grass);
  s.map->setCell(2, 1, 1, grass);
  s.map->setCell(1, 0, 1, rock);
  auto light = map::Light::createLight(10.5f, 20, 1, 255, 128, 0);
  light->castShadows = 1;
  s.map->addLight(light);
  s.map->addLight(map::Light::createLight(-3, 4.25f, 0, 1, 2, 3));
  auto pivot = map::Pivot::createPivot(5, 6, 1);
  pivot->link = "levels/next.vorl";
  pivot->addRecord("name", "door");
  pivot->addRecord("", "value only");
  s.map->addPivot(pivot);

  auto first = map::Map::createTileset();
  first->setCell(0, 0, 0, makeTile("MAPS/grass.PNG"));
  first->setCell(7, 127, 0, makeTile("maps/other.png", 3, 1));
  s.tilesets.push_back({"Tileset 1", first});
  s.tilesets.push_back({"Tileset 2", map::Map::createTileset()});
  return s;
}

inline Bytes mapBytes(const map::Map& map) {
  base::ByteWriter out;
  saveMap(map, out);
  return out.data();
}

inline Bytes projectBytes(const map::Map& map, const std::vector<TilesetEntry>& tilesets) {
  base::ByteWriter out;
  saveMap(map, out);
  writeTilesetSection(tilesets, out);
  return out.data();
}

inline Bytes projectBytes(const Sample& s) { return projectBytes(*s.map, s.tilesets); }

}  // namespace vorlane::io::test
