// The table of commands, and which gadget and window close starts which.
#include "app/actions.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "app/gadgets.h"
#include "app/shell.h"
#include "base/convert.h"
#include "map/tools.h"

namespace vorlane::app {

using platform::Event;
using platform::kControl;
using platform::kShift;
using G = Gadgets;

namespace {

// The layer field shows the current layer, counted from 1.
After layerChanged(EditorContext& c, std::int32_t layer) {
  c.currentLayer = layer;
  c.tk.setText(c.g.layerField, base::intToText(std::int64_t{c.currentLayer} + 1));
  return After::step;
}

After undo(EditorContext& c, bool forward) {
  c.stopGestures();
  if (forward)
    c.doc.redo();
  else
    c.doc.undo();
  return After::step;
}

}  // namespace

std::span<const Action> actions() {
  static constexpr Action kActions[] = {
      // The map canvas's context menu.
      {.id = "addLight", .label = "Add Light here", .menu = &G::contextMenu,
       .run = [](Shell& s, const Event&) { return s.contextAdd(true); }},
      {.id = "addPivot", .label = "Add pivot here", .menu = &G::contextMenu,
       .run = [](Shell& s, const Event&) { return s.contextAdd(false); }},
      {.id = "deleteHere", .label = "Delete", .menu = &G::contextMenu,
       .run = [](Shell& s, const Event&) { return s.contextDelete(); }},

      // File: the main window's buttons and the menu.
      {.id = "newMap", .label = "New Map", .menu = &G::fileMenu, .shortcut = {'N', kControl},
       .run = [](Shell& s, const Event&) { return s.files().newMap(); }},
      {.id = "load", .label = "Load Map", .menu = &G::fileMenu, .shortcut = {'O', kControl},
       .run = [](Shell& s, const Event&) { return s.files().loadProject(); }},
      {.id = "save", .label = "Save Map", .menu = &G::fileMenu, .shortcut = {'S', kControl},
       .run = [](Shell& s, const Event&) {
         s.files().saveProject(false);
         return After::step;
       }},
      {.id = "saveAs", .label = "Save As", .menu = &G::fileMenu, .shortcut = {'S', kControl | kShift},
       .run = [](Shell& s, const Event&) {
         s.files().saveProject(true);
         return After::step;
       }},
      {.id = "exportMap", .label = "Export Vorl", .menu = &G::fileMenu, .shortcut = {'E', kControl},
       .run = [](Shell& s, const Event&) { return s.files().exportMap(); }},
      {.id = "importMap", .label = "Import Map...", .menu = &G::fileMenu, .shortcut = {'I', kControl},
       .run = [](Shell& s, const Event&) { return s.files().importMap(); }},
      {.id = "exportAs", .label = "Export As...", .menu = &G::fileMenu, .shortcut = {'E', kControl | kShift},
       .run = [](Shell& s, const Event&) { return s.files().exportAs(); }},
      {.id = "bakeMapFile", .label = "Bake Map File...", .menu = &G::fileMenu,
       .run = [](Shell& s, const Event&) { return s.files().bakeMapFile(s.render()); }},
      {.id = "runScript", .label = "Run Script...", .menu = &G::fileMenu,
       .run = [](Shell& s, const Event&) { return s.files().runScript(); }},
      {.id = "quit", .label = "Quit", .menu = &G::fileMenu, .shortcut = {'Q', kControl},
       .run = [](Shell& s, const Event&) { return s.files().quit(); }},

      // Edit. Ctrl+Y is the other habit for Redo.
      {.id = "undo", .label = "Undo", .menu = &G::editMenu, .shortcut = {'Z', kControl},
       .enabled = [](const Shell& s) { return s.document().history().canUndo(); },
       .run = [](Shell& s, const Event&) { return undo(s.context(), false); }},
      {.id = "redo", .label = "Redo", .menu = &G::editMenu, .shortcut = {'Z', kControl | kShift},
       .alternate = {'Y', kControl}, .enabled = [](const Shell& s) { return s.document().history().canRedo(); },
       .run = [](Shell& s, const Event&) { return undo(s.context(), true); }},

      // Copy, Cut and Paste of the cells the Select tool picked.
      {.id = "cut", .label = "Cut", .menu = &G::editMenu, .shortcut = {'X', kControl},
       .enabled = [](const Shell& s) { return s.mapCanvas().canCopy(); },
       .run = [](Shell& s, const Event&) { return s.copyCells(true); }},
      {.id = "copy", .label = "Copy", .menu = &G::editMenu, .shortcut = {'C', kControl},
       .enabled = [](const Shell& s) { return s.mapCanvas().canCopy(); },
       .run = [](Shell& s, const Event&) { return s.copyCells(false); }},
      {.id = "paste", .label = "Paste", .menu = &G::editMenu, .shortcut = {'V', kControl},
       .enabled = [](const Shell& s) { return s.mapCanvas().canPaste(); },
       .run = [](Shell& s, const Event&) { return s.paste(); }},

      // Tools window (the tool buttons and keys come from the tools' table).
      {.id = "tileFlags", .label = "Tile Flags", .run = [](Shell& s, const Event&) { return s.tilesets().tileFlagsChanged(); }},
      {.id = "toggleLights", .label = "Lights",
       .run = [](Shell& s, const Event&) { return s.objects().toggleLights(); }},
      {.id = "togglePivots", .label = "Pivots",
       .run = [](Shell& s, const Event&) { return s.objects().togglePivots(); }},
      {.id = "toggleRender", .label = "Render Window",
       .run = [](Shell& s, const Event&) { return s.render().toggleWindow(); }},

      // The layer steps.
      {.id = "layerTyped", .label = "Layer",
       .run = [](Shell& s, const Event&) {
         EditorContext& c = s.context();
         return layerChanged(c, map::layerFromText(c.tk.text(c.g.layerField), c.doc.map()->depth));
       }},
      {.id = "layerDown", .label = "Layer Down", .shortcut = {platform::kKeyPageDown},
       .run = [](Shell& s, const Event&) { return layerChanged(s.context(), map::layerDown(s.currentLayer())); }},
      {.id = "layerUp", .label = "Layer Up", .shortcut = {platform::kKeyPageUp},
       .run = [](Shell& s, const Event&) {
         return layerChanged(s.context(), map::layerUp(s.currentLayer(), s.document().map()->depth));
       }},

      // The map view and the stroke in progress.
      {.id = "zoomReset", .label = "Zoom 1", .shortcut = {'0', kControl},
       .run = [](Shell& s, const Event&) { return s.zoomTo(1.0f); }},
      {.id = "zoomIn", .label = "Zoom In", .shortcut = {platform::kKeyEqual, kControl},
       .alternate = {'+', kControl | kShift}, .run = [](Shell& s, const Event&) { return s.zoomStep(1); }},
      {.id = "zoomOut", .label = "Zoom Out", .shortcut = {platform::kKeyMinus, kControl},
       .run = [](Shell& s, const Event&) { return s.zoomStep(-1); }},
      {.id = "zoomToFit", .label = "Zoom to Fit", .menu = &G::viewMenu,
       .run = [](Shell& s, const Event&) { return s.zoomToFit(); }},

      // Layers: which are drawn (the menu's per-layer items follow these two).
      {.id = "showOnlyCurrentLayer", .label = "Show Only Current Layer", .menu = &G::layersMenu,
       .shortcut = {'H', kControl | kShift}, .run = [](Shell& s, const Event&) { return s.showLayers(true); }},
      {.id = "showAllLayers", .label = "Show All Layers", .menu = &G::layersMenu,
       .run = [](Shell& s, const Event&) { return s.showLayers(false); }},
      {.id = "abandonStroke", .label = "Abandon Stroke", .shortcut = {platform::kKeyEscape},
       .run = [](Shell& s, const Event&) { return s.abandonStroke(); }},
      {.id = "deleteSelected", .label = "Delete Selected", .shortcut = {platform::kKeyDelete},
       .run = [](Shell& s, const Event&) { return s.deleteSelected(); }},

      // Tiles window.
      {.id = "loadTile", .label = "Load Tile.", .run = [](Shell& s, const Event&) { return s.tilesets().loadTile(); }},
      {.id = "scan", .label = "Scan Bmp", .run = [](Shell& s, const Event&) { return s.tilesets().scan(); }},
      {.id = "newSet", .label = "New Set.",
       .run = [](Shell& s, const Event&) {
         s.tilesets().add();
         return After::step;
       }},
      {.id = "deleteSet", .label = "Delete Set",
       .run = [](Shell& s, const Event&) { return s.tilesets().removeSelected() ? After::step : After::skip; }},
      {.id = "chooseTileset", .label = "Tileset",
       .run = [](Shell& s, const Event& e) {
         s.tilesets().choose(e.datum);
         return After::step;
       }},

      // Render Lightmap window.
      {.id = "render", .label = "Render", .shortcut = {'R', kControl},
       .run = [](Shell& s, const Event&) { return s.render().render(); }},
      {.id = "togglePreview", .label = "Preview Lighting", .menu = &G::renderMenu, .shortcut = {'L', kControl},
       .run = [](Shell& s, const Event&) { return s.render().setPreview(!s.render().previewOn()); }},
      {.id = "previewBox", .label = "Preview",
       .run = [](Shell& s, const Event&) { return s.render().setPreview(s.context().tk.checked(s.context().g.previewBox)); }},

      // Pivots and Lights windows: a user's change of a field goes into the active object at once.
      {.id = "objectField", .label = "Object Field",
       .run = [](Shell& s, const Event& e) { return s.objects().fieldChanged(e.source); }},
      {.id = "browse", .label = "Browse",
       .run = [](Shell& s, const Event&) { return s.objects().browse(); }},
      {.id = "selectRecord", .label = "Records",
       .run = [](Shell& s, const Event& e) { return s.objects().selectRecord(e.datum); }},
      {.id = "newRecord", .label = "New Record",
       .run = [](Shell& s, const Event&) { return s.objects().newRecord(); }},
      {.id = "deleteRecord", .label = "Delete Record", .run = [](Shell& s, const Event&) { return s.objects().deleteRecord(); }},
      {.id = "pickColour", .label = "Pick",
       .run = [](Shell& s, const Event&) { return s.objects().pickColour(); }},

      // Window closes.
      {.id = "closeMain", .label = "Close", .run = [](Shell& s, const Event&) { return s.files().quit(); }},
      {.id = "hideRender", .label = "Hide Render Window",
       .run = [](Shell& s, const Event&) { return s.render().hideWindow(); }},
      {.id = "hideLights", .label = "Hide Lights",
       .run = [](Shell& s, const Event&) { return s.objects().hideLights(); }},
      {.id = "hidePivots", .label = "Hide Pivots",
       .run = [](Shell& s, const Event&) { return s.objects().hidePivots(); }},
  };
  return kActions;
}

namespace {

constexpr Binding kGadgets[] = {
    {&G::newMapButton, "newMap"},
    {&G::loadButton, "load"},
    {&G::saveButton, "save"},
    {&G::saveAsButton, "saveAs"},
    {&G::exportButton, "exportMap"},
    {&G::layerField, "layerTyped"},
    {&G::layerDownButton, "layerDown"},
    {&G::layerUpButton, "layerUp"},
    {&G::tileShadowsBox, "tileFlags"},
    {&G::tileColliderBox, "tileFlags"},
    {&G::lightsToggle, "toggleLights"},
    {&G::pivotsToggle, "togglePivots"},
    {&G::renderToggle, "toggleRender"},
    {&G::tilesetTabs, "chooseTileset"},
    {&G::loadTileButton, "loadTile"},
    {&G::scanButton, "scan"},
    {&G::newSetButton, "newSet"},
    {&G::deleteSetButton, "deleteSet"},
    {&G::renderButton, "render"},
    {&G::previewBox, "previewBox"},
    {&G::linkField, "objectField"},
    {&G::browseButton, "browse"},
    {&G::recordsList, "selectRecord"},
    {&G::newRecordButton, "newRecord"},
    {&G::deleteRecordButton, "deleteRecord"},
    {&G::nameField, "objectField"},
    {&G::valueField, "objectField"},
    {&G::redField, "objectField"},
    {&G::greenField, "objectField"},
    {&G::blueField, "objectField"},
    {&G::pickButton, "pickColour"},
    {&G::lightShadowsBox, "objectField"},
    {&G::rangeField, "objectField"},
};

constexpr Binding kCloses[] = {
    {&G::mainWindow, "closeMain"},
    {&G::renderWindow, "hideRender"},
    {&G::lightsWindow, "hideLights"},
    {&G::pivotsWindow, "hidePivots"},
};

}  // namespace

std::span<const Binding> gadgetBindings() { return kGadgets; }
std::span<const Binding> closeBindings() { return kCloses; }

const Action* findAction(std::span<const Action> actions, std::string_view id) {
  auto it = std::find_if(actions.begin(), actions.end(), [id](const Action& a) { return a.id == id; });
  return it == actions.end() ? nullptr : &*it;
}

const Action& actionNamed(std::string_view id) {
  const Action* row = findAction(actions(), id);
  if (!row) throw std::logic_error("no command " + std::string(id));
  return *row;
}

int tagOf(const Action& action) {
  const std::span<const Action> rows = actions();
  if (&action < rows.data() || &action >= rows.data() + rows.size()) throw std::logic_error("not a row of the table");
  return static_cast<int>(&action - rows.data()) + 1;
}

const Action* actionOfTag(int tag) {
  const std::span<const Action> rows = actions();
  return tag >= 1 && static_cast<std::size_t>(tag) <= rows.size() ? &rows[static_cast<std::size_t>(tag) - 1] : nullptr;
}

const Action* findShortcut(std::span<const Action> actions, platform::Shortcut key) {
  if (!key) return nullptr;
  auto it = std::find_if(actions.begin(), actions.end(),
                         [key](const Action& a) { return a.shortcut == key || a.alternate == key; });
  return it == actions.end() ? nullptr : &*it;
}

}  // namespace vorlane::app
