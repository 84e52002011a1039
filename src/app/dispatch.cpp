// The dispatch tables: which command each menu tag, gadget and window close runs.
#include "app/new_map_dialog.h"
#include "app/scan_dialog.h"
#include "app/shell.h"
#include "map/tools.h"

namespace vorlane::app {

using platform::Event;

void Shell::buildDispatch() {
  // A command that never ends early.
  const auto always = [](auto command) {
    return [command](const Event&) {
      command();
      return After::step;
    };
  };

  menuTags_ = {
      {kNewMapTag, [this](const Event&) { return newMap(); }},
      {kLoadTag, [this](const Event&) { return loadProject(); }},
      {kSaveTag, always([this] { saveProject(false); })},
      {kSaveAsTag, always([this] { saveProject(true); })},
      {kExportTag, [this](const Event&) { return exportMap(); }},
      {kImportTag, [this](const Event&) { return importMap(); }},
      {kExportAsTag, [this](const Event&) { return exportAs(); }},
      {kAddLightTag, [this](const Event&) { return contextAdd(true); }},
      {kAddPivotTag, [this](const Event&) { return contextAdd(false); }},
      {kDeleteTag, [this](const Event&) { return contextDelete(); }},
      {kUndoTag, [this](const Event&) { return undo(false); }},
      {kRedoTag, [this](const Event&) { return undo(true); }},
  };

  actions_ = {
      {g_.newMapButton, menuTags_.at(kNewMapTag)},
      {g_.loadButton, menuTags_.at(kLoadTag)},
      {g_.saveButton, menuTags_.at(kSaveTag)},
      {g_.saveAsButton, menuTags_.at(kSaveAsTag)},
      {g_.exportButton, menuTags_.at(kExportTag)},
      {g_.scanButton, always([this] {
         // The new tileset and the tiles cut into it are one step.
         edit::Transaction scan(doc_, "Scan");
         runScanDialog(tk_, g_.mainWindow, [this] { return tilesets_->add(); });
         scan.commit();
       })},
      {g_.browseButton, always([this] { objects_->browseLink(); })},
      {g_.recordsList, [this](const Event& e) { return selectRecord(e.datum); }},
      {g_.deleteRecordButton,
       [this](const Event&) {
         const auto& pivot = objects_->activePivot();
         if (!pivot || tk_.selectedItem(g_.recordsList) < 0 || pivot->recordCount <= 0) return After::skip;
         objects_->deleteRecord();
         return After::step;
       }},
      {g_.newRecordButton, always([this] { if (objects_->activePivot()) objects_->newRecord(); })},
      {g_.renderButton, [this](const Event&) { return render(); }},
      {g_.pivotsToggle, always([this] { toggleWindow(g_.pivotsWindow, pivotsShown_); })},
      {g_.lightsToggle, always([this] { toggleWindow(g_.lightsWindow, lightsShown_); })},
      {g_.renderToggle, always([this] { toggleWindow(g_.renderWindow, renderShown_); })},
      {g_.pickButton, always([this] { if (objects_->activeLight()) objects_->pickColour(); })},
      {g_.plotButton, always([this] { currentTool_ = map::kPlot; })},
      {g_.lineButton, always([this] { currentTool_ = map::kLine; })},
      {g_.rectButton, always([this] { currentTool_ = map::kRect; })},
      {g_.blockButton, always([this] { currentTool_ = map::kBlock; })},
      {g_.fillButton, always([this] { currentTool_ = map::kFill; })},
      {g_.layerField,
       [this](const Event&) { return layerChanged(map::layerFromText(tk_.text(g_.layerField), doc_.map()->depth)); }},
      {g_.layerDownButton, [this](const Event&) { return layerChanged(map::layerDown(currentLayer_)); }},
      {g_.layerUpButton, [this](const Event&) { return layerChanged(map::layerUp(currentLayer_, doc_.map()->depth)); }},
      {g_.loadTileButton, [this](const Event&) { return loadTile(); }},
      {g_.newSetButton, always([this] { tilesets_->add(); })},
      {g_.deleteSetButton, [this](const Event&) { return tilesets_->removeSelected() ? After::step : After::skip; }},
      {g_.tilesetTabs, [this](const Event& e) { return chooseTileset(e.datum); }},
      {g_.tileShadowsBox, [this](const Event&) { return tileFlagsChanged(); }},
      {g_.tileColliderBox, [this](const Event&) { return tileFlagsChanged(); }},
  };
  // A user's change of a field of the object windows goes into the active object at once.
  for (platform::Handle field : {g_.redField, g_.greenField, g_.blueField, g_.rangeField, g_.lightShadowsBox,
                                 g_.linkField, g_.nameField, g_.valueField})
    actions_[field] = always([this, field] { objects_->fieldChanged(field); });

  using platform::Shortcut;
  keys_ = {
      {Shortcut{'P'}, actions_.at(g_.plotButton)},
      {Shortcut{'L'}, actions_.at(g_.lineButton)},
      {Shortcut{'R'}, actions_.at(g_.rectButton)},
      {Shortcut{'B'}, actions_.at(g_.blockButton)},
      {Shortcut{'F'}, actions_.at(g_.fillButton)},
      {Shortcut{platform::kKeyPageUp}, actions_.at(g_.layerUpButton)},
      {Shortcut{platform::kKeyPageDown}, actions_.at(g_.layerDownButton)},
      // The Edit menu's Redo is Ctrl+Shift+Z; Ctrl+Y is the other habit.
      {Shortcut{'Y', platform::kControl}, menuTags_.at(kRedoTag)},
  };

  closes_ = {
      {g_.mainWindow, [this](const Event&) { return closeMain(); }},
      {g_.renderWindow, always([this] { hideWindow(g_.renderWindow, renderShown_); })},
      {g_.lightsWindow, always([this] { hideWindow(g_.lightsWindow, lightsShown_); })},
      {g_.pivotsWindow, always([this] { hideWindow(g_.pivotsWindow, pivotsShown_); })},
  };
}

Shell::After Shell::selectRecord(int index) {
  objects_->selectRecord(index);
  return After::step;
}

Shell::After Shell::chooseTileset(int index) {
  tilesets_->choose(index);
  return After::step;
}

// An unmodified document ends the program at once. A modified one asks first; Save ends
// it only once the project is written, Cancel keeps editing.
Shell::After Shell::closeMain() {
  if (doc_.modified()) {
    const std::string& name = doc_.projectName();
    const int answer = tk_.question("Save changes to " + (name.empty() ? std::string(kUntitled) : name) + " before closing?",
                                    {kSaveButton, kDiscardButton, kCancelButton});
    if (answer == 0 && !saveProject(false)) return After::step;
    if (answer != 0 && answer != 1) return After::step;
  }
  finished_ = true;
  return After::skip;
}

void Shell::hideWindow(platform::Handle window, bool& shown) {
  tk_.hide(window);
  shown = false;
}

Shell::After Shell::newMap() {
  runNewMapDialog(tk_, g_.mainWindow, [this](const MapSize& size) {
    map::MapPtr fresh;
    try {
      fresh = map::Map::create(size.width, size.height, size.depth, size.tileWidth, size.tileHeight);
    } catch (const std::length_error&) {
    } catch (const std::bad_alloc&) {
    }
    // A size beyond memory keeps the map being edited, and the dialog with what was typed.
    if (!fresh) {
      tk_.messageBox(kMapTooLarge, platform::MessageKind::Error);
      return false;
    }
    replaceMap("New Map", std::move(fresh));
    return true;
  });
  return After::step;
}

}  // namespace vorlane::app
