#pragma once
// Showing a map in a canvas and turning canvas points back into cells, lights and pivots.
// Every function works on the surface the caller made current and uses its width W and
// height H; the view transform scales about the canvas centre.
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <utility>
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

struct CellPoint {
  std::int32_t x, y;
  bool operator==(const CellPoint&) const = default;
};

// Cells (x, y) to outline in red, ordered column by column as the tile pass walks. Kept as a
// set: a frame marks a handful of cells, and a grid of flags would cost width × height bytes
// even for a map of no layers.
using Marks = std::set<std::pair<std::int32_t, std::int32_t>>;
// Adds a cell of `map` to the marks; cells outside the map are ignored.
void markCell(Marks& marks, const Map& map, std::int32_t x, std::int32_t y);

struct FarPictures;
// The picture a view draws at far zooms, kept so the canvas replaces its upload rather than
// adding one a frame. A cache of what was drawn, never of what is shown: a copy starts empty.
class PictureCache {
 public:
  PictureCache() = default;
  PictureCache(const PictureCache&) {}
  PictureCache& operator=(const PictureCache&) { return *this; }
  PictureCache(PictureCache&&) noexcept = default;
  PictureCache& operator=(PictureCache&&) noexcept = default;
  FarPictures& get() const;

 private:
  mutable std::shared_ptr<FarPictures> pictures_;
};

// How one canvas looks at a map: where it is scrolled to and how far it is zoomed, the cell
// under the pointer, the cells marked in red, and the objects shown as selected. A map holds
// none of this, so drawing it changes nothing in it.
struct ViewState {
  float scrollX = 0;
  float scrollY = 0;
  float zoom = 1.0f;
  // Outlined in red like a mark, every frame it is set.
  std::optional<CellPoint> hover;
  // The cell last picked on this canvas: on the Tiles window, the slot of the current tile.
  CellPoint picked{0, 0};
  Marks marks;
  // Compared by address only, while the objects are in the map being drawn.
  const Light* selectedLight = nullptr;
  const Pivot* selectedPivot = nullptr;
  PictureCache far;

  void markCell(const Map& map, std::int32_t x, std::int32_t y) { map::markCell(marks, map, x, y); }
  bool isMarked(std::int32_t x, std::int32_t y) const { return marks.contains({x, y}); }
  // The same frame would be drawn from both (the picture cache aside).
  bool showsAsIn(const ViewState& o) const {
    return scrollX == o.scrollX && scrollY == o.scrollY && zoom == o.zoom && hover == o.hover && marks == o.marks &&
           selectedLight == o.selectedLight && selectedPivot == o.selectedPivot;
  }
};

// Tiles of every layer (visible columns and rows only), red outlines of the hover cell and
// the marks, light markers with range circles, pivot markers, selection squares on the view's
// selected objects. Writes nothing but the surface (and the view's picture cache).
// With `tiles`, a map of the same sizes (a lit preview of this one), its cells are drawn in
// place of the map's; the marks and markers stay the map's. A `picture` is drawn over its
// cells after them, on black. Layers whose `hidden` entry is not 0 are left out (the view's
// choice; the map knows nothing of it).
void draw(const Map& map, const ViewState& view, platform::Surface& surface, const Map* tiles = nullptr,
          const CellPicture* picture = nullptr, std::span<const std::uint8_t> hidden = {});
// The marks that draw would outline now are dropped: marks show on one frame, and those out
// of sight wait for a frame that shows them.
void dropShownMarks(const Map& map, ViewState& view, const platform::Surface& surface);
struct Stamp;
// The brush preview: what painting the stamp at cell (x, y) would write, drawn half
// transparent; an erasing stamp darkens the cells it would clear. Leaves alpha blending.
void drawBrush(const Map& map, const ViewState& view, platform::Surface& surface, const Stamp& stamp, std::int32_t x,
               std::int32_t y);
// The cell grid over the whole map, leaving out lines closer than kMinGridSpacing (they
// would merge into a sheet); leaves mask blending, alpha 1 and white.
void drawGrid(const Map& map, const ViewState& view, platform::Surface& surface);

// Columns [column0, column1) and rows [row0, row1).
struct CellBox {
  std::int32_t column0 = 0, row0 = 0, column1 = 0, row1 = 0;
};
// The cells draw shows tiles of (every cell of the map for a degenerate view).
CellBox shownCells(const Map& map, const ViewState& view, const platform::Surface& surface);

// The cell strictly inside which (px, py) lies, or none.
std::optional<CellPoint> cellAt(const Map& map, const ViewState& view, const platform::Surface& surface, int px,
                                int py);
// Sets the view's picked cell to cellAt's cell; else no change.
void pickCell(const Map& map, ViewState& view, const platform::Surface& surface, int px, int py);
// The first light (pivot) whose pick box holds the point strictly, or none.
LightPtr pickLight(const Map& map, const ViewState& view, const platform::Surface& surface, float px, float py);
PivotPtr pickPivot(const Map& map, const ViewState& view, const platform::Surface& surface, float px, float py);

// Moves the view by canvas pixels, unclamped.
void scroll(ViewState& view, float dx, float dy);
// Moves the view and keeps it inside the map (the upper limit wins on a small map).
void scrollClamped(const Map& map, ViewState& view, const platform::Surface& surface, float dx, float dy);

struct MapPoint {
  float x, y;
};
// The map pixel under a canvas point (the inverse used to place lights and pivots).
MapPoint canvasToMap(const ViewState& view, const platform::Surface& surface, int cx, int cy);

// Grid lines are drawn only this many canvas pixels apart or more (twice their width).
inline constexpr float kMinGridSpacing = 8;

// Cells smaller than this many canvas pixels along both sides are drawn as one picture of the
// view rather than tile by tile.
inline constexpr float kPictureCellSpan = 4;

// The lowest zoom the wheel may reach, so the view never inverts.
inline constexpr float kMinZoom = 0.05f;

}  // namespace vorlane::map
