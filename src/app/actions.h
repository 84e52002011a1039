#pragma once
// Every command the user can start, declared once in Shell::actions() (actions.cpp): its id,
// label, shortcut, handler and when it is enabled. Menus, gadgets, window closes and keys
// name a command by its id; the shell looks the row up and runs it.
#include <span>

#include "platform/toolkit.h"

namespace vorlane::app {

class Shell;
struct Gadgets;

enum class ActionId : int {
  none = 0,
  // Menu items: a menu item's tag is its command's id.
  addLight,
  addPivot,
  deleteHere,
  load,
  save,
  saveAs,
  exportMap,
  newMap,
  importMap,
  exportAs,
  undo,
  redo,
  // Gadgets and keys.
  scan,
  browse,
  selectRecord,
  deleteRecord,
  newRecord,
  render,
  togglePivots,
  toggleLights,
  toggleRender,
  pickColour,
  layerTyped,
  layerDown,
  layerUp,
  loadTile,
  newSet,
  deleteSet,
  chooseTileset,
  tileFlags,
  objectField,
  zoomReset,
  zoomIn,
  zoomOut,
  abandonStroke,
  togglePreview,
  previewBox,
  runScript,
  bakeMapFile,
  quit,
  zoomToFit,
  deleteSelected,
  showOnlyCurrentLayer,
  showAllLayers,
  copy,
  cut,
  paste,
  // Window closes.
  closeMain,
  hideRender,
  hideLights,
  hidePivots,
  count,  // not a command: new ids go above
};

constexpr int tagOf(ActionId id) { return static_cast<int>(id); }

// Whether the after-event step follows a command.
enum class After { step, skip };

struct Action {
  ActionId id;
  const char* label;                              // a menu item's text; a name for the others
  platform::Handle Gadgets::*menu = nullptr;      // the menu showing it, in table order
  platform::Shortcut shortcut{};                  // shown beside the menu item
  platform::Shortcut alternate{};                 // a second key, shown nowhere
  bool (*enabled)(const Shell& shell) = nullptr;  // none: always
  After (*run)(Shell& shell, const platform::Event& event) = nullptr;
};

// The row of this id, or null.
const Action* findAction(std::span<const Action> actions, ActionId id);
// The row whose shortcut or alternate is this key, or null.
const Action* findShortcut(std::span<const Action> actions, platform::Shortcut key);

// Which command a gadget's action or a window's close starts.
struct Binding {
  platform::Handle Gadgets::*gadget;
  ActionId id;
};
std::span<const Binding> gadgetBindings();
std::span<const Binding> closeBindings();

}  // namespace vorlane::app
