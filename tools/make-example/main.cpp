// Makes the example project's files from code, so that none is downloaded and every one can
// be made again: `tileset DIR` paints the dungeon tileset, `map DIR` (once its normal map
// exists) cuts it into tiles and lays out the example map with its lights and pivots.
// Paths inside the project are relative to DIR.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>

#include "base/console.h"
#include "io/project.h"
#include "platform/encode.h"
#include "tiles/scan.h"

namespace {

using vorlane::platform::Image;

constexpr int kTile = 32;
constexpr int kColumns = 4;  // tiles per row of the tileset image
// With a folder part, or the companion rule finds no "NM" file.
constexpr const char* kTilesetImage = "./dungeon.png";
constexpr const char* kProject = "dungeon";  // Save adds ".vorl"

// The tiles, in reading order of the tileset image.
enum TileId {
  kFloor, kFloorWorn, kFloorCracked, kFloorMoss,
  kWall, kWallTop, kWallTorch, kDoor,
  kCrate, kBarrel, kPlanks, kRug,
  kRubble, kPillar, kGrate, kStairs,
  kTileCount
};

struct Colour {
  float r, g, b;
};

Colour mix(Colour a, Colour b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scale(Colour c, float f) { return {c.r * f, c.g * f, c.b * f}; }

// Deterministic value noise in 0..1, periodic over one tile so tiles join seamlessly.
float hash(int x, int y, int seed) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u +
                    static_cast<std::uint32_t>(seed) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return static_cast<float>((h ^ (h >> 16)) & 0xffffu) / 65535.0f;
}

float noise(float x, float y, int cell, int seed) {
  const int period = kTile / cell;
  float fx = x / static_cast<float>(cell), fy = y / static_cast<float>(cell);
  int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
  float tx = fx - static_cast<float>(x0), ty = fy - static_cast<float>(y0);
  auto at = [&](int i, int j) { return hash(((i % period) + period) % period, ((j % period) + period) % period, seed); };
  float top = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * tx;
  float bottom = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * tx;
  return top + (bottom - top) * ty;
}

// Grain of a few octaves, 0..1.
float grain(float x, float y, int seed) {
  return 0.5f * noise(x, y, 8, seed) + 0.3f * noise(x, y, 4, seed + 1) + 0.2f * noise(x, y, 2, seed + 2);
}

using Painter = std::function<Colour(int x, int y)>;

Colour stone(int x, int y, int seed) {
  return scale({118, 114, 124}, 0.75f + 0.5f * grain(static_cast<float>(x), static_cast<float>(y), seed));
}

// Flagstones: four slabs per tile with dark joints.
Colour flagstones(int x, int y, int seed) {
  bool joint = x % 16 == 0 || y % 16 == 0 || x % 16 == 15 || y % 16 == 15;
  Colour c = stone(x, y, seed + (x / 16) * 7 + (y / 16) * 13);
  return joint ? scale(c, 0.45f) : c;
}

// Bricks in running bond: rows of 8 pixels, bricks 16 wide, offset every other row.
Colour bricks(int x, int y, int seed) {
  int row = y / 8;
  int bx = (x + (row % 2) * 8) % kTile;
  bool mortar = y % 8 == 7 || bx % 16 == 15;
  if (mortar) return scale({70, 64, 58}, 0.8f + 0.3f * grain(static_cast<float>(x), static_cast<float>(y), seed));
  Colour brick = mix({128, 72, 52}, {150, 104, 78}, hash(bx / 16, row, seed));
  return scale(brick, 0.8f + 0.35f * grain(static_cast<float>(x), static_cast<float>(y), seed + 3));
}

// Wood planks running across, with a grain along them.
Colour planks(int x, int y, int seed, bool vertical = false) {
  int along = vertical ? y : x, across = vertical ? x : y;
  int plank = across / 8;
  bool seam = across % 8 == 7;
  float streak = std::sin(static_cast<float>(along) * 0.35f + 6.0f * noise(static_cast<float>(along),
                                                                           static_cast<float>(plank * 8), 8, seed));
  Colour wood = mix({112, 72, 40}, {150, 100, 58}, hash(plank, 0, seed));
  Colour c = scale(wood, 0.85f + 0.15f * streak);
  return seam ? scale(c, 0.45f) : c;
}

float distance(int x, int y, float cx, float cy) {
  float dx = static_cast<float>(x) + 0.5f - cx, dy = static_cast<float>(y) + 0.5f - cy;
  return std::sqrt(dx * dx + dy * dy);
}

Colour paint(TileId id, int x, int y) {
  switch (id) {
    case kFloor: return flagstones(x, y, 1);
    case kFloorWorn: return scale(flagstones(x, y, 2), 0.9f);
    case kFloorCracked: {
      // A crack wandering down the slab.
      float path = 16.0f + 6.0f * std::sin(static_cast<float>(y) * 0.4f) + 3.0f * noise(0, static_cast<float>(y), 4, 9);
      Colour c = flagstones(x, y, 3);
      return std::abs(static_cast<float>(x) - path) < 1.0f ? scale(c, 0.3f) : c;
    }
    case kFloorMoss: {
      Colour c = flagstones(x, y, 4);
      float moss = grain(static_cast<float>(x), static_cast<float>(y), 40);
      return moss > 0.55f ? mix(c, {70, 118, 52}, std::min(1.0f, (moss - 0.55f) * 4.0f)) : c;
    }
    case kWall: return bricks(x, y, 5);
    case kWallTop: {
      Colour c = stone(x, y, 6);
      bool rim = x < 2 || y < 2 || x > 29 || y > 29;
      return rim ? scale(c, 0.55f) : scale(c, 0.8f);
    }
    case kWallTorch: {
      Colour c = bricks(x, y, 5);
      if (x >= 14 && x <= 17 && y >= 14 && y <= 27) return {90, 60, 36};  // the stick
      float flame = distance(x, y, 16.0f, 10.0f);
      if (flame < 5.0f) return mix({255, 236, 150}, {232, 110, 30}, flame / 5.0f);
      return c;
    }
    case kDoor: {
      Colour c = planks(x, y, 7, true);
      if (y % 12 == 4 || y % 12 == 5) return {84, 84, 92};  // iron bands
      if (distance(x, y, 24.0f, 18.0f) < 2.0f) return {200, 176, 90};  // the ring
      return x == 0 || x == 31 ? scale(c, 0.4f) : c;
    }
    case kCrate: {
      Colour c = planks(x, y, 8);
      bool frame = x < 3 || y < 3 || x > 28 || y > 28 || std::abs(x - y) < 2 || std::abs(x + y - 31) < 2;
      return frame ? scale(c, 1.15f) : scale(c, 0.8f);
    }
    case kBarrel: {
      Colour floor = flagstones(x, y, 1);
      float d = distance(x, y, 16.0f, 16.0f);
      if (d > 14.0f) return floor;
      if (std::abs(d - 10.0f) < 1.0f || d > 13.0f) return {90, 90, 98};  // hoops
      return scale(planks(x, y, 10, true), 1.0f - 0.02f * d);
    }
    case kPlanks: return planks(x, y, 11);
    case kRug: {
      bool border = x < 3 || y < 3 || x > 28 || y > 28;
      bool diamond = std::abs(x - 16) + std::abs(y - 16) < 9;
      Colour c = border ? Colour{196, 160, 72} : diamond ? Colour{60, 80, 150} : Colour{150, 40, 44};
      return scale(c, 0.85f + 0.2f * noise(static_cast<float>(x), static_cast<float>(y), 2, 12));
    }
    case kRubble: {
      Colour c = flagstones(x, y, 2);
      float n = grain(static_cast<float>(x), static_cast<float>(y), 13);
      return n > 0.6f ? scale(stone(x, y, 14), 0.6f + n) : c;
    }
    case kPillar: {
      float d = distance(x, y, 16.0f, 16.0f);
      if (d > 13.0f) return flagstones(x, y, 1);
      return scale(stone(x, y, 15), 1.25f - d / 20.0f);
    }
    case kGrate: {
      bool bar = x % 6 < 2 || y % 6 < 2;
      return bar ? Colour{96, 96, 104} : Colour{24, 30, 40};
    }
    case kStairs: {
      int step = y / 6;
      Colour c = stone(x, y, 16);
      return scale(c, 1.1f - 0.14f * static_cast<float>(step) - (y % 6 == 5 ? 0.2f : 0.0f));
    }
    case kTileCount: break;
  }
  return {0, 0, 0};
}

std::uint8_t byte(float v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 1L, 255L)); }

int makeTileset() {
  const int rows = (kTileCount + kColumns - 1) / kColumns;
  Image image(kColumns * kTile, rows * kTile);
  for (int id = 0; id < kTileCount; ++id)
    for (int y = 0; y < kTile; ++y)
      for (int x = 0; x < kTile; ++x) {
        Colour c = paint(static_cast<TileId>(id), x, y);
        // Never pure black: no file format quirk may take a pixel for transparency.
        std::uint8_t* p = image.at((id % kColumns) * kTile + x, (id / kColumns) * kTile + y);
        p[0] = byte(c.r), p[1] = byte(c.g), p[2] = byte(c.b), p[3] = 255;
      }
  auto png = vorlane::platform::encodePng(image);
  if (!png) return std::cerr << png.error() << '\n', 1;
  auto status = vorlane::io::writeFileAtomically(kTilesetImage, [&](vorlane::base::ByteWriter& w) {
    w.bytes(png->data(), png->size());
  });
  if (!status) return std::cerr << kTilesetImage << ": " << status.error() << '\n', 1;
  return 0;
}

// Two rooms joined by a door, walls on layer 1 so that they cast shadows onto the floor.
constexpr int kWidth = 24, kHeight = 16;

char layout(int x, int y) {
  static const char* rows[kHeight] = {
      "TTTTTTTTTTTTTTTTTTTTTTTT",
      "W##########W###########W",
      "W..........W...........W",
      "W..c.......W.....o.....W",
      "W..........W...........W",
      "W.....RR...W.....P.....W",
      "W.....RR...W...........W",
      "W..........D...........W",
      "W..........W...........W",
      "W..c...........gg......W",
      "W..........W...gg......W",
      "W...r......W...........W",
      "W..........W.....P.....W",
      "Wb.........W..........sW",
      "W..........W........cc.W",
      "TTTTTTTTTTTTTTTTTTTTTTTT",
  };
  return rows[y][x];
}

// Walls and furniture stand on layer 1; rugs, grates and stairs lie in the floor.
void placeCell(vorlane::map::Map& map, const std::vector<std::shared_ptr<vorlane::tiles::Tile>>& tiles, int x, int y) {
  const float variation = hash(x, y, 77);
  TileId floor = variation < 0.55f ? kFloor : variation < 0.75f ? kFloorWorn : variation < 0.9f ? kFloorMoss : kFloorCracked;
  TileId onFloor = floor;
  int top = -1;
  switch (layout(x, y)) {
    case 'T': top = kWallTop; break;
    case 'W': top = kWall; break;
    case '#': top = (x % 5 == 3) ? kWallTorch : kWall; break;
    case 'D': top = kDoor; break;
    case 'c': top = kCrate; break;
    case 'b': top = kBarrel; break;
    case 'o': top = kPillar; break;
    case 'P': top = kPillar; break;
    case 'r': top = kRubble; break;
    case 'R': onFloor = kRug; break;
    case 'g': onFloor = kGrate; break;
    case 's': onFloor = kStairs; break;
    default: break;
  }
  if (layout(x, y) == '.' && (x == 13 || x == 14) && y > 1 && y < 6) onFloor = kPlanks;
  map.setCell(x, y, 0, tiles[static_cast<std::size_t>(onFloor)]);
  if (top >= 0) map.setCell(x, y, 1, tiles[static_cast<std::size_t>(top)]);
}

int makeMap() {
  auto source = vorlane::tiles::loadScanSource(kTilesetImage);
  if (!source) return std::cerr << kTilesetImage << ": " << source.error() << '\n', 1;
  auto cut = vorlane::tiles::cutImage(*source, kTile, kTile, kTilesetImage);
  if (!cut) return std::cerr << kTilesetImage << ": " << cut.error() << '\n', 1;
  std::vector<std::shared_ptr<vorlane::tiles::Tile>> tiles;
  for (const auto& piece : *cut) tiles.push_back(std::make_shared<vorlane::tiles::Tile>(*piece));  // images stay shared
  tiles.resize(kTileCount);

  auto map = vorlane::map::Map::create(kWidth, kHeight, 2, kTile, kTile);
  for (int x = 0; x < kWidth; ++x)
    for (int y = 0; y < kHeight; ++y) placeCell(*map, tiles, x, y);
  for (auto id : {kWall, kWallTop, kWallTorch, kDoor, kCrate, kBarrel, kPillar}) tiles[id]->castShadows = 1;
  for (auto id : {kWall, kWallTop, kDoor, kCrate, kBarrel, kPillar, kGrate}) tiles[id]->collider = 1;

  struct LightSpec {
    float x, y, r, g, b, range;
  };
  // Two warm torches, a cold and a green light, each in open floor so that nearby walls and
  // crates throw long shadows rather than swallow the light.
  for (const LightSpec& l : {LightSpec{272, 92, 255, 170, 90, 340}, LightSpec{176, 380, 255, 150, 80, 300},
                             LightSpec{592, 104, 110, 150, 255, 360}, LightSpec{624, 330, 130, 255, 150, 280}}) {
    auto light = vorlane::map::Light::createLight(l.x, l.y, 1, l.r, l.g, l.b);
    light->range = l.range;
    light->castShadows = 1;
    map->addLight(light);
  }
  auto spawn = vorlane::map::Pivot::createPivot(96, 240, 0);
  spawn->link = "scripts/spawn.lua";
  spawn->addRecord("team", "1");
  spawn->addRecord("facing", "east");
  map->addPivot(spawn);
  auto chest = vorlane::map::Pivot::createPivot(672, 464, 0);
  chest->link = "items/chest.json";
  chest->addRecord("gold", "50");
  chest->addRecord("locked", "yes");
  map->addPivot(chest);

  auto tileset = vorlane::map::Map::createTileset();
  for (const auto& tile : tiles) tileset->addToFirstFreeCell(tile);
  const vorlane::io::TilesetEntry entries[] = {{"Dungeon", tileset}};
  auto status = vorlane::io::saveProjectFile(kProject, *map, entries);
  if (!status) return std::cerr << kProject << ".vorl: " << status.error() << '\n', 1;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc == 3 ? argv[1] : "";
  if (what != "tileset" && what != "map") {
    std::cerr << "usage: vorlane-make-example tileset|map DIR\n";
    return 2;
  }
  std::error_code ec;
  std::filesystem::current_path(argv[2], ec);
  if (ec) return std::cerr << argv[2] << ": " << ec.message() << '\n', 1;
  vorlane::base::ConsoleCapture quiet;  // the library's progress lines are not ours
  return what == "tileset" ? makeTileset() : makeMap();
}
