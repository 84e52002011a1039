#include "map/tools.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

namespace vorlane::map {
namespace {

using Cells = std::vector<std::pair<int, int>>;

TilePtr newTile() { return std::make_shared<tiles::Tile>(); }

Cells lineCells(int x1, int y1, int x2, int y2) {
  Cells out;
  steppedLine(x1, y1, x2, y2, [&](std::int32_t x, std::int32_t y) { out.emplace_back(x, y); });
  return out;
}

Cells filled(const Map& m, int layer) {
  Cells out;
  for (int x = 0; x < m.width; ++x)
    for (int y = 0; y < m.height; ++y)
      if (m.cell(x, y, layer)) out.emplace_back(x, y);
  return out;
}

TEST(SteppedLine, VisitsCellsInOrderWithTruncatedFractions) {
  struct Case {
    int x1, y1, x2, y2;
    Cells want;
  };
  const Case cases[] = {
      {0, 0, 4, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}},
      {0, 0, 0, 3, {{0, 0}, {0, 1}, {0, 2}, {0, 3}}},
      {3, 0, 0, 0, {{3, 0}, {2, 0}, {1, 0}, {0, 0}}},
      {2, 2, 2, 2, {{2, 2}}},
      // Backwards on the short axis: truncation toward zero, not rounding or flooring.
      {0, 2, 4, 0, {{0, 2}, {1, 1}, {2, 1}, {3, 0}, {4, 0}}},
      {0, 0, 3, -1, {{0, 0}, {1, 0}, {2, 0}, {3, -1}}},
      {0, 0, 3, 1, {{0, 0}, {1, 0}, {2, 0}, {3, 1}}},
      // Nine float additions of 1/3 reach 2.99999976, which is cut to 2: the end cell is
      // not always reached on the short axis.
      {0, 0, 9, 3, {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 1}, {6, 2}, {7, 2}, {8, 2}, {9, 2}}},
  };
  for (const Case& c : cases) EXPECT_EQ(lineCells(c.x1, c.y1, c.x2, c.y2), c.want) << c.x1 << "," << c.y1 << " to " << c.x2 << "," << c.y2;
}

TEST(SteppedLine, PaintAndMarkFollowTheSameCells) {
  auto m = Map::create(6, 4, 2, 8, 8);
  auto t = newTile();
  paintLine(*m, 0, 0, 4, 2, 1, t);
  EXPECT_EQ(filled(*m, 1), (Cells{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
  EXPECT_TRUE(filled(*m, 0).empty());
  Marks marks;
  markLine(*m, marks, 0, 0, 4, 2);
  for (auto [x, y] : filled(*m, 1)) EXPECT_TRUE(marks.contains({x, y}));
  EXPECT_FALSE(marks.contains({1, 1}));
  paintLine(*m, 4, 2, 0, 0, 1, nullptr);  // none erases
  EXPECT_TRUE(filled(*m, 1).empty());
  markLine(*m, marks, -3, 0, 10, 0);  // parts outside the map are ignored
  EXPECT_TRUE(marks.contains({5, 0}));
  EXPECT_FALSE(marks.contains({6, 0}));
}

struct StrokeTest : ::testing::Test {
  MapPtr m = Map::create(6, 6, 3, 8, 8);
  TilePtr tile = newTile();
  Stroke stroke;
  Marks marks;
  int layer = 1;

  // Press at `from`, drag to `to` with an update after each event, release.
  void drag(int tool, std::pair<int, int> from, std::pair<int, int> to, bool onCanvas = true) {
    m->selectedX = from.first, m->selectedY = from.second;
    beginStroke(stroke, *m, *m, tool, layer, tile);
    updateStroke(stroke, *m, marks, *m, tool, layer, tile);
    m->selectedX = to.first, m->selectedY = to.second;
    updateStroke(stroke, *m, marks, *m, tool, layer, tile);
    endStroke(stroke, *m, *m, tool, layer, tile, onCanvas);
    updateStroke(stroke, *m, marks, *m, tool, layer, tile);
  }
  std::set<std::pair<int, int>> cellSet() {
    auto c = filled(*m, layer);
    return {c.begin(), c.end()};
  }
};

TEST_F(StrokeTest, RectWritesTheOutlineOnlyAndPreviewsTheSameCells) {
  m->selectedX = 1, m->selectedY = 1;
  beginStroke(stroke, *m, *m, kRect, layer, tile);
  m->selectedX = 3, m->selectedY = 4;
  updateStroke(stroke, *m, marks, *m, kRect, layer, tile);
  EXPECT_TRUE(filled(*m, layer).empty());  // a preview only
  std::set<std::pair<int, int>> marked;
  for (int x = 0; x < 6; ++x)
    for (int y = 0; y < 6; ++y)
      if (marks.contains({x, y})) marked.emplace(x, y);
  endStroke(stroke, *m, *m, kRect, layer, tile, true);
  EXPECT_FALSE(stroke.painting);
  std::set<std::pair<int, int>> want;
  for (int x = 1; x <= 3; ++x) want.insert({{x, 1}, {x, 4}});
  for (int y = 1; y <= 4; ++y) want.insert({{1, y}, {3, y}});
  EXPECT_EQ(cellSet(), want);
  EXPECT_EQ(marked, want);
  EXPECT_FALSE(m->cell(2, 2, layer));
  EXPECT_FALSE(m->cell(2, 3, layer));
}

TEST_F(StrokeTest, BlockWritesEveryCellWhicheverWayItIsDragged) {
  drag(kBlock, {3, 4}, {1, 1});
  EXPECT_EQ(cellSet().size(), 12u);
  for (int x = 1; x <= 3; ++x)
    for (int y = 1; y <= 4; ++y) EXPECT_TRUE(m->cell(x, y, layer)) << x << "," << y;
}

TEST_F(StrokeTest, LineWritesOnReleaseOverTheCanvasOnly) {
  drag(kLine, {0, 0}, {4, 2}, /*onCanvas=*/false);
  EXPECT_FALSE(stroke.painting);
  EXPECT_TRUE(filled(*m, layer).empty());
  EXPECT_TRUE(marks.contains({2, 1}));  // the preview stays until the next frame clears it
  drag(kLine, {0, 0}, {4, 2});
  EXPECT_EQ(filled(*m, layer), (Cells{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
}

TEST_F(StrokeTest, PlotWritesEverySelectedCellDuringTheDrag) {
  drag(kPlot, {5, 5}, {0, 2});
  EXPECT_EQ(cellSet(), (std::set<std::pair<int, int>>{{5, 5}, {0, 2}}));
}

TEST_F(StrokeTest, FillWritesOneLayerOnThePressAndNothingOnRelease) {
  auto other = newTile();
  m->setCell(2, 2, 0, other);
  m->selectedX = 0, m->selectedY = 0;
  beginStroke(stroke, *m, *m, kFill, layer, tile);
  EXPECT_EQ(filled(*m, layer).size(), 36u);
  EXPECT_EQ(filled(*m, 0), (Cells{{2, 2}}));
  EXPECT_TRUE(filled(*m, 2).empty());
  m->setCell(0, 0, layer, nullptr);
  updateStroke(stroke, *m, marks, *m, kFill, layer, tile);
  endStroke(stroke, *m, *m, kFill, layer, tile, true);
  EXPECT_FALSE(m->cell(0, 0, layer));
}

TEST_F(StrokeTest, EmptyTileErasesAndNoToolChangesNothing) {
  m->fillLayer(layer, tile);
  tile = nullptr;
  drag(kLine, {0, 0}, {0, 5});
  EXPECT_EQ(filled(*m, layer).size(), 30u);
  drag(kNoTool, {0, 0}, {5, 5});
  EXPECT_EQ(filled(*m, layer).size(), 30u);
  for (int x = 0; x < 6; ++x)
    for (int y = 0; y < 6; ++y) EXPECT_FALSE(marks.contains({x, y}) && x != 0);
}

TEST_F(StrokeTest, StrokesOnTheStartUpMapOrABadLayerWriteNothing) {
  m = Map::create(0, 0, 0, 0, 0);
  for (int tool : {kPlot, kLine, kRect, kBlock, kFill}) drag(tool, {0, 0}, {3, 3});
  EXPECT_TRUE(m->cells.empty());
  EXPECT_EQ(tile.use_count(), 1);
  m = Map::create(3, 3, 2, 8, 8);
  layer = 5;
  for (int tool : {kPlot, kLine, kRect, kBlock, kFill}) drag(tool, {0, 0}, {2, 2});
  for (const auto& c : m->cells) EXPECT_EQ(c, nullptr);
}

TEST(LayerSteps, RaiseToZeroThenLowerToTheLastLayer) {
  struct Case {
    const char* text;
    int depth, layer;
  };
  const Case cases[] = {{"12", 4, 3}, {"7", 3, 2}, {"0", 3, 0}, {"", 3, 0}, {"-5", 3, 0}, {"2 layers", 3, 1},
                        {"$2", 3, 1}, {"3", 0, -1}, {"", 0, -1}, {"-2147483648", 3, 0}};
  for (const Case& c : cases) EXPECT_EQ(layerFromText(c.text, c.depth), c.layer) << '"' << c.text << '"';
  EXPECT_EQ(layerDown(2), 1);
  EXPECT_EQ(layerDown(0), 0);
  EXPECT_EQ(layerDown(-1), 0);
  EXPECT_EQ(layerUp(2, 4), 3);
  EXPECT_EQ(layerUp(3, 4), 3);
  EXPECT_EQ(layerUp(6, 4), 3);
  EXPECT_EQ(layerUp(0, 0), -1);  // no layers: raised first, then lowered
}

}  // namespace
}  // namespace vorlane::map
