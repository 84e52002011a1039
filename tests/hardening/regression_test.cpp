// Replays the seed corpora and every input a fuzzer once failed on through the fuzz
// targets' own checks, plus named cases for each finding.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "base/console.h"
#include "hardening/checks.h"
#include "io/project.h"
#include "io/samples.h"
#include "support/fixtures.h"

namespace vorlane::hardening {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct Target {
  const char* name;
  std::string (*check)(std::span<const std::uint8_t>);
};

const Target kTargets[] = {
    {"bmp", checkBmp},         {"image", checkImage}, {"text_to_int", checkTextToInt},
    {"project", checkProject}, {"bake", checkBake},   {"import", checkImport}};

TEST(FuzzInputs, SeedsAndPastFindingsPassEveryCheck) {
  base::ConsoleCapture quiet;
  for (const Target& t : kTargets) {
    std::size_t seeds = 0;
    for (const char* kind : {"corpus", "regressions"}) {
      const fs::path dir = fs::path(VORLANE_FUZZ_DIR) / kind / t.name;
      if (!fs::is_directory(dir)) continue;
      for (const auto& entry : fs::directory_iterator(dir)) {
        SCOPED_TRACE(entry.path().string());
        const Bytes bytes = test::readFile(entry.path().string());
        EXPECT_EQ(t.check(bytes), "");
        if (std::string(kind) == "corpus") ++seeds;
      }
    }
    EXPECT_GT(seeds, 0u) << t.name << " has no seed corpus";
  }
}

// fuzz_project: a tile record 0 pixels wide but 2^31 - 1 high is valid, and once sized an
// 8 GiB column buffer from its height alone (reading, and again writing it back); one
// 2^31 - 1 wide and 0 high ran two billion empty column reads. Baking either once sized
// the lighting's per-pixel tables from the huge side.
TEST(FuzzFindings, TileImagesWithoutPixelsCostNothing) {
  for (const auto& [w, h] : {std::pair{0, 0x7FFFFFFF}, std::pair{0x7FFFFFFF, 0}}) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    const Bytes file = io::test::Builder()
                           .sizes(1, 1, 1)
                           .i32(1)  // one tile
                           .line("a")
                           .i32s({w, h})
                           .u8(0)
                           .u8(0)
                           .i32s({0, 0, 0, 0})  // colour and normal grids 0 x 0
                           .i32s({0, 0, 0})     // the cell holds the tile; no lights, no pivots
                           .bytes;
    base::ConsoleCapture quiet;
    auto project = io::parseProject(file, io::Accept::projectOrExport);
    ASSERT_TRUE(project) << project.error();
    ASSERT_EQ(project->map->tileTable.size(), 1u);
    EXPECT_EQ(project->map->tileTable[0]->image->width, w);
    EXPECT_EQ(project->map->tileTable[0]->image->height, h);
    EXPECT_EQ(checkProject(file), "");
    EXPECT_EQ(checkBake(file), "");
  }
}

}  // namespace
}  // namespace vorlane::hardening
