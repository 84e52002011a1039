// The table of commands, and which gadget and window close starts which.
#include "app/actions.h"

#include <algorithm>

#include "app/gadgets.h"
#include "app/shell.h"
#include "map/tools.h"

namespace vorlane::app {

using platform::Event;
using platform::kControl;
using platform::kShift;
using A = ActionId;
using G = Gadgets;

// Defined as a member so that the handlers reach the shell's commands.
std::span<const Action> Shell::actions() {
  static constexpr Action kActions[] = {
      // The map canvas's context menu.
      {.id = A::addLight, .label = "Add Light here", .menu = &G::contextMenu,
       .run = [](Shell& s, const Event&) { return s.contextAdd(true); }},
      {.id = A::addPivot, .label = "Add pivot here", .menu = &G::contextMenu,
       .run = [](Shell& s, const Event&) { return s.contextAdd(false); }},
      {.id = A::deleteHere, .label = "Delete", .menu = &G::contextMenu,
       .run = [](Shell& s, const Event&) { return s.contextDelete(); }},

      // File: the main window's buttons and the menu.
      {.id = A::newMap, .label = "New Map", .menu = &G::fileMenu, .shortcut = {'N', kControl},
       .run = [](Shell& s, const Event&) { return s.newMap(); }},
      {.id = A::load, .label = "Load Map", .menu = &G::fileMenu, .shortcut = {'O', kControl},
       .run = [](Shell& s, const Event&) { return s.loadProject(); }},
      {.id = A::save, .label = "Save Map", .menu = &G::fileMenu, .shortcut = {'S', kControl},
       .run = [](Shell& s, const Event&) {
         s.saveProject(false);
         return After::step;
       }},
      {.id = A::saveAs, .label = "Save As", .menu = &G::fileMenu, .shortcut = {'S', kControl | kShift},
       .run = [](Shell& s, const Event&) {
         s.saveProject(true);
         return After::step;
       }},
      {.id = A::exportMap, .label = "Export Vorl", .menu = &G::fileMenu, .shortcut = {'E', kControl},
       .run = [](Shell& s, const Event&) { return s.exportMap(); }},
      {.id = A::importMap, .label = "Import Map...", .menu = &G::fileMenu, .shortcut = {'I', kControl},
       .run = [](Shell& s, const Event&) { return s.importMap(); }},
      {.id = A::exportAs, .label = "Export As...", .menu = &G::fileMenu, .shortcut = {'E', kControl | kShift},
       .run = [](Shell& s, const Event&) { return s.exportAs(); }},
      {.id = A::bakeMapFile, .label = "Bake Map File...", .menu = &G::fileMenu,
       .run = [](Shell& s, const Event&) { return s.bakeMapFile(); }},
      {.id = A::runScript, .label = "Run Script...", .menu = &G::fileMenu,
       .run = [](Shell& s, const Event&) { return s.runScript(); }},
      {.id = A::quit, .label = "Quit", .menu = &G::fileMenu, .shortcut = {'Q', kControl},
       .run = [](Shell& s, const Event&) { return s.closeMain(); }},

      // Edit. Ctrl+Y is the other habit for Redo.
      {.id = A::undo, .label = "Undo", .menu = &G::editMenu, .shortcut = {'Z', kControl},
       .enabled = [](const Shell& s) { return s.doc_.history().canUndo(); },
       .run = [](Shell& s, const Event&) { return s.undo(false); }},
      {.id = A::redo, .label = "Redo", .menu = &G::editMenu, .shortcut = {'Z', kControl | kShift},
       .alternate = {'Y', kControl}, .enabled = [](const Shell& s) { return s.doc_.history().canRedo(); },
       .run = [](Shell& s, const Event&) { return s.undo(true); }},

      // Copy, Cut and Paste of the cells the Select tool picked.
      {.id = A::cut, .label = "Cut", .menu = &G::editMenu, .shortcut = {'X', kControl},
       .enabled = [](const Shell& s) { return s.mapCanvas_->canCopy(); },
       .run = [](Shell& s, const Event&) { return s.copyCells(true); }},
      {.id = A::copy, .label = "Copy", .menu = &G::editMenu, .shortcut = {'C', kControl},
       .enabled = [](const Shell& s) { return s.mapCanvas_->canCopy(); },
       .run = [](Shell& s, const Event&) { return s.copyCells(false); }},
      {.id = A::paste, .label = "Paste", .menu = &G::editMenu, .shortcut = {'V', kControl},
       .enabled = [](const Shell& s) { return s.mapCanvas_->canPaste(); },
       .run = [](Shell& s, const Event&) { return s.paste(); }},

      // Tools window (the tool buttons and keys come from the tools' table).
      {.id = A::tileFlags, .label = "Tile Flags", .run = [](Shell& s, const Event&) { return s.tileFlagsChanged(); }},
      {.id = A::toggleLights, .label = "Lights",
       .run = [](Shell& s, const Event&) { return s.toggleWindow(s.g_.lightsWindow, s.lightsShown_); }},
      {.id = A::togglePivots, .label = "Pivots",
       .run = [](Shell& s, const Event&) { return s.toggleWindow(s.g_.pivotsWindow, s.pivotsShown_); }},
      {.id = A::toggleRender, .label = "Render Window",
       .run = [](Shell& s, const Event&) { return s.toggleWindow(s.g_.renderWindow, s.renderShown_); }},

      // The layer steps.
      {.id = A::layerTyped, .label = "Layer",
       .run = [](Shell& s, const Event&) {
         return s.layerChanged(map::layerFromText(s.tk_.text(s.g_.layerField), s.doc_.map()->depth));
       }},
      {.id = A::layerDown, .label = "Layer Down", .shortcut = {platform::kKeyPageDown},
       .run = [](Shell& s, const Event&) { return s.layerChanged(map::layerDown(s.currentLayer_)); }},
      {.id = A::layerUp, .label = "Layer Up", .shortcut = {platform::kKeyPageUp},
       .run = [](Shell& s, const Event&) {
         return s.layerChanged(map::layerUp(s.currentLayer_, s.doc_.map()->depth));
       }},

      // The map view and the stroke in progress.
      {.id = A::zoomReset, .label = "Zoom 1", .shortcut = {'0', kControl},
       .run = [](Shell& s, const Event&) { return s.zoomTo(1.0f); }},
      {.id = A::zoomIn, .label = "Zoom In", .shortcut = {platform::kKeyEqual, kControl},
       .alternate = {'+', kControl | kShift}, .run = [](Shell& s, const Event&) { return s.zoomStep(1); }},
      {.id = A::zoomOut, .label = "Zoom Out", .shortcut = {platform::kKeyMinus, kControl},
       .run = [](Shell& s, const Event&) { return s.zoomStep(-1); }},
      {.id = A::zoomToFit, .label = "Zoom to Fit", .menu = &G::viewMenu,
       .run = [](Shell& s, const Event&) { return s.zoomToFit(); }},

      // Layers: which are drawn (the menu's per-layer items follow these two).
      {.id = A::showOnlyCurrentLayer, .label = "Show Only Current Layer", .menu = &G::layersMenu,
       .shortcut = {'H', kControl | kShift}, .run = [](Shell& s, const Event&) { return s.showLayers(true); }},
      {.id = A::showAllLayers, .label = "Show All Layers", .menu = &G::layersMenu,
       .run = [](Shell& s, const Event&) { return s.showLayers(false); }},
      {.id = A::abandonStroke, .label = "Abandon Stroke", .shortcut = {platform::kKeyEscape},
       .run = [](Shell& s, const Event&) { return s.abandonStroke(); }},
      {.id = A::deleteSelected, .label = "Delete Selected", .shortcut = {platform::kKeyDelete},
       .run = [](Shell& s, const Event&) { return s.deleteSelected(); }},

      // Tiles window.
      {.id = A::loadTile, .label = "Load Tile.", .run = [](Shell& s, const Event&) { return s.loadTile(); }},
      {.id = A::scan, .label = "Scan Bmp", .run = [](Shell& s, const Event&) { return s.scan(); }},
      {.id = A::newSet, .label = "New Set.",
       .run = [](Shell& s, const Event&) {
         s.tilesets_->add();
         return After::step;
       }},
      {.id = A::deleteSet, .label = "Delete Set",
       .run = [](Shell& s, const Event&) { return s.tilesets_->removeSelected() ? After::step : After::skip; }},
      {.id = A::chooseTileset, .label = "Tileset",
       .run = [](Shell& s, const Event& e) { return s.chooseTileset(e.datum); }},

      // Render Lightmap window.
      {.id = A::render, .label = "Render", .shortcut = {'R', kControl},
       .run = [](Shell& s, const Event&) { return s.render(); }},
      {.id = A::togglePreview, .label = "Preview Lighting", .menu = &G::renderMenu, .shortcut = {'L', kControl},
       .run = [](Shell& s, const Event&) { return s.setPreview(!s.previewOn_); }},
      {.id = A::previewBox, .label = "Preview",
       .run = [](Shell& s, const Event&) { return s.setPreview(s.tk_.checked(s.g_.previewBox)); }},

      // Pivots and Lights windows: a user's change of a field goes into the active object at once.
      {.id = A::objectField, .label = "Object Field",
       .run = [](Shell& s, const Event& e) {
         s.objects_->fieldChanged(e.source);
         return After::step;
       }},
      {.id = A::browse, .label = "Browse",
       .run = [](Shell& s, const Event&) {
         s.objects_->browseLink();
         return After::step;
       }},
      {.id = A::selectRecord, .label = "Records",
       .run = [](Shell& s, const Event& e) { return s.selectRecord(e.datum); }},
      {.id = A::newRecord, .label = "New Record",
       .run = [](Shell& s, const Event&) {
         if (s.objects_->activePivot()) s.objects_->newRecord();
         return After::step;
       }},
      {.id = A::deleteRecord, .label = "Delete Record", .run = [](Shell& s, const Event&) { return s.deleteRecord(); }},
      {.id = A::pickColour, .label = "Pick",
       .run = [](Shell& s, const Event&) {
         if (s.objects_->activeLight()) s.objects_->pickColour();
         return After::step;
       }},

      // Window closes.
      {.id = A::closeMain, .label = "Close", .run = [](Shell& s, const Event&) { return s.closeMain(); }},
      {.id = A::hideRender, .label = "Hide Render Window",
       .run = [](Shell& s, const Event&) { return s.hideWindow(s.g_.renderWindow, s.renderShown_); }},
      {.id = A::hideLights, .label = "Hide Lights",
       .run = [](Shell& s, const Event&) { return s.hideWindow(s.g_.lightsWindow, s.lightsShown_); }},
      {.id = A::hidePivots, .label = "Hide Pivots",
       .run = [](Shell& s, const Event&) { return s.hideWindow(s.g_.pivotsWindow, s.pivotsShown_); }},
  };
  return kActions;
}

namespace {

constexpr Binding kGadgets[] = {
    {&G::newMapButton, A::newMap},
    {&G::loadButton, A::load},
    {&G::saveButton, A::save},
    {&G::saveAsButton, A::saveAs},
    {&G::exportButton, A::exportMap},
    {&G::layerField, A::layerTyped},
    {&G::layerDownButton, A::layerDown},
    {&G::layerUpButton, A::layerUp},
    {&G::tileShadowsBox, A::tileFlags},
    {&G::tileColliderBox, A::tileFlags},
    {&G::lightsToggle, A::toggleLights},
    {&G::pivotsToggle, A::togglePivots},
    {&G::renderToggle, A::toggleRender},
    {&G::tilesetTabs, A::chooseTileset},
    {&G::loadTileButton, A::loadTile},
    {&G::scanButton, A::scan},
    {&G::newSetButton, A::newSet},
    {&G::deleteSetButton, A::deleteSet},
    {&G::renderButton, A::render},
    {&G::previewBox, A::previewBox},
    {&G::linkField, A::objectField},
    {&G::browseButton, A::browse},
    {&G::recordsList, A::selectRecord},
    {&G::newRecordButton, A::newRecord},
    {&G::deleteRecordButton, A::deleteRecord},
    {&G::nameField, A::objectField},
    {&G::valueField, A::objectField},
    {&G::redField, A::objectField},
    {&G::greenField, A::objectField},
    {&G::blueField, A::objectField},
    {&G::pickButton, A::pickColour},
    {&G::lightShadowsBox, A::objectField},
    {&G::rangeField, A::objectField},
};

constexpr Binding kCloses[] = {
    {&G::mainWindow, A::closeMain},
    {&G::renderWindow, A::hideRender},
    {&G::lightsWindow, A::hideLights},
    {&G::pivotsWindow, A::hidePivots},
};

}  // namespace

std::span<const Binding> gadgetBindings() { return kGadgets; }
std::span<const Binding> closeBindings() { return kCloses; }

const Action* findAction(std::span<const Action> actions, ActionId id) {
  auto it = std::find_if(actions.begin(), actions.end(), [id](const Action& a) { return a.id == id; });
  return it == actions.end() ? nullptr : &*it;
}

const Action* findShortcut(std::span<const Action> actions, platform::Shortcut key) {
  if (!key) return nullptr;
  auto it = std::find_if(actions.begin(), actions.end(),
                         [key](const Action& a) { return a.shortcut == key || a.alternate == key; });
  return it == actions.end() ? nullptr : &*it;
}

}  // namespace vorlane::app
