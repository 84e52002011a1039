// The importer's memory: a small file declaring a huge map or layer data that inflates far
// beyond its layer is refused without a large allocation, and a real map costs a bounded
// multiple of what it holds. Every allocation goes through the heap probe's operator new.
#include <gtest/gtest.h>

#include "formats/samples.h"
#include "support/heap_probe.h"

namespace vorlane::formats::test {
namespace {

struct Usage {
  bool ok = false;
  std::string error;
  std::size_t peak = 0, largest = 0;
};

Usage measure(const std::string& text, const std::string& folder, bool json) {
  Usage usage;
  vorlane::test::HeapProbe heap;
  {
    auto imported = json ? importTmj(text, folder, {true}) : importTmx(text, folder, {true});
    usage.ok = imported.ok();
    if (!usage.ok) usage.error = imported.error();
  }
  usage.peak = heap.peak();
  usage.largest = heap.largest();
  return usage;
}

std::string tmxWith(const std::string& size, const std::string& layers) {
  return "<map orientation=\"orthogonal\" " + size + " tilewidth=\"4\" tileheight=\"4\">" + layers + "</map>";
}

TEST(ImportMemory, SmallFilesDeclaringHugeDataAreRefusedBeforeAllocating) {
  std::string zlibBomb, zstdBomb;
  encodeGids(std::vector<std::uint32_t>(1 << 20, 0), 0, Encoding::zlib, zlibBomb);
  encodeGids(std::vector<std::uint32_t>(1 << 20, 0), 0, Encoding::zstd, zstdBomb);
  const std::string big = "width=\"4096\" height=\"4096\"";
  std::string manyLayers;
  for (int i = 0; i < 300; ++i) manyLayers += "<layer/>";
  struct Case {
    const char* name;
    std::string text;
    bool json;
  };
  const Case cases[] = {
      {"past the cell limit", tmxWith("width=\"100000\" height=\"100000\"", "<layer/>"), false},
      {"many layers past the cell limit", tmxWith(big, manyLayers), false},
      {"short CSV for 16 M cells", tmxWith(big, "<layer><data encoding=\"csv\">1,2,3</data></layer>"), false},
      {"short base64 for 16 M cells", tmxWith(big, "<layer><data encoding=\"base64\">AAAAAAAA</data></layer>"), false},
      {"zlib bomb on a small layer",
       tmxWith("width=\"8\" height=\"8\"", "<layer><data encoding=\"base64\" compression=\"zlib\">" + zlibBomb + "</data></layer>"),
       false},
      {"zstd bomb on a small layer",
       R"({"width":8,"height":8,"tilewidth":4,"tileheight":4,"layers":[{"type":"tilelayer","encoding":"base64","compression":"zstd","data":")" +
           zstdBomb + "\"}]}",
       true},
      {"JSON list for 16 M cells", R"({"width":4096,"height":4096,"tilewidth":4,"tileheight":4,"layers":[{"type":"tilelayer","data":[1,2]}]})",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Usage usage = measure(c.text, "", c.json);
    EXPECT_FALSE(usage.ok);
    EXPECT_LE(usage.largest, 4u * 1024 * 1024) << usage.error;
    EXPECT_LE(usage.peak, 8u * 1024 * 1024 + 4 * c.text.size()) << usage.error;
  }
}

// A map costs its cells (a tile reference and a GID each) and its tiles, plus a multiple of
// its file for the parsed document.
TEST(ImportMemory, PeakStaysWithinWhatTheMapHolds) {
  TempDir dir;
  writeSampleFiles(dir);
  for (int side : {64, 512}) {
    SCOPED_TRACE(side);
    std::string csv;
    std::vector<std::uint32_t> gids(static_cast<std::size_t>(side) * side);
    for (std::size_t i = 0; i < gids.size(); ++i) gids[i] = static_cast<std::uint32_t>(i % 7);
    encodeGids(gids, side, Encoding::csv, csv);
    const std::string text = "<map orientation=\"orthogonal\" width=\"" + std::to_string(side) + "\" height=\"" +
                             std::to_string(side) + "\" tilewidth=\"4\" tileheight=\"4\">"
                             "<tileset firstgid=\"1\" name=\"atlas\" tilewidth=\"4\" tileheight=\"4\" spacing=\"2\" margin=\"1\">"
                             "<image source=\"atlas.png\"/></tileset><tileset firstgid=\"5\" source=\"things.tsx\"/>"
                             "<layer><data encoding=\"csv\">" + csv + "</data></layer>"
                             "<layer><data encoding=\"csv\">" + csv + "</data></layer></map>";
    const Usage usage = measure(text, dir.path().string(), false);
    ASSERT_TRUE(usage.ok) << usage.error;
    const std::size_t cells = gids.size() * 2;
    EXPECT_LE(usage.peak, 24 * cells + 4 * text.size() + 512 * 1024) << "peak " << usage.peak;
  }
}

}  // namespace
}  // namespace vorlane::formats::test
