#include "app/gadgets.h"
#include "app/layout_table.h"

#include <algorithm>

#include "map/tool.h"

namespace vorlane::app {

namespace {

using platform::kHidden;
using platform::kMenuBar;
using platform::kStatusBar;
using platform::kTitleBar;
using K = PieceKind;
using G = Gadgets;
using P = Piece<Gadgets>;

constexpr P kToolWindows[] = {
    {K::Window, kMainCaption, 125, 20, 580, 530, nullptr, &G::mainWindow, kTitleBar | kMenuBar | kStatusBar},
    {K::Window, "Map Tree", 560, 20, 200, 450, nullptr, &G::mapTreeWindow, kTitleBar | kStatusBar},
    {K::Window, "Tools", 20, 105, 110, 450, &G::mainWindow, &G::toolsWindow, kTitleBar | kStatusBar},
    {K::GroupFrame, "Curent Tile", 20, 20, 64, 64, &G::toolsWindow, &G::tileFrame},
    {K::Canvas, "", 0, 0, innerWidth(), innerHeight(), &G::tileFrame, &G::tileCanvas},
    {K::CheckBox, "Cast Shadows", 5, 90, 100, 20, &G::toolsWindow, &G::tileShadowsBox},
    {K::CheckBox, "Collider", 5, 110, 100, 20, &G::toolsWindow, &G::tileColliderBox},
};

// After the tool buttons, which the tools' table places.
constexpr P kToolWindowsRest[] = {
    {K::GroupFrame, "Windows", 0, 300, 100, 90, &G::toolsWindow, &G::windowsFrame},
    {K::Button, "Lights", 0, 0, 45, 20, &G::windowsFrame, &G::lightsToggle},
    {K::Button, "Pivots", 45, 0, 45, 20, &G::windowsFrame, &G::pivotsToggle},
    {K::Button, "Render", 0, 20, 45, 20, &G::windowsFrame, &G::renderToggle},
};

constexpr P kMainContent[] = {
    {K::Button, "New Map", 0, 0, 60, 20, &G::mainWindow, &G::newMapButton},
    {K::Button, "Load", 60, 0, 60, 20, &G::mainWindow, &G::loadButton},
    {K::Button, "Save", 120, 0, 60, 20, &G::mainWindow, &G::saveButton},
    {K::Button, "Save As", 180, 0, 60, 20, &G::mainWindow, &G::saveAsButton},
    {K::Button, "Export Map", 240, 0, 60, 20, &G::mainWindow, &G::exportButton},
    {K::TextField, "1", 380, 15, 40, 20, &G::mainWindow, &G::layerField},
    {K::Label, "Layer", 384, 0, 40, 15, &G::mainWindow, &G::layerLabel},
    {K::Button, "\\/", 360, 15, 20, 20, &G::mainWindow, &G::layerDownButton},
    {K::Button, "/\\", 420, 15, 20, 20, &G::mainWindow, &G::layerUpButton},
    {K::Canvas, "", 0, 40, innerWidth(), innerHeight(-40), &G::mainWindow, &G::mapCanvas},
};

constexpr P kTilesWindow[] = {
    {K::Window, "Tiles", 120, 350, 500, 200, &G::mainWindow, &G::tilesWindow, kTitleBar},
    {K::TabStrip, "", 0, 0, innerWidth(), innerHeight(), &G::tilesWindow, &G::tilesetTabs},
    {K::Canvas, "", 100, 0, 300, 200, &G::tilesetTabs, &G::tilesetCanvas},
    {K::Button, "Load Tile.", 5, 20, 70, 20, &G::tilesetTabs, &G::loadTileButton},
    {K::Button, "Scan Bmp", 5, 45, 70, 20, &G::tilesetTabs, &G::scanButton},
    {K::Button, "New Set.", 405, 20, 70, 20, &G::tilesetTabs, &G::newSetButton},
    {K::Button, "Delete", 405, 45, 70, 20, &G::tilesetTabs, &G::deleteSetButton},
};

constexpr P kRenderWindow[] = {
    {K::Window, "Render Lightmap", halfScreenWidth(-200), halfScreenHeight(-200), 400, 400, &G::mainWindow,
     &G::renderWindow, kTitleBar | kHidden},
    {K::GroupFrame, "Shadows", 5, 5, 390, 150, &G::renderWindow, &G::shadowsFrame},
    {K::Label, "Width", 5, 0, 60, 14, &G::shadowsFrame, &G::widthLabel},
    {K::TextField, "256", 5, 15, 40, 20, &G::shadowsFrame, &G::widthField},
    {K::Label, "Height", 60, 0, 60, 14, &G::shadowsFrame, &G::heightLabel},
    {K::TextField, "256", 60, 15, 40, 20, &G::shadowsFrame, &G::heightField},
    {K::CheckBox, "Soft Shadows", 5, 40, 90, 20, &G::shadowsFrame, &G::softShadowsBox},
    {K::GroupFrame, "Render", 0, 300, 300, 60, &G::renderWindow, &G::renderFrame},
    {K::ProgressBar, "", 0, 0, 200, 20, &G::renderFrame, &G::progressBar},
    {K::Label, "Progress...", 205, 3, 120, 20, &G::renderFrame, &G::progressLabel},
    {K::Button, "Render", 0, 20, 50, 20, &G::renderFrame, &G::renderButton},
    // Lighting beyond the default; the defaults bake as without them.
    {K::GroupFrame, "Lighting", 5, 160, 390, 130, &G::renderWindow, &G::optionsFrame},
    {K::Label, "Ambient R, G, B", 5, 0, 120, 14, &G::optionsFrame, &G::ambientLabel},
    {K::TextField, "0", 5, 15, 40, 20, &G::optionsFrame, &G::ambientRedField},
    {K::TextField, "0", 50, 15, 40, 20, &G::optionsFrame, &G::ambientGreenField},
    {K::TextField, "0", 95, 15, 40, 20, &G::optionsFrame, &G::ambientBlueField},
    {K::Label, "Intensity", 150, 0, 60, 14, &G::optionsFrame, &G::intensityLabel},
    {K::TextField, "4", 150, 15, 60, 20, &G::optionsFrame, &G::intensityField},
    {K::CheckBox, "Cast Shadows Flags", 5, 40, 200, 20, &G::optionsFrame, &G::castShadowsFlagsBox},
    {K::CheckBox, "Preview", 60, 20, 80, 20, &G::renderFrame, &G::previewBox},
};

constexpr P kPivotsWindow[] = {
    {K::Window, "Pivots", 400, 300, 270, 250, &G::mainWindow, &G::pivotsWindow, kTitleBar | kHidden},
    {K::GroupFrame, "Active Pivot", 0, 0, 260, 190, &G::pivotsWindow, &G::pivotFrame},
    {K::Label, "Pivot Link", 0, 0, 120, 14, &G::pivotFrame, &G::linkLabel},
    {K::TextField, "", 0, 15, 200, 20, &G::pivotFrame, &G::linkField},
    {K::Button, "Browse", 205, 15, 45, 20, &G::pivotFrame, &G::browseButton},
    {K::ListBox, "", 2, 38, 180, 75, &G::pivotFrame, &G::recordsList},
    {K::Label, "Records", 184, 38, 80, 20, &G::pivotFrame, &G::recordsLabel},
    {K::Button, "New", 184, 60, 50, 20, &G::pivotFrame, &G::newRecordButton},
    {K::Button, "Delete", 184, 85, 50, 20, &G::pivotFrame, &G::deleteRecordButton},
    {K::TextField, "", 2, 115, 180, 20, &G::pivotFrame, &G::nameField},
    {K::Label, "Name", 184, 115, 80, 20, &G::pivotFrame, &G::nameLabel},
    {K::TextField, "", 2, 137, 180, 20, &G::pivotFrame, &G::valueField},
    {K::Label, "Value", 184, 137, 80, 20, &G::pivotFrame, &G::valueLabel},
};

constexpr P kLightsWindow[] = {
    {K::Window, "Lights", 400, 300, 250, 200, &G::mainWindow, &G::lightsWindow, kTitleBar | kHidden},
    {K::GroupFrame, "Active Light", 0, 0, 240, 100, &G::lightsWindow, &G::lightFrame},
    {K::Label, "Red", 10, 5, 60, 14, &G::lightFrame, &G::redLabel},
    {K::TextField, "255", 5, 20, 40, 20, &G::lightFrame, &G::redField},
    {K::Label, "Green", 55, 5, 60, 14, &G::lightFrame, &G::greenLabel},
    {K::TextField, "255", 50, 20, 40, 20, &G::lightFrame, &G::greenField},
    {K::Label, "Blue", 100, 5, 60, 14, &G::lightFrame, &G::blueLabel},
    {K::TextField, "255", 95, 20, 40, 20, &G::lightFrame, &G::blueField},
    {K::Button, "Pick", 140, 20, 40, 20, &G::lightFrame, &G::pickButton},
    {K::CheckBox, "Cast Shadows", 5, 45, 100, 20, &G::lightFrame, &G::lightShadowsBox},
    {K::TextField, "", 105, 45, 40, 20, &G::lightFrame, &G::rangeField},
    {K::Label, "Range", 150, 45, 60, 20, &G::lightFrame, &G::rangeLabel},
};

template <std::size_t N>
void buildTable(platform::Toolkit& tk, const P (&table)[N], Gadgets& g) {
  build<Gadgets>(tk, std::span<const P>(table), g);
}

}  // namespace

void buildToolWindows(platform::Toolkit& tk, Gadgets& g) {
  buildTable(tk, kToolWindows, g);
  g.toolButtons.clear();
  for (const map::ToolRow& row : map::toolTable())
    g.toolButtons.push_back(createPiece(tk, K::Button, row.label, row.buttonX, row.buttonY, map::kToolButtonWidth,
                                        map::kToolButtonHeight, g.toolsWindow, 0));
  buildTable(tk, kToolWindowsRest, g);
}

platform::Handle Gadgets::toolButton(std::string_view label) const {
  const auto rows = map::toolTable();
  for (std::size_t i = 0; i < rows.size() && i < toolButtons.size(); ++i)
    if (rows[i].label == label) return toolButtons[i];
  return platform::kNoHandle;
}
void buildMainContent(platform::Toolkit& tk, Gadgets& g) { buildTable(tk, kMainContent, g); }
void buildTilesWindow(platform::Toolkit& tk, Gadgets& g) { buildTable(tk, kTilesWindow, g); }
void buildRenderWindow(platform::Toolkit& tk, Gadgets& g) { buildTable(tk, kRenderWindow, g); }
void buildPivotsWindow(platform::Toolkit& tk, Gadgets& g) { buildTable(tk, kPivotsWindow, g); }
void buildLightsWindow(platform::Toolkit& tk, Gadgets& g) { buildTable(tk, kLightsWindow, g); }

void buildMenus(platform::Toolkit& tk, Gadgets& g, std::span<const Action> actions) {
  g.contextMenu = tk.createMenu("Context", platform::kNoHandle);
  g.fileMenu = tk.createMenu("File", g.mainWindow);
  g.editMenu = tk.createMenu("Edit", g.mainWindow);
  g.viewMenu = tk.createMenu("View", g.mainWindow);
  g.layersMenu = tk.createMenu("Layers", g.mainWindow);
  g.renderMenu = tk.createMenu("Render", g.mainWindow);
  for (const Action& a : actions)
    if (a.menu) tk.createMenuItem(a.label, tagOf(a), g.*(a.menu), a.shortcut);
  tk.updateMenuBar(g.mainWindow);
}

}  // namespace vorlane::app
