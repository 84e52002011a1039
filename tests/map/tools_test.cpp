#include "map/tools.h"

#include <algorithm>
#include <string_view>

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "map/tool.h"

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

// The tools as the map canvas drives them: a press, a drag after every event, a release.
struct StrokeTest : ::testing::Test {
  MapPtr m = Map::create(6, 6, 3, 8, 8);
  TilePtr tile = newTile();
  int layer = 1;
  std::unique_ptr<Tool> tool;
  ToolInput at;
  Paint paint() { return {*m, *m, layer, tile, nullptr}; }

  void press(int id, std::pair<int, int> from) {
    const ToolRow* row = findTool(id);
    tool = row ? row->make() : nullptr;
    at = {from.first, from.second, from.first, from.second};
    if (tool) tool->press(paint(), at);
  }
  // Moves to `to` and returns the marks shown there.
  std::set<std::pair<int, int>> dragTo(std::pair<int, int> to) {
    at.x = to.first, at.y = to.second;
    if (!tool) return {};
    tool->drag(paint(), at);
    const CellList marks = tool->marks(at);
    return {marks.begin(), marks.end()};
  }
  void release(bool onCanvas = true) {
    if (tool) tool->release(paint(), at, onCanvas);
  }
  // Press at `from`, drag to `to`, release; returns the marks last shown.
  std::set<std::pair<int, int>> drag(int id, std::pair<int, int> from, std::pair<int, int> to, bool onCanvas = true) {
    press(id, from);
    dragTo(from);
    const auto marks = dragTo(to);
    release(onCanvas);
    return marks;
  }
  std::set<std::pair<int, int>> cellSet() {
    auto c = filled(*m, layer);
    return {c.begin(), c.end()};
  }
};

TEST_F(StrokeTest, RectWritesTheOutlineOnlyAndPreviewsTheSameCells) {
  press(kRect, {1, 1});
  const auto marked = dragTo({3, 4});
  EXPECT_TRUE(filled(*m, layer).empty());  // a preview only
  release();
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
  const auto marked = drag(kLine, {0, 0}, {4, 2}, /*onCanvas=*/false);
  EXPECT_TRUE(filled(*m, layer).empty());
  EXPECT_TRUE(marked.contains({2, 1}));  // the preview was shown
  drag(kLine, {0, 0}, {4, 2});
  EXPECT_EQ(filled(*m, layer), (Cells{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
}

TEST_F(StrokeTest, PlotWritesEveryCellThePointerIsOverDuringTheDrag) {
  drag(kPlot, {5, 5}, {0, 2});
  EXPECT_EQ(cellSet(), (std::set<std::pair<int, int>>{{5, 5}, {0, 2}}));
}

TEST_F(StrokeTest, FillWritesOneLayerOnThePressAndNothingOnRelease) {
  auto other = newTile();
  m->setCell(2, 2, 0, other);
  press(kFill, {0, 0});
  EXPECT_EQ(filled(*m, layer).size(), 36u);
  EXPECT_EQ(filled(*m, 0), (Cells{{2, 2}}));
  EXPECT_TRUE(filled(*m, 2).empty());
  m->setCell(0, 0, layer, nullptr);
  dragTo({0, 0});
  release();
  EXPECT_FALSE(m->cell(0, 0, layer));
}

TEST_F(StrokeTest, EmptyTileErasesAndNoToolChangesNothing) {
  m->fillLayer(layer, tile);
  tile = nullptr;
  drag(kLine, {0, 0}, {0, 5});
  EXPECT_EQ(filled(*m, layer).size(), 30u);
  EXPECT_TRUE(drag(kNoTool, {0, 0}, {5, 5}).empty());
  EXPECT_EQ(filled(*m, layer).size(), 30u);
}

// Select writes nothing and picks the rectangle on the current layer, or every layer with Shift.
TEST_F(StrokeTest, SelectPicksTheDraggedRectangleAndWritesNothing) {
  const auto marked = drag(8, {4, 1}, {2, 3});
  EXPECT_TRUE(filled(*m, layer).empty());
  EXPECT_TRUE(marked.contains({2, 1}) && marked.contains({4, 3}) && !marked.contains({3, 2}));
  EXPECT_EQ(tool->picked(paint(), at), (Selection{{4, 1, 2, 3}, layer}));
  at.shift = true;
  EXPECT_EQ(tool->picked(paint(), at), (Selection{{4, 1, 2, 3}, -1}));
  EXPECT_EQ(findTool(8)->label, std::string_view("Select"));
}

TEST_F(StrokeTest, StrokesOnTheStartUpMapOrABadLayerWriteNothing) {
  m = Map::create(0, 0, 0, 0, 0);
  for (int id : {kPlot, kLine, kRect, kBlock, kFill, kEraser, kBucket}) drag(id, {0, 0}, {3, 3});
  EXPECT_TRUE(m->cells.empty());
  EXPECT_EQ(tile.use_count(), 1);
  m = Map::create(3, 3, 2, 8, 8);
  layer = 5;
  for (int id : {kPlot, kLine, kRect, kBlock, kFill, kEraser, kBucket}) drag(id, {0, 0}, {2, 2});
  for (const auto& c : m->cells) EXPECT_EQ(c, nullptr);
}

// Every tool has a row with a distinct number, label and key.
TEST(ToolTable, RowsAreDistinct) {
  std::set<std::int32_t> ids;
  std::set<std::string_view> labels;
  std::vector<platform::Shortcut> keys;
  for (const ToolRow& row : toolTable()) {
    EXPECT_TRUE(ids.insert(row.id).second) << row.label;
    EXPECT_TRUE(labels.insert(row.label).second) << row.label;
    EXPECT_EQ(std::count(keys.begin(), keys.end(), row.key), 0) << row.label;
    keys.push_back(row.key);
    EXPECT_EQ(toolName(row.id), row.label);
    EXPECT_NE(row.make(), nullptr);
  }
  EXPECT_EQ(toolName(kNoTool), "");
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
