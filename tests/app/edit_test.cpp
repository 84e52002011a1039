// Editing through the document: the Edit menu, undo and redo of the shell's commands, the
// modified mark and the question before closing a modified document.
#include <gmock/gmock.h>

#include "base/console.h"
#include "io/project.h"
#include "shell_fixture.h"

namespace vorlane::test {
namespace {

using platform::EventKind;

struct EditCommands : ShellTest {
  TempDir dir;
  base::ConsoleCapture quiet;

  void undo() { tk.chooseMenu(g.editMenu, app::tagOf("undo")); }
  void redo() { tk.chooseMenu(g.editMenu, app::tagOf("redo")); }
  // The Edit menu's item: its text, and whether it can be chosen.
  std::pair<std::string, bool> item(int tag) {
    const FakeGadget& menu = tk.at(g.editMenu);
    for (const auto& [text, t] : menu.menuItems)
      if (t == tag) return {text, std::find(menu.disabledTags.begin(), menu.disabledTags.end(), tag) == menu.disabledTags.end()};
    return {};
  }
  // The status bar's document part (the pointer's place follows it).
  std::string status() {
    const std::string& text = tk.at(g.mainWindow).status;
    return text.substr(0, text.find(app::kStatusGap));
  }

  // A tile picked in the first tileset's cell (0, 0) and a 4 × 4 × 2 map to paint on.
  tiles::TilePtr paintable() {
    auto tile = makeTile();
    tile->path = "grass.png";
    seedTileset([&](map::Map& ts) { ts.setCell(0, 0, 0, tile); });
    newMap({"4", "4", "2", "16", "16"});
    runScript();
    tk.tick();
    runScript();
    return tile;
  }
  // A left drag on the map canvas between two canvas points.
  void drag(int x0, int y0, int x1, int y1) {
    move(g.mapCanvas, x0, y0);
    down(g.mapCanvas, platform::kLeftButton, x0, y0);
    move(g.mapCanvas, x1, y1);
    up(g.mapCanvas, platform::kLeftButton, x1, y1);
  }
  int filled(int layer) {
    const map::Map& m = *shell.currentMap();
    int n = 0;
    for (int x = 0; x < m.width; ++x)
      for (int y = 0; y < m.height; ++y) n += m.cell(x, y, layer) ? 1 : 0;
    return n;
  }
};

TEST_F(EditCommands, EditMenuNamesTheStepsAndIsDisabledWithoutThem) {
  const FakeGadget& menu = tk.at(g.editMenu);
  EXPECT_EQ(menu.text, "Edit");
  EXPECT_EQ(menu.parent, g.mainWindow);
  EXPECT_EQ(item(app::tagOf("undo")), std::make_pair(std::string("Undo"), false));
  EXPECT_EQ(item(app::tagOf("redo")), std::make_pair(std::string("Redo"), false));
  EXPECT_EQ(status(), "Untitled");

  paintable();
  tk.press(g.toolButton("Fill"));
  drag(200, 150, 200, 150);
  runScript();
  EXPECT_EQ(filled(0), 16);
  EXPECT_EQ(item(app::tagOf("undo")), std::make_pair(std::string("Undo Fill"), true));
  EXPECT_EQ(status(), "Untitled *");
  undo();
  runScript();
  EXPECT_EQ(filled(0), 0);
  EXPECT_EQ(item(app::tagOf("undo")), std::make_pair(std::string("Undo New Map"), true));
  EXPECT_EQ(item(app::tagOf("redo")), std::make_pair(std::string("Redo Fill"), true));
  redo();
  runScript();
  EXPECT_EQ(filled(0), 16);
}

TEST_F(EditCommands, AStrokeIsOneStepAndUndoDuringItEndsIt) {
  const tiles::TilePtr tile = paintable();
  // Zoom 1, no scroll: canvas points are map pixels, cells 16 wide.
  tk.press(g.toolButton("Plot"));
  move(g.mapCanvas, 8, 8);
  down(g.mapCanvas, platform::kLeftButton);
  for (int x = 8; x <= 56; x += 16) move(g.mapCanvas, x, 8);
  up(g.mapCanvas, platform::kLeftButton);
  runScript();
  const int painted = filled(0);
  EXPECT_EQ(painted, 4);
  EXPECT_EQ(item(app::tagOf("undo")).first, "Undo Plot");
  undo();
  runScript();
  EXPECT_EQ(filled(0), 0);
  redo();
  runScript();
  EXPECT_EQ(filled(0), painted);

  // Undo while the button is still down: the cells so far are undone, nothing more is
  // painted until the next press.
  tk.press(g.toolButton("Line"));
  move(g.mapCanvas, 8, 40);
  down(g.mapCanvas, platform::kLeftButton);
  move(g.mapCanvas, 56, 40);
  undo();
  up(g.mapCanvas, platform::kLeftButton);
  runScript();
  EXPECT_EQ(filled(0), 0);  // the Plot stroke was undone, the line never written
  EXPECT_FALSE(shell.stroke().painting);
}

// Render replaces the map by its lit copy; undo brings back the map with its objects, and
// a Save after it writes them.
TEST_F(EditCommands, PaintRenderUndoSaveKeepsLightsAndPivots) {
  paintable();
  tk.press(g.toolButton("Fill"));
  drag(200, 150, 200, 150);
  move(g.mapCanvas, 40, 40);
  down(g.mapCanvas, platform::kRightButton);
  tk.chooseMenu(g.contextMenu, app::tagOf("addLight"));
  tk.chooseMenu(g.contextMenu, app::tagOf("addPivot"));
  down(g.mapCanvas, platform::kLeftButton, 40, 40);  // selects both
  up(g.mapCanvas, platform::kLeftButton, 40, 40);
  runScript();
  const edit::ConstMapPtr painted = shell.currentMap();
  const map::LightPtr light = shell.objects().activeLight();
  ASSERT_NE(light, nullptr);
  tk.setText(g.widthField, "16");
  tk.setText(g.heightField, "16");
  tk.press(g.renderButton);
  runScript();
  ASSERT_NE(shell.currentMap(), painted);
  EXPECT_TRUE(shell.currentMap()->lights.empty());
  EXPECT_EQ(item(app::tagOf("undo")).first, "Undo Render");
  undo();
  tk.fileAnswers = {dir.file("level")};
  tk.press(g.saveButton);
  runScript();
  EXPECT_EQ(shell.currentMap(), painted);
  EXPECT_EQ(shell.objects().activeLight(), light);
  EXPECT_EQ(status(), dir.file("level"));
  auto saved = io::loadProjectFile(dir.file("level.vorl"));
  ASSERT_TRUE(saved.ok()) << saved.error();
  EXPECT_EQ(saved->map->lights.size(), 1u);
  EXPECT_EQ(saved->map->pivots.size(), 1u);
  EXPECT_NE(saved->map->cell(3, 3, 0), nullptr);
}

TEST_F(EditCommands, UndoOfLoadBringsBackThePreviousDocument) {
  const tiles::TilePtr tile = paintable();
  seedMap([&](map::Map& m) { m.setCell(1, 1, 0, tile); });
  tk.fileAnswers = {dir.file("level")};
  tk.press(g.saveButton);
  tk.press(g.newSetButton);
  runScript();
  const edit::ConstMapPtr before = shell.currentMap();
  const std::vector<edit::TilesetSlot> sets = shell.tilesets().entries();
  ASSERT_EQ(sets.size(), 2u);
  shell.mapView().zoom = 2.0f;

  tk.questionAnswers = {1};  // the new set is discarded
  tk.fileAnswers = {dir.file("level.vorl")};
  tk.press(g.loadButton);
  runScript();
  EXPECT_NE(shell.currentMap(), before);
  EXPECT_EQ(shell.mapView().zoom, 2.0f);  // the view stays as it was
  EXPECT_EQ(shell.currentMap()->cell(1, 1, 0), shell.currentTileset()->cell(0, 0, 0));
  EXPECT_FALSE(shell.document().modified());
  EXPECT_EQ(status(), dir.file("level.vorl"));

  undo();
  runScript();
  EXPECT_EQ(shell.currentMap(), before);
  EXPECT_EQ(shell.currentMap()->cell(1, 1, 0), tile);
  EXPECT_EQ(shell.currentTileset(), sets[1].tileset);
  EXPECT_EQ(shell.currentTileset()->cell(0, 0, 0), nullptr);
  EXPECT_EQ(sets[0].tileset->cell(0, 0, 0), tile);  // shared as before
  EXPECT_EQ(tk.itemCount(g.tilesetTabs), 2);
  EXPECT_EQ(tk.selectedItem(g.tilesetTabs), 1);
  EXPECT_TRUE(shell.document().modified());
  EXPECT_EQ(status(), dir.file("level") + " *");  // and its file
}

// The view goes with the map on show, as it did while the map held it: New Map and Render show
// their map from the start (zoom 1, no scroll), Load keeps the view but not its marks, and undo
// and redo show each map as it was left.
TEST_F(EditCommands, TheViewGoesWithTheMapOnShow) {
  paintable();
  tk.fileAnswers = {dir.file("level")};
  tk.press(g.saveButton);
  runScript();
  using Look = std::tuple<float, float, float>;
  const auto look = [&](Look l) {
    map::ViewState& v = shell.mapView();
    std::tie(v.zoom, v.scrollX, v.scrollY) = l;
  };
  const auto shown = [&] {
    const map::ViewState& v = shell.mapView();
    return Look{v.zoom, v.scrollX, v.scrollY};
  };
  const Look start{1, 0, 0}, painted{2, 10, 20}, loaded{3, 5, -5}, fresh{0.5f, 1, 1};
  const edit::ConstMapPtr first = shell.currentMap();
  look(painted);
  shell.mapView().markCell(*first, 1, 1);

  tk.fileAnswers = {dir.file("level.vorl")};
  tk.press(g.loadButton);
  runScript();
  ASSERT_NE(shell.currentMap(), first);
  EXPECT_EQ(shown(), painted);
  EXPECT_TRUE(shell.mapView().marks.empty());
  look(loaded);

  tk.setText(g.widthField, "16");
  tk.setText(g.heightField, "16");
  tk.press(g.renderButton);
  runScript();
  ASSERT_EQ(shell.document().undoText(), "Undo Render");
  EXPECT_EQ(shown(), start);
  look(fresh);
  newMap({"2", "2", "1", "8", "8"});
  runScript();
  EXPECT_EQ(shown(), start);

  // Back through the history, and forward again: each map as it was left.
  for (const Look& want : {fresh, loaded, painted}) {
    undo();
    runScript();
    EXPECT_EQ(shown(), want);
  }
  EXPECT_EQ(shell.currentMap(), first);
  EXPECT_TRUE(shell.mapView().isMarked(1, 1));
  for (const Look& want : {loaded, fresh, start}) {
    redo();
    runScript();
    EXPECT_EQ(shown(), want);
  }
}

TEST_F(EditCommands, TilesetTabsFollowUndoneSets) {
  tk.press(g.newSetButton);
  tk.press(g.newSetButton);
  tk.press(g.deleteSetButton);  // the selected third
  runScript();
  EXPECT_EQ(tk.itemCount(g.tilesetTabs), 2);
  undo();
  runScript();
  EXPECT_EQ(tk.itemCount(g.tilesetTabs), 3);
  EXPECT_EQ(tk.selectedItem(g.tilesetTabs), 2);
  undo();
  undo();
  runScript();
  EXPECT_EQ(tk.itemCount(g.tilesetTabs), 1);
  EXPECT_EQ(shell.currentTileset(), shell.tilesets().entries()[0].tileset);
  EXPECT_EQ(item(app::tagOf("undo")), std::make_pair(std::string("Undo"), false));
}

TEST_F(EditCommands, FlagsAndFieldsAreStepsThatStayUndone) {
  const tiles::TilePtr tile = paintable();
  tk.toggle(g.tileColliderBox);
  runScript();
  EXPECT_EQ(tile->collider, 1);
  undo();
  runScript();
  EXPECT_EQ(tile->collider, 0);
  EXPECT_FALSE(tk.checked(g.tileColliderBox));

  move(g.mapCanvas, 100, 100);
  down(g.mapCanvas, platform::kRightButton);
  tk.chooseMenu(g.contextMenu, app::tagOf("addLight"));
  down(g.mapCanvas, platform::kLeftButton, 100, 100);
  up(g.mapCanvas, platform::kLeftButton, 100, 100);
  for (const char* typed : {"1", "10", "100"}) typeLater(g.redField, typed);
  tk.tick();
  runScript();
  const map::LightPtr light = shell.objects().activeLight();
  ASSERT_NE(light, nullptr);
  EXPECT_EQ(light->red, 100);
  EXPECT_EQ(item(app::tagOf("undo")).first, "Undo Light Colour");
  undo();
  tk.tick();
  runScript();
  EXPECT_EQ(light->red, 255);
  EXPECT_EQ(tk.text(g.redField), "255.000000");
  EXPECT_EQ(item(app::tagOf("undo")).first, "Undo Add Light");
  undo();
  runScript();
  EXPECT_EQ(shell.objects().activeLight(), nullptr);  // its light is gone
}

struct CloseQuestion : EditCommands {
  void modify() {
    tk.press(g.newSetButton);
    runScript();
  }
  // Closes the main window; true when that ended the loop.
  bool close() {
    tk.closeWindow(g.mainWindow);
    tk.tick();
    try {
      EXPECT_EQ(shell.run(), 0);
    } catch (const ScriptEnded&) {
      return false;
    }
    return true;
  }
};

TEST_F(CloseQuestion, AnUnmodifiedDocumentClosesAtOnce) {
  EXPECT_TRUE(close());
  EXPECT_TRUE(tk.questions.empty());
}

TEST_F(CloseQuestion, ModifiedAsksAndCancelKeepsEditing) {
  modify();
  EXPECT_FALSE(close());
  ASSERT_EQ(tk.questions.size(), 1u);
  EXPECT_EQ(tk.questions[0].text, "Save changes to Untitled before closing?");
  EXPECT_EQ(tk.questions[0].buttons, (std::vector<std::string>{"Save", "Discard", "Cancel"}));
  undo();  // back to the saved (start) state: no question
  EXPECT_TRUE(close());
  EXPECT_EQ(tk.questions.size(), 1u);
}

TEST_F(CloseQuestion, SaveClosesOnlyOnceWritten) {
  modify();
  tk.questionAnswers = {0};  // Save, then the requester is cancelled
  EXPECT_FALSE(close());
  EXPECT_EQ(tk.fileRequests.size(), 1u);
  tk.questionAnswers = {0};
  tk.fileAnswers = {dir.file("no/such/folder/level")};  // the write fails
  EXPECT_FALSE(close());
  EXPECT_EQ(tk.messages.size(), 1u);
  EXPECT_EQ(status(), dir.file("no/such/folder/level") + " *");
  tk.questionAnswers = {0};
  tk.fileAnswers = {dir.file("kept")};
  tk.press(g.saveAsButton);
  modify();
  EXPECT_TRUE(close());
  EXPECT_EQ(tk.questions.size(), 3u);
  EXPECT_EQ(tk.questions[2].text, "Save changes to " + dir.file("kept") + " before closing?");
  auto kept = io::loadProjectFile(dir.file("kept.vorl"));
  ASSERT_TRUE(kept.ok());
  EXPECT_EQ(kept->tilesets.size(), 3u);  // written by the question's Save
}

TEST_F(CloseQuestion, DiscardClosesWithoutWriting) {
  modify();
  tk.questionAnswers = {1};
  EXPECT_TRUE(close());
  EXPECT_TRUE(tk.fileRequests.empty());
}

}  // namespace
}  // namespace vorlane::test
