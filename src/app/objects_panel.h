#pragma once
// The Lights and Pivots windows: whether each is shown, and their gadgets' commands on the
// object editor, which places, picks, drags and edits the map's lights and pivots.
#include "app/context.h"
#include "objects/object_editor.h"

namespace vorlane::app {

class ObjectsPanel {
 public:
  explicit ObjectsPanel(EditorContext& ctx);

  objects::ObjectEditor& editor() { return editor_; }
  const map::LightPtr& activeLight() const { return editor_.activeLight(); }
  const map::PivotPtr& activePivot() const { return editor_.activePivot(); }
  const map::RecordPtr& activeRecord() const { return editor_.activeRecord(); }
  bool lightsShown() const { return lightsShown_; }
  bool pivotsShown() const { return pivotsShown_; }

  After toggleLights() { return toggleWindow(ctx_, ctx_.g.lightsWindow, lightsShown_); }
  After togglePivots() { return toggleWindow(ctx_, ctx_.g.pivotsWindow, pivotsShown_); }
  After hideLights() { return hideWindow(ctx_, ctx_.g.lightsWindow, lightsShown_); }
  After hidePivots() { return hideWindow(ctx_, ctx_.g.pivotsWindow, pivotsShown_); }

  // A user's change of a field goes into the active object at once.
  After fieldChanged(platform::Handle gadget);
  After browse();
  After selectRecord(int index);
  After newRecord();
  After deleteRecord();
  After pickColour();

 private:
  EditorContext& ctx_;
  objects::ObjectEditor editor_;
  bool lightsShown_ = false, pivotsShown_ = false;
};

}  // namespace vorlane::app
