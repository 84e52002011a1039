// One frame of the map canvas (markCell, draw, drawGrid, as each timer tick does) into a
// counting surface: the cost should follow the visible part of the map, not its size.
#include <benchmark/benchmark.h>

#include "map/map.h"
#include "map/view.h"
#include "support/recording_surface.h"

namespace {

using vorlane::map::Map;
using vorlane::map::MapPtr;

MapPtr filledMap(int side) {
  auto m = Map::create(side, side, 4, 32, 32);
  auto tiles = std::vector<vorlane::map::TilePtr>();
  for (int i = 0; i < 4; ++i) {
    auto t = std::make_shared<vorlane::tiles::Tile>();
    t->image = std::make_shared<vorlane::platform::Image>(32, 32);
    tiles.push_back(t);
  }
  for (int x = 0; x < side; ++x)
    for (int y = 0; y < side; ++y)
      for (int l = 0; l < 2; ++l) m->setCell(x, y, l, tiles[static_cast<std::size_t>((x + y + l) % 4)]);
  return m;
}

void frame(benchmark::State& state, int side) {
  MapPtr m = filledMap(side);
  vorlane::test::RecordingSurface surface(800, 600);
  surface.keep = false;
  vorlane::map::ViewState view;
  view.hover = vorlane::map::CellPoint{3, 4};
  for (auto _ : state) {
    vorlane::map::draw(*m, view, surface);
    vorlane::map::drawGrid(*m, view, surface);
    benchmark::DoNotOptimize(surface.callCount);
  }
  state.counters["calls/frame"] = static_cast<double>(surface.callCount) / static_cast<double>(state.iterations());
}

void BM_FrameSmallMap(benchmark::State& state) { frame(state, 32); }
void BM_FrameLargeMap(benchmark::State& state) { frame(state, 1024); }
BENCHMARK(BM_FrameSmallMap);
BENCHMARK(BM_FrameLargeMap);

}  // namespace

BENCHMARK_MAIN();
