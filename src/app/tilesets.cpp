#include "app/tilesets.h"

#include "base/convert.h"
#include "edit/commands.h"

namespace vorlane::app {

namespace {
std::string tooltipFor(int number) { return "View tileset " + base::intToText(number); }
}  // namespace

Tilesets::Tilesets(platform::Toolkit& toolkit, platform::Handle tabs, edit::Document& doc)
    : tk_(toolkit), tabs_(tabs), doc_(doc), following_(doc.listen([this](edit::ChangeSet changes) {
        if (changes.any(edit::Change::tilesets | edit::Change::map)) show();
      })) {}

io::TilesetEntry Tilesets::fresh() const {
  return {"Tileset " + base::intToText(count() + 1), map::Map::createTileset()};
}

edit::ConstMapPtr Tilesets::addFirst() {
  io::TilesetEntry first = fresh();
  map::MapPtr tileset = first.tileset;
  doc_.reset({nullptr, std::vector<io::TilesetEntry>{std::move(first)}, {}});
  show();
  return tileset;
}

edit::ConstMapPtr Tilesets::add(std::vector<tiles::TilePtr> tiles, const char* label) {
  if (count() >= kMaxTilesets) {
    tk_.messageBox(kTilesetsFull, platform::MessageKind::Information);
    return nullptr;
  }
  io::TilesetEntry entry = fresh();
  map::MapPtr tileset = entry.tileset;
  // Filled before the document holds it: the step brings it whole.
  for (tiles::TilePtr& tile : tiles) tileset->addToFirstFreeCell(std::move(tile));
  doc_.push(edit::addTileset(doc_, label, std::move(entry)));
  return tileset;
}

bool Tilesets::removeSelected() {
  if (count() == 0) return false;
  if (count() == 1) {
    doc_.push(edit::deleteTileset(doc_, 0));
    return true;
  }
  const int s = tk_.selectedItem(tabs_);
  // No tab selected (or a strip out of step): nothing to delete.
  if (s < 0 || s >= count()) return false;
  doc_.push(edit::deleteTileset(doc_, s));
  return false;
}

void Tilesets::choose(int index) { doc_.chooseTileset(index); }

void Tilesets::show() {
  const std::vector<edit::TilesetSlot> sets = doc_.tilesets();
  bool same = shown_.size() == sets.size();
  for (std::size_t i = 0; same && i < sets.size(); ++i) same = shown_[i] == sets[i].tileset;
  if (!same) {
    tk_.clearItems(tabs_);
    shown_.clear();
    for (const edit::TilesetSlot& e : sets) {
      shown_.push_back(e.tileset);
      tk_.addItem(tabs_, e.label, tooltipFor(static_cast<int>(shown_.size())));
    }
  }
  const int current = doc_.currentTilesetIndex();
  if (current >= 0 && tk_.selectedItem(tabs_) != current) tk_.selectItem(tabs_, current);
}

}  // namespace vorlane::app
