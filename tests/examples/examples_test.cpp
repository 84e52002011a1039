// The example project: every file passes `vorlane-tool check`, loads with what the README
// promises, bakes, and is what its generator makes today.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/console.h"
#include "io/project.h"
#include "support/fixtures.h"
#include "support/tool_run.h"

namespace vorlane::test {
namespace {

namespace fs = std::filesystem;

const fs::path kDungeon = fs::path(VORLANE_EXAMPLES_DIR) / "dungeon";

std::string arg(const fs::path& p) { return "'" + p.string() + "'"; }

TEST(Examples, EveryProjectFilePassesTheCheck) {
  TempDir scratch;
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(VORLANE_EXAMPLES_DIR)) {
    if (entry.path().extension() != ".vorl") continue;
    ++files;
    ToolRun r = runTool(scratch, "check " + arg(entry.path()));
    EXPECT_EQ(r.exitCode, 0) << entry.path() << ": " << r.err;
  }
  EXPECT_GE(files, 2);  // the example and its baked result
}

TEST(Examples, TheDungeonHoldsWhatTheReadmeShows) {
  base::ConsoleCapture quiet;
  auto project = io::loadProjectFile((kDungeon / "dungeon.vorl").string());
  ASSERT_TRUE(project.ok()) << project.error();
  const map::Map& m = *project->map;
  EXPECT_EQ(m.width, 24);
  EXPECT_EQ(m.height, 16);
  EXPECT_EQ(m.depth, 2);
  EXPECT_EQ(m.lights.size(), 4u);
  ASSERT_EQ(m.pivots.size(), 2u);
  for (const auto& pivot : m.pivots) EXPECT_GE(pivot->recordCount, 2);
  ASSERT_EQ(project->tilesets.size(), 1u);
  // Tiles carry derived normal maps, not the flat stand-in.
  int sloped = 0;
  for (const auto& tile : m.tileTable)
    for (std::size_t i = 0; i < tile->normalGrid->values.size(); i += 4) sloped += tile->normalGrid->values[i] != 255;
  EXPECT_GT(sloped, 1000);
  // Paths inside the project are relative to its folder.
  for (const auto& tile : m.tileTable) EXPECT_EQ(tile->path.rfind("./dungeon.png ", 0), 0u) << tile->path;
}

TEST(Examples, BakeAtASmallSize) {
  TempDir scratch;
  ToolRun r = runTool(scratch, "bake " + arg(kDungeon / "dungeon.vorl") + " -o " +
                                   arg(scratch.file("lit.vorl")) + " --width 32 --height 32 --quiet");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  base::ConsoleCapture quiet;
  auto lit = io::loadProjectFile(scratch.file("lit.vorl"));
  ASSERT_TRUE(lit.ok()) << lit.error();
  EXPECT_EQ(lit->map->width, 24);
  EXPECT_EQ(lit->map->depth, 2);
}

// `make examples` must give back the committed files, so anyone can change and remake them.
TEST(Examples, TheGeneratorMakesTheCommittedFiles) {
  TempDir scratch;
  const fs::path dir = scratch.path();
  ASSERT_EQ(runProgram(VORLANE_MAKE_EXAMPLE_PATH, "tileset " + arg(dir), scratch).exitCode, 0);
  ToolRun normals = runTool(scratch, "normals " + arg(dir / "dungeon.png") + " --strength 3 --blur 1");
  ASSERT_EQ(normals.exitCode, 0) << normals.err;
  ToolRun map = runProgram(VORLANE_MAKE_EXAMPLE_PATH, "map " + arg(dir), scratch);
  ASSERT_EQ(map.exitCode, 0) << map.err;
  for (const char* name : {"dungeon.png", "NMdungeon.bmp", "dungeon.vorl"})
    EXPECT_TRUE(readFile((dir / name).string()) == readFile((kDungeon / name).string()))
        << name << " differs from what the generator makes: run `make examples`";
}

}  // namespace
}  // namespace vorlane::test
