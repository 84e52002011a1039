#pragma once
// A whole map flattened into one image, as the map view shows it at zoom 1 without grid or
// markers: what `vorlane-tool png` writes, so a designer can look at a bake.
#include <cstdint>

#include "base/result.h"
#include "map/map.h"
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
