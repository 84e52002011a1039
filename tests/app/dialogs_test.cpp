// The New Map dialog and the tileset tabs.
#include <gmock/gmock.h>

#include "shell_fixture.h"

namespace vorlane::test {
namespace {

using ::testing::ElementsAre;
using platform::EventKind;
using platform::kLeftButton;

using NewMap = ShellTest;

std::tuple<int, int, int, int, int> sizes(const map::Map& m) {
  return {m.width, m.height, m.depth, m.tileWidth, m.tileHeight};
}

TEST_F(NewMap, CreateReadsTheFieldsAndRaisesThemToTheirMinimum) {
  struct Case {
    std::vector<std::string> fields;
    std::tuple<int, int, int, int, int> made;
  };
  const Case cases[] = {
      {{}, {32, 32, 4, 64, 64}},
      {{"", "", "", "", ""}, {1, 1, 1, 4, 4}},
      {{"-3", "x", "0", "3", "-1"}, {1, 1, 1, 4, 4}},
      {{"$10", "7", "2", "16", "8"}, {16, 7, 2, 16, 8}},
  };
  for (const Case& c : cases) {
    newMap(c.fields);
    runScript();
    EXPECT_EQ(sizes(*shell.currentMap()), c.made);
    EXPECT_EQ(tk.findWindow("New Map"), platform::kNoHandle);  // destroyed
  }
}

TEST_F(NewMap, DialogLayoutIsCentredAndOwnedByTheMainWindow) {
  tk.press(g.newMapButton);
  FakeGadget window{GadgetKind::Window, ""};
  std::vector<std::string> texts;
  tk.postLater([&](FakeToolkit& t) {
    const platform::Handle w = t.findWindow("New Map");
    window = t.at(w);
    for (platform::Handle h : t.children(w)) texts.push_back(t.at(h).text);
    return platform::Event{EventKind::WindowClose, w, 0, 0, 0};
  });
  runScript();
  EXPECT_EQ(std::tie(window.x, window.y, window.w, window.h), std::make_tuple(530, 432, 220, 160));
  EXPECT_EQ(window.parent, g.mainWindow);
  EXPECT_TRUE(window.visible);
  EXPECT_THAT(texts, ElementsAre("32", "Width", "32", "Height", "4", "Depth", "64", "Tile Width", "64", "Tile Height",
                                 "Create", "Cancel"));
}

TEST_F(NewMap, CancelAndCloseKeepTheMap) {
  const edit::ConstMapPtr before = shell.currentMap();
  tk.press(g.newMapButton);
  tk.pressLater(GadgetKind::Button, "Cancel");
  tk.chooseMenu(g.fileMenu, app::tagOf("newMap"));
  tk.postLater([](FakeToolkit& t) { return platform::Event{EventKind::WindowClose, t.findWindow("New Map"), 0, 0, 0}; });
  runScript();
  EXPECT_EQ(shell.currentMap(), before);
  EXPECT_EQ(tk.findWindow("New Map"), platform::kNoHandle);
}

TEST_F(NewMap, TheDialogDropsEveryOtherEvent) {
  newMap({"4", "4", "1"});
  runScript();
  const edit::ConstMapPtr before = shell.currentMap();
  const tiles::TilePtr tile = makeTile();
  seedTileset([&](map::Map& ts) { ts.setCell(0, 0, 0, tile); });
  tk.press(g.toolButton("Plot"));
  runScript();
  tk.madeCurrent.clear();

  tk.questionAnswers = {1};  // the map made above is discarded
  tk.press(g.newMapButton);
  tk.mouse(EventKind::MouseMove, g.mapCanvas, 0, 32, 32);
  tk.mouse(EventKind::MouseDown, g.mapCanvas, kLeftButton, 32, 32);
  tk.mouse(EventKind::MouseUp, g.mapCanvas, kLeftButton, 32, 32);
  tk.tick();
  tk.press(g.lightsToggle);
  tk.closeWindow(g.mainWindow);
  tk.pressLater(GadgetKind::TextField, "32");  // the dialog's own field
  tk.pressLater(GadgetKind::Button, "Cancel");
  runScript();
  EXPECT_EQ(shell.currentMap(), before);
  EXPECT_TRUE(tk.madeCurrent.empty());  // no redraw, no pick
  EXPECT_FALSE(shell.objects().lightsShown());
  EXPECT_FALSE(shell.finished());
  EXPECT_FALSE(shell.leftHeld() || shell.stroke().painting);

  tk.tick();  // and nothing happens later either
  runScript();
  EXPECT_EQ(before->cell(0, 0, 0), nullptr);
}

TEST_F(NewMap, ClearsTheActiveObjects) {
  newMap();
  tk.mouse(EventKind::MouseMove, g.mapCanvas, 0, 100, 100);
  tk.mouse(EventKind::MouseDown, g.mapCanvas, platform::kRightButton, 0, 0);
  tk.chooseMenu(g.contextMenu, app::tagOf("addLight"));
  tk.mouse(EventKind::MouseDown, g.mapCanvas, kLeftButton, 0, 0);
  tk.mouse(EventKind::MouseUp, g.mapCanvas, kLeftButton, 0, 0);
  runScript();
  ASSERT_NE(shell.objects().activeLight(), nullptr);
  newMap();
  runScript();
  EXPECT_EQ(shell.objects().activeLight(), nullptr);
  EXPECT_TRUE(shell.currentMap()->lights.empty());
}

// The dialog stays open with what was typed, so the user can correct it.
TEST_F(NewMap, AbsurdSizesShowAnErrorAndKeepTheMapAndTheDialog) {
  newMap();
  runScript();
  const edit::ConstMapPtr before = shell.currentMap();
  newMap({"100000", "100000", "4"});
  std::vector<std::string> shown;
  edit::ConstMapPtr whileOpen;
  tk.postLater([&](FakeToolkit& t) {
    whileOpen = shell.currentMap();
    std::vector<platform::Handle> fields;
    for (platform::Handle h : t.children(t.findWindow("New Map")))
      if (t.at(h).kind == GadgetKind::TextField) fields.push_back(h);
    for (platform::Handle h : fields) shown.push_back(t.at(h).text);
    if (fields.size() == 5) {
      t.setText(fields[0], "10");
      t.setText(fields[1], "12");
    }
    return platform::Event{EventKind::GadgetAction, t.find(GadgetKind::Button, "Create"), 0, 0, 0};
  });
  runScript();
  EXPECT_EQ(whileOpen, before);
  ASSERT_EQ(tk.messages.size(), 1u);
  EXPECT_EQ(tk.messages[0].text, app::kMapTooLarge);
  EXPECT_EQ(tk.messages[0].kind, platform::MessageKind::Error);
  EXPECT_THAT(shown, ElementsAre("100000", "100000", "4", "64", "64"));
  EXPECT_EQ(sizes(*shell.currentMap()), std::make_tuple(10, 12, 4, 64, 64));
  EXPECT_EQ(tk.findWindow("New Map"), platform::kNoHandle);
}

struct TilesetTabs : ShellTest {
  std::vector<std::string> labels() {
    std::vector<std::string> out;
    for (const auto& item : tk.at(g.tilesetTabs).items) out.push_back(item.text);
    return out;
  }
  void addSets(int n) {
    for (int i = 0; i < n; ++i) tk.press(g.newSetButton);
    runScript();
  }
  edit::ConstMapPtr slot(int i) const { return shell.tilesets().entries()[static_cast<std::size_t>(i)].tileset; }
};

TEST_F(TilesetTabs, NewSetAddsASelectedTabThatBecomesCurrent) {
  addSets(2);
  EXPECT_THAT(labels(), ElementsAre("Tileset 1", "Tileset 2", "Tileset 3"));
  EXPECT_EQ(tk.at(g.tilesetTabs).items[2].tooltip, "View tileset 3");
  EXPECT_EQ(tk.selectedItem(g.tilesetTabs), 2);
  EXPECT_EQ(shell.currentTileset(), slot(2));
  tk.press(g.tilesetTabs, 0);
  runScript();
  EXPECT_EQ(shell.currentTileset(), slot(0));
}

TEST_F(TilesetTabs, DeletingSelectsTheTabBeforeOrTheLast) {
  struct Case {
    int deleted;
    std::vector<std::string> left;
    int selected;
  };
  const Case cases[] = {
      {0, {"Tileset 2", "Tileset 3"}, 1},
      {1, {"Tileset 1", "Tileset 3"}, 0},
      {2, {"Tileset 1", "Tileset 2"}, 1},
  };
  for (const Case& c : cases) {
    FakeToolkit fresh;
    app::Shell s(fresh);
    s.startUp();
    const app::Gadgets& gg = s.gadgets();
    fresh.press(gg.newSetButton);
    fresh.press(gg.newSetButton);
    fresh.press(gg.tilesetTabs, c.deleted);
    EXPECT_THROW(s.run(), ScriptEnded);
    fresh.selectItem(gg.tilesetTabs, c.deleted);
    const edit::ConstMapPtr expected = s.tilesets().entries()[c.deleted == 0 ? 2 : static_cast<std::size_t>(c.deleted - 1)].tileset;
    fresh.press(gg.deleteSetButton);
    EXPECT_THROW(s.run(), ScriptEnded);
    std::vector<std::string> left;
    for (const auto& item : fresh.at(gg.tilesetTabs).items) left.push_back(item.text);
    EXPECT_EQ(left, c.left) << c.deleted;
    EXPECT_EQ(fresh.selectedItem(gg.tilesetTabs), c.selected) << c.deleted;
    EXPECT_EQ(s.currentTileset(), expected) << c.deleted;
    EXPECT_EQ(s.tilesets().count(), 2);
  }
}

TEST_F(TilesetTabs, DeleteWithSeveralSetsEndsEarly) {
  addSets(2);
  const tiles::TilePtr tile = makeTile();
  ASSERT_EQ(shell.currentTileset(), slot(2));
  seedTileset([&](map::Map& ts) { ts.setCell(0, 0, 0, tile); });
  tk.selectItem(g.tilesetTabs, 0);
  tk.press(g.deleteSetButton);
  runScript();
  EXPECT_EQ(shell.currentTileset(), slot(1));
  EXPECT_EQ(shell.currentTile(), nullptr);  // not derived until the next event
  tk.tick();
  runScript();
  EXPECT_EQ(shell.currentTile(), tile);
}

TEST_F(TilesetTabs, LabelsAreNotRenumbered) {
  addSets(2);
  tk.selectItem(g.tilesetTabs, 1);
  tk.press(g.deleteSetButton);
  tk.press(g.newSetButton);
  runScript();
  EXPECT_THAT(labels(), ElementsAre("Tileset 1", "Tileset 3", "Tileset 3"));
}

TEST_F(TilesetTabs, DeletingTheOnlyTilesetKeepsItOnShow) {
  const edit::ConstMapPtr only = shell.currentTileset();
  tk.press(g.deleteSetButton);
  tk.press(g.deleteSetButton);  // none left: nothing happens
  runScript();
  EXPECT_TRUE(labels().empty());
  EXPECT_EQ(shell.tilesets().count(), 0);
  EXPECT_EQ(shell.currentTileset(), only);
  tk.tick();
  tk.press(g.tilesetTabs, 0);  // a stray tab action addresses no slot
  runScript();
  EXPECT_EQ(shell.currentTileset(), only);
  tk.press(g.newSetButton);
  runScript();
  EXPECT_THAT(labels(), ElementsAre("Tileset 1"));
  EXPECT_NE(shell.currentTileset(), only);
}

TEST_F(TilesetTabs, NoTabSelectedDeletesNothing) {
  addSets(2);
  tk.selectItem(g.tilesetTabs, -1);
  const edit::ConstMapPtr current = shell.currentTileset();
  tk.press(g.deleteSetButton);
  tk.press(g.tilesetTabs, 7);
  tk.press(g.tilesetTabs, -1);
  runScript();
  EXPECT_EQ(shell.tilesets().count(), 3);
  EXPECT_EQ(labels().size(), 3u);
  EXPECT_EQ(shell.currentTileset(), current);
}

TEST_F(TilesetTabs, At255TilesetsNewSetOnlyTellsSo) {
  addSets(254);
  ASSERT_EQ(shell.tilesets().count(), 255);
  EXPECT_TRUE(tk.messages.empty());
  const edit::ConstMapPtr current = shell.currentTileset();
  tk.press(g.newSetButton);
  runScript();
  EXPECT_EQ(shell.tilesets().count(), 255);
  EXPECT_EQ(labels().size(), 255u);
  EXPECT_EQ(shell.currentTileset(), current);
  ASSERT_EQ(tk.messages.size(), 1u);
  EXPECT_EQ(tk.messages[0].kind, platform::MessageKind::Information);
  EXPECT_EQ(tk.selectedItem(g.tilesetTabs), 254);
}

}  // namespace
}  // namespace vorlane::test
