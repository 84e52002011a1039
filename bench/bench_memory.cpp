// Peak memory of vorlane-tool on inputs made to stress it, as the child's maximum resident
// set: scanning a 16384 × 16384 PNG, baking the 30 × 20 project of 1024-pixel tiles, and,
// with VORLANE_BENCH_CITY1024=1, baking 1024 × 1024 cells of 32 pixels at 8192 × 8192
// (minutes, and 16 GB of output). VORLANE_TOOL names another build of the tool to compare
// with; the inputs are made in TMPDIR.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/console.h"
#include "io/project.h"
#include "lighting/scenes.h"
#include "support/big_inputs.h"
#include "support/child.h"
#include "support/fixtures.h"

namespace {

using namespace vorlane;

std::string toolPath() {
  const char* given = std::getenv("VORLANE_TOOL");
  return given && *given ? given : VORLANE_TOOL_PATH;
}

// Runs the tool to the end; its peak resident set in MiB, or -1 when it failed.
double peakMiB(const std::vector<std::string>& args) {
  const pid_t child = test::spawnProgram(args);
  int status = 0;
  rusage usage{};
  ::wait4(child, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

const test::TempDir& scratch() {
  static test::TempDir dir;
  return dir;
}

void measure(benchmark::State& state, const std::vector<std::string>& args, const std::string& output) {
  double peak = 0;
  for (auto _ : state) peak = peakMiB(args);
  std::filesystem::remove(output);
  if (peak < 0) state.SkipWithError("the tool failed");
  state.counters["peak_MiB"] = peak;
}

void BM_ScanHugePng(benchmark::State& state) {
  const std::string image = scratch().file("huge.png"), out = scratch().file("tiles.vorl");
  if (!std::filesystem::exists(image)) test::writeHugeScanImage(image);
  measure(state, {toolPath(), "scan", image, "-o", out, "--tile", "64x64"}, out);
}
BENCHMARK(BM_ScanHugePng)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_BakeAmplifying(benchmark::State& state) {
  const std::string project = scratch().file("amplifying.vorl"), out = scratch().file("lit.vorl");
  if (!std::filesystem::exists(project)) test::writeAmplifyingProject(project);
  measure(state, {toolPath(), "bake", project, "-o", out, "--quiet"}, out);
}
BENCHMARK(BM_BakeAmplifying)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_BakeCity1024(benchmark::State& state) {
  const std::string project = scratch().file("city1024.vorl"), out = scratch().file("city1024-lit.vorl");
  if (!std::filesystem::exists(project)) {
    base::ConsoleCapture quiet;
    auto status = io::writeFileAtomically(project, [&](base::ByteWriter& w) {
      io::saveMap(*scenes::benchCity(1024, 32), w);
      io::writeTilesetSection({}, w);
    });
    if (!status) state.SkipWithError(status.error().c_str());
  }
  measure(state, {toolPath(), "bake", project, "-o", out, "--quiet", "--width", "8192", "--height", "8192"}, out);
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* city = std::getenv("VORLANE_BENCH_CITY1024"); city && std::string(city) == "1")
    benchmark::RegisterBenchmark("BM_BakeCity1024", BM_BakeCity1024)
        ->Iterations(1)
        ->Unit(benchmark::kSecond)
        ->UseRealTime();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
