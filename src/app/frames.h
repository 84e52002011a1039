#pragma once
// What each canvas showed in its last frame, so a timer tick draws only when something it
// would show has changed. Drawing again with nothing changed would give the same pixels.
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "map/map.h"
#include "tiles/tile.h"
#include "platform/surface.h"

namespace vorlane::app {

// A map or tileset canvas: the map object and its revision, the view, the canvas size, the
// lights and pivots as drawn, and the highlight marks.
class MapFrame {
 public:
  // True when the map, marked for this tick, would draw what the last frame shows; the marks
  // that drawing would have cleared are then cleared as it would have.
  // `tiles`: the map whose cells are drawn in place of the map's, if any.
  bool unchanged(const map::Map& map, const platform::Surface& surface, const map::Map* tiles = nullptr);
  // After a frame of this map was drawn and presented.
  void drawn(const map::Map& map);

 private:
  using Marks = std::set<std::pair<std::int32_t, std::int32_t>>;
  struct Key {
    const map::Map* map = nullptr;
    // A freed map's address may come back for a new one; its revision never does.
    const map::Map* tiles = nullptr;
    std::uint64_t tilesRevision = 0;
    std::uint64_t revision = 0;
    const void* cells = nullptr;
    std::int32_t columns = 0, rows = 0, depth = 0, tileWidth = 0, tileHeight = 0;
    float scrollX = 0, scrollY = 0, zoom = 0;
    int width = -1, height = -1;
    std::vector<float> objects;
    bool operator==(const Key&) const = default;
  };
  static void describe(const map::Map& map, const platform::Surface& surface, Key& key);

  Key shown_, now_;
  bool valid_ = false;
  Marks shownMarks_;  // the marks the last frame was drawn with
  Marks leftover_;    // and those its drawing left for later
};

// The current-tile canvas: which tile, at what size.
class TileFrame {
 public:
  bool unchanged(const tiles::Tile* tile, const platform::Surface& surface) const;
  void drawn(const tiles::Tile* tile, const platform::Surface& surface);

 private:
  struct Key {
    const tiles::Tile* tile = nullptr;
    const void* image = nullptr;
    int width = -1, height = -1;
    bool operator==(const Key&) const = default;
  };
  static Key describe(const tiles::Tile* tile, const platform::Surface& surface);
  Key shown_;
  bool valid_ = false;
};

}  // namespace vorlane::app
