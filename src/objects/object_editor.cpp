#include "objects/object_editor.h"

#include <algorithm>

#include "base/console.h"
#include "base/convert.h"
#include "map/view.h"

namespace vorlane::objects {

using base::floatToInt;
using base::floatToText;
using base::intToText;
using base::textToInt;

namespace {

constexpr const char* kRecordTooltip = "Data Element";

template <typename Ptr>
bool removeFrom(std::vector<Ptr>& list, const Ptr& object) {
  auto it = std::find(list.begin(), list.end(), object);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

// Whether the record is one of the pivot's records in use.
bool holds(const map::Pivot& pivot, const map::RecordPtr& rec) {
  auto end = pivot.records.begin() + std::clamp(pivot.recordCount, 0, map::kMaxRecords);
  return rec && std::find(pivot.records.begin(), end, rec) != end;
}

}  // namespace

void ObjectEditor::addLightAt(map::Map& map, float wx, float wy, std::int32_t layer) {
  map.addLight(map::Light::createLight(wx, wy, static_cast<float>(layer), 255, 255, 255));
}

void ObjectEditor::addPivotAt(map::Map& map, float wx, float wy, std::int32_t layer) {
  map.addPivot(map::Pivot::createPivot(floatToInt(wx), floatToInt(wy), layer));
}

void ObjectEditor::deleteAt(map::Map& map, const platform::Surface& surface, std::int32_t x, std::int32_t y) {
  base::consoleLine("Deleted called.");
  const float px = static_cast<float>(x), py = static_cast<float>(y);
  map::LightPtr light = map::pickLight(map, surface, px, py);
  map::PivotPtr pivot = map::pickPivot(map, surface, px, py);
  if (light && removeFrom(map.lights, light) && light == activeLight_) activeLight_.reset();
  if (pivot && removeFrom(map.pivots, pivot)) {
    // A record of a removed pivot must never receive the fields again.
    if (activeRecord_ && holds(*pivot, activeRecord_)) activeRecord_.reset();
    if (pivot == activePivot_) {
      activePivot_.reset();
      activeRecord_.reset();
    }
  }
}

void ObjectEditor::selectLight(const map::LightPtr& light) {
  if (!light) return;
  if (activeLight_) activeLight_->selected = 0;
  tk_.setText(g_.redField, floatToText(light->red));
  tk_.setText(g_.greenField, floatToText(light->green));
  tk_.setText(g_.blueField, floatToText(light->blue));
  tk_.setText(g_.rangeField, floatToText(light->range));
  tk_.setChecked(g_.lightShadowsBox, light->castShadows != 0);
  activeLight_ = light;
  light->selected = 1;
}

void ObjectEditor::selectPivot(const map::PivotPtr& pivot) {
  if (!pivot) return;
  if (activePivot_) activePivot_->selected = 0;
  tk_.setText(g_.linkField, pivot->link);
  tk_.clearItems(g_.recordsList);
  for (std::int32_t i = 0; i < pivot->recordCount; ++i)
    tk_.addItem(g_.recordsList, pivot->records[static_cast<std::size_t>(i)]->name, kRecordTooltip);
  tk_.setText(g_.valueField, "");
  activePivot_ = pivot;
  pivot->selected = 1;
  // The Value field was just emptied: the next synchronisation would write it into the
  // record (of this or the previous pivot), so no record stays active.
  activeRecord_.reset();
}

// A cancelled requester leaves the fields, and so the light, as they were.
void ObjectEditor::pickColour() {
  if (!activeLight_) return;
  if (!tk_.colourRequester(floatToInt(activeLight_->red), floatToInt(activeLight_->green),
                           floatToInt(activeLight_->blue)))
    return;
  const platform::Colour c = tk_.lastColour();
  tk_.setText(g_.redField, intToText(c.red));
  tk_.setText(g_.greenField, intToText(c.green));
  tk_.setText(g_.blueField, intToText(c.blue));
}

void ObjectEditor::browseLink() {
  const std::string path = tk_.fileRequester("Select file to link pivot to", "", platform::FileMode::Open, "");
  if (!path.empty()) tk_.setText(g_.linkField, path);
}

void ObjectEditor::selectRecord(int index) {
  if (!activePivot_ || index < 0 || index >= activePivot_->recordCount) return;
  activeRecord_ = activePivot_->records[static_cast<std::size_t>(index)];
  tk_.setText(g_.nameField, activeRecord_->name);
  tk_.setText(g_.valueField, activeRecord_->value);
}

void ObjectEditor::newRecord() {
  if (!activePivot_) return;
  if (activePivot_->recordCount >= map::kMaxRecords) {
    tk_.messageBox(map::kRecordsFull, platform::MessageKind::Information);
    return;
  }
  std::string name = "Data " + intToText(static_cast<std::int64_t>(activePivot_->recordCount) + 1);
  if (!activePivot_->addRecord(name, "Null")) return;
  activeRecord_ = activePivot_->records[static_cast<std::size_t>(activePivot_->recordCount - 1)];
  tk_.setText(g_.valueField, "Null");
  tk_.setText(g_.nameField, name);
  tk_.addItem(g_.recordsList, name, kRecordTooltip);
}

void ObjectEditor::deleteRecord() {
  if (!activePivot_) return;
  map::Pivot& pivot = *activePivot_;
  const int i = tk_.selectedItem(g_.recordsList);
  if (i < 0 || pivot.recordCount <= 0 || i >= pivot.recordCount) return;
  activeRecord_.reset();
  tk_.removeItem(g_.recordsList, i);
  if (pivot.recordCount == 1) {
    pivot.recordCount = 0;
  } else {
    for (std::int32_t j = i + 1; j < pivot.recordCount; ++j)
      pivot.records[static_cast<std::size_t>(j - 1)] = pivot.records[static_cast<std::size_t>(j)];
    --pivot.recordCount;
  }
  const int next = i == 0 ? tk_.itemCount(g_.recordsList) - 1 : i - 1;
  tk_.selectItem(g_.recordsList, next);
  // The highlighted record is the one the fields edit; with none left they show nothing.
  if (next >= 0) {
    selectRecord(next);
  } else {
    tk_.setText(g_.nameField, "");
    tk_.setText(g_.valueField, "");
  }
}

void ObjectEditor::syncFields() {
  if (activePivot_) activePivot_->link = tk_.text(g_.linkField);
  if (activeLight_) {
    activeLight_->red = static_cast<float>(textToInt(tk_.text(g_.redField)));
    activeLight_->green = static_cast<float>(textToInt(tk_.text(g_.greenField)));
    activeLight_->blue = static_cast<float>(textToInt(tk_.text(g_.blueField)));
    activeLight_->castShadows = tk_.checked(g_.lightShadowsBox) ? 1 : 0;
    activeLight_->range = static_cast<float>(textToInt(tk_.text(g_.rangeField)));
  }
  // Never write through a record that no longer belongs to the active pivot.
  if (activeRecord_ && !(activePivot_ && holds(*activePivot_, activeRecord_))) activeRecord_.reset();
  if (!activeRecord_) return;
  activeRecord_->name = tk_.text(g_.nameField);
  activeRecord_->value = tk_.text(g_.valueField);
  const int selected = tk_.selectedItem(g_.recordsList);
  tk_.clearItems(g_.recordsList);
  for (std::int32_t i = 0; i < activePivot_->recordCount; ++i)
    tk_.addItem(g_.recordsList, activePivot_->records[static_cast<std::size_t>(i)]->name, kRecordTooltip);
  tk_.selectItem(g_.recordsList, selected);
}

void ObjectEditor::clear() {
  activeLight_.reset();
  activePivot_.reset();
  activeRecord_.reset();
}

}  // namespace vorlane::objects
