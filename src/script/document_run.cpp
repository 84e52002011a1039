#include "script/document_run.h"

#include <lua.hpp>
#include <unordered_set>

#include "script/module.h"

namespace vorlane::script {

namespace {

// What a script can change in the document's own tiles.
struct TileState {
  tiles::TilePtr tile;
  std::string path;
  std::int32_t castShadows, collider;
};

std::vector<TileState> documentTiles(const map::Map& document) {
  std::unordered_set<const tiles::Tile*> seen;
  std::vector<TileState> tiles;
  const auto note = [&](const tiles::TilePtr& tile) {
    if (tile && seen.insert(tile.get()).second) tiles.push_back({tile, tile->path, tile->castShadows, tile->collider});
  };
  for (const auto& tile : document.cells) note(tile);
  for (const auto& tile : document.tileTable) note(tile);
  return tiles;
}

int exitInEditor(lua_State* state) { return luaL_error(state, "%s", kExitInEditor); }

}  // namespace

map::MapPtr copyMap(const map::Map& map) {
  auto copy = std::make_shared<map::Map>(map);
  for (auto& light : copy->lights)
    if (light) light = std::make_shared<map::Light>(*light);
  for (auto& pivot : copy->pivots) {
    if (!pivot) continue;
    pivot = std::make_shared<map::Pivot>(*pivot);
    for (auto& r : pivot->records)
      if (r) r = std::make_shared<map::record>(*r);
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
  setDocumentMap(state, copyMap(document));
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
  const auto before = documentTiles(document);
  auto status = engine.runFile(path);
  engine.setInterrupt({});
  DocumentRun run;
  if (status) run.map = documentMap(state);
  engine.close();  // drops the script's references to tiles and maps

  for (const auto& t : before) {
    if (!status) {
      t.tile->path = t.path;
      t.tile->castShadows = t.castShadows;
      t.tile->collider = t.collider;
    } else if (t.tile->castShadows != t.castShadows || t.tile->collider != t.collider) {
      run.changed.push_back({t.tile, t.castShadows, t.collider});
    }
  }
  if (!status) return base::Error{status.error()};
  return run;
}

}  // namespace vorlane::script
