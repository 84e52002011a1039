#pragma once
// The light-map renderer: per-light shadow maps (hard or box-softened) and per-pixel lighting
// of every occupied cell into a new, lit map. Free functions on plain model types, so the
// editor, vorlane-tool, the tests and the benchmarks call the same code.
//
// The core is `render`: it reads a Snapshot of a map, never the map, so it may run on a
// worker thread while the map is edited, and returns the lit map with the shadow maps.
//   Snapshot scene(*currentMap);                        // on the editing thread: cheap
//   auto lit = lighting::render(scene, settings, progress, stop.get_token());
//   if (lit) show lit->map; lit->shadowMaps are the lights' shadow maps, in list order
//
// The Render button goes through renderCommand, which prints the command's lines and renders;
// the map it reads stays as it was (the shadow maps stay with the bake's result):
//   auto lit = lighting::renderCommand(*currentMap, widthField.text(), heightField.text(),
//                                      softShadowsBox.checked(),
//                                      [&](float f) { progressBar.setValue(f); });
//   if (!lit) { error box lit.error(); return; }   // nothing was rendered or changed
//   currentMap = *lit;                              // active light, pivot, record := none
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stop_token>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "map/map.h"
#include "map/view.h"
#include "tiles/tile.h"

namespace vorlane::lighting {

inline constexpr std::int32_t kDefaultResolution = 256;
inline constexpr std::int32_t kMinResolution = 16;
// Upper limits: a request beyond them is refused before anything is computed.
inline constexpr std::int32_t kMaxResolution = 8192;
inline constexpr std::uint64_t kMaxShadowMapBytes = std::uint64_t{2} << 30;  // all lights together
inline constexpr float kBlurRadius = 4.0f;
inline constexpr float kLightHeight = 45.0f;
// A light term of 255 multiplies a pixel's colour by this.
inline constexpr float kIntensity = 4.0f;
inline constexpr const char* kCancelled = "The bake was cancelled.";

// Receives fractions 0..1: before each light's shadow map (k / n), while the tiles are lit
// (column / width) and 0 at the end. Always called on the thread that renders.
using Progress = std::function<void(float)>;

// Lighting beyond the defined one; the defaults leave every byte as it is.
struct Options {
  // Added to each lit channel (red, green, blue) before clamping.
  std::array<std::int32_t, 3> ambient{0, 0, 0};
  // Replaces kIntensity in the channel product.
  float intensity = kIntensity;
  // Only tiles whose "Cast Shadows" flag is set block light, and only lights with the flag
  // cast shadows.
  bool castShadowsFlags = false;
  bool operator==(const Options&) const = default;
};

// Columns [column0, column1) and rows [row0, row1) of every layer; empty when either range is.
struct CellRegion {
  std::int32_t column0 = 0, row0 = 0, column1 = 0, row1 = 0;
  bool contains(std::int32_t column, std::int32_t row) const {
    return column >= column0 && column < column1 && row >= row0 && row < row1;
  }
  bool contains(const CellRegion& r) const {
    return r.column0 >= r.column1 || r.row0 >= r.row1 ||
           (r.column0 >= column0 && r.column1 <= column1 && r.row0 >= row0 && r.row1 <= row1);
  }
  bool operator==(const CellRegion&) const = default;
};

struct Settings {
  std::int32_t width = kDefaultResolution, height = kDefaultResolution;  // texels
  bool soft = false;
  float blurRadius = kBlurRadius;
  Options options;
  // Threads to render with: every core the process may run on (its CPU affinity), at most
  // this many when above 0.
  std::int32_t threads = 0;
  // How many bytes of lit tiles a render with a sink holds at once (at least one cell).
  std::uint64_t bandBytes = std::uint64_t{64} << 20;
  // When set, only these cells are lit (a preview lights what its canvas shows), and only the
  // shadow-map texels their pixels read are tested.
  std::optional<CellRegion> region = std::nullopt;
  // Above 1 (with a region), a preview zoomed out: each cell is lit at ceil(tileWidth / density)
  // by ceil(tileHeight / density) points only, into Lit::picture, each point the image pixel
  // at the centre of its share of the image, of the topmost layer whose pixel there has alpha
  // of one half or more (what the canvas shows), lit exactly as the full bake lights it.
  std::int32_t density = 1;
};

// The picture's size of one cell along a side of `tileSize` map pixels at this density.
inline std::int32_t reducedSide(std::int32_t tileSize, std::int32_t density) {
  return tileSize <= 0 ? 0 : (tileSize + density - 1) / density;
}
// The image pixel that point k of n across an image of `size` pixels samples: its centre.
inline std::int32_t sampledPixel(std::int32_t k, std::int32_t n, std::int32_t size) {
  return static_cast<std::int32_t>((2 * std::int64_t{k} + 1) * size / (2 * std::int64_t{n}));
}

namespace detail {
struct ShadowCache;
}

// What a bake reads of a map, fixed when taken: the sizes, the cell table (sharing the map's
// tiles, whose images and grids are never changed once a tile holds them), each cell's tile
// "Cast Shadows" flag, and copies of the lights. Taken on the
// thread that edits the map; copies are cheap and share the same data.
class Snapshot {
 public:
  Snapshot();  // a map of no cells and no lights
  // Without `castShadows` the tiles' flags are not kept (a bake without the flags option needs
  // none), and the snapshot costs one reference a block of cells.
  explicit Snapshot(const map::Map& map, bool castShadows = true);

  // A map holding the snapshot's cells and lights (no tile table or pivots).
  const map::Map& map() const { return data_->map; }
  // Per cell, in the order of map().cells: 1 where the cell's tile had its flag set (empty
  // when not kept).
  const std::vector<std::uint8_t>& castShadows() const { return data_->castShadows; }

 private:
  struct Data {
    map::Map map;
    std::vector<std::uint8_t> castShadows;
  };
  std::shared_ptr<const Data> data_;
};

// A finished bake.
struct Lit {
  map::MapPtr map;  // same sizes; every occupied cell holds a new lit tile; no lights or pivots
  std::int32_t width = 0, height = 0;                 // light-map resolution
  std::vector<std::vector<std::uint8_t>> shadowMaps;  // per light, list order, [x * height + y]
  // What the bake read, for relight to compare against.
  Snapshot source;
  Settings settings;
  // How many shadow maps relight took over from the previous result, and whether it took its
  // lit map as it was.
  std::size_t shadowMapsKept = 0;
  bool litMapKept = false;
  // Per (column, row), column-major: 1 where the map's cells were lit. Empty when all were.
  std::vector<std::uint8_t> litCells;
  // A reduced bake (density above 1): its lit points; `map` then holds no lit cells.
  std::shared_ptr<const map::CellPicture> picture;
  // What the shadow pass built from the cells alone, for relight to reuse.
  std::shared_ptr<const detail::ShadowCache> shadowCache;
  bool isLit(std::int32_t column, std::int32_t row) const {
    return litCells.empty() || litCells[static_cast<std::size_t>(column) * static_cast<std::size_t>(map->height) +
                                        static_cast<std::size_t>(row)] != 0;
  }
};

// Takes the lit cells band by band as they are done: cells [first, first + cells.size()) of
// the map's cell table, in order, one band at a time, on any of the renderer's threads while
// it lights the next band. The renderer drops them after.
// Their colour grids are left out: a tile's writer derives the grid from its image.
using LitCells = std::function<void(std::size_t first, std::span<const tiles::TilePtr> cells)>;

// Checks the resolution (checkResolution), computes every light's shadow map and lights every
// occupied cell (of settings.region only, when set: the others stay empty). Prints nothing. Fails with checkResolution's message, with kCancelled once
// `stop` is requested (checked between lights and between cells), or with "Not enough memory
// to ..." when an allocation fails. With `sink`, the lit cells go there and the returned map
// keeps only the sizes: memory holds one band of lit tiles at a time.
base::Result<Lit> render(const Snapshot& scene, const Settings& settings, const Progress& progress = {},
                         std::stop_token stop = {}, const LitCells& sink = {});

// What a bake takes beyond the loaded map, in bytes, estimated before any work.
struct MemoryEstimate {
  std::uint64_t snapshot = 0;    // the renderer's copy of the cell table
  std::uint64_t shadowMaps = 0;  // the maps, their working copies and the occluder grids
  std::uint64_t litCells = 0;    // the whole lit map, or the largest band when streamed
  std::uint64_t working = 0;     // per-thread buffers
  std::uint64_t total() const { return snapshot + shadowMaps + litCells + working; }
};
MemoryEstimate estimateMemory(const map::Map& map, const Settings& settings, bool streamed);
// Refuses with the estimate, and `advice` after it, when it exceeds `available`.
base::Status checkMemory(const MemoryEstimate& need, std::uint64_t available, std::string_view advice = {});
inline constexpr const char* kStreamingAdvice =
    "vorlane-tool bake renders maps this large, writing the lit map as it is made.";

// The Render command's settings for these field values: sizes below 16 raised to 16 and the
// resolution checked. Prints nothing.
base::Result<Settings> commandSettings(const map::Map& map, std::int32_t width, std::int32_t height, bool soft,
                                       const Options& options = {}, std::int32_t threads = 0);
// The Render command's lines: the resolution and "WF:… HF:…".
void announce(const map::Map& map, const Settings& settings);

// The same result as render, reusing what `previous` computed where nothing it depends on
// changed, for a live preview. On a map whose cells (and, with the cast-shadows option, their
// flags) are as they were and with the same resolution, softening and option, a light whose
// position, layer (and flag) are unchanged keeps its shadow map. Every pixel faces every light
// at any distance (beyond its range a light darkens), so the tiles are all lit again unless
// neither the lights nor the options changed, in which case the lit map is kept as it was.
// With a region, cells outside it keep the previous lit cell when that is still valid (nothing
// above changed and it was lit) and stay empty otherwise.
base::Result<Lit> relight(const Lit& previous, const Snapshot& scene, const Settings& settings,
                          const Progress& progress = {}, std::stop_token stop = {});

// The refusal message for a resolution or shadow-map total beyond the limits, or success.
base::Status checkResolution(const map::Map& map, std::int32_t width, std::int32_t height);

// The Render command: sizes below 16 are raised to 16; a bake whose estimate exceeds the
// memory available is refused (pointing to vorlane-tool bake); then the lines are printed
// and the map is rendered with blur radius 4.0. Nothing is written into `map`: an editor
// keeps it for undo.
base::Result<map::MapPtr> renderCommand(const map::Map& map, std::int32_t width, std::int32_t height, bool soft,
                                        const Progress& progress = {}, const Options& options = {},
                                        std::int32_t threads = 0);
// The same from the texts of the Width and Height fields (read by base::textToInt).
base::Result<map::MapPtr> renderCommand(const map::Map& map, std::string_view widthText, std::string_view heightText,
                                        bool soft, const Progress& progress = {}, const Options& options = {});

// ---- Building blocks (exact float arithmetic; also what the tests compare against) ----

// True when segment A–B crosses segment C–D strictly inside both; near-parallel pairs
// (|denominator| < 0.0001) never cross.
bool segmentsIntersect(float ax, float ay, float bx, float by, float cx, float cy, float dx, float dy);

// Whether the segment from map point (x, y) to the light at (lightX, lightY) crosses a
// lengthened edge of a non-empty cell of `layer` (none for a layer outside the map). Indexes
// the layer on every call; the renderer keeps one index per light (lighting/occlusion.h).
bool isOccluded(const map::Map& map, std::int32_t x, std::int32_t y, std::int32_t lightX, std::int32_t lightY,
                std::int32_t layer);

}  // namespace vorlane::lighting
