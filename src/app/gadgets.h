#pragma once
// Every window, gadget and menu of the editor by name, and the tables that build them.
#include "platform/toolkit.h"

namespace vorlane::app {

inline constexpr const char* kMainCaption = "Vorlane V0.1 (c) 2026 the Vorlane team";

struct Gadgets {
  using H = platform::Handle;
  // Windows.
  H mainWindow{}, mapTreeWindow{}, toolsWindow{}, tilesWindow{}, renderWindow{}, pivotsWindow{}, lightsWindow{};
  // Main window.
  H newMapButton{}, loadButton{}, saveButton{}, saveAsButton{}, exportButton{};
  H layerDownButton{}, layerField{}, layerLabel{}, layerUpButton{}, mapCanvas{};
  // Tools window.
  H tileFrame{}, tileCanvas{}, tileShadowsBox{}, tileColliderBox{};
  H plotButton{}, lineButton{}, rectButton{}, blockButton{}, fillButton{};
  H windowsFrame{}, lightsToggle{}, pivotsToggle{}, renderToggle{};
  // Tiles window.
  H tilesetTabs{}, tilesetCanvas{}, loadTileButton{}, scanButton{}, newSetButton{}, deleteSetButton{};
  // Render window.
  H shadowsFrame{}, widthLabel{}, widthField{}, heightLabel{}, heightField{}, softShadowsBox{};
  H renderFrame{}, progressBar{}, progressLabel{}, renderButton{};
  // Pivots window.
  H pivotFrame{}, linkLabel{}, linkField{}, browseButton{}, recordsList{}, recordsLabel{};
  H newRecordButton{}, deleteRecordButton{}, nameField{}, nameLabel{}, valueField{}, valueLabel{};
  // Lights window.
  H lightFrame{}, redLabel{}, redField{}, greenLabel{}, greenField{}, blueLabel{}, blueField{};
  H pickButton{}, lightShadowsBox{}, rangeField{}, rangeLabel{};
  // Menus.
  H contextMenu{}, fileMenu{}, editMenu{};
};

// The start-up steps that create gadgets, each one table, in start-up order.
void buildToolWindows(platform::Toolkit& toolkit, Gadgets& g);  // main, map tree and tools windows
void buildMainContent(platform::Toolkit& toolkit, Gadgets& g);
void buildTilesWindow(platform::Toolkit& toolkit, Gadgets& g);
void buildRenderWindow(platform::Toolkit& toolkit, Gadgets& g);
void buildPivotsWindow(platform::Toolkit& toolkit, Gadgets& g);
void buildLightsWindow(platform::Toolkit& toolkit, Gadgets& g);
void buildMenus(platform::Toolkit& toolkit, Gadgets& g);

// Menu item tags.
enum MenuTag : int {
  kAddLightTag = 1,
  kAddPivotTag = 2,
  kDeleteTag = 3,
  kLoadTag = 4,
  kSaveTag = 5,
  kSaveAsTag = 6,
  kExportTag = 7,
  kNewMapTag = 8,
  kImportTag = 9,
  kExportAsTag = 10,
  kUndoTag = 11,
  kRedoTag = 12,
};

}  // namespace vorlane::app
