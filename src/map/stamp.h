#pragma once
// Blocks of tiles that the designer's tools paint: a stamp picked from a tileset or copied
// from the map, painted at a cell, tiled over a rectangle or over a connected area.
#include <cstdint>
#include <vector>

#include "map/map.h"

namespace vorlane::map {

// A rectangle of cells on a map, corners included in any order; clipped by the users.
struct CellRect {
  std::int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  std::int32_t left() const { return x0 < x1 ? x0 : x1; }
  std::int32_t top() const { return y0 < y1 ? y0 : y1; }
  std::int32_t right() const { return x0 < x1 ? x1 : x0; }
  std::int32_t bottom() const { return y0 < y1 ? y1 : y0; }
  std::int32_t columns() const { return right() - left() + 1; }
  std::int32_t rows() const { return bottom() - top() + 1; }
  bool operator==(const CellRect&) const = default;
};

// A width × height × depth block of tiles, [(x * height + y) * depth + layer] as in a map.
// A slot without a tile leaves the cell under it as it is; `erase` stamps write empty cells
// wherever the stamp has a slot, which is how the Eraser clears.
struct Stamp {
  std::int32_t width = 0, height = 0, depth = 0;
  std::vector<TilePtr> tiles;
  bool erase = false;

  bool empty() const { return width <= 0 || height <= 0 || depth <= 0; }
  const TilePtr& at(std::int32_t x, std::int32_t y, std::int32_t layer) const {
    return tiles[(static_cast<std::size_t>(x) * static_cast<std::size_t>(height) + static_cast<std::size_t>(y)) *
                     static_cast<std::size_t>(depth) +
                 static_cast<std::size_t>(layer)];
  }
  // One tile on one layer.
  static Stamp single(TilePtr tile);
  // The Eraser's brush: clears columns × rows cells of one layer.
  static Stamp eraser(std::int32_t columns, std::int32_t rows);
  // Slots (x0..x1, y0..y1) of a one-layer tileset; slots outside it stay empty.
  static Stamp fromTileset(const Map& tileset, const CellRect& slots);
};

// The cells of `rect` (clipped to the map) on `layer`, or on every layer when `layer` is -1.
Stamp copyCells(const Map& map, const CellRect& rect, std::int32_t layer);
// Empties what copyCells would copy.
void clearCells(const Map& map, CellWriter& out, const CellRect& rect, std::int32_t layer);

// The stamp with its top-left slot at (x, y). A one-layer stamp goes to `layer`; a stamp of
// several layers to layers 0 up (the current layer is ignored: it is a copy of all layers).
void paintStamp(CellWriter& out, const Map& map, const Stamp& stamp, std::int32_t x, std::int32_t y,
                std::int32_t layer);
// The stamp repeated over `rect`, its top-left slot at the rectangle's top-left cell.
void tileStamp(CellWriter& out, const Map& map, const Stamp& stamp, const CellRect& rect, std::int32_t layer);
// Calls `visit` for each cell (x, y) that painting the stamp at (x, y) would change or clear
// (its slots that hold a tile, or every slot of an erasing stamp), within the map.
template <typename Visit>
void stampCells(const Map& map, const Stamp& stamp, std::int32_t x, std::int32_t y, Visit visit);

// The Bucket: fills the 4-connected cells of `layer` around (x, y) holding the same tile as
// that cell (or all empty, when it is) with the stamp, repeated from (x, y) as its top-left
// slot. One layer of the stamp is used. Returns how many cells the area holds.
std::int64_t bucketFill(const Map& map, CellWriter& out, std::int32_t x, std::int32_t y, std::int32_t layer,
                        const Stamp& stamp);

// The zoom keys' ladder: the next step above or below `zoom` (staying at the ends).
float zoomStepIn(float zoom);
float zoomStepOut(float zoom);
// The zoom that shows a map of mapWidth × mapHeight pixels whole on a canvas of this size
// (between the ladder's ends).
float zoomToFit(std::int64_t mapWidth, std::int64_t mapHeight, std::int32_t canvasWidth, std::int32_t canvasHeight);

template <typename Visit>
void stampCells(const Map& map, const Stamp& stamp, std::int32_t x, std::int32_t y, Visit visit) {
  for (std::int32_t sx = 0; sx < stamp.width; ++sx)
    for (std::int32_t sy = 0; sy < stamp.height; ++sy) {
      const std::int64_t cx = static_cast<std::int64_t>(x) + sx, cy = static_cast<std::int64_t>(y) + sy;
      if (cx < 0 || cy < 0 || cx >= map.width || cy >= map.height) continue;
      bool any = stamp.erase;
      for (std::int32_t l = 0; l < stamp.depth && !any; ++l) any = stamp.at(sx, sy, l) != nullptr;
      if (any) visit(static_cast<std::int32_t>(cx), static_cast<std::int32_t>(cy));
    }
}

}  // namespace vorlane::map
