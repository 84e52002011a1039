#include "tiles/scan.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/console.h"
#include "base/convert.h"
#include "base/text.h"
#include "platform/decode.h"
#include "platform/files.h"
#include "tiles/companion.h"

namespace vorlane::tiles {

base::Result<ScanSource> loadScanSource(const std::string& path) {
  const std::string companion = companionPath(path);
  // A cancelled requester names no file to tell about.
  if (!platform::isRegularFile(companion))
    return base::Error{path.empty() ? std::string(kNoNormalMap)
                                    : base::withFileDetail(kNoNormalMap, companion,
                                                           "no such file (the normal map is this BMP beside the image)")};
  ScanSource source;
  auto normal = platform::decodeImageFile(companion);
  // A companion that cannot be decoded is no companion; one that does not fit is an error.
  if (normal)
    source.normal = std::move(normal).value();
  else if (base::isOutOfMemory(normal.error()))
    return base::Error{normal.error()};
  base::consoleLine("Loaded normal");
  auto image = platform::decodeImageFile(path);
  if (!image)
    return base::Error{base::isOutOfMemory(image.error()) ? image.error()
                                                        : base::withFileDetail(kNotAValidFile, path, image.error())};
  source.image = std::move(image).value();
  return source;
}

namespace {

std::shared_ptr<Tile> finish(platform::ImagePtr image, const platform::Image& normal) {
  auto tile = std::make_shared<Tile>();
  (void)tile->setImages(std::move(image), &normal);  // both images exist: cannot fail
  return tile;
}

// One piece: the image's pixels inside the rectangle at (ox, oy), (0, 0, 0, 0) elsewhere;
// the normal image's pixels where both it and the image have them, the flat normal elsewhere.
std::shared_ptr<Tile> cutPiece(const ScanSource& source, std::int32_t ox, std::int32_t oy, std::int32_t tw, std::int32_t th) {
  const platform::Image& s = source.image;
  auto a = std::make_shared<platform::Image>(tw, th);
  platform::Image b(tw, th);
  for (std::size_t i = 0; i < b.pixels.size(); i += 4) std::memcpy(&b.pixels[i], kFlatNormal, 4);

  const std::int32_t xEnd = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{ox} + tw, s.width));
  const std::int32_t yEnd = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{oy} + th, s.height));
  const platform::Image* n = source.normal ? &*source.normal : nullptr;
  if (xEnd <= ox) return finish(std::move(a), b);
  for (std::int32_t y = oy; y < yEnd; ++y) {
    std::memcpy(a->at(0, y - oy), s.at(ox, y), static_cast<std::size_t>(xEnd - ox) * 4);
    if (!n || y >= n->height) continue;
    const std::int32_t nEnd = std::min(xEnd, n->width);
    if (nEnd > ox) std::memcpy(b.at(0, y - oy), n->at(ox, y), static_cast<std::size_t>(nEnd - ox) * 4);
  }
  return finish(std::move(a), b);
}

}  // namespace

base::Result<std::vector<TilePtr>> cutImage(const ScanSource& source, std::int32_t tileWidth,
                                            std::int32_t tileHeight, const std::string& path, int maxPieces) {
  std::vector<TilePtr> pieces;
  if (tileWidth < 1 || tileHeight < 1) return pieces;
  const std::int32_t w = source.image.width, h = source.image.height;
  try {
    // The cutting loop runs at least once, then band by band until it passes the image.
    std::int32_t ox = 0, oy = 0;
    while (static_cast<int>(pieces.size()) < maxPieces) {
      auto tile = cutPiece(source, ox, oy, tileWidth, tileHeight);
      tile->path = path + " " + base::intToText(static_cast<std::int64_t>(pieces.size()));
      pieces.push_back(std::move(tile));
      if (std::int64_t{ox} + tileWidth < w) {
        ox += tileWidth;
        continue;
      }
      ox = 0;
      if (std::int64_t{oy} + tileHeight >= h) break;
      oy += tileHeight;
    }
  } catch (const std::bad_alloc&) {
    return base::outOfMemory("cut " + path + " into tiles of " + base::intToText(tileWidth) + " x " +
                             base::intToText(tileHeight) + " pixels");
  }
  return pieces;
}

base::Status checkScanTileSize(std::int32_t tileWidth, std::int32_t tileHeight) {
  if (tileWidth < 1 || tileHeight < 1 || tileWidth > kMaxScanTileSide || tileHeight > kMaxScanTileSide)
    return base::Error{kBadScanTileSize};
  return base::success();
}

}  // namespace vorlane::tiles
