// vorlane-tool bake and png, run as the built program.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/console.h"
#include "base/convert.h"
#include "io/project.h"
#include "lighting/composite.h"
#include "lighting/render.h"
#include "lighting/scenes.h"
#include "platform/decode.h"
#include "support/fixtures.h"
#include "support/tool_run.h"

namespace vorlane {
namespace {

using test::TempDir;

using test::runTool;
using test::ToolRun;

void writeMapFile(const std::string& path, const map::Map& m, const std::vector<io::TilesetEntry>* tilesets) {
  ASSERT_TRUE(io::writeFileAtomically(path, [&](base::ByteWriter& out) {
                io::saveMap(m, out);
                if (tilesets) io::writeTilesetSection(*tilesets, out);
              }).ok());
}

io::Project load(const std::string& path, io::Accept accept = io::Accept::projectOrExport) {
  base::ConsoleCapture quiet;
  auto p = io::loadProjectFile(path, accept);
  EXPECT_TRUE(p.ok()) << path << ": " << (p.ok() ? "" : p.error());
  return p.ok() ? std::move(p.value()) : io::Project{};
}

// What the editor's Render button gives for the same file.
map::MapPtr renderedInProcess(const std::string& path, std::int32_t w, std::int32_t h, bool soft,
                              const lighting::Options& options = {}) {
  auto project = load(path);
  base::ConsoleCapture quiet;
  return lighting::renderCommand(*project.map, w, h, soft, {}, options).value();
}

void expectSamePixels(const map::Map& want, const map::Map& got) {
  ASSERT_EQ(want.cells.size(), got.cells.size());
  for (std::size_t k = 0; k < want.cells.size(); ++k) {
    ASSERT_EQ(!want.cells[k], !got.cells[k]) << k;
    if (want.cells[k]) {
      EXPECT_EQ(want.cells[k]->image->pixels, got.cells[k]->image->pixels) << k;
    }
  }
}

class ToolFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    auto m = scenes::makeScene({6, 5, 2, 8, 8, {1.0, 0.3}, {{8, 8}, {4, 4}}, 9});
    m->addLight(scenes::light(20, 18, 1, 90));
    m->addLight(scenes::light(44, 30, 1, 60, 255, 100, 40));
    auto tileset = map::Map::createTileset();
    tileset->setCell(0, 0, 0, m->cell(0, 0, 0));
    std::vector<io::TilesetEntry> tilesets{{"Tiles", tileset}};
    writeMapFile(dir.file("level.vorl"), *m, &tilesets);
    writeMapFile(dir.file("game.vorl"), *m, nullptr);
  }
  std::string path(const std::string& name) const { return "'" + dir.file(name) + "'"; }
  TempDir dir;
};

TEST_F(ToolFiles, BakeWritesWhatTheRenderButtonGives) {
  const std::string wf = base::floatToText(48.0f / 256), hf = base::floatToText(40.0f / 256);
  struct Case {
    std::string args, output;
    bool exportFile;
    std::size_t tilesets;
    std::int32_t width, height;
    bool soft;
    std::string out;
    lighting::Options options{};
  } cases[] = {
      {"bake " + path("level.vorl") + " -o " + path("a.vorl"), "a.vorl", false, 1, 256, 256, false,
       "Rendering shadow map at a resolution of 256x256\nWF:" + wf + " HF:" + hf + "\n"},
      {"bake " + path("game.vorl") + " -o " + path("b.vorl") + " --export --soft --width 5 --height 20", "b.vorl", true,
       0, 16, 20, true,
       "Rendering shadow map at a resolution of 16x20\nWF:" + base::floatToText(48.0f / 16) +
           " HF:" + base::floatToText(40.0f / 20) + "\n"},
      {"bake " + path("game.vorl") + " -o " + path("c.vorl") + " --quiet --threads 1 --soft", "c.vorl", false, 0, 256,
       256, true, ""},
      {"bake " + path("level.vorl") + " -o " + path("d.vorl") + " --quiet --ambient 10,0,255 --intensity 2.5" +
           " --cast-shadows-flags",
       "d.vorl", false, 1, 256, 256, false, "", lighting::Options{{10, 0, 255}, 2.5f, true}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    auto run = runTool(dir, c.args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, "");  // not a terminal: no progress line
    auto written = load(dir.file(c.output), c.exportFile ? io::Accept::projectOrExport : io::Accept::projectOnly);
    ASSERT_TRUE(written.map);
    EXPECT_EQ(written.hasTilesetSection, !c.exportFile);
    EXPECT_EQ(written.tilesets.size(), c.tilesets);
    EXPECT_TRUE(written.map->lights.empty());
    expectSamePixels(
        *renderedInProcess(dir.file(c.exportFile ? "game.vorl" : "level.vorl"), c.width, c.height, c.soft, c.options),
        *written.map);
  }
}

TEST_F(ToolFiles, BakeAndPngRefuseWithAReasonAndAnExitCode) {
  auto huge = map::Map::create(1, 1, 1, 20000, 20000);
  huge->setCell(0, 0, 0, scenes::makeTile({2, 2}, 1));
  writeMapFile(dir.file("huge.vorl"), *huge, nullptr);
  test::writeFile(dir.file("broken.vorl"), {1, 2, 3});
  struct Case {
    std::string args;
    int exitCode;
    std::string errContains;
  } cases[] = {
      {"bake " + path("missing.vorl") + " -o " + path("x.vorl"), 1, "missing.vorl: "},
      {"bake " + path("broken.vorl") + " -o " + path("x.vorl"), 1, "broken.vorl: "},
      {"bake " + path("level.vorl") + " -o " + path("x.vorl") + " --width 9000", 1, "beyond the limit of 8192x8192"},
      {"bake " + path("level.vorl") + " -o " + path("no/such/dir/x.vorl"), 1, "x.vorl: "},
      {"bake " + path("level.vorl"), 2, "output"},
      {"bake " + path("level.vorl") + " -o " + path("x.vorl") + " --threads 0", 2, "threads"},
      {"bake " + path("level.vorl") + " -o " + path("x.vorl") + " --width many", 2, "width"},
      {"bake " + path("level.vorl") + " -o " + path("x.vorl") + " --ambient 1,2", 2, "ambient"},
      {"bake " + path("level.vorl") + " -o " + path("x.vorl") + " --ambient 1,256,3", 2, "ambient"},
      {"bake " + path("level.vorl") + " -o " + path("x.vorl") + " --intensity -1", 2, "intensity"},
      {"png " + path("huge.vorl") + " -o " + path("x.png"), 1, "more than the 268435456 pixels"},
      {"png " + path("missing.vorl") + " -o " + path("x.png"), 1, "missing.vorl: "},
      {"png " + path("level.vorl"), 2, "output"},
      {"png " + path("level.vorl") + " -o " + path("x.png") + " --scale 0", 2, "scale"},
      {"png " + path("level.vorl") + " -o " + path("x.png") + " --scale 1.5", 2, "scale"},
      {"png " + path("level.vorl") + " -o " + path("x.png") + " --max-side 0", 2, "max-side"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    auto run = runTool(dir, c.args);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_NE(run.err.find(c.errContains), std::string::npos) << run.err;
    if (c.exitCode == 1) {
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.vorl")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.png")));
  }
}

platform::Image readPng(const std::string& path) {
  auto bytes = test::readFile(path);
  auto decoded = platform::decodePng(bytes);
  EXPECT_TRUE(decoded.ok());
  return decoded.ok() ? decoded->image : platform::Image{};
}

TEST_F(ToolFiles, PngDrawsLayersUpwardsSkippingHalfTransparentPixels) {
  // Cell (0,0): a 2 × 1 image, red opaque and green at alpha 100, stretched over 4 × 2
  // pixels. Cell (1,0): blue below, white at alpha 128 above.
  auto m = map::Map::create(2, 1, 2, 4, 2);
  auto tile = [](std::vector<std::uint8_t> pixels, std::int32_t w) {
    auto t = std::make_shared<tiles::Tile>();
    t->image = std::make_shared<platform::Image>(w, 1);
    t->image->pixels = std::move(pixels);
    return t;
  };
  m->setCell(0, 0, 0, tile({255, 0, 0, 255, 0, 255, 0, 100}, 2));
  m->setCell(1, 0, 0, tile({0, 0, 255, 255}, 1));
  m->setCell(1, 0, 1, tile({255, 255, 255, 128}, 1));
  writeMapFile(dir.file("small.vorl"), *m, nullptr);
  auto run = runTool(dir, "png " + path("small.vorl") + " -o " + path("small.png"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
  auto image = readPng(dir.file("small.png"));
  ASSERT_EQ(image.width, 8);
  ASSERT_EQ(image.height, 2);
  const std::uint8_t expected[8][3] = {{255, 0, 0},     {255, 0, 0},     {0, 0, 0},       {0, 0, 0},
                                       {255, 255, 255}, {255, 255, 255}, {255, 255, 255}, {255, 255, 255}};
  for (std::int32_t y = 0; y < 2; ++y)
    for (std::int32_t x = 0; x < 8; ++x)
      for (int k = 0; k < 3; ++k) EXPECT_EQ(image.at(x, y)[k], expected[x][k]) << x << "," << y;

  // A baked map draws the same as compositing its lit map.
  ASSERT_EQ(runTool(dir, "bake " + path("level.vorl") + " -o " + path("lit.vorl") + " --quiet").exitCode, 0);
  ASSERT_EQ(runTool(dir, "png " + path("lit.vorl") + " -o " + path("lit.png")).exitCode, 0);
  auto lit = readPng(dir.file("lit.png"));
  auto want = lighting::compositeMap(*load(dir.file("lit.vorl")).map);
  ASSERT_TRUE(want.ok());
  ASSERT_EQ(lit.width, 48);
  for (std::int32_t y = 0; y < lit.height; ++y)
    for (std::int32_t x = 0; x < lit.width; ++x)
      ASSERT_TRUE(std::equal(lit.at(x, y), lit.at(x, y) + 3, want->at(x, y))) << x << "," << y;
}

// A preview draws each cell as the canvas does at that zoom: solid tiles stay solid, holes
// show the layer below, and --max-side shrinks a map too big to composite whole.
TEST_F(ToolFiles, PngPreviewScalesAndShrinksToAMaximumSide) {
  auto m = map::Map::create(3, 2, 2, 8, 8);
  const auto solid = [](std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a, bool mipmapped) {
    auto t = std::make_shared<tiles::Tile>();
    t->image = std::make_shared<platform::Image>(test::solidImage(8, 8, r, g, b, a));
    t->image->mipmapped = mipmapped;
    return t;
  };
  m->fillLayer(0, solid(200, 10, 10, 255, true));
  m->setCell(1, 0, 0, solid(10, 200, 10, 255, false));
  m->setCell(2, 1, 1, solid(10, 10, 200, 255, true));
  m->setCell(0, 1, 1, solid(250, 250, 250, 100, true));  // below the mask's half
  m->setCell(1, 1, 0, nullptr);
  writeMapFile(dir.file("small.vorl"), *m, nullptr);
  ASSERT_EQ(runTool(dir, "png " + path("small.vorl") + " -o " + path("half.png") + " --scale 0.5").exitCode, 0);
  auto half = readPng(dir.file("half.png"));
  ASSERT_EQ(std::make_pair(half.width, half.height), std::make_pair(12, 8));
  const auto rgb = [](const platform::Image& image, int x, int y) {
    return std::array<int, 3>{image.at(x, y)[0], image.at(x, y)[1], image.at(x, y)[2]};
  };
  for (int x = 0; x < 4; ++x) EXPECT_EQ(rgb(half, x, 0), (std::array<int, 3>{200, 10, 10})) << x;
  EXPECT_EQ(rgb(half, 4, 3), (std::array<int, 3>{10, 200, 10}));
  EXPECT_EQ(rgb(half, 1, 5), (std::array<int, 3>{200, 10, 10})) << "the hole shows the layer below";
  EXPECT_EQ(rgb(half, 5, 5), (std::array<int, 3>{0, 0, 0})) << "an empty cell stays black";
  EXPECT_EQ(rgb(half, 11, 7), (std::array<int, 3>{10, 10, 200}));

  auto huge = map::Map::create(1000, 1000, 1, 512, 512);
  huge->fillLayer(0, solid(1, 2, 3, 255, true));
  writeMapFile(dir.file("huge.vorl"), *huge, nullptr);
  ASSERT_EQ(runTool(dir, "png " + path("huge.vorl") + " -o " + path("huge.png") + " --max-side 300").exitCode, 0);
  auto shrunk = readPng(dir.file("huge.png"));
  ASSERT_EQ(std::make_pair(shrunk.width, shrunk.height), std::make_pair(300, 300));
  EXPECT_EQ(rgb(shrunk, 150, 299), (std::array<int, 3>{1, 2, 3}));
}

TEST(Composite, RefusesMapsWithoutPixelsOrWithTooMany) {
  EXPECT_FALSE(lighting::compositeMap(*map::Map::create(0, 0, 0, 0, 0)).ok());
  EXPECT_FALSE(lighting::compositeMap(*map::Map::create(3, 3, 1, -4, 4)).ok());
  EXPECT_FALSE(lighting::compositeMap(*map::Map::create(16385, 1, 0, 16384, 1)).ok());
  // 2^32 × 2^32 pixels: the count wraps to 0 in 64 bits, and once passed as an empty image.
  auto wraps = lighting::compositeMap(*map::Map::create(16384, 16384, 0, 1 << 18, 1 << 18));
  ASSERT_FALSE(wraps.ok());
  EXPECT_NE(wraps.error().find("4294967296x4294967296"), std::string::npos) << wraps.error();
}

}  // namespace
}  // namespace vorlane
