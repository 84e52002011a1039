// vorlane-tool scan, run as the built program, its project read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/console.h"
#include "io/project.h"
#include "support/fixtures.h"
#include "support/tool_run.h"

namespace vorlane::tiles {
namespace {

using test::ToolRun;

struct ScanToolTest : ::testing::Test {
  test::TempDir dir;
  std::string image = dir.file("sheet.png");
  std::string out = dir.file("out.vorl");

  void SetUp() override {
    test::writeFile(image, test::encodePng(test::patternImage(40, 20)));
    test::writeFile(dir.file("NMsheet.bmp"), test::encodeBmp(test::solidImage(40, 20, 250, 120, 130)));
  }
  ToolRun run(const std::string& args) { return test::runTool(dir, "scan " + args); }
  std::string quoted(const std::string& s) { return "'" + s + "'"; }
};

TEST_F(ScanToolTest, WritesAnEmptyMapAndOneTilesetOfThePieces) {
  struct Case {
    std::string tileArg;
    int tw, th, pieces;
  };
  for (const Case& c : {Case{"", 16, 16, 6}, Case{"--tile 20x8", 20, 8, 6}, Case{"--tile 64X64", 64, 64, 1}}) {
    ToolRun r = run(quoted(image) + " -o " + quoted(out) + " " + c.tileArg);
    ASSERT_EQ(r.exitCode, 0) << c.tileArg << ": " << r.err;
    EXPECT_EQ(r.out, "");
    base::ConsoleCapture quiet;
    auto project = io::loadProjectFile(out);
    ASSERT_TRUE(project.ok()) << project.error();
    const map::Map& m = *project->map;
    EXPECT_EQ(std::tie(m.width, m.height, m.depth, m.tileWidth, m.tileHeight), std::make_tuple(1, 1, 1, c.tw, c.th));
    EXPECT_EQ(m.cell(0, 0, 0), nullptr);
    ASSERT_EQ(project->tilesets.size(), 1u);
    EXPECT_EQ(project->tilesets[0].label, "Tileset 1");
    const map::Map& set = *project->tilesets[0].tileset;
    int count = static_cast<int>(std::count_if(set.cells.begin(), set.cells.end(), [](const auto& t) { return t != nullptr; }));
    EXPECT_EQ(count, c.pieces);
    for (int i = 0; i < c.pieces; ++i) {
      const auto& t = set.cell(i, 0, 0);
      ASSERT_TRUE(t);
      EXPECT_EQ(t->path, image + " " + std::to_string(i));
      EXPECT_EQ(t->image->width, c.tw);
      const std::uint8_t* n = t->normalGrid->at(0, 0);
      EXPECT_EQ(std::vector<int>(n, n + 4), (std::vector<int>{250, 120, 130, 255}));
    }
  }
}

TEST_F(ScanToolTest, RefusesWithOneLineAndWritesNothing) {
  test::writeFile(dir.file("lonely.png"), test::encodePng(test::patternImage(4, 4)));
  test::writeFile(dir.file("junk.png"), {1, 2, 3});
  test::writeFile(dir.file("NMjunk.bmp"), test::encodeBmp(test::solidImage(2, 2, 9, 9, 9)));
  struct Case {
    std::string args;
    int exitCode;
    std::string errContains;
  };
  const Case cases[] = {
      {quoted(dir.file("lonely.png")) + " -o " + quoted(out), 1, "No normal map present."},
      {quoted(dir.file("junk.png")) + " -o " + quoted(out), 1, "Not a valid file."},
      {quoted(dir.file("absent.png")) + " -o " + quoted(out), 1, "No normal map present."},
      {quoted(image) + " -o " + quoted(out) + " --tile 0x16", 1, "from 1 to 4096"},
      {quoted(image) + " -o " + quoted(out) + " --tile 5000x16", 1, "from 1 to 4096"},
      {quoted(image) + " -o " + quoted(dir.file("no/such/dir/out.vorl")), 1, "Unable to open file."},
      {quoted(image) + " -o " + quoted(out) + " --tile 16", 2, ""},
      {quoted(image) + " -o " + quoted(out) + " --tile -3x4", 2, ""},
      {quoted(image), 2, ""},
  };
  for (const Case& c : cases) {
    ToolRun r = run(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args;
    EXPECT_NE(r.err.find(c.errContains), std::string::npos) << c.args << ": " << r.err;
    if (c.exitCode == 1) {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args;
    }
    EXPECT_EQ(r.out, "") << c.args;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.args;
  }
}

}  // namespace
}  // namespace vorlane::tiles
