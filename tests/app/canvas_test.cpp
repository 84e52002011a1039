// The three canvases: the tick redraw, pointer picking, strokes, panning, wheel zoom and the
// context menu.
#include <gmock/gmock.h>

#include <algorithm>

#include "base/console.h"
#include "map/view.h"
#include "shell_fixture.h"

namespace vorlane::test {
namespace {

using ::testing::ElementsAre;
using platform::EventKind;
using platform::kLeftButton;
using platform::kMiddleButton;
using platform::kRightButton;

std::vector<Op> ops(const RecordingSurface& s) {
  std::vector<Op> out;
  for (const auto& c : s.calls) out.push_back(c.op);
  return out;
}

std::ptrdiff_t firstOf(const std::vector<Op>& ops, std::initializer_list<Op> wanted) {
  return std::find_first_of(ops.begin(), ops.end(), wanted.begin(), wanted.end()) - ops.begin();
}
std::ptrdiff_t lastOf(const std::vector<Op>& ops, std::initializer_list<Op> wanted) {
  auto it = std::find_first_of(ops.rbegin(), ops.rend(), wanted.begin(), wanted.end());
  return ops.rend() - it - 1;
}

using Redraw = ShellTest;

TEST_F(Redraw, TickDrawsMapThenTilesetThenTileCanvas) {
  newMap({"2", "2", "1", "64", "64"});
  runScript();
  const tiles::TilePtr tile = makeTile();
  seedTileset([&](map::Map& ts) { ts.setCell(0, 0, 0, tile); });
  seedMap([&](map::Map& m) { m.setCell(0, 0, 0, tile); });
  tk.post({EventKind::GadgetSelect, g.mainWindow, 0, 0, 0});  // lets the after-event step take the tile
  runScript();
  ASSERT_EQ(shell.currentTile(), tile);
  tk.madeCurrent.clear();
  tk.tick();
  runScript();
  EXPECT_THAT(tk.madeCurrent, ElementsAre(g.mapCanvas, g.tilesetCanvas, g.tileCanvas));

  // The map's grid lies over its tiles, the tileset's under them.
  const auto mapOps = ops(tk.recording(g.mapCanvas));
  ASSERT_GE(mapOps.size(), 3u);
  EXPECT_EQ(mapOps.front(), Op::Clear);
  EXPECT_EQ(mapOps.back(), Op::Present);
  EXPECT_LT(firstOf(mapOps, {Op::Image}), lastOf(mapOps, {Op::Line, Op::Lines}));
  const auto setOps = ops(tk.recording(g.tilesetCanvas));
  EXPECT_EQ(setOps.front(), Op::Clear);
  EXPECT_EQ(setOps.back(), Op::Present);
  EXPECT_LT(firstOf(setOps, {Op::Line, Op::Lines}), firstOf(setOps, {Op::Image}));

  // The selected cell is marked before drawing: its outline is red.
  const auto& segments = tk.recording(g.mapCanvas).segments;
  EXPECT_TRUE(std::any_of(segments.begin(), segments.end(),
                          [](const auto& s) { return s.r == 255 && s.g == 0 && s.b == 0; }));

  const auto tileCalls = tk.recording(g.tileCanvas).calls;
  ASSERT_THAT(ops(tk.recording(g.tileCanvas)), ElementsAre(Op::Clear, Op::Image, Op::Present));
  EXPECT_EQ(std::tie(tileCalls[1].a, tileCalls[1].b, tileCalls[1].c, tileCalls[1].d),
            std::make_tuple(0.0f, 0.0f, 60.0f, 46.0f));  // the inner size of the tile canvas
}

TEST_F(Redraw, NoTileShowsText) {
  tk.tick();
  runScript();
  const auto& calls = tk.recording(g.tileCanvas).calls;
  ASSERT_THAT(ops(tk.recording(g.tileCanvas)), ElementsAre(Op::Clear, Op::Text, Op::Present));
  EXPECT_EQ(calls[1].text, "No Tile");
  EXPECT_EQ(std::tie(calls[1].a, calls[1].b), std::make_tuple(0.0f, 0.0f));
}

// A map of 4 × 4 cells of 64 pixels; at zoom 1 and no scroll canvas pixels are map pixels.
struct StrokeFixture : ShellTest {
  tiles::TilePtr tile = makeTile();
  void SetUp() override {
    ShellTest::SetUp();
    newMap({"4", "4", "1", "64", "64"});
    seedTileset([&](map::Map& ts) { ts.setCell(0, 0, 0, tile); });
  }
  int filled() const {
    int n = 0;
    const map::Map& m = *shell.currentMap();
    for (int x = 0; x < m.width; ++x)
      for (int y = 0; y < m.height; ++y) n += m.cell(x, y, 0) == tile;
    return n;
  }
};

TEST_F(StrokeFixture, PlotDragPaintsEveryCellThePointerSelects) {
  tk.press(g.toolButton("Plot"));
  move(g.mapCanvas, 32, 32);
  down(g.mapCanvas, kLeftButton);
  move(g.mapCanvas, 96, 32);
  move(g.mapCanvas, 96, 96);
  up(g.mapCanvas, kLeftButton);
  move(g.mapCanvas, 160, 160);  // after the release: not painted
  runScript();
  const map::Map& m = *shell.currentMap();
  EXPECT_EQ(m.cell(0, 0, 0), tile);
  EXPECT_EQ(m.cell(1, 0, 0), tile);
  EXPECT_EQ(m.cell(1, 1, 0), tile);
  EXPECT_EQ(filled(), 3);
  EXPECT_FALSE(shell.stroke().painting);
  EXPECT_FALSE(shell.leftHeld());
}

TEST_F(StrokeFixture, LineWritesOnlyWhenReleasedOverTheMap) {
  tk.press(g.toolButton("Line"));
  move(g.mapCanvas, 32, 32);
  down(g.mapCanvas, kLeftButton);
  move(g.mapCanvas, 224, 32);
  up(g.tilesetCanvas, kLeftButton);  // released elsewhere: the stroke ends unwritten
  runScript();
  EXPECT_EQ(filled(), 0);
  EXPECT_FALSE(shell.stroke().painting);

  down(g.mapCanvas, kLeftButton);
  move(g.mapCanvas, 32, 32);
  up(g.mapCanvas, kLeftButton);
  runScript();
  EXPECT_EQ(filled(), 4);  // (3, 0) back to (0, 0)
}

TEST_F(StrokeFixture, NoToolChosenChangesNothingAndStartUpMapHasNoCells) {
  move(g.mapCanvas, 32, 32);
  down(g.mapCanvas, kLeftButton);
  move(g.mapCanvas, 160, 160);
  up(g.mapCanvas, kLeftButton);
  runScript();
  EXPECT_EQ(filled(), 0);
}

TEST_F(StrokeFixture, PressOnALightSelectsItAndStartsNoStroke) {
  tk.press(g.toolButton("Plot"));
  move(g.mapCanvas, 100, 100);
  down(g.mapCanvas, kRightButton);
  tk.chooseMenu(g.contextMenu, app::tagOf("addLight"));
  down(g.mapCanvas, kLeftButton);
  runScript();
  ASSERT_EQ(shell.currentMap()->lights.size(), 1u);
  EXPECT_EQ(shell.objects().activeLight(), shell.currentMap()->lights[0]);
  EXPECT_FALSE(shell.stroke().painting);
  EXPECT_EQ(filled(), 0);
}

// Dragging a light, a pivot or both: whole map pixels, one step, none without a move.
struct Drag : StrokeFixture {
  void addAt(int x, int y, int tag) {
    move(g.mapCanvas, x, y);
    down(g.mapCanvas, kRightButton);
    tk.chooseMenu(g.contextMenu, tag);
  }
  void drag(int x0, int y0, std::vector<std::pair<int, int>> path) {
    move(g.mapCanvas, x0, y0);
    down(g.mapCanvas, kLeftButton);
    for (auto [x, y] : path) move(g.mapCanvas, x, y);
    up(g.mapCanvas, kLeftButton);
  }
  std::string undoText() const { return shell.document().undoText(); }
};

TEST_F(Drag, ALightFollowsThePointerAndTheMoveIsOneStep) {
  tk.press(g.toolButton("Plot"));
  addAt(100, 100, app::tagOf("addLight"));
  drag(102, 101, {{110, 101}, {131, 90}});
  runScript();
  const map::Light& light = *shell.currentMap()->lights.at(0);
  EXPECT_EQ(std::tie(light.x, light.y), std::make_tuple(129.0f, 89.0f));
  EXPECT_EQ(shell.objects().activeLight(), shell.currentMap()->lights[0]);
  EXPECT_EQ(filled(), 0);  // no stroke under the light
  EXPECT_EQ(undoText(), "Undo Move Light");
  ASSERT_TRUE(shell.document().undo());
  EXPECT_EQ(std::tie(light.x, light.y), std::make_tuple(100.0f, 100.0f));
  EXPECT_EQ(undoText(), "Undo Add Light");
  ASSERT_TRUE(shell.document().redo());
  EXPECT_EQ(std::tie(light.x, light.y), std::make_tuple(129.0f, 89.0f));
}

TEST_F(Drag, ReleasingWhereItStartedLeavesNoStep) {
  addAt(100, 100, app::tagOf("addPivot"));
  drag(100, 100, {});
  drag(100, 100, {{140, 100}, {100, 100}});  // out and back
  runScript();
  const map::Pivot& pivot = *shell.currentMap()->pivots.at(0);
  EXPECT_EQ(std::tie(pivot.x, pivot.y), std::make_tuple(100.0f, 100.0f));
  EXPECT_EQ(undoText(), "Undo Add Pivot");
  EXPECT_EQ(shell.objects().activePivot(), shell.currentMap()->pivots[0]);
}

TEST_F(Drag, EscapePutsTheObjectBackAndTheReleaseThenMovesNothing) {
  addAt(100, 100, app::tagOf("addLight"));
  move(g.mapCanvas, 100, 100);
  down(g.mapCanvas, kLeftButton);
  move(g.mapCanvas, 150, 120);
  tk.key(platform::kKeyEscape);
  move(g.mapCanvas, 170, 120);
  up(g.mapCanvas, kLeftButton);
  runScript();
  const map::Light& light = *shell.currentMap()->lights.at(0);
  EXPECT_EQ(std::tie(light.x, light.y), std::make_tuple(100.0f, 100.0f));
  EXPECT_EQ(undoText(), "Undo Add Light");
}

TEST_F(Drag, ObjectsUnderOnePressMoveTogetherAndAStrokeElsewhereStillPaints) {
  tk.press(g.toolButton("Plot"));
  addAt(100, 100, app::tagOf("addLight"));
  addAt(100, 100, app::tagOf("addPivot"));
  drag(100, 100, {{60, 150}});
  drag(200, 200, {{210, 210}});  // no object here: a stroke
  runScript();
  const map::Map& m = *shell.currentMap();
  EXPECT_EQ(std::tie(m.lights[0]->x, m.lights[0]->y), std::make_tuple(60.0f, 150.0f));
  EXPECT_EQ(std::tie(m.pivots[0]->x, m.pivots[0]->y), std::make_tuple(60.0f, 150.0f));
  EXPECT_EQ(filled(), 1);
  ASSERT_TRUE(shell.document().undo());  // the stroke
  EXPECT_EQ(undoText(), "Undo Move");
  ASSERT_TRUE(shell.document().undo());
  EXPECT_EQ(std::tie(m.lights[0]->x, m.pivots[0]->y), std::make_tuple(100.0f, 100.0f));
}

TEST_F(Drag, ZoomedInTheMoveIsInWholeMapPixels) {
  addAt(100, 100, app::tagOf("addLight"));
  runScript();
  shell.mapView().zoom = 2;
  const platform::Surface& s = tk.surface(g.mapCanvas);
  // The light's marker centre on the canvas at zoom 2.
  const int cx = static_cast<int>(s.width() / 2 + (100 - s.width() / 2) * 2);
  const int cy = static_cast<int>(s.height() / 2 + (100 - s.height() / 2) * 2);
  drag(cx, cy, {{cx + 11, cy}, {cx + 1, cy}});  // half a map pixel: no move
  drag(cx, cy, {{cx + 10, cy - 6}});
  runScript();
  const map::Light& light = *shell.currentMap()->lights[0];
  EXPECT_EQ(std::tie(light.x, light.y), std::make_tuple(105.0f, 97.0f));
}

// A press on a light only selects it: the pointer's jitter during a click, below the
// desktop's drag distance (along x plus along y), moves nothing. Past it, the light follows
// the pointer from where it was pressed.
TEST_F(Drag, AClickThatJittersMovesNothing) {
  static_assert(FakeToolkit::kDragDistance == 10);
  addAt(100, 100, app::tagOf("addLight"));
  drag(100, 100, {{104, 103}, {97, 104}, {105, 99}});
  runScript();
  const map::Light& light = *shell.currentMap()->lights.at(0);
  EXPECT_EQ(std::tie(light.x, light.y), std::make_tuple(100.0f, 100.0f));
  EXPECT_EQ(shell.objects().activeLight(), shell.currentMap()->lights[0]);
  EXPECT_EQ(undoText(), "Undo Add Light");
  drag(100, 100, {{106, 104}});
  runScript();
  EXPECT_EQ(std::tie(light.x, light.y), std::make_tuple(106.0f, 104.0f));
  EXPECT_EQ(undoText(), "Undo Move Light");
}

using Pointer = ShellTest;

// Each press acts where it happened, whatever the last move: the context menu's point, and
// the cell a left press starts at (after a menu, or after picking a tile in the tileset).
TEST_F(Pointer, APressActsAtItsOwnPosition) {
  newMap();
  tk.type(g.layerField, "3");
  move(g.mapCanvas, 300, 300);
  down(g.mapCanvas, kRightButton, 40, 50);
  tk.chooseMenu(g.contextMenu, app::tagOf("addLight"));
  tk.chooseMenu(g.contextMenu, app::tagOf("addPivot"));
  down(g.tilesetCanvas, kRightButton, 10, 10);  // no menu over other canvases
  runScript();
  EXPECT_THAT(tk.popups, ElementsAre(std::make_pair(g.mainWindow, g.contextMenu)));
  const map::Map& m = *shell.currentMap();
  ASSERT_EQ(m.lights.size(), 1u);
  EXPECT_EQ(std::tie(m.lights[0]->x, m.lights[0]->y), std::make_tuple(40.0f, 50.0f));
  EXPECT_EQ(m.lights[0]->layer, 2);
  EXPECT_EQ(m.lights[0]->red, 255.0f);
  ASSERT_EQ(m.pivots.size(), 1u);
  EXPECT_EQ(std::tie(m.pivots[0]->x, m.pivots[0]->y, m.pivots[0]->layer), std::make_tuple(40.0f, 50.0f, 2));
  EXPECT_EQ(shell.objects().activeLight(), nullptr);  // adding selects nothing

  // A tile picked in the tileset, then a click on the map with no move over it first.
  const tiles::TilePtr tile = makeTile();
  seedTileset([&](map::Map& ts) { ts.setCell(1, 0, 0, tile); });
  tk.press(g.toolButton("Plot"));
  down(g.tilesetCanvas, kLeftButton, 70, 10);
  up(g.tilesetCanvas, kLeftButton, 70, 10);
  down(g.mapCanvas, kLeftButton, 200, 140);
  up(g.mapCanvas, kLeftButton, 200, 140);
  runScript();
  ASSERT_EQ(shell.currentTile(), tile);
  const auto cell = map::cellAt(m, shell.mapView(), tk.surface(g.mapCanvas), 200, 140);
  ASSERT_TRUE(cell);
  EXPECT_EQ(m.cell(cell->x, cell->y, 2), tile);
  EXPECT_EQ(std::count_if(m.cells.begin(), m.cells.end(), [](const auto& c) { return c != nullptr; }), 1);

  // A line ends where the release happened.
  tk.press(g.toolButton("Line"));
  down(g.mapCanvas, kLeftButton, 10, 10);
  up(g.mapCanvas, kLeftButton, 10, 200);
  runScript();
  const auto end = map::cellAt(m, shell.mapView(), tk.surface(g.mapCanvas), 10, 200);
  ASSERT_TRUE(end);
  EXPECT_EQ(m.cell(end->x, end->y, 2), tile);
}

TEST_F(Pointer, ContextDeleteRemovesLightAndPivotAndClearsTheActiveOnes) {
  newMap();
  move(g.mapCanvas, 40, 50);
  down(g.mapCanvas, kRightButton);
  tk.chooseMenu(g.contextMenu, app::tagOf("addLight"));
  tk.chooseMenu(g.contextMenu, app::tagOf("addPivot"));
  down(g.mapCanvas, kLeftButton);  // selects both
  up(g.mapCanvas, kLeftButton);
  runScript();
  ASSERT_TRUE(shell.objects().activeLight() && shell.objects().activePivot());

  base::ConsoleCapture console;
  down(g.mapCanvas, kRightButton);
  tk.chooseMenu(g.contextMenu, app::tagOf("deleteHere"));
  runScript();
  EXPECT_TRUE(shell.currentMap()->lights.empty());
  EXPECT_TRUE(shell.currentMap()->pivots.empty());
  EXPECT_EQ(shell.objects().activeLight(), nullptr);
  EXPECT_EQ(shell.objects().activePivot(), nullptr);
  EXPECT_EQ(std::count(console.lines().begin(), console.lines().end(), "Deleted called."), 1);
}

TEST_F(Pointer, WheelNotchesInFloatArithmetic) {
  newMap();
  struct Case {
    int datum;
    float zoom;
  };
  for (const Case c : {Case{-1, 0.99f}, Case{+1, 1.01f}, Case{-2, 1.0f + -2 * 0.01f}, Case{-1000, map::kMinZoom}}) {
    shell.mapView().zoom = 1.0f;
    tk.post({EventKind::MouseWheel, g.mapCanvas, c.datum, 0, 0});
    runScript();
    EXPECT_EQ(shell.mapView().zoom, c.zoom) << c.datum;
  }
  tk.post({EventKind::MouseWheel, g.tilesetCanvas, 5, 0, 0});
  runScript();
  EXPECT_EQ(shell.mapView().zoom, map::kMinZoom);
  EXPECT_EQ(shell.tilesetView().zoom, 1.0f);
}

TEST_F(Pointer, WheelPicksTheCellUnderThePointerAgain) {
  newMap();
  move(g.mapCanvas, 500, 300);
  for (int i = 0; i < 50; ++i) tk.post({EventKind::MouseWheel, g.mapCanvas, -1, 0, 0});
  runScript();
  RecordingSurface& s = tk.recording(g.mapCanvas);
  const map::MapPoint p = map::canvasToMap(shell.mapView(), s, 500, 300);
  const map::CellPoint cell = shell.mapCanvas().cell();
  EXPECT_EQ(cell.x, static_cast<int>(p.x) / 64);
  EXPECT_EQ(cell.y, static_cast<int>(p.y) / 64);
  EXPECT_NE(cell.x, 500 / 64);
}

TEST_F(Pointer, MiddleDragScrollsTheMapFromTheFirstMoveOn) {
  newMap();
  down(g.mapCanvas, kMiddleButton, 100, 100);
  move(g.mapCanvas, 100, 100);  // sets the reference point only
  move(g.mapCanvas, 110, 95);
  up(g.mapCanvas, kMiddleButton);
  move(g.mapCanvas, 300, 300);  // no longer panning
  runScript();
  EXPECT_EQ(shell.mapView().scrollX, -10.0f);
  EXPECT_EQ(shell.mapView().scrollY, 5.0f);
  EXPECT_FALSE(shell.panning());
}

TEST_F(Pointer, TilesetPickOnPressAndWhileHeld) {
  move(g.tilesetCanvas, 80, 10);  // not held: no pick
  runScript();
  EXPECT_EQ(shell.tilesetView().picked.x, 0);
  down(g.tilesetCanvas, kLeftButton);
  move(g.tilesetCanvas, 150, 10);
  runScript();
  EXPECT_EQ(shell.tilesetView().picked.x, 2);
  up(g.tilesetCanvas, kLeftButton);
  move(g.tilesetCanvas, 80, 10);
  runScript();
  EXPECT_EQ(shell.tilesetView().picked.x, 2);
}

}  // namespace
}  // namespace vorlane::test
