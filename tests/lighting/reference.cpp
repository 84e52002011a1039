#include "lighting/reference.h"

#include <algorithm>
#include <cmath>

#include "base/convert.h"

namespace vorlane::reference {

using base::floatToInt;

bool segmentsIntersect(float ax, float ay, float bx, float by, float cx, float cy, float dx, float dy) {
  float den = (dy - cy) * (bx - ax) - (dx - cx) * (by - ay);
  if (std::fabs(den) < 0.0001f) return false;
  float ua = ((dx - cx) * (ay - cy) - (dy - cy) * (ax - cx)) / den;
  float ub = ((bx - ax) * (ay - cy) - (by - ay) * (ax - cx)) / den;
  return ua > 0 && ua < 1 && ub > 0 && ub < 1;
}

bool isOccluded(const map::Map& map, std::int32_t x, std::int32_t y, std::int32_t lightX, std::int32_t lightY,
                std::int32_t layer) {
  if (layer < 0 || layer >= map.depth) return false;
  const float ax = static_cast<float>(x), ay = static_cast<float>(y);
  const float bx = static_cast<float>(lightX), by = static_cast<float>(lightY);
  const std::int64_t tw = map.tileWidth, th = map.tileHeight;
  for (std::int32_t i = 0; i < map.width; ++i) {
    for (std::int32_t j = 0; j < map.height; ++j) {
      if (!map.cell(i, j, layer)) continue;
      const std::int64_t X = i * tw, Y = j * th;
      auto f = [](std::int64_t v) { return static_cast<float>(v); };
      if (segmentsIntersect(ax, ay, bx, by, f(X - 2), f(Y), f(X + tw + 4), f(Y))) return true;
      if (segmentsIntersect(ax, ay, bx, by, f(X), f(Y - 2), f(X), f(Y + th + 4))) return true;
      if (segmentsIntersect(ax, ay, bx, by, f(X - 2), f(Y + th), f(X + tw + 4), f(Y + th))) return true;
      if (segmentsIntersect(ax, ay, bx, by, f(X + tw), f(Y - 2), f(X + tw), f(Y + th + 4))) return true;
    }
  }
  return false;
}

namespace {
float mapWidth(const map::Map& m) { return static_cast<float>(std::int64_t{m.width} * m.tileWidth); }
float mapHeight(const map::Map& m) { return static_cast<float>(std::int64_t{m.height} * m.tileHeight); }
}  // namespace

std::vector<std::uint8_t> hardShadowMap(const map::Map& map, const map::Light& light, std::int32_t width,
                                        std::int32_t height) {
  const float wf = mapWidth(map) / static_cast<float>(width);
  const float hf = mapHeight(map) / static_cast<float>(height);
  std::vector<std::uint8_t> s(static_cast<std::size_t>(width) * height);
  for (std::int32_t x = 0; x < width; ++x)
    for (std::int32_t y = 0; y < height; ++y)
      s[static_cast<std::size_t>(x) * height + y] =
          isOccluded(map, floatToInt(static_cast<float>(x) * wf), floatToInt(static_cast<float>(y) * hf),
                     floatToInt(light.x), floatToInt(light.y), light.layer)
              ? 0
              : 255;
  return s;
}

std::vector<std::uint8_t> soften(const std::vector<std::uint8_t>& hard, std::int32_t width, std::int32_t height,
                                 float blurRadius) {
  const std::int64_t a = floatToInt(-blurRadius), b = floatToInt(blurRadius);
  std::vector<std::uint8_t> g(hard.size());
  for (std::int64_t x = 0; x < width; ++x) {
    for (std::int64_t y = 0; y < height; ++y) {
      std::int64_t sum = 0;
      // Samples outside the grid are left out; the loop skips them wholesale.
      for (std::int64_t u = std::max(a, -x); u <= b && x + u < width; ++u)
        for (std::int64_t v = std::max(a, -y); v <= b && y + v < height; ++v)
          sum += hard[static_cast<std::size_t>(x + u) * height + (y + v)];
      std::int32_t value = floatToInt(static_cast<float>(sum) / (blurRadius * blurRadius));
      if (value > 255) value = 255;
      if (value < 0) value = 0;  // pinned: a radius of 0 or NaN would leave Int's minimum
      g[static_cast<std::size_t>(x) * height + y] = static_cast<std::uint8_t>(value);
    }
  }
  return g;
}

void lightTile(const map::Map& map, const ShadowMaps& shadows, const tiles::Tile& source, tiles::Tile& target,
               std::int32_t column, std::int32_t row, std::int32_t layer,
               std::vector<std::vector<std::uint8_t>>* reads) {
  const platform::Image* img = source.image.get();
  const std::int32_t imgW = img ? img->width : 0, imgH = img ? img->height : 0;
  auto out = std::make_shared<platform::Image>(imgW, imgH);
  const float sx = static_cast<float>(map.tileWidth) / static_cast<float>(imgW);
  const float sy = static_cast<float>(map.tileHeight) / static_cast<float>(imgH);
  const float kx = static_cast<float>(shadows.width) / mapWidth(map);
  const float ky = static_cast<float>(shadows.height) / mapHeight(map);
  const std::int32_t W = shadows.width, H = shadows.height;
  const auto* cg = source.colourGrid.get();
  const auto* ng = source.normalGrid.get();
  for (std::int32_t i = 0; i < imgW; ++i) {
    for (std::int32_t j = 0; j < imgH; ++j) {
      float px = static_cast<float>(std::int64_t{column} * map.tileWidth) + static_cast<float>(i) * sx;
      float py = static_cast<float>(std::int64_t{row} * map.tileHeight) + static_cast<float>(j) * sy;
      // Pinned: pixels beyond a small or missing grid use the image pixel and the flat normal.
      const std::uint8_t* nm = (ng && i < ng->width && j < ng->height) ? ng->at(i, j) : tiles::kFlatNormal;
      const std::uint8_t* col = (cg && i < cg->width && j < cg->height) ? cg->at(i, j) : img->at(i, j);
      float nx = 2 * static_cast<float>(nm[2]) / 255 - 1;
      float ny = 2 * static_cast<float>(nm[1]) / 255 - 1;
      float nz = 2 * static_cast<float>(nm[0]) / 255 - 1;
      float len = std::sqrt(nx * nx + ny * ny + nz * nz);
      nx = nx / len;
      ny = ny / len;
      nz = nz / len;
      std::int32_t tx = floatToInt(px * kx), ty = floatToInt(py * ky);
      tx = std::clamp(tx, 0, W - 1);  // pinned
      ty = std::clamp(ty, 0, H - 1);
      float aR = 0, aG = 0, aB = 0;
      for (std::size_t k = 0; k < map.lights.size(); ++k) {
        const map::Light& L = *map.lights[k];
        float dx = L.x - px, dy = L.y - py, dz = 45;
        float dist = std::sqrt(dx * dx + dy * dy + dz * dz);
        float dirX = dx / dist, dirY = -dy / dist, dirZ = dz / dist;
        float att = 1 - dist / L.range;
        float f = dirX * nx + dirY * ny + dirZ * nz;
        float s = 1;
        if (layer < L.layer) {
          s = static_cast<float>(shadows.maps[k][static_cast<std::size_t>(tx) * H + ty]) / 255;
          if (reads) (*reads)[k][static_cast<std::size_t>(tx) * H + ty] = 1;
        }
        if (f > 0) {
          aR += L.red * f * att * s;
          aG += L.green * f * att * s;
          aB += L.blue * f * att * s;
        }
      }
      auto clamp255 = [](std::int32_t v) { return static_cast<std::uint8_t>(v > 255 ? 255 : (v < 0 ? 0 : v)); };
      std::uint8_t* p = out->at(i, j);
      p[0] = clamp255(floatToInt(static_cast<float>(col[0]) * (aR / 255 * 4)));
      p[1] = clamp255(floatToInt(static_cast<float>(col[1]) * (aG / 255 * 4)));
      p[2] = clamp255(floatToInt(static_cast<float>(col[2]) * (aB / 255 * 4)));
      p[3] = col[3];
    }
  }
  target.image = out;
  target.colourGrid = tiles::ChannelGrid::fromImage(*out);
  target.normalGrid = tiles::ChannelGrid::flatNormals(imgW, imgH);
}

Rendered renderLightmap(const map::Map& map, std::int32_t width, std::int32_t height, std::int32_t soft,
                        float blurRadius, std::vector<std::vector<std::uint8_t>>* reads) {
  Rendered out{nullptr, {width, height, {}}};
  for (const auto& light : map.lights) {
    auto shadow = hardShadowMap(map, *light, width, height);
    if (soft != 0) shadow = soften(shadow, width, height, blurRadius);
    out.shadows.maps.push_back(std::move(shadow));
  }
  if (reads) reads->assign(map.lights.size(), std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height, 0));
  out.lit = map::Map::create(map.width, map.height, map.depth, map.tileWidth, map.tileHeight);
  for (std::int32_t c = 0; c < map.width; ++c)
    for (std::int32_t r = 0; r < map.height; ++r)
      for (std::int32_t d = 0; d < map.depth; ++d)
        if (const auto& tile = map.cell(c, r, d)) {
          auto t = std::make_shared<tiles::Tile>();
          out.lit->setCell(c, r, d, t);
          lightTile(map, out.shadows, *tile, *t, c, r, d, reads);
        }
  return out;
}

}  // namespace vorlane::reference
