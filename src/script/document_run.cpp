#include "script/document_run.h"

#include <lua.hpp>

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "map/fields.h"
#include "script/module.h"

namespace vorlane::script {

namespace {

int exitInEditor(lua_State* state) { return luaL_error(state, "%s", kExitInEditor); }

// The document's tiles and the copies the script gets in their place.
struct TileCopies {
  std::unordered_map<const tiles::Tile*, tiles::TilePtr> copyOf;
  std::unordered_map<const tiles::Tile*, tiles::TilePtr> originalOf;
  std::vector<tiles::TilePtr> originals;  // in order of first use

  // Over a map's cell store or its tile table; only cells that hold a tile are written.
  template <typename Cells>
  void swapIn(Cells& cells) {
    for (std::size_t k = 0; k < cells.size(); ++k) {
      const tiles::TilePtr& tile = std::as_const(cells)[k];
      if (!tile) continue;
      auto [it, added] = copyOf.try_emplace(tile.get());
      if (added) {
        it->second = std::make_shared<tiles::Tile>(*tile);  // images and grids stay shared
        originalOf.emplace(it->second.get(), tile);
        originals.push_back(tile);
      }
      cells[k] = it->second;
    }
  }
  template <typename Cells>
  void swapBack(Cells& cells) const {
    for (std::size_t k = 0; k < cells.size(); ++k) {
      const tiles::TilePtr& tile = std::as_const(cells)[k];
      if (auto it = tile ? originalOf.find(tile.get()) : originalOf.end(); it != originalOf.end()) cells[k] = it->second;
    }
  }
};

bool sameLight(const map::Light& a, const map::Light& b) {
  return map::sameFields(map::kLightFields, map::kSaved, a, b);
}

bool samePivot(const map::Pivot& a, const map::Pivot& b) {
  if (!map::sameFields(map::kPivotFields, map::kSaved, a, b) || a.recordCount != b.recordCount) return false;
  for (std::int32_t i = 0; i < a.recordCount; ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (!map::sameFields(map::kRecordFields, map::kSaved, *a.records[k], *b.records[k])) return false;
  }
  return true;
}

// Whether the script's map holds what the document's does (its objects being copies).
bool sameContent(const map::Map& a, const map::Map& b) {
  const auto same = [](const auto& x, const auto& y, auto eq) {
    return std::equal(x.begin(), x.end(), y.begin(), y.end(), [&](const auto& p, const auto& q) { return eq(*p, *q); });
  };
  return a.width == b.width && a.height == b.height && a.depth == b.depth && a.tileWidth == b.tileWidth &&
         a.tileHeight == b.tileHeight && a.cells == b.cells && a.tileTable == b.tileTable &&
         a.tileCount == b.tileCount && same(a.lights, b.lights, sameLight) && same(a.pivots, b.pivots, samePivot);
}

}  // namespace

map::MapPtr copyMap(const map::Map& map) {
  auto copy = std::make_shared<map::Map>(map);
  for (auto& light : copy->lights)
    if (light) light = std::make_shared<map::Light>(*light);
  for (auto& pivot : copy->pivots) {
    if (!pivot) continue;
    auto own = std::make_shared<map::Pivot>(*pivot);
    for (auto& r : own->records)
      if (r) r = std::make_shared<map::record>(*r);
    pivot = std::move(own);
  }
  return copy;
}

base::Result<DocumentRun> runOnDocument(ScriptEngine& engine, const std::string& path, const map::Map& document,
                                        const std::function<bool()>& offerStop, const Clock& now) {
  if (!engine.start()) return base::Error{"Not enough memory to start the script engine."};
  // Ending the program from a script would lose the document.
  lua_State* state = engine.state();
  lua_getglobal(state, "os");
  lua_pushcfunction(state, exitInEditor);
  lua_setfield(state, -2, "exit");
  lua_pop(state, 1);
  // The script's tiles are copies as well: a tile the document shares with its tilesets and
  // its history changes only through the step the run becomes.
  TileCopies tiles;
  map::MapPtr copy = copyMap(document);
  const map::Map* given = copy.get();
  tiles.swapIn(copy->cells);
  tiles.swapIn(copy->tileTable);
  setDocumentMap(state, std::move(copy));
  // `arg` as `lua script.lua` sets it: the script at 0, the program before it, no arguments.
  const std::string argv[] = {"vorlane", path};
  engine.setArgs(argv, 1);

  auto next = now() + kOfferStopAfter;
  engine.setInterrupt([&] {
    if (now() < next) return false;
    if (offerStop()) return true;
    next = now() + kOfferStopAfter;
    return false;
  });
  auto status = engine.runFile(path);
  engine.setInterrupt({});
  map::MapPtr result;
  if (status) result = documentMap(state);
  engine.close();  // drops the script's references to tiles and maps
  if (!status) return base::Error{status.error()};

  DocumentRun run;
  for (const tiles::TilePtr& original : tiles.originals) {
    const tiles::Tile& edited = *tiles.copyOf.at(original.get());
    if (edited.path != original->path || edited.castShadows != original->castShadows ||
        edited.collider != original->collider)
      run.tiles.push_back({original, edited.path, edited.castShadows, edited.collider});
  }
  if (result) {
    tiles.swapBack(result->cells);
    tiles.swapBack(result->tileTable);
    run.mapIsCopy = result.get() == given;
    if (!sameContent(*result, document)) run.map = std::move(result);
  }
  return run;
}

}  // namespace vorlane::script
