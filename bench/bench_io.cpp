// Project file speed: a generated project of about 100 MB (1,000 tiles of 64 × 64 in four
// tilesets, all of them used by a 256 × 256 × 4 map) saved and loaded, in memory and
// through files in the page cache.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "base/console.h"
#include "io/project.h"

namespace {

using namespace vorlane;

struct Generated {
  map::MapPtr map;
  std::vector<io::TilesetEntry> tilesets;
};

std::shared_ptr<tiles::Tile> generatedTile(int n) {
  auto image = std::make_shared<platform::Image>(64, 64);
  for (std::size_t i = 0; i < image->pixels.size(); ++i) image->pixels[i] = static_cast<std::uint8_t>(i * 7 + n);
  auto tile = std::make_shared<tiles::Tile>();
  tile->path = "tiles/generated_" + std::to_string(n) + ".png";
  (void)tile->setImages(image, image.get());
  return tile;
}

const Generated& generated() {
  static const Generated g = [] {
    Generated out;
    std::vector<tiles::TilePtr> tiles;
    for (int i = 0; i < 1000; ++i) tiles.push_back(generatedTile(i));
    for (int t = 0; t < 4; ++t) {
      auto set = map::Map::createTileset();
      for (int i = 0; i < 250; ++i) set->addToFirstFreeCell(tiles[static_cast<std::size_t>(t * 250 + i)]);
      out.tilesets.push_back({"Tileset " + std::to_string(t + 1), set});
    }
    out.map = map::Map::create(256, 256, 4, 64, 64);
    std::size_t n = 0;
    for (int x = 0; x < 256; ++x)
      for (int y = 0; y < 256; ++y)
        for (int layer = 0; layer < 4; ++layer)
          if ((x + y + layer) % 3 != 0) out.map->setCell(x, y, layer, tiles[n++ % tiles.size()]);
    for (int i = 0; i < 100; ++i) out.map->addLight(map::Light::createLight(i, i, 0, 255, 255, 255));
    return out;
  }();
  return g;
}

std::vector<std::uint8_t> projectBytes() {
  base::ByteWriter out;
  io::saveMap(*generated().map, out);
  io::writeTilesetSection(generated().tilesets, out);
  return out.data();
}

std::string scratchFile(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::string("vorlane-bench-") + std::to_string(::getpid()) + name))
      .string();
}

// The reader's progress lines are not what is measured.
struct Quiet {
  Quiet() : previous(base::setConsoleSink([](std::string_view) {})) {}
  ~Quiet() { base::setConsoleSink(std::move(previous)); }
  base::ConsoleSink previous;
};

void BM_SaveToMemory(benchmark::State& state) {
  const auto& g = generated();
  std::size_t size = 0;
  for (auto _ : state) {
    base::ByteWriter out;
    io::saveMap(*g.map, out);
    io::writeTilesetSection(g.tilesets, out);
    size = out.data().size();
    benchmark::DoNotOptimize(out.data().data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  state.counters["MB"] = static_cast<double>(size) / 1e6;
}

// What saveProjectFile does up to the sync: buffered writes into a file in the page cache.
void BM_SaveToFile(benchmark::State& state) {
  const auto& g = generated();
  const std::string path = scratchFile("-save.vorl");
  std::size_t size = 0;
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::setvbuf(file, nullptr, _IONBF, 0);
    {
      base::ByteWriter out(file);
      io::saveMap(*g.map, out);
      io::writeTilesetSection(g.tilesets, out);
      out.flush();
    }
    size = static_cast<std::size_t>(std::ftell(file));
    std::fclose(file);
  }
  std::remove(path.c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

// The whole Save command, including fsync and rename: bound by the disk, not the code.
void BM_SaveProjectFile(benchmark::State& state) {
  const auto& g = generated();
  const std::string name = scratchFile("-command");
  Quiet quiet;
  for (auto _ : state) {
    auto status = io::saveProjectFile(name, *g.map, g.tilesets);
    if (!status) state.SkipWithError(status.error().c_str());
  }
  const auto size = std::filesystem::file_size(io::saveFileName(name));
  std::remove(io::saveFileName(name).c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_ParseFromMemory(benchmark::State& state) {
  const auto bytes = projectBytes();
  Quiet quiet;
  for (auto _ : state) {
    auto project = io::parseProject(bytes);
    if (!project) state.SkipWithError(project.error().c_str());
    benchmark::DoNotOptimize(project);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// The Load command's reading: the whole file from the page cache, then the parse.
void BM_LoadProjectFile(benchmark::State& state) {
  const std::string path = scratchFile("-load.vorl");
  const auto bytes = projectBytes();
  {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  Quiet quiet;
  for (auto _ : state) {
    auto project = io::loadProjectFile(path);
    if (!project) state.SkipWithError(project.error().c_str());
    benchmark::DoNotOptimize(project);
  }
  std::remove(path.c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

BENCHMARK(BM_SaveToMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveProjectFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParseFromMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadProjectFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
