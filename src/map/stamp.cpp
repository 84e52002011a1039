#include "map/stamp.h"

#include <algorithm>
#include <array>
#include <utility>

#include "map/view.h"

namespace vorlane::map {

namespace {

// rect's cells that lie on the map; false when none do.
bool clip(const Map& map, const CellRect& rect, CellRect& out) {
  out = {std::max(rect.left(), 0), std::max(rect.top(), 0), std::min(rect.right(), map.width - 1),
         std::min(rect.bottom(), map.height - 1)};
  return out.x0 <= out.x1 && out.y0 <= out.y1;
}

std::int32_t wrap(std::int64_t v, std::int32_t n) {
  const std::int64_t r = v % n;
  return static_cast<std::int32_t>(r < 0 ? r + n : r);
}

void write(CellWriter& out, const Map& map, std::int32_t x, std::int32_t y, std::int32_t layer, const TilePtr& tile) {
  if (map.cell(x, y, layer) != tile) out.setCell(x, y, layer, tile);
}

// Slot (sx, sy) of the stamp into cell (x, y): a one-layer stamp onto `layer`, a deeper one
// onto layers 0 up.
void putSlot(CellWriter& out, const Map& map, const Stamp& stamp, std::int32_t sx, std::int32_t sy, std::int32_t x,
             std::int32_t y, std::int32_t layer) {
  for (std::int32_t l = 0; l < stamp.depth; ++l) {
    const std::int32_t target = stamp.depth == 1 ? layer : l;
    const TilePtr& tile = stamp.at(sx, sy, l);
    if (stamp.erase)
      write(out, map, x, y, target, nullptr);
    else if (tile)
      write(out, map, x, y, target, tile);
  }
}

}  // namespace

Stamp Stamp::single(TilePtr tile) { return {1, 1, 1, {std::move(tile)}, false}; }

Stamp Stamp::eraser(std::int32_t columns, std::int32_t rows) {
  columns = std::max(columns, 1);
  rows = std::max(rows, 1);
  return {columns, rows, 1, std::vector<TilePtr>(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows)),
          true};
}

Stamp Stamp::fromTileset(const Map& tileset, const CellRect& slots) {
  Stamp s{slots.columns(), slots.rows(), 1, {}, false};
  s.tiles.reserve(static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height));
  for (std::int32_t x = 0; x < s.width; ++x)
    for (std::int32_t y = 0; y < s.height; ++y) s.tiles.push_back(tileset.cell(slots.left() + x, slots.top() + y, 0));
  return s;
}

Stamp copyCells(const Map& map, const CellRect& rect, std::int32_t layer) {
  CellRect r;
  const bool all = layer == -1;
  if (!clip(map, rect, r) || (!all && (layer < 0 || layer >= map.depth)) || map.depth <= 0) return {};
  Stamp s{r.columns(), r.rows(), all ? map.depth : 1, {}, false};
  s.tiles.reserve(static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height) *
                  static_cast<std::size_t>(s.depth));
  for (std::int32_t x = r.x0; x <= r.x1; ++x)
    for (std::int32_t y = r.y0; y <= r.y1; ++y)
      for (std::int32_t l = 0; l < s.depth; ++l) s.tiles.push_back(map.cell(x, y, all ? l : layer));
  return s;
}

void clearCells(const Map& map, CellWriter& out, const CellRect& rect, std::int32_t layer) {
  CellRect r;
  if (!clip(map, rect, r)) return;
  const std::int32_t first = layer == -1 ? 0 : layer, last = layer == -1 ? map.depth - 1 : layer;
  for (std::int32_t x = r.x0; x <= r.x1; ++x)
    for (std::int32_t y = r.y0; y <= r.y1; ++y)
      for (std::int32_t l = first; l <= last; ++l) write(out, map, x, y, l, nullptr);
}

void paintStamp(CellWriter& out, const Map& map, const Stamp& stamp, std::int32_t x, std::int32_t y,
                std::int32_t layer) {
  if (stamp.empty()) return;
  const CellRect area{x, y, static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{x} + stamp.width - 1, INT32_MAX)),
                      static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{y} + stamp.height - 1, INT32_MAX))};
  CellRect r;
  if (!clip(map, area, r)) return;
  for (std::int32_t cx = r.x0; cx <= r.x1; ++cx)
    for (std::int32_t cy = r.y0; cy <= r.y1; ++cy) putSlot(out, map, stamp, cx - x, cy - y, cx, cy, layer);
}

void tileStamp(CellWriter& out, const Map& map, const Stamp& stamp, const CellRect& rect, std::int32_t layer) {
  CellRect r;
  if (stamp.empty() || !clip(map, rect, r)) return;
  for (std::int32_t cx = r.x0; cx <= r.x1; ++cx)
    for (std::int32_t cy = r.y0; cy <= r.y1; ++cy)
      putSlot(out, map, stamp, wrap(std::int64_t{cx} - rect.left(), stamp.width),
              wrap(std::int64_t{cy} - rect.top(), stamp.height), cx, cy, layer);
}

std::int64_t bucketFill(const Map& map, CellWriter& out, std::int32_t x, std::int32_t y, std::int32_t layer,
                        const Stamp& stamp) {
  if (!map.contains(x, y, layer) || stamp.empty()) return 0;
  const tiles::Tile* target = map.cell(x, y, layer).get();
  const auto h = static_cast<std::size_t>(map.height);
  // The area is found before anything is written: the writer may be the map itself.
  std::vector<std::uint8_t> area(static_cast<std::size_t>(map.width) * h, 0);
  auto open = [&](std::int32_t cx, std::int32_t cy) {
    return area[static_cast<std::size_t>(cx) * h + static_cast<std::size_t>(cy)] == 0 &&
           map.cell(cx, cy, layer).get() == target;
  };
  std::int64_t count = 0;
  std::vector<std::pair<std::int32_t, std::int32_t>> seeds{{x, y}};
  // Runs along a column (contiguous in the cell table), seeding the columns beside them.
  while (!seeds.empty()) {
    auto [sx, sy] = seeds.back();
    seeds.pop_back();
    if (!open(sx, sy)) continue;
    std::int32_t y0 = sy, y1 = sy;
    while (y0 > 0 && open(sx, y0 - 1)) --y0;
    while (y1 + 1 < map.height && open(sx, y1 + 1)) ++y1;
    std::fill(area.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(sx) * h + static_cast<std::size_t>(y0)),
              area.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(sx) * h + static_cast<std::size_t>(y1) + 1),
              1);
    count += y1 - y0 + 1;
    for (std::int32_t nx : {sx - 1, sx + 1}) {
      if (nx < 0 || nx >= map.width) continue;
      bool inRun = false;
      for (std::int32_t ny = y0; ny <= y1; ++ny) {
        const bool o = open(nx, ny);
        if (o && !inRun) seeds.emplace_back(nx, ny);
        inRun = o;
      }
    }
  }
  for (std::int32_t cx = 0; cx < map.width; ++cx)
    for (std::int32_t cy = 0; cy < map.height; ++cy) {
      if (!area[static_cast<std::size_t>(cx) * h + static_cast<std::size_t>(cy)]) continue;
      const TilePtr& tile = stamp.at(wrap(std::int64_t{cx} - x, stamp.width), wrap(std::int64_t{cy} - y, stamp.height), 0);
      if (stamp.erase || tile) write(out, map, cx, cy, layer, stamp.erase ? nullptr : tile);
    }
  return count;
}

namespace {
constexpr std::array<float, 16> kLadder{kMinZoom, 0.0625f, 0.125f, 0.25f, 1.0f / 3.0f, 0.5f, 0.75f, 1.0f,
                                        1.5f,     2.0f,    3.0f,   4.0f,  6.0f,        8.0f, 12.0f, 16.0f};
// Zooms this close to a step count as on it (the wheel reaches steps through float sums).
constexpr float kOnStep = 1e-4f;
}  // namespace

float zoomStepIn(float zoom) {
  for (float step : kLadder)
    if (step > zoom * (1.0f + kOnStep)) return step;
  return std::max(zoom, kLadder.back());
}

float zoomStepOut(float zoom) {
  for (auto it = kLadder.rbegin(); it != kLadder.rend(); ++it)
    if (*it < zoom * (1.0f - kOnStep)) return *it;
  return kLadder.front();
}

float zoomToFit(std::int64_t mapWidth, std::int64_t mapHeight, std::int32_t canvasWidth, std::int32_t canvasHeight) {
  if (mapWidth <= 0 || mapHeight <= 0 || canvasWidth <= 0 || canvasHeight <= 0) return 1.0f;
  const double z = std::min(static_cast<double>(canvasWidth) / static_cast<double>(mapWidth),
                            static_cast<double>(canvasHeight) / static_cast<double>(mapHeight));
  return static_cast<float>(std::clamp(z, static_cast<double>(kLadder.front()), static_cast<double>(kLadder.back())));
}

}  // namespace vorlane::map
