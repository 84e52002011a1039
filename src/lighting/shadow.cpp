#include <algorithm>
#include <map>
#include <memory>

#include "lighting/occlusion.h"
#include "lighting/parallel.h"
#include "lighting/passes.h"
#include "lighting/render.h"
#include "platform/memory.h"

namespace vorlane::lighting::detail {

using base::floatToInt;

Frame Frame::of(const map::Map& map, std::int32_t width, std::int32_t height) {
  Frame f;
  f.width = width;
  f.height = height;
  const float mapWidth = static_cast<float>(std::int64_t{map.width} * map.tileWidth);
  const float mapHeight = static_cast<float>(std::int64_t{map.height} * map.tileHeight);
  f.wf = mapWidth / static_cast<float>(width);
  f.hf = mapHeight / static_cast<float>(height);
  f.kx = static_cast<float>(width) / mapWidth;
  f.ky = static_cast<float>(height) / mapHeight;
  return f;
}

void CellSampling::compute(const map::Map& map, const Frame& frame, std::int32_t column, std::int32_t row,
                           std::int32_t imageWidth, std::int32_t imageHeight, std::int32_t pointsAcross,
                           std::int32_t pointsDown) {
  const float sx = static_cast<float>(map.tileWidth) / static_cast<float>(imageWidth);
  const float sy = static_cast<float>(map.tileHeight) / static_cast<float>(imageHeight);
  const float left = static_cast<float>(std::int64_t{column} * map.tileWidth);
  const float top = static_cast<float>(std::int64_t{row} * map.tileHeight);
  const std::int32_t across = pointsAcross > 0 ? pointsAcross : imageWidth;
  const std::int32_t down = pointsDown > 0 ? pointsDown : imageHeight;
  px.resize(static_cast<std::size_t>(across));
  tx.resize(static_cast<std::size_t>(across));
  py.resize(static_cast<std::size_t>(down));
  ty.resize(static_cast<std::size_t>(down));
  // The steps of mapPoint, hoisted.
  for (std::int32_t k = 0; k < across; ++k) {
    const std::int32_t i = pointsAcross > 0 ? sampledPixel(k, pointsAcross, imageWidth) : k;
    px[k] = left + static_cast<float>(i) * sx;
    tx[k] = texelOf(px[k], frame.kx, frame.width);
  }
  for (std::int32_t k = 0; k < down; ++k) {
    const std::int32_t j = pointsDown > 0 ? sampledPixel(k, pointsDown, imageHeight) : k;
    py[k] = top + static_cast<float>(j) * sy;
    ty[k] = texelOf(py[k], frame.ky, frame.height);
  }
}

namespace {

// `size` texels of `value`, the pages faulted in by every thread at once: the kernel clears a
// page on its first touch, which for a big light map took longer than the fill itself and
// kept the other threads waiting.
std::vector<std::uint8_t> texels(std::size_t size, std::uint8_t value) {
  std::vector<std::uint8_t> v;
  v.reserve(size);
  constexpr std::size_t kChunk = std::size_t{4} << 20;
  forEachRange(static_cast<std::int64_t>((size + kChunk - 1) / kChunk), 1, [&](std::int64_t a, std::int64_t b) {
    const std::size_t from = static_cast<std::size_t>(a) * kChunk;
    platform::populate(v.data() + from, std::min(size, static_cast<std::size_t>(b) * kChunk) - from);
  });
  v.assign(size, value);
  return v;
}

void dedupe(std::vector<std::int32_t>& v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
}

// Calls sink(x, y, sum) with the total of src over the box [x + lo, x + hi] × [y + lo, y + hi]
// clipped to the grid, using running sums: each task slides a window of column totals over
// its own run of columns [x0, x1).
template <typename Sink>
void boxSums(const std::uint8_t* src, std::int32_t width, std::int32_t height, std::int64_t lo, std::int64_t hi,
             std::int32_t x0, std::int32_t x1, Sink sink) {
  const std::size_t h = static_cast<std::size_t>(height);
  thread_local std::vector<std::int64_t> acc, prefix;
  acc.assign(h, 0);
  prefix.assign(h + 1, 0);
  std::int64_t curLo = 0, curHi = -1;  // columns summed in acc
  auto addColumn = [&](std::int64_t x, int sign) {
    const std::uint8_t* col = src + static_cast<std::size_t>(x) * h;
    for (std::size_t y = 0; y < h; ++y) acc[y] += sign * col[y];
  };
  for (std::int32_t x = x0; x < x1; ++x) {
    std::int64_t nlo = std::max<std::int64_t>(0, x + lo), nhi = std::min<std::int64_t>(width - 1, x + hi);
    if (nlo > nhi || nlo > curHi || curLo > curHi) {
      std::fill(acc.begin(), acc.end(), 0);
      for (std::int64_t c = nlo; c <= nhi; ++c) addColumn(c, 1);
    } else {
      for (std::int64_t c = curLo; c < nlo; ++c) addColumn(c, -1);
      for (std::int64_t c = curHi + 1; c <= nhi; ++c) addColumn(c, 1);
    }
    curLo = nlo;
    curHi = nhi;
    for (std::size_t y = 0; y < h; ++y) prefix[y + 1] = prefix[y] + acc[y];
    for (std::int32_t y = 0; y < height; ++y) {
      std::int64_t ylo = std::max<std::int64_t>(0, y + lo), yhi = std::min<std::int64_t>(height - 1, y + hi);
      sink(x, y, ylo > yhi ? 0 : prefix[yhi + 1] - prefix[ylo]);
    }
  }
}

void softenInto(const std::vector<std::uint8_t>& hard, std::vector<std::uint8_t>& soft, std::int32_t width,
                std::int32_t height, float blurRadius) {
  const float area = blurRadius * blurRadius;
  forEachRange(width, 64, [&](std::int64_t x0, std::int64_t x1) {
    boxSums(hard.data(), width, height, floatToInt(-blurRadius), floatToInt(blurRadius), static_cast<std::int32_t>(x0), static_cast<std::int32_t>(x1),
            [&](std::int32_t x, std::int32_t y, std::int64_t sum) {
              std::int32_t v = floatToInt(static_cast<float>(sum) / area);
              soft[static_cast<std::size_t>(x) * height + y] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
            });
  });
}

}  // namespace

std::vector<std::uint8_t> lowestReadingLayer(const map::Map& map, const Frame& frame, const Sampled& sampled) {
  std::vector<std::uint8_t> lowest = texels(static_cast<std::size_t>(frame.width) * frame.height, 255);
  if (map.cells.empty()) return lowest;  // one side may still be huge
  CellSampling s;
  for (std::int32_t c = std::max(sampled.column0, 0); c < std::min(sampled.column1, map.width); ++c) {
    for (std::int32_t r = std::max(sampled.row0, 0); r < std::min(sampled.row1, map.height); ++r) {
      for (std::int32_t d = 0; d < map.depth; ++d) {
        const auto& tile = map.cells[map.cellIndex(c, r, d)];
        if (!tile) continue;
        // An image without pixels reads no texel; its other side may be huge.
        const std::int32_t w = imageWidth(*tile), h = imageHeight(*tile);
        if (w == 0 || h == 0) continue;
        s.compute(map, frame, c, r, w, h, sampled.cellWidth, sampled.cellHeight);
        dedupe(s.tx);
        dedupe(s.ty);
        const auto mark = static_cast<std::uint8_t>(std::min(d, 254));
        for (std::int32_t x : s.tx) {
          std::uint8_t* column = lowest.data() + static_cast<std::size_t>(x) * frame.height;
          for (std::int32_t y : s.ty) column[y] = std::min(column[y], mark);
        }
      }
    }
  }
  return lowest;
}

std::vector<std::uint8_t> soften(const std::vector<std::uint8_t>& hard, std::int32_t width, std::int32_t height,
                                 float blurRadius) {
  std::vector<std::uint8_t> soft(hard.size());
  softenInto(hard, soft, width, height, blurRadius);
  return soft;
}

namespace {

// The minimum of `values` over the box [x + lo, x + hi] × [y + lo, y + hi] clipped to the
// grid (255 for an empty box), separably, by the van Herk / Gil-Werman block method. Boxes
// clipped by the border may get a lower value, which only has a texel tested needlessly.
// Both passes read whole column runs: the pass across columns works on strips of rows.
std::vector<std::uint8_t> boxMinimum(const std::vector<std::uint8_t>& values, std::int32_t width,
                                     std::int32_t height, std::int64_t lo, std::int64_t hi) {
  const std::int64_t span = hi - lo + 1;
  if (span <= 0) return std::vector<std::uint8_t>(values.size(), 255);
  const std::size_t h = static_cast<std::size_t>(height);
  // Runs the block method over n items, each a run of m bytes at item(i); out(i) receives the
  // minimum over the item's window.
  auto blocks = [&](std::int64_t n, std::size_t m, auto item, auto out, std::vector<std::uint8_t>& forward,
                    std::vector<std::uint8_t>& backward) {
    forward.resize(static_cast<std::size_t>(n) * m);
    backward.resize(static_cast<std::size_t>(n) * m);
    auto f = [&](std::int64_t i) { return forward.data() + static_cast<std::size_t>(i) * m; };
    auto b = [&](std::int64_t i) { return backward.data() + static_cast<std::size_t>(i) * m; };
    const std::int64_t block = std::min<std::int64_t>(span, n);
    for (std::int64_t start = 0; start < n; start += block) {
      const std::int64_t end = std::min<std::int64_t>(start + block, n) - 1;
      std::copy_n(item(start), m, f(start));
      for (std::int64_t i = start + 1; i <= end; ++i)
        for (std::size_t k = 0; k < m; ++k) f(i)[k] = std::min(f(i - 1)[k], item(i)[k]);
      std::copy_n(item(end), m, b(end));
      for (std::int64_t i = end - 1; i >= start; --i)
        for (std::size_t k = 0; k < m; ++k) b(i)[k] = std::min(b(i + 1)[k], item(i)[k]);
    }
    for (std::int64_t i = 0; i < n; ++i) {
      const std::int64_t a = std::max<std::int64_t>(0, i + lo), z = std::min<std::int64_t>(n - 1, i + hi);
      // A window of at most `block` items covers at most two blocks.
      if (a <= z) {
        std::uint8_t* dst = out(i);
        for (std::size_t k = 0; k < m; ++k) dst[k] = std::min(b(a)[k], f(z)[k]);
      }
    }
  };
  // Along y within each column: items are single texels.
  std::vector<std::uint8_t> columns = texels(values.size(), 255), result = texels(values.size(), 255);
  forEachRange(width, 16, [&](std::int64_t x0, std::int64_t x1) {
    thread_local std::vector<std::uint8_t> forward, backward;
    for (std::int64_t x = x0; x < x1; ++x) {
      const std::uint8_t* src = values.data() + static_cast<std::size_t>(x) * h;
      std::uint8_t* dst = columns.data() + static_cast<std::size_t>(x) * h;
      blocks(
          height, 1, [&](std::int64_t i) { return src + i; }, [&](std::int64_t i) { return dst + i; }, forward,
          backward);
    }
  });
  // Along x within strips of rows: items are the strip's runs of each column.
  forEachRange(height, 64, [&](std::int64_t y0, std::int64_t y1) {
    thread_local std::vector<std::uint8_t> forward, backward;
    const std::size_t m = static_cast<std::size_t>(y1 - y0);
    blocks(
        width, m, [&](std::int64_t x) { return columns.data() + static_cast<std::size_t>(x) * h + static_cast<std::size_t>(y0); },
        [&](std::int64_t x) { return result.data() + static_cast<std::size_t>(x) * h + static_cast<std::size_t>(y0); }, forward, backward);
  });
  return result;
}

// Each light's occluders: the grid of its layer, made once a layer and kept in `grids`; `none`
// for a light that casts no shadow.
std::vector<const OccluderGrid*> occludersOfLights(const map::Map& map, Blockers blockers,
                                                   std::map<std::int32_t, std::shared_ptr<const OccluderGrid>>& grids,
                                                   const OccluderGrid& none) {
  std::vector<const OccluderGrid*> gridOf(map.lights.size());
  for (std::size_t k = 0; k < map.lights.size(); ++k) {
    if (!blockers.casts(*map.lights[k])) {
      gridOf[k] = &none;
      continue;
    }
    auto& grid = grids[map.lights[k]->layer];
    if (!grid) grid = std::make_shared<const OccluderGrid>(map, map.lights[k]->layer, blockers.castShadows);
    gridOf[k] = grid.get();
  }
  return gridOf;
}

}  // namespace

// Lights one after the other, the texel columns of each shared out: tasks are stolen by
// whichever thread is free, so a core taken away delays only the columns its thread holds.
std::vector<std::vector<std::uint8_t>> shadowMaps(const map::Map& map, const Frame& frame, bool soft,
                                                  float blurRadius, Blockers blockers,
                                                  const std::vector<const std::vector<std::uint8_t>*>& known,
                                                  const std::function<void(float)>& progress, std::stop_token stop,
                                                  const Sampled& sampled, const ShadowCache* reuse,
                                                  ShadowCache* cache) {
  const std::int32_t width = frame.width, height = frame.height;
  const std::size_t size = static_cast<std::size_t>(width) * height;
  const std::size_t n = map.lights.size();
  ShadowCache local;
  ShadowCache& built = cache ? *cache : local;
  if (reuse) built.grids = reuse->grids;
  const bool sameNeed = reuse && reuse->sampled == sampled && reuse->width == width && reuse->height == height &&
                        reuse->soft == soft && (!soft || reuse->blurRadius == blurRadius) &&
                        reuse->need.size() == size;
  built.sampled = sampled;
  built.width = width;
  built.height = height;
  built.soft = soft;
  built.blurRadius = blurRadius;
  if (sameNeed) {
    built.need = reuse->need;
  } else {
    std::vector<std::uint8_t> lowest = lowestReadingLayer(map, frame, sampled);
    // For soft maps a hard texel matters when the box of a read soft texel covers it.
    built.need = soft ? boxMinimum(lowest, width, height, -std::int64_t{floatToInt(blurRadius)},
                                   -std::int64_t{floatToInt(-blurRadius)})
                      : std::move(lowest);
  }
  const std::vector<std::uint8_t>& need = built.need;

  const OccluderGrid none(map, -1);
  const std::vector<const OccluderGrid*> gridOf = occludersOfLights(map, blockers, built.grids, none);
  std::vector<std::vector<std::uint8_t>> maps(n);
  std::vector<std::uint8_t> hard = texels(soft ? size : 0, 255);
  for (std::size_t k = 0; k < n; ++k) {
    if (stop.stop_requested()) return {};
    if (progress) progress(static_cast<float>(k) / static_cast<float>(n));
    // A known hard map is complete where both bakes' points read; only the others are tested.
    const std::uint8_t* tested = nullptr;
    if (k < known.size() && known[k]) {
      maps[k] = *known[k];
      if (sameNeed || reuse->sampled.covers(sampled)) continue;
      if (soft || reuse->need.size() != size) maps[k].clear();
      else tested = reuse->need.data();
    }
    const map::Light& light = *map.lights[k];
    const OccluderGrid& grid = *gridOf[k];
    const std::int32_t lx = floatToInt(light.x), ly = floatToInt(light.y);
    if (!tested) maps[k] = texels(size, 255);
    std::uint8_t* factors = soft ? hard.data() : maps[k].data();
    // The soft pass's working map is cleared a column at a time by the thread that tests it.
    if (!grid.empty() || soft) {
      forEachRange(width, 2, [&](std::int64_t x0, std::int64_t x1) {
        OcclusionHint hint;
        for (std::int64_t x = x0; x < x1 && !stop.stop_requested(); ++x) {
          std::uint8_t* column = factors + static_cast<std::size_t>(x) * height;
          if (soft) std::fill_n(column, height, std::uint8_t{255});
          if (grid.empty()) continue;
          const std::int32_t sampleX = floatToInt(static_cast<float>(x) * frame.wf);
          const std::uint8_t* columnNeed = need.data() + static_cast<std::size_t>(x) * height;
          const std::uint8_t* columnTested = tested ? tested + static_cast<std::size_t>(x) * height : nullptr;
          for (std::int32_t y = 0; y < height; ++y) {
            if (!texelRead(columnNeed[y], light.layer)) continue;
            if (columnTested && texelRead(columnTested[y], light.layer)) continue;
            const std::int32_t sampleY = floatToInt(static_cast<float>(y) * frame.hf);
            if (grid.occluded(sampleX, sampleY, lx, ly, hint)) column[y] = 0;
          }
        }
      });
    }
    if (soft) softenInto(hard, maps[k], width, height, blurRadius);
  }
  if (stop.stop_requested()) return {};
  return maps;
}

}  // namespace vorlane::lighting::detail
