#include "app/frames.h"

#include <algorithm>

namespace vorlane::app {

map::ViewState& CanvasViews::of(const edit::ConstMapPtr& map) {
  for (Entry& e : entries_)
    if (!e.map.owner_before(map) && !map.owner_before(e.map) && !e.map.expired()) return e.view;
  // Views of maps gone for good (out of the history too) go with the next new one.
  std::erase_if(entries_, [](const Entry& e) { return e.map.expired(); });
  return entries_.emplace_back(Entry{map, {}}).view;
}

MapFrame::MapFrame(edit::Document& doc, edit::ChangeSet shows)
    : listening_(doc.listen([this, shows](edit::ChangeSet changes) {
        if (changes.any(shows)) valid_ = false;
      })) {}

MapFrame::Source MapFrame::sourceOf(const map::Map& map, const platform::Surface& surface, const map::Map* tiles,
                                    const void* picture) {
  return {&map, tiles, tiles ? tiles->revision : 0, picture, surface.width(), surface.height()};
}

bool MapFrame::unchanged(const map::Map& map, const map::ViewState& view, const platform::Surface& surface,
                         const map::Map* tiles, const void* picture) const {
  return valid_ && !surface.frameLost() && sourceOf(map, surface, tiles, picture) == shown_ && view.showsAsIn(view_);
}

void MapFrame::drawn(const map::Map& map, const map::ViewState& view, const platform::Surface& surface,
                     const map::Map* tiles, const void* picture) {
  shown_ = sourceOf(map, surface, tiles, picture);
  view_ = view;
  valid_ = true;
}

TileFrame::TileFrame(edit::Document& doc)
    : listening_(doc.listen([this](edit::ChangeSet changes) {
        if (changes.any(edit::Change::tiles)) valid_ = false;
      })) {}

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
