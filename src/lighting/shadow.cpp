#include <omp.h>

#include <algorithm>

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
    tx[i] = clampIndex(toInt(px[i] * frame.kx), frame.width);
  }
  for (std::int32_t j = 0; j < imageHeight; ++j) {
    py[j] = top + static_cast<float>(j) * sy;
    ty[j] = clampIndex(toInt(py[j] * frame.ky), frame.height);
  }
}

namespace {

std::int32_t imageWidth(const tiles::Tile& t) { return t.image ? std::max(t.image->width, 0) : 0; }
std::int32_t imageHeight(const tiles::Tile& t) { return t.image ? std::max(t.image->height, 0) : 0; }

void dedupe(std::vector<std::int32_t>& v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
}

// Calls sink(x, y, sum) with the total of src over the box [x + lo, x + hi] × [y + lo, y + hi]
// clipped to the grid, using running sums: each thread slides a window of column totals.
template <typename Sink>
void boxSums(const std::uint8_t* src, std::int32_t width, std::int32_t height, std::int64_t lo, std::int64_t hi,
             Sink sink) {
  const std::size_t h = static_cast<std::size_t>(height);
#pragma omp parallel
  {
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
}

}  // namespace

std::vector<std::uint8_t> lowestReadingLayer(const map::Map& map, const Frame& frame) {
  std::vector<std::uint8_t> lowest(static_cast<std::size_t>(frame.width) * frame.height, 255);
  CellSampling s;
  for (std::int32_t c = 0; c < map.width; ++c) {
    for (std::int32_t r = 0; r < map.height; ++r) {
      for (std::int32_t d = 0; d < map.depth; ++d) {
        const auto& tile = map.cells[map.cellIndex(c, r, d)];
        if (!tile) continue;
        s.compute(map, frame, c, r, imageWidth(*tile), imageHeight(*tile));
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
  const float area = blurRadius * blurRadius;
  boxSums(hard.data(), width, height, floatToInt(-blurRadius), floatToInt(blurRadius),
          [&](std::int32_t x, std::int32_t y, std::int64_t sum) {
            std::int32_t v = floatToInt(static_cast<float>(sum) / area);
            soft[static_cast<std::size_t>(x) * height + y] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
          });
  return soft;
}

std::vector<std::uint8_t> shadowMap(const map::Map& map, const map::Light& light, const Frame& frame,
                                    const std::vector<std::uint8_t>& lowest, bool soft, float blurRadius) {
  const std::int32_t width = frame.width, height = frame.height;
  const std::size_t size = static_cast<std::size_t>(width) * height;
  std::vector<std::uint8_t> result(size, 255);
  OccluderGrid grid(map, light.layer);
  if (!grid.empty()) {
    std::vector<std::uint8_t> needed(size, 1);
    if (!lowest.empty()) {
      for (std::size_t t = 0; t < size; ++t) needed[t] = texelRead(lowest[t], light.layer);
      if (soft) {
        // A hard texel matters when a read soft texel's box covers it.
        std::vector<std::uint8_t> read = std::move(needed);
        needed.assign(size, 0);
        boxSums(read.data(), width, height, -std::int64_t{floatToInt(blurRadius)},
                -std::int64_t{floatToInt(-blurRadius)}, [&](std::int32_t x, std::int32_t y, std::int64_t sum) {
                  needed[static_cast<std::size_t>(x) * height + y] = sum > 0;
                });
      }
    }
    const std::int32_t lx = floatToInt(light.x), ly = floatToInt(light.y);
#pragma omp parallel
    {
      OcclusionHint hint;
#pragma omp for schedule(dynamic, 2)
      for (std::int32_t x = 0; x < width; ++x) {
        const std::int32_t sampleX = toInt(static_cast<float>(x) * frame.wf);
        std::uint8_t* column = result.data() + static_cast<std::size_t>(x) * height;
        const std::uint8_t* need = needed.data() + static_cast<std::size_t>(x) * height;
        for (std::int32_t y = 0; y < height; ++y) {
          if (!need[y]) continue;
          const std::int32_t sampleY = toInt(static_cast<float>(y) * frame.hf);
          if (grid.occluded(sampleX, sampleY, lx, ly, hint)) column[y] = 0;
        }
      }
    }
  }
  if (soft) result = soften(result, width, height, blurRadius);
  return result;
}

}  // namespace vorlane::lighting::detail
