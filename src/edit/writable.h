#pragma once
// Write access to a document's parts, for the commands of this library alone: the rest of
// the editor sees the document read-only, so a change outside a command does not compile.
// Not included outside src/edit.
#include <memory>

#include "edit/document.h"

namespace vorlane::edit {

class Writable {
 public:
  // The document's own map or tileset that `part` names (throws for one it does not hold).
  static map::MapPtr map(const Document& doc, const ConstMapPtr& part) { return doc.own(part); }
  static map::Map& currentMap(Document& doc) { return *doc.map_; }
  // An object or tile of the document, which the document hands out read-only.
  template <typename T>
  static std::shared_ptr<T> object(const std::shared_ptr<const T>& part) {
    return std::const_pointer_cast<T>(part);
  }
  static DocumentState state(const Document& doc) { return doc.state(); }
  static void restore(Document& doc, const DocumentState& s) { doc.restoreState(s); }
  static void setTilesets(Document& doc, std::vector<io::TilesetEntry> tilesets, map::MapPtr current) {
    doc.setTilesets(std::move(tilesets), std::move(current));
  }
  static const std::vector<io::TilesetEntry>& tilesets(const Document& doc) { return doc.tilesets_; }
  static const map::MapPtr& currentTileset(const Document& doc) { return doc.currentTileset_; }
};

}  // namespace vorlane::edit
