// Keys: each shortcut runs the command of its button or menu item, from any window, and a
// text field with the focus types letters instead.
#include <gmock/gmock.h>

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
  const Step steps[] = {{'P', g.plotButton},    {'L', g.lineButton},    {'R', g.rectButton},
                        {'B', g.blockButton},   {'F', g.fillButton},    {platform::kKeyPageUp, g.layerUpButton},
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
  for (int tag : {app::kLoadTag, app::kSaveTag, app::kSaveAsTag, app::kExportTag, app::kImportTag, app::kExportAsTag})
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
  ASSERT_EQ(file.menuShortcuts.size(), 7u);
  EXPECT_EQ(file.menuShortcuts[0], (platform::Shortcut{'N', kControl}));
  EXPECT_EQ(file.menuShortcuts[3], (platform::Shortcut{'S', kControl | kShift}));
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

}  // namespace
}  // namespace vorlane::test
