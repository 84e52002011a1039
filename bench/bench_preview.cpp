// The live preview from a light's move to a bake ready for the canvas to upload, through the
// editor's preview baker (snapshot, worker thread, hand-over): 96 × 96 cells of 32-pixel
// tiles, six lights, a 512 × 512 light map, lighting the cells an 800 × 600 canvas at zoom 1
// shows (and one more around them), as the editor asks. Full: every bake starts afresh;
// incremental: each is relit from the one before, as the editor does while a light is dragged.
#include <benchmark/benchmark.h>

#include "app/preview.h"
#include "lighting/scenes.h"
#include "support/recording_surface.h"

namespace {

using namespace vorlane;

void BM_PreviewBakerAfterALightMove(benchmark::State& state) {
  const bool incremental = state.range(0) != 0;
  auto m = scenes::benchCity(96, 32);
  lighting::Settings settings{512, 512, false, lighting::kBlurRadius, {}, 0};
  m->setZoom(1);
  m->scrollX = m->scrollY = 0;
  const test::RecordingSurface canvas(800, 600);
  settings.region = app::shownRegion(*m, canvas, 1);
  app::PreviewBaker baker;
  baker.request(lighting::Snapshot(*m), settings, m.get());
  baker.wait();
  float step = 8;
  for (auto _ : state) {
    if (!incremental) {
      state.PauseTiming();
      baker.clear();
      state.ResumeTiming();
    }
    m->lights[2]->x += step;
    step = -step;
    baker.request(lighting::Snapshot(*m), settings, m.get());
    baker.wait();
    if (!baker.poll()) state.SkipWithError("no bake to show");
  }
  state.counters["kept"] = static_cast<double>(baker.shown() ? baker.shown()->shadowMapsKept : 0);
}

BENCHMARK(BM_PreviewBakerAfterALightMove)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("incremental")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
