// The layer controls, tool buttons, window toggles and the tile-flag half of the after-event step.
#include <gmock/gmock.h>

#include "shell_fixture.h"

namespace vorlane::test {
namespace {

using platform::EventKind;
using platform::kLeftButton;

using Layer = ShellTest;

TEST_F(Layer, FieldIsClampedIntoTheMapsLayers) {
  newMap();  // depth 4
  struct Case {
    const char* typed;
    int layer;
    const char* shown;
  };
  for (const Case c : {Case{"12", 3, "4"}, Case{"", 0, "1"}, Case{"2", 1, "2"}, Case{"-5", 0, "1"},
                       Case{"abc", 0, "1"}, Case{"$3", 2, "3"}, Case{"0", 0, "1"}}) {
    tk.type(g.layerField, c.typed);
    runScript();
    EXPECT_EQ(shell.currentLayer(), c.layer) << c.typed;
    EXPECT_EQ(tk.text(g.layerField), c.shown) << c.typed;
  }
}

TEST_F(Layer, ButtonsStepWithinTheMap) {
  newMap({"2", "2", "2"});
  tk.press(g.layerDownButton);
  runScript();
  EXPECT_EQ(shell.currentLayer(), 0);
  EXPECT_EQ(tk.text(g.layerField), "1");
  tk.press(g.layerUpButton);
  tk.press(g.layerUpButton);
  runScript();
  EXPECT_EQ(shell.currentLayer(), 1);
  EXPECT_EQ(tk.text(g.layerField), "2");
}

// Raised to 0 first, then lowered to depth - 1: on the start-up map every step but "\\/"
// gives -1, shown as "0".
TEST_F(Layer, AMapWithoutLayersGivesLayerMinusOne) {
  struct Step {
    const char* typed;  // nullptr: the button instead
    platform::Handle button;
    int layer;
    const char* shown;
  };
  for (const Step s : {Step{"2", 0, -1, "0"}, Step{nullptr, g.layerDownButton, 0, "1"},
                       Step{nullptr, g.layerUpButton, -1, "0"}, Step{"", 0, -1, "0"}}) {
    if (s.typed)
      tk.type(g.layerField, s.typed);
    else
      tk.press(s.button);
    runScript();
    EXPECT_EQ(shell.currentLayer(), s.layer) << (s.typed ? s.typed : tk.text(s.button));
    EXPECT_EQ(tk.text(g.layerField), s.shown);
  }
}

// Only the layer controls clamp: a new or rendered map keeps the layer, its field and the
// stroke start, and the tools then write nothing on a layer the map lacks.
TEST_F(Layer, ANewOrRenderedMapKeepsLayerFieldAndStrokeStart) {
  newMap();  // depth 4
  tk.type(g.layerField, "4");
  runScript();
  shell.mapView().scrollX = 20 * 64;  // zoom 1: canvas pixels are map pixels less the scroll
  shell.mapView().scrollY = 30 * 64;
  move(g.mapCanvas, 10, 10);
  down(g.mapCanvas, kLeftButton);  // a stroke from (20, 30), no tool yet
  newMap({"3", "3", "2"});
  runScript();
  EXPECT_TRUE(shell.stroke().painting);
  EXPECT_EQ(std::tie(shell.stroke().startX, shell.stroke().startY), std::make_tuple(20, 30));
  EXPECT_EQ(std::make_pair(shell.mapCanvas().cell().x, shell.mapCanvas().cell().y), std::make_pair(0, 0));
  EXPECT_EQ(shell.currentLayer(), 3);
  EXPECT_EQ(tk.text(g.layerField), "4");

  up(g.mapCanvas, kLeftButton);
  seedTileset([&](map::Map& ts) { ts.setCell(0, 0, 0, makeTile()); });
  for (platform::Handle tool : {g.toolButton("Fill"), g.toolButton("Plot"), g.toolButton("Block")}) {
    tk.press(tool);
    down(g.mapCanvas, kLeftButton);
    up(g.mapCanvas, kLeftButton);
  }
  tk.press(g.renderButton);
  runScript();
  ASSERT_NE(shell.currentTile(), nullptr);
  for (const auto& cell : shell.currentMap()->cells) EXPECT_EQ(cell, nullptr);
  EXPECT_EQ(shell.currentLayer(), 3);
  EXPECT_EQ(tk.text(g.layerField), "4");
}

using Tools = ShellTest;

TEST_F(Tools, ButtonsChooseTheirTool) {
  const std::pair<platform::Handle, int> buttons[] = {
      {g.toolButton("Plot"), 1}, {g.toolButton("Line"), 2}, {g.toolButton("Rect"), 3}, {g.toolButton("Block"), 4}, {g.toolButton("Fill"), 5}};
  for (auto [button, tool] : buttons) {
    tk.press(button);
    runScript();
    EXPECT_EQ(shell.currentTool(), tool);
  }
}

using Windows = ShellTest;

TEST_F(Windows, TogglesShowAndHideAndAClosedWindowReturnsAtOnePress) {
  struct Row {
    platform::Handle toggle, window;
    bool (*shown)(app::Shell&);
  };
  for (const Row r : {Row{g.lightsToggle, g.lightsWindow, [](app::Shell& s) { return s.objects().lightsShown(); }},
                      Row{g.pivotsToggle, g.pivotsWindow, [](app::Shell& s) { return s.objects().pivotsShown(); }},
                      Row{g.renderToggle, g.renderWindow, [](app::Shell& s) { return s.render().shown(); }}}) {
    SCOPED_TRACE(tk.at(r.window).text);
    tk.press(r.toggle);
    runScript();
    EXPECT_TRUE(tk.at(r.window).visible && r.shown(shell));
    tk.press(r.toggle);
    runScript();
    EXPECT_FALSE(tk.at(r.window).visible || r.shown(shell));
    tk.press(r.toggle);
    tk.closeWindow(r.window);
    runScript();
    EXPECT_FALSE(tk.at(r.window).visible || r.shown(shell));
    tk.press(r.toggle);
    runScript();
    EXPECT_TRUE(tk.at(r.window).visible && r.shown(shell));
  }
}

using TileFlags = ShellTest;

TEST_F(TileFlags, PickedTileShowsItsFlagsAndTheBoxesWriteThem) {
  const auto tile = makeTile();
  tile->castShadows = 1;
  seedTileset([&](map::Map& ts) { ts.setCell(1, 0, 0, tile); });
  move(g.tilesetCanvas, 80, 10);
  down(g.tilesetCanvas, kLeftButton);
  up(g.tilesetCanvas, kLeftButton);
  runScript();
  EXPECT_EQ(shell.currentTile(), tile);
  EXPECT_TRUE(tk.checked(g.tileShadowsBox));
  EXPECT_FALSE(tk.checked(g.tileColliderBox));

  tk.toggle(g.tileColliderBox);
  tk.toggle(g.tileShadowsBox);
  runScript();
  EXPECT_EQ(std::tie(tile->castShadows, tile->collider), std::make_tuple(0, 1));

  // An empty cell: no tile, both boxes cleared, the tile keeps its flags.
  move(g.tilesetCanvas, 150, 10);
  down(g.tilesetCanvas, kLeftButton);
  runScript();
  EXPECT_EQ(shell.currentTile(), nullptr);
  EXPECT_FALSE(tk.checked(g.tileShadowsBox) || tk.checked(g.tileColliderBox));
  EXPECT_EQ(std::tie(tile->castShadows, tile->collider), std::make_tuple(0, 1));
}

using ObjectWindows = ShellTest;

TEST_F(ObjectWindows, ButtonsAndListReachTheActivePivotAndLight) {
  // Without an active pivot or light the buttons do nothing.
  tk.press(g.newRecordButton);
  tk.press(g.deleteRecordButton);
  tk.press(g.pickButton);
  tk.press(g.recordsList, 0);
  runScript();
  EXPECT_TRUE(tk.at(g.recordsList).items.empty());
  EXPECT_EQ(shell.objects().activeRecord(), nullptr);

  newMap();
  move(g.mapCanvas, 100, 100);
  tk.mouse(EventKind::MouseDown, g.mapCanvas, platform::kRightButton, 0, 0);
  tk.chooseMenu(g.contextMenu, app::tagOf("addPivot"));
  tk.chooseMenu(g.contextMenu, app::tagOf("addLight"));
  tk.mouse(EventKind::MouseDown, g.mapCanvas, kLeftButton, 0, 0);
  tk.mouse(EventKind::MouseUp, g.mapCanvas, kLeftButton, 0, 0);
  tk.press(g.newRecordButton);
  tk.press(g.newRecordButton);
  tk.press(g.recordsList, 0);
  typeLater(g.nameField, "door");
  tk.fileAnswers = {"level2.vorl"};
  tk.press(g.browseButton);
  tk.colourAnswers = {platform::Colour{1, 2, 3}};
  tk.press(g.pickButton);
  runScript();
  const map::PivotPtr pivot = shell.currentMap()->pivots.at(0);
  const map::LightPtr light = shell.currentMap()->lights.at(0);
  ASSERT_EQ(pivot->recordCount, 2);
  EXPECT_EQ(pivot->records[0]->name, "door");
  EXPECT_EQ(pivot->link, "level2.vorl");
  EXPECT_EQ(std::tie(light->red, light->green, light->blue), std::make_tuple(1.0f, 2.0f, 3.0f));

  tk.selectItem(g.recordsList, -1);
  tk.press(g.deleteRecordButton);  // nothing selected: ends early
  runScript();
  EXPECT_EQ(pivot->recordCount, 2);
  tk.selectItem(g.recordsList, 1);
  tk.press(g.deleteRecordButton);
  runScript();
  EXPECT_EQ(pivot->recordCount, 1);
}

}  // namespace
}  // namespace vorlane::test
