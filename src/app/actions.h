#pragma once
// Every command the user can start, declared once in actions() (actions.cpp): its id,
// label, shortcut, handler and when it is enabled. Menus, gadgets, window closes and keys
// name a command by its id; the shell looks the row up and runs it.
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/toolkit.h"

namespace vorlane::app {

class Shell;
struct Gadgets;

// Whether the after-event step follows a command.
enum class After { step, skip };

struct Action {
  const char* id;                                 // unique: what gadgets, closes and tests name it by
  const char* label;                              // a menu item's text; a name for the others
  platform::Handle Gadgets::*menu = nullptr;      // the menu showing it, in table order
  platform::Shortcut shortcut{};                  // shown beside the menu item
  platform::Shortcut alternate{};                 // a second key, shown nowhere
  bool (*enabled)(const Shell& shell) = nullptr;  // none: always
  After (*run)(Shell& shell, const platform::Event& event) = nullptr;
};

// Every command, in menu order. The handlers reach the controllers through the shell.
std::span<const Action> actions();

// The row of this id, or null.
const Action* findAction(std::span<const Action> actions, std::string_view id);
// The row of this id; an id no row has is a fault of the tables (std::logic_error).
const Action& actionNamed(std::string_view id);
// The row whose shortcut or alternate is this key, or null.
const Action* findShortcut(std::span<const Action> actions, platform::Shortcut key);

// A menu item's tag: its row's place in the table, from 1; and the row of a tag, or null.
int tagOf(const Action& action);
inline int tagOf(std::string_view id) { return tagOf(actionNamed(id)); }
const Action* actionOfTag(int tag);
// The Layers menu's item of layer L (from 0) has this tag plus L.
inline constexpr int kLayerItemTag = 1 << 16;

// Which command a gadget's action or a window's close starts.
struct Binding {
  platform::Handle Gadgets::*gadget;
  const char* id;
};
std::span<const Binding> gadgetBindings();
std::span<const Binding> closeBindings();

}  // namespace vorlane::app
