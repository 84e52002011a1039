#include "lighting/render.h"

#include <omp.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <new>
#include <string>
#include <utility>

#include "base/console.h"
#include "base/convert.h"
#include "lighting/passes.h"

namespace vorlane::lighting {

using base::intToText;

namespace {

map::LightPtr copyWithoutShadowMap(const map::Light& l) {
  auto copy = std::make_shared<map::Light>();
  copy->red = l.red;
  copy->green = l.green;
  copy->blue = l.blue;
  copy->x = l.x;
  copy->y = l.y;
  copy->layer = l.layer;
  copy->selected = l.selected;
  copy->range = l.range;
  copy->castShadows = l.castShadows;
  return copy;
}

// The lit map: every occupied cell lit into a new tile. Fails only when stopped.
base::Result<map::MapPtr> lightCells(const map::Map& map, const detail::Frame& frame,
                                     const std::vector<detail::LightParams>& lights, const detail::Tone& tone,
                                     const Progress& progress, const std::stop_token& stop) {
  auto report = [&](float f) {
    if (progress) progress(f);
  };
  auto lit = map::Map::create(map.width, map.height, map.depth, map.tileWidth, map.tileHeight);
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
  std::atomic<bool> outOfMemory = false;
  if (map.width > 0) report(0.0f);
#pragma omp parallel for schedule(dynamic, 8)
  for (std::int64_t k = 0; k < cellCount; ++k) {
    const std::int64_t c = k / cellsPerColumn;
    if (omp_get_thread_num() == 0 && c > reported) {
      reported = c;
      report(static_cast<float>(c) / static_cast<float>(map.width));
    }
    const auto& source = map.cells[static_cast<std::size_t>(k)];
    if (!source || stop.stop_requested() || outOfMemory.load(std::memory_order_relaxed)) continue;
    const std::int32_t r = static_cast<std::int32_t>(k / map.depth % map.height);
    const std::int32_t d = static_cast<std::int32_t>(k % map.depth);
    // Nothing may leave the parallel loop by an exception.
    try {
      auto target = std::make_shared<tiles::Tile>();
      const auto& flat = flats.at({detail::imageWidth(*source), detail::imageHeight(*source)});
      detail::lightCell(map, frame, lights, tone, *source, *target, static_cast<std::int32_t>(c), r, d, flat);
      lit->cells[static_cast<std::size_t>(k)] = std::move(target);
    } catch (const std::bad_alloc&) {
      outOfMemory = true;
    }
  }
  report(0.0f);
  if (outOfMemory) throw std::bad_alloc();
  if (stop.stop_requested()) return base::Error{kCancelled};
  return lit;
}

}  // namespace

Snapshot::Snapshot() : data_(std::make_shared<Data>()) {}

Snapshot::Snapshot(const map::Map& source) {
  auto data = std::make_shared<Data>();
  map::Map& m = data->map;
  m.width = source.width;
  m.height = source.height;
  m.depth = source.depth;
  m.tileWidth = source.tileWidth;
  m.tileHeight = source.tileHeight;
  m.cells = source.cells;
  data->castShadows.resize(m.cells.size());
  for (std::size_t k = 0; k < m.cells.size(); ++k) data->castShadows[k] = m.cells[k] && m.cells[k]->castShadows != 0;
  m.lights.reserve(source.lights.size());
  for (const auto& l : source.lights) m.lights.push_back(copyWithoutShadowMap(*l));
  data_ = std::move(data);
}

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

base::Result<Lit> render(const Snapshot& scene, const Settings& settings, const Progress& progress,
                         std::stop_token stop) {
  const map::Map& map = scene.map();
  if (auto status = checkResolution(map, settings.width, settings.height); !status) return base::Error{status.error()};
  const detail::Frame frame = detail::Frame::of(map, settings.width, settings.height);
  const Options& o = settings.options;
  const detail::Blockers blockers{o.castShadowsFlags ? &scene.castShadows() : nullptr};

  Lit lit;
  lit.width = settings.width;
  lit.height = settings.height;
  lit.shadowMaps = detail::shadowMaps(map, frame, settings.soft, settings.blurRadius, blockers, progress, stop);
  if (stop.stop_requested()) return base::Error{kCancelled};

  std::vector<const std::vector<std::uint8_t>*> maps;
  for (const auto& m : lit.shadowMaps) maps.push_back(&m);
  const detail::Tone tone{o.intensity, {o.ambient[0], o.ambient[1], o.ambient[2]}};
  auto cells = lightCells(map, frame, detail::lightParams(map, frame, maps), tone, progress, stop);
  if (!cells) return base::Error{cells.error()};
  lit.map = std::move(cells).value();
  return lit;
}

void apply(const Lit& lit, map::Map& rendered) {
  Lit shadows{nullptr, lit.width, lit.height, lit.shadowMaps};
  apply(std::move(shadows), rendered);
}

void apply(Lit&& lit, map::Map& rendered) {
  rendered.lightmapWidth = lit.width;
  rendered.lightmapHeight = lit.height;
  for (std::size_t k = 0; k < rendered.lights.size() && k < lit.shadowMaps.size(); ++k)
    rendered.lights[k]->shadowMap = std::move(lit.shadowMaps[k]);
}

base::Result<map::MapPtr> renderLightmap(map::Map& map, std::int32_t width, std::int32_t height, std::int32_t soft,
                                         float blurRadius, const Progress& progress, const Options& options) {
  if (auto status = checkResolution(map, width, height); !status) return base::Error{status.error()};
  const detail::Frame frame = detail::Frame::of(map, width, height);
  base::consoleLine("WF:" + base::floatToText(frame.wf) + " HF:" + base::floatToText(frame.hf));
  auto lit = render(Snapshot(map), Settings{width, height, soft != 0, blurRadius, options}, progress);
  if (!lit) return base::Error{lit.error()};
  map::MapPtr litMap = lit->map;
  apply(std::move(lit).value(), map);
  return litMap;
}

base::Result<map::MapPtr> renderCommand(map::Map& map, std::int32_t width, std::int32_t height, bool soft,
                                        const Progress& progress, const Options& options) {
  width = std::max(width, kMinResolution);
  height = std::max(height, kMinResolution);
  if (auto status = checkResolution(map, width, height); !status) return base::Error{status.error()};
  base::consoleLine("Rendering shadow map at a resolution of " + intToText(width) + "x" + intToText(height));
  return renderLightmap(map, width, height, soft ? 1 : 0, kBlurRadius, progress, options);
}

base::Result<map::MapPtr> renderCommand(map::Map& map, std::string_view widthText, std::string_view heightText,
                                        bool soft, const Progress& progress, const Options& options) {
  return renderCommand(map, base::textToInt(widthText), base::textToInt(heightText), soft, progress, options);
}

void lightTile(const map::Map& map, const tiles::Tile& source, tiles::Tile& target, std::int32_t column,
               std::int32_t row, std::int32_t layer) {
  const auto frame = detail::Frame::of(map, map.lightmapWidth, map.lightmapHeight);
  std::vector<const std::vector<std::uint8_t>*> maps;
  for (const auto& l : map.lights) maps.push_back(&l->shadowMap);
  const detail::Tone tone{kIntensity, {0, 0, 0}};
  detail::lightCell(map, frame, detail::lightParams(map, frame, maps), tone, source, target, column, row, layer,
                    nullptr);
}

}  // namespace vorlane::lighting
