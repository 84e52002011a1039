#pragma once
// The renderer's passes, shared by render.cpp and the benchmarks; internal to lighting/.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stop_token>
#include <vector>

#include "base/convert.h"
#include "map/map.h"
#include "tiles/tile.h"

namespace vorlane::lighting {
class OccluderGrid;
}

namespace vorlane::lighting::detail {

// The light-map resolution and the factors between map pixels and texels.
struct Frame {
  std::int32_t width = 0, height = 0;  // texels
  float wf = 0, hf = 0;                // map pixels per texel
  float kx = 0, ky = 0;                // texels per map pixel

  static Frame of(const map::Map& map, std::int32_t width, std::int32_t height);
};

// A tile's image size as the lighting sees it: no image, or a negative side, is 0.
inline std::int32_t imageWidth(const tiles::Tile& t) { return t.image ? std::max(t.image->width, 0) : 0; }
inline std::int32_t imageHeight(const tiles::Tile& t) { return t.image ? std::max(t.image->height, 0) : 0; }

inline std::int32_t clampIndex(std::int32_t v, std::int32_t n) { return v < 0 ? 0 : (v >= n ? n - 1 : v); }

// The map point of an image pixel along one side of its cell, and the texel it reads.
inline float mapPoint(std::int32_t cell, std::int32_t tileSize, std::int32_t imageSize, std::int32_t pixel) {
  const float step = static_cast<float>(tileSize) / static_cast<float>(imageSize);
  return static_cast<float>(std::int64_t{cell} * tileSize) + static_cast<float>(pixel) * step;
}
inline std::int32_t texelOf(float point, float texelsPerPixel, std::int32_t texels) {
  return clampIndex(base::floatToInt(point * texelsPerPixel), texels);
}

// Where the lighting of one cell samples: the map point of each image column and row and
// the texel it reads (clamped into the light map); with points (pointsAcross, pointsDown
// above 0), of the columns and rows those points sample only (sampledPixel).
struct CellSampling {
  std::vector<float> px, py;
  std::vector<std::int32_t> tx, ty;

  void compute(const map::Map& map, const Frame& frame, std::int32_t column, std::int32_t row, std::int32_t imageWidth,
               std::int32_t imageHeight, std::int32_t pointsAcross = 0, std::int32_t pointsDown = 0);
};

// Which pixels a bake lights: the cells [column0, column1) × [row0, row1) of every layer, all
// of each image's pixels when cellWidth is 0, else cellWidth × cellHeight points a cell (the
// centres of equal shares of the image, as sampledPixel picks them).
struct Sampled {
  std::int32_t column0 = 0, row0 = 0, column1 = 0, row1 = 0;
  std::int32_t cellWidth = 0, cellHeight = 0;
  bool operator==(const Sampled&) const = default;
  static Sampled all(const map::Map& m) { return {0, 0, std::max(m.width, 0), std::max(m.height, 0)}; }
  // Whether every texel the points of `b` read is read by these points too.
  bool covers(const Sampled& b) const {
    return cellWidth == b.cellWidth && cellHeight == b.cellHeight &&
           (b.column0 >= b.column1 || b.row0 >= b.row1 ||
            (b.column0 >= column0 && b.column1 <= column1 && b.row0 >= row0 && b.row1 <= row1));
  }
};

// Per texel, the lowest layer whose lit pixels read it (254 standing for 254 and above), 255
// where none does.
std::vector<std::uint8_t> lowestReadingLayer(const map::Map& map, const Frame& frame, const Sampled& sampled);

// What the shadow pass builds from the cells and the sampling alone, kept by a result so that
// the next bake of the same cells starts from it.
struct ShadowCache {
  std::map<std::int32_t, std::shared_ptr<const OccluderGrid>> grids;  // per light layer
  // The texels whose test matters, for these sampling and light-map settings.
  Sampled sampled;
  std::int32_t width = 0, height = 0;
  bool soft = false;
  float blurRadius = 0;
  std::vector<std::uint8_t> need;
};
// Whether a light on `lightLayer` has its shadow map read at a texel of that lowest layer;
// monotone in `lowest`, so a minimum over a box answers for the whole box.
inline bool texelRead(std::uint8_t lowest, std::int32_t lightLayer) {
  return lowest < (lightLayer > 255 ? 255 : lightLayer);
}

// What blocks light in a shadow pass: `castShadows` (per cell, as Snapshot keeps it) when
// only flagged tiles block and only flagged lights cast shadows, else null.
struct Blockers {
  const std::vector<std::uint8_t>* castShadows = nullptr;
  bool casts(const map::Light& light) const { return !castShadows || light.castShadows != 0; }
};

// Every light's shadow map, in list order, with progress k / n before light k: hard factors,
// softened with a box of radius blurRadius when soft. Entries that no lit pixel reads are
// not tested (they hold 255 before softening). A light with an entry in `known` (a map of the
// bake `reuse` describes, from the same cells, flags and settings) takes that map as its own,
// a hard one with the texels tested that these points read and its points did not. Returns
// empty maps once `stop` is requested. `cache`, when given, receives what was built or reused.
std::vector<std::vector<std::uint8_t>> shadowMaps(const map::Map& map, const Frame& frame, bool soft,
                                                  float blurRadius, Blockers blockers,
                                                  const std::vector<const std::vector<std::uint8_t>*>& known,
                                                  const std::function<void(float)>& progress, std::stop_token stop,
                                                  const Sampled& sampled, const ShadowCache* reuse = nullptr,
                                                  ShadowCache* cache = nullptr);

// Box softening of a W × H factor grid (x-major), as its own pass for tests.
std::vector<std::uint8_t> soften(const std::vector<std::uint8_t>& hard, std::int32_t width, std::int32_t height,
                                 float blurRadius);

// A light as the lighting takes it: the light (read, not copied: its fields stay described in
// one place) and its W × H shadow map, or null for none.
struct LightParams {
  const map::Light* light;
  const std::uint8_t* shadow;
};
// `shadowMaps` holds one map per light, in list order (a map of another size counts as none).
std::vector<LightParams> lightParams(const map::Map& map, const Frame& frame,
                                     const std::vector<const std::vector<std::uint8_t>*>& shadowMaps);

// How a pixel's light sums become its channels.
struct Tone {
  float intensity;
  std::int32_t ambient[3];
};

// What one lit cell of an image of w × h holds: its image, its colour grid and the objects.
std::uint64_t litCellBytes(std::int32_t w, std::int32_t h);
// Band boundaries over the map's cells (0, …, cell count) for a streamed bake, which writes a
// band while it lights the next: each band ends with the cell that brings its lit cells to half
// of bandBytes, so the two bands in memory are small while every thread still has cells to light.
std::vector<std::size_t> litBands(const map::Map& map, std::uint64_t bandBytes);

// Lights the points of the cells of one column, rows [row0, row1), into a picture of
// rowPixels pixels a row (RGBA) whose cell (column, row0) starts at pixel `at`: at each point
// the topmost layer whose pixel there the canvas's mask lets through (alpha of one half or
// more), with the value lightCell gives that pixel; points where no layer's pixel passes are
// left as they are.
void lightPoints(const map::Map& map, const Frame& frame, const std::vector<LightParams>& lights, const Tone& tone,
                 std::int32_t column, std::int32_t row0, std::int32_t row1, std::int32_t cellWidth,
                 std::int32_t cellHeight, std::uint8_t* picture, std::size_t rowPixels, std::size_t at);

// Lights one cell into `target` (image, colour grid of it unless left out, the given
// flat-normal grid).
void lightCell(const map::Map& map, const Frame& frame, const std::vector<LightParams>& lights, const Tone& tone,
               const tiles::Tile& source, tiles::Tile& target, std::int32_t column, std::int32_t row,
               std::int32_t layer, tiles::ChannelGridPtr flatNormals, bool withColourGrid = true);

}  // namespace vorlane::lighting::detail
