#include "app/tilesets.h"

#include "app/scan_dialog.h"
#include "base/convert.h"
#include "edit/cells.h"
#include "edit/commands.h"
#include "platform/files.h"
#include "tiles/tile.h"

namespace vorlane::app {

namespace {
std::string tooltipFor(int number) { return "View tileset " + base::intToText(number); }
}  // namespace

Tilesets::Tilesets(EditorContext& ctx)
    : ctx_(ctx), tk_(ctx.tk), g_(ctx.g), tabs_(ctx.g.tilesetTabs), doc_(ctx.doc),
      following_(doc_.listen([this](edit::ChangeSet changes) {
        if (changes.any(edit::Change::tilesets | edit::Change::map)) show();
        if (changes.any(edit::Change::tiles | edit::Change::map)) showTileFlags();
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

After Tilesets::loadTile() {
  const std::string path = tk_.fileRequester("Load a single tile.", kImageFilter, platform::FileMode::Open, "");
  if (!platform::isRegularFile(path)) {
    tk_.messageBox(kNotAValidFile, platform::MessageKind::Information);
    return After::skip;
  }
  // A file that cannot be decoded is reported, and the editor carries on.
  auto tile = tiles::Tile::fromFile(path);
  if (!tile) {
    tk_.messageBox(tile.error(), platform::MessageKind::Error);
    return After::skip;
  }
  edit::CellRecorder cells(doc_, current(), "Load Tile");
  current()->addToFirstFreeCell(std::move(tile).value(), cells);
  return After::step;
}

// The new tileset and the tiles cut into it are one step.
After Tilesets::scan() {
  runScanDialog(tk_, g_.mainWindow, [this](std::vector<tiles::TilePtr> pieces) { add(std::move(pieces), "Scan"); });
  return After::step;
}

// The boxes and the object windows' fields write only when the user changes them (their
// actions), so an undone change stays undone.
void Tilesets::followPick() {
  const map::Map& tileset = *current();
  const map::CellPoint slot = ctx_.tilesetView().picked;
  const tiles::TilePtr& picked = tileset.cell(slot.x, slot.y, 0);
  if (picked != ctx_.currentTile) {
    ctx_.currentTile = picked;
    tk_.setChecked(g_.tileShadowsBox, picked && picked->castShadows != 0);
    tk_.setChecked(g_.tileColliderBox, picked && picked->collider != 0);
    applyTileFlags();
  }
}

void Tilesets::applyTileFlags() {
  const tiles::TilePtr& tile = ctx_.currentTile;
  if (!tile) return;
  const std::int32_t castShadows = tk_.checked(g_.tileShadowsBox) ? 1 : 0;
  const std::int32_t collider = tk_.checked(g_.tileColliderBox) ? 1 : 0;
  if (castShadows != tile->castShadows || collider != tile->collider)
    doc_.push(edit::setTileFlags(tile, castShadows, collider));
}

After Tilesets::tileFlagsChanged() {
  applyTileFlags();
  return After::step;
}

// The tile boxes follow the current tile's flags.
void Tilesets::showTileFlags() {
  const tiles::TilePtr& tile = ctx_.currentTile;
  if (!tile) return;
  tk_.setChecked(g_.tileShadowsBox, tile->castShadows != 0);
  tk_.setChecked(g_.tileColliderBox, tile->collider != 0);
}

}  // namespace vorlane::app
