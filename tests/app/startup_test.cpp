#include <gmock/gmock.h>

#include "shell_fixture.h"

namespace vorlane::test {
namespace {

using ::testing::ElementsAre;
using platform::kHidden;
using platform::kMenuBar;
using platform::kStatusBar;
using platform::kTitleBar;
using G = app::Gadgets;

using StartUp = ShellTest;

struct WindowRow {
  platform::Handle G::*window;
  const char* caption;
  int x, y, w, h;
  platform::Handle G::*owner;
  unsigned flags;
};

TEST_F(StartUp, SevenWindowsWithCaptionsFramesAndPlaces) {
  const WindowRow rows[] = {
      {&G::mainWindow, "Vorlane V0.1 (c) 2026 the Vorlane team", 125, 20, 580, 530, nullptr, kTitleBar | kMenuBar | kStatusBar},
      {&G::mapTreeWindow, "Map Tree", 560, 20, 200, 450, nullptr, kTitleBar | kStatusBar},
      {&G::toolsWindow, "Tools", 20, 105, 110, 450, &G::mainWindow, kTitleBar | kStatusBar},
      {&G::tilesWindow, "Tiles", 120, 350, 500, 200, &G::mainWindow, kTitleBar},
      // Centred on the 1280 × 1024 screen of the fake.
      {&G::renderWindow, "Render Lightmap", 440, 312, 400, 400, &G::mainWindow, kTitleBar | kHidden},
      {&G::pivotsWindow, "Pivots", 400, 300, 270, 250, &G::mainWindow, kTitleBar | kHidden},
      {&G::lightsWindow, "Lights", 400, 300, 250, 200, &G::mainWindow, kTitleBar | kHidden},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.caption);
    const FakeGadget& w = tk.at(g.*(r.window));
    EXPECT_EQ(w.kind, GadgetKind::Window);
    EXPECT_EQ(w.text, r.caption);
    EXPECT_EQ(std::tie(w.x, w.y, w.w, w.h), std::tie(r.x, r.y, r.w, r.h));
    EXPECT_EQ(w.parent, r.owner ? g.*(r.owner) : platform::kNoHandle);
    EXPECT_EQ(w.flags, r.flags);
    EXPECT_EQ(w.visible, !(r.flags & kHidden));
  }
  EXPECT_FALSE(shell.render().shown() || shell.objects().lightsShown() || shell.objects().pivotsShown());
}

struct GadgetRow {
  platform::Handle G::*gadget;
  GadgetKind kind;
  const char* text;
  int x, y, w, h;
  platform::Handle G::*parent;
};

TEST_F(StartUp, GadgetSampleWithTextsGeometryAndParents) {
  using K = GadgetKind;
  // Inner sizes in the fake: windows lose 2 + 2 across and 2 + 20 per title, menu bar and
  // 16 per status bar down; frames lose 16 + 2 down.
  const GadgetRow rows[] = {
      {&G::mapCanvas, K::Canvas, "", 0, 40, 576, 432, &G::mainWindow},
      {&G::layerField, K::TextField, "1", 380, 15, 40, 20, &G::mainWindow},
      {&G::layerDownButton, K::Button, "\\/", 360, 15, 20, 20, &G::mainWindow},
      {&G::layerUpButton, K::Button, "/\\", 420, 15, 20, 20, &G::mainWindow},
      {&G::exportButton, K::Button, "Export Map", 240, 0, 60, 20, &G::mainWindow},
      {&G::tileFrame, K::GroupFrame, "Curent Tile", 20, 20, 64, 64, &G::toolsWindow},
      {&G::tileCanvas, K::Canvas, "", 0, 0, 60, 46, &G::tileFrame},
      {&G::tileShadowsBox, K::CheckBox, "Cast Shadows", 5, 90, 100, 20, &G::toolsWindow},
      {&G::lightsToggle, K::Button, "Lights", 0, 0, 45, 20, &G::windowsFrame},
      {&G::renderToggle, K::Button, "Render", 0, 20, 45, 20, &G::windowsFrame},
      {&G::tilesetTabs, K::TabStrip, "", 0, 0, 496, 178, &G::tilesWindow},
      {&G::tilesetCanvas, K::Canvas, "", 100, 0, 300, 200, &G::tilesetTabs},
      {&G::loadTileButton, K::Button, "Load Tile.", 5, 20, 70, 20, &G::tilesetTabs},
      {&G::newSetButton, K::Button, "New Set.", 405, 20, 70, 20, &G::tilesetTabs},
      {&G::deleteSetButton, K::Button, "Delete", 405, 45, 70, 20, &G::tilesetTabs},
      {&G::widthField, K::TextField, "256", 5, 15, 40, 20, &G::shadowsFrame},
      {&G::heightField, K::TextField, "256", 60, 15, 40, 20, &G::shadowsFrame},
      {&G::progressLabel, K::Label, "Progress...", 205, 3, 120, 20, &G::renderFrame},
      {&G::renderButton, K::Button, "Render", 0, 20, 50, 20, &G::renderFrame},
      {&G::pivotFrame, K::GroupFrame, "Active Pivot", 0, 0, 260, 190, &G::pivotsWindow},
      {&G::recordsList, K::ListBox, "", 2, 38, 180, 75, &G::pivotFrame},
      {&G::deleteRecordButton, K::Button, "Delete", 184, 85, 50, 20, &G::pivotFrame},
      {&G::linkField, K::TextField, "", 0, 15, 200, 20, &G::pivotFrame},
      {&G::redField, K::TextField, "255", 5, 20, 40, 20, &G::lightFrame},
      {&G::blueField, K::TextField, "255", 95, 20, 40, 20, &G::lightFrame},
      {&G::rangeField, K::TextField, "", 105, 45, 40, 20, &G::lightFrame},
      {&G::lightShadowsBox, K::CheckBox, "Cast Shadows", 5, 45, 100, 20, &G::lightFrame},
  };
  for (const auto& r : rows) {
    const FakeGadget& gadget = tk.at(g.*(r.gadget));
    SCOPED_TRACE(r.text);
    EXPECT_EQ(gadget.kind, r.kind);
    EXPECT_EQ(gadget.text, r.text);
    EXPECT_EQ(std::tie(gadget.x, gadget.y, gadget.w, gadget.h), std::tie(r.x, r.y, r.w, r.h));
    EXPECT_EQ(gadget.parent, g.*(r.parent));
  }
  const FakeGadget& fill = tk.at(g.toolButton("Fill"));  // the tool buttons come from the tools' table
  EXPECT_EQ(fill.kind, K::Button);
  EXPECT_EQ(fill.text, "Fill");
  EXPECT_EQ(std::tie(fill.x, fill.y, fill.w, fill.h), std::make_tuple(0, 200, 50, 20));
  EXPECT_EQ(fill.parent, g.toolsWindow);
  // The three "Delete"s are distinct gadgets and commands.
  EXPECT_NE(g.deleteSetButton, g.deleteRecordButton);
}

TEST_F(StartUp, CreatesInStartUpOrder) {
  // Tools window content before the main window's, the first tileset's tab before the
  // render window, the menus last.
  const platform::Handle order[] = {g.mainWindow,  g.mapTreeWindow, g.toolsWindow,  g.tileCanvas,   g.renderToggle,
                                    g.newMapButton, g.mapCanvas,     g.tilesWindow,  g.deleteSetButton,
                                    g.renderWindow, g.renderButton,  g.pivotsWindow, g.valueLabel,   g.lightsWindow,
                                    g.rangeLabel,   g.contextMenu,   g.fileMenu};
  for (std::size_t i = 1; i < std::size(order); ++i) EXPECT_LT(order[i - 1], order[i]) << i;
}

TEST_F(StartUp, MenusWithTheirTags) {
  using Items = std::vector<std::pair<std::string, int>>;
  const FakeGadget& context = tk.at(g.contextMenu);
  EXPECT_EQ(context.text, "Context");
  EXPECT_EQ(context.parent, platform::kNoHandle);
  EXPECT_EQ(context.menuItems, (Items{{"Add Light here", app::tagOf("addLight")},
                                      {"Add pivot here", app::tagOf("addPivot")},
                                      {"Delete", app::tagOf("deleteHere")}}));
  const FakeGadget& file = tk.at(g.fileMenu);
  EXPECT_EQ(file.text, "File");
  EXPECT_EQ(file.parent, g.mainWindow);
  EXPECT_EQ(file.menuItems,
            (Items{{"New Map", app::tagOf("newMap")}, {"Load Map", app::tagOf("load")}, {"Save Map", app::tagOf("save")},
                   {"Save As", app::tagOf("saveAs")}, {"Export Vorl", app::tagOf("exportMap")},
                   {"Import Map...", app::tagOf("importMap")}, {"Export As...", app::tagOf("exportAs")},
                   {"Bake Map File...", app::tagOf("bakeMapFile")},
                   {"Run Script...", app::tagOf("runScript")}, {"Quit", app::tagOf("quit")}}));
  EXPECT_EQ(tk.menuBarUpdates[g.mainWindow], 1);
}

TEST_F(StartUp, StateAfterStartUp) {
  const FakeGadget& tabs = tk.at(g.tilesetTabs);
  ASSERT_EQ(tabs.items.size(), 1u);
  EXPECT_EQ(tabs.items[0].text, "Tileset 1");
  EXPECT_EQ(tabs.items[0].tooltip, "View tileset 1");
  EXPECT_EQ(tabs.selected, 0);
  EXPECT_EQ(shell.tilesets().count(), 1);
  ASSERT_TRUE(shell.currentTileset());
  EXPECT_EQ(shell.currentTileset(), shell.tilesets().entries()[0].tileset);
  EXPECT_EQ(std::tie(shell.currentTileset()->width, shell.currentTileset()->height, shell.currentTileset()->depth),
            std::make_tuple(8, 128, 1));

  const map::Map& m = *shell.currentMap();
  EXPECT_EQ(std::tie(m.width, m.height, m.depth, m.tileWidth, m.tileHeight), std::make_tuple(0, 0, 0, 0, 0));
  EXPECT_EQ(shell.mapView().zoom, 1.0f);
  EXPECT_EQ(tk.timerHertz, 60);
  // The map canvas is the drawing target when the loop starts.
  EXPECT_THAT(tk.madeCurrent, ElementsAre(g.mapCanvas));
  EXPECT_EQ(shell.currentTool(), 0);
  EXPECT_EQ(shell.currentLayer(), 0);
  EXPECT_EQ(shell.currentTile(), nullptr);
  EXPECT_EQ(shell.projectName(), "");
}

TEST_F(StartUp, RunReturnsZeroWhenTheMainWindowCloses) {
  tk.closeWindow(g.mainWindow);
  tk.tick();  // never taken
  EXPECT_EQ(shell.run(), 0);
  EXPECT_TRUE(shell.finished());
  EXPECT_EQ(tk.events.size(), 1u);
  EXPECT_TRUE(tk.madeCurrent.size() == 1);
}

TEST_F(StartUp, ClosingOtherMainWindowsKeepsThemOpen) {
  tk.closeWindow(g.mapTreeWindow);
  tk.closeWindow(g.toolsWindow);
  tk.closeWindow(g.tilesWindow);
  runScript();
  EXPECT_TRUE(tk.at(g.mapTreeWindow).visible && tk.at(g.toolsWindow).visible && tk.at(g.tilesWindow).visible);
  EXPECT_FALSE(shell.finished());
}

}  // namespace
}  // namespace vorlane::test
