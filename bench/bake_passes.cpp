// Times the renderer's two passes in one process on a project file:
//   bake_passes FILE WIDTH HEIGHT SOFT [RUNS]
// prints the median of RUNS (default 5) for the whole bake and for lighting every cell again
// with the bake's shadow maps (one thread), in milliseconds of wall clock and of processor
// time (all threads), which a machine busy with other work disturbs less.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <vector>

#include "base/console.h"
#include "io/project.h"
#include "lighting/passes.h"
#include "lighting/render.h"

namespace {

using namespace vorlane;
using Clock = std::chrono::steady_clock;

double cpuMillis() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Wall and processor milliseconds of f.
template <typename F>
std::pair<double, double> millis(F&& f) {
  auto t0 = Clock::now();
  const double c0 = cpuMillis();
  f();
  return {std::chrono::duration<double, std::milli>(Clock::now() - t0).count(), cpuMillis() - c0};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::cerr << "usage: bake_passes FILE WIDTH HEIGHT SOFT [RUNS]\n";
    return 2;
  }
  base::ConsoleCapture quiet;
  auto project = io::loadProjectFile(argv[1], io::Accept::projectOrExport);
  if (!project) {
    std::cerr << argv[1] << ": " << project.error() << '\n';
    return 1;
  }
  const map::Map& m = *project->map;
  const int w = std::atoi(argv[2]), h = std::atoi(argv[3]), soft = std::atoi(argv[4]);
  const int runs = argc > 5 ? std::max(1, std::atoi(argv[5])) : 5;
  std::vector<double> whole, wholeCpu, lighting, lightingCpu;
  for (int k = 0; k < runs; ++k) {
    const lighting::Settings settings{w, h, soft != 0, 4.0f, {}};
    lighting::Lit baked;
    auto [wall, cpu] = millis([&] { baked = lighting::render(lighting::Snapshot(m), settings).value(); });
    const auto frame = lighting::detail::Frame::of(m, w, h);
    std::vector<const std::vector<std::uint8_t>*> maps;
    for (const auto& shadows : baked.shadowMaps) maps.push_back(&shadows);
    const auto lights = lighting::detail::lightParams(m, frame, maps);
    const lighting::detail::Tone tone{lighting::kIntensity, {0, 0, 0}};
    whole.push_back(wall);
    wholeCpu.push_back(cpu);
    auto [lightingWall, lightingCpuMs] = millis([&] {
      for (std::int32_t c = 0; c < m.width; ++c)
        for (std::int32_t r = 0; r < m.height; ++r)
          for (std::int32_t d = 0; d < m.depth; ++d)
            if (const auto& t = m.cell(c, r, d)) {
              tiles::Tile lit;
              lighting::detail::lightCell(m, frame, lights, tone, *t, lit, c, r, d, nullptr);
            }
    });
    lighting.push_back(lightingWall);
    lightingCpu.push_back(lightingCpuMs);
  }
  std::cout << "whole_ms " << median(whole) << " whole_cpu_ms " << median(wholeCpu) << " lighting_one_thread_ms "
            << median(lighting) << " lighting_cpu_ms " << median(lightingCpu) << '\n';
  return 0;
}
