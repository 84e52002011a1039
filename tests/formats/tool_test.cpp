// vorlane-tool import and export run as the built program, and the exported maps drawn by
// the peer editor's own renderer (tmxrasterizer).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "base/console.h"
#include "formats/samples.h"
#include "io/project.h"
#include "platform/decode.h"
#include "support/tool_run.h"

namespace vorlane::formats::test {
namespace {

using vorlane::test::runProgram;
using vorlane::test::runTool;

std::string quoted(const std::string& path) { return "'" + path + "'"; }

std::string replace(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

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
      {"sky.tmx", 1, "", "The map holds what Vorlane cannot: image layer 'Sky'"},
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

// What the fault-injection campaign found at the tool's edges, each with its smallest input:
// every one a one-line message and exit 1 (or the expected success), never an abort, never
// a success that was none, never a file replaced that should not be.
TEST(ToolEdges, EachFindingEndsInOneLineOrTheRightResult) {
  TempDir dir;
  writeSampleFiles(dir);
  writeText(dir.file("map.tmx"), sampleTmx());
  writeText(dir.file("trans.tmx"), replace(sampleTmx(), "<image source=\"atlas.png\"", "<image source=\"atlas.png\" trans=\"zzzzzz\""));
  writeText(dir.file("trans.tmj"), replace(sampleTmj(), R"("image":"atlas.png",)", R"("image":"atlas.png","transparentcolor":"#gggggg",)"));
  writeText(dir.file("print.lua"), "for i = 1, 1000 do print(string.rep('x', 1000)) end\n");
  ASSERT_EQ(runTool(dir, "import " + quoted(dir.file("map.tmx")) + " -o " + quoted(dir.file("map.vorl"))).exitCode, 0);
  {
    base::ConsoleCapture quiet;
    // One pixel wider than a PNG may be; a picture of 2^28 pixels and more.
    ASSERT_TRUE(io::saveProjectFile(dir.file("wide"), *map::Map::create(1000001, 1, 1, 1, 1), {}));
    ASSERT_TRUE(io::saveProjectFile(dir.file("huge"), *map::Map::create(1000, 300, 1, 1000, 1000), {}));
  }
  const auto mapBytes = vorlane::test::readFile(dir.file("map.vorl"));
  struct Case {
    std::string args;  // in the scratch folder: file names are bare
    int exitCode;
    std::string err;   // the whole of standard error
  };
  const Case cases[] = {
      {"import trans.tmx -o out.vorl", 1, "trans.tmx: tileset 'atlas': the transparent colour 'zzzzzz' is not #RRGGBB\n"},
      {"import trans.tmj -o out.vorl", 1, "trans.tmj: tileset 'atlas': the transparent colour '#gggggg' is not #RRGGBB\n"},
      {"info map.vorl --json >/dev/full", 1, "vorlane-tool: cannot write the output: No space left on device\n"},
      {"run print.lua >/dev/full", 1, "vorlane-tool: cannot write the output: No space left on device\n"},
      {"png wide.vorl -o wide.png", 1,
       "wide.vorl: The map is 1000001x1 pixels; a PNG image is at most 1000000 pixels a side. --scale or --max-side draws "
       "a smaller picture, a band of rows at a time.\n"},
      {"png huge.vorl -o huge.png", 1,
       "huge.vorl: The map is 1000000x300000 pixels, more than the 268435456 pixels one image may hold. --scale or "
       "--max-side draws a smaller picture, a band of rows at a time.\n"},
      {"png huge.vorl -o huge.png --max-side 64", 0, ""},
      // A bare name is a file of the current folder, its companion beside it.
      {"scan atlas.png --tile 4x4 -o atlas.vorl", 0, ""},
      {"normals rock.png", 0, ""},
      {"png map.vorl -o map.vorl", 1, "map.vorl: this is the input map.vorl; writing it would replace what is being read\n"},
      {"bake map.vorl -o ./map.vorl --quiet", 1,
       "./map.vorl: this is the input map.vorl; writing it would replace what is being read\n"},
      {"import map.tmx -o map.tmx", 1, "map.tmx: this is the input map.tmx; writing it would replace what is being read\n"},
      {"export map.vorl --format tmx -o map.vorl", 1,
       "map.vorl: this is the input map.vorl; writing it would replace what is being read\n"},
  };
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    // Redirections in the arguments come before runProgram's, so they are the ones that hold.
    const bool toFull = c.args.find(">/dev/full") != std::string::npos;
    const std::string err = dir.file("err");
    const int status = toFull ? std::system(("'" VORLANE_TOOL_PATH "' " + c.args + " 2>'" + err + "'").c_str()) : 0;
    auto run = toFull ? vorlane::test::ToolRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, "",
                                               [&] {
                                                 auto bytes = vorlane::test::readFile(err);
                                                 return std::string(bytes.begin(), bytes.end());
                                               }()}
                      : runTool(dir, c.args);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.err, c.err);
  }
  std::filesystem::current_path(cwd);
  EXPECT_EQ(vorlane::test::readFile(dir.file("map.vorl")), mapBytes);
  EXPECT_TRUE(std::filesystem::exists(dir.file("NMrock.bmp")));
  // The scan found the companion beside the image: its tiles carry its normals, not flat ones.
  auto scanned = io::loadProjectFile(dir.file("atlas.vorl"), io::Accept::projectOrExport);
  ASSERT_TRUE(scanned) << scanned.error();
  EXPECT_EQ(std::vector<int>(scanned->tilesets[0].tileset->cell(0, 0, 0)->normalGrid->values.begin(),
                             scanned->tilesets[0].tileset->cell(0, 0, 0)->normalGrid->values.begin() + 3),
            std::vector<int>({200, 100, 50}));
}

}  // namespace
}  // namespace vorlane::formats::test
