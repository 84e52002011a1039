#pragma once
// The map document: a grid of cells (columns × rows × layers) holding shared tiles, with
// its lights and pivots. How a canvas looks at it is the canvas's own (map/view.h). The same
// type serves as a tileset (8 × 128 × 1 cells of 64 × 64 pixels).
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "map/cell_store.h"
#include "map/objects.h"
#include "tiles/tile.h"

namespace vorlane::map {

using tiles::TilePtr;

// What a map whose grid could not be held makes the editor say.
inline constexpr const char* kMapTooLarge = "The map is too large to create.";

class Map;
using MapPtr = std::shared_ptr<Map>;

// Every cell write of the editing tools goes through one of these, so that an editor can
// record what a stroke changed; a Map writes straight into its own grid.
class CellWriter {
 public:
  virtual ~CellWriter() = default;
  virtual void setCell(std::int32_t x, std::int32_t y, std::int32_t layer, TilePtr tile) = 0;
};

class Map : public CellWriter {
 public:
  // Cell (x, y, layer) at (x * height + y) * depth + layer. Every cell write goes through
  // setCell. Copies share blocks of cells until one side writes.
  CellStore cells;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t depth = 0;
  std::int32_t tileWidth = 0;
  std::int32_t tileHeight = 0;
  std::vector<TilePtr> tileTable;  // tiles of the last loaded map section, in file order
  std::int32_t tileCount = 0;
  std::vector<LightPtr> lights;
  std::vector<PivotPtr> pivots;
  // Changes with every cell write, to a value no map has had before: a canvas showing this map
  // knows from it whether the cells changed since its last frame.
  std::uint64_t revision = nextRevision();

  static std::uint64_t nextRevision();

  // A new map with these sizes and every other field at its start value. Negative sizes
  // count as 0; throws std::length_error when the grid could not be held in memory.
  static MapPtr create(std::int32_t width, std::int32_t height, std::int32_t depth, std::int32_t tileWidth,
                       std::int32_t tileHeight);
  // The tileset shape: 8 × 128 cells of 64 × 64 pixels, one layer.
  static MapPtr createTileset() { return create(8, 128, 1, 64, 64); }

  // Replaces sizes and cells together (create and load).
  void resize(std::int32_t width, std::int32_t height, std::int32_t depth);

  bool contains(std::int32_t x, std::int32_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  bool contains(std::int32_t x, std::int32_t y, std::int32_t layer) const {
    return contains(x, y) && layer >= 0 && layer < depth;
  }
  std::size_t cellIndex(std::int32_t x, std::int32_t y, std::int32_t layer) const {
    return (static_cast<std::size_t>(x) * static_cast<std::size_t>(height) + static_cast<std::size_t>(y)) *
               static_cast<std::size_t>(depth) +
           static_cast<std::size_t>(layer);
  }
  // The tile in a cell, or none (also for any cell outside the grid).
  const TilePtr& cell(std::int32_t x, std::int32_t y, std::int32_t layer) const;

  void addLight(LightPtr light) { lights.push_back(std::move(light)); }
  void addPivot(PivotPtr pivot) { pivots.push_back(std::move(pivot)); }

  // Cell writers ignore any coordinate or layer outside the grid.
  void setCell(std::int32_t x, std::int32_t y, std::int32_t layer, TilePtr tile) override;
  void fillLayer(std::int32_t layer, const TilePtr& tile) { fillLayer(layer, tile, *this); }
  // The same walk, writing through `out` (which must write into this map's grid shape).
  void fillLayer(std::int32_t layer, const TilePtr& tile, CellWriter& out) const;
  // First empty cell of layer 0, row by row; a full map drops the tile. Returns whether it was stored.
  bool addToFirstFreeCell(TilePtr tile) { return addToFirstFreeCell(std::move(tile), *this); }
  bool addToFirstFreeCell(TilePtr tile, CellWriter& out) const;
};

}  // namespace vorlane::map
