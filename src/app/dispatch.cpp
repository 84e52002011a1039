// Commands looked up: by a menu item's tag, a gadget, a window's close or a key.
#include "app/new_map_dialog.h"
#include "app/scan_dialog.h"
#include "app/shell.h"

#include <new>
#include <string>

namespace vorlane::app {

using platform::Event;

void Shell::buildDispatch() {
  const auto bind = [this](std::span<const Binding> bindings, auto& table) {
    for (const Binding& b : bindings) table[g_.*(b.gadget)] = findAction(actions(), b.id);
  };
  bind(gadgetBindings(), gadgetActions_);
  bind(closeBindings(), closeActions_);
}

// Whatever a command throws ends the command, never the editor with the user's work. Its
// open transactions roll back as the exception leaves them; a step it completed stays undoable.
Shell::After Shell::run(const Action* action, const Event& e) {
  if (!action || (action->enabled && !action->enabled(*this))) return After::step;
  std::string failure;
  try {
    return action->run(*this, e);
  } catch (const std::bad_alloc&) {
    failure = "there was not enough memory";
  } catch (const std::exception& thrown) {
    failure = thrown.what();
  }
  std::string label = action->label;
  if (label.ends_with("...")) label.resize(label.size() - 3);
  tk_.messageBox(label + " stopped: " + failure, platform::MessageKind::Error);
  return After::step;
}

// The active tool's button shows pressed and the Tools window's status bar names it.
Shell::After Shell::chooseTool(std::int32_t tool) {
  currentTool_ = tool;
  for (const ToolRow& row : toolRows()) tk_.setChecked(g_.*(row.button), row.tool == tool);
  tk_.setStatusText(g_.toolsWindow, map::toolName(tool));
  return After::step;
}

Shell::After Shell::deleteSelected() {
  edit::ConstLightPtr light = lastPickedLight_ ? objects_->activeLight() : nullptr;
  edit::ConstPivotPtr pivot = lastPickedLight_ ? nullptr : objects_->activePivot();
  if (!light && !pivot) return After::step;
  objects_->endDrag();
  objects_->removeObjects(std::move(light), std::move(pivot));
  return After::step;
}

// The new tileset and the tiles cut into it are one step.
Shell::After Shell::scan() {
  runScanDialog(tk_, g_.mainWindow, [this](std::vector<tiles::TilePtr> pieces) { tilesets_->add(std::move(pieces), "Scan"); });
  return After::step;
}

Shell::After Shell::deleteRecord() {
  const auto& pivot = objects_->activePivot();
  if (!pivot || tk_.selectedItem(g_.recordsList) < 0 || pivot->recordCount <= 0) return After::skip;
  objects_->deleteRecord();
  return After::step;
}

Shell::After Shell::selectRecord(int index) {
  objects_->selectRecord(index);
  return After::step;
}

Shell::After Shell::chooseTileset(int index) {
  tilesets_->choose(index);
  return After::step;
}

// A modified document is given up only once asked: Save goes on only once the project is
// written, Discard goes on, Cancel (or closing the box) keeps everything as it was.
bool Shell::mayReplaceDocument(std::string_view doing) {
  if (!doc_.modified()) return true;
  const std::string& name = doc_.projectName();
  const int answer =
      tk_.question("Save changes to " + (name.empty() ? std::string(kUntitled) : name) + " before " + std::string(doing) + "?",
                   {kSaveButton, kDiscardButton, kCancelButton});
  return answer == 1 || (answer == 0 && saveProject(false));
}

// An unmodified document ends the program at once; a modified one asks first.
Shell::After Shell::closeMain() {
  if (!mayReplaceDocument("closing")) return After::step;
  finished_ = true;
  return After::skip;
}

Shell::After Shell::hideWindow(platform::Handle window, bool& shown) {
  tk_.hide(window);
  shown = false;
  return After::step;
}

// The new map is a document of its own: it has no file yet.
Shell::After Shell::newMap() {
  if (!mayReplaceDocument("making a new map")) return After::step;
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
    endGestures();
    doc_.replace("New Map", {std::move(fresh), {}, std::string()});
    return true;
  });
  return After::step;
}

}  // namespace vorlane::app
