// What a bake will take, estimated from the map before any work, and the bands a streamed
// bake hands out.
#include <algorithm>
#include <set>

#include "base/convert.h"
#include "lighting/parallel.h"
#include "lighting/passes.h"
#include "lighting/render.h"

namespace vorlane::lighting {

namespace detail {

namespace {
// A Tile, its Image and ChannelGrid objects with their shared-pointer blocks, and the heap's
// rounding: measured at a few hundred bytes, taken generously.
constexpr std::uint64_t kTileObjects = 640;
}  // namespace

std::uint64_t litCellBytes(std::int32_t w, std::int32_t h) {
  return std::uint64_t{static_cast<std::uint32_t>(w)} * static_cast<std::uint32_t>(h) * 8 + kTileObjects;
}

std::vector<std::size_t> litBands(const map::Map& map, std::uint64_t bandBytes) {
  std::vector<std::size_t> bands{0};
  std::uint64_t bytes = 0;
  for (std::size_t k = 0; k < map.cells.size(); ++k) {
    const auto& tile = map.cells[k];
    if (!tile) continue;
    bytes += litCellBytes(imageWidth(*tile), imageHeight(*tile));
    if (bytes >= bandBytes / 2) {
      bands.push_back(k + 1);
      bytes = 0;
    }
  }
  if (bands.back() != map.cells.size()) bands.push_back(map.cells.size());
  return bands;
}

}  // namespace detail

MemoryEstimate estimateMemory(const map::Map& map, const Settings& settings, bool streamed) {
  MemoryEstimate e;
  const std::uint64_t cells = map.cells.size();
  const std::uint64_t texels = std::uint64_t{static_cast<std::uint32_t>(std::max(settings.width, 0))} *
                               static_cast<std::uint32_t>(std::max(settings.height, 0));
  const std::uint64_t lights = map.lights.size();
  e.snapshot = cells * (sizeof(tiles::TilePtr) + 1) + lights * 256;

  // One map a light, the per-texel layer grid (and its box minimum when soft), the two hard
  // maps softened in turn, and an occupancy grid with edge bits for each light layer.
  std::set<std::int32_t> layers;
  for (const auto& l : map.lights) layers.insert(l->layer);
  const std::uint64_t columns = std::uint64_t{static_cast<std::uint32_t>(map.width)} * static_cast<std::uint32_t>(map.height);
  e.shadowMaps = texels * (lights + 1 + (settings.soft ? 1 + std::min<std::uint64_t>(lights, 2) : 0)) +
                 layers.size() * columns * 2;

  // Each occupied cell gets a lit tile; one flat-normal grid is shared per image size.
  // Streamed, a band is written while the next is lit: the two largest neighbours count.
  std::uint64_t all = 0, largestBand = 0, band = 0, before = 0;
  std::int32_t tallest = 0, widest = 0;
  std::set<std::pair<std::int32_t, std::int32_t>> sizes;
  const auto bands = detail::litBands(map, settings.bandBytes);
  std::size_t next = 1;
  for (std::size_t k = 0; k < map.cells.size(); ++k) {
    if (next < bands.size() && k == bands[next]) {
      largestBand = std::max(largestBand, before + band);
      before = band;
      band = 0;
      ++next;
    }
    const auto& tile = map.cells[k];
    if (!tile) continue;
    const std::int32_t w = detail::imageWidth(*tile), h = detail::imageHeight(*tile);
    const std::uint64_t bytes = detail::litCellBytes(w, h);
    all += bytes;
    band += bytes;
    tallest = std::max(tallest, h);
    widest = std::max(widest, w);
    sizes.insert({w, h});
  }
  largestBand = std::max(largestBand, before + band);
  std::uint64_t flats = 0;
  for (const auto& [w, h] : sizes) flats += std::uint64_t{static_cast<std::uint32_t>(w)} * static_cast<std::uint32_t>(h) * 4;
  e.litCells = cells * sizeof(tiles::TilePtr) + flats + (streamed ? largestBand : all);

  // Per thread: a column's normals, shades and sums (seven floats and four bytes a pixel) and
  // the sampling of a cell; a streamed tile is written through a column buffer and 1 MiB block.
  const std::uint64_t threads = static_cast<std::uint64_t>(std::max(detail::threadCount(settings.threads), 1));
  e.working = threads * (std::uint64_t{static_cast<std::uint32_t>(tallest)} * 40 +
                         std::uint64_t{static_cast<std::uint32_t>(widest) + static_cast<std::uint32_t>(tallest)} * 8) +
              (streamed ? (std::uint64_t{2} << 20) + std::uint64_t{static_cast<std::uint32_t>(tallest)} * 4 : 0);
  return e;
}

base::Status checkMemory(const MemoryEstimate& need, std::uint64_t available, std::string_view advice) {
  if (need.total() <= available) return base::success();
  auto mib = [](std::uint64_t bytes) { return base::intToText(static_cast<std::int64_t>((bytes + (1 << 20) - 1) >> 20)); };
  std::string message = "Not enough memory to render this light map: it needs about " + mib(need.total()) +
                        " MiB (lit tiles " + mib(need.litCells) + " MiB, shadow maps " + mib(need.shadowMaps) +
                        " MiB, other " + mib(need.snapshot + need.working) + " MiB), and " + mib(available) +
                        " MiB are available.";
  if (!advice.empty()) message += "\n" + std::string(advice);
  return base::Error{message};
}

}  // namespace vorlane::lighting
