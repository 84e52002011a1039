#pragma once
// What each canvas showed in its last frame, so a timer tick draws only when something it
// would show has changed: the document announced a change the canvas shows, or the canvas's
// own view moved. Drawing again with nothing changed would give the same pixels.
#include <cstdint>
#include <memory>
#include <vector>

#include "edit/document.h"
#include "map/map.h"
#include "map/view.h"
#include "platform/surface.h"
#include "tiles/tile.h"

namespace vorlane::app {

// The views of one canvas, one per map object it has shown, so that a map coming back (undo
// of New Map, Render or Load; another tileset tab) shows as it was left.
class CanvasViews {
 public:
  // The view of `map`; a map not shown before starts at the start values.
  map::ViewState& of(const edit::ConstMapPtr& map);

 private:
  struct Entry {
    std::weak_ptr<const map::Map> map;
    map::ViewState view;
  };
  std::vector<Entry> entries_;
};

// A map or tileset canvas's last frame.
class MapFrame {
 public:
  // Listens to `doc` for the changes in `shows`.
  MapFrame(edit::Document& doc, edit::ChangeSet shows);
  MapFrame(const MapFrame&) = delete;
  MapFrame& operator=(const MapFrame&) = delete;

  // True when drawing `map` in `view` (with `tiles` in place of its cells and `picture` over
  // them, if any) would give the frame on show.
  bool unchanged(const map::Map& map, const map::ViewState& view, const platform::Surface& surface,
                 const map::Map* tiles = nullptr, const void* picture = nullptr) const;
  // After a frame of this map in this view was drawn and presented.
  void drawn(const map::Map& map, const map::ViewState& view, const platform::Surface& surface,
             const map::Map* tiles = nullptr, const void* picture = nullptr);
  // The next tick draws whatever it shows (another brush, other layers hidden).
  void forget() { valid_ = false; }

 private:
  // What the frame was drawn from besides the document and the view.
  struct Source {
    const map::Map* map = nullptr;
    const map::Map* tiles = nullptr;
    // A preview's tiles are refilled in place; their revision says when.
    std::uint64_t tilesRevision = 0;
    const void* picture = nullptr;
    int width = -1, height = -1;
    bool operator==(const Source&) const = default;
  };
  static Source sourceOf(const map::Map& map, const platform::Surface& surface, const map::Map* tiles,
                         const void* picture);

  Source shown_;
  map::ViewState view_;  // as drawn (its picture cache stays empty)
  bool valid_ = false;
  edit::Document::Subscription listening_;
};

// The current-tile canvas: which tile, at what size.
class TileFrame {
 public:
  explicit TileFrame(edit::Document& doc);
  TileFrame(const TileFrame&) = delete;
  TileFrame& operator=(const TileFrame&) = delete;
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
  edit::Document::Subscription listening_;
};

}  // namespace vorlane::app
