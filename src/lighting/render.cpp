#include "lighting/render.h"

#include <omp.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>

#include "base/console.h"
#include "base/convert.h"
#include "lighting/passes.h"

namespace vorlane::lighting {

using base::intToText;

base::Status checkResolution(const map::Map& map, std::int32_t width, std::int32_t height) {
  const std::string size = intToText(width) + "x" + intToText(height);
  if (width < 1 || height < 1)
    return base::Error{"Light map resolution " + size + " is too small: it needs at least 1x1 texels."};
  if (width > kMaxResolution || height > kMaxResolution)
    return base::Error{"Light map resolution " + size + " is beyond the limit of " + intToText(kMaxResolution) + "x" +
                       intToText(kMaxResolution) + "."};
  const std::uint64_t bytes = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * map.lights.size();
  if (bytes > kMaxShadowMapBytes)
    return base::Error{"Shadow maps for " + intToText(static_cast<std::int64_t>(map.lights.size())) + " lights at " +
                       size + " would take " + intToText(static_cast<std::int64_t>(bytes >> 20)) +
                       " MiB, more than the limit of " + intToText(kMaxShadowMapBytes >> 20) + " MiB."};
  return base::success();
}

base::Result<map::MapPtr> renderLightmap(map::Map& map, std::int32_t width, std::int32_t height, std::int32_t soft,
                                         float blurRadius, const Progress& progress) {
  if (auto status = checkResolution(map, width, height); !status) return base::Error{status.error()};
  auto report = [&](float f) {
    if (progress) progress(f);
  };
  const detail::Frame frame = detail::Frame::of(map, width, height);
  map.lightmapWidth = width;
  map.lightmapHeight = height;
  base::consoleLine("WF:" + base::floatToText(frame.wf) + " HF:" + base::floatToText(frame.hf));

  detail::shadowMaps(map, frame, soft != 0, blurRadius, progress);

  auto lit = map::Map::create(map.width, map.height, map.depth, map.tileWidth, map.tileHeight);
  const auto lights = detail::lightParams(map, frame);
  // One flat-normal grid per image size, shared by the lit tiles (grids are never changed).
  std::map<std::pair<std::int32_t, std::int32_t>, tiles::ChannelGridPtr> flats;
  for (const auto& tile : map.cells) {
    if (!tile) continue;
    const std::int32_t w = detail::imageWidth(*tile), h = detail::imageHeight(*tile);
    auto& grid = flats[{w, h}];
    if (!grid) grid = tiles::ChannelGrid::flatNormals(w, h);
  }
  // One team for the whole pass; the caller's thread reports the column it has reached.
  const std::int64_t cellsPerColumn = std::int64_t{map.height} * map.depth;
  const std::int64_t cellCount = static_cast<std::int64_t>(map.cells.size());
  std::int64_t reported = 0;
  if (map.width > 0) report(0.0f);
#pragma omp parallel for schedule(dynamic, 8)
  for (std::int64_t k = 0; k < cellCount; ++k) {
    const std::int64_t c = k / cellsPerColumn;
    if (omp_get_thread_num() == 0 && c > reported) {
      reported = c;
      report(static_cast<float>(c) / static_cast<float>(map.width));
    }
    const auto& source = map.cells[static_cast<std::size_t>(k)];
    if (!source) continue;
    const std::int32_t r = static_cast<std::int32_t>(k / map.depth % map.height);
    const std::int32_t d = static_cast<std::int32_t>(k % map.depth);
    auto target = std::make_shared<tiles::Tile>();
    const auto& flat = flats.at({detail::imageWidth(*source), detail::imageHeight(*source)});
    detail::lightCell(map, frame, lights, *source, *target, static_cast<std::int32_t>(c), r, d, flat);
    lit->cells[static_cast<std::size_t>(k)] = std::move(target);
  }
  report(0.0f);
  return lit;
}

base::Result<map::MapPtr> renderCommand(map::Map& map, std::int32_t width, std::int32_t height, bool soft,
                                        const Progress& progress) {
  width = std::max(width, kMinResolution);
  height = std::max(height, kMinResolution);
  if (auto status = checkResolution(map, width, height); !status) return base::Error{status.error()};
  base::consoleLine("Rendering shadow map at a resolution of " + intToText(width) + "x" + intToText(height));
  return renderLightmap(map, width, height, soft ? 1 : 0, kBlurRadius, progress);
}

base::Result<map::MapPtr> renderCommand(map::Map& map, std::string_view widthText, std::string_view heightText,
                                        bool soft, const Progress& progress) {
  return renderCommand(map, base::textToInt(widthText), base::textToInt(heightText), soft, progress);
}

void lightTile(const map::Map& map, const tiles::Tile& source, tiles::Tile& target, std::int32_t column,
               std::int32_t row, std::int32_t layer) {
  const auto frame = detail::Frame::of(map, map.lightmapWidth, map.lightmapHeight);
  detail::lightCell(map, frame, detail::lightParams(map, frame), source, target, column, row, layer, nullptr);
}

}  // namespace vorlane::lighting
