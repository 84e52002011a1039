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

// A tile of the document whose flags the script changed, with the flags it had before.
struct TileFlags {
  tiles::TilePtr tile;
  std::int32_t castShadows = 0;
  std::int32_t collider = 0;
};

struct DocumentRun {
  map::MapPtr map;                 // `vorlane.map` when the script ended (none if it cleared it)
  std::vector<TileFlags> changed;  // the tiles keep their new flags
};

// A copy of the map whose lights, pivots and records are copies too; cells and tile table
// share the tiles.
map::MapPtr copyMap(const map::Map& map);

// Runs the script file on a copy of `document` with a freshly started engine. `offerStop` is
// asked once the script has run for kOfferStopAfter (and again after each further stretch);
// true stops it. On failure the document's tiles get back their flags and paths.
using Clock = std::function<std::chrono::steady_clock::time_point()>;
base::Result<DocumentRun> runOnDocument(ScriptEngine& engine, const std::string& path, const map::Map& document,
                                        const std::function<bool()>& offerStop,
                                        const Clock& now = std::chrono::steady_clock::now);

}  // namespace vorlane::script
