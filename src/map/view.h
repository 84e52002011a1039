#pragma once
// Showing a map in a canvas and turning canvas points back into cells, lights and pivots.
// Every function works on the surface the caller made current and uses its width W and
// height H; the view transform scales about the canvas centre.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "map/map.h"
#include "platform/surface.h"

namespace vorlane::map {

// A picture of a block of cells (transparent where no tile shows), its images stretched over
// the block in turn in place of those cells' tiles: a preview lit at less than one point per
// map pixel.
struct CellPicture {
  std::int32_t column0 = 0, row0 = 0, column1 = 0, row1 = 0;
  std::int32_t density = 1;  // map pixels a picture pixel stands for, along each side
  std::vector<std::shared_ptr<platform::Image>> layers;
};

// Tiles of every layer (visible columns and rows only), red outlines of highlighted cells
// (clearing their flags), light markers with range circles, pivot markers.
// With `tiles`, a map of the same sizes (a lit preview of this one), its cells are drawn in
// place of the map's; the marks and markers stay the map's. A `picture` is drawn over its
// cells after them, on black. Layers whose `hidden` entry is not 0 are left out (the view's
// choice; the map knows nothing of it).
void draw(const Map& map, platform::Surface& surface, const Map* tiles = nullptr, const CellPicture* picture = nullptr,
          std::span<const std::uint8_t> hidden = {});
struct Stamp;
// The brush preview: what painting the stamp at cell (x, y) would write, drawn half
// transparent; an erasing stamp darkens the cells it would clear. Leaves alpha blending.
void drawBrush(const Map& map, platform::Surface& surface, const Stamp& stamp, std::int32_t x, std::int32_t y);
// The cell grid over the whole map, leaving out lines closer than kMinGridSpacing (they
// would merge into a sheet); leaves mask blending, alpha 1 and white.
void drawGrid(const Map& map, platform::Surface& surface);

// Columns [column0, column1) and rows [row0, row1).
struct CellBox {
  std::int32_t column0 = 0, row0 = 0, column1 = 0, row1 = 0;
};
// The cells draw shows tiles of (every cell of the map for a degenerate view).
CellBox shownCells(const Map& map, const platform::Surface& surface);

struct CellPoint {
  std::int32_t x, y;
};
// The cell strictly inside which (px, py) lies, or none.
std::optional<CellPoint> cellAt(const Map& map, const platform::Surface& surface, int px, int py);
// Sets selectedX/selectedY to cellAt's cell; else no change.
void pickCell(const Map& map, const platform::Surface& surface, int px, int py);
// The first light (pivot) whose pick box holds the point strictly, or none.
LightPtr pickLight(const Map& map, const platform::Surface& surface, float px, float py);
PivotPtr pickPivot(const Map& map, const platform::Surface& surface, float px, float py);

// Moves the view by canvas pixels, unclamped.
void scroll(const Map& map, float dx, float dy);
// Moves the view and keeps it inside the map (the upper limit wins on a small map).
void scrollClamped(const Map& map, const platform::Surface& surface, float dx, float dy);

struct MapPoint {
  float x, y;
};
// The map pixel under a canvas point (the inverse used to place lights and pivots).
MapPoint canvasToMap(const Map& map, const platform::Surface& surface, int cx, int cy);

// Grid lines are drawn only this many canvas pixels apart or more (twice their width).
inline constexpr float kMinGridSpacing = 8;

// Cells smaller than this many canvas pixels along both sides are drawn as one picture of the
// view rather than tile by tile.
inline constexpr float kPictureCellSpan = 4;

// The lowest zoom the wheel may reach, so the view never inverts.
inline constexpr float kMinZoom = 0.05f;

}  // namespace vorlane::map
