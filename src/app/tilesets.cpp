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

map::MapPtr Tilesets::addFirst() {
  io::TilesetEntry first = fresh();
  map::MapPtr tileset = first.tileset;
  doc_.setTilesets({std::move(first)}, tileset);
  show();
  return tileset;
}

map::MapPtr Tilesets::add(std::vector<tiles::TilePtr> tiles, const char* label) {
  if (count() >= kMaxTilesets) {
    tk_.messageBox(kTilesetsFull, platform::MessageKind::Information);
    return nullptr;
  }
  std::vector<io::TilesetEntry> sets = doc_.tilesets();
  sets.push_back(fresh());
  map::MapPtr tileset = sets.back().tileset;
  // Filled before the document holds it: the step brings it whole.
  for (tiles::TilePtr& tile : tiles) tileset->addToFirstFreeCell(std::move(tile));
  doc_.push(edit::setTilesets(label, std::move(sets), tileset));
  return tileset;
}

bool Tilesets::removeSelected() {
  if (count() == 0) return false;
  std::vector<io::TilesetEntry> sets = doc_.tilesets();
  if (count() == 1) {
    doc_.push(edit::setTilesets("Delete Set", {}, doc_.currentTileset()));
    return true;
  }
  const int s = tk_.selectedItem(tabs_);
  // No tab selected (or a strip out of step): nothing to delete.
  if (s < 0 || s >= count()) return false;
  sets.erase(sets.begin() + s);
  const int next = s == 0 ? static_cast<int>(sets.size()) - 1 : s - 1;
  map::MapPtr shownNext = sets[static_cast<std::size_t>(next)].tileset;
  doc_.push(edit::setTilesets("Delete Set", std::move(sets), std::move(shownNext)));
  return false;
}

void Tilesets::choose(int index) { doc_.chooseTileset(index); }

void Tilesets::show() {
  const std::vector<io::TilesetEntry>& sets = doc_.tilesets();
  bool same = shown_.size() == sets.size();
  for (std::size_t i = 0; same && i < sets.size(); ++i) same = shown_[i] == sets[i].tileset;
  if (!same) {
    tk_.clearItems(tabs_);
    shown_.clear();
    for (const io::TilesetEntry& e : sets) {
      shown_.push_back(e.tileset);
      tk_.addItem(tabs_, e.label, tooltipFor(static_cast<int>(shown_.size())));
    }
  }
  const int current = doc_.currentTilesetIndex();
  if (current >= 0 && tk_.selectedItem(tabs_) != current) tk_.selectItem(tabs_, current);
}

}  // namespace vorlane::app
