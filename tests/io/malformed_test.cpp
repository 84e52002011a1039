// Broken files: every one is refused with a reason, without a crash, and without asking for
// more memory than the file could describe.
#include <gtest/gtest.h>

#include "samples.h"
#include "support/heap_probe.h"

namespace vorlane::io {
namespace {

using test::Builder;
using test::Bytes;

struct Outcome {
  base::Result<Project> project;
  std::size_t largestAllocation;
};

Outcome parseTracked(const Bytes& bytes) {
  base::ConsoleCapture quiet;
  vorlane::test::HeapProbe heap;
  auto project = parseProject(bytes);
  return {std::move(project), heap.largest()};
}

constexpr std::int32_t kHuge = 0x7FFFFFFF;
constexpr const char* kTruncated = "Error reading from stream";

// A valid project whose every count can be replaced: a 1 × 1 × 2 map with one 1 × 1 tile,
// one light, one pivot with one record and one tileset holding one tile.
struct Fields {
  std::int32_t width = 1, height = 1, depth = 2;
  std::int32_t tileCount = 1;
  std::int32_t imageWidth = 1;
  std::int32_t gridWidth = 1;
  std::int32_t cell = 0;
  std::int32_t lightCount = 1;
  std::int32_t pivotCount = 1;
  std::int32_t recordCount = 1;
  std::int32_t tilesetCount = 1;
};

Bytes file(const Fields& f) {
  Builder b;
  b.i32s({f.width, f.height, f.depth, 16, 16, f.tileCount});
  b.line("tile.png").i32s({f.imageWidth, 1}).u8(1).u8(0).fill(4, 9);
  b.i32s({f.gridWidth, 1}).fill(4, 9).i32s({1, 1}).fill(4, 9);
  b.i32s({f.cell, -1});
  b.i32(f.lightCount).f32(1).f32(2).f32(3).f32(4).f32(5).i32s({0, 0}).f32(700).i32(0);
  b.i32(f.pivotCount).f32(1).f32(2).i32(0).line("link").i32(f.recordCount).line("n").line("v").i32(0);
  b.i32(f.tilesetCount).line("Tileset 1").u8(0x01).tile("other.png").fill(1023, 0xFF);
  return b.bytes;
}

TEST(Malformed, TheValidBaseFileParses) {
  auto [project, largestAllocation] = parseTracked(file({}));
  ASSERT_TRUE(project.ok()) << project.error();
  EXPECT_EQ(project->map->pivots[0]->records[0]->value, "v");
  EXPECT_EQ(project->tilesets[0].tileset->cell(0, 0, 0)->path, "other.png");
}

TEST(Malformed, EveryProperPrefixIsATruncatedFile) {
  const Bytes whole = file({});
  base::ConsoleCapture quiet;
  for (std::size_t n = 0; n < whole.size(); ++n) {
    auto project = parseProject(std::span(whole.data(), n));
    ASSERT_FALSE(project.ok()) << "prefix " << n;
    EXPECT_EQ(project.error(), kTruncated) << "prefix " << n;
  }
}

TEST(Malformed, CountsAndIndicesOutsideTheirRanges) {
  struct Case {
    const char* name;
    Fields fields;
    const char* error;  // the start of the message
  };
  auto with = [](auto change) {
    Fields f;
    change(f);
    return f;
  };
  const Case cases[] = {
      {"negative width", with([](Fields& f) { f.width = -1; }), "width must not be negative"},
      {"negative height", with([](Fields& f) { f.height = -5; }), "height must not be negative"},
      {"negative depth", with([](Fields& f) { f.depth = -1; }), "depth must not be negative"},
      {"huge sizes", with([](Fields& f) { f.width = f.height = f.depth = kHuge; }), kTruncated},
      {"huge columns of no layer", with([](Fields& f) { f.width = f.height = 65536, f.depth = 0; }), "map size"},
      {"negative tileCount", with([](Fields& f) { f.tileCount = -1; }), "tileCount must not be negative"},
      {"huge tileCount", with([](Fields& f) { f.tileCount = kHuge; }), kTruncated},
      {"negative image width", with([](Fields& f) { f.imageWidth = -1; }), "tile image width"},
      {"huge image width", with([](Fields& f) { f.imageWidth = kHuge; }), kTruncated},
      {"negative grid width", with([](Fields& f) { f.gridWidth = -1; }), "grid width"},
      {"huge grid width", with([](Fields& f) { f.gridWidth = kHuge; }), kTruncated},
      {"cell index T", with([](Fields& f) { f.cell = 1; }), "cell index 1 out of range -1..0"},
      {"cell index -2", with([](Fields& f) { f.cell = -2; }), "cell index -2"},
      {"cell index into no tiles", with([](Fields& f) { f.cell = kHuge; }), "cell index 2147483647"},
      {"negative lightCount", with([](Fields& f) { f.lightCount = -1; }), "lightCount must not be negative"},
      {"huge lightCount", with([](Fields& f) { f.lightCount = kHuge; }), kTruncated},
      {"negative pivotCount", with([](Fields& f) { f.pivotCount = -7; }), "pivotCount must not be negative"},
      {"huge pivotCount", with([](Fields& f) { f.pivotCount = kHuge; }), kTruncated},
      {"recordCount 256", with([](Fields& f) { f.recordCount = 256; }), "recordCount"},
      {"negative recordCount", with([](Fields& f) { f.recordCount = -1; }), "recordCount"},
      {"tilesetCount 256", with([](Fields& f) { f.tilesetCount = 256; }), "tilesetCount must lie in 0..255"},
      {"negative tilesetCount", with([](Fields& f) { f.tilesetCount = -1; }), "tilesetCount must lie in 0..255"},
      {"tilesetCount 255 with one present", with([](Fields& f) { f.tilesetCount = 255; }), kTruncated},
  };
  for (const auto& c : cases) {
    auto [project, largestAllocation] = parseTracked(file(c.fields));
    ASSERT_FALSE(project.ok()) << c.name;
    EXPECT_EQ(project.error().rfind(c.error, 0), 0u) << c.name << ": " << project.error();
    // A file of a few hundred bytes never asks for more than a few kilobytes at once.
    EXPECT_LT(largestAllocation, std::size_t{1} << 16) << c.name;
  }
}

TEST(Malformed, EverySingleByteChangeIsReadOrRefusedWithinBounds) {
  const Bytes whole = file({});
  for (std::size_t i = 0; i < whole.size(); ++i) {
    for (std::uint8_t value : {0x00, 0x01, 0x0A, 0x7F, 0x80, 0xFF}) {
      Bytes changed = whole;
      changed[i] = value;
      auto [project, largestAllocation] = parseTracked(changed);
      if (!project.ok()) {
        EXPECT_FALSE(project.error().empty());
      }
      ASSERT_LT(largestAllocation, std::size_t{1} << 16) << "byte " << i << " = " << int(value);
    }
  }
}

TEST(Malformed, CellsAreCheckedAgainstTheBytesLeftBeforeTheGridIsMade) {
  // 4096 × 4096 × 4 cells would be a 1 GiB grid; the file holds 12 bytes after the sizes.
  Bytes bytes = Builder().i32s({4096, 4096, 4, 16, 16, 0, -1, 0, 0}).bytes;
  auto [project, largestAllocation] = parseTracked(bytes);
  ASSERT_FALSE(project.ok());
  EXPECT_EQ(project.error(), kTruncated);
  EXPECT_LT(largestAllocation, std::size_t{1} << 16);
}

}  // namespace
}  // namespace vorlane::io
