#include "app/tilesets.h"

#include "base/convert.h"

namespace vorlane::app {

namespace {
std::string tooltipFor(int number) { return "View tileset " + base::intToText(number); }
}  // namespace

map::MapPtr Tilesets::add() {
  if (count() >= kMaxTilesets) {
    tk_.messageBox(kTilesetsFull, platform::MessageKind::Information);
    return nullptr;
  }
  const int number = count() + 1;
  sets_.push_back({"Tileset " + base::intToText(number), map::Map::createTileset()});
  current_ = sets_.back().tileset;
  tk_.addItem(tabs_, sets_.back().label, tooltipFor(number));
  tk_.selectItem(tabs_, count() - 1);
  return current_;
}

bool Tilesets::removeSelected() {
  if (sets_.empty()) return false;
  if (sets_.size() == 1) {
    sets_.clear();
    tk_.removeItem(tabs_, 0);
    return true;
  }
  const int s = tk_.selectedItem(tabs_);
  // No tab selected (or a strip out of step): nothing to delete.
  if (s < 0 || s >= count()) return false;
  sets_.erase(sets_.begin() + s);
  tk_.removeItem(tabs_, s);
  const int next = s == 0 ? count() - 1 : s - 1;
  tk_.selectItem(tabs_, next);
  current_ = sets_[static_cast<std::size_t>(next)].tileset;
  return false;
}

void Tilesets::choose(int index) {
  if (index < 0 || index >= count()) return;
  current_ = sets_[static_cast<std::size_t>(index)].tileset;
}

void Tilesets::replaceAll(std::vector<io::TilesetEntry> entries) {
  tk_.clearItems(tabs_);
  if (entries.size() > static_cast<std::size_t>(kMaxTilesets)) entries.resize(kMaxTilesets);
  sets_ = std::move(entries);
  for (int i = 0; i < count(); ++i) tk_.addItem(tabs_, sets_[static_cast<std::size_t>(i)].label, tooltipFor(i + 1));
  if (sets_.empty()) return;
  tk_.selectItem(tabs_, 0);
  current_ = sets_.front().tileset;
}

}  // namespace vorlane::app
