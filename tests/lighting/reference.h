#pragma once
// The renderer exactly as defined, written plainly: every texel tests every cell, every pixel
// every light. Slow on purpose; the fast renderer must give the same bytes.
#include <cstdint>
#include <vector>

#include "map/map.h"
#include "tiles/tile.h"

namespace vorlane::reference {

bool segmentsIntersect(float ax, float ay, float bx, float by, float cx, float cy, float dx, float dy);
bool isOccluded(const map::Map& map, std::int32_t x, std::int32_t y, std::int32_t lightX, std::int32_t lightY,
                std::int32_t layer);

// One light's hard shadow map (x-major), every texel computed.
std::vector<std::uint8_t> hardShadowMap(const map::Map& map, const map::Light& light, std::int32_t width,
                                        std::int32_t height);
std::vector<std::uint8_t> soften(const std::vector<std::uint8_t>& hard, std::int32_t width, std::int32_t height,
                                 float blurRadius);

// Every light's shadow map (list order, x-major) at one resolution.
struct ShadowMaps {
  std::int32_t width = 0, height = 0;
  std::vector<std::vector<std::uint8_t>> maps;
};

// Lights one tile with these shadow maps; when `reads` is given, marks the texels each light's
// shadow map is read at (reads[light][x * H + y] = 1).
void lightTile(const map::Map& map, const ShadowMaps& shadows, const tiles::Tile& source, tiles::Tile& target,
               std::int32_t column, std::int32_t row, std::int32_t layer,
               std::vector<std::vector<std::uint8_t>>* reads = nullptr);

// The whole render with the renderer's pinned choices: the lit map and the shadow maps it was
// lit with. Fills `reads` like lightTile.
struct Rendered {
  map::MapPtr lit;
  ShadowMaps shadows;
};
Rendered renderLightmap(const map::Map& map, std::int32_t width, std::int32_t height, std::int32_t soft,
                        float blurRadius, std::vector<std::vector<std::uint8_t>>* reads = nullptr);

}  // namespace vorlane::reference
