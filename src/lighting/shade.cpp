#include <algorithm>
#include <cmath>

#include "lighting/passes.h"
#include "lighting/render.h"

namespace vorlane::lighting::detail {

using base::floatToInt;

std::vector<LightParams> lightParams(const map::Map& map, const Frame& frame,
                                     const std::vector<const std::vector<std::uint8_t>*>& shadowMaps) {
  const std::size_t size = static_cast<std::size_t>(frame.width) * frame.height;
  std::vector<LightParams> lights;
  lights.reserve(map.lights.size());
  for (std::size_t k = 0; k < map.lights.size(); ++k) {
    const map::Light& l = *map.lights[k];
    const auto* m = k < shadowMaps.size() ? shadowMaps[k] : nullptr;
    const std::uint8_t* shadow = size > 0 && m && m->size() == size ? m->data() : nullptr;
    lights.push_back({l.x, l.y, l.red, l.green, l.blue, l.range, l.layer, shadow});
  }
  return lights;
}

namespace {

// Per-thread buffers for one image column, reused from cell to cell.
struct ColumnScratch {
  std::vector<float> nx, ny, nz, shade, r, g, b;
  std::vector<std::uint8_t> colour;  // 4 bytes a pixel
  void resize(std::size_t n) {
    for (auto* v : {&nx, &ny, &nz, &shade, &r, &g, &b}) v->resize(n);
    colour.resize(n * 4);
  }
};

// Int of the channel product plus the ambient, then clamped to 0..255 (Int's minimum for a
// NaN or an out-of-range product ends as 0).
inline std::uint8_t channel(std::uint8_t colour, float sum, float intensity, std::int32_t ambient) {
  std::int64_t v = std::int64_t{floatToInt(static_cast<float>(colour) * (sum / 255.0f * intensity))} + ambient;
  return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Adds one light's term to every pixel of a column: the order of operations is the
// renderer's definition, kept exactly; the loop only runs several pixels at once (wider
// vectors where the processor has them: IEEE division and square root round the same).
[[gnu::target_clones("avx512f", "avx2", "default")]] void addLight(const LightParams& L, float px, const float* __restrict py, std::size_t n, ColumnScratch& s) {
  const float dz = kLightHeight;
  const float dx = L.x - px;
  const float red = L.red, green = L.green, blue = L.blue, range = L.range, ly = L.y;
  const float* __restrict nx = s.nx.data();
  const float* __restrict ny = s.ny.data();
  const float* __restrict nz = s.nz.data();
  const float* __restrict shade = s.shade.data();
  float* __restrict r = s.r.data();
  float* __restrict g = s.g.data();
  float* __restrict b = s.b.data();
#pragma omp simd
  for (std::size_t j = 0; j < n; ++j) {
    const float dy = ly - py[j];
    const float dist = std::sqrt(dx * dx + dy * dy + dz * dz);
    const float dirX = dx / dist, dirY = -dy / dist, dirZ = dz / dist;
    const float att = 1.0f - dist / range;
    const float f = dirX * nx[j] + dirY * ny[j] + dirZ * nz[j];
    const float termR = red * f * att * shade[j];
    const float termG = green * f * att * shade[j];
    const float termB = blue * f * att * shade[j];
    // Adding +0 where the pixel does not face the light leaves the sum as it was (sums start
    // at +0, so never hold -0); the terms there may be NaN and are dropped.
    const bool facing = f > 0;
    r[j] += facing ? termR : 0.0f;
    g[j] += facing ? termG : 0.0f;
    b[j] += facing ? termB : 0.0f;
  }
}

// Every shadow factor's value / 255, computed once.
struct ShadeTable {
  float values[256];
  ShadeTable() {
    for (int v = 0; v < 256; ++v) values[v] = static_cast<float>(v) / 255.0f;
  }
};
const ShadeTable shadeTable;

// Normal bytes (held as floats) to unit vectors, as the lighting defines them.
void decodeNormals(ColumnScratch& s, std::size_t n) {
  float* __restrict nx = s.nx.data();
  float* __restrict ny = s.ny.data();
  float* __restrict nz = s.nz.data();
#pragma omp simd
  for (std::size_t j = 0; j < n; ++j) {
    const float x = 2.0f * nx[j] / 255.0f - 1.0f;
    const float y = 2.0f * ny[j] / 255.0f - 1.0f;
    const float z = 2.0f * nz[j] / 255.0f - 1.0f;
    const float len = std::sqrt(x * x + y * y + z * z);
    nx[j] = x / len;
    ny[j] = y / len;
    nz[j] = z / len;
  }
}

// Lights every pixel of `source` into `lit` (same size, both sides at least 1).
void shadePixels(const map::Map& map, const Frame& frame, const std::vector<LightParams>& lights, const Tone& tone,
                 const tiles::Tile& source, platform::Image& lit, std::int32_t column, std::int32_t row,
                 std::int32_t layer) {
  const platform::Image* image = source.image.get();
  const std::int32_t w = image->width, h = image->height;
  thread_local CellSampling sampling;
  thread_local ColumnScratch s;
  sampling.compute(map, frame, column, row, w, h);
  s.resize(static_cast<std::size_t>(h));
  const tiles::ChannelGrid* colours = source.colourGrid.get();
  const tiles::ChannelGrid* normals = source.normalGrid.get();
  const std::size_t n = static_cast<std::size_t>(h);

  for (std::int32_t i = 0; i < w; ++i) {
    const bool colourColumn = colours && i < colours->width;
    const bool normalColumn = normals && i < normals->width;
    for (std::int32_t j = 0; j < h; ++j) {
      const std::uint8_t* c = colourColumn && j < colours->height ? colours->at(i, j) : image->at(i, j);
      std::copy(c, c + 4, s.colour.data() + 4 * j);
      const std::uint8_t* nm = normalColumn && j < normals->height ? normals->at(i, j) : tiles::kFlatNormal;
      s.nx[j] = nm[2];
      s.ny[j] = nm[1];
      s.nz[j] = nm[0];
    }
    decodeNormals(s, n);
    std::fill(s.r.begin(), s.r.end(), 0.0f);
    std::fill(s.g.begin(), s.g.end(), 0.0f);
    std::fill(s.b.begin(), s.b.end(), 0.0f);
    const std::size_t texelColumn = static_cast<std::size_t>(sampling.tx[i]) * frame.height;
    for (const LightParams& L : lights) {
      if (layer < L.layer && L.shadow) {
        const std::uint8_t* shadow = L.shadow + texelColumn;
        for (std::int32_t j = 0; j < h; ++j) s.shade[j] = shadeTable.values[shadow[sampling.ty[j]]];
      } else {
        std::fill(s.shade.begin(), s.shade.end(), 1.0f);
      }
      addLight(L, sampling.px[i], sampling.py.data(), n, s);
    }
    for (std::int32_t j = 0; j < h; ++j) {
      const std::uint8_t* c = s.colour.data() + 4 * j;
      std::uint8_t* out = lit.at(i, j);
      out[0] = channel(c[0], s.r[j], tone.intensity, tone.ambient[0]);
      out[1] = channel(c[1], s.g[j], tone.intensity, tone.ambient[1]);
      out[2] = channel(c[2], s.b[j], tone.intensity, tone.ambient[2]);
      out[3] = c[3];
    }
  }
}

}  // namespace

void lightCell(const map::Map& map, const Frame& frame, const std::vector<LightParams>& lights, const Tone& tone,
               const tiles::Tile& source, tiles::Tile& target, std::int32_t column, std::int32_t row,
               std::int32_t layer, tiles::ChannelGridPtr flatNormals) {
  const std::int32_t w = imageWidth(source), h = imageHeight(source);
  auto lit = std::make_shared<platform::Image>(w, h);
  // An image without pixels may still be huge along one side: nothing to light.
  if (w > 0 && h > 0) shadePixels(map, frame, lights, tone, source, *lit, column, row, layer);
  target.image = lit;
  target.frame = 0;
  target.path.clear();
  target.castShadows = 0;
  target.collider = 0;
  target.colourGrid = tiles::ChannelGrid::fromImage(*lit);
  target.normalGrid = flatNormals ? std::move(flatNormals) : tiles::ChannelGrid::flatNormals(w, h);
}

}  // namespace vorlane::lighting::detail
