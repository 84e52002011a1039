// The renderer against the plain reference on the two benchmark maps. Each benchmark first
// checks that both give the same bytes, times the reference once (outside the loop) and
// reports it with the ratio to the renderer's mean time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "base/console.h"
#include "lighting/passes.h"
#include "lighting/reference.h"
#include "lighting/render.h"
#include "lighting/scenes.h"
#include "support/own_parts.h"

namespace {

using namespace vorlane;
using Clock = std::chrono::steady_clock;

double seconds(const std::function<void()>& f) {
  auto t0 = Clock::now();
  f();
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

bool sameLitMaps(const map::Map& a, const map::Map& b) {
  if (a.cells.size() != b.cells.size()) return false;
  for (std::size_t k = 0; k < a.cells.size(); ++k) {
    if (!a.cells[k] != !b.cells[k]) return false;
    if (a.cells[k] && a.cells[k]->image->pixels != b.cells[k]->image->pixels) return false;
  }
  return true;
}

using ShadowMaps = std::vector<std::vector<std::uint8_t>>;

// The renderer's shadow pass alone: every light's map, as a bake computes them.
ShadowMaps fastShadowPass(const map::Map& m, std::int32_t W, std::int32_t H, bool soft) {
  return lighting::detail::shadowMaps(m, lighting::detail::Frame::of(m, W, H), soft, 4.0f, {}, {}, {}, {},
                                      lighting::detail::Sampled::all(m));
}

ShadowMaps referenceShadowPass(const map::Map& m, std::int32_t W, std::int32_t H, bool soft) {
  ShadowMaps maps;
  for (const auto& l : m.lights) {
    maps.push_back(reference::hardShadowMap(m, *l, W, H));
    if (soft) maps.back() = reference::soften(maps.back(), W, H, 4.0f);
  }
  return maps;
}

lighting::Lit bake(const map::Map& m, std::int32_t W, std::int32_t H, bool soft) {
  return lighting::render(lighting::Snapshot(m), {W, H, soft, 4.0f, {}}).value();
}

// Google Benchmark may call a benchmark function more than once: the reference runs once.
template <typename T>
const T& once(const std::string& key, const std::function<T()>& make) {
  static std::map<std::string, std::shared_ptr<void>> cache;
  auto& slot = cache[key];
  if (!slot) slot = std::make_shared<T>(make());
  return *static_cast<const T*>(slot.get());
}

void report(benchmark::State& state, double referenceSeconds, double fastSeconds, std::int64_t runs) {
  const double mean = fastSeconds / static_cast<double>(runs);
  state.counters["ref_s"] = referenceSeconds;
  state.counters["fast_ms"] = mean * 1e3;
  state.counters["ratio"] = referenceSeconds / mean;
}

// (a) 48 × 48 cells of 32 × 32, 256 × 256, hard (0) or soft (1).
void BM_A_ShadowPass(benchmark::State& state) {
  const bool soft = state.range(0) != 0;
  auto m = scenes::benchSceneA();
  struct Ref {
    double seconds;
    std::vector<std::vector<std::uint8_t>> maps;
  };
  const Ref& ref = once<Ref>("A shadow " + std::to_string(soft), [&] {
    auto r = scenes::benchSceneA();
    Ref out{0, {}};
    out.seconds = seconds([&] { out.maps = referenceShadowPass(*r, 256, 256, soft); });
    return out;
  });
  double total = 0;
  std::int64_t runs = 0;
  ShadowMaps got;
  for (auto _ : state) {
    total += seconds([&] { got = fastShadowPass(*m, 256, 256, soft); });
    ++runs;
  }
  // Layer 0 is full, so every texel of a layer-1 light is read and all entries must agree.
  if (got != ref.maps) state.SkipWithError("shadow maps differ from the reference");
  report(state, ref.seconds, total, runs);
}

void BM_A_Bake(benchmark::State& state) {
  const int soft = static_cast<int>(state.range(0));
  auto m = scenes::benchSceneA();
  base::ConsoleCapture quiet;
  struct Ref {
    double seconds;
    map::MapPtr lit;
  };
  const Ref& ref = once<Ref>("A bake " + std::to_string(soft), [&] {
    auto r = scenes::benchSceneA();
    Ref out{0, {}};
    out.seconds = seconds([&] { out.lit = reference::renderLightmap(*r, 256, 256, soft, 4.0f).lit; });
    return out;
  });
  double total = 0;
  std::int64_t runs = 0;
  map::MapPtr got;
  for (auto _ : state) {
    total += seconds([&] { got = bake(*m, 256, 256, soft != 0).map; });
    ++runs;
  }
  if (!sameLitMaps(*ref.lit, *got)) state.SkipWithError("lit map differs from the reference");
  report(state, ref.seconds, total, runs);
}

// A bake at 512 × 512 against the reference, whose shadow pass runs on every 16th texel
// column and is scaled by 16; its lighting pass runs whole.
void sampledReferenceBake(benchmark::State& state, const std::string& name, const std::function<map::MapPtr()>& scene) {
  constexpr std::int32_t W = 512, H = 512, step = 16;
  auto m = scene();
  base::ConsoleCapture quiet;
  lighting::Lit fast;
  double total = 0;
  std::int64_t runs = 0;
  for (auto _ : state) {
    total += seconds([&] { fast = bake(*m, W, H, false); });
    ++runs;
  }
  const map::MapPtr got = fast.map;
  const ShadowMaps& fastMaps = fast.shadowMaps;

  struct Ref {
    double shadowSeconds, lightingSeconds;
    bool sameShadows;
    map::MapPtr lit;
  };
  const Ref& ref = once<Ref>(name, [&] {
    Ref out{0, 0, true, {}};
    // Reference shadow pass on a fraction of the columns, compared entry by entry.
    const float wf = static_cast<float>(m->width * m->tileWidth) / W;
    const float hf = static_cast<float>(m->height * m->tileHeight) / H;
    out.shadowSeconds = step * seconds([&] {
      for (std::size_t k = 0; k < m->lights.size(); ++k) {
        const auto& L = *m->lights[k];
        for (std::int32_t x = 0; x < W; x += step)
          for (std::int32_t y = 0; y < H; ++y) {
            bool dark = reference::isOccluded(*m, base::floatToInt(x * wf), base::floatToInt(y * hf),
                                              base::floatToInt(L.x), base::floatToInt(L.y), L.layer);
            out.sameShadows = out.sameShadows && fastMaps[k][static_cast<std::size_t>(x) * H + y] == (dark ? 0 : 255);
          }
      }
    });
    // Reference lighting pass, whole, with the renderer's shadow maps (checked above).
    out.lit = map::Map::create(m->width, m->height, m->depth, m->tileWidth, m->tileHeight);
    out.lightingSeconds = seconds([&] {
      for (std::int32_t c = 0; c < m->width; ++c)
        for (std::int32_t r = 0; r < m->height; ++r)
          for (std::int32_t d = 0; d < m->depth; ++d)
            if (const auto& t = m->cell(c, r, d)) {
              auto lit = std::make_shared<tiles::Tile>();
              reference::lightTile(*m, {W, H, fastMaps}, *t, *lit, c, r, d);
              out.lit->setCell(c, r, d, lit);
            }
    });
    return out;
  });
  if (!ref.sameShadows) state.SkipWithError("shadow maps differ from the reference");
  if (!sameLitMaps(*ref.lit, *got)) state.SkipWithError("lit map differs from the reference");
  state.counters["ref_shadow_s_estimated"] = ref.shadowSeconds;
  report(state, ref.shadowSeconds + ref.lightingSeconds, total, runs);
}

// (b) 128 × 128 cells of 16 × 16 with 4 × 4 images.
void BM_B_Bake(benchmark::State& state) { sampledReferenceBake(state, "B", scenes::benchSceneB); }

// The whole-process map of bench/bake_bench.sh: 96 × 96 cells of 32 pixels, six lights; its
// ref_s is the brute-force figure the tool's process time is held against.
void BM_City96_Bake(benchmark::State& state) {
  const auto side = static_cast<std::int32_t>(state.range(0));
  sampledReferenceBake(state, "City96 " + std::to_string(side), [side] { return scenes::benchCity(96, side); });
}

// The live preview on the 96 × 96 map at 512 × 512: from a light's move (taking the snapshot
// included) to a finished bake, in full (0) or relit from the previous result (1). It lights
// the cells an 800 × 600 canvas at zoom 1 shows at the map's corner (26 × 20 of 32 pixels,
// the draw pass taking one partly past the far edges) and one more around them.
void BM_PreviewAfterALightMove(benchmark::State& state) {
  const auto side = static_cast<std::int32_t>(state.range(0));
  const bool incremental = state.range(1) != 0;
  auto m = scenes::benchCity(96, side);
  lighting::Settings settings{512, 512, false, 4.0f, {}, 0};
  settings.region = lighting::CellRegion{0, 0, 27, 21};
  auto previous = lighting::render(lighting::Snapshot(*m), settings).value();
  float step = 8;
  for (auto _ : state) {
    test::writable(m->lights[2])->x += step;
    step = -step;
    const lighting::Snapshot scene(*m);
    auto lit = incremental ? lighting::relight(previous, scene, settings) : lighting::render(scene, settings);
    previous = std::move(lit).value();
  }
  state.counters["kept"] = static_cast<double>(previous.shadowMapsKept);
}

BENCHMARK(BM_A_ShadowPass)->Arg(0)->Arg(1)->ArgName("soft")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_A_Bake)->Arg(0)->Arg(1)->ArgName("soft")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_B_Bake)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PreviewAfterALightMove)
    ->ArgsProduct({{8, 32}, {0, 1}})
    ->ArgNames({"image", "incremental"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_City96_Bake)->Arg(8)->Arg(32)->ArgName("image")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
