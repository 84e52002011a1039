// Inputs that once ended the program, each run in a child under an address-space limit: the
// child must come back with the operation's ordinary error (or its result), never abort.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "base/console.h"
#include "formats/formats.h"
#include "io/project.h"
#include "lighting/render.h"
#include "platform/decode.h"
#include "support/big_inputs.h"
#include "support/fixtures.h"
#include "support/tool_run.h"
#include "support/child.h"
#include "tiles/scan.h"
#include "tiles/tile.h"

namespace vorlane {
namespace {

using test::kMiB;

class MemoryLimits : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new test::TempDir;
    test::writeSparsePng(dir->file("sparse.png"), 40ll << 30);
    test::writeFile(dir->file("NMsparse.bmp"), test::encodeBmp(test::solidImage(4, 4, 255, 128, 128)));
    test::writeHugeScanImage(dir->file("huge.png"));
    test::writeAmplifyingProject(dir->file("amplifying.vorl"));
    test::writeAmplifyingProject(dir->file("amplifying8.vorl"), 8, 8);
  }
  static void TearDownTestSuite() {
    delete dir;
    dir = nullptr;
  }
  void SetUp() override {
    if (!test::memoryLimitsApply()) GTEST_SKIP() << "address-space limits do not apply to sanitizer builds";
  }
  static test::TempDir* dir;
};
test::TempDir* MemoryLimits::dir = nullptr;

// Work run in a child under an address-space limit, and what it must return there.
struct LimitedCase {
  std::string name;
  std::uint64_t limit;
  std::function<std::string()> work;
  std::string want;
};

// With `firstLine`, only the returned text's first line must be the one wanted.
void expectInChildren(std::span<const LimitedCase> cases, bool firstLine = false) {
  for (const LimitedCase& c : cases) {
    SCOPED_TRACE(c.name);
    const test::ChildOutcome outcome = test::runInChild(c.work, c.limit);
    ASSERT_TRUE(outcome.exited && outcome.status == 0) << outcome.describe();
    EXPECT_EQ(firstLine ? outcome.text.substr(0, outcome.text.find('\n')) : outcome.text, c.want);
  }
}

std::string scan(const std::string& path, int tileSide) {
  base::ConsoleCapture quiet;
  auto source = tiles::loadScanSource(path);
  if (!source) return source.error();
  auto pieces = tiles::cutImage(*source, tileSide, tileSide, "p");
  if (!pieces) return pieces.error();
  return std::to_string(source->image.width) + " x " + std::to_string(source->image.height) + " cut into " +
         std::to_string(pieces->size()) + " pieces";
}

std::string loadTile(const std::string& path) {
  base::ConsoleCapture quiet;
  auto tile = tiles::Tile::fromFile(path);
  return tile ? "loaded" : tile.error();
}

TEST_F(MemoryLimits, ImagesTooLargeToHoldAreOrdinaryErrors) {
  const std::string sparse = dir->file("sparse.png"), huge = dir->file("huge.png");
  const LimitedCase cases[] = {
      // The file's size was reserved before anything looked at it.
      {"40 GB sparse file decoded", 256 * kMiB,
       [&] {
         auto image = platform::decodeImageFile(sparse);
         return image ? std::string("decoded") : image.error();
       },
       platform::kImageFileTooLarge},
      {"40 GB sparse file scanned", 256 * kMiB, [&] { return scan(sparse, 16); }, tiles::kNotAValidFile},
      {"40 GB sparse file loaded as a tile", 256 * kMiB, [&] { return loadTile(sparse); }, tiles::kFileNotFound},
      // 1 GiB of pixels: every move of the image was a copy, 4.2 GB at the peak.
      {"16384 x 16384 PNG scanned", 1536 * kMiB + 256 * kMiB, [&] { return scan(huge, 16); },
       "16384 x 16384 cut into 1024 pieces"},
      // Sixteen pieces of 4096 x 4096 hold two images and two grids each: 4 GiB.
      {"16384 x 16384 PNG cut into 4096-pixel pieces", 2048 * kMiB, [&] { return scan(huge, 4096); },
       "Not enough memory to cut p into tiles of 4096 x 4096 pixels."},
      // The image and its colour and normal grids: 3 GiB.
      {"16384 x 16384 PNG loaded as a tile", 2048 * kMiB, [&] { return loadTile(huge); },
       "Not enough memory to load the tile " + huge + "."},
  };
  // The message's first line; a line naming the file and the cause may follow.
  expectInChildren(cases, true);
}

// Cells of one 1024 x 1024 tile: 30 x 20 of them make a lit map of 4.7 GiB from a 12 MB
// file; 8 x 8 one of 512 MiB, in a file of 768 MiB.
TEST_F(MemoryLimits, BakesOfLitMapsLargerThanMemory) {
  const std::string project = dir->file("amplifying.vorl"), out = dir->file("lit.vorl");
  const std::string small = dir->file("amplifying8.vorl");
  const auto render = [&] {
    base::ConsoleCapture quiet;
    auto loaded = io::loadProjectFile(project);
    if (!loaded) return loaded.error();
    const auto before = loaded->map->cells;
    quiet.clear();
    auto lit = lighting::renderCommand(*loaded->map, 256, 256, false);
    if (lit) return std::string("rendered");
    // Refused before any work: the map is as it was and nothing was printed.
    if (loaded->map->cells != before || !quiet.lines().empty())
      return std::string("changed");
    return lit.error().substr(0, lit.error().find(':'));
  };
  const auto bake = [&] {
    auto run = test::runProgram(VORLANE_TOOL_PATH, "bake '" + small + "' -o '" + out + "' --quiet --threads 2", *dir);
    return "exit " + std::to_string(run.exitCode) + run.err;
  };
  const LimitedCase cases[] = {
      {"the Render command", 3072 * kMiB, render, "Not enough memory to render this light map"},
      // Written band by band: it needs the shadow map and one band.
      {"vorlane-tool bake", 512 * kMiB, bake, "exit 0"},
  };
  expectInChildren(cases);
  // 64 tile records of an image and two grids of 4 MiB each.
  EXPECT_GT(std::filesystem::file_size(out), 64 * 12 * kMiB);
  std::filesystem::remove(out);
}

// A 4096 x 4096 image: 64 MiB decoded, 12 bytes a pixel more for what is made of it.
TEST_F(MemoryLimits, ImportsAndNormalMapsEstimateBeforeTheyDecode) {
  const std::string big = dir->file("big.png");
  test::writeStreamedPng(big, 4096, 4096);
  // Each tileset naming the 266 KB image as one tile adds 192 MiB; sixteen of them 3 GiB,
  // from a file of 2 KB.
  std::string tmx = "<map orientation=\"orthogonal\" width=\"1\" height=\"1\" tilewidth=\"4096\" tileheight=\"4096\">";
  for (int t = 0; t < 16; ++t)
    tmx += "<tileset firstgid=\"" + std::to_string(t + 1) + "\" name=\"s" + std::to_string(t) +
           "\" tilewidth=\"4096\" tileheight=\"4096\"><image source=\"big.png\"/></tileset>";
  tmx += "<layer name=\"l\" width=\"1\" height=\"1\"><data encoding=\"csv\">1</data></layer></map>";
  test::writeFile(dir->file("many.tmx"), std::vector<std::uint8_t>(tmx.begin(), tmx.end()));
  const auto import = [&] {
    auto imported = formats::importMapFile(dir->file("many.tmx"), {true});
    if (imported) return std::string("imported");
    // The message names the file first, then the reason.
    std::string reason = imported.error();
    if (const std::string file = dir->file("many.tmx") + ": "; reason.rfind(file, 0) == 0) reason.erase(0, file.size());
    return reason.substr(0, reason.find(':'));
  };
  const auto normals = [&] {
    auto run = test::runProgram(VORLANE_TOOL_PATH, "normals '" + big + "' -o '" + dir->file("NMbig.bmp") + "'", *dir);
    return "exit " + std::to_string(run.exitCode) + " " + run.err.substr(0, run.err.find(':', run.err.find(':') + 1));
  };
  const LimitedCase cases[] = {
      {"import", 1024 * kMiB, import, "not enough memory to import this map"},
      // Aborted on bad_alloc once.
      {"vorlane-tool normals", 200 * kMiB, normals,
       "exit 1 " + big + ": Not enough memory to derive the normal map of an image of 4096 x 4096 pixels"},
  };
  expectInChildren(cases);
  EXPECT_FALSE(std::filesystem::exists(dir->file("NMbig.bmp")));
}

}  // namespace
}  // namespace vorlane
