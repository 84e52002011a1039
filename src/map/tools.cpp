#include "map/tools.h"

#include <algorithm>
#include <cmath>

#include "base/convert.h"
#include "map/stamp.h"

namespace vorlane::map {

std::string_view toolName(std::int32_t tool) {
  constexpr std::string_view names[] = {"", "Plot", "Line", "Rect", "Block", "Fill", "Eraser", "Bucket"};
  return tool >= kPlot && tool <= kBucket ? names[tool] : names[0];
}

void steppedLine(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                 const std::function<void(std::int32_t, std::int32_t)>& visit) {
  float dx = static_cast<float>(x2) - static_cast<float>(x1);
  float dy = static_cast<float>(y2) - static_cast<float>(y1);
  float n = std::fabs(dx) <= std::fabs(dy) ? std::fabs(dy) : std::fabs(dx);
  dx = dx / n;
  dy = dy / n;
  float x = static_cast<float>(x1), y = static_cast<float>(y1);
  // Beyond 2^24 a float n would stop counting down; the cap keeps such a line finite and
  // never binds below that (a whole-numbered n visits exactly n + 1 cells).
  std::int64_t left = static_cast<std::int64_t>(n) + 1;
  do {
    visit(base::floatToInt(x), base::floatToInt(y));
    x = x + dx;
    y = y + dy;
    n = n - 1;
  } while (n >= -0.5f && --left > 0);
}

void paintLine(CellWriter& out, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t layer,
               const TilePtr& tile) {
  steppedLine(x1, y1, x2, y2, [&](std::int32_t x, std::int32_t y) { out.setCell(x, y, layer, tile); });
}

void markLine(const Map& map, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
  steppedLine(x1, y1, x2, y2, [&](std::int32_t x, std::int32_t y) { map.markCell(x, y); });
}

namespace {

// Line, Rect and Block are all made of stepped lines; `line` either marks or paints them.
template <typename LineFn>
void shapeLines(std::int32_t tool, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, LineFn line) {
  switch (tool) {
    case kLine:
      line(x0, y0, x1, y1);
      break;
    case kRect:
      line(x0, y0, x1, y0);
      line(x0, y0, x0, y1);
      line(x1, y0, x1, y1);
      line(x0, y1, x1, y1);
      break;
    case kBlock:
      for (std::int64_t y = std::min(y0, y1); y <= std::max(y0, y1); ++y) line(x0, static_cast<std::int32_t>(y), x1, static_cast<std::int32_t>(y));
      break;
    default:
      break;
  }
}

std::int32_t wrap(std::int64_t v, std::int32_t n) { return static_cast<std::int32_t>(((v % n) + n) % n); }

// The stamp's slot that falls on (x, y) when the stamp repeats from (ax, ay).
void tiledCell(CellWriter& out, const Stamp& stamp, std::int32_t x, std::int32_t y, std::int32_t ax, std::int32_t ay,
               std::int32_t layer) {
  const std::int32_t sx = wrap(std::int64_t{x} - ax, stamp.width), sy = wrap(std::int64_t{y} - ay, stamp.height);
  for (std::int32_t l = 0; l < stamp.depth; ++l) {
    const TilePtr& t = stamp.at(sx, sy, l);
    if (t || stamp.erase) out.setCell(x, y, stamp.depth == 1 ? layer : l, t);
  }
}

}  // namespace

void beginStroke(Stroke& stroke, const Map& map, CellWriter& out, std::int32_t tool, std::int32_t layer,
                 const TilePtr& tile, const Stamp* stamp) {
  stroke.painting = true;
  stroke.startX = map.selectedX;
  stroke.startY = map.selectedY;
  if (tool == kFill) map.fillLayer(layer, tile, out);
  // "No Tile" in the bucket clears the area, as it clears the layer with Fill.
  if (tool == kBucket)
    bucketFill(map, out, stroke.startX, stroke.startY, layer,
               stamp ? *stamp : tile ? Stamp::single(tile) : Stamp::eraser(1, 1));
}

void updateStroke(const Stroke& stroke, const Map& map, CellWriter& out, std::int32_t tool, std::int32_t layer,
                  const TilePtr& tile, const Stamp* stamp) {
  if (!stroke.painting) return;
  if (stamp && (tool == kPlot || tool == kEraser)) {
    paintStamp(out, map, tool == kPlot ? *stamp : Stamp::eraser(stamp->width, stamp->height), map.selectedX,
               map.selectedY, layer);
    return;
  }
  if (tool == kPlot || tool == kEraser) {
    out.setCell(map.selectedX, map.selectedY, layer, tool == kPlot ? tile : nullptr);
    return;
  }
  shapeLines(tool, stroke.startX, stroke.startY, map.selectedX, map.selectedY,
             [&](std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) { markLine(map, a, b, c, d); });
}

void endStroke(Stroke& stroke, const Map& map, CellWriter& out, std::int32_t tool, std::int32_t layer,
               const TilePtr& tile, bool releasedOnMapCanvas, const Stamp* stamp) {
  if (!stroke.painting) return;
  stroke.painting = false;
  if (!releasedOnMapCanvas) return;
  if (stamp) {
    const std::int32_t ax = std::min(stroke.startX, map.selectedX), ay = std::min(stroke.startY, map.selectedY);
    shapeLines(tool, stroke.startX, stroke.startY, map.selectedX, map.selectedY,
               [&](std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
                 steppedLine(a, b, c, d, [&](std::int32_t x, std::int32_t y) {
                   if (tool == kLine)
                     paintStamp(out, map, *stamp, x, y, layer);
                   else
                     tiledCell(out, *stamp, x, y, ax, ay, layer);
                 });
               });
    return;
  }
  shapeLines(tool, stroke.startX, stroke.startY, map.selectedX, map.selectedY,
             [&](std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) { paintLine(out, a, b, c, d, layer, tile); });
}

// Raised to 0 first, then lowered to the last layer: a map without layers gives -1, which
// no cell writer accepts.
std::int32_t layerFromText(std::string_view text, std::int32_t depth) {
  std::int64_t layer = static_cast<std::int64_t>(base::textToInt(text)) - 1;
  layer = std::max<std::int64_t>(layer, 0);
  return static_cast<std::int32_t>(std::min<std::int64_t>(layer, static_cast<std::int64_t>(depth) - 1));
}

std::int32_t layerDown(std::int32_t layer) { return std::max(layer, 1) - 1; }

std::int32_t layerUp(std::int32_t layer, std::int32_t depth) {
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(static_cast<std::int64_t>(layer) + 1, static_cast<std::int64_t>(depth) - 1));
}

}  // namespace vorlane::map
