#include "map/view.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <tuple>
#include <numbers>
#include <vector>

#include "base/convert.h"
#include "map/sampling.h"

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

Axis xAxis(const Map& map, const Surface& s) {
  return {static_cast<float>(s.width()) / 2.0f, map.scrollX, map.zoom, map.tileWidth};
}
Axis yAxis(const Map& map, const Surface& s) {
  return {static_cast<float>(s.height()) / 2.0f, map.scrollY, map.zoom, map.tileHeight};
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
// When cells shrink to a few canvas pixels, drawing each tile would cost a quad per cell
// and layer for a dot or two. Instead, blocks of cells are drawn from pictures holding
// kx × ky texels per cell (powers of two above twice the cell's span, so the canvas always
// minifies them and picks one texel per pixel, never mixing neighbouring cells), the layers
// flattened as the mask draws them: the topmost texel with alpha of one half or more wins.
// Each texel is the tile sampled at its centre as the canvas would sample it at this zoom.
// Pictures are checked against the cells on every frame and redrawn where a cell changed.

struct FarPictures {
  struct Block {
    platform::Image picture;
    std::vector<std::uint32_t> cellKeys;  // per cell: a hash of its layers' images
    std::uint64_t lastUse = 0;
  };
  std::map<std::tuple<std::int32_t, std::int32_t, int, int, int>, Block> blocks;  // (bx, by, kx, ky, span key)
  // An image's texels at kx × ky per cell, by (serial, kx, ky, span key), with their last use.
  std::map<std::tuple<std::uint64_t, int, int, int>, std::pair<std::vector<std::uint8_t>, std::uint64_t>> reduced;
  std::uint64_t frame = 0;
};

namespace {

constexpr std::int32_t kBlockCells = 64;
// Pictures and reduced images not used for this many frames are dropped.
constexpr std::uint64_t kPictureAge = 120;

int texelsPerCell(float span) {
  int k = 1;
  while (static_cast<float>(k) <= 2 * span) k *= 2;
  return k;
}

// An image's texels at kx × ky per cell: each texel is what the canvas samples at its centre
// when the cell spans spanX × spanY pixels (bilinear magnification; trilinear minification
// through mipmaps, or the nearest pixel without them).
const std::vector<std::uint8_t>& reducedImage(FarPictures& far, const platform::Image& image, int kx, int ky,
                                              float spanX, float spanY, int spanKey) {
  auto [it, added] = far.reduced.try_emplace({image.serial, kx, ky, spanKey});
  it->second.second = far.frame;
  std::vector<std::uint8_t>& out = it->second.first;
  if (!added) return out;
  out.assign(static_cast<std::size_t>(kx) * static_cast<std::size_t>(ky) * 4, 0);
  const TileSampler sampler(image, TileSampler::lodFor(image, spanX, spanY));
  for (int ty = 0; ty < ky; ++ty) {
    for (int tx = 0; tx < kx; ++tx) {
      float c[4];
      sampler.sample((static_cast<float>(tx) + 0.5f) / static_cast<float>(kx),
                     (static_cast<float>(ty) + 0.5f) / static_cast<float>(ky), c);
      std::uint8_t* texel =
          out.data() + (static_cast<std::size_t>(ty) * static_cast<std::size_t>(kx) + static_cast<std::size_t>(tx)) * 4;
      for (int k = 0; k < 4; ++k) texel[k] = static_cast<std::uint8_t>(std::clamp(std::lround(c[k]), 0l, 255l));
    }
  }
  return out;
}

const platform::Image* drawnImage(const TilePtr& tile) {
  const platform::Image* image = tile ? tile->image.get() : nullptr;
  if (!image || image->width <= 0 || image->height <= 0 ||
      image->pixels.size() < static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height) * 4)
    return nullptr;
  return image;
}

std::uint32_t cellKey(const Map& map, std::int32_t x, std::int32_t y) {
  std::uint64_t h = 1469598103934665603ull;
  for (std::int32_t layer = 0; layer < map.depth; ++layer) {
    const platform::Image* image = drawnImage(map.cells[map.cellIndex(x, y, layer)]);
    h = (h ^ (image ? image->serial : 0)) * 1099511628211ull;
  }
  return static_cast<std::uint32_t>(h ^ (h >> 32));
}

// Brings a block's picture up to date with its cells; true when it has any texel to show.
void refreshBlock(FarPictures& far, FarPictures::Block& block, const Map& map, std::int32_t bx, std::int32_t by, int kx,
                  int ky, float spanX, float spanY, int spanKey) {
  const std::int32_t x0 = bx * kBlockCells, y0 = by * kBlockCells;
  const std::int32_t cw = std::min(kBlockCells, map.width - x0), ch = std::min(kBlockCells, map.height - y0);
  const std::size_t cells = static_cast<std::size_t>(cw) * static_cast<std::size_t>(ch);
  const bool fresh = block.cellKeys.size() != cells;
  if (fresh) {
    block.picture = platform::Image(cw * kx, ch * ky);
    block.cellKeys.assign(cells, 0);
  }
  std::vector<std::uint8_t> next;  // filled only when a cell changed
  for (std::int32_t cx = 0; cx < cw; ++cx) {
    for (std::int32_t cy = 0; cy < ch; ++cy) {
      const std::uint32_t key = cellKey(map, x0 + cx, y0 + cy);
      std::uint32_t& kept = block.cellKeys[static_cast<std::size_t>(cy) * static_cast<std::size_t>(cw) + static_cast<std::size_t>(cx)];
      if (!fresh && kept == key) continue;
      kept = key;
      // New pixels in a new buffer, so a canvas that uploaded the old ones sees a change.
      if (next.empty()) next = block.picture.pixels;
      for (std::int32_t ty = 0; ty < ky; ++ty)
        std::fill_n(next.data() + ((static_cast<std::size_t>(cy * ky + ty) * static_cast<std::size_t>(cw * kx)) +
                                   static_cast<std::size_t>(cx * kx)) * 4,
                    static_cast<std::size_t>(kx) * 4, std::uint8_t{0});
      for (std::int32_t layer = 0; layer < map.depth; ++layer) {
        const platform::Image* image = drawnImage(map.cells[map.cellIndex(x0 + cx, y0 + cy, layer)]);
        if (!image) continue;
        const std::vector<std::uint8_t>& texels = reducedImage(far, *image, kx, ky, spanX, spanY, spanKey);
        for (int ty = 0; ty < ky; ++ty) {
          for (int tx = 0; tx < kx; ++tx) {
            const std::uint8_t* src = texels.data() + (static_cast<std::size_t>(ty * kx + tx)) * 4;
            if (src[3] < 128) continue;  // the mask's alpha test at one half
            std::uint8_t* dst = next.data() + ((static_cast<std::size_t>(cy * ky + ty) * static_cast<std::size_t>(cw * kx)) +
                                               static_cast<std::size_t>(cx * kx + tx)) * 4;
            dst[0] = src[0], dst[1] = src[1], dst[2] = src[2], dst[3] = 255;
          }
        }
      }
    }
  }
  if (!next.empty()) block.picture.pixels.swap(next);
}

void forget(FarPictures& far) {
  std::erase_if(far.blocks, [&](const auto& b) { return b.second.lastUse + kPictureAge < far.frame; });
  std::erase_if(far.reduced, [&](const auto& r) { return r.second.second + kPictureAge < far.frame; });
}

// Whether the view is far enough out (and ordinary enough) for pictures.
bool drawsPictures(const Map& map, const Axis& ax, const Axis& ay) {
  return ax.monotone() && map.tileWidth > 0 && map.tileHeight > 0 && ax.cellSpan() < kPictureCellSpan &&
         ay.cellSpan() < kPictureCellSpan;
}

void drawPictures(Map& map, Surface& surface, const Axis& ax, const Axis& ay, const CellRange& cols,
                  const CellRange& rows) {
  if (!map.farPictures) map.farPictures = std::make_shared<FarPictures>();
  FarPictures& far = *map.farPictures;
  ++far.frame;
  const float spanX = ax.cellSpan(), spanY = ay.cellSpan();
  const int kx = texelsPerCell(spanX), ky = texelsPerCell(spanY);
  // Texels follow the zoom in steps of a 1/256 of a pixel per cell.
  const int spanKey = static_cast<int>(std::lround(spanX * 256)) * 1024 + static_cast<int>(std::lround(spanY * 256));
  surface.setScale(1, 1);
  if (cols.last > cols.first && rows.last > rows.first) {
    for (std::int32_t bx = cols.first / kBlockCells; bx <= (cols.last - 1) / kBlockCells; ++bx) {
      for (std::int32_t by = rows.first / kBlockCells; by <= (rows.last - 1) / kBlockCells; ++by) {
        FarPictures::Block& block = far.blocks[{bx, by, kx, ky, spanKey}];
        block.lastUse = far.frame;
        refreshBlock(far, block, map, bx, by, kx, ky, spanX, spanY, spanKey);
        const float X0 = ax.cellCorner(bx * kBlockCells), Y0 = ay.cellCorner(by * kBlockCells);
        const float X1 = ax.cellCorner(std::min(map.width, (bx + 1) * kBlockCells));
        const float Y1 = ay.cellCorner(std::min(map.height, (by + 1) * kBlockCells));
        surface.drawImage(block.picture, X0, Y0, X1 - X0, Y1 - Y0);
      }
    }
  }
  if (far.frame % 64 == 0) forget(far);
}

// Each visible cell's tiles, layer by layer, a column at a time.
void drawTiles(const Map& map, Surface& surface, const Axis& ax, const Axis& ay, const CellRange& cols,
               const CellRange& rows) {
  for (std::int32_t x = cols.first; x < cols.last; ++x) {
    if (!cols.contains(x)) continue;
    const float X = ax.cellCorner(x);
    for (std::int32_t y = rows.first; y < rows.last; ++y) {
      if (!rows.contains(y)) continue;
      const float Y = ay.cellCorner(y);
      for (std::int32_t layer = 0; layer < map.depth; ++layer) {
        const TilePtr& tile = map.cells[map.cellIndex(x, y, layer)];
        if (tile) tile->draw(surface, X, Y, map.tileWidth, map.tileHeight);
      }
    }
  }
}

}  // namespace

void draw(Map& map, Surface& surface, Map* tiles) {
  Map& cells = tiles && tiles->width == map.width && tiles->height == map.height && tiles->depth == map.depth &&
                       tiles->tileWidth == map.tileWidth && tiles->tileHeight == map.tileHeight
                   ? *tiles
                   : map;
  const Axis ax = xAxis(map, surface), ay = yAxis(map, surface);
  const float zoom = map.zoom;
  const float spanX = ax.cellSpan(), spanY = ay.cellSpan();
  // A map without cells may still be huge along one side: no range to work out then.
  const bool hasCells = map.width > 0 && map.height > 0;
  const CellRange cols = hasCells ? visibleCells(ax, map.width, surface.width()) : CellRange{};
  const CellRange rows = hasCells ? visibleCells(ay, map.height, surface.height()) : CellRange{};

  surface.setScale(zoom, zoom);
  if (hasCells && drawsPictures(map, ax, ay)) {
    drawPictures(cells, surface, ax, ay, cols, rows);
  } else {
    drawTiles(cells, surface, ax, ay, cols, rows);
  }
  surface.setScale(1, 1);

  // The marks are ordered column by column as the tile pass walks; unseen ones stay for later.
  for (auto it = map.highlight.begin(); it != map.highlight.end();) {
    const auto [x, y] = *it;
    if (!cols.shows(x) || !rows.shows(y)) {
      ++it;
      continue;
    }
    surface.setColor(255, 0, 0);
    outlineCell(surface, ax.cellCorner(x), ay.cellCorner(y), spanX, spanY);
    it = map.highlight.erase(it);
    surface.setColor(255, 255, 255);
  }
  surface.setScale(1, 1);

  for (const LightPtr& light : map.lights) {
    float sx, sy;
    markerCentre(ax, ay, light->x, light->y, sx, sy);
    surface.setColor(base::floatToInt(light->red), base::floatToInt(light->green), base::floatToInt(light->blue));
    surface.drawOval(sx - 8 * zoom, sy - 8 * zoom, 16 * zoom, 16 * zoom);
    surface.setColor(255, 255, 255);
    rangeCircle(surface, base::floatToInt(sx), base::floatToInt(sy), base::floatToInt(light->range * zoom));
    if (light->selected) selectionSquare(surface, sx, sy, zoom);
  }

  for (const PivotPtr& pivot : map.pivots) {
    float sx, sy;
    markerCentre(ax, ay, pivot->x, pivot->y, sx, sy);
    surface.setColor(240, 240, 240);
    surface.drawRect(sx - 8 * zoom, sy - 8 * zoom, 16 * zoom, 16 * zoom);
    surface.setColor(255, 255, 255);
    if (pivot->selected) selectionSquare(surface, sx, sy, zoom);
  }
  surface.setColor(255, 255, 255);
}

CellBox shownCells(const Map& map, const Surface& surface) {
  if (map.width <= 0 || map.height <= 0) return {};
  const CellRange cols = visibleCells(xAxis(map, surface), map.width, surface.width());
  const CellRange rows = visibleCells(yAxis(map, surface), map.height, surface.height());
  // A walked range may skip cells inside it: the whole run is reported.
  return {cols.first, rows.first, cols.last, rows.last};
}

// Every cell draws its four edges, so inner edges are drawn twice (and show darker under
// alpha blending). All grid segments share one colour and alpha, so their order does not
// change a pixel, and they go out in one batch. A segment lies on the border of its cell;
// a cell whose rectangle, grown by twice the line width, misses the canvas has all four
// edges (each at most 2 pixels wide on either side) wholly outside it, and they would
// draw nothing: such cells are skipped, which keeps the cost to the visible part. The
// segments depend on the view and the map's sizes alone, so the surface may keep them.
void drawGrid(const Map& map, Surface& surface) {
  constexpr float kLineWidth = 4;
  constexpr float kMargin = 2 * kLineWidth;
  surface.setColor(0, 255, 255);
  surface.setBlend(platform::BlendMode::Alpha);
  surface.setAlpha(0.2f);
  surface.setLineWidth(kLineWidth);

  const Axis ax = xAxis(map, surface), ay = yAxis(map, surface);
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
                map.tileHeight,  map.scrollX,      map.scrollY, map.zoom};
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
Ptr pickMarker(const Map& map, const Surface& surface, const std::vector<Ptr>& list, float px, float py) {
  using base::floatToInt;
  const std::int32_t icx = surface.width() / 2, icy = surface.height() / 2;
  const float fcx = static_cast<float>(icx), fcy = static_cast<float>(icy);
  const float zoom = map.zoom;
  for (const Ptr& object : list) {
    float sx = fcx + ((object->x - map.scrollX) - fcx) * zoom;
    float sy = fcy + ((object->y - map.scrollY) - fcy) * zoom;
    float x1 = static_cast<float>(floatToInt(sx - 8 * zoom)), y1 = static_cast<float>(floatToInt(sy - 8 * zoom));
    float x2 = static_cast<float>(floatToInt(sx + 8 * zoom)), y2 = static_cast<float>(floatToInt(sy + 8 * zoom));
    if (x1 < px && px < x2 && y1 < py && py < y2) return object;
  }
  return nullptr;
}

}  // namespace

std::optional<CellPoint> cellAt(const Map& map, const Surface& surface, int px, int py) {
  if (map.width <= 0 || map.height <= 0) return std::nullopt;  // no cells, however long the other side
  const std::int32_t x = cellUnder(xAxis(map, surface), map.width, static_cast<float>(px));
  if (x < 0) return std::nullopt;
  const std::int32_t y = cellUnder(yAxis(map, surface), map.height, static_cast<float>(py));
  if (y < 0) return std::nullopt;
  return CellPoint{x, y};
}

void pickCell(Map& map, const Surface& surface, int px, int py) {
  if (const auto cell = cellAt(map, surface, px, py)) {
    map.selectedX = cell->x;
    map.selectedY = cell->y;
  }
}

LightPtr pickLight(const Map& map, const Surface& surface, float px, float py) {
  return pickMarker(map, surface, map.lights, px, py);
}

PivotPtr pickPivot(const Map& map, const Surface& surface, float px, float py) {
  return pickMarker(map, surface, map.pivots, px, py);
}

void scroll(Map& map, float dx, float dy) {
  map.scrollX += dx / map.zoom;
  map.scrollY += dy / map.zoom;
}

void scrollClamped(Map& map, const Surface& surface, float dx, float dy) {
  scroll(map, dx, dy);
  if (!(map.scrollX >= 0)) map.scrollX = 0;
  if (!(map.scrollY >= 0)) map.scrollY = 0;
  const float maxX = static_cast<float>(static_cast<std::int64_t>(map.width) * map.tileWidth - surface.width());
  const float maxY = static_cast<float>(static_cast<std::int64_t>(map.height) * map.tileHeight - surface.height());
  if (map.scrollX > maxX) map.scrollX = maxX;
  if (map.scrollY > maxY) map.scrollY = maxY;
}

MapPoint canvasToMap(const Map& map, const Surface& surface, int cx, int cy) {
  const std::int32_t halfW = surface.width() / 2, halfH = surface.height() / 2;
  const float dx = static_cast<float>(static_cast<std::int64_t>(cx) - halfW);
  const float dy = static_cast<float>(static_cast<std::int64_t>(cy) - halfH);
  return {static_cast<float>(halfW) + dx / map.zoom + map.scrollX, static_cast<float>(halfH) + dy / map.zoom + map.scrollY};
}

}  // namespace vorlane::map
