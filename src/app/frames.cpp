#include "app/frames.h"

namespace vorlane::app {

void MapFrame::describe(const map::Map& map, const platform::Surface& surface, Key& key) {
  key.map = &map;
  key.revision = map.revision;
  key.cells = map.cells.identity();
  key.columns = map.width;
  key.rows = map.height;
  key.depth = map.depth;
  key.tileWidth = map.tileWidth;
  key.tileHeight = map.tileHeight;
  key.scrollX = map.scrollX;
  key.scrollY = map.scrollY;
  key.zoom = map.zoom;
  key.width = surface.width();
  key.height = surface.height();
  // What the markers draw from; the vector keeps its room from tick to tick.
  key.objects.clear();
  for (const map::LightPtr& l : map.lights)
    key.objects.insert(key.objects.end(), {l->x, l->y, l->range, l->red, l->green, l->blue, l->selected ? 1.0f : 0.0f});
  for (const map::PivotPtr& p : map.pivots)
    key.objects.insert(key.objects.end(), {p->x, p->y, p->selected ? 1.0f : 0.0f});
}

// Compares in place and copies the marks only for a frame that is drawn: a resting tick
// allocates nothing.
bool MapFrame::unchanged(const map::Map& map, const platform::Surface& surface, const map::Map* tiles) {
  describe(map, surface, now_);
  now_.tiles = tiles;
  now_.tilesRevision = tiles ? tiles->revision : 0;
  if (valid_ && !surface.frameLost() && now_ == shown_ && map.highlight == shownMarks_) {
    // The same view shows the same marks, and drawing would leave the same ones.
    std::erase_if(map.highlight, [&](const auto& mark) { return !leftover_.contains(mark); });
    return true;
  }
  shownMarks_ = map.highlight;
  return false;
}

void MapFrame::drawn(const map::Map& map) {
  std::swap(shown_, now_);
  leftover_ = map.highlight;
  valid_ = true;
}

TileFrame::Key TileFrame::describe(const tiles::Tile* tile, const platform::Surface& surface) {
  return {tile, tile ? static_cast<const void*>(tile->image.get()) : nullptr, surface.width(), surface.height()};
}

bool TileFrame::unchanged(const tiles::Tile* tile, const platform::Surface& surface) const {
  return valid_ && !surface.frameLost() && describe(tile, surface) == shown_;
}

void TileFrame::drawn(const tiles::Tile* tile, const platform::Surface& surface) {
  shown_ = describe(tile, surface);
  valid_ = true;
}

}  // namespace vorlane::app
