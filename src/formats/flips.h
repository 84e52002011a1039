#pragma once
// The flip bits tile maps keep in the top of a cell's GID. A flipped cell shows its tile
// transposed first (the diagonal flip), then mirrored left-right, then top-bottom; its normal
// map turns with it, so the light falls on the flipped picture as on a drawn one.
#include <cstdint>

#include "platform/image.h"
#include "tiles/tile.h"

namespace vorlane::formats {

inline constexpr std::uint32_t kFlipHorizontal = 0x80000000u;
inline constexpr std::uint32_t kFlipVertical = 0x40000000u;
inline constexpr std::uint32_t kFlipDiagonal = 0x20000000u;
inline constexpr std::uint32_t kHexagonalTurn = 0x10000000u;
inline constexpr std::uint32_t kFlipBits = kFlipHorizontal | kFlipVertical | kFlipDiagonal;
inline constexpr std::uint32_t kGidFlags = kFlipBits | kHexagonalTurn;

// The picture as a cell with `flags` shows it, or (undo) the picture such a cell shows put
// back the way its tile holds it.
platform::Image flipImage(const platform::Image& image, std::uint32_t flags, bool undo = false);
// The same for a normal map: the pixels move as the picture's do, and each normal turns with
// them (mirroring negates a component; the diagonal flip swaps x and y on the screen).
platform::Image flipNormalMap(const platform::Image& normals, std::uint32_t flags);
// A new tile showing `tile` as a cell with `flags` shows it; flags and path are the tile's.
std::shared_ptr<tiles::Tile> flippedTile(const tiles::Tile& tile, std::uint32_t flags);

}  // namespace vorlane::formats
