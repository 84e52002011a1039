#include "map/stamp.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "map/view.h"

namespace vorlane::map {
namespace {

// Maps drawn as rows of letters: one tile a letter, '.' an empty cell.
struct Letters {
  std::map<char, TilePtr> tiles;
  const TilePtr& tile(char c) {
    auto& t = tiles[c];
    if (!t && c != '.') t = std::make_shared<tiles::Tile>();
    return t;
  }
  char letter(const TilePtr& t) const {
    for (const auto& [c, p] : tiles)
      if (p == t && t) return c;
    return '.';
  }
  MapPtr make(const std::vector<std::string>& rows, std::int32_t depth = 1) {
    auto m = Map::create(static_cast<std::int32_t>(rows[0].size()), static_cast<std::int32_t>(rows.size()), depth, 8, 8);
    draw(*m, rows, 0);
    return m;
  }
  void draw(Map& m, const std::vector<std::string>& rows, std::int32_t layer) {
    for (std::int32_t y = 0; y < m.height; ++y)
      for (std::int32_t x = 0; x < m.width; ++x) m.setCell(x, y, layer, tile(rows[y][x]));
  }
  std::vector<std::string> rows(const Map& m, std::int32_t layer) const {
    std::vector<std::string> out(static_cast<std::size_t>(m.height), std::string(static_cast<std::size_t>(m.width), '.'));
    for (std::int32_t y = 0; y < m.height; ++y)
      for (std::int32_t x = 0; x < m.width; ++x) out[y][x] = letter(m.cell(x, y, layer));
    return out;
  }
  Stamp stamp(const std::vector<std::string>& rows) {
    return copyCells(*make(rows), {0, 0, static_cast<std::int32_t>(rows[0].size()) - 1,
                                   static_cast<std::int32_t>(rows.size()) - 1},
                     0);
  }
};

// Counts writes, so that a fill that changes nothing is seen to write nothing.
struct Counting : CellWriter {
  Map& map;
  int writes = 0;
  explicit Counting(Map& m) : map(m) {}
  void setCell(std::int32_t x, std::int32_t y, std::int32_t layer, TilePtr tile) override {
    ++writes;
    map.setCell(x, y, layer, std::move(tile));
  }
};

TEST(Bucket, FillsTheFourConnectedAreaOfTheClickedTile) {
  struct Case {
    const char* name;
    std::vector<std::string> before;
    int x, y;
    std::vector<std::string> brush;
    std::vector<std::string> after;
    std::int64_t area;
  };
  const Case cases[] = {
      {"same tile, not through diagonals", {"aab", "aba", "bba"}, 0, 0, {"c"}, {"ccb", "cba", "bba"}, 3},
      {"empty cells are an area too", {"a..", "a.a", "aa."}, 1, 0, {"c"}, {"acc", "aca", "aa."}, 3},
      {"a winding area is followed round", {"a.a.", "a.a.", "a...", "aaa."}, 3, 0,
       {"c"}, {"acac", "acac", "accc", "aaac"}, 8},
      {"a stamp repeats from the clicked cell", {"...", "...", "..."}, 1, 1, {"cd"}, {"dcd", "dcd", "dcd"}, 9},
      {"a stamp's empty slots leave cells", {"...", "..."}, 0, 0, {"c."}, {"c.c", "c.c"}, 6},
      {"outside the map nothing happens", {"ab"}, 5, 0, {"c"}, {"ab"}, 0},
  };
  for (const Case& c : cases) {
    Letters L;
    auto m = L.make(c.before);
    EXPECT_EQ(bucketFill(*m, *m, c.x, c.y, 0, L.stamp(c.brush)), c.area) << c.name;
    EXPECT_EQ(L.rows(*m, 0), c.after) << c.name;
  }
}

TEST(Bucket, StaysOnItsLayerAndWritesOnlyWhatChanges) {
  Letters L;
  auto m = L.make({"aa", "aa"}, 2);
  L.draw(*m, {"bb", "bb"}, 1);
  Counting out(*m);
  EXPECT_EQ(bucketFill(*m, out, 0, 0, 1, Stamp::single(L.tile('b'))), 4);
  EXPECT_EQ(out.writes, 0);
  bucketFill(*m, out, 1, 1, 1, Stamp::single(L.tile('c')));
  EXPECT_EQ(L.rows(*m, 1), (std::vector<std::string>{"cc", "cc"}));
  EXPECT_EQ(L.rows(*m, 0), (std::vector<std::string>{"aa", "aa"}));
  bucketFill(*m, out, 0, 0, 0, Stamp::eraser(1, 1));
  EXPECT_EQ(L.rows(*m, 0), (std::vector<std::string>{"..", ".."}));
}

TEST(Stamps, PaintAnchoredAtTheirTopLeftCellClippedByTheMap) {
  struct Case {
    const char* name;
    int x, y;
    std::vector<std::string> after;
  };
  const Case cases[] = {
      {"inside", 1, 1, {"....", ".cd.", ".e..", "...."}},
      {"past the right and bottom edges", 3, 3, {"....", "....", "....", "...c"}},
      {"from left of the map", -1, 0, {"d...", "....", "....", "...."}},
      {"from above the map", 0, -1, {"e...", "....", "....", "...."}},
  };
  for (const Case& c : cases) {
    Letters L;
    auto m = L.make({"....", "....", "....", "...."});
    paintStamp(*m, *m, L.stamp({"cd", "e."}), c.x, c.y, 0);
    EXPECT_EQ(L.rows(*m, 0), c.after) << c.name;
  }
}

TEST(Stamps, TileOverARectangleAndEraseTheirSize) {
  Letters L;
  auto m = L.make({"aaaaa", "aaaaa", "aaaaa"});
  tileStamp(*m, *m, L.stamp({"cd", ".e"}), {4, 2, 0, 0}, 0);  // corners in any order
  EXPECT_EQ(L.rows(*m, 0), (std::vector<std::string>{"cdcdc", "aeaea", "cdcdc"}));
  paintStamp(*m, *m, Stamp::eraser(2, 2), 3, 1, 0);
  EXPECT_EQ(L.rows(*m, 0), (std::vector<std::string>{"cdcdc", "aea..", "cdc.."}));
}

TEST(Stamps, CopyOfOneOrAllLayersPastesBackAndClears) {
  Letters L;
  auto m = L.make({"ab.", "cd."}, 2);
  L.draw(*m, {"ef.", "gh."}, 1);
  const Stamp one = copyCells(*m, {0, 0, 1, 1}, 1);
  const Stamp all = copyCells(*m, {1, 1, 0, 0}, -1);
  ASSERT_EQ(one.depth, 1);
  ASSERT_EQ(all.depth, 2);
  clearCells(*m, *m, {0, 0, 1, 1}, -1);
  EXPECT_EQ(L.rows(*m, 0), (std::vector<std::string>{"...", "..."}));
  EXPECT_EQ(L.rows(*m, 1), (std::vector<std::string>{"...", "..."}));
  paintStamp(*m, *m, all, 1, 0, 1);  // all layers go to layers 0 up, whatever the current one
  EXPECT_EQ(L.rows(*m, 0), (std::vector<std::string>{".ab", ".cd"}));
  EXPECT_EQ(L.rows(*m, 1), (std::vector<std::string>{".ef", ".gh"}));
  paintStamp(*m, *m, one, 0, 0, 0);  // one layer goes to the current one
  EXPECT_EQ(L.rows(*m, 0), (std::vector<std::string>{"efb", "ghd"}));
  EXPECT_TRUE(copyCells(*m, {5, 5, 7, 7}, 0).empty());
  EXPECT_TRUE(copyCells(*m, {0, 0, 1, 1}, 2).empty());
}

TEST(Stamps, PickedFromATilesetRectangle) {
  Letters L;
  auto set = Map::createTileset();
  set->setCell(2, 3, 0, L.tile('a'));
  set->setCell(3, 4, 0, L.tile('b'));
  const Stamp s = Stamp::fromTileset(*set, {3, 4, 2, 3});
  ASSERT_EQ(s.width, 2);
  ASSERT_EQ(s.height, 2);
  EXPECT_EQ(s.at(0, 0, 0), L.tile('a'));
  EXPECT_EQ(s.at(1, 1, 0), L.tile('b'));
  EXPECT_EQ(s.at(1, 0, 0), nullptr);
}

TEST(ZoomLadder, StepsAlongTheLadderFromAnyZoom) {
  struct Case {
    float zoom, in, out;
  };
  const Case cases[] = {
      {1.0f, 1.5f, 0.75f},     {1.01f, 1.5f, 1.0f}, {0.05f, 0.0625f, 0.05f}, {0.5f, 0.75f, 1.0f / 3.0f},
      {16.0f, 16.0f, 12.0f},   {20.0f, 20.0f, 16.0f}, {0.99999f, 1.5f, 0.75f},
  };
  for (const Case& c : cases) {
    EXPECT_FLOAT_EQ(zoomStepIn(c.zoom), c.in) << c.zoom;
    EXPECT_FLOAT_EQ(zoomStepOut(c.zoom), c.out) << c.zoom;
  }
  EXPECT_FLOAT_EQ(zoomToFit(1600, 600, 800, 600), 0.5f);
  EXPECT_FLOAT_EQ(zoomToFit(32768, 32768, 800, 600), kMinZoom);
  EXPECT_FLOAT_EQ(zoomToFit(0, 10, 800, 600), 1.0f);
}

}  // namespace
}  // namespace vorlane::map
