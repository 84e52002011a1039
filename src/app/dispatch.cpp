// Commands looked up: by a menu item's tag, a gadget, a window's close or a key.
#include "app/shell.h"

#include <new>
#include <string>

namespace vorlane::app {

using platform::Event;

void Shell::buildDispatch() {
  const auto bind = [this](std::span<const Binding> bindings, auto& table) {
    for (const Binding& b : bindings) table[g_.*(b.gadget)] = &actionNamed(b.id);
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

}  // namespace vorlane::app
