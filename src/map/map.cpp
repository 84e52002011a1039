#include "map/map.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <stdexcept>

namespace vorlane::map {

namespace {

// Beyond this many cells a map would not fit in memory anyway (16 bytes a cell: 4 GiB).
constexpr std::uint64_t kMaxCells = std::uint64_t{1} << 28;

}  // namespace

std::uint64_t Map::nextRevision() {
  static std::atomic<std::uint64_t> last{0};
  return ++last;
}

MapPtr Map::create(std::int32_t width, std::int32_t height, std::int32_t depth, std::int32_t tileWidth,
                   std::int32_t tileHeight) {
  auto map = std::make_shared<Map>();
  map->resize(width, height, depth);
  map->tileWidth = tileWidth;
  map->tileHeight = tileHeight;
  return map;
}

void Map::resize(std::int32_t w, std::int32_t h, std::int32_t d) {
  w = std::max(w, 0);
  h = std::max(h, 0);
  d = std::max(d, 0);
  std::uint64_t columns = static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h);
  if (columns > kMaxCells || columns * static_cast<std::uint64_t>(d) > kMaxCells)
    throw std::length_error("map too large");
  cells = CellStore(columns * static_cast<std::uint64_t>(d));
  revision = nextRevision();
  highlight.clear();
  width = w;
  height = h;
  depth = d;
}

const TilePtr& Map::cell(std::int32_t x, std::int32_t y, std::int32_t layer) const {
  static const TilePtr none;
  return contains(x, y, layer) ? cells[cellIndex(x, y, layer)] : none;
}

void Map::setCell(std::int32_t x, std::int32_t y, std::int32_t layer, TilePtr tile) {
  if (!contains(x, y, layer)) return;
  cells[cellIndex(x, y, layer)] = std::move(tile);
  revision = nextRevision();
}

// Both loops below stop at once for a map without cells, however long its other sides.
void Map::fillLayer(std::int32_t layer, const TilePtr& tile, CellWriter& out) const {
  if (cells.empty() || layer < 0 || layer >= depth) return;
  for (std::int32_t x = 0; x < width; ++x)
    for (std::int32_t y = 0; y < height; ++y) out.setCell(x, y, layer, tile);
}

bool Map::addToFirstFreeCell(TilePtr tile, CellWriter& out) const {
  if (cells.empty()) return false;
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      if (!cells[cellIndex(x, y, 0)]) {
        out.setCell(x, y, 0, std::move(tile));
        return true;
      }
    }
  }
  return false;
}

void Map::markCell(std::int32_t x, std::int32_t y) const {
  if (contains(x, y)) highlight.emplace(x, y);
}

}  // namespace vorlane::map
