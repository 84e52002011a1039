#pragma once
// The tileset viewer: up to 255 tilesets, one tab each, and the one on show. Keeps the tab
// strip and the slots in step and never addresses a slot outside those in use.
#include <string>
#include <vector>

#include "io/project.h"
#include "map/map.h"
#include "platform/toolkit.h"

namespace vorlane::app {

inline constexpr int kMaxTilesets = io::kMaxTilesets;
inline constexpr const char* kTilesetsFull = "No more than 255 tilesets fit.";

class Tilesets {
 public:
  Tilesets(platform::Toolkit& toolkit, platform::Handle tabs) : tk_(toolkit), tabs_(tabs) {}

  // A new 8 × 128 tileset in a new, selected tab labelled by the count; it becomes current.
  // At capacity an information message, and none is returned.
  map::MapPtr add();
  // The Delete Set button. Returns whether the after-event step runs.
  bool removeSelected();
  // The tab strip's action: the tab now selected becomes current.
  void choose(int index);
  // A loaded project's tilesets replace all tabs; with none, the current one stays on show.
  void replaceAll(std::vector<io::TilesetEntry> entries);

  int count() const { return static_cast<int>(sets_.size()); }
  const std::vector<io::TilesetEntry>& entries() const { return sets_; }
  const map::MapPtr& current() const { return current_; }

 private:
  platform::Toolkit& tk_;
  platform::Handle tabs_;
  std::vector<io::TilesetEntry> sets_;
  // Kept apart from the slots: deleting the last tileset leaves it on show.
  map::MapPtr current_;
};

}  // namespace vorlane::app
