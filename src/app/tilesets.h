#pragma once
// The Tiles window and the current tile: the document's tileset slots, one tab each, and the
// one on show; Load Tile, Scan, and the current tile's flags. New Set and Delete Set are steps
// of the document; the tab strip follows the slots.
#include <string>
#include <vector>

#include "app/context.h"
#include "edit/document.h"
#include "map/map.h"
#include "platform/toolkit.h"

namespace vorlane::app {

inline constexpr int kMaxTilesets = edit::kMaxTilesets;
inline constexpr const char* kTilesetsFull = "No more than 255 tilesets fit.";

class Tilesets {
 public:
  // The tabs follow the document's slots whenever they change, the tile boxes the current
  // tile's flags.
  explicit Tilesets(EditorContext& ctx);

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

  After loadTile();
  // The new tileset and the tiles cut into it are one step.
  After scan();
  // The tile picked on the tileset becomes current: the boxes show its flags, and it takes
  // them as the boxes show them.
  void followPick();
  // The user changed a tile box.
  After tileFlagsChanged();

  int count() const { return doc_.tilesetCount(); }
  std::vector<edit::TilesetSlot> entries() const { return doc_.tilesets(); }
  edit::ConstMapPtr current() const { return doc_.currentTileset(); }

 private:
  io::TilesetEntry fresh() const;
  void applyTileFlags();
  void showTileFlags();
  // What the tab strip shows, in order.
  std::vector<edit::ConstMapPtr> shown_;

  EditorContext& ctx_;
  platform::Toolkit& tk_;
  const Gadgets& g_;
  platform::Handle tabs_;
  edit::Document& doc_;
  edit::Document::Subscription following_;
};

}  // namespace vorlane::app
