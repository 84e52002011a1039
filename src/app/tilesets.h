#pragma once
// The tileset viewer: the document's tileset slots, one tab each, and the one on show. New
// Set and Delete Set are steps of the document; the tab strip follows the slots.
#include <string>
#include <vector>

#include "edit/document.h"
#include "map/map.h"
#include "platform/toolkit.h"

namespace vorlane::app {

inline constexpr int kMaxTilesets = edit::kMaxTilesets;
inline constexpr const char* kTilesetsFull = "No more than 255 tilesets fit.";

class Tilesets {
 public:
  // The tabs follow the document's slots whenever they change.
  Tilesets(platform::Toolkit& toolkit, platform::Handle tabs, edit::Document& doc);

  // A new 8 × 128 tileset holding `tiles` (row by row, as many as fit) in a new, selected tab
  // labelled by the count; it becomes current, as one step `label`. At capacity an
  // information message, and none is returned. The first one, made at start-up, is no step
  // of the history.
  edit::ConstMapPtr add(std::vector<tiles::TilePtr> tiles = {}, const char* label = "New Set");
  edit::ConstMapPtr addFirst();
  // The Delete Set button. Returns whether the after-event step runs.
  bool removeSelected();
  // The tab strip's action: the tab now selected becomes current.
  void choose(int index);
  // The tabs show the document's slots again, the current one selected (after a load,
  // an undo or a redo); unchanged tabs are left alone.
  void show();

  int count() const { return doc_.tilesetCount(); }
  std::vector<edit::TilesetSlot> entries() const { return doc_.tilesets(); }
  edit::ConstMapPtr current() const { return doc_.currentTileset(); }

 private:
  io::TilesetEntry fresh() const;
  // What the tab strip shows, in order.
  std::vector<edit::ConstMapPtr> shown_;

  platform::Toolkit& tk_;
  platform::Handle tabs_;
  edit::Document& doc_;
  edit::Document::Subscription following_;
};

}  // namespace vorlane::app
