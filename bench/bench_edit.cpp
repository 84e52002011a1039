// The undo history under heavy painting: 1,000 Fill strokes on a 1024 × 1024 × 4 map, the
// memory the history then holds, and the time of one undo of a Fill (and its redo). And the
// history after a Render of 16 lights at 4096 × 4096.
#include <benchmark/benchmark.h>

#include "base/console.h"
#include "edit/cells.h"
#include "edit/document.h"
#include "map/stamp.h"
#include "lighting/render.h"

namespace {

using namespace vorlane;

constexpr std::int32_t kSide = 1024, kDepth = 4;

struct Painted {
  edit::Document doc;
  tiles::TilePtr a = std::make_shared<tiles::Tile>(), b = std::make_shared<tiles::Tile>();

  Painted() { doc.replaceMap("New Map", map::Map::create(kSide, kSide, kDepth, 16, 16)); }

  void fill(int stroke) {
    edit::CellRecorder rec(doc, doc.map(), "Fill");
    doc.map()->fillLayer(stroke % kDepth, (stroke / kDepth) % 2 ? a : b, rec);
  }
};

void reportHistory(benchmark::State& state, const edit::Document& doc) {
  state.counters["history_MiB"] = static_cast<double>(doc.history().bytes()) / (1 << 20);
  state.counters["steps"] = static_cast<double>(doc.history().size());
}

// 1,000 strokes, each filling one whole layer with the tile the layer does not hold.
void BM_ThousandFillStrokes(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto painted = std::make_unique<Painted>();
    state.ResumeTiming();
    for (int i = 0; i < 1000; ++i) painted->fill(i);
    state.PauseTiming();
    reportHistory(state, painted->doc);
    painted.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ThousandFillStrokes)->Unit(benchmark::kMillisecond)->Iterations(1);

// One undo of a Fill at the top of that history; each undo is followed by its redo
// (untimed) so that every iteration undoes the same stroke.
void BM_UndoOneFill(benchmark::State& state) {
  Painted painted;
  for (int i = 0; i < 1000; ++i) painted.fill(i);
  for (auto _ : state) {
    painted.doc.undo();
    state.PauseTiming();
    painted.doc.redo();
    state.ResumeTiming();
  }
  reportHistory(state, painted.doc);
}
BENCHMARK(BM_UndoOneFill)->Unit(benchmark::kMillisecond);

// The worst case for the runs: a Fill over a layer whose cells alternate, so every cell
// is a run of its own. Reports the bytes that one such stroke records.
void BM_FillOverCheckeredLayer(benchmark::State& state) {
  Painted painted;
  const map::MapPtr checkered = map::Map::create(kSide, kSide, kDepth, 16, 16);
  for (std::int32_t x = 0; x < kSide; ++x)
    for (std::int32_t y = 0; y < kSide; ++y) checkered->setCell(x, y, 0, (x + y) % 2 ? painted.a : painted.b);
  painted.doc.replaceMap("New Map", checkered);
  const map::Map& m = *painted.doc.map();
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::size_t before = painted.doc.history().bytes();
    {
      edit::CellRecorder rec(painted.doc, painted.doc.map(), "Fill");
      m.fillLayer(0, nullptr, rec);
    }
    bytes = painted.doc.history().bytes() - before;
    state.PauseTiming();
    painted.doc.undo();
    state.ResumeTiming();
  }
  state.counters["stroke_MiB"] = static_cast<double>(bytes) / (1 << 20);
}
BENCHMARK(BM_FillOverCheckeredLayer)->Unit(benchmark::kMillisecond);

// The Bucket over a whole 1024 × 1024 layer of one tile, from its centre: the largest area a
// click can fill, recorded as one step.
void BM_BucketWholeLayer(benchmark::State& state) {
  Painted painted;
  painted.fill(0);
  const map::Stamp brush = map::Stamp::single(painted.a);
  std::int64_t area = 0;
  for (auto _ : state) {
    {
      edit::CellRecorder rec(painted.doc, painted.doc.map(), "Bucket");
      area = map::bucketFill(*painted.doc.map(), rec, kSide / 2, kSide / 2, 0, brush);
    }
    state.PauseTiming();
    painted.doc.undo();
    state.ResumeTiming();
  }
  state.counters["cells"] = static_cast<double>(area);
}
BENCHMARK(BM_BucketWholeLayer)->Unit(benchmark::kMillisecond);

// The Render button on a small map with 16 lights at 4096 × 4096: the history keeps the
// step and the editable map, which the render only read.
void BM_RenderOf16LightsAt4096(benchmark::State& state) {
  for (auto _ : state) {
    edit::Document doc;
    auto editable = map::Map::create(8, 8, 2, 16, 16);
    auto tile = std::make_shared<tiles::Tile>();
    tile->image = std::make_shared<platform::Image>(16, 16);
    for (std::int32_t x = 0; x < 8; ++x) editable->setCell(x, 3, 1, tile);
    for (int k = 0; k < 16; ++k) editable->addLight(map::Light::createLight(8.0f * k, 40, 1, 255, 255, 255));
    doc.replaceMap("New Map", editable);
    base::ConsoleCapture quiet;
    auto lit = lighting::renderCommand(*editable, 4096, 4096, false);
    if (!lit) {
      state.SkipWithError("the render failed");
      break;
    }
    doc.replaceMap("Render", std::move(lit).value());
    reportHistory(state, doc);
    state.counters["undo_brings_back_the_map"] = doc.undo() && doc.map() == editable ? 1 : 0;
  }
}
BENCHMARK(BM_RenderOf16LightsAt4096)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
