// The project reader's memory: its peak for a file stays within a small multiple of the
// file's size plus a constant, and a file declaring huge sizes is refused before anything
// large is allocated. Every allocation of this program goes through the counting
// operator new of the heap probe, so the figures are exact and the same on every run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/console.h"
#include "io/project.h"
#include "io/samples.h"
#include "support/fixtures.h"
#include "support/heap_probe.h"

namespace vorlane::io {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Usage {
  bool ok = false;
  std::string error;
  std::size_t peak = 0;     // bytes live at the worst moment, above what was live before
  std::size_t largest = 0;  // the largest single allocation
};

// Parses and drops the result, measuring the heap while it does.
Usage measure(const Bytes& file) {
  base::ConsoleCapture quiet;  // allocated before the measurement starts
  quiet.clear();
  Usage usage;
  vorlane::test::HeapProbe heap;
  {
    auto project = parseProject(file, Accept::projectOrExport);
    usage.ok = project.ok();
    if (!usage.ok) usage.error = project.error();
  }
  usage.peak = heap.peak();
  usage.largest = heap.largest();
  return usage;
}

using test::Builder;

// The map part of a file: `tiles` tile records, a w × h × d grid of cells, lights, pivots.
Bytes mapFile(std::int32_t emptyTiles, std::int32_t w, std::int32_t h, std::int32_t d, std::int32_t lights,
              std::int32_t pivots) {
  Builder b;
  b.sizes(w, h, d).i32(emptyTiles);
  for (std::int32_t i = 0; i < emptyTiles; ++i) b.emptyTile();
  for (std::int64_t i = 0; i < std::int64_t{w} * h * d; ++i) b.i32(emptyTiles > 0 ? 0 : -1);
  b.i32(lights);
  for (std::int32_t i = 0; i < lights; ++i) b.light();
  b.i32(pivots);
  for (std::int32_t i = 0; i < pivots; ++i) b.emptyPivot();
  return b.bytes;
}

// The cheapest way to spend each byte of a file, one kind of record at a time, and
// ordinary projects: peak ≤ kFactor × size + kConstant for each. Pixel data costs about its
// own size; small records cost their objects: a 27-byte empty tile record becomes a Tile
// with its image and grids (about 15 times its size), a 2-byte record entry (two empty
// lines) a shared record with two strings (about 45 times).
constexpr std::size_t kFactor = 48;
constexpr std::size_t kConstant = 256 * 1024;

TEST(ReaderMemory, PeakStaysWithinAMultipleOfTheFileSize) {
  struct Case {
    std::string name;
    Bytes file;
  };
  std::vector<Case> cases;
  for (std::int32_t n : {100, 10000}) {
    cases.push_back({std::to_string(n) + " empty tiles", mapFile(n, 1, 1, 1, 0, 0)});
    cases.push_back({std::to_string(n) + " lights", mapFile(0, 1, 1, 1, n, 0)});
    cases.push_back({std::to_string(n) + " pivots", mapFile(0, 1, 1, 1, 0, n)});
    cases.push_back({std::to_string(n) + " cells", mapFile(1, n / 10, 10, 1, 0, 0)});
    cases.push_back({std::to_string(n) + " layers", mapFile(0, 1, 1, n, 0, 0)});
  }
  {
    Builder b;
    b.sizes(1, 1, 1).i32(1).tile("t.png", 64, 64, 9).i32(0).i32(0).i32(0);
    cases.push_back({"one 64 x 64 tile", b.bytes});
  }
  {
    Builder b;
    b.sizes(1, 1, 1).i32(0).i32(-1).i32(0).i32(0).i32(255);
    for (int t = 0; t < 255; ++t) b.line("Tileset").fill(1024, 0xFF);
    cases.push_back({"255 empty tilesets", b.bytes});
  }
  {
    Builder b;
    b.sizes(1, 1, 1).i32(0).i32(-1).i32(0).i32(0).i32(1).line("Tileset");
    for (int c = 0; c < 1024; ++c) b.u8(0x01).emptyTile();
    cases.push_back({"a full tileset of empty tiles", b.bytes});
  }
  {
    Builder b;
    b.sizes(1, 1, 1).i32(0).i32(-1).i32(0).i32(1);
    b.i32(0).i32(0).i32(0).line("link").i32(255);
    for (int r = 0; r < 255; ++r) b.u8(0x0A).u8(0x0A);
    b.i32(0);
    cases.push_back({"a pivot with 255 empty records", b.bytes});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Usage usage = measure(c.file);
    ASSERT_TRUE(usage.ok) << usage.error;
    EXPECT_LE(usage.peak, kFactor * c.file.size() + kConstant)
        << "peak " << usage.peak << " for " << c.file.size() << " bytes";
  }
}

// Every count and size at its most absurd in a file of a few dozen bytes: refused, and
// nothing near the declared size is ever asked for.
TEST(ReaderMemory, HugeDeclaredSizesAreRefusedBeforeAllocating) {
  const std::int32_t big = 0x7FFFFFFF;
  struct Case {
    std::string name;
    Bytes file;
  };
  std::vector<Case> cases = {
      {"map 2^31 x 2^31 x 2^31", mapFile(0, 0, 0, 0, 0, 0)},
      {"map 46341 x 46341 x 1", mapFile(0, 0, 0, 0, 0, 0)},
      {"tileCount 2^31 - 1", Builder().sizes(1, 1, 1).i32(big).bytes},
      {"lightCount 2^31 - 1", Builder().sizes(1, 1, 1).i32(0).i32(-1).i32(big).bytes},
      {"pivotCount 2^31 - 1", Builder().sizes(1, 1, 1).i32(0).i32(-1).i32(0).i32(big).bytes},
      {"tile image 2^31 - 1 square", Builder().sizes(1, 1, 1).i32(1).line("t").i32(big).i32(big).u8(0).u8(0).bytes},
      {"tile image 1 x 2^31 - 1", Builder().sizes(1, 1, 1).i32(1).line("t").i32(1).i32(big).u8(0).u8(0).bytes},
      {"colour grid 2^31 - 1 square",
       Builder().sizes(1, 1, 1).i32(1).line("t").i32(0).i32(0).u8(0).u8(0).i32(big).i32(big).bytes},
      {"tilesetCount 255 with nothing behind",
       Builder().sizes(1, 1, 1).i32(0).i32(-1).i32(0).i32(0).i32(255).bytes},
      {"record strings without end", Builder().sizes(1, 1, 1).i32(0).i32(-1).i32(0).i32(1).i32(0).i32(0).i32(0)
                                          .line("l").i32(255).fill(64, 'x').bytes},
  };
  cases[0].file = Builder().sizes(big, big, big).i32(0).bytes;
  cases[1].file = Builder().sizes(46341, 46341, 1).i32(0).bytes;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Usage usage = measure(c.file);
    EXPECT_FALSE(usage.ok);
    EXPECT_LE(usage.largest, 64u * 1024) << "for a " << c.file.size() << "-byte file";
    EXPECT_LE(usage.peak, 256u * 1024) << "for a " << c.file.size() << "-byte file";
  }
}

// A map of depth 0 has no cells to read, so nothing may be sized by width × height alone
// (a highlight grid once was: 256 MiB for a 40-byte file).
TEST(ReaderMemory, DepthZeroMapOfHugeSizeIsBounded) {
  const Bytes file = mapFile(0, 16384, 16384, 0, 0, 0);
  const Usage usage = measure(file);
  EXPECT_LE(usage.peak, kFactor * file.size() + kConstant);
}

}  // namespace
}  // namespace vorlane::io
