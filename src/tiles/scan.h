#pragma once
// Cutting a large image and its normal map into equal tiles.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "platform/image.h"
#include "tiles/tile.h"

namespace vorlane::tiles {

inline constexpr int kMaxScanPieces = 1024;  // a tileset's cells; later pieces are dropped
// A piece holds two images and two grids of its size: larger sides are refused.
inline constexpr std::int32_t kMaxScanTileSide = 4096;

inline constexpr const char* kNoNormalMap = "No normal map present.";
inline constexpr const char* kNotAValidFile = "Not a valid file.";
inline constexpr const char* kBadScanTileSize = "The tile width and height must be from 1 to 4096 pixels.";

struct ScanSource {
  platform::Image image;
  std::optional<platform::Image> normal;  // none when the companion could not be decoded
};

// Decodes the image and its "NM" companion ("Loaded normal" once the companion was tried).
// Fails with "No normal map present." when the companion is missing, "Not a valid file."
// when the image cannot be decoded, "Not enough memory to ..." when either does not fit.
base::Result<ScanSource> loadScanSource(const std::string& path);

// Fails with kBadScanTileSize unless both sides lie in 1 .. kMaxScanTileSide.
base::Status checkScanTileSize(std::int32_t tileWidth, std::int32_t tileHeight);

// Pieces of tileWidth × tileHeight (both ≥ 1) in reading order, the last column and band
// partial, at most maxPieces of them. Pixels outside the image are (0, 0, 0, 0); outside the
// normal image, or with no normal image, the flat normal. Piece i is named path + " " + i.
// Pieces that do not fit in memory fail the whole cut ("Not enough memory to cut ...").
base::Result<std::vector<TilePtr>> cutImage(const ScanSource& source, std::int32_t tileWidth,
                                            std::int32_t tileHeight, const std::string& path,
                                            int maxPieces = kMaxScanPieces);

}  // namespace vorlane::tiles
