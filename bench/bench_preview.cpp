// The live preview from a light's move to a bake ready for the canvas to upload, through the
// editor's preview baker (snapshot, worker thread, hand-over), lighting the cells an 800 × 600
// canvas shows (and one more around them) at the density its zoom calls for, as the editor
// asks. Full: every bake starts afresh; incremental: each is relit from the one before, as
// the editor does while a light is dragged.
//   City: 96 × 96 cells of 32-pixel tiles, six lights, a 512 × 512 light map, zoom 1.
//   Big: 1024 × 1024 × 4 cells of 32-pixel tiles (bench/big_map.h), six lights, 512 × 512,
//   at zooms 0.05, 0.25 and 1; "rss_mb" is the process's resident memory above what it held
//   before the preview started. Paint: a one-cell write with the preview on, timed to the
//   request handed to the baker (snapshot and hand-over), the bakes running behind.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "app/preview.h"
#include "big_map.h"
#include "lighting/scenes.h"
#include "support/recording_surface.h"
#include "support/own_parts.h"

namespace {

using namespace vorlane;

// Resident memory of this process in MiB.
double residentMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

// One step of a light drag as these benchmarks time it: light 2 moves by `step` (which then
// turns, so the light swings in place) and the baker bakes again. A full bake first forgets
// the one before, untimed.
void moveLightAndBake(benchmark::State& state, app::PreviewBaker& baker, const map::Map& m,
                      const lighting::Settings& settings, bool incremental, bool castShadows, float& step) {
  if (!incremental) {
    state.PauseTiming();
    baker.clear();
    state.ResumeTiming();
  }
  test::writable(m.lights[2])->x += step;
  step = -step;
  baker.request(lighting::Snapshot(m, castShadows), settings, &m);
  baker.wait();
  if (!baker.poll()) state.SkipWithError("no bake to show");
}

void BM_PreviewBakerAfterALightMove(benchmark::State& state) {
  const bool incremental = state.range(0) != 0;
  auto m = scenes::benchCity(96, 32);
  lighting::Settings settings{512, 512, false, lighting::kBlurRadius, {}, 0};
  const map::ViewState view;  // zoom 1 at the map's corner
  const test::RecordingSurface canvas(800, 600);
  settings.region = app::shownRegion(*m, view, canvas, 1);
  app::PreviewBaker baker;
  baker.request(lighting::Snapshot(*m), settings, m.get());
  baker.wait();
  float step = 8;
  for (auto _ : state) moveLightAndBake(state, baker, *m, settings, incremental, true, step);
  state.counters["kept"] = static_cast<double>(baker.shown() ? baker.shown()->shadowMapsKept : 0);
}

BENCHMARK(BM_PreviewBakerAfterALightMove)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("incremental")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The big map with six lights on layer 2 around its centre, viewed there at `zoom`, and the
// preview's settings for that view.
struct BigScene {
  map::MapPtr map;
  lighting::Settings settings{512, 512, false, lighting::kBlurRadius, {}, 0};
};

const map::MapPtr& bigMap() {
  static const map::MapPtr m = [] {
    auto big = bench::bigMap();
    const float centre = bench::kBigSide * bench::kTileSide / 2.0f;
    for (int k = 0; k < 6; ++k)
      big->addLight(scenes::light(centre - 500 + 200 * static_cast<float>(k), centre + (k % 2 ? 150.0f : -150.0f), 2, 700,
                                  255, 200 + 10 * static_cast<float>(k), 180));
    return big;
  }();
  return m;
}

lighting::Settings bigSettings(map::Map& m, float zoom) {
  const test::RecordingSurface canvas(800, 600);
  const float centre = bench::kBigSide * bench::kTileSide / 2.0f;
  map::ViewState view;
  view.zoom = zoom;
  view.scrollX = centre - 400;
  view.scrollY = centre - 300;
  lighting::Settings settings{512, 512, false, lighting::kBlurRadius, {}, 0};
  settings.region = app::shownRegion(m, view, canvas, 1);
  settings.density = app::previewDensity(zoom);
  return settings;
}

void BM_BigMapLightMove(benchmark::State& state) {
  const bool incremental = state.range(1) != 0;
  const float zoom = static_cast<float>(state.range(0)) / 100.0f;
  const map::MapPtr& m = bigMap();
  const lighting::Settings settings = bigSettings(*m, zoom);
  const double before = residentMiB();
  double peak = 0;
  {
    app::PreviewBaker baker;
    baker.request(lighting::Snapshot(*m, false), settings, m.get());
    baker.wait();
    if (!baker.poll()) state.SkipWithError("no first bake");
    const float x0 = m->lights[2]->x;
    float step = 8;
    for (auto _ : state) {
      moveLightAndBake(state, baker, *m, settings, incremental, false, step);
      peak = std::max(peak, residentMiB());
    }
    test::writable(m->lights[2])->x = x0;
    state.counters["kept"] = static_cast<double>(baker.shown() ? baker.shown()->shadowMapsKept : 0);
    state.counters["density"] = settings.density;
  }
  state.counters["rss_mb"] = peak - before;
}

BENCHMARK(BM_BigMapLightMove)
    ->ArgsProduct({{5, 25, 100}, {0, 1}})
    ->ArgNames({"zoom%", "incremental"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10);

void BM_BigMapPaintOneCell(benchmark::State& state) {
  const map::MapPtr& m = bigMap();
  const lighting::Settings settings = bigSettings(*m, 0.25f);
  app::PreviewBaker baker;
  baker.request(lighting::Snapshot(*m, false), settings, m.get());
  baker.wait();
  const auto tile = m->cell(512, 512, 0);
  std::vector<map::TilePtr> was;
  for (std::int32_t c = 500; c <= 520; ++c) was.push_back(m->cell(c, 500, 1));
  std::int32_t column = 500;
  for (auto _ : state) {
    m->setCell(column, 500, 1, tile);
    baker.request(lighting::Snapshot(*m, false), settings, m.get());
    column = column == 520 ? 500 : column + 1;
  }
  baker.wait();
  for (std::int32_t c = 500; c <= 520; ++c) m->setCell(c, 500, 1, was[static_cast<std::size_t>(c - 500)]);
}

BENCHMARK(BM_BigMapPaintOneCell)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(50);

}  // namespace

BENCHMARK_MAIN();
