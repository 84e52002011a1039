#pragma once
// The shapes the editing tools are made of: stepped lines, rectangle outlines and blocks of
// one tile or stamp on one layer, and the layer steps.
#include <cstdint>
#include <functional>
#include <string_view>

#include "map/map.h"
#include "map/view.h"

namespace vorlane::map {

struct Stamp;

// Visits the cells of the stepped line from (x1, y1) to (x2, y2) in 32-bit float steps.
void steppedLine(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                 const std::function<void(std::int32_t, std::int32_t)>& visit);
// Writes the tile (none erases) into every cell of the line on one layer.
void paintLine(CellWriter& out, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t layer,
               const TilePtr& tile);
// Marks every cell of the line that lies in the map for a red outline.
void markLine(const Map& map, Marks& marks, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);

// Line, Rect and Block: a stepped line, the four lines of a rectangle's outline, and one
// line per row of the rectangle.
enum class Shape { line, rect, block };
// Visits every cell of the shape from (x0, y0) to (x1, y1), line by line (cells where lines meet twice).
void shapeCells(Shape shape, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                const std::function<void(std::int32_t, std::int32_t)>& visit);
// Writes the shape on one layer: the tile into each cell; with a stamp, a line paints it at
// each cell, Rect and Block tile it from the rectangle's top-left cell.
void paintShape(CellWriter& out, const Map& map, Shape shape, std::int32_t x0, std::int32_t y0, std::int32_t x1,
                std::int32_t y1, std::int32_t layer, const TilePtr& tile, const Stamp* stamp);

// The layer steps: the layer field's text as a layer, and the two buttons. Each raises to 0
// and lowers to depth - 1 in that order, so a map without layers gives -1.
std::int32_t layerFromText(std::string_view text, std::int32_t depth);
std::int32_t layerDown(std::int32_t layer);
std::int32_t layerUp(std::int32_t layer, std::int32_t depth);

}  // namespace vorlane::map
