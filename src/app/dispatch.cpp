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
  mapCanvas_->chooseTool(tool);
  const auto rows = map::toolTable();
  for (std::size_t i = 0; i < rows.size(); ++i) tk_.setChecked(g_.toolButtons[i], rows[i].id == tool);
  tk_.setStatusText(g_.toolsWindow, map::toolName(tool));
  return After::step;
}

std::optional<std::int32_t> Shell::toolOf(const Event& e) const {
  const auto rows = map::toolTable();
  for (std::size_t i = 0; i < rows.size(); ++i)
    if ((e.kind == platform::EventKind::GadgetAction && e.source == g_.toolButtons[i]) ||
        (e.kind == platform::EventKind::KeyDown && platform::shortcutOf(e) == rows[i].key))
      return rows[i].id;
  return std::nullopt;
}

Shell::After Shell::copyCells(bool cut) {
  if (cut)
    mapCanvas_->cut();
  else
    mapCanvas_->copy();
  return After::step;
}

Shell::After Shell::paste() {
  mapCanvas_->paste();
  return After::step;
}

Shell::After Shell::deleteSelected() {
  if (mapCanvas_->deleteSelection()) return After::step;
  const bool lastPickedLight = mapCanvas_->lastPickedLight();
  map::LightPtr light = lastPickedLight ? objects_->activeLight() : nullptr;
  map::PivotPtr pivot = lastPickedLight ? nullptr : objects_->activePivot();
  if (!light && !pivot) return After::step;
  objects_->endDrag();
  objects_->removeObjects(std::move(light), std::move(pivot));
  return After::step;
}

}  // namespace vorlane::app
