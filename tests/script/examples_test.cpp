// `vorlane-tool run` and the example scripts, run as the built program on generated input.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/console.h"
#include "io/project.h"
#include "lighting/render.h"
#include "lighting/scenes.h"
#include "support/fixtures.h"
#include "support/tool_run.h"

namespace vorlane {
namespace {

using test::runTool;
using test::TempDir;

std::string quoted(const std::string& text) { return "'" + text + "'"; }
std::string example(const std::string& name) { return quoted(std::string(VORLANE_EXAMPLES_DIR) + "/" + name); }

io::Project load(const std::string& path) {
  base::ConsoleCapture quiet;
  auto p = io::loadProjectFile(path, io::Accept::projectOrExport);
  EXPECT_TRUE(p.ok()) << path << ": " << (p.ok() ? "" : p.error());
  return p.ok() ? std::move(p.value()) : io::Project{map::Map::create(0, 0, 0, 0, 0), false, {}};
}

void save(const std::string& path, const map::Map& m) {
  base::ConsoleCapture quiet;
  ASSERT_TRUE(io::writeFileAtomically(path, [&](base::ByteWriter& out) { io::saveMap(m, out); }).ok());
}

void expectSamePixels(const map::Map& want, const map::Map& got) {
  ASSERT_EQ(want.cells.size(), got.cells.size());
  for (std::size_t k = 0; k < want.cells.size(); ++k) {
    ASSERT_EQ(!want.cells[k], !got.cells[k]) << k;
    if (want.cells[k]) {
      ASSERT_EQ(want.cells[k]->image->pixels, got.cells[k]->image->pixels) << k;
    }
  }
}

TEST(RunCommand, ArgumentsOutputAndExitStatus) {
  TempDir dir;
  const std::string script = dir.file("job.lua");
  const auto write = [&](const std::string& text) { test::writeFile(script, {text.begin(), text.end()}); };
  write("print(#arg, arg[0] == ..., select('#', ...), arg[1], arg[2], arg[3])\n"
        "io.write('no line end')");
  auto run = runTool(dir, "run " + quoted(script) + " a --b -c");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "3\tfalse\t3\ta\t--b\t-c\nno line end");
  EXPECT_EQ(run.err, "");

  // The library's own progress lines are not the script's output.
  write("vorlane.save(arg[1], vorlane.newMap(1, 1, 1, 8, 8)) print('done')");
  run = runTool(dir, "run " + quoted(script) + " " + quoted(dir.file("m")));
  EXPECT_EQ(run.out, "done\n");
  EXPECT_TRUE(std::filesystem::exists(dir.file("m.vorl")));

  write("local m = vorlane.newMap(2, 2, 1, 8, 8)\n\nm:setCell(5, 0, 0, nil)\nprint('not reached')");
  run = runTool(dir, "run " + quoted(script));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, script + ":3: Cell (5, 0, 0) is outside the map.\n");

  run = runTool(dir, "run " + quoted(dir.file("none.lua")));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, dir.file("none.lua") + ": " + io::kUnableToOpen + "\n");

  write("os.exit(3)");
  EXPECT_EQ(runTool(dir, "run " + quoted(script)).exitCode, 3);
  EXPECT_EQ(runTool(dir, "run").exitCode, 2) << "the script is required";
}

TEST(Examples, RoomIsBorderedLitInItsCornersAndBaked) {
  TempDir dir;
  test::writeFile(dir.file("floor.png"), test::encodePng(test::solidImage(8, 8, 120, 120, 120)));
  test::writeFile(dir.file("wall.png"), test::encodePng(test::solidImage(8, 8, 200, 60, 40)));
  auto run = runTool(dir, "run " + example("room.lua") + " " + quoted(dir.file("floor.png")) + " " +
                              quoted(dir.file("wall.png")) + " " + quoted(dir.file("room")) + " 6 5 8");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("room 6x5 with 4 lights"), std::string::npos) << run.out;

  auto room = load(dir.file("room.vorl")).map;
  ASSERT_EQ(std::tuple(room->width, room->height, room->depth, room->tileWidth), std::tuple(6, 5, 2, 8));
  for (std::int32_t x = 0; x < 6; ++x) {
    for (std::int32_t y = 0; y < 5; ++y) {
      ASSERT_TRUE(room->cell(x, y, 0)) << x << "," << y;
      EXPECT_EQ(room->cell(x, y, 0)->path, dir.file("floor.png"));
      const bool edge = x == 0 || y == 0 || x == 5 || y == 4;
      ASSERT_EQ(room->cell(x, y, 1) != nullptr, edge) << x << "," << y;
      if (edge) {
        EXPECT_EQ(room->cell(x, y, 1)->castShadows, 1);
      }
    }
  }
  std::vector<std::pair<float, float>> lights;
  for (const auto& l : room->lights) lights.emplace_back(l->x, l->y);
  EXPECT_EQ(lights, (std::vector<std::pair<float, float>>{{12, 12}, {36, 12}, {12, 28}, {36, 28}}));

  // The bake is the Render command's result for the saved room.
  auto lit = load(dir.file("room-lit.vorl")).map;
  base::ConsoleCapture quiet;
  auto want = lighting::renderCommand(*room, 256, 256, true);
  ASSERT_TRUE(want.ok());
  expectSamePixels(**want, *lit);
}

TEST(Examples, RelightBakesEveryProjectOfAFolder) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "in");
  std::filesystem::create_directory(dir.path() / "out");
  for (std::uint32_t seed : {1u, 2u}) {
    auto m = scenes::makeScene({5, 4, 2, 8, 8, {1.0, 0.4}, {{8, 8}}, seed});
    m->addLight(scenes::light(14, 12, 1, 70));
    save(dir.file("in/level" + std::to_string(seed) + ".vorl"), *m);
  }
  test::writeFile(dir.file("in/notes.txt"), {'x'});
  auto run = runTool(dir, "run " + example("relight.lua") + " " + quoted(dir.file("in")) + " " +
                              quoted(dir.file("out")) + " 32 soft");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "level1.vorl\nlevel2.vorl\n2 projects relit at 32x32\n");
  for (const char* name : {"level1.vorl", "level2.vorl"}) {
    auto source = load(dir.file(std::string("in/") + name)).map;
    base::ConsoleCapture quiet;
    auto want = lighting::renderCommand(*source, 32, 32, true);
    ASSERT_TRUE(want.ok());
    expectSamePixels(**want, *load(dir.file(std::string("out/") + name)).map);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("out/notes.txt")));
}

TEST(Examples, PivotsCsvListsEveryRecord) {
  TempDir dir;
  auto m = map::Map::create(3, 3, 1, 8, 8);
  auto door = map::Pivot::createPivot(8, 16, 0);
  door->link = "rooms/a,b.vorl";
  door->addRecord("key", "gold");
  door->addRecord("says", "\"hi\"");
  m->addPivot(door);
  m->addPivot(map::Pivot::createPivot(1, 2, 0));  // no records: no rows
  auto chest = map::Pivot::createPivot(20, 4, 0);
  chest->addRecord("items", "3");
  m->addPivot(chest);
  save(dir.file("level.vorl"), *m);
  auto run = runTool(dir, "run " + example("pivots_csv.lua") + " " + quoted(dir.file("level.vorl")));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "pivot,x,y,layer,link,name,value\n"
            "0,8.0,16.0,0,\"rooms/a,b.vorl\",key,gold\n"
            "0,8.0,16.0,0,\"rooms/a,b.vorl\",says,\"\"\"hi\"\"\"\n"
            "2,20.0,4.0,0,,items,3\n");
}

}  // namespace
}  // namespace vorlane
