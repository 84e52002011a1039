#pragma once
// A document set up as if a file had brought it, for tests that need cells in place before
// they act: the parts are filled as copies and handed to the document whole.
#include <functional>
#include <memory>
#include <vector>

#include "edit/document.h"
#include "map/map.h"

namespace vorlane::test {

using SeedFill = std::function<void(map::Map& map, map::Map& tileset)>;

inline map::MapPtr copyOf(const map::Map& from) {
  auto to = std::make_shared<map::Map>(from);
  to->revision = map::Map::nextRevision();
  return to;
}

// `fill` writes into copies of the map and of the tileset on show (the other slots are
// copied too); those asked for (`map`, `tileset`) take their places with no history and
// nothing modified, the others stay the objects they were.
inline void seedDocument(edit::Document& doc, const SeedFill& fill, bool map = true, bool tileset = true) {
  const int current = doc.currentTilesetIndex();
  const map::MapPtr m = copyOf(*doc.map());
  const map::MapPtr shown = copyOf(*doc.currentTileset());
  std::vector<io::TilesetEntry> sets;
  for (const edit::TilesetSlot& slot : doc.tilesets())
    sets.push_back({slot.label, slot.tileset == doc.currentTileset() ? shown : copyOf(*slot.tileset)});
  fill(*m, *shown);
  if (tileset)
    doc.reset({map ? m : nullptr, std::move(sets), {}});
  else
    doc.reset({m, {}, {}});
  doc.chooseTileset(current);
}

inline void seedTileset(edit::Document& doc, const std::function<void(map::Map& tileset)>& fill) {
  seedDocument(doc, [&](map::Map&, map::Map& tileset) { fill(tileset); }, false, true);
}

}  // namespace vorlane::test
