#pragma once
// Every window, gadget and menu of the editor by name, and the tables that build them.
#include <span>
#include <string_view>
#include <vector>

#include "app/actions.h"
#include "base/version.h"
#include "platform/toolkit.h"

namespace vorlane::app {

inline constexpr const char* kMainCaption = "Vorlane V" VORLANE_VERSION " (c) 2026 the Vorlane team";

struct Gadgets {
  using H = platform::Handle;
  // Windows.
  H mainWindow{}, mapTreeWindow{}, toolsWindow{}, tilesWindow{}, renderWindow{}, pivotsWindow{}, lightsWindow{};
  // Main window.
  H newMapButton{}, loadButton{}, saveButton{}, saveAsButton{}, exportButton{};
  H layerDownButton{}, layerField{}, layerLabel{}, layerUpButton{}, mapCanvas{};
  // Tools window.
  H tileFrame{}, tileCanvas{}, tileShadowsBox{}, tileColliderBox{};
  std::vector<H> toolButtons;  // one per row of the tools' table, in its order
  H windowsFrame{}, lightsToggle{}, pivotsToggle{}, renderToggle{};
  // Tiles window.
  H tilesetTabs{}, tilesetCanvas{}, loadTileButton{}, scanButton{}, newSetButton{}, deleteSetButton{};
  // Render window.
  H shadowsFrame{}, widthLabel{}, widthField{}, heightLabel{}, heightField{}, softShadowsBox{};
  H renderFrame{}, progressBar{}, progressLabel{}, renderButton{};
  H optionsFrame{}, ambientLabel{}, ambientRedField{}, ambientGreenField{}, ambientBlueField{};
  H intensityLabel{}, intensityField{}, castShadowsFlagsBox{}, previewBox{};
  // Pivots window.
  H pivotFrame{}, linkLabel{}, linkField{}, browseButton{}, recordsList{}, recordsLabel{};
  H newRecordButton{}, deleteRecordButton{}, nameField{}, nameLabel{}, valueField{}, valueLabel{};
  // Lights window.
  H lightFrame{}, redLabel{}, redField{}, greenLabel{}, greenField{}, blueLabel{}, blueField{};
  H pickButton{}, lightShadowsBox{}, rangeField{}, rangeLabel{};
  // Menus.
  H contextMenu{}, fileMenu{}, editMenu{}, viewMenu{}, layersMenu{}, renderMenu{};

  // The button of the tool with this label, or none.
  H toolButton(std::string_view label) const;
};

// The start-up steps that create gadgets, each one table, in start-up order.
void buildToolWindows(platform::Toolkit& toolkit, Gadgets& g);  // main, map tree and tools windows, tool buttons
void buildMainContent(platform::Toolkit& toolkit, Gadgets& g);
void buildTilesWindow(platform::Toolkit& toolkit, Gadgets& g);
void buildRenderWindow(platform::Toolkit& toolkit, Gadgets& g);
void buildPivotsWindow(platform::Toolkit& toolkit, Gadgets& g);
void buildLightsWindow(platform::Toolkit& toolkit, Gadgets& g);
// The context menu, then the main window's File, Edit, View, Layers and Render menus with the commands they show.
void buildMenus(platform::Toolkit& toolkit, Gadgets& g, std::span<const Action> actions);

}  // namespace vorlane::app
