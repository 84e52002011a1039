#include "lighting/render.h"

#include <tbb/info.h>
#include <tbb/task_arena.h>
#include <tbb/task_group.h>
#include <sched.h>

#include <algorithm>
#include <bit>
#include <map>
#include <new>
#include <string>
#include <thread>
#include <utility>

#include "base/console.h"
#include "base/convert.h"
#include "lighting/parallel.h"
#include "lighting/passes.h"
#include "map/fields.h"
#include "platform/memory.h"

namespace vorlane::lighting {

using base::intToText;

namespace {

// One flat-normal grid per image size, shared by the lit tiles (grids are never changed).
using FlatGrids = std::map<std::pair<std::int32_t, std::int32_t>, tiles::ChannelGridPtr>;
template <typename CellOf>
FlatGrids flatGrids(const map::Map& map, std::int64_t cellCount, const CellOf& cellOf) {
  FlatGrids flats;
  for (std::int64_t q = 0; q < cellCount; ++q) {
    const auto& tile = map.cells[cellOf(q)];
    if (!tile) continue;
    const std::int32_t w = detail::imageWidth(*tile), h = detail::imageHeight(*tile);
    auto& grid = flats[{w, h}];
    if (!grid) grid = tiles::ChannelGrid::flatNormals(w, h);
  }
  return flats;
}

// The lit map: every occupied cell of `area` lit into a new tile, band by band when a sink
// takes them. Fails only when stopped.
base::Result<map::MapPtr> lightCells(const map::Map& map, const detail::Frame& frame,
                                     const std::vector<detail::LightParams>& lights, const detail::Tone& tone,
                                     const Progress& progress, const std::stop_token& stop, const LitCells& sink,
                                     std::uint64_t bandBytes, const std::vector<std::uint8_t>& toLight,
                                     const map::Map* start, const detail::Sampled& area) {
  auto report = [&](float f) {
    if (progress) progress(f);
  };
  auto lit = map::Map::create(map.width, map.height, map.depth, map.tileWidth, map.tileHeight);
  if (start) lit->cells = start->cells;
  // The area's cells in the table's order: each column's run of rows is contiguous there.
  // A map without cells may still be huge along one side: nothing to walk then.
  const std::int64_t perColumn = std::int64_t{std::max(area.row1 - area.row0, 0)} * map.depth;
  const std::int32_t columns = perColumn > 0 ? std::max(area.column1 - area.column0, 0) : 0;
  const std::int64_t cellCount = columns * perColumn;
  const auto cellOf = [&](std::int64_t q) {
    const auto c = static_cast<std::int32_t>(q / perColumn);
    return map.cellIndex(area.column0 + c, area.row0, 0) + static_cast<std::size_t>(q % perColumn);
  };
  const FlatGrids flats = flatGrids(map, cellCount, cellOf);
  const bool whole = area.column0 == 0 && area.row0 == 0 && area.column1 == map.width && area.row1 == map.height;
  // Streamed tiles go to a table of their own, handed out a band at a time; kept ones into the
  // lit map, whose blocks are made its own first so that threads write distinct cells at once.
  std::vector<tiles::TilePtr> streamed(sink ? static_cast<std::size_t>(cellCount) : 0);
  if (!sink)
    for (std::int32_t c = 0; c < columns; ++c)
      lit->cells.own(cellOf(c * perColumn), cellOf(c * perColumn) + static_cast<std::size_t>(perColumn));
  // One pass a band (the whole area when nothing streams). Runs of cells go to whichever
  // thread is free; the rendering thread reports the column it has reached when it takes a run.
  // A band goes to the sink while the next one is lit (litBands gives each half the budget).
  const std::thread::id caller = std::this_thread::get_id();
  std::int64_t reported = 0;
  if (columns > 0) report(0.0f);
  const std::vector<std::size_t> bands = sink && whole ? detail::litBands(map, bandBytes)
                                                       : std::vector<std::size_t>{0, static_cast<std::size_t>(cellCount)};
  tbb::task_group writing;
  try {
    for (std::size_t b = 0; b + 1 < bands.size(); ++b) {
      const auto bandBegin = static_cast<std::int64_t>(bands[b]), bandEnd = static_cast<std::int64_t>(bands[b + 1]);
      // An allocation failing in a body reaches the caller once the other threads have stopped.
      detail::forEachRange(bandEnd - bandBegin, 8, [&](std::int64_t first, std::int64_t last) {
        const std::int64_t q0 = bandBegin + first, q1 = bandBegin + last;
        const std::int64_t c0 = q0 / perColumn;
        if (std::this_thread::get_id() == caller && c0 > reported) {
          reported = c0;
          report(static_cast<float>(c0) / static_cast<float>(columns));
        }
        for (std::int64_t q = q0; q < q1 && !stop.stop_requested(); ++q) {
          const std::size_t k = cellOf(q);
          const auto& source = map.cells[k];
          if (!source) continue;
          const std::int32_t c = area.column0 + static_cast<std::int32_t>(q / perColumn);
          const std::int32_t r = static_cast<std::int32_t>(k / static_cast<std::size_t>(map.depth) % static_cast<std::size_t>(map.height));
          const std::int32_t d = static_cast<std::int32_t>(k % static_cast<std::size_t>(map.depth));
          if (!toLight.empty() && !toLight[k / static_cast<std::size_t>(map.depth)]) continue;
          auto target = std::make_shared<tiles::Tile>();
          const auto& flat = flats.at({detail::imageWidth(*source), detail::imageHeight(*source)});
          detail::lightCell(map, frame, lights, tone, *source, *target, c, r, d, flat, !sink);
          (sink ? streamed[static_cast<std::size_t>(q)] : lit->cells[k]) = std::move(target);
        }
      });
      if (stop.stop_requested()) break;
      if (!sink) continue;
      writing.wait();  // the band before, written; what the sink threw is thrown here
      const std::span<tiles::TilePtr> band(streamed.data() + bandBegin, static_cast<std::size_t>(bandEnd - bandBegin));
      writing.run([&sink, band, first = static_cast<std::size_t>(bandBegin)] {
        sink(first, band);
        for (auto& cell : band) cell.reset();
      });
    }
    writing.wait();
  } catch (...) {
    // Whatever failed, the band being written must be done before its cells go away.
    try {
      writing.wait();
    } catch (...) {
    }
    throw;
  }
  report(0.0f);
  if (stop.stop_requested()) return base::Error{kCancelled};
  return lit;
}

// The points of the area's cells into one picture, each the lit pixel of the topmost layer the
// canvas would show there. Fails only when stopped.
base::Result<std::shared_ptr<const map::CellPicture>> lightPicture(const map::Map& map, const detail::Frame& frame,
                                                                   const std::vector<detail::LightParams>& lights,
                                                                   const detail::Tone& tone,
                                                                   const std::stop_token& stop,
                                                                   const detail::Sampled& area, std::int32_t density) {
  auto picture = std::make_shared<map::CellPicture>();
  picture->column0 = area.column0;
  picture->row0 = area.row0;
  picture->column1 = area.column1;
  picture->row1 = area.row1;
  picture->density = density;
  const std::int32_t columns = std::max(area.column1 - area.column0, 0), rows = std::max(area.row1 - area.row0, 0);
  const std::int64_t w = std::int64_t{columns} * area.cellWidth, h = std::int64_t{rows} * area.cellHeight;
  // No cells, or a picture no canvas could take (a region is what a view shows).
  if (map.cells.empty() || w <= 0 || h <= 0 || w > kMaxResolution * 16 || h > kMaxResolution * 16)
    return std::shared_ptr<const map::CellPicture>(picture);
  // Transparent where no layer shows.
  auto image = std::make_shared<platform::Image>(static_cast<std::int32_t>(w), static_cast<std::int32_t>(h));
  detail::forEachRange(columns, 4, [&](std::int64_t c0, std::int64_t c1) {
    for (std::int64_t c = c0; c < c1 && !stop.stop_requested(); ++c)
      detail::lightPoints(map, frame, lights, tone, area.column0 + static_cast<std::int32_t>(c), area.row0, area.row1,
                          area.cellWidth, area.cellHeight, image->pixels.data(), static_cast<std::size_t>(w),
                          static_cast<std::size_t>(c) * static_cast<std::size_t>(area.cellWidth));
  });
  if (stop.stop_requested()) return base::Error{kCancelled};
  picture->layers.push_back(std::move(image));
  return std::shared_ptr<const map::CellPicture>(picture);
}

}  // namespace

Snapshot::Snapshot() : data_(std::make_shared<Data>()) {}

Snapshot::Snapshot(const map::Map& source, bool castShadows) {
  auto data = std::make_shared<Data>();
  map::Map& m = data->map;
  m.width = source.width;
  m.height = source.height;
  m.depth = source.depth;
  m.tileWidth = source.tileWidth;
  m.tileHeight = source.tileHeight;
  m.cells = source.cells;
  if (castShadows) {
    data->castShadows.resize(m.cells.size());
    std::size_t k = 0;
    for (const auto& cell : m.cells) data->castShadows[k++] = cell && cell->castShadows != 0;
  }
  m.lights.reserve(source.lights.size());
  for (const auto& l : source.lights) m.lights.push_back(std::make_shared<map::Light>(*l));
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

namespace {

// Whether the shadow maps of two bakes come from the same cells, flags and settings.
bool sameShadowInputs(const Lit& previous, const Snapshot& scene, const Settings& settings) {
  const Settings& was = previous.settings;
  const map::Map &a = previous.source.map(), &b = scene.map();
  const bool flags = settings.options.castShadowsFlags;
  return was.width == settings.width && was.height == settings.height && was.soft == settings.soft &&
         std::bit_cast<std::uint32_t>(was.blurRadius) == std::bit_cast<std::uint32_t>(settings.blurRadius) &&
         was.options.castShadowsFlags == flags && a.width == b.width && a.height == b.height && a.depth == b.depth &&
         a.tileWidth == b.tileWidth && a.tileHeight == b.tileHeight && a.cells == b.cells &&
         (!flags || previous.source.castShadows() == scene.castShadows());
}

// What a light's shadow map depends on besides the cells and settings.
struct ShadowKey {
  std::int32_t x, y, layer, castShadows;
  auto operator<=>(const ShadowKey&) const = default;
};
ShadowKey shadowKey(const map::Light& l, bool flags) {
  return {base::floatToInt(l.x), base::floatToInt(l.y), l.layer, flags ? l.castShadows : 0};
}

bool sameLights(const map::Map& a, const map::Map& b) {
  auto same = [](const map::LightPtr& p, const map::LightPtr& q) {
    return map::sameFields(map::kLightFields, map::kLit, *p, *q);
  };
  return std::equal(a.lights.begin(), a.lights.end(), b.lights.begin(), b.lights.end(), same);
}

// The points a bake lights: the region's cells (all of them without one), at the density's
// points when reduced.
detail::Sampled sampledBy(const map::Map& map, const Settings& settings, bool reduced) {
  detail::Sampled s{0, 0, std::max(map.width, 0), std::max(map.height, 0)};
  if (settings.region) {
    const CellRegion& r = *settings.region;
    s.column0 = std::clamp(r.column0, 0, s.column1);
    s.row0 = std::clamp(r.row0, 0, s.row1);
    s.column1 = std::clamp(r.column1, s.column0, s.column1);
    s.row1 = std::clamp(r.row1, s.row0, s.row1);
  }
  if (reduced) {
    s.cellWidth = reducedSide(map.tileWidth, settings.density);
    s.cellHeight = reducedSide(map.tileHeight, settings.density);
  }
  return s;
}

// A bake's result before anything is lit: what it was asked.
Lit litOf(const Snapshot& scene, const Settings& settings) {
  Lit lit;
  lit.width = settings.width;
  lit.height = settings.height;
  lit.source = scene;
  lit.settings = settings;
  return lit;
}

// Per (column, row): 1 where a cell is to be lit; empty for all of them.
std::vector<std::uint8_t> cellsToLight(const map::Map& map, const Settings& settings, const detail::Sampled& sampled,
                                       bool reduced) {
  std::vector<std::uint8_t> toLight;
  if (!settings.region) return toLight;
  toLight.assign(static_cast<std::size_t>(std::max(map.width, 0)) * static_cast<std::size_t>(std::max(map.height, 0)), 0);
  if (!reduced)
    for (std::int32_t c = sampled.column0; c < sampled.column1; ++c)
      std::fill_n(toLight.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(c) * static_cast<std::size_t>(map.height)) + sampled.row0,
                  sampled.row1 - sampled.row0, std::uint8_t{1});
  return toLight;
}

// The previous bake's shadow map of each light that casts the same shadow now, or null.
std::vector<const std::vector<std::uint8_t>*> keptShadowMaps(const Lit& previous, const map::Map& map, bool flags) {
  std::map<ShadowKey, const std::vector<std::uint8_t>*> before;
  const auto& was = previous.source.map().lights;
  for (std::size_t k = 0; k < was.size() && k < previous.shadowMaps.size(); ++k)
    before.emplace(shadowKey(*was[k], flags), &previous.shadowMaps[k]);
  std::vector<const std::vector<std::uint8_t>*> known(map.lights.size());
  for (std::size_t k = 0; k < map.lights.size(); ++k) {
    auto found = before.find(shadowKey(*map.lights[k], flags));
    if (found != before.end()) known[k] = found->second;
  }
  return known;
}

base::Result<Lit> renderOnArena(const Snapshot& scene, const Settings& settings, const Progress& progress,
                                std::stop_token stop, const Lit* previous, const LitCells& sink) {
  const map::Map& map = scene.map();
  if (auto status = checkResolution(map, settings.width, settings.height); !status) return base::Error{status.error()};
  const detail::Frame frame = detail::Frame::of(map, settings.width, settings.height);
  const Options& o = settings.options;
  if (o.castShadowsFlags && scene.castShadows().size() != map.cells.size())
    return base::Error{"The snapshot was taken without the tiles' Cast Shadows flags."};
  const detail::Blockers blockers{o.castShadowsFlags ? &scene.castShadows() : nullptr};
  const bool reduced = settings.density > 1 && settings.region && map.tileWidth > 0 && map.tileHeight > 0;
  const detail::Sampled sampled = sampledBy(map, settings, reduced);

  Lit lit = litOf(scene, settings);
  std::vector<const std::vector<std::uint8_t>*> known(map.lights.size());
  const std::size_t cellColumnsRows =
      static_cast<std::size_t>(std::max(map.width, 0)) * static_cast<std::size_t>(std::max(map.height, 0));
  std::vector<std::uint8_t> toLight = cellsToLight(map, settings, sampled, reduced);
  lit.litCells = toLight;
  const map::Map* start = nullptr;  // the lit cells to start from
  const detail::ShadowCache* reuse = nullptr;
  if (previous && sameShadowInputs(*previous, scene, settings)) {
    reuse = previous->shadowCache.get();
    // A previous map holds tested texels only where its own points read: a hard one can be
    // completed, a softened one not.
    const bool usable = reuse && (!settings.soft || reuse->sampled.covers(sampled));
    const bool flags = o.castShadowsFlags;
    if (usable) known = keptShadowMaps(*previous, map, flags);
    lit.shadowMapsKept = static_cast<std::size_t>(std::count_if(known.begin(), known.end(), [](auto* m) { return m; }));
    const bool sameLighting = usable && o == previous->settings.options && sameLights(previous->source.map(), map);
    const auto keepAll = [&] {
      for (const auto* m : known) lit.shadowMaps.push_back(*m);
      lit.map = previous->map;
      lit.litCells = previous->litCells;
      lit.picture = previous->picture;
      lit.shadowCache = previous->shadowCache;
      lit.litMapKept = true;
    };
    if (reduced) {
      if (sameLighting && previous->picture && reuse->sampled == sampled) {
        keepAll();
        return lit;
      }
    } else if (previous->map && sameLighting) {
      // Every cell the previous bake lit is still right: light only what it left out.
      if (toLight.empty()) toLight.assign(cellColumnsRows, 1);
      if (previous->litCells.empty()) toLight.assign(cellColumnsRows, 0);
      for (std::size_t k = 0; k < previous->litCells.size(); ++k)
        if (previous->litCells[k]) toLight[k] = 0;
      if (std::find(toLight.begin(), toLight.end(), 1) == toLight.end()) {
        keepAll();
        return lit;
      }
      start = previous->map.get();
      if (!lit.litCells.empty())
        for (std::size_t k = 0; k < lit.litCells.size(); ++k) lit.litCells[k] |= previous->litCells[k];
    }
  }
  auto cache = std::make_shared<detail::ShadowCache>();
  lit.shadowMaps = detail::shadowMaps(map, frame, settings.soft, settings.blurRadius, blockers, known, progress, stop,
                                      sampled, reuse, cache.get());
  if (stop.stop_requested()) return base::Error{kCancelled};
  lit.shadowCache = std::move(cache);

  std::vector<const std::vector<std::uint8_t>*> maps;
  for (const auto& m : lit.shadowMaps) maps.push_back(&m);
  const detail::Tone tone{o.intensity, {o.ambient[0], o.ambient[1], o.ambient[2]}};
  const auto lights = detail::lightParams(map, frame, maps);
  if (reduced) {
    auto picture = lightPicture(map, frame, lights, tone, stop, sampled, settings.density);
    if (!picture) return base::Error{picture.error()};
    lit.picture = std::move(picture).value();
    lit.map = map::Map::create(map.width, map.height, map.depth, map.tileWidth, map.tileHeight);
    return lit;
  }
  auto cells = lightCells(map, frame, lights, tone, progress, stop, sink, settings.bandBytes, toLight, start, sampled);
  if (!cells) return base::Error{cells.error()};
  lit.map = std::move(cells).value();
  return lit;
}

}  // namespace

namespace detail {

std::int32_t threadCount(std::int32_t cap) {
  cpu_set_t set;
  std::int32_t cores = sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 0;
  if (cores < 1) cores = tbb::info::default_concurrency();
  return cap > 0 ? std::min(cap, cores) : cores;
}

}  // namespace detail

namespace {

base::Error renderOutOfMemory(const Settings& settings) {
  return base::outOfMemory("render the light map at " + intToText(settings.width) + "x" + intToText(settings.height));
}

}  // namespace

base::Result<Lit> render(const Snapshot& scene, const Settings& settings, const Progress& progress,
                         std::stop_token stop, const LitCells& sink) {
  try {
    tbb::task_arena arena(detail::threadCount(settings.threads));
    return arena.execute([&] { return renderOnArena(scene, settings, progress, stop, nullptr, sink); });
  } catch (const std::bad_alloc&) {
    return renderOutOfMemory(settings);
  }
}

base::Result<Lit> relight(const Lit& previous, const Snapshot& scene, const Settings& settings,
                          const Progress& progress, std::stop_token stop) {
  try {
    tbb::task_arena arena(detail::threadCount(settings.threads));
    return arena.execute([&] { return renderOnArena(scene, settings, progress, stop, &previous, {}); });
  } catch (const std::bad_alloc&) {
    return renderOutOfMemory(settings);
  }
}

base::Result<Settings> commandSettings(const map::Map& map, std::int32_t width, std::int32_t height, bool soft,
                                       const Options& options, std::int32_t threads) {
  width = std::max(width, kMinResolution);
  height = std::max(height, kMinResolution);
  if (auto status = checkResolution(map, width, height); !status) return base::Error{status.error()};
  return Settings{width, height, soft, kBlurRadius, options, threads};
}

void announce(const map::Map& map, const Settings& settings) {
  base::consoleLine("Rendering shadow map at a resolution of " + intToText(settings.width) + "x" +
                    intToText(settings.height));
  const detail::Frame frame = detail::Frame::of(map, settings.width, settings.height);
  base::consoleLine("WF:" + base::floatToText(frame.wf) + " HF:" + base::floatToText(frame.hf));
}

base::Result<map::MapPtr> renderCommand(const map::Map& map, std::int32_t width, std::int32_t height, bool soft,
                                        const Progress& progress, const Options& options, std::int32_t threads) {
  auto settings = commandSettings(map, width, height, soft, options, threads);
  if (!settings) return base::Error{settings.error()};
  // The lit map becomes the current map: all of it must fit.
  const MemoryEstimate need = estimateMemory(map, *settings, false);
  if (auto fits = checkMemory(need, platform::availableMemory(), kStreamingAdvice); !fits)
    return base::Error{fits.error()};
  announce(map, *settings);
  auto lit = render(Snapshot(map), *settings, progress);
  if (!lit) return base::Error{lit.error()};
  return lit->map;
}

base::Result<map::MapPtr> renderCommand(const map::Map& map, std::string_view widthText, std::string_view heightText,
                                        bool soft, const Progress& progress, const Options& options) {
  return renderCommand(map, base::textToInt(widthText), base::textToInt(heightText), soft, progress, options);
}

}  // namespace vorlane::lighting
