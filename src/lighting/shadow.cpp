#include <omp.h>

#include <algorithm>
#include <map>
#include <memory>

#include "lighting/occlusion.h"
#include "lighting/passes.h"

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
                           std::int32_t imageWidth, std::int32_t imageHeight) {
  const float sx = static_cast<float>(map.tileWidth) / static_cast<float>(imageWidth);
  const float sy = static_cast<float>(map.tileHeight) / static_cast<float>(imageHeight);
  const float left = static_cast<float>(std::int64_t{column} * map.tileWidth);
  const float top = static_cast<float>(std::int64_t{row} * map.tileHeight);
  px.resize(static_cast<std::size_t>(imageWidth));
  tx.resize(static_cast<std::size_t>(imageWidth));
  py.resize(static_cast<std::size_t>(imageHeight));
  ty.resize(static_cast<std::size_t>(imageHeight));
  for (std::int32_t i = 0; i < imageWidth; ++i) {
    px[i] = left + static_cast<float>(i) * sx;
    tx[i] = clampIndex(floatToInt(px[i] * frame.kx), frame.width);
  }
  for (std::int32_t j = 0; j < imageHeight; ++j) {
    py[j] = top + static_cast<float>(j) * sy;
    ty[j] = clampIndex(floatToInt(py[j] * frame.ky), frame.height);
  }
}

namespace {

void dedupe(std::vector<std::int32_t>& v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
}

// Calls sink(x, y, sum) with the total of src over the box [x + lo, x + hi] × [y + lo, y + hi]
// clipped to the grid, using running sums: each thread of the current team (or the caller
// alone) slides a window of column totals over its own share of the columns. The caller
// places a barrier before the sums are read.
template <typename Sink>
void boxSums(const std::uint8_t* src, std::int32_t width, std::int32_t height, std::int64_t lo, std::int64_t hi,
             Sink sink) {
  const std::size_t h = static_cast<std::size_t>(height);
  const std::int32_t threads = omp_get_num_threads(), me = omp_get_thread_num();
  const std::int32_t x0 = static_cast<std::int32_t>(std::int64_t{width} * me / threads);
  const std::int32_t x1 = static_cast<std::int32_t>(std::int64_t{width} * (me + 1) / threads);
  std::vector<std::int64_t> acc(h, 0), prefix(h + 1, 0);
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
  boxSums(hard.data(), width, height, floatToInt(-blurRadius), floatToInt(blurRadius),
          [&](std::int32_t x, std::int32_t y, std::int64_t sum) {
            std::int32_t v = floatToInt(static_cast<float>(sum) / area);
            soft[static_cast<std::size_t>(x) * height + y] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
          });
}

}  // namespace

std::vector<std::uint8_t> lowestReadingLayer(const map::Map& map, const Frame& frame) {
  std::vector<std::uint8_t> lowest(static_cast<std::size_t>(frame.width) * frame.height, 255);
  if (map.cells.empty()) return lowest;  // one side may still be huge
  CellSampling s;
  for (std::int32_t c = 0; c < map.width; ++c) {
    for (std::int32_t r = 0; r < map.height; ++r) {
      for (std::int32_t d = 0; d < map.depth; ++d) {
        const auto& tile = map.cells[map.cellIndex(c, r, d)];
        if (!tile) continue;
        // An image without pixels reads no texel; its other side may be huge.
        const std::int32_t w = imageWidth(*tile), h = imageHeight(*tile);
        if (w == 0 || h == 0) continue;
        s.compute(map, frame, c, r, w, h);
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
#pragma omp parallel
  softenInto(hard, soft, width, height, blurRadius);
  return soft;
}

namespace {

// The minimum of `values` over the box [x + lo, x + hi] × [y + lo, y + hi] clipped to the
// grid (255 for an empty box), separably, by the van Herk / Gil-Werman block method. Boxes
// clipped by the border may get a lower value, which only has a texel tested needlessly.
std::vector<std::uint8_t> boxMinimum(const std::vector<std::uint8_t>& values, std::int32_t width,
                                     std::int32_t height, std::int64_t lo, std::int64_t hi) {
  auto pass = [&](const std::vector<std::uint8_t>& in, std::int32_t n, std::int32_t lines, std::size_t stride,
                  std::size_t lineStride) {
    std::vector<std::uint8_t> out(in.size(), 255), line(static_cast<std::size_t>(n)),
        forward(static_cast<std::size_t>(n)), backward(static_cast<std::size_t>(n));
    const std::int64_t span = hi - lo + 1;
    if (span <= 0) return out;
    const std::int64_t block = std::min<std::int64_t>(span, n);
#pragma omp parallel for schedule(static) firstprivate(line, forward, backward)
    for (std::int32_t l = 0; l < lines; ++l) {
      const std::uint8_t* src = in.data() + static_cast<std::size_t>(l) * lineStride;
      std::uint8_t* dst = out.data() + static_cast<std::size_t>(l) * lineStride;
      for (std::int64_t i = 0; i < n; ++i) line[i] = src[static_cast<std::size_t>(i) * stride];
      for (std::int64_t start = 0; start < n; start += block) {
        const std::int64_t end = std::min<std::int64_t>(start + block, n) - 1;
        forward[start] = line[start];
        for (std::int64_t i = start + 1; i <= end; ++i) forward[i] = std::min(forward[i - 1], line[i]);
        backward[end] = line[end];
        for (std::int64_t i = end - 1; i >= start; --i) backward[i] = std::min(backward[i + 1], line[i]);
      }
      for (std::int64_t i = 0; i < n; ++i) {
        const std::int64_t a = std::max<std::int64_t>(0, i + lo), b = std::min<std::int64_t>(n - 1, i + hi);
        // A window of at most `block` entries covers at most two blocks.
        if (a <= b) dst[static_cast<std::size_t>(i) * stride] = std::min(backward[a], forward[b]);
      }
    }
    return out;
  };
  const std::size_t h = static_cast<std::size_t>(height);
  auto columns = pass(values, height, width, 1, h);   // along y within each column
  return pass(columns, width, height, h, 1);           // along x within each row
}

}  // namespace

// One team for all lights: a parallel region costs a wake-up of every thread and each
// barrier a wait for the slowest, which a busy machine makes slow; hard maps need no
// barrier between lights, soft ones one each, before the box reads the light's hard map.
std::vector<std::vector<std::uint8_t>> shadowMaps(const map::Map& map, const Frame& frame, bool soft,
                                                  float blurRadius, Blockers blockers,
                                                  const std::function<void(float)>& progress, std::stop_token stop) {
  const std::int32_t width = frame.width, height = frame.height;
  const std::size_t size = static_cast<std::size_t>(width) * height;
  const std::size_t n = map.lights.size();
  const std::vector<std::uint8_t> lowest = lowestReadingLayer(map, frame);
  // For soft maps a hard texel matters when the box of a read soft texel covers it.
  const std::vector<std::uint8_t> lowestNear =
      soft ? boxMinimum(lowest, width, height, -std::int64_t{floatToInt(blurRadius)},
                        -std::int64_t{floatToInt(-blurRadius)})
           : std::vector<std::uint8_t>{};
  const std::vector<std::uint8_t>& need = soft ? lowestNear : lowest;

  std::map<std::int32_t, std::unique_ptr<OccluderGrid>> grids;  // one per light layer
  const OccluderGrid none(map, -1);
  std::vector<const OccluderGrid*> gridOf(n);
  for (std::size_t k = 0; k < n; ++k) {
    if (!blockers.casts(*map.lights[k])) {
      gridOf[k] = &none;
      continue;
    }
    auto& grid = grids[map.lights[k]->layer];
    if (!grid) grid = std::make_unique<OccluderGrid>(map, map.lights[k]->layer, blockers.castShadows);
    gridOf[k] = grid.get();
  }
  // The results; soft ones are softened from two hard maps taken in turn, so that only two
  // are alive at once.
  std::vector<std::vector<std::uint8_t>> maps(n, std::vector<std::uint8_t>(size, 255));
  std::vector<std::vector<std::uint8_t>> hard(soft ? std::min<std::size_t>(n, 2) : 0, std::vector<std::uint8_t>(size));
#pragma omp parallel
  {
    OcclusionHint hint;
    for (std::size_t k = 0; k < n; ++k) {
      if (omp_get_thread_num() == 0 && progress) progress(static_cast<float>(k) / static_cast<float>(n));
      const map::Light& light = *map.lights[k];
      const OccluderGrid& grid = *gridOf[k];
      const std::int32_t lx = floatToInt(light.x), ly = floatToInt(light.y);
      std::uint8_t* factors = soft ? hard[k % 2].data() : maps[k].data();
      hint = {};
      // No barrier between lights: a soft light's hard map was last read two lights ago,
      // before the barrier of the previous light.
#pragma omp for schedule(dynamic, 2) nowait
      for (std::int32_t x = 0; x < width; ++x) {
        std::uint8_t* column = factors + static_cast<std::size_t>(x) * height;
        if (soft) std::fill(column, column + height, 255);
        if (grid.empty() || stop.stop_requested()) continue;
        const std::int32_t sampleX = floatToInt(static_cast<float>(x) * frame.wf);
        const std::uint8_t* columnNeed = need.data() + static_cast<std::size_t>(x) * height;
        for (std::int32_t y = 0; y < height; ++y) {
          if (!texelRead(columnNeed[y], light.layer)) continue;
          const std::int32_t sampleY = floatToInt(static_cast<float>(y) * frame.hf);
          if (grid.occluded(sampleX, sampleY, lx, ly, hint)) column[y] = 0;
        }
      }
      if (soft) {
#pragma omp barrier
        softenInto(hard[k % 2], maps[k], width, height, blurRadius);
      }
    }
  }
  if (stop.stop_requested()) return {};
  return maps;
}

}  // namespace vorlane::lighting::detail
