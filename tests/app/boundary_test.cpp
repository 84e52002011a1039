// The document's boundary, each case the shortest sequence a user could take: Save writes the
// file the document came from, a modified document is given up only once asked, a Render
// keeps the history, a script's changes undo, and the object windows show what is active.
#include <gmock/gmock.h>

#include "base/console.h"
#include "edit/commands.h"
#include "io/project.h"
#include "shell_fixture.h"

namespace vorlane::test {
namespace {

using platform::kControl;
using platform::kLeftButton;
using platform::kRightButton;

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

struct Boundary : ShellTest {
  TempDir dir;
  base::ConsoleCapture quiet;

  // A project on disk: a w × h map of 32-pixel cells, one tile at (0, 0), `lights` lights.
  std::string project(const std::string& name, std::int32_t w, std::int32_t h, int lights = 0,
                      const std::string& tilePath = "tile.png") {
    auto m = map::Map::create(w, h, 1, 32, 32);
    auto tile = makeTile();
    tile->path = tilePath;
    m->setCell(0, 0, 0, tile);
    for (int k = 0; k < lights; ++k) m->addLight(map::Light::createLight(10.0f + 5 * k, 10, 1, 255, 255, 255));
    EXPECT_TRUE(io::saveProjectFile(dir.file(name), *m, {}).ok());
    return dir.file(name + ".vorl");
  }
  void load(const std::string& path) {
    tk.fileAnswers.push_back(path);
    tk.press(g.loadButton);
  }
  // One undoable change: a light at the pointer.
  void addLight(int x = 40, int y = 40) {
    move(g.mapCanvas, x, y);
    down(g.mapCanvas, kRightButton);
    tk.chooseMenu(g.contextMenu, app::tagOf("addLight"));
  }
  void click(int x, int y) {
    move(g.mapCanvas, x, y);
    down(g.mapCanvas, kLeftButton);
    up(g.mapCanvas, kLeftButton);
  }
  std::string status() { return tk.at(g.mainWindow).status.substr(0, tk.at(g.mainWindow).status.find(app::kStatusGap)); }
  std::size_t lightsIn(const std::string& path) {
    auto p = io::loadProjectFile(path);
    return p.ok() ? p->map->lights.size() : 999;
  }
};

// Save after Load writes the loaded file, never the one saved before; the status bar and the
// close question name it. Import and New Map leave a document without a file.
TEST_F(Boundary, SaveWritesTheFileTheDocumentCameFrom) {
  const std::string dungeon = project("dungeon", 4, 4);
  tk.fileAnswers = {dir.file("a")};
  tk.press(g.saveAsButton);
  load(dungeon);
  addLight();
  runScript();
  EXPECT_EQ(status(), dungeon + " *");
  tk.key('S', kControl);
  runScript();
  EXPECT_EQ(lightsIn(dungeon), 1u);
  EXPECT_EQ(lightsIn(dir.file("a.vorl")), 0u);
  EXPECT_EQ(status(), dungeon);

  addLight(60, 60);
  tk.closeWindow(g.mainWindow);
  runScript();
  ASSERT_FALSE(tk.questions.empty());
  EXPECT_EQ(tk.questions.back().text, "Save changes to " + dungeon + " before closing?");

  // Undoing the Load brings back the document before it, and its file.
  while (shell.document().undo()) {
  }
  EXPECT_EQ(shell.projectName(), dir.file("a"));

  newMap();  // Discard
  runScript();
  EXPECT_EQ(shell.projectName(), "");
  EXPECT_EQ(status(), std::string(app::kUntitled) + " *");
}

// Load, New Map and Import Map ask before replacing a modified document; Cancel, a cancelled
// save requester or a failed save leave it as it was.
TEST_F(Boundary, ReplacingAModifiedDocumentAsksFirst) {
  const std::string other = project("other", 2, 2);
  struct Case {
    const char* what;
    std::deque<int> answers;
    std::deque<std::string> files;  // the save requester's answer, then the load requester's
    bool replaced;
  };
  const Case cases[] = {
      {"Cancel", {2}, {}, false},
      {"the box closed", {}, {}, false},
      {"Save, its requester cancelled", {0}, {""}, false},
      {"Save that fails", {0}, {dir.file("no/such/folder/x")}, false},
      {"Save", {0}, {dir.file("kept"), other}, true},
      {"Discard", {1}, {other}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    newMap({"5", "5", "1"});
    addLight();
    runScript();
    const edit::ConstMapPtr before = shell.currentMap();
    tk.questions.clear();
    tk.questionAnswers = c.answers;
    tk.fileAnswers = c.files;
    tk.press(g.loadButton);
    runScript();
    ASSERT_EQ(tk.questions.size(), 1u);
    EXPECT_EQ(tk.questions[0].text, "Save changes to Untitled before loading another map?");
    EXPECT_THAT(tk.questions[0].buttons, ::testing::ElementsAre("Save", "Discard", "Cancel"));
    EXPECT_EQ(shell.currentMap() != before, c.replaced);
    EXPECT_EQ(shell.document().modified(), !c.replaced);
  }
  EXPECT_EQ(lightsIn(dir.file("kept.vorl")), 1u);

  // New Map and Import Map ask the same; an unmodified document is replaced without a word.
  addLight();
  tk.questions.clear();
  tk.questionAnswers = {2, 2};
  tk.press(g.newMapButton);
  tk.chooseMenu(g.fileMenu, app::tagOf("importMap"));
  runScript();
  ASSERT_EQ(tk.questions.size(), 2u);
  EXPECT_EQ(tk.questions[0].text, "Save changes to " + other + " before making a new map?");
  EXPECT_EQ(tk.questions[1].text, "Save changes to " + other + " before importing a map?");
  EXPECT_EQ(tk.findWindow("New Map"), platform::kNoHandle);
  EXPECT_EQ(tk.fileRequests.back().title, "Load a vorlane project.");
  ASSERT_TRUE(shell.document().undo());
  tk.questions.clear();
  load(other);
  runScript();
  EXPECT_TRUE(tk.questions.empty());
}

// A Render writes nothing into the map it read, so its step costs that map, not its lights'
// shadow maps: with room for 1 MiB, four lights at 512 × 512 keep the map to undo to.
TEST_F(Boundary, ARenderKeepsTheHistory) {
  load(project("lit", 4, 4, 4));
  runScript();
  shell.document().setHistoryLimits({1000, std::size_t{1} << 20});
  const edit::ConstMapPtr before = shell.currentMap();
  tk.setText(g.widthField, "512");
  tk.setText(g.heightField, "512");
  tk.press(g.renderButton);
  runScript();
  ASSERT_NE(shell.currentMap(), before);
  EXPECT_LT(shell.document().history().bytes(), std::size_t{64} << 10);
  EXPECT_EQ(shell.document().undoText(), "Undo Render");
  ASSERT_TRUE(shell.document().undo());
  EXPECT_EQ(shell.currentMap(), before);
}

// A script works on copies: its rename of a shared tile is a step that undo takes back, and a
// script that changes nothing is no step at all.
TEST_F(Boundary, AScriptsChangesUndoAndAScriptOfNoChangesIsNoStep) {
  load(project("named", 2, 2, 0, "stone.png"));
  runScript();
  const tiles::TilePtr tile = shell.currentMap()->cell(0, 0, 0);
  ASSERT_TRUE(tile);
  const std::string rename = dir.file("rename.lua"), quiet = dir.file("print.lua");
  writeFile(rename, bytesOf("vorlane.map:cell(0, 0, 0).path = 'renamed.png'"));
  writeFile(quiet, bytesOf("print('hello')"));

  tk.fileAnswers = {quiet};
  tk.chooseMenu(g.fileMenu, app::tagOf("runScript"));
  runScript();
  EXPECT_FALSE(shell.document().modified());
  EXPECT_EQ(shell.document().undoText(), "Undo Load");

  tk.fileAnswers = {rename};
  tk.chooseMenu(g.fileMenu, app::tagOf("runScript"));
  runScript();
  EXPECT_EQ(tile->path, "renamed.png");
  EXPECT_EQ(shell.currentMap()->cell(0, 0, 0), tile);  // the same tile, renamed by the step
  EXPECT_EQ(shell.document().undoText(), "Undo Run Script");
  ASSERT_TRUE(shell.document().undo());
  EXPECT_EQ(tile->path, "stone.png");
  tk.key('S', kControl);
  runScript();
  auto saved = io::loadProjectFile(dir.file("named.vorl"));
  ASSERT_TRUE(saved.ok());
  EXPECT_EQ(saved->map->cell(0, 0, 0)->path, "stone.png");
}

// The Lights window shows the active light or nothing: after the light's Add is undone and
// after a Render the fields are empty, and typing into them changes nothing.
TEST_F(Boundary, TheLightsWindowShowsTheActiveLightOrNothing) {
  newMap({"4", "4", "1", "32", "32"});
  addLight(40, 40);
  click(40, 40);
  runScript();
  ASSERT_NE(shell.objects().activeLight(), nullptr);
  EXPECT_EQ(tk.text(g.redField), "255.000000");
  const auto fields = {g.redField, g.greenField, g.blueField, g.rangeField};
  const auto empty = [&] {
    for (platform::Handle field : fields)
      if (!tk.text(field).empty()) return false;
    return true;
  };

  tk.key('Z', kControl);
  runScript();
  EXPECT_EQ(shell.objects().activeLight(), nullptr);
  EXPECT_TRUE(empty());
  const std::string undo = shell.document().undoText();
  tk.type(g.redField, "7");
  runScript();
  EXPECT_EQ(shell.document().undoText(), undo);

  tk.key('Z', kControl | platform::kShift);  // the light is back, but not chosen
  click(40, 40);
  runScript();
  EXPECT_EQ(tk.text(g.rangeField), "700.000000");
  tk.press(g.renderButton);
  runScript();
  EXPECT_EQ(shell.objects().activeLight(), nullptr);
  EXPECT_TRUE(empty());
}

// Choosing another pivot empties the record fields; a new record is chosen in the list, so
// Delete removes it.
TEST_F(Boundary, ThePivotsWindowFollowsThePivotAndItsRecords) {
  newMap({"8", "8", "1", "32", "32"});
  for (int x : {40, 140}) {
    move(g.mapCanvas, x, 40);
    down(g.mapCanvas, kRightButton);
    tk.chooseMenu(g.contextMenu, app::tagOf("addPivot"));
  }
  click(40, 40);
  tk.press(g.newRecordButton);
  typeLater(g.nameField, "door");
  runScript();
  const map::PivotPtr first = shell.objects().activePivot();
  ASSERT_TRUE(first);
  EXPECT_EQ(tk.selectedItem(g.recordsList), 0);
  EXPECT_EQ(first->records[0]->name, "door");

  click(140, 40);
  runScript();
  EXPECT_NE(shell.objects().activePivot(), first);
  EXPECT_EQ(shell.objects().activeRecord(), nullptr);
  EXPECT_EQ(tk.text(g.nameField), "");
  EXPECT_EQ(tk.text(g.valueField), "");
  EXPECT_EQ(tk.itemCount(g.recordsList), 0);
  typeLater(g.nameField, "stray");
  runScript();
  EXPECT_EQ(first->records[0]->name, "door");

  tk.press(g.newRecordButton);
  tk.press(g.newRecordButton);
  runScript();
  EXPECT_EQ(tk.selectedItem(g.recordsList), 1);
  EXPECT_EQ(tk.text(g.nameField), "Data 2");
  tk.press(g.deleteRecordButton);
  runScript();
  EXPECT_EQ(shell.objects().activePivot()->recordCount, 1);
  EXPECT_EQ(tk.itemCount(g.recordsList), 1);
}

}  // namespace
}  // namespace vorlane::test
