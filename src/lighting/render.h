#pragma once
// The light-map renderer: per-light shadow maps (hard or box-softened) and per-pixel lighting
// of every occupied cell into a new, lit map. Free functions on plain model types, so the
// editor, vorlane-tool, the tests and the benchmarks call the same code.
//
// How the editor shell uses it (the Render button):
//   auto lit = lighting::renderCommand(*currentMap, widthField.text(), heightField.text(),
//                                      softShadowsBox.checked(),
//                                      [&](float f) { progressBar.setValue(f); });
//   if (!lit) { error box lit.error(); return; }   // nothing was rendered or changed
//   currentMap = *lit;                              // active light, pivot, record := none
#include <cstdint>
#include <functional>
#include <string_view>

#include "base/result.h"
#include "map/map.h"
#include "tiles/tile.h"

namespace vorlane::lighting {

inline constexpr std::int32_t kDefaultResolution = 256;
inline constexpr std::int32_t kMinResolution = 16;
// Upper limits: a request beyond them is refused before anything is computed.
inline constexpr std::int32_t kMaxResolution = 8192;
inline constexpr std::uint64_t kMaxShadowMapBytes = std::uint64_t{2} << 30;  // all lights together
inline constexpr float kBlurRadius = 4.0f;
inline constexpr float kLightHeight = 45.0f;

// Receives fractions 0..1: before each light's shadow map (k / n), while the tiles are lit
// (column / width) and 0 at the end. Always called on the caller's thread.
using Progress = std::function<void(float)>;

// The refusal message for a resolution or shadow-map total beyond the limits, or success.
base::Status checkResolution(const map::Map& map, std::int32_t width, std::int32_t height);

// Computes every light's shadow map at width × height texels (softened by a box of radius
// blurRadius when soft != 0), sets lightmapWidth/Height and returns the lit map: same sizes,
// every occupied cell holding a new tile lit from its source tile; no lights or pivots.
// Prints "WF:… HF:…". Refuses (changing nothing) when checkResolution fails.
base::Result<map::MapPtr> renderLightmap(map::Map& map, std::int32_t width, std::int32_t height, std::int32_t soft,
                                         float blurRadius, const Progress& progress = {});

// The Render command: sizes below 16 are raised to 16, then the resolution line is printed
// and renderLightmap runs with blur radius 4.0.
base::Result<map::MapPtr> renderCommand(map::Map& map, std::int32_t width, std::int32_t height, bool soft,
                                        const Progress& progress = {});
// The same from the texts of the Width and Height fields (read by base::textToInt).
base::Result<map::MapPtr> renderCommand(map::Map& map, std::string_view widthText, std::string_view heightText,
                                        bool soft, const Progress& progress = {});

// ---- Building blocks (exact float arithmetic; also what the tests compare against) ----

// True when segment A–B crosses segment C–D strictly inside both; near-parallel pairs
// (|denominator| < 0.0001) never cross.
bool segmentsIntersect(float ax, float ay, float bx, float by, float cx, float cy, float dx, float dy);

// Whether the segment from map point (x, y) to the light at (lightX, lightY) crosses a
// lengthened edge of a non-empty cell of `layer` (none for a layer outside the map). Indexes
// the layer on every call; the renderer keeps one index per light (lighting/occlusion.h).
bool isOccluded(const map::Map& map, std::int32_t x, std::int32_t y, std::int32_t lightX, std::int32_t lightY,
                std::int32_t layer);

// Gives `target` the lit image of `source` for cell (column, row, layer), plus a colour grid
// of that image and a flat-normal grid. Needs lightmapWidth/Height and every light's shadow
// map to be current. Missing or small grids read the image's pixel and the flat normal.
void lightTile(const map::Map& map, const tiles::Tile& source, tiles::Tile& target, std::int32_t column,
               std::int32_t row, std::int32_t layer);

}  // namespace vorlane::lighting
