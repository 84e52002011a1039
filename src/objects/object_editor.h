#pragma once
// Placing, selecting, deleting and editing lights, pivots and records through the map
// canvas and the "Lights" and "Pivots" windows. Keeps the active light, pivot and record,
// and never lets them point at an object that was removed or belongs to another pivot.
#include <string>

#include "map/map.h"
#include "platform/toolkit.h"

namespace vorlane::objects {

// The gadgets of the two object windows, made by the editor shell.
struct ObjectGadgets {
  platform::Handle redField, greenField, blueField, lightShadowsBox, rangeField;
  platform::Handle linkField, recordsList, nameField, valueField;
};

class ObjectEditor {
 public:
  ObjectEditor(platform::Toolkit& toolkit, const ObjectGadgets& gadgets) : tk_(toolkit), g_(gadgets) {}

  // "Add Light here" / "Add pivot here" at a map point, on the current layer.
  void addLightAt(map::Map& map, float wx, float wy, std::int32_t layer);
  void addPivotAt(map::Map& map, float wx, float wy, std::int32_t layer);
  // The context "Delete": removes the light and the pivot under the canvas point (both when both are hit).
  void deleteAt(map::Map& map, const platform::Surface& surface, std::int32_t x, std::int32_t y);

  // Selection into the windows; the previous object's `selected` is cleared.
  void selectLight(const map::LightPtr& light);
  void selectPivot(const map::PivotPtr& pivot);

  void pickColour();          // "Pick"
  void browseLink();          // "Browse"
  void selectRecord(int index);  // the records list's action
  void newRecord();           // "New"
  void deleteRecord();        // the records "Delete"

  // The after-event copy of the windows' fields into the active objects.
  void syncFields();
  // The map was replaced: nothing is active any more.
  void clear();

  const map::LightPtr& activeLight() const { return activeLight_; }
  const map::PivotPtr& activePivot() const { return activePivot_; }
  const map::RecordPtr& activeRecord() const { return activeRecord_; }

 private:
  platform::Toolkit& tk_;
  ObjectGadgets g_;
  map::LightPtr activeLight_;
  map::PivotPtr activePivot_;
  map::RecordPtr activeRecord_;
};

}  // namespace vorlane::objects
