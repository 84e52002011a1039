#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

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
    lights.push_back({&l, shadow});
  }
  return lights;
}

namespace {

// Pixels lit together: a block of whole image columns of about this many pixels, so that the
// loops below run long in vector lanes whatever the image's shape, and the buffers stay in
// the core's cache.
constexpr std::size_t kBlockPixels = 512;

// Per-thread buffers for one block of pixels, in column order (p = column * h + row),
// reused from cell to cell.
// Pixels are held as their four channel bytes in one 32-bit word, channel 0 lowest.
struct BlockScratch {
  std::vector<float> px, py, nx, ny, nz, shade, r, g, b;
  std::vector<std::uint32_t> colour;  // the source's channels
  std::vector<std::uint32_t> normal;  // the normal's channels
  std::vector<std::uint32_t> lit;     // the result
  void resize(std::size_t n) {
    for (auto* v : {&px, &py, &nx, &ny, &nz, &shade, &r, &g, &b}) v->resize(n);
    for (auto* v : {&colour, &normal, &lit}) v->resize(n);
  }
};

static_assert(std::endian::native == std::endian::little, "pixel words hold channel 0 in their lowest byte");

inline float byteOf(std::uint32_t word, int k) { return static_cast<float>((word >> (8 * k)) & 0xFFu); }

// Adds one light's term to every pixel of a block: the order of operations is the
// renderer's definition, kept exactly; the loop only runs several pixels at once (wider
// vectors where the processor has them: IEEE division and square root round the same).
// Unshaded lights skip the product with a factor of 1, which changes no value.
// The body is a template inlined into one multiversioned function per variant: clang
// cannot multiversion templates.
template <bool Shaded>
[[gnu::always_inline]] inline void addLightBody(const LightParams& L, std::size_t n, BlockScratch& s) {
  const float dz = kLightHeight;
  const float dz2 = dz * dz;
  const map::Light& l = *L.light;
  const float red = l.red, green = l.green, blue = l.blue, range = l.range, lx = l.x, ly = l.y;
  const float* __restrict px = s.px.data();
  const float* __restrict py = s.py.data();
  const float* __restrict nx = s.nx.data();
  const float* __restrict ny = s.ny.data();
  const float* __restrict nz = s.nz.data();
  const float* __restrict shade = s.shade.data();
  float* __restrict r = s.r.data();
  float* __restrict g = s.g.data();
  float* __restrict b = s.b.data();
#pragma omp simd
  for (std::size_t p = 0; p < n; ++p) {
    const float dx = lx - px[p];
    const float dy = ly - py[p];
    const float dist = std::sqrt(dx * dx + dy * dy + dz2);
    const float dirX = dx / dist, dirY = -dy / dist, dirZ = dz / dist;
    const float att = 1.0f - dist / range;
    const float f = dirX * nx[p] + dirY * ny[p] + dirZ * nz[p];
    float termR = red * f * att, termG = green * f * att, termB = blue * f * att;
    if constexpr (Shaded) {
      termR = termR * shade[p];
      termG = termG * shade[p];
      termB = termB * shade[p];
    }
    // Adding +0 where the pixel does not face the light leaves the sum as it was (sums start
    // at +0, so never hold -0); the terms there may be NaN and are dropped.
    const bool facing = f > 0;
    r[p] += facing ? termR : 0.0f;
    g[p] += facing ? termG : 0.0f;
    b[p] += facing ? termB : 0.0f;
  }
}

[[gnu::target_clones("avx512f", "avx2", "default")]] void addShadedLight(const LightParams& L, std::size_t n,
                                                                        BlockScratch& s) {
  addLightBody<true>(L, n, s);
}

[[gnu::target_clones("avx512f", "avx2", "default")]] void addOpenLight(const LightParams& L, std::size_t n,
                                                                      BlockScratch& s) {
  addLightBody<false>(L, n, s);
}

// Every shadow factor's value / 255, computed once.
struct ShadeTable {
  float values[256];
  ShadeTable() {
    for (int v = 0; v < 256; ++v) values[v] = static_cast<float>(v) / 255.0f;
  }
};
const ShadeTable shadeTable;

// Normal bytes to unit vectors, as the lighting defines them: x in channel 2, y in 1, z in 0.
[[gnu::target_clones("avx512f", "avx2", "default")]] void decodeNormals(BlockScratch& s, std::size_t n) {
  const std::uint32_t* __restrict normal = s.normal.data();
  float* __restrict nx = s.nx.data();
  float* __restrict ny = s.ny.data();
  float* __restrict nz = s.nz.data();
#pragma omp simd
  for (std::size_t p = 0; p < n; ++p) {
    const float x = 2.0f * byteOf(normal[p], 2) / 255.0f - 1.0f;
    const float y = 2.0f * byteOf(normal[p], 1) / 255.0f - 1.0f;
    const float z = 2.0f * byteOf(normal[p], 0) / 255.0f - 1.0f;
    const float len = std::sqrt(x * x + y * y + z * z);
    nx[p] = x / len;
    ny[p] = y / len;
    nz[p] = z / len;
  }
}

// Int(colour × (sum / 255 × intensity)) + ambient, clamped to 0..255, for every pixel and
// channel. Int gives INT32_MIN for a product that is not a number or lies beyond the 32-bit
// range, which ends as 0; a product within it can be bounded to ±512 first, as the ambient
// is 0..255 and the clamp keeps only 0..255.
inline std::uint32_t channel(std::uint32_t colour, int k, float sum, float intensity, std::int32_t ambient) {
  const float v = byteOf(colour, k) * (sum / 255.0f * intensity);
  const bool inRange = (v >= -2147483648.0f) & (v < 2147483648.0f);
  const float low = v < -512.0f ? -512.0f : v;
  const float bounded = inRange ? (low > 512.0f ? 512.0f : low) : -512.0f;
  const std::int32_t t = static_cast<std::int32_t>(bounded) + ambient;
  return static_cast<std::uint32_t>(t < 0 ? 0 : (t > 255 ? 255 : t)) << (8 * k);
}

[[gnu::target_clones("avx512f", "avx2", "default")]] void finishChannels(const Tone& tone, std::size_t n,
                                                                         BlockScratch& s) {
  const std::uint32_t* __restrict colour = s.colour.data();
  const float* __restrict r = s.r.data();
  const float* __restrict g = s.g.data();
  const float* __restrict b = s.b.data();
  std::uint32_t* __restrict lit = s.lit.data();
  const float intensity = tone.intensity;
  const std::int32_t ambientR = tone.ambient[0], ambientG = tone.ambient[1], ambientB = tone.ambient[2];
#pragma omp simd
  for (std::size_t p = 0; p < n; ++p) {
    lit[p] = channel(colour[p], 0, r[p], intensity, ambientR) | channel(colour[p], 1, g[p], intensity, ambientG) |
             channel(colour[p], 2, b[p], intensity, ambientB) | (colour[p] & 0xFF000000u);
  }
}

// Copies column i's pixels from a grid, or a fallback where the grid is short.
void gatherColumn(const tiles::ChannelGrid* grid, std::int32_t i, std::int32_t h, const platform::Image* image,
                  const std::uint8_t* fallback, std::uint32_t* out) {
  const bool column = grid && i < grid->width;
  const std::int32_t inGrid = column ? std::min(h, grid->height) : 0;
  if (inGrid > 0) std::memcpy(out, grid->at(i, 0), 4 * static_cast<std::size_t>(inGrid));
  for (std::int32_t j = inGrid; j < h; ++j) std::memcpy(out + j, image ? image->at(i, j) : fallback, 4);
}

// Lights every pixel of `source` into `lit` (same size, both sides at least 1).
void shadePixels(const map::Map& map, const Frame& frame, const std::vector<LightParams>& lights, const Tone& tone,
                 const tiles::Tile& source, platform::Image& lit, std::int32_t column, std::int32_t row,
                 std::int32_t layer) {
  const platform::Image* image = source.image.get();
  const std::int32_t w = image->width, h = image->height;
  thread_local CellSampling sampling;
  thread_local BlockScratch s;
  sampling.compute(map, frame, column, row, w, h);
  const std::size_t hh = static_cast<std::size_t>(h);
  const std::int32_t columnsPerBlock = static_cast<std::int32_t>(std::max<std::size_t>(1, kBlockPixels / hh));
  s.resize(std::min<std::size_t>(static_cast<std::size_t>(columnsPerBlock), static_cast<std::size_t>(w)) * hh);

  for (std::int32_t i0 = 0; i0 < w; i0 += columnsPerBlock) {
    const std::int32_t i1 = std::min(w, i0 + columnsPerBlock);
    const std::size_t n = static_cast<std::size_t>(i1 - i0) * hh;
    for (std::int32_t i = i0; i < i1; ++i) {
      const std::size_t base = static_cast<std::size_t>(i - i0) * hh;
      gatherColumn(source.colourGrid.get(), i, h, image, nullptr, s.colour.data() + base);
      gatherColumn(source.normalGrid.get(), i, h, nullptr, tiles::kFlatNormal, s.normal.data() + base);
      std::fill_n(s.px.begin() + static_cast<std::ptrdiff_t>(base), hh, sampling.px[i]);
      std::copy_n(sampling.py.begin(), hh, s.py.begin() + static_cast<std::ptrdiff_t>(base));
    }
    decodeNormals(s, n);
    std::fill_n(s.r.begin(), n, 0.0f);
    std::fill_n(s.g.begin(), n, 0.0f);
    std::fill_n(s.b.begin(), n, 0.0f);
    for (const LightParams& L : lights) {
      if (layer < L.light->layer && L.shadow) {
        // Neighbouring columns mostly read the same texel column: look it up once.
        for (std::int32_t i = i0; i < i1; ++i) {
          float* shade = s.shade.data() + static_cast<std::size_t>(i - i0) * hh;
          if (i > i0 && sampling.tx[i] == sampling.tx[i - 1]) {
            std::copy_n(shade - hh, hh, shade);
            continue;
          }
          const std::uint8_t* texels = L.shadow + static_cast<std::size_t>(sampling.tx[i]) * frame.height;
          for (std::size_t j = 0; j < hh; ++j) shade[j] = shadeTable.values[texels[sampling.ty[j]]];
        }
        addShadedLight(L, n, s);
      } else {
        addOpenLight(L, n, s);
      }
    }
    finishChannels(tone, n, s);
    for (std::int32_t i = i0; i < i1; ++i) {
      const std::uint32_t* from = s.lit.data() + static_cast<std::size_t>(i - i0) * hh;
      for (std::int32_t j = 0; j < h; ++j) std::memcpy(lit.at(i, j), from + j, 4);
    }
  }
}

// One channel word of a grid, or of the fallback where the grid is short.
std::uint32_t gatherPixel(const tiles::ChannelGrid* grid, std::int32_t i, std::int32_t j, const platform::Image* image,
                          const std::uint8_t* fallback) {
  std::uint32_t word;
  const bool inGrid = grid && i < grid->width && j < grid->height;
  std::memcpy(&word, inGrid ? grid->at(i, j) : (image ? image->at(i, j) : fallback), 4);
  return word;
}

}  // namespace

void lightPoints(const map::Map& map, const Frame& frame, const std::vector<LightParams>& lights, const Tone& tone,
                 std::int32_t column, std::int32_t row0, std::int32_t row1, std::int32_t cellWidth,
                 std::int32_t cellHeight, std::uint8_t* picture, std::size_t rowPixels, std::size_t at) {
  // Points of many cells are lit together, so that a cell of a few points costs no more than
  // its share of a long run through the vector loops.
  constexpr std::size_t kRun = 2048;
  thread_local BlockScratch s;
  thread_local std::vector<std::int32_t> tx, ty, layers;
  thread_local std::vector<std::size_t> where;
  s.resize(kRun);
  tx.resize(kRun);
  ty.resize(kRun);
  layers.resize(kRun);
  where.resize(kRun);
  std::size_t n = 0;
  const auto flush = [&] {
    decodeNormals(s, n);
    std::fill_n(s.r.begin(), n, 0.0f);
    std::fill_n(s.g.begin(), n, 0.0f);
    std::fill_n(s.b.begin(), n, 0.0f);
    for (const LightParams& L : lights) {
      if (!L.shadow) {
        addOpenLight(L, n, s);
        continue;
      }
      // A factor of 1 where the point's layer is not below the light's changes no value.
      for (std::size_t p = 0; p < n; ++p)
        s.shade[p] = layers[p] < L.light->layer
                         ? shadeTable.values[L.shadow[static_cast<std::size_t>(tx[p]) * frame.height + ty[p]]]
                         : 1.0f;
      addShadedLight(L, n, s);
    }
    finishChannels(tone, n, s);
    for (std::size_t p = 0; p < n; ++p) std::memcpy(picture + where[p] * 4, &s.lit[p], 4);
    n = 0;
  };
  const std::int32_t depth = map.depth;
  for (std::int32_t row = row0; row < row1; ++row) {
    const std::size_t cellAt = at + static_cast<std::size_t>(row - row0) * static_cast<std::size_t>(cellHeight) * rowPixels;
    for (std::int32_t a = 0; a < cellWidth; ++a) {
      for (std::int32_t b = 0; b < cellHeight; ++b) {
        // The topmost pixel the mask lets through is the only one the canvas would show.
        for (std::int32_t d = depth - 1; d >= 0; --d) {
          const auto& tile = map.cells[map.cellIndex(column, row, d)];
          if (!tile) continue;
          const std::int32_t w = imageWidth(*tile), h = imageHeight(*tile);
          if (w == 0 || h == 0) continue;
          const std::int32_t i = sampledPixel(a, cellWidth, w), j = sampledPixel(b, cellHeight, h);
          const std::uint32_t colour = gatherPixel(tile->colourGrid.get(), i, j, tile->image.get(), nullptr);
          if ((colour >> 24) < 128) continue;
          if (n == kRun) flush();
          s.px[n] = mapPoint(column, map.tileWidth, w, i);
          s.py[n] = mapPoint(row, map.tileHeight, h, j);
          tx[n] = texelOf(s.px[n], frame.kx, frame.width);
          ty[n] = texelOf(s.py[n], frame.ky, frame.height);
          layers[n] = d;
          s.colour[n] = colour;
          s.normal[n] = gatherPixel(tile->normalGrid.get(), i, j, nullptr, tiles::kFlatNormal);
          where[n] = cellAt + static_cast<std::size_t>(b) * rowPixels + static_cast<std::size_t>(a);
          ++n;
          break;
        }
      }
    }
  }
  if (n > 0) flush();
}

void lightCell(const map::Map& map, const Frame& frame, const std::vector<LightParams>& lights, const Tone& tone,
               const tiles::Tile& source, tiles::Tile& target, std::int32_t column, std::int32_t row,
               std::int32_t layer, tiles::ChannelGridPtr flatNormals, bool withColourGrid) {
  const std::int32_t w = imageWidth(source), h = imageHeight(source);
  auto lit = std::make_shared<platform::Image>(w, h);
  // An image without pixels may still be huge along one side: nothing to light.
  if (w > 0 && h > 0) shadePixels(map, frame, lights, tone, source, *lit, column, row, layer);
  target.image = lit;
  target.frame = 0;
  target.path.clear();
  target.castShadows = 0;
  target.collider = 0;
  target.colourGrid = withColourGrid ? tiles::ChannelGrid::fromImage(*lit) : nullptr;
  target.normalGrid = flatNormals ? std::move(flatNormals) : tiles::ChannelGrid::flatNormals(w, h);
}

}  // namespace vorlane::lighting::detail
