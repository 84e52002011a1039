#pragma once
// The editing tools: stepped lines, rectangles, blocks and fills of one tile on one layer,
// and the stroke that a left drag on the map canvas makes of them.
#include <cstdint>
#include <functional>

#include "map/map.h"

namespace vorlane::map {

struct Stamp;

// The Eraser strokes as Plot does with empty cells; the Bucket fills the connected area it is pressed on.
enum Tool : std::int32_t { kNoTool = 0, kPlot = 1, kLine = 2, kRect = 3, kBlock = 4, kFill = 5, kEraser = 6, kBucket = 7 };
// "Plot", "Line", "Rect", "Block", "Fill", "Eraser", "Bucket"; "" for no tool.
std::string_view toolName(std::int32_t tool);

// Visits the cells of the stepped line from (x1, y1) to (x2, y2) in 32-bit float steps.
void steppedLine(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                 const std::function<void(std::int32_t, std::int32_t)>& visit);
// Writes the tile (none erases) into every cell of the line on one layer.
void paintLine(CellWriter& out, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t layer,
               const TilePtr& tile);
// Marks every cell of the line for a red outline.
void markLine(const Map& map, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);

// A stroke in progress: from a left press on an empty spot of the map to the next release.
struct Stroke {
  bool painting = false;
  std::int32_t startX = 0, startY = 0;
};

// The stroke steps read the map's selection and marks and write cells through `out`. With a
// `stamp`, Plot, Line and the Eraser paint it (the Eraser its size) anchored at its top-left
// slot, Rect and Block tile it from the rectangle's top-left cell, the Bucket repeats it; Fill
// keeps the tile.
// Starts a stroke at the map's selected cell; Fill fills the layer at once, the Bucket its area.
void beginStroke(Stroke& stroke, const Map& map, CellWriter& out, std::int32_t tool, std::int32_t layer,
                 const TilePtr& tile, const Stamp* stamp = nullptr);
// After every event while painting: Plot writes the selected cell, the Eraser empties it, Line/Rect/Block mark
// their preview from the start to the selected cell.
void updateStroke(const Stroke& stroke, const Map& map, CellWriter& out, std::int32_t tool, std::int32_t layer,
                  const TilePtr& tile, const Stamp* stamp = nullptr);
// Ends the stroke; Line/Rect/Block write their cells only when the release came from the map canvas.
void endStroke(Stroke& stroke, const Map& map, CellWriter& out, std::int32_t tool, std::int32_t layer,
               const TilePtr& tile, bool releasedOnMapCanvas, const Stamp* stamp = nullptr);

// The layer steps: the layer field's text as a layer, and the two buttons. Each raises to 0
// and lowers to depth - 1 in that order, so a map without layers gives -1.
std::int32_t layerFromText(std::string_view text, std::int32_t depth);
std::int32_t layerDown(std::int32_t layer);
std::int32_t layerUp(std::int32_t layer, std::int32_t depth);

}  // namespace vorlane::map
