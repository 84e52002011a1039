#pragma once
// Running a script on the editor's document: the script edits a copy of the map (as
// `vorlane.map`), so a failed or stopped script changes nothing and a finished one can be
// applied as one undoable step.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/result.h"
#include "map/map.h"
#include "script/engine.h"

namespace vorlane::script {

// After this long a running script offers to stop, and again after each further stretch.
inline constexpr std::chrono::seconds kOfferStopAfter{5};
inline constexpr const char* kExitInEditor = "os.exit is not available in the editor.";

// A tile of the document whose own fields the script changed, with what they became.
struct TileChange {
  tiles::TilePtr tile;  // the document's tile, as it was
  std::string path;
  std::int32_t castShadows = 0;
  std::int32_t collider = 0;
};

struct DocumentRun {
  // `vorlane.map` when the script ended, its cells and tile table holding the document's own
  // tiles again; none when it is the document's map as it was, or when the script cleared it.
  map::MapPtr map;
  std::vector<TileChange> tiles;  // the document's tiles are left as they were
  // `map` is the copy the script was handed, not a map it made or read.
  bool mapIsCopy = false;
  bool changed() const { return map || !tiles.empty(); }
};

// A copy of the map whose lights, pivots and records are copies too; cells and tile table
// share the tiles.
map::MapPtr copyMap(const map::Map& map);

// Runs the script file on a copy of `document` (its tiles copied too) with a freshly started
// engine, and tells what the script changed; the document is never written. `offerStop` is
// asked once the script has run for kOfferStopAfter (and again after each further stretch);
// true stops it.
using Clock = std::function<std::chrono::steady_clock::time_point()>;
base::Result<DocumentRun> runOnDocument(ScriptEngine& engine, const std::string& path, const map::Map& document,
                                        const std::function<bool()>& offerStop,
                                        const Clock& now = std::chrono::steady_clock::now);

}  // namespace vorlane::script
