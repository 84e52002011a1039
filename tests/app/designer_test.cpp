// The designer's tools and commands in the shell: each on a small map, judged by the saved
// bytes before, after, after undo and after redo; and the small commands around them.
#include <gmock/gmock.h>

#include <functional>

#include "base/bytes.h"
#include "base/console.h"
#include "io/project.h"
#include "map/stamp.h"
#include "map/view.h"
#include "shell_fixture.h"

namespace vorlane::test {
namespace {

using platform::EventKind;
using platform::kControl;

// A 4 × 4 × 2 map of 64-pixel cells (canvas pixels are map pixels at zoom 1): tile A in
// columns 0 and 1 of layer 0 and at (3, 3) of layer 1; tile B picked in the Tiles window.
struct Designer : ShellTest {
  std::shared_ptr<tiles::Tile> a = makeTile(50), b = makeTile(200);

  void SetUp() override {
    ShellTest::SetUp();
    a->path = "a.png";
    b->path = "b.png";
    // Tileset slots b a / a (empty), the stamp pickStamp drags out.
    seedTileset([&](map::Map& ts) {
      ts.setCell(0, 0, 0, b);
      ts.setCell(1, 0, 0, a);
      ts.setCell(0, 1, 0, a);
    });
    newMap({"4", "4", "2", "64", "64"});
    runScript();
    // The new map comes with its cells: a step of the same name.
    const map::MapPtr m = copyOf(*shell.currentMap());
    for (int x = 0; x < 2; ++x)
      for (int y = 0; y < 4; ++y) m->setCell(x, y, 0, a);
    m->setCell(3, 3, 1, a);
    shell.document().replaceMap("New Map", m);
    tk.tick();
    runScript();
  }

  std::vector<std::uint8_t> saved() {
    base::ByteWriter out;
    io::saveMap(*shell.currentMap(), out);
    return out.data();
  }
  static int at(int cell) { return cell * 64 + 32; }
  void click(int x, int y) { drag(x, y, x, y); }
  void drag(int x0, int y0, int x1, int y1) {
    move(g.mapCanvas, at(x0), at(y0));
    down(g.mapCanvas, platform::kLeftButton, at(x0), at(y0));
    move(g.mapCanvas, at(x1), at(y1));
    up(g.mapCanvas, platform::kLeftButton, at(x1), at(y1));
  }
  // Tileset slots b a / a (empty), dragged over as a 2 × 2 stamp.
  void pickStamp() {
    move(g.tilesetCanvas, 32, 32);
    down(g.tilesetCanvas, platform::kLeftButton, 32, 32);
    move(g.tilesetCanvas, 96, 96);
    up(g.tilesetCanvas, platform::kLeftButton, 96, 96);
  }
  // A light added at canvas (100, 100) through the context menu, then picked by a click.
  void addAndPickLight() {
    move(g.mapCanvas, 100, 100);
    down(g.mapCanvas, platform::kRightButton, 100, 100);
    tk.chooseMenu(g.contextMenu, app::tagOf("addLight"));
    move(g.mapCanvas, 100, 100);
    down(g.mapCanvas, platform::kLeftButton, 100, 100);
    up(g.mapCanvas, platform::kLeftButton, 100, 100);
  }
  // Layer 0 row by row: '.' empty, 'a', 'b'.
  std::string layer0() {
    const map::Map& m = *shell.currentMap();
    std::string rows;
    for (int y = 0; y < m.height; ++y) {
      for (int x = 0; x < m.width; ++x) {
        const tiles::TilePtr& t = m.cell(x, y, 0);
        rows += !t ? '.' : t == a ? 'a' : t == b ? 'b' : '?';
      }
      rows += '/';
    }
    return rows;
  }
};

struct Case {
  const char* name;
  std::function<void(Designer&)> setUp;  // before the "before" bytes
  std::function<void(Designer&)> act;
  std::string layer0;  // after the act
  std::string undoText;
};

struct Commands : Designer, ::testing::WithParamInterface<Case> {};

TEST_P(Commands, ChangeTheSavedBytesAsOneStepThatUndoAndRedoTakeBackAndForth) {
  const Case& c = GetParam();
  if (c.setUp) c.setUp(*this);
  runScript();
  const auto before = saved();
  c.act(*this);
  runScript();
  const auto after = saved();
  EXPECT_NE(after, before);
  EXPECT_EQ(layer0(), c.layer0);
  EXPECT_EQ(shell.document().undoText(), c.undoText);
  tk.chooseMenu(g.editMenu, app::tagOf("undo"));
  runScript();
  EXPECT_EQ(saved(), before);
  tk.chooseMenu(g.editMenu, app::tagOf("redo"));
  runScript();
  EXPECT_EQ(saved(), after);
}

INSTANTIATE_TEST_SUITE_P(
    Designer, Commands,
    ::testing::Values(
        Case{"EraserKeyAndStroke",
             nullptr,
             [](Designer& d) {
               d.tk.key('E');
               d.drag(0, 0, 1, 0);
             },
             "..../aa../aa../aa../", "Undo Eraser"},
        Case{"EraserButtonOnTheCurrentLayerOnly",
             nullptr,
             [](Designer& d) {
               d.tk.press(d.g.toolButton("Eraser"));
               d.tk.press(d.g.layerUpButton);
               d.click(3, 3);
             },
             "aa../aa../aa../aa../", "Undo Eraser"},
        Case{"BucketFillsTheSameTilesConnectedArea",
             nullptr,
             [](Designer& d) {
               d.tk.key('G');
               d.click(1, 2);
             },
             "bb../bb../bb../bb../", "Undo Bucket"},
        Case{"BucketFillsAnEmptyAreaUpToOtherTiles",
             [](Designer& d) { d.seedMap([&](map::Map& m) { m.setCell(3, 1, 0, d.a); }); },
             [](Designer& d) {
               d.tk.press(d.g.toolButton("Bucket"));
               d.click(3, 0);
             },
             "aabb/aaba/aabb/aabb/", "Undo Bucket"},
        Case{"BucketWithNoTileClearsTheArea",
             [](Designer& d) {
               d.seedMap([&](map::Map& m) { m.setCell(1, 1, 0, nullptr); });  // splits nothing: 4-connected still
               d.shell.tilesetView().picked.x = 2;           // an empty slot
               d.tk.tick();
             },
             [](Designer& d) {
               d.tk.key('G');
               d.click(0, 0);
             },
             "..../..../..../..../", "Undo Bucket"},
        Case{"StampFromATilesDragPlottedAtItsTopLeftEmptySlotsLeaveCells",
             [](Designer& d) { d.pickStamp(); },
             [](Designer& d) {
               d.tk.key('P');
               d.click(2, 1);
             },
             "aa../aaba/aaa./aa../", "Undo Plot"},
        Case{"StampTiledOverABlock",
             [](Designer& d) { d.pickStamp(); },
             [](Designer& d) {
               d.tk.key('B');
               d.drag(0, 0, 3, 1);
             },
             "baba/aaa./aa../aa../", "Undo Block"},
        Case{"EraserTakesTheStampsSize",
             [](Designer& d) { d.pickStamp(); },
             [](Designer& d) {
               d.tk.key('E');
               d.click(1, 1);
             },
             "aa../a.../a.../aa../", "Undo Eraser"},
        Case{"StampOnALineAtEachCell",
             [](Designer& d) { d.pickStamp(); },
             [](Designer& d) {
               d.tk.key('L');
               d.drag(2, 2, 3, 2);
             },
             "aa../aa../aabb/aaaa/", "Undo Line"},
        Case{"DeleteKeyDeletesTheLightPickedLast",
             [](Designer& d) { d.addAndPickLight(); },
             [](Designer& d) { d.tk.key(platform::kKeyDelete); },
             "aa../aa../aa../aa../", "Undo Delete"},
        Case{"SelectThenDeleteClearsTheCellsOnTheCurrentLayer",
             nullptr,
             [](Designer& d) {
               d.tk.key('S');
               d.drag(1, 1, 0, 0);
               d.tk.key(platform::kKeyDelete);
             },
             "..../..../aa../aa../", "Undo Delete"},
        Case{"DeleteClearsTheSelectionBeforeTheLightPickedLast",
             [](Designer& d) {
               d.addAndPickLight();
               d.tk.key('S');
               d.click(0, 3);
             },
             [](Designer& d) { d.tk.key(platform::kKeyDelete); },
             "aa../aa../aa../.a../", "Undo Delete"},
        Case{"CutIsOneStep",
             nullptr,
             [](Designer& d) {
               d.tk.key('S');
               d.drag(0, 1, 0, 2);
               d.tk.key('X', kControl);
             },
             "aa../.a../.a../aa../", "Undo Cut"},
        Case{"CutWithShiftTakesEveryLayer",
             nullptr,
             [](Designer& d) {
               d.tk.key('S');
               d.tk.modifiers = platform::kShift;
               d.drag(1, 3, 3, 3);
               d.runScript();  // the press reads Shift as it is handled
               d.tk.modifiers = 0;
               EXPECT_EQ(d.shell.mapCanvas().selection()->layer, -1);
               d.tk.chooseMenu(d.g.editMenu, app::tagOf("cut"));
             },
             "aa../aa../aa../a.../", "Undo Cut"},
        Case{"CopyThenPastePlacedByAClick",
             [](Designer& d) {
               d.tk.key('S');
               d.drag(0, 0, 1, 0);
               d.tk.key('C', kControl);
             },
             [](Designer& d) {
               d.tk.key('V', kControl);
               d.move(d.g.mapCanvas, d.at(3), d.at(3));
               d.click(2, 2);
             },
             "aa../aa../aaaa/aa../", "Undo Paste"},
        Case{"PasteOfEveryLayerGoesToItsLayers",
             [](Designer& d) {
               d.tk.key('S');
               d.tk.modifiers = platform::kShift;
               d.drag(2, 3, 3, 3);  // layer 0 empty, layer 1 tile a at (3, 3)
               d.runScript();
               d.tk.modifiers = 0;
               d.tk.chooseMenu(d.g.editMenu, app::tagOf("copy"));
               d.tk.press(d.g.layerUpButton);  // the current layer does not matter
             },
             [](Designer& d) {
               d.tk.chooseMenu(d.g.editMenu, app::tagOf("paste"));
               d.click(0, 0);
             },
             "aa../aa../aa../aa../", "Undo Paste"}),
    [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

TEST_F(Designer, AClickInTheTilesWindowStillPicksOneTile) {
  pickStamp();
  runScript();
  EXPECT_EQ(shell.stamp().width, 2);
  EXPECT_EQ(shell.stamp().height, 2);
  move(g.tilesetCanvas, 96, 32);
  down(g.tilesetCanvas, platform::kLeftButton, 96, 32);
  up(g.tilesetCanvas, platform::kLeftButton, 96, 32);
  tk.key('P');
  click(3, 3);
  runScript();
  EXPECT_TRUE(shell.stamp().empty());
  EXPECT_EQ(shell.currentTile(), a);
  EXPECT_EQ(layer0(), "aa../aa../aa../aa.a/");
}

TEST_F(Designer, TheActiveToolsButtonShowsPressedAndTheToolsStatusBarNamesIt) {
  EXPECT_EQ(tk.at(g.toolsWindow).status, "");
  for (const map::ToolRow& row : map::toolTable()) {
    tk.key(row.key.key);
    runScript();
    EXPECT_EQ(shell.currentTool(), row.id) << row.label;
    EXPECT_EQ(tk.at(g.toolsWindow).status, row.label);
    for (const map::ToolRow& other : map::toolTable())
      EXPECT_EQ(tk.checked(g.toolButton(other.label)), other.id == row.id) << row.label << " shows " << other.label;
  }
}

TEST_F(Designer, QuitAsksAsTheCloseButtonDoes) {
  click(3, 0);  // no tool: nothing painted, nothing to ask
  tk.press(g.toolButton("Bucket"));
  click(3, 0);
  tk.questionAnswers = {2};  // Cancel
  tk.key('Q', kControl);
  runScript();
  ASSERT_EQ(tk.questions.size(), 1u);
  EXPECT_EQ(tk.questions[0].text, "Save changes to Untitled before closing?");
  EXPECT_FALSE(shell.finished());
  tk.questionAnswers = {1};  // Discard
  tk.chooseMenu(g.fileMenu, app::tagOf("quit"));
  tk.tick();
  EXPECT_EQ(shell.run(), 0);
  EXPECT_TRUE(shell.finished());
}

TEST_F(Designer, EscapeCancelsTheNewMapDialog) {
  const edit::ConstMapPtr before = shell.currentMap();
  tk.press(g.newMapButton);
  tk.key(platform::kKeyEscape);
  runScript();
  EXPECT_EQ(shell.currentMap(), before);
  EXPECT_EQ(tk.findWindow("New Map"), platform::kNoHandle);
}

TEST_F(Designer, ZoomKeysCtrlWheelAndZoomToFit) {
  seedMap([](map::Map& m) { m.setCell(0, 0, 0, nullptr); });  // any map is shown whole by Zoom to Fit
  const map::ViewState& view = shell.mapView();
  const platform::Surface& s = tk.surface(g.mapCanvas);
  // Ctrl+wheel: ladder steps, the map point under the pointer stays under it.
  const map::MapPoint under = map::canvasToMap(view, s, 200, 150);
  tk.post({EventKind::ZoomWheel, g.mapCanvas, 2, 200, 150});
  runScript();
  EXPECT_EQ(view.zoom, 2.0f);
  const map::MapPoint still = map::canvasToMap(view, s, 200, 150);
  EXPECT_NEAR(still.x, under.x, 0.01);
  EXPECT_NEAR(still.y, under.y, 0.01);
  tk.post({EventKind::ZoomWheel, g.mapCanvas, -1, 200, 150});
  runScript();
  EXPECT_EQ(view.zoom, 1.5f);
  // The plain wheel keeps its hundredth per notch.
  tk.post({EventKind::MouseWheel, g.mapCanvas, 1, 200, 150});
  runScript();
  EXPECT_FLOAT_EQ(view.zoom, 1.51f);

  // Zoom to Fit: the whole map on the canvas, centred.
  tk.chooseMenu(g.viewMenu, app::tagOf("zoomToFit"));
  runScript();
  EXPECT_EQ(view.zoom, map::zoomToFit(256, 256, s.width(), s.height()));
  const map::MapPoint topLeft = map::canvasToMap(view, s, 0, 0);
  const map::MapPoint bottomRight = map::canvasToMap(view, s, s.width(), s.height());
  EXPECT_LE(topLeft.x, 0.5f);
  EXPECT_LE(topLeft.y, 0.5f);
  EXPECT_GE(bottomRight.x, 255.5f);
  EXPECT_GE(bottomRight.y, 255.5f);
  EXPECT_NEAR(topLeft.x + bottomRight.x, 256.0f, 1.0f);
}

// Run from File > Run Script..., a script finds `arg` as `lua script.lua` sets it, and each
// example works on the open map.
TEST_F(Designer, ScriptsGetArgAndTheExamplesWorkOnTheOpenMap) {
  TempDir dir;
  base::ConsoleCapture quiet;
  const std::string argScript = dir.file("args.lua");
  const std::string text = "print(#arg, arg[-1], arg[0] == '" + argScript + "')\n";
  writeFile(argScript, std::vector<std::uint8_t>(text.begin(), text.end()));
  seedMap([&](map::Map& m) { m.setCell(0, 0, 1, b); });
  const std::string examples = VORLANE_EXAMPLES_DIR "/scripts/";
  tk.fileAnswers = {argScript, examples + "room.lua", examples + "pivots_csv.lua", examples + "relight.lua"};
  for (int i = 0; i < 4; ++i) tk.chooseMenu(g.fileMenu, app::tagOf("runScript"));
  runScript();
  EXPECT_TRUE(tk.messages.empty()) << tk.messages.front().text;
  EXPECT_THAT(quiet.lines(), ::testing::IsSupersetOf({"0\tvorlane\ttrue", "the open map is a 4x4 room with 4 lights",
                                                     "pivot,x,y,layer,link,name,value", "the open map relit at 256x256"}));
  tk.chooseMenu(g.editMenu, app::tagOf("undo"));  // the bake
  runScript();
  const map::Map& room = *shell.currentMap();
  EXPECT_EQ(room.lights.size(), 4u);
  EXPECT_EQ(layer0(), "aaaa/aaaa/aaaa/aaaa/");
  EXPECT_EQ(room.cell(3, 3, 1), b);
  EXPECT_FALSE(room.cell(1, 1, 1));
}

// Images of tile a and of tile b in the map canvas's last frame.
std::pair<int, int> imagesDrawn(FakeToolkit& tk, platform::Handle canvas, const tiles::TilePtr& a,
                                const tiles::TilePtr& b) {
  const auto& calls = tk.recording(canvas).calls;
  auto it = std::find_if(calls.rbegin(), calls.rend(), [](const Call& c) { return c.op == Op::Clear; });
  std::pair<int, int> n{0, 0};
  for (auto c = calls.rbegin(); c != it; ++c)
    if (c->op == Op::Image) {
      n.first += c->image == a->image.get() ? 1 : 0;
      n.second += c->image == b->image.get() ? 1 : 0;
    }
  return n;
}

// Hiding layers changes what the canvas draws, never the saved bytes; a hidden layer is not painted.
TEST_F(Designer, LayersMenuHidesAndShowsLayersAsViewStateOnly) {
  seedMap([&](map::Map& m) { m.setCell(2, 0, 1, b); });
  tk.tick();
  runScript();
  EXPECT_EQ(imagesDrawn(tk, g.mapCanvas, a, b), std::make_pair(9, 1));
  const FakeGadget& menu = tk.at(g.layersMenu);
  using Items = std::vector<std::pair<std::string, int>>;
  EXPECT_EQ(menu.menuItems, (Items{{"Show Only Current Layer", app::tagOf("showOnlyCurrentLayer")},
                                   {"Show All Layers", app::tagOf("showAllLayers")},
                                   {"Layer 1", app::kLayerItemTag},
                                   {"Layer 2", app::kLayerItemTag + 1}}));
  EXPECT_THAT(menu.checkedTags, ::testing::UnorderedElementsAre(app::kLayerItemTag, app::kLayerItemTag + 1));
  const auto before = saved();

  tk.chooseMenu(g.layersMenu, app::kLayerItemTag);  // hide layer 1
  tk.tick();
  runScript();
  EXPECT_EQ(imagesDrawn(tk, g.mapCanvas, a, b), std::make_pair(1, 1));
  EXPECT_THAT(menu.checkedTags, ::testing::ElementsAre(app::kLayerItemTag + 1));
  tk.key('P');
  click(3, 3);  // on the hidden current layer: nothing painted
  runScript();
  EXPECT_EQ(saved(), before);
  EXPECT_THAT(tk.at(g.mainWindow).status, ::testing::EndsWith(" | Layer 1 hidden"));

  tk.post({EventKind::MouseLeave, g.mapCanvas, 0, 0, 0});  // no brush preview
  tk.press(g.layerUpButton);
  tk.key('H', kControl | platform::kShift);  // only layer 2
  tk.tick();
  runScript();
  EXPECT_EQ(imagesDrawn(tk, g.mapCanvas, a, b), std::make_pair(1, 1));
  tk.chooseMenu(g.layersMenu, app::tagOf("showAllLayers"));
  tk.tick();
  runScript();
  EXPECT_EQ(imagesDrawn(tk, g.mapCanvas, a, b), std::make_pair(9, 1));
  EXPECT_EQ(saved(), before);
  EXPECT_THAT(tk.at(g.mainWindow).status, ::testing::Not(::testing::HasSubstr("hidden")));

  // Another map shows every layer, and the menu has one item per layer of it.
  tk.chooseMenu(g.layersMenu, app::kLayerItemTag);
  newMap({"2", "2", "3", "16", "16"});
  runScript();
  EXPECT_EQ(menu.menuItems.size(), 5u);
  EXPECT_EQ(menu.checkedTags.size(), 3u);
}

// The tile or stamp a click would paint shows under the pointer, and goes when the pointer leaves.
TEST_F(Designer, TheBrushPreviewFollowsThePointerAndLeavesNoTrace) {
  const auto& calls = tk.recording(g.mapCanvas).calls;
  tk.key('P');
  move(g.mapCanvas, at(2), at(1));
  tk.tick();
  runScript();
  EXPECT_EQ(imagesDrawn(tk, g.mapCanvas, a, b), std::make_pair(9, 1));
  const auto image = std::find_if(calls.rbegin(), calls.rend(), [&](const Call& c) { return c.op == Op::Image && c.image == b->image.get(); });
  ASSERT_NE(image, calls.rend());
  EXPECT_EQ(std::make_pair(image->a, image->b), std::make_pair(128.0f, 64.0f));
  EXPECT_TRUE(std::any_of(image, calls.rend(), [](const Call& c) { return c.op == Op::Alpha && c.a == 0.5f; }));

  pickStamp();
  move(g.mapCanvas, at(2), at(2));
  tk.tick();
  runScript();
  EXPECT_EQ(imagesDrawn(tk, g.mapCanvas, a, b), std::make_pair(9 + 2, 1)) << "the stamp's three tiles";

  tk.post({EventKind::MouseLeave, g.mapCanvas, 0, 0, 0});
  tk.tick();
  runScript();
  EXPECT_EQ(imagesDrawn(tk, g.mapCanvas, a, b), std::make_pair(9, 0));
  EXPECT_EQ(shell.document().undoText(), "Undo New Map") << "nothing painted";
}

// Copy and Cut need picked cells, Paste a copy. The copy floats under the pointer; Escape
// drops it first, then lets the picked cells go.
TEST_F(Designer, ClipboardItemsFollowWhatTheyCanActOnAndEscapeDropsTheFloatingCopy) {
  const auto disabled = [&](int tag) {
    const auto& tags = tk.at(g.editMenu).disabledTags;
    return std::count(tags.begin(), tags.end(), tag) == 1;
  };
  EXPECT_TRUE(disabled(app::tagOf("cut")) && disabled(app::tagOf("copy")) && disabled(app::tagOf("paste")));
  tk.key('V', kControl);  // nothing copied: nothing floats
  tk.key('S');
  drag(0, 0, 1, 0);
  runScript();
  EXPECT_FALSE(shell.mapCanvas().floating());
  EXPECT_FALSE(disabled(app::tagOf("cut")) || disabled(app::tagOf("copy")));
  EXPECT_TRUE(disabled(app::tagOf("paste")));
  tk.key('C', kControl);
  runScript();
  EXPECT_FALSE(disabled(app::tagOf("paste")));

  tk.key('V', kControl);
  move(g.mapCanvas, at(2), at(2));
  tk.tick();
  runScript();
  EXPECT_EQ(imagesDrawn(tk, g.mapCanvas, a, b), std::make_pair(9 + 2, 0)) << "the copy under the pointer";
  tk.key(platform::kKeyEscape);
  tk.tick();
  runScript();
  EXPECT_EQ(imagesDrawn(tk, g.mapCanvas, a, b), std::make_pair(9, 0));
  click(2, 2);  // Select again: picks a cell, pastes nothing
  runScript();
  EXPECT_EQ(shell.document().undoText(), "Undo New Map");
  ASSERT_TRUE(shell.mapCanvas().selection());
  EXPECT_EQ(shell.mapCanvas().selection()->rect, (map::CellRect{2, 2, 2, 2}));
  tk.key(platform::kKeyEscape);
  runScript();
  EXPECT_FALSE(shell.mapCanvas().selection());
  EXPECT_TRUE(disabled(app::tagOf("cut")) && disabled(app::tagOf("copy")));
  EXPECT_FALSE(disabled(app::tagOf("paste")));
}

}  // namespace
}  // namespace vorlane::test
