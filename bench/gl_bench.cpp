// Frames of the big map in a real canvas with Mesa's software OpenGL, as each timer tick
// draws them (clear, markCell, draw, drawGrid, present), waiting for the GPU to finish.
// Needs a display: bench/gl.sh runs it under Xvfb.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "big_map.h"
#include "map/view.h"
#include "platform/qt/gl_surface.h"
#include "platform/qt/qt_toolkit.h"

namespace {

using vorlane::platform::qt::GlSurface;
using vorlane::platform::qt::QtToolkit;

struct Canvas {
  QtToolkit tk;
  vorlane::platform::Handle window = 0, canvas = 0;
  vorlane::map::MapPtr map = vorlane::bench::bigMap();
  vorlane::map::ViewState view;
  Canvas() {
    window = tk.createWindow("Benchmark", 0, 0, 820, 620, 0, vorlane::platform::kTitleBar);
    canvas = tk.createCanvas(0, 0, 800, 600, window);
    tk.showPendingWindows();
    (void)QTest::qWaitForWindowExposed(tk.widget(window), 10000);
  }
};

Canvas& canvas() {
  static Canvas* c = new Canvas();  // lives as long as the GL context it made
  return *c;
}

void frame(benchmark::State& state, float zoom) {
  Canvas& c = canvas();
  auto& surface = static_cast<GlSurface&>(c.tk.surface(c.canvas));
  const vorlane::map::Map& m = *c.map;
  vorlane::map::ViewState& view = c.view;
  view.zoom = zoom;
  // The middle of the map at the canvas centre.
  view.scrollX = static_cast<float>(m.width * m.tileWidth / 2 - surface.width() / 2);
  view.scrollY = static_cast<float>(m.height * m.tileHeight / 2 - surface.height() / 2);
  view.hover = vorlane::map::CellPoint{0, 0};
  const auto draw = [&] {
    surface.clear();
    vorlane::map::draw(m, view, surface);
    vorlane::map::drawGrid(m, view, surface);
    surface.present();
    surface.finish();
  };
  draw();  // uploads and caches outside the timing
  const std::uint64_t before = surface.drawCalls();
  for (auto _ : state) {
    draw();
    // Alternate a pixel of scroll, as a pan does, so no frame repeats the last one.
    view.scrollX += (state.iterations() % 2 ? 1.0f : -1.0f) / zoom;
  }
  state.counters["draw calls/frame"] =
      static_cast<double>(surface.drawCalls() - before) / static_cast<double>(state.iterations());
}

void BM_GlFrameZoom1(benchmark::State& state) { frame(state, 1.0f); }
void BM_GlFrameZoomQuarter(benchmark::State& state) { frame(state, 0.25f); }
void BM_GlFrameZoomTwentieth(benchmark::State& state) { frame(state, 0.05f); }
BENCHMARK(BM_GlFrameZoom1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_GlFrameZoomQuarter)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_GlFrameZoomTwentieth)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  static int qtArgc = 1;
  static char name[] = "bench_gl";
  static char* qtArgv[] = {name, nullptr};
  new QApplication(qtArgc, qtArgv);  // kept to the end: the canvas's context outlives main
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::_Exit(0);  // skip tearing down Qt under a context still current
}
