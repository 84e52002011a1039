#pragma once
// A whole map flattened into one image, as the map view shows it at zoom 1 without grid or
// markers: what `vorlane-tool png` writes, so a designer can look at a bake.
#include <cstdint>
#include <unordered_map>

#include "base/result.h"
#include "map/map.h"
#include "map/sampling.h"
#include "platform/image.h"

namespace vorlane::lighting {

// Beyond this many pixels (1 GiB of RGBA) a map is refused rather than drawn.
inline constexpr std::uint64_t kMaxCompositePixels = std::uint64_t{1} << 28;

// An image of width × tileWidth by height × tileHeight pixels: black and opaque, then layer
// by layer from 0 up, each tile image stretched to its cell by nearest pixel (pixel centres
// map to pixel centres); source pixels with alpha below one half are left out, the others
// drawn opaque. Refuses maps without pixels or with more than kMaxCompositePixels.
base::Result<platform::Image> compositeMap(const map::Map& map);

}  // namespace vorlane::lighting

namespace vorlane::lighting {

// The map as the map view shows it at a zoom of `scale` (0 < scale ≤ 1), without grid or
// markers: cell (i, j) covers [i × tileWidth × scale, (i + 1) × tileWidth × scale) and likewise
// down, each tile sampled there as the canvas samples it, layers under the mask rule over
// black. Drawn a band of rows at a time, so a preview of any size needs little memory.
class MapPreview {
 public:
  // Refuses maps without pixels, a scale outside (0, 1], and previews wider or higher than
  // kMaxPreviewSide. A maxSide above 0 shrinks the scale until neither side exceeds it.
  static base::Result<MapPreview> create(const map::Map& map, float scale, std::int64_t maxSide = 0);

  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  float scale() const { return scale_; }
  // Rows [first, first + count) as RGB, 3 bytes a pixel, into rgb (count × width × 3 bytes).
  void drawRows(std::int32_t first, std::int32_t count, std::uint8_t* rgb) const;

 private:
  MapPreview(const map::Map& map, std::int32_t w, std::int32_t h, float scale);
  const map::Map* map_;
  std::int32_t width_, height_;
  float scale_;
  // One per distinct image, made once; they read the map's images, so the map must outlive
  // the preview.
  std::unordered_map<const platform::Image*, map::TileSampler> samplers_;
};

// The longest side a preview may have (what a PNG reader is sure to accept).
inline constexpr std::int64_t kMaxPreviewSide = 1000000;

}  // namespace vorlane::lighting
