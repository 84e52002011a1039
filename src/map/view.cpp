#include "map/view.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <tuple>
#include <unordered_map>
#include <numbers>
#include <vector>

#include "base/convert.h"
#include "map/sampling.h"
#include "map/stamp.h"

namespace vorlane::map {

using platform::LineSegment;
using platform::Surface;

namespace {

// The transform of one axis, in float32 and in the written order of operations.
struct Axis {
  float centre;  // W / 2 or H / 2, half-pixels kept
  float scroll;
  float zoom;
  std::int32_t cellSize;

  float canvasOf(float mapPos) const { return centre + ((mapPos - scroll) - centre) * zoom; }
  // Canvas position of the corner of cell i.
  float cellCorner(std::int32_t i) const {
    return canvasOf(static_cast<float>(static_cast<std::int64_t>(i) * cellSize));
  }
  float cellSpan() const { return static_cast<float>(cellSize) * zoom; }
  // With a positive, finite zoom, cellCorner never decreases as i grows (a cell size of 0
  // or more) or never increases (a negative one, which a file may hold), so every strict
  // range test selects a contiguous run of cells that a binary search finds exactly.
  // Anything else takes the plain walk.
  bool monotone() const { return zoom > 0 && std::isfinite(zoom); }
  bool rising() const { return cellSize >= 0; }
};

Axis xAxis(const Map& map, const ViewState& view, const Surface& s) {
  return {static_cast<float>(s.width()) / 2.0f, view.scrollX, view.zoom, map.tileWidth};
}
Axis yAxis(const Map& map, const ViewState& view, const Surface& s) {
  return {static_cast<float>(s.height()) / 2.0f, view.scrollY, view.zoom, map.tileHeight};
}

// First i in [0, count) for which pred holds, pred being false then true along i.
template <typename Pred>
std::int32_t firstTrue(std::int32_t count, Pred pred) {
  std::int32_t lo = 0, hi = count;
  while (lo < hi) {
    std::int32_t mid = lo + (hi - lo) / 2;
    if (pred(mid))
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

// The cells i with lo < cellCorner(i) < hi, as a half-open range [first, last) when they
// run contiguously, or as a flag list from the walk when the transform is degenerate.
struct CellRange {
  std::int32_t first = 0, last = 0;
  std::vector<std::uint8_t> walked;  // non-empty only for a degenerate transform
  bool contains(std::int32_t i) const { return walked.empty() ? true : walked[static_cast<std::size_t>(i)] != 0; }
  bool shows(std::int32_t i) const { return i >= first && i < last && contains(i); }
};

CellRange cellsBetween(const Axis& a, std::int32_t count, float lo, float hi) {
  CellRange r;
  if (count <= 0) return r;
  if (a.monotone()) {
    if (a.rising()) {
      r.first = firstTrue(count, [&](std::int32_t i) { return a.cellCorner(i) > lo; });
      r.last = firstTrue(count, [&](std::int32_t i) { return !(a.cellCorner(i) < hi); });
    } else {
      r.first = firstTrue(count, [&](std::int32_t i) { return a.cellCorner(i) < hi; });
      r.last = firstTrue(count, [&](std::int32_t i) { return !(a.cellCorner(i) > lo); });
    }
    if (r.last < r.first) r.last = r.first;
    return r;
  }
  r.walked.assign(static_cast<std::size_t>(count), 0);
  r.first = 0;
  r.last = count;
  for (std::int32_t i = 0; i < count; ++i) {
    float c = a.cellCorner(i);
    r.walked[static_cast<std::size_t>(i)] = c > lo && c < hi;
  }
  return r;
}

// The draw pass's visibility test: X > 0 - span and X < W + span.
CellRange visibleCells(const Axis& a, std::int32_t count, int canvasSize) {
  float span = a.cellSpan();
  return cellsBetween(a, count, 0 - span, static_cast<float>(canvasSize) + span);
}

void outlineCell(Surface& s, float X, float Y, float w, float h) {
  s.drawLine(X, Y, X + w, Y);
  s.drawLine(X, Y, X, Y + h);
  s.drawLine(X, Y + h, X + w, Y + h);
  s.drawLine(X + w, Y, X + w, Y + h);
}

void selectionSquare(Surface& s, float sx, float sy, float zoom) {
  using base::floatToInt;
  s.setLineWidth(1);
  float x1 = static_cast<float>(floatToInt(sx - 16 * zoom));
  float y1 = static_cast<float>(floatToInt(sy - 16 * zoom));
  float x2 = static_cast<float>(floatToInt(sx + 16 * zoom));
  float y2 = static_cast<float>(floatToInt(sy + 16 * zoom));
  s.drawLine(x1, y1, x2, y1);
  s.drawLine(x2, y1, x2, y2);
  s.drawLine(x1, y2, x2, y2);
  s.drawLine(x1, y1, x1, y2);
  s.setLineWidth(4);
}

// 36 segments and a closing zero-length one, batched: same segments, same state.
void rangeCircle(Surface& s, std::int32_t px, std::int32_t py, std::int32_t r) {
  std::vector<LineSegment> segs;
  segs.reserve(37);
  float lastX = 0, lastY = 0;
  for (int a = 0; a <= 360; a += 10) {
    double rad = a * std::numbers::pi / 180.0;
    float x = static_cast<float>(base::floatToInt(std::cos(rad) * r + px));
    float y = static_cast<float>(base::floatToInt(std::sin(rad) * r + py));
    if (a == 0) lastX = x, lastY = y;
    segs.push_back({lastX, lastY, x, y});
    lastX = x, lastY = y;
  }
  s.drawLines(segs);
}

// Marker centre in canvas pixels from a map position (the draw transform, float centre).
void markerCentre(const Axis& ax, const Axis& ay, float x, float y, float& sx, float& sy) {
  sx = ax.canvasOf(x);
  sy = ay.canvasOf(y);
}

}  // namespace

// ---- Far zooms ----
// When cells shrink to a few canvas pixels, drawing each tile would cost a quad per cell and
// layer for a dot or two. Instead the canvas gets one picture of the whole view, made here:
// each pixel samples the tile of its cell at the pixel's centre as the canvas samples a tile
// stretched over its cell (see TileSampler), the layers flattened as the mask draws them (the
// topmost sample with alpha of one half or more wins). A cell covers the pixel centres from
// its corner up to its corner plus its span, as the canvas's quad does; where cells overlap,
// the later one wins, as it is drawn later.

struct FarPictures {
  platform::Image picture;  // one picture, so the canvas replaces its upload
};

FarPictures& PictureCache::get() const {
  if (!pictures_) pictures_ = std::make_shared<FarPictures>();
  return *pictures_;
}

void markCell(Marks& marks, const Map& map, std::int32_t x, std::int32_t y) {
  if (map.contains(x, y)) marks.emplace(x, y);
}

namespace {

const platform::Image* drawnImage(const TilePtr& tile) {
  const platform::Image* image = tile ? tile->image.get() : nullptr;
  if (!image || image->width <= 0 || image->height <= 0 ||
      image->pixels.size() < static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height) * 4)
    return nullptr;
  return image;
}

bool layerShown(std::span<const std::uint8_t> hidden, std::int32_t layer) {
  return static_cast<std::size_t>(layer) >= hidden.size() || hidden[static_cast<std::size_t>(layer)] == 0;
}

// Whether the view is far enough out (and ordinary enough) for a picture.
bool drawsPictures(const Map& map, const Axis& ax, const Axis& ay) {
  return ax.monotone() && map.tileWidth > 0 && map.tileHeight > 0 && ax.cellSpan() < kPictureCellSpan &&
         ay.cellSpan() < kPictureCellSpan;
}

// Along one axis, the cell whose span holds each pixel centre (-1 for none) and where across
// the cell the centre lies.
struct Across {
  std::vector<std::int32_t> cell;
  std::vector<float> at;
};

Across across(const Axis& a, std::int32_t count, int pixels) {
  Across r;
  r.cell.assign(static_cast<std::size_t>(std::max(pixels, 0)), -1);
  r.at.assign(r.cell.size(), 0.0f);
  const float span = a.cellSpan();
  for (int p = 0; p < pixels; ++p) {
    const float centre = static_cast<float>(p) + 0.5f;
    // The last cell whose corner lies at or before the centre.
    const std::int32_t i = firstTrue(count, [&](std::int32_t k) { return a.cellCorner(k) > centre; }) - 1;
    if (i < 0) continue;
    const float corner = a.cellCorner(i);
    if (!(centre < corner + span)) continue;
    r.cell[static_cast<std::size_t>(p)] = i;
    r.at[static_cast<std::size_t>(p)] = (centre - corner) / span;
  }
  return r;
}

void drawPictures(FarPictures& far, const Map& cells, Surface& surface, const Axis& ax, const Axis& ay,
                  std::span<const std::uint8_t> hidden) {
  const int w = surface.width(), h = surface.height();
  if (w <= 0 || h <= 0) return;
  const Across columns = across(ax, cells.width, w), rows = across(ay, cells.height, h);
  const float spanX = ax.cellSpan(), spanY = ay.cellSpan();
  // One sampler per distinct image in sight, made before the work is shared out.
  // Cells rise with the pixels: the first and last pixels on the map give the columns in sight.
  std::int32_t firstColumn = 0, lastColumn = -1;
  for (const std::int32_t cx : columns.cell)
    if (cx >= 0) {
      if (lastColumn < 0) firstColumn = cx;
      lastColumn = cx;
    }
  const std::int32_t depth = cells.depth;
  std::vector<std::pair<std::int32_t, std::pair<int, int>>> bands;  // cell row, its pixel rows
  for (int y = 0; y < h; ++y) {
    const std::int32_t cy = rows.cell[static_cast<std::size_t>(y)];
    if (cy < 0) continue;
    if (!bands.empty() && bands.back().first == cy)
      bands.back().second.second = y + 1;
    else
      bands.push_back({cy, {y, y + 1}});
  }
  std::unordered_map<const platform::Image*, std::size_t> index;
  std::vector<TileSampler> samplers;
  for (const auto& band : bands)
    for (std::int32_t cx = firstColumn; cx <= lastColumn; ++cx)
      for (std::int32_t layer = 0; layer < depth; ++layer)
        if (const platform::Image* image = drawnImage(cells.cells[cells.cellIndex(cx, band.first, layer)]))
          if (index.try_emplace(image, samplers.size()).second)
            samplers.emplace_back(*image, TileSampler::lodFor(*image, spanX, spanY));

  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4, 0);
  const std::size_t seenColumns = lastColumn >= firstColumn ? static_cast<std::size_t>(lastColumn - firstColumn + 1) : 0;
  const auto drawBand = [&](std::size_t b) {
    const auto& [cy, pixelRows] = bands[b];
    // Per cell of the row and layer: its image's sampler, or none.
    thread_local std::vector<const TileSampler*> row;
    row.assign(seenColumns * static_cast<std::size_t>(depth), nullptr);
    for (std::size_t i = 0; i < seenColumns; ++i)
      for (std::int32_t layer = 0; layer < depth; ++layer)
        if (const platform::Image* image =
                layerShown(hidden, layer)
                    ? drawnImage(cells.cells[cells.cellIndex(firstColumn + static_cast<std::int32_t>(i), cy, layer)])
                    : nullptr)
          row[i * static_cast<std::size_t>(depth) + static_cast<std::size_t>(layer)] = &samplers[index.at(image)];
    for (int y = pixelRows.first; y < pixelRows.second; ++y) {
      const float v = rows.at[static_cast<std::size_t>(y)];
      std::uint8_t* out = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w) * 4;
      for (int x = 0; x < w; ++x, out += 4) {
        const std::int32_t cx = columns.cell[static_cast<std::size_t>(x)];
        if (cx < 0) continue;
        const TileSampler* const* cell = row.data() + static_cast<std::size_t>(cx - firstColumn) * static_cast<std::size_t>(depth);
        // From the top layer down: the first sample the mask lets through is the one shown.
        for (std::int32_t layer = depth - 1; layer >= 0; --layer) {
          if (!cell[layer]) continue;
          float c[4];
          cell[layer]->sample(columns.at[static_cast<std::size_t>(x)], v, c);
          if (c[3] < 127.5f) continue;  // the mask's alpha test at one half
          for (int k = 0; k < 3; ++k) out[k] = static_cast<std::uint8_t>(std::clamp(std::lround(c[k]), 0l, 255l));
          out[3] = 255;
          break;
        }
      }
    }
  };
  tbb::parallel_for(tbb::blocked_range<std::size_t>(0, bands.size()), [&](const tbb::blocked_range<std::size_t>& r) {
    for (std::size_t b = r.begin(); b < r.end(); ++b) drawBand(b);
  });
  if (far.picture.width != w || far.picture.height != h) far.picture = platform::Image(w, h);
  // New pixels in a new buffer, so the canvas sees a change and uploads them.
  far.picture.pixels.swap(pixels);
  surface.setScale(1, 1);
  surface.drawImage(far.picture, 0, 0, static_cast<float>(w), static_cast<float>(h));
}

// Each visible cell's tiles, layer by layer, a column at a time.
void drawTiles(const Map& map, Surface& surface, const Axis& ax, const Axis& ay, const CellRange& cols,
               const CellRange& rows, std::span<const std::uint8_t> hidden) {
  for (std::int32_t x = cols.first; x < cols.last; ++x) {
    if (!cols.contains(x)) continue;
    const float X = ax.cellCorner(x);
    for (std::int32_t y = rows.first; y < rows.last; ++y) {
      if (!rows.contains(y)) continue;
      const float Y = ay.cellCorner(y);
      for (std::int32_t layer = 0; layer < map.depth; ++layer) {
        const TilePtr& tile = map.cells[map.cellIndex(x, y, layer)];
        if (tile && layerShown(hidden, layer)) tile->draw(surface, X, Y, map.tileWidth, map.tileHeight);
      }
    }
  }
}

void drawCellPicture(const CellPicture& picture, Surface& surface, const Axis& ax, const Axis& ay) {
  const float x0 = ax.cellCorner(picture.column0), x1 = ax.cellCorner(picture.column1);
  const float y0 = ay.cellCorner(picture.row0), y1 = ay.cellCorner(picture.row1);
  surface.setColor(0, 0, 0);
  surface.drawRect(x0, y0, x1 - x0, y1 - y0);
  surface.setColor(255, 255, 255);
  for (const auto& layer : picture.layers)
    if (layer) surface.drawImage(*layer, x0, y0, x1 - x0, y1 - y0);
}

}  // namespace

namespace {

// The hover cell and the marks in the marks' order (the hover cell once, where it falls), each
// outlined only when the tile pass shows its cell.
void drawMarks(const Map& map, const ViewState& view, Surface& surface, const Axis& ax, const Axis& ay,
               const CellRange& cols, const CellRange& rows) {
  const auto outline = [&](std::int32_t x, std::int32_t y) {
    if (!cols.shows(x) || !rows.shows(y)) return;
    surface.setColor(255, 0, 0);
    outlineCell(surface, ax.cellCorner(x), ay.cellCorner(y), ax.cellSpan(), ay.cellSpan());
    surface.setColor(255, 255, 255);
  };
  std::optional<std::pair<std::int32_t, std::int32_t>> hover;
  if (view.hover && map.contains(view.hover->x, view.hover->y) && !view.isMarked(view.hover->x, view.hover->y))
    hover = std::pair{view.hover->x, view.hover->y};
  for (const auto& [x, y] : view.marks) {
    if (hover && *hover < std::pair{x, y}) {
      outline(hover->first, hover->second);
      hover.reset();
    }
    outline(x, y);
  }
  if (hover) outline(hover->first, hover->second);
}

void drawMarkers(const Map& map, const ViewState& view, Surface& surface, const Axis& ax, const Axis& ay) {
  const float zoom = view.zoom;
  for (const LightPtr& light : map.lights) {
    float sx, sy;
    markerCentre(ax, ay, light->x, light->y, sx, sy);
    surface.setColor(base::floatToInt(light->red), base::floatToInt(light->green), base::floatToInt(light->blue));
    surface.drawOval(sx - 8 * zoom, sy - 8 * zoom, 16 * zoom, 16 * zoom);
    surface.setColor(255, 255, 255);
    rangeCircle(surface, base::floatToInt(sx), base::floatToInt(sy), base::floatToInt(light->range * zoom));
    if (light.get() == view.selectedLight) selectionSquare(surface, sx, sy, zoom);
  }

  for (const PivotPtr& pivot : map.pivots) {
    float sx, sy;
    markerCentre(ax, ay, pivot->x, pivot->y, sx, sy);
    surface.setColor(240, 240, 240);
    surface.drawRect(sx - 8 * zoom, sy - 8 * zoom, 16 * zoom, 16 * zoom);
    surface.setColor(255, 255, 255);
    if (pivot.get() == view.selectedPivot) selectionSquare(surface, sx, sy, zoom);
  }
  surface.setColor(255, 255, 255);
}

struct Shown {
  CellRange cols, rows;
};

// The columns and rows the tile pass shows (none for a map without cells, however long the
// other side).
Shown shownRanges(const Map& map, const Axis& ax, const Axis& ay, const Surface& surface) {
  if (map.width <= 0 || map.height <= 0) return {};
  return {visibleCells(ax, map.width, surface.width()), visibleCells(ay, map.height, surface.height())};
}

}  // namespace

void draw(const Map& map, const ViewState& view, Surface& surface, const Map* tiles, const CellPicture* picture,
          std::span<const std::uint8_t> hidden) {
  const Map& cells = tiles && tiles->width == map.width && tiles->height == map.height && tiles->depth == map.depth &&
                             tiles->tileWidth == map.tileWidth && tiles->tileHeight == map.tileHeight
                         ? *tiles
                         : map;
  const Axis ax = xAxis(map, view, surface), ay = yAxis(map, view, surface);
  const bool hasCells = map.width > 0 && map.height > 0;
  const Shown shown = shownRanges(map, ax, ay, surface);

  surface.setScale(view.zoom, view.zoom);
  if (hasCells && drawsPictures(map, ax, ay)) {
    drawPictures(view.far.get(), cells, surface, ax, ay, hidden);
  } else {
    drawTiles(cells, surface, ax, ay, shown.cols, shown.rows, hidden);
  }
  surface.setScale(1, 1);
  if (picture && hasCells) drawCellPicture(*picture, surface, ax, ay);
  drawMarks(map, view, surface, ax, ay, shown.cols, shown.rows);
  surface.setScale(1, 1);
  drawMarkers(map, view, surface, ax, ay);
}

void dropShownMarks(const Map& map, ViewState& view, const Surface& surface) {
  if (view.marks.empty()) return;
  const Shown shown = shownRanges(map, xAxis(map, view, surface), yAxis(map, view, surface), surface);
  std::erase_if(view.marks, [&](const auto& mark) { return shown.cols.shows(mark.first) && shown.rows.shows(mark.second); });
}

CellBox shownCells(const Map& map, const ViewState& view, const Surface& surface) {
  if (map.width <= 0 || map.height <= 0) return {};
  const Shown shown = shownRanges(map, xAxis(map, view, surface), yAxis(map, view, surface), surface);
  // A walked range may skip cells inside it: the whole run is reported.
  return {shown.cols.first, shown.rows.first, shown.cols.last, shown.rows.last};
}

// Every cell draws its four edges, so inner edges are drawn twice (and show darker under
// alpha blending). All grid segments share one colour and alpha, so their order does not
// change a pixel, and they go out in one batch. A segment lies on the border of its cell;
// a cell whose rectangle, grown by twice the line width, misses the canvas has all four
// edges (each at most 2 pixels wide on either side) wholly outside it, and they would
// draw nothing: such cells are skipped, which keeps the cost to the visible part. The
// segments depend on the view and the map's sizes alone, so the surface may keep them.
void drawBrush(const Map& map, const ViewState& view, Surface& surface, const Stamp& stamp, std::int32_t x,
               std::int32_t y) {
  const Axis ax = xAxis(map, view, surface), ay = yAxis(map, view, surface);
  surface.setBlend(platform::BlendMode::Alpha);
  surface.setAlpha(0.5f);
  // Images are tinted by the colour: white shows the tile as it is, black darkens what the
  // Eraser would clear.
  surface.setColor(stamp.erase ? 0 : 255, stamp.erase ? 0 : 255, stamp.erase ? 0 : 255);
  stampCells(map, stamp, x, y, [&](std::int32_t cx, std::int32_t cy) {
    const float X = ax.cellCorner(cx), Y = ay.cellCorner(cy);
    if (stamp.erase) {
      surface.drawRect(X, Y, ax.cellSpan(), ay.cellSpan());
      return;
    }
    surface.setScale(view.zoom, view.zoom);
    for (std::int32_t l = 0; l < stamp.depth; ++l)
      if (const TilePtr& t = stamp.at(cx - x, cy - y, l)) t->draw(surface, X, Y, map.tileWidth, map.tileHeight);
    surface.setScale(1, 1);
  });
  surface.setAlpha(1.0f);
}

void drawGrid(const Map& map, const ViewState& view, Surface& surface) {
  constexpr float kLineWidth = 4;
  constexpr float kMargin = 2 * kLineWidth;
  surface.setColor(0, 255, 255);
  surface.setBlend(platform::BlendMode::Alpha);
  surface.setAlpha(0.2f);
  surface.setLineWidth(kLineWidth);

  const Axis ax = xAxis(map, view, surface), ay = yAxis(map, view, surface);
  const float spanX = ax.cellSpan(), spanY = ay.cellSpan();
  // Lines along an axis whose cells are too small for them are left out.
  const bool vertical = std::abs(spanX) >= kMinGridSpacing, horizontal = std::abs(spanY) >= kMinGridSpacing;
  CellRange cols, rows;
  if (map.width <= 0 || map.height <= 0 || (!vertical && !horizontal)) {
    // No cells or no lines: nothing to draw, however long the other side.
  } else if (ax.monotone() && ay.monotone()) {
    // A cell reaches from its corner by its span, which is negative for a negative size.
    cols = cellsBetween(ax, map.width, -std::max(spanX, 0.0f) - kMargin,
                        static_cast<float>(surface.width()) + std::max(-spanX, 0.0f) + kMargin);
    rows = cellsBetween(ay, map.height, -std::max(spanY, 0.0f) - kMargin,
                        static_cast<float>(surface.height()) + std::max(-spanY, 0.0f) + kMargin);
  } else {
    // A degenerate view (zoom not positive) keeps the walk over every cell.
    cols.last = std::max(map.width, 0);
    rows.last = std::max(map.height, 0);
  }

  if (cols.last > cols.first && rows.last > rows.first) {
    struct {
      std::int32_t w, h, width, height, tileWidth, tileHeight;
      float scrollX, scrollY, zoom;
    } const key{surface.width(), surface.height(), map.width,   map.height, map.tileWidth,
                map.tileHeight,  view.scrollX,     view.scrollY, view.zoom};
    static_assert(sizeof key == 9 * 4, "no padding bytes in the key");
    const std::string_view keyBytes(reinterpret_cast<const char*>(&key), sizeof key);
    surface.drawLineSet(keyBytes, [&](std::vector<LineSegment>& segs) {
      const std::size_t perCell = (vertical ? 2 : 0) + (horizontal ? 2 : 0);
      segs.reserve(static_cast<std::size_t>(cols.last - cols.first) * static_cast<std::size_t>(rows.last - rows.first) *
                   perCell);
      for (std::int32_t x = cols.first; x < cols.last; ++x) {
        const float X = ax.cellCorner(x);
        for (std::int32_t y = rows.first; y < rows.last; ++y) {
          const float Y = ay.cellCorner(y);
          if (horizontal) segs.push_back({X, Y, X + spanX, Y});
          if (vertical) segs.push_back({X, Y, X, Y + spanY});
          if (horizontal) segs.push_back({X, Y + spanY, X + spanX, Y + spanY});
          if (vertical) segs.push_back({X + spanX, Y, X + spanX, Y + spanY});
        }
      }
    });
  }

  surface.setColor(255, 255, 255);
  surface.setAlpha(1.0f);
  surface.setBlend(platform::BlendMode::Mask);
}

namespace {

// The first cell i with corner < p < corner + span along one axis, or -1. The tests of the
// two axes are independent, so the first cell of the column-major walk is the first
// qualifying column with the first qualifying row.
std::int32_t cellUnder(const Axis& a, std::int32_t count, float p) {
  const float span = a.cellSpan();
  if (count <= 0) return -1;
  if (a.monotone() && !a.rising()) return -1;  // corner < p < corner + span cannot hold
  if (a.monotone()) {
    // corner + span > p holds from some index on; corner < p up to some index.
    std::int32_t from = firstTrue(count, [&](std::int32_t i) { return a.cellCorner(i) + span > p; });
    std::int32_t to = firstTrue(count, [&](std::int32_t i) { return !(a.cellCorner(i) < p); });
    return from < to ? from : -1;
  }
  for (std::int32_t i = 0; i < count; ++i) {
    float c = a.cellCorner(i);
    if (c < p && p < c + span) return i;
  }
  return -1;
}

template <typename Ptr>
Ptr pickMarker(const ViewState& view, const Surface& surface, const std::vector<Ptr>& list, float px, float py) {
  using base::floatToInt;
  const std::int32_t icx = surface.width() / 2, icy = surface.height() / 2;
  const float fcx = static_cast<float>(icx), fcy = static_cast<float>(icy);
  const float zoom = view.zoom;
  for (const Ptr& object : list) {
    float sx = fcx + ((object->x - view.scrollX) - fcx) * zoom;
    float sy = fcy + ((object->y - view.scrollY) - fcy) * zoom;
    float x1 = static_cast<float>(floatToInt(sx - 8 * zoom)), y1 = static_cast<float>(floatToInt(sy - 8 * zoom));
    float x2 = static_cast<float>(floatToInt(sx + 8 * zoom)), y2 = static_cast<float>(floatToInt(sy + 8 * zoom));
    if (x1 < px && px < x2 && y1 < py && py < y2) return object;
  }
  return nullptr;
}

}  // namespace

std::optional<CellPoint> cellAt(const Map& map, const ViewState& view, const Surface& surface, int px, int py) {
  if (map.width <= 0 || map.height <= 0) return std::nullopt;  // no cells, however long the other side
  const std::int32_t x = cellUnder(xAxis(map, view, surface), map.width, static_cast<float>(px));
  if (x < 0) return std::nullopt;
  const std::int32_t y = cellUnder(yAxis(map, view, surface), map.height, static_cast<float>(py));
  if (y < 0) return std::nullopt;
  return CellPoint{x, y};
}

void pickCell(const Map& map, ViewState& view, const Surface& surface, int px, int py) {
  if (const auto cell = cellAt(map, view, surface, px, py)) view.picked = *cell;
}

LightPtr pickLight(const Map& map, const ViewState& view, const Surface& surface, float px, float py) {
  return pickMarker(view, surface, map.lights, px, py);
}

PivotPtr pickPivot(const Map& map, const ViewState& view, const Surface& surface, float px, float py) {
  return pickMarker(view, surface, map.pivots, px, py);
}

void scroll(ViewState& view, float dx, float dy) {
  view.scrollX += dx / view.zoom;
  view.scrollY += dy / view.zoom;
}

void scrollClamped(const Map& map, ViewState& view, const Surface& surface, float dx, float dy) {
  scroll(view, dx, dy);
  if (!(view.scrollX >= 0)) view.scrollX = 0;
  if (!(view.scrollY >= 0)) view.scrollY = 0;
  const float maxX = static_cast<float>(static_cast<std::int64_t>(map.width) * map.tileWidth - surface.width());
  const float maxY = static_cast<float>(static_cast<std::int64_t>(map.height) * map.tileHeight - surface.height());
  if (view.scrollX > maxX) view.scrollX = maxX;
  if (view.scrollY > maxY) view.scrollY = maxY;
}

MapPoint canvasToMap(const ViewState& view, const Surface& surface, int cx, int cy) {
  const std::int32_t halfW = surface.width() / 2, halfH = surface.height() / 2;
  const float dx = static_cast<float>(static_cast<std::int64_t>(cx) - halfW);
  const float dy = static_cast<float>(static_cast<std::int64_t>(cy) - halfH);
  return {static_cast<float>(halfW) + dx / view.zoom + view.scrollX,
          static_cast<float>(halfH) + dy / view.zoom + view.scrollY};
}

}  // namespace vorlane::map
