// Load Tile, project Load, Save, Save As and Export, and Render.
#include <gmock/gmock.h>

#include <filesystem>
#include <stdexcept>

#include "base/console.h"
#include "edit/commands.h"
#include "formats/formats.h"
#include "io/project.h"
#include "shell_fixture.h"

namespace vorlane::test {
namespace {

using ::testing::ElementsAre;
using platform::FileMode;
using platform::MessageKind;

struct FileCommands : ShellTest {
  TempDir dir;
  base::ConsoleCapture quiet;

  std::string pngFile(const std::string& name) {
    const std::string path = dir.file(name);
    writeFile(path, encodePng(patternImage(8, 8)));
    return path;
  }
  std::vector<std::string> titles() const {
    std::vector<std::string> out;
    for (const auto& r : tk.fileRequests) out.push_back(r.title);
    return out;
  }
  std::vector<std::string> files() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
};

using LoadTile = FileCommands;

TEST_F(LoadTile, AsksForAnImageAndFillsTheFirstFreeCells) {
  const std::string path = pngFile("grass.png");
  tk.fileAnswers = {path, path};
  tk.press(g.loadTileButton);
  tk.press(g.loadTileButton);
  runScript();
  ASSERT_EQ(tk.fileRequests.size(), 2u);
  EXPECT_EQ(tk.fileRequests[0].title, "Load a single tile.");
  EXPECT_EQ(tk.fileRequests[0].filter, "Image Files:png,jpg,bmp;");
  EXPECT_EQ(tk.fileRequests[0].mode, FileMode::Open);
  const map::Map& set = *shell.currentTileset();
  ASSERT_TRUE(set.cell(0, 0, 0) && set.cell(1, 0, 0));
  EXPECT_EQ(set.cell(0, 0, 0)->path, path);
  EXPECT_NE(set.cell(0, 0, 0), set.cell(1, 0, 0));
  EXPECT_TRUE(tk.messages.empty());
  EXPECT_EQ(shell.currentTile(), set.cell(0, 0, 0));  // the selected cell (0, 0) now holds it
}

TEST_F(LoadTile, FailuresAreReportedAndTheEditorCarriesOn) {
  writeFile(dir.file("broken.png"), {1, 2, 3, 4});
  pngFile("rock.png");
  writeFile(dir.file("NMrock.bmp"), {9, 9, 9});
  struct Case {
    std::string answer;
    std::string message;
    MessageKind kind;
  };
  const Case cases[] = {
      {"", "Not a valid file.", MessageKind::Information},  // cancelled
      {dir.file("missing.png"), "Not a valid file.", MessageKind::Information},
      {dir.path().string(), "Not a valid file.", MessageKind::Information},  // a folder
      {dir.file("broken.png"), "File not found.\n" + dir.file("broken.png") + ": not a PNG, JPEG or BMP image",
       MessageKind::Error},
      {dir.file("rock.png"), "Image normal map not found.\n" + dir.file("NMrock.bmp") + ": not a PNG, JPEG or BMP image",
       MessageKind::Error},
  };
  for (const Case& c : cases) {
    tk.messages.clear();
    tk.fileAnswers = {c.answer};
    tk.press(g.loadTileButton);
    tk.tick();
    runScript();
    ASSERT_EQ(tk.messages.size(), 1u) << c.answer;
    EXPECT_EQ(tk.messages[0].text, c.message) << c.answer;
    EXPECT_EQ(tk.messages[0].kind, c.kind) << c.answer;
    EXPECT_EQ(shell.currentTileset()->cell(0, 0, 0), nullptr);
  }
}

using SaveCommands = FileCommands;

TEST_F(SaveCommands, SaveAfterSaveAsDoesNotAsk) {
  tk.fileAnswers = {dir.file("level")};
  tk.press(g.saveAsButton);
  tk.press(g.saveButton);
  tk.chooseMenu(g.fileMenu, app::tagOf("save"));
  runScript();
  EXPECT_THAT(titles(), ElementsAre("Save a vorlane project."));
  EXPECT_EQ(tk.fileRequests[0].filter, "Map files:vorl;");
  EXPECT_EQ(tk.fileRequests[0].mode, FileMode::Save);
  EXPECT_EQ(shell.projectName(), dir.file("level"));
  EXPECT_THAT(files(), ElementsAre("level.vorl"));
}

TEST_F(SaveCommands, SaveAsAlwaysAsksAndACancelledAnswerEmptiesTheName) {
  tk.fileAnswers = {dir.file("a")};
  tk.press(g.saveButton);  // no name yet: asks
  tk.chooseMenu(g.fileMenu, app::tagOf("saveAs"));  // cancelled
  runScript();
  EXPECT_EQ(shell.projectName(), "");
  EXPECT_EQ(tk.fileRequests.size(), 2u);
  tk.fileAnswers = {dir.file("b.vorl")};  // written as it stands, not as b.vorl.vorl
  tk.press(g.saveButton);  // asks again
  runScript();
  EXPECT_EQ(tk.fileRequests.size(), 3u);
  EXPECT_THAT(files(), ElementsAre("a.vorl", "b.vorl"));
  EXPECT_TRUE(tk.messages.empty());
}

// The file flags the light and pivot the canvas shows as selected (the active ones), and no
// other object; read back, the flags select nothing.
TEST_F(SaveCommands, TheFileFlagsTheObjectsShownAsSelected) {
  newMap({"2", "2", "1", "32", "32"});
  runScript();
  const edit::ConstMapPtr m = shell.currentMap();
  auto chosen = map::Light::createLight(10, 10, 0, 1, 1, 1), other = map::Light::createLight(20, 20, 0, 1, 1, 1);
  auto pivot = map::Pivot::createPivot(30, 30, 0);
  for (const auto& light : {other, chosen}) shell.document().push(edit::addLight(m, light));
  shell.document().push(edit::addPivot(m, pivot));
  shell.document().select({chosen, pivot, nullptr});
  tk.fileAnswers = {dir.file("level")};
  tk.press(g.saveButton);
  runScript();
  // The same tilesets, as copies: the document hands out its own read-only.
  std::vector<io::TilesetEntry> sets;
  for (const edit::TilesetSlot& slot : shell.tilesets().entries()) sets.push_back({slot.label, copyOf(*slot.tileset)});
  ASSERT_TRUE(io::saveProjectFile(dir.file("want"), *m, sets, {chosen.get(), pivot.get()}));
  EXPECT_EQ(readFile(dir.file("level.vorl")), readFile(dir.file("want.vorl")));
  ASSERT_TRUE(io::saveProjectFile(dir.file("none"), *m, sets));
  EXPECT_NE(readFile(dir.file("level.vorl")), readFile(dir.file("none.vorl")));

  tk.fileAnswers = {dir.file("level.vorl")};
  tk.press(g.loadButton);
  runScript();
  EXPECT_EQ(shell.document().active().light, chosen) << "the selection is the editor's, not the file's";
}

TEST_F(SaveCommands, AnUnwritablePlaceIsReported) {
  tk.fileAnswers = {dir.file("no/such/folder/level")};
  tk.press(g.saveButton);
  runScript();
  ASSERT_EQ(tk.messages.size(), 1u);
  EXPECT_EQ(tk.messages[0].kind, MessageKind::Error);
}

TEST_F(SaveCommands, ExportAppendsTheExtensionUnlessItIsExactlyVorl) {
  tk.fileAnswers = {"", dir.file("plain"), dir.file("given.vorl"), dir.file("caps.VORL")};
  for (int i = 0; i < 4; ++i) tk.press(g.exportButton);
  runScript();
  EXPECT_THAT(titles(), ElementsAre("Export Vorl", "Export Vorl", "Export Vorl", "Export Vorl"));
  EXPECT_EQ(tk.fileRequests[0].mode, FileMode::Save);
  EXPECT_THAT(files(), ElementsAre("caps.VORL.vorl", "given.vorl", "plain.vorl"));
  EXPECT_TRUE(tk.messages.empty());

  tk.fileAnswers = {dir.file("no/such/folder/x")};
  tk.chooseMenu(g.fileMenu, app::tagOf("exportMap"));
  runScript();
  ASSERT_EQ(tk.messages.size(), 1u);
  EXPECT_EQ(tk.messages[0].text, "Unable to open file.\n" + dir.file("no/such/folder/x.vorl") + ": the folder " +
                                     dir.file("no/such/folder") + " does not exist.");
}

using LoadProject = FileCommands;

// The loaded map is a map object of its own (so that undo can bring back the one before),
// with everything of the current one the file does not hold: view, selection, objects.
TEST_F(LoadProject, ReadsTheMapKeepingViewAndSelectionAndReplacesTheTilesets) {
  // A 3 × 2 × 2 map with one tile, saved with two tilesets.
  newMap({"3", "2", "2", "32", "32"});
  tk.press(g.newSetButton);
  runScript();
  const auto tile = makeTile();
  tile->path = "tile.png";
  seedMap([&](map::Map& m) { m.setCell(2, 1, 1, tile); });
  tk.fileAnswers = {dir.file("level")};
  tk.press(g.saveButton);
  newMap();
  tk.press(g.newSetButton);
  tk.type(g.layerField, "4");
  runScript();
  const edit::ConstMapPtr mapObject = shell.currentMap();
  shell.mapView().scrollX = 30 * 64;  // zoom 1: canvas pixels are map pixels less the scroll
  shell.mapView().scrollY = 31 * 64;
  move(g.mapCanvas, 10, 10);

  tk.questionAnswers = {1};  // the new map is discarded
  tk.fileAnswers = {dir.file("level.vorl")};
  tk.chooseMenu(g.fileMenu, app::tagOf("load"));
  runScript();
  EXPECT_EQ(tk.fileRequests.back().title, "Load a vorlane project.");
  EXPECT_EQ(tk.fileRequests.back().filter, "Map files:vorl;");
  EXPECT_EQ(tk.fileRequests.back().mode, FileMode::Open);
  EXPECT_TRUE(tk.messages.empty());
  EXPECT_NE(shell.currentMap(), mapObject);
  const map::Map& m = *shell.currentMap();
  EXPECT_EQ(std::tie(m.width, m.height, m.depth, m.tileWidth), std::make_tuple(3, 2, 2, 32));
  ASSERT_NE(m.cell(2, 1, 1), nullptr);
  EXPECT_EQ(m.cell(2, 1, 1)->path, "tile.png");
  EXPECT_EQ(shell.tilesets().count(), 2);
  EXPECT_EQ(tk.itemCount(g.tilesetTabs), 2);
  EXPECT_EQ(tk.selectedItem(g.tilesetTabs), 0);
  EXPECT_EQ(shell.currentTileset(), shell.tilesets().entries()[0].tileset);
  EXPECT_EQ(tk.at(g.tilesetTabs).items[1].tooltip, "View tileset 2");
  // The layer was 3 of 4 and stays so on a map of 2; the selected cell stays outside it too.
  EXPECT_EQ(shell.currentLayer(), 3);
  EXPECT_EQ(tk.text(g.layerField), "4");
  EXPECT_EQ(std::make_pair(shell.mapCanvas().cell().x, shell.mapCanvas().cell().y), std::make_pair(30, 31));
  EXPECT_EQ(shell.projectName(), dir.file("level.vorl"));  // the file Save now writes
}

TEST_F(LoadProject, AFailedLoadKeepsEverythingAndSaysWhy) {
  newMap({"3", "3", "1"});
  runScript();
  const auto tile = makeTile();
  seedMap([&](map::Map& m) { m.setCell(1, 1, 0, tile); });
  const edit::ConstMapPtr tileset = shell.currentTileset();
  // A saved project cut short: the map section reads, the tilesets do not.
  tk.fileAnswers = {dir.file("whole")};
  tk.press(g.saveButton);
  runScript();
  auto bytes = readFile(dir.file("whole.vorl"));
  bytes.resize(bytes.size() - 10);
  writeFile(dir.file("short.vorl"), bytes);
  seedMap([&](map::Map& m) { m.setCell(0, 0, 0, tile); });

  for (const std::string& name : {dir.file("short.vorl"), dir.file("absent.vorl")}) {
    tk.messages.clear();
    tk.fileAnswers = {name};
    tk.press(g.loadButton);
    runScript();
    ASSERT_EQ(tk.messages.size(), 1u) << name;
    EXPECT_EQ(tk.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(tk.messages[0].text.rfind(name == dir.file("short.vorl")
                                            ? "Error reading from stream\n" + name + ": the file ends after"
                                            : std::string("Unable to open file."),
                                        0),
              0u)
        << tk.messages[0].text;
    const map::Map& m = *shell.currentMap();
    EXPECT_EQ(std::tie(m.width, m.height, m.depth), std::make_tuple(3, 3, 1));
    EXPECT_EQ(m.cell(0, 0, 0), tile);
    EXPECT_EQ(m.cell(1, 1, 0), tile);
    EXPECT_EQ(shell.currentTileset(), tileset);
    EXPECT_EQ(tk.itemCount(g.tilesetTabs), 1);
  }

  tk.messages.clear();
  tk.press(g.loadButton);  // cancelled: nothing, not even a message
  runScript();
  EXPECT_TRUE(tk.messages.empty());
}

using Render = FileCommands;

TEST_F(Render, RaisesTheResolutionTo16AndReplacesTheMap) {
  newMap({"2", "2", "1", "16", "16"});
  runScript();
  const auto tile = makeTile();
  seedMap([&](map::Map& m) { m.setCell(0, 0, 0, tile); });
  tk.mouse(platform::EventKind::MouseMove, g.mapCanvas, 0, 10, 10);
  tk.mouse(platform::EventKind::MouseDown, g.mapCanvas, platform::kRightButton, 0, 0);
  tk.chooseMenu(g.contextMenu, app::tagOf("addLight"));
  tk.mouse(platform::EventKind::MouseDown, g.mapCanvas, platform::kLeftButton, 0, 0);
  tk.mouse(platform::EventKind::MouseUp, g.mapCanvas, platform::kLeftButton, 0, 0);
  runScript();
  const edit::ConstMapPtr before = shell.currentMap();
  ASSERT_NE(shell.objects().activeLight(), nullptr);

  base::ConsoleCapture console;
  tk.setText(g.widthField, "8");
  tk.setText(g.heightField, "");
  tk.madeCurrent.clear();
  tk.press(g.renderButton);
  runScript();
  EXPECT_THAT(console.lines(), ::testing::Contains("Rendering shadow map at a resolution of 16x16"));
  ASSERT_NE(shell.currentMap(), before);
  EXPECT_NE(shell.currentMap()->cell(0, 0, 0), nullptr);
  EXPECT_TRUE(shell.currentMap()->lights.empty());
  EXPECT_EQ(shell.objects().activeLight(), nullptr);
  EXPECT_EQ(tk.madeCurrent.front(), g.mapCanvas);
  EXPECT_EQ(tk.at(g.progressBar).progress, 0.0f);  // back to 0 at the end
}

TEST_F(Render, ARefusedResolutionChangesNothing) {
  newMap({"2", "2", "1", "16", "16"});
  runScript();
  const edit::ConstMapPtr before = shell.currentMap();
  tk.setText(g.widthField, "100000000");
  tk.press(g.renderButton);
  runScript();
  EXPECT_EQ(shell.currentMap(), before);
  ASSERT_EQ(tk.messages.size(), 1u);
  EXPECT_EQ(tk.messages[0].kind, MessageKind::Error);
}

}  // namespace
}  // namespace vorlane::test

namespace vorlane::test {
namespace {

using ForeignMaps = FileCommands;

// A 2 × 1 map of 4 × 4 tiles cut from an 8 × 8 atlas, with an image layer Vorlane cannot hold.
std::string writeTmx(FileCommands& f) {
  f.pngFile("t.png");
  const std::string tmx =
      "<map orientation=\"orthogonal\" width=\"2\" height=\"1\" tilewidth=\"4\" tileheight=\"4\">"
      "<tileset firstgid=\"1\" name=\"t\" tilewidth=\"4\" tileheight=\"4\"><image source=\"t.png\"/></tileset>"
      "<layer name=\"Layer 1\" width=\"2\" height=\"1\"><data encoding=\"csv\">1,4</data></layer>"
      "<imagelayer name=\"Sky\"/></map>";
  writeFile(f.dir.file("m.tmx"), std::vector<std::uint8_t>(tmx.begin(), tmx.end()));
  return f.dir.file("m.tmx");
}

TEST_F(ForeignMaps, ImportReplacesMapAndTilesetsAndListsWhatWasLeftOut) {
  const std::string path = writeTmx(*this);
  writeFile(dir.file("broken.tmx"), {'<', 'm'});
  const edit::ConstMapPtr before = shell.currentMap();
  tk.fileAnswers = {dir.file("broken.tmx"), "", path};
  for (int i = 0; i < 3; ++i) tk.chooseMenu(g.fileMenu, app::tagOf("importMap"));
  runScript();
  ASSERT_EQ(tk.fileRequests.size(), 3u);
  EXPECT_EQ(tk.fileRequests[0].title, "Import a map.");
  EXPECT_EQ(tk.fileRequests[0].filter, "TMX maps:tmx;JSON maps:tmj,json;");
  EXPECT_EQ(tk.fileRequests[0].mode, FileMode::Open);
  ASSERT_EQ(tk.messages.size(), 2u);
  EXPECT_EQ(tk.messages[0].kind, MessageKind::Error);
  EXPECT_NE(tk.messages[0].text.find("broken XML"), std::string::npos);
  EXPECT_EQ(tk.messages[1].kind, MessageKind::Information);
  EXPECT_EQ(tk.messages[1].text, "Imported without what Vorlane cannot hold:\n  image layer 'Sky'");
  const map::Map& m = *shell.currentMap();
  EXPECT_NE(shell.currentMap(), before);
  EXPECT_EQ(std::tie(m.width, m.height, m.depth, m.tileWidth), std::make_tuple(2, 1, 1, 4));
  ASSERT_TRUE(m.cell(1, 0, 0));
  ASSERT_EQ(shell.tilesets().count(), 1);
  EXPECT_EQ(shell.tilesets().entries()[0].label, "t");
  EXPECT_EQ(shell.tilesets().entries()[0].tileset->cell(3, 0, 0), m.cell(1, 0, 0));
}

// A transparent colour that is no colour once ended the editor with the unsaved work.
TEST_F(ForeignMaps, AMapThatCannotBeImportedLeavesTheDocumentAsItWas) {
  const auto bytes = readFile(writeTmx(*this));
  std::string tmx(bytes.begin(), bytes.end());
  tmx.replace(tmx.find("<image source"), 6, "<image trans=\"zzzzzz\"");
  writeFile(dir.file("m.tmx"), std::vector<std::uint8_t>(tmx.begin(), tmx.end()));
  const edit::ConstMapPtr before = shell.currentMap();
  tk.fileAnswers = {dir.file("m.tmx")};
  tk.chooseMenu(g.fileMenu, app::tagOf("importMap"));
  runScript();
  ASSERT_EQ(tk.messages.size(), 1u);
  EXPECT_EQ(tk.messages[0].kind, MessageKind::Error);
  EXPECT_NE(tk.messages[0].text.find("tileset 't': the transparent colour 'zzzzzz' is not #RRGGBB"), std::string::npos)
      << tk.messages[0].text;
  EXPECT_EQ(shell.currentMap(), before);
  EXPECT_FALSE(shell.document().modified());
}

// A toolkit whose requester fails by throwing, as any code under a command might.
struct ThrowingToolkit : FakeToolkit {
  std::string fileRequester(std::string_view, std::string_view, FileMode, std::string_view) override {
    throw std::runtime_error("the requester broke");
  }
};

TEST(CommandBoundary, WhatACommandThrowsIsAnErrorBoxAndTheEditorCarriesOn) {
  ThrowingToolkit tk;
  app::Shell shell{tk};
  shell.startUp();
  const edit::ConstMapPtr before = shell.currentMap();
  tk.chooseMenu(shell.gadgets().fileMenu, app::tagOf("importMap"));
  tk.chooseMenu(shell.gadgets().fileMenu, app::tagOf("exportAs"));
  EXPECT_THROW(shell.run(), ScriptEnded);
  ASSERT_EQ(tk.messages.size(), 2u);
  EXPECT_EQ(tk.messages[0].text, "Import Map stopped: the requester broke");
  EXPECT_EQ(tk.messages[0].kind, MessageKind::Error);
  EXPECT_EQ(tk.messages[1].text, "Export As stopped: the requester broke");
  EXPECT_FALSE(shell.finished());
  EXPECT_EQ(shell.currentMap(), before);
  EXPECT_FALSE(shell.document().modified());
}

TEST_F(ForeignMaps, ExportAsWritesTheFormatOfTheNameOrTmx) {
  tk.fileAnswers = {writeTmx(*this)};
  tk.chooseMenu(g.fileMenu, app::tagOf("importMap"));
  runScript();
  tk.messages.clear();
  tk.fileAnswers = {dir.file("out"), dir.file("pic.png"), dir.file("game.json"), ""};
  for (int i = 0; i < 4; ++i) tk.chooseMenu(g.fileMenu, app::tagOf("exportAs"));
  runScript();
  EXPECT_EQ(tk.fileRequests.back().title, "Export the map as.");
  EXPECT_EQ(tk.fileRequests.back().filter, "TMX maps:tmx;JSON maps:tmj,json;PNG pictures:png;");
  EXPECT_EQ(tk.fileRequests.back().mode, FileMode::Save);
  EXPECT_TRUE(tk.messages.empty());
  EXPECT_THAT(files(), ElementsAre("game.json", "game_normals.png", "game_tiles.png", "m.tmx", "out.tmx",
                                   "out_normals.png", "out_tiles.png", "pic.png", "t.png"));
  auto back = formats::importMapFile(dir.file("game.json"), {});
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(back->map->cell(1, 0, 0)->image->pixels, shell.currentMap()->cell(1, 0, 0)->image->pixels);
}

// The Render window's settings; the open map stays; a refusal writes nothing and says why.
TEST_F(ForeignMaps, BakeMapFileWritesTheSameMapLit) {
  const std::string path = writeTmx(*this);
  const edit::ConstMapPtr before = shell.currentMap();
  tk.setText(g.widthField, "20");
  tk.setText(g.heightField, "24");
  tk.fileAnswers = {path, dir.file("lit.tmx"), path, dir.file("lit.tmj"), path, ""};
  for (int i = 0; i < 3; ++i) tk.chooseMenu(g.fileMenu, app::tagOf("bakeMapFile"));
  base::ConsoleCapture console;
  runScript();
  EXPECT_THAT(console.lines(), ::testing::Contains("Rendering shadow map at a resolution of 20x24"));
  ASSERT_EQ(tk.fileRequests.size(), 6u);
  EXPECT_EQ(tk.fileRequests[0].filter, "TMX maps:tmx;JSON maps:tmj,json;");
  EXPECT_EQ(tk.fileRequests[1].mode, FileMode::Save);
  ASSERT_EQ(tk.messages.size(), 2u);
  EXPECT_EQ(tk.messages[0].kind, MessageKind::Information);
  EXPECT_EQ(tk.messages[0].text.rfind("The lit map was written to " + dir.file("lit.tmx") + ".", 0), 0u);
  EXPECT_EQ(tk.messages[1].kind, MessageKind::Error);
  EXPECT_NE(tk.messages[1].text.find("keeps the syntax of its source"), std::string::npos);
  EXPECT_THAT(files(), ElementsAre("lit.tmx", "lit_lit.png", "m.tmx", "t.png"));
  EXPECT_EQ(shell.currentMap(), before);
  auto lit = formats::importMapFile(dir.file("lit.tmx"), {true});
  ASSERT_TRUE(lit) << lit.error();
  EXPECT_TRUE(lit->map->cell(1, 0, 0));
}

using RunScript = FileCommands;

// The script's edits are one step; a failing or stopped script changes nothing and says why.
TEST_F(RunScript, TheDocumentChangesAsOneUndoableStepOrNotAtAll) {
  newMap();
  runScript();
  const auto tile = makeTile();
  // The new map with one tile, as a step of its own that the scripts come after.
  const map::MapPtr painted = copyOf(*shell.currentMap());
  painted->setCell(0, 0, 0, tile);
  shell.document().replaceMap("New Map", painted);
  const edit::ConstMapPtr before = shell.currentMap();
  const auto script = [&](const std::string& name, const std::string& text) {
    writeFile(dir.file(name), std::vector<std::uint8_t>(text.begin(), text.end()));
    return dir.file(name);
  };
  const std::string good = script("good.lua",
                                  "local m = vorlane.map\n"
                                  "m:addLight{x=4, y=4, red=1}\n"
                                  "m:setCell(1, 0, 0, m:cell(0, 0, 0))\n"
                                  "m:cell(0, 0, 0).castShadows = 1\n"
                                  "print('done')\n");
  const std::string bad = script("bad.lua", "vorlane.map:setCell(0, 0, 0, nil)\nerror('no luck')\n");
  const std::string endless = script("endless.lua", "vorlane.map:setCell(0, 0, 0, nil)\nwhile true do end\n");
  auto seconds = std::chrono::steady_clock::time_point{};
  shell.files().setScriptClock([&] { return seconds += std::chrono::seconds(1); });
  tk.questionAnswers = {0};
  tk.fileAnswers = {bad, endless, ""};
  for (int i = 0; i < 3; ++i) tk.chooseMenu(g.fileMenu, app::tagOf("runScript"));
  runScript();
  EXPECT_EQ(tk.fileRequests.back().title, "Run a Lua script.");
  EXPECT_EQ(tk.fileRequests.back().filter, "Lua scripts:lua;");
  ASSERT_EQ(tk.messages.size(), 2u);
  EXPECT_NE(tk.messages[0].text.find("bad.lua:2: no luck"), std::string::npos) << tk.messages[0].text;
  EXPECT_NE(tk.messages[1].text.find("endless.lua:2: Script stopped."), std::string::npos) << tk.messages[1].text;
  ASSERT_EQ(tk.questions.size(), 1u);
  EXPECT_EQ(tk.questions[0].text, "The script is still running. Stop it?");
  EXPECT_EQ(shell.currentMap(), before);
  EXPECT_EQ(before->cell(0, 0, 0), tile);
  EXPECT_EQ(shell.document().history().nextUndo()->label(), "New Map");

  tk.fileAnswers = {good};
  tk.chooseMenu(g.fileMenu, app::tagOf("runScript"));
  runScript();
  EXPECT_THAT(quiet.lines(), ::testing::Contains("done"));
  ASSERT_EQ(shell.currentMap()->lights.size(), 1u);
  EXPECT_EQ(shell.currentMap()->cell(1, 0, 0), tile);
  EXPECT_EQ(tile->castShadows, 1);
  EXPECT_EQ(shell.document().history().nextUndo()->label(), "Run Script");
  EXPECT_TRUE(before->lights.empty());
  EXPECT_FALSE(before->cell(1, 0, 0));

  tk.chooseMenu(g.editMenu, app::tagOf("undo"));
  runScript();
  EXPECT_EQ(shell.currentMap(), before);
  EXPECT_EQ(tile->castShadows, 0);
  EXPECT_EQ(shell.document().history().nextUndo()->label(), "New Map");
  tk.chooseMenu(g.editMenu, app::tagOf("redo"));
  runScript();
  EXPECT_EQ(shell.currentMap()->lights.size(), 1u);
  EXPECT_EQ(tile->castShadows, 1);
}

}  // namespace
}  // namespace vorlane::test
