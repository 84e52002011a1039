#pragma once
// Placing, selecting, deleting and editing lights, pivots and records through the map
// canvas and the "Lights" and "Pivots" windows. Every edit is a command of the document;
// a user's change of a field is one command, typing into one field merges into one step.
#include <memory>
#include <string>

#include "edit/commands.h"
#include "edit/document.h"
#include "map/map.h"
#include "map/view.h"
#include "platform/toolkit.h"

namespace vorlane::objects {

// The gadgets of the two object windows, made by the editor shell.
struct ObjectGadgets {
  platform::Handle redField, greenField, blueField, lightShadowsBox, rangeField;
  platform::Handle linkField, recordsList, nameField, valueField;
};

class ObjectEditor {
 public:
  // The windows follow the document: whatever changes its objects or the selection, they
  // show the active objects (empty fields when there is none).
  ObjectEditor(platform::Toolkit& toolkit, const ObjectGadgets& gadgets, edit::Document& doc);

  // "Add Light here" / "Add pivot here" at a point of the current map, on the current layer.
  void addLightAt(float wx, float wy, std::int32_t layer);
  void addPivotAt(float wx, float wy, std::int32_t layer);
  // The context "Delete": removes the light and the pivot under the canvas point (both when both are hit).
  void deleteAt(const map::ViewState& view, const platform::Surface& surface, std::int32_t x, std::int32_t y);
  // Removes these objects of the current map, as one step (the Delete key's).
  void removeObjects(map::LightPtr light, map::PivotPtr pivot);

  // Selection into the windows; the previous object's `selected` is cleared.
  void selectLight(const map::LightPtr& light);
  void selectPivot(const map::PivotPtr& pivot);

  // Dragging what a press selected: `at` is the pointer's map point at the press, then at
  // each move. The objects follow by whole map pixels, each move a command of one open
  // transaction; ending the drag makes it one step ("Move Light", "Move Pivot", "Move" for
  // both), and no step when they are back where they were.
  void beginDrag(map::LightPtr light, map::PivotPtr pivot, map::MapPoint at);
  void dragTo(map::MapPoint at);
  void endDrag();
  // Puts the dragged objects back where the drag found them, leaving no step (Escape).
  void abandonDrag();
  bool dragging() const { return drag_.light || drag_.pivot; }

  void pickColour();             // "Pick"
  void browseLink();             // "Browse"
  void selectRecord(int index);  // the records list's action
  void newRecord();              // "New"
  void deleteRecord();           // the records "Delete"

  // The user changed one of the windows' fields or the light's box: what it now shows goes
  // into the active object. False for a gadget that is not one of them.
  bool fieldChanged(platform::Handle gadget);
  // The windows show the active objects as the document holds them; a field that already
  // shows its object's value (as typed) is left alone, so typing is never overwritten.
  void showActive();

  const map::LightPtr& activeLight() const { return doc_.active().light; }
  const map::PivotPtr& activePivot() const { return doc_.active().pivot; }
  const map::RecordPtr& activeRecord() const { return doc_.active().record; }

 private:
  // Which control a light change came from; changes from one control merge.
  enum LightField { kRed, kGreen, kBlue, kRange, kShadows, kPick, kShown };
  // The light takes what its fields show (as whole numbers), as one command if that differs.
  void applyLightFields(LightField from);
  void applyLink();
  void applyRecordText(bool name);
  void showLight(const map::Light& light);
  void listRecords(const map::Pivot& pivot);
  void setActive(edit::Active active) { doc_.setActive(std::move(active)); }

  void showText(platform::Handle field, const std::string& text);
  void showNumber(platform::Handle field, float value);

  platform::Toolkit& tk_;
  ObjectGadgets g_;
  edit::Document& doc_;
  struct Drag {
    map::LightPtr light;
    map::PivotPtr pivot;
    map::MapPoint start{0, 0};
    edit::Position lightFrom, pivotFrom;
    std::int32_t dx = 0, dy = 0;
    std::unique_ptr<edit::Transaction> moves;  // open from the first move on
  } drag_;
  edit::Document::Subscription shown_;
};

}  // namespace vorlane::objects
