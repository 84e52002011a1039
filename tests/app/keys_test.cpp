// Keys: each shortcut runs the command of its button or menu item, from any window, and a
// text field with the focus types letters instead.
#include <gmock/gmock.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>

#include "map/view.h"
#include "shell_fixture.h"

namespace vorlane::test {
namespace {

using platform::kControl;
using platform::kShift;

using Keys = ShellTest;

TEST_F(Keys, ToolAndLayerKeysDoWhatTheirButtonsDo) {
  newMap();  // depth 4
  struct Step {
    std::int32_t key;
    platform::Handle button;
  };
  const Step steps[] = {{'P', g.toolButton("Plot")},    {'L', g.toolButton("Line")},    {'R', g.toolButton("Rect")},
                        {'B', g.toolButton("Block")},   {'F', g.toolButton("Fill")},    {platform::kKeyPageUp, g.layerUpButton},
                        {platform::kKeyPageUp, g.layerUpButton},        {platform::kKeyPageDown, g.layerDownButton},
                        {platform::kKeyPageDown, g.layerDownButton},    {platform::kKeyPageDown, g.layerDownButton}};
  // A second editor pressing the buttons keeps step.
  FakeToolkit buttonsTk;
  app::Shell buttons(buttonsTk);
  buttons.startUp();
  buttonsTk.press(buttons.gadgets().newMapButton);
  buttonsTk.pressLater(GadgetKind::Button, "Create");
  tk.focus(g.tilesetCanvas);  // the Tiles window has the keyboard
  for (const Step& s : steps) {
    tk.key(s.key);
    runScript();
    buttonsTk.press(s.button);  // both editors made their gadgets in the same order
    EXPECT_THROW(buttons.run(), ScriptEnded);
    EXPECT_EQ(shell.currentTool(), buttons.currentTool()) << s.key;
    EXPECT_EQ(shell.currentLayer(), buttons.currentLayer()) << s.key;
    EXPECT_EQ(tk.text(g.layerField), buttonsTk.text(buttons.gadgets().layerField)) << s.key;
  }
  EXPECT_EQ(shell.currentLayer(), 0);
  EXPECT_EQ(shell.currentTool(), map::kFill);
}

TEST_F(Keys, FileShortcutsAskWhatTheirMenuItemsAsk) {
  const auto titles = [&] {
    std::vector<std::string> out;
    for (const auto& r : tk.fileRequests) out.push_back(r.title);
    tk.fileRequests.clear();
    return out;
  };
  for (int tag : {app::tagOf("load"), app::tagOf("save"), app::tagOf("saveAs"), app::tagOf("exportMap"), app::tagOf("importMap"), app::tagOf("exportAs")})
    tk.chooseMenu(g.fileMenu, tag);
  runScript();
  const auto byMenu = titles();
  tk.focus(g.toolsWindow);
  tk.key('O', kControl);
  tk.key('S', kControl);
  tk.key('S', kControl | kShift);
  tk.key('E', kControl);
  tk.key('I', kControl);
  tk.key('E', kControl | kShift);
  runScript();
  EXPECT_EQ(titles(), byMenu);
  EXPECT_THAT(byMenu, ::testing::ElementsAre("Load a vorlane project.", "Save a vorlane project.",
                                             "Save a vorlane project.", "Export Vorl", "Import a map.",
                                             "Export the map as."));

  // Shown in the menu beside their items.
  const auto& file = tk.at(g.fileMenu);
  ASSERT_EQ(file.menuShortcuts.size(), 10u);
  EXPECT_EQ(file.menuShortcuts[0], (platform::Shortcut{'N', kControl}));
  EXPECT_EQ(file.menuShortcuts[3], (platform::Shortcut{'S', kControl | kShift}));
}

TEST_F(Keys, EditKeysUndoAndRedoAsTheEditMenuDoes) {
  newMap();  // one step to take back and forth
  runScript();
  const edit::ConstMapPtr fresh = shell.currentMap();
  struct Step {
    std::int32_t key;
    unsigned modifiers;
    bool freshShown;
  };
  tk.focus(g.toolsWindow);
  for (const Step s : {Step{'Z', kControl, false}, Step{'Z', kControl | kShift, true}, Step{'Z', kControl, false},
                       Step{'Y', kControl, true}}) {
    tk.key(s.key, s.modifiers);
    runScript();
    EXPECT_EQ(shell.currentMap() == fresh, s.freshShown) << static_cast<char>(s.key) << s.modifiers;
  }
}

TEST_F(Keys, ATextFieldWithTheFocusTypesLettersButCommandsStillWork) {
  tk.focus(g.widthField);
  tk.key('P');
  tk.key('S', kControl);
  runScript();
  EXPECT_EQ(shell.currentTool(), map::kNoTool);
  EXPECT_EQ(tk.text(g.widthField), "256p");
  EXPECT_EQ(tk.fileRequests.size(), 1u) << "Ctrl+S saves from a field too";

  tk.focus(g.mapCanvas);  // a click on the map takes the focus from the field
  tk.key('P');
  runScript();
  EXPECT_EQ(shell.currentTool(), map::kPlot);
}

// Each command has one row with a handler, can be started somehow, and no key starts two.
TEST_F(Keys, TheActionTableHasOneRowPerCommandAndNoKeyTwice) {
  const auto actions = app::actions();
  std::set<std::string> ids, reachable;
  std::vector<platform::Shortcut> keys;
  for (const app::Action& a : actions) {
    EXPECT_TRUE(ids.insert(a.id).second) << a.label;
    EXPECT_NE(a.run, nullptr) << a.label;
    for (platform::Shortcut k : {a.shortcut, a.alternate}) {
      if (!k) continue;
      EXPECT_EQ(std::count(keys.begin(), keys.end(), k), 0) << a.label;
      keys.push_back(k);
      reachable.insert(a.id);
    }
    if (a.menu) reachable.insert(a.id);
  }
  for (const map::ToolRow& tool : map::toolTable()) {  // the tool keys are the tools' table's
    EXPECT_EQ(std::count(keys.begin(), keys.end(), tool.key), 0) << tool.label;
    keys.push_back(tool.key);
  }
  for (const auto& bindings : {app::gadgetBindings(), app::closeBindings()})
    for (const app::Binding& b : bindings) {
      EXPECT_NE(app::findAction(actions, b.id), nullptr) << b.id << " has no row";
      reachable.insert(b.id);
    }
  EXPECT_EQ(reachable, ids);

  // The menus show each row's label and shortcut under its tag.
  std::size_t items = 0;
  for (platform::Handle menu : {g.contextMenu, g.fileMenu, g.editMenu, g.viewMenu, g.layersMenu, g.renderMenu}) {
    const FakeGadget& m = tk.at(menu);
    for (std::size_t i = 0; i < m.menuItems.size(); ++i, ++items) {
      if (m.menuItems[i].second >= app::kLayerItemTag) {  // one per layer, not a row
        --items;
        continue;
      }
      const app::Action* a = app::actionOfTag(m.menuItems[i].second);
      ASSERT_NE(a, nullptr);
      EXPECT_EQ(g.*(a->menu), menu);
      EXPECT_EQ(m.menuItems[i].first, a->label);
      EXPECT_EQ(m.menuShortcuts[i], a->shortcut);
    }
  }
  EXPECT_EQ(items, static_cast<std::size_t>(std::count_if(actions.begin(), actions.end(), [](const app::Action& a) {
              return a.menu != nullptr;
            })));

  // A tag or an id that names no row is caught where it is looked up; such a menu event does nothing.
  EXPECT_EQ(app::actionOfTag(0), nullptr);
  EXPECT_EQ(app::actionOfTag(static_cast<int>(actions.size()) + 1), nullptr);
  EXPECT_THROW(app::actionNamed("noSuchCommand"), std::logic_error);
  tk.chooseMenu(g.fileMenu, static_cast<int>(actions.size()) + 1);
  runScript();
  EXPECT_FALSE(shell.finished());
}

TEST_F(Keys, ZoomKeysStepAlongTheLadderAboutTheCentre) {
  newMap();
  runScript();
  map::ViewState& m = shell.mapView();
  m.scrollX = 30;
  struct Case {
    std::int32_t key;
    float zoom;
  };
  tk.focus(g.widthField);  // a field with the focus does not type these
  for (const Case c : {Case{platform::kKeyEqual, 1.5f}, Case{platform::kKeyEqual, 2.0f}, Case{'0', 1.0f},
                       Case{platform::kKeyMinus, 0.75f}, Case{platform::kKeyMinus, 0.5f}, Case{'0', 1.0f}}) {
    tk.key(c.key, kControl);
    runScript();
    EXPECT_EQ(m.zoom, c.zoom) << static_cast<char>(c.key);
  }
  EXPECT_EQ(m.scrollX, 30) << "the view scales about the canvas centre";
  EXPECT_EQ(tk.text(g.widthField), "256");
  m.zoom = map::kMinZoom;
  tk.key(platform::kKeyMinus, kControl);
  runScript();
  EXPECT_EQ(m.zoom, map::kMinZoom);
}

TEST_F(Keys, CtrlRRendersWithTheRenderWindowsFields) {
  newMap({"2", "2", "1", "16", "16"});
  tk.setText(g.widthField, "999999");
  tk.press(g.renderButton);
  tk.key('R', kControl);
  runScript();
  ASSERT_EQ(tk.messages.size(), 2u);
  EXPECT_EQ(tk.messages[1].text, tk.messages[0].text) << "the same refusal as the button's";

  tk.setText(g.widthField, "16");
  tk.setText(g.heightField, "16");
  const edit::ConstMapPtr before = shell.currentMap();
  tk.key('R', kControl);
  runScript();
  EXPECT_NE(shell.currentMap(), before);
  EXPECT_EQ(shell.document().undoText(), "Undo Render");
}

// A 4 × 4 map of 64-pixel cells: canvas pixels are map pixels at zoom 1.
struct Abandon : Keys {
  tiles::TilePtr tile = makeTile();
  void SetUp() override {
    Keys::SetUp();
    seedTileset([&](map::Map& ts) { ts.setCell(0, 0, 0, tile); });
    newMap({"4", "4", "1", "64", "64"});
    runScript();
  }
  int reds() {  // red outlines in the map canvas's last frame
    const auto& calls = tk.recording(g.mapCanvas).calls;
    auto it = std::find_if(calls.rbegin(), calls.rend(), [](const Call& c) { return c.op == Op::Clear; });
    return static_cast<int>(std::count_if(calls.rbegin(), it, [](const Call& c) {
      return c.op == Op::Color && c.a == 255 && c.b == 0 && c.c == 0;
    }));
  }
};

TEST_F(Abandon, EscapeTakesBackAPlotStrokeAndAnyLaterPaint) {
  tk.press(g.toolButton("Plot"));
  move(g.mapCanvas, 32, 32);
  down(g.mapCanvas, platform::kLeftButton);
  move(g.mapCanvas, 96, 32);
  runScript();
  ASSERT_EQ(shell.currentMap()->cell(1, 0, 0), tile);
  tk.key(platform::kKeyEscape);
  move(g.mapCanvas, 160, 32);  // still held: paints nothing more
  up(g.mapCanvas, platform::kLeftButton);
  runScript();
  for (int x = 0; x < 4; ++x) EXPECT_EQ(shell.currentMap()->cell(x, 0, 0), nullptr) << x;
  EXPECT_EQ(shell.document().undoText(), "Undo New Map");
}

TEST_F(Abandon, EscapeDropsALinePreviewAndWritesNothing) {
  tk.press(g.toolButton("Line"));
  move(g.mapCanvas, 32, 32);
  down(g.mapCanvas, platform::kLeftButton);
  move(g.mapCanvas, 224, 32);
  tk.tick();
  runScript();
  EXPECT_EQ(reds(), 4) << "the preview from (0, 0) to (3, 0)";
  tk.key(platform::kKeyEscape);
  tk.tick();
  up(g.mapCanvas, platform::kLeftButton);
  runScript();
  EXPECT_EQ(reds(), 1) << "only the cell under the pointer";
  EXPECT_EQ(shell.currentMap()->cell(3, 0, 0), nullptr);
  EXPECT_FALSE(shell.stroke().painting);
}

// The main window's status bar: the place under the pointer after the document's name.
struct Status : ShellTest {
  std::string place() {
    const std::string& text = tk.at(g.mainWindow).status;
    return text.substr(text.find(app::kStatusGap) + std::string_view(app::kStatusGap).size());
  }
  int changes() { return tk.at(g.mainWindow).statusChanges; }
};

TEST_F(Status, ShowsTheCellUnderThePointerOrTheMapsSize) {
  newMap({"6", "5", "3", "64", "32"});
  runScript();
  EXPECT_EQ(place(), "Map 6 × 5 × 3 · Tiles 64 × 32");
  tk.press(g.layerUpButton);
  move(g.mapCanvas, 130, 50);
  runScript();
  EXPECT_EQ(place(), "Cell 2, 1 · Layer 2 · Pixel 130, 50 · Zoom 100%");
  tk.post({platform::EventKind::MouseWheel, g.mapCanvas, 100, 0, 0});  // about the centre (288, 216)
  runScript();
  EXPECT_EQ(place(), "Cell 3, 4 · Layer 2 · Pixel 209, 133 · Zoom 200%");

  tk.post({platform::EventKind::MouseLeave, g.mapCanvas, 0, 0, 0});
  runScript();
  EXPECT_EQ(place(), "Map 6 × 5 × 3 · Tiles 64 × 32");
  move(g.mapCanvas, 570, 10);  // beside the map
  runScript();
  EXPECT_EQ(place(), "Map 6 × 5 × 3 · Tiles 64 × 32");
}

TEST_F(Status, IsSetOnlyWhenSomethingShownChanged) {
  seedTileset([&](map::Map& ts) { ts.setCell(0, 0, 0, makeTile()); });
  newMap();
  tk.press(g.toolButton("Fill"));
  move(g.mapCanvas, 100, 100);
  runScript();
  const int before = changes();
  move(g.mapCanvas, 100, 100);
  tk.tick();
  down(g.mapCanvas, platform::kLeftButton);  // fills the layer: the map changes, the place does not
  up(g.mapCanvas, platform::kLeftButton);
  runScript();
  ASSERT_EQ(shell.document().undoText(), "Undo Fill");
  EXPECT_EQ(changes(), before);
  move(g.tilesetCanvas, 10, 10);
  move(g.tilesetCanvas, 20, 10);
  runScript();
  EXPECT_EQ(changes(), before + 1) << "once for leaving the map";
  move(g.mapCanvas, 101, 100);
  runScript();
  EXPECT_EQ(changes(), before + 2);
}

}  // namespace
}  // namespace vorlane::test
