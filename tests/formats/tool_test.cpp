// vorlane-tool import and export run as the built program, and the exported maps drawn by
// the peer editor's own renderer (tmxrasterizer).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "formats/samples.h"
#include "platform/decode.h"
#include "support/tool_run.h"

namespace vorlane::formats::test {
namespace {

using vorlane::test::runProgram;
using vorlane::test::runTool;

std::string quoted(const std::string& path) { return "'" + path + "'"; }

void writeText(const std::string& path, const std::string& text) {
  vorlane::test::writeFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// The image as stored, without the black-to-transparent rule of tile images.
platform::Image readPng(const std::string& path) {
  auto decoded = platform::decodeByContent(vorlane::test::readFile(path));
  EXPECT_TRUE(decoded) << path;
  return decoded ? decoded->image : platform::Image{};
}

// tmxrasterizer leaves uncovered pixels transparent where the composite is black: both
// compared as opaque RGB over black. Every tile pixel here is opaque or fully transparent.
void expectSameAsComposite(const platform::Image& raster, const platform::Image& composite) {
  ASSERT_EQ(raster.width, composite.width);
  ASSERT_EQ(raster.height, composite.height);
  int differing = 0;
  for (std::int32_t y = 0; y < raster.height; ++y)
    for (std::int32_t x = 0; x < raster.width; ++x) {
      const std::uint8_t* r = raster.at(x, y);
      const std::uint8_t* c = composite.at(x, y);
      const std::uint8_t flat[3] = {r[3] ? r[0] : std::uint8_t{0}, r[3] ? r[1] : std::uint8_t{0}, r[3] ? r[2] : std::uint8_t{0}};
      if ((r[3] != 0 && r[3] != 255) || flat[0] != c[0] || flat[1] != c[1] || flat[2] != c[2]) {
        if (++differing <= 3)
          ADD_FAILURE() << "pixel (" << x << ", " << y << "): tmxrasterizer " << int(r[0]) << "," << int(r[1]) << ","
                        << int(r[2]) << "," << int(r[3]) << " composite " << int(c[0]) << "," << int(c[1]) << ","
                        << int(c[2]);
      }
    }
  EXPECT_EQ(differing, 0);
}

// A map made here, imported, baked, exported back: the peer's renderer draws every export
// exactly as the png command draws the map it came from.
TEST(ToolExport, TmxrasterizerDrawsTheExportAsThePngCommandDoes) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  TempDir dir;
  writeSampleFiles(dir);
  writeText(dir.file("map.tmx"), sampleTmx());
  ASSERT_EQ(runTool(dir, "import " + quoted(dir.file("map.tmx")) + " -o " + quoted(dir.file("map.vorl"))).exitCode, 0);
  ASSERT_EQ(runTool(dir, "bake " + quoted(dir.file("map.vorl")) + " -o " + quoted(dir.file("lit.vorl")) +
                             " --width 64 --height 64 --quiet")
                .exitCode,
            0);
  for (const char* project : {"map", "lit"})
    for (const char* format : {"tmx", "tmj"}) {
      SCOPED_TRACE(std::string(project) + " as " + format);
      const std::string in = quoted(dir.file(std::string(project) + ".vorl"));
      const std::string out = dir.file(std::string(project) + "_out." + format);
      auto run = runTool(dir, "export " + in + " --format " + format + " --normals --encoding zstd -o " + quoted(out));
      ASSERT_EQ(run.exitCode, 0) << run.err;
      ASSERT_EQ(runTool(dir, "png " + in + " -o " + quoted(dir.file("composite.png"))).exitCode, 0);
      ASSERT_EQ(runTool(dir, "export " + in + " --format png -o " + quoted(dir.file("exported.png"))).exitCode, 0);
      // Object groups are drawn as markers; the composite draws no objects.
      const auto raster = runProgram(
          "tmxrasterizer", "--hide-layer Lights --hide-layer Pivots " + quoted(out) + " " + quoted(dir.file("raster.png")), dir);
      ASSERT_EQ(raster.exitCode, 0) << raster.err;
      const platform::Image composite = readPng(dir.file("composite.png"));
      expectSameAsComposite(readPng(dir.file("raster.png")), composite);
      EXPECT_EQ(readPng(dir.file("exported.png")).pixels, composite.pixels);
    }
}

TEST(ToolImport, WritesTheProjectOrNothing) {
  TempDir dir;
  writeSampleFiles(dir);
  SampleParts withSky;
  withSky.extra = " <imagelayer id=\"9\" name=\"Sky\"/>\n";
  writeText(dir.file("sky.tmx"), sampleTmx(withSky));
  writeText(dir.file("map.tmj"), sampleTmj());
  writeText(dir.file("broken.tmx"), sampleTmx().substr(0, 200));
  struct Case {
    std::string args;
    int exitCode;
    std::string out, errContains;
  };
  const Case cases[] = {
      {"map.tmj", 0, "", ""},
      {"sky.tmx --lossy", 0, "left out: image layer 'Sky'\n", ""},
      {"sky.tmx", 1, "", "The map holds what Vorlane cannot:\n  image layer 'Sky'"},
      {"broken.tmx", 1, "", "broken XML in the map"},
      {"absent.tmx", 1, "", "Unable to open file."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    std::filesystem::remove(dir.file("out.vorl"));
    auto run = runTool(dir, "import " + quoted(dir.file(c.args.substr(0, c.args.find(' ')))) +
                                c.args.substr(std::min(c.args.size(), c.args.find(' '))) + " -o " +
                                quoted(dir.file("out.vorl")));
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_NE(run.err.find(c.errContains), std::string::npos) << run.err;
    EXPECT_EQ(std::filesystem::exists(dir.file("out.vorl")), c.exitCode == 0);
    // Nothing else: no temporary file either.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 12 + (c.exitCode == 0 ? 1 : 0));
  }
  auto check = runTool(dir, "export " + quoted(dir.file("map.tmj")) + " --format tiff -o " + quoted(dir.file("x")));
  EXPECT_EQ(check.exitCode, 2);
}

}  // namespace
}  // namespace vorlane::formats::test
