#include "objects/object_editor.h"

#include <algorithm>
#include <utility>

#include "base/console.h"
#include "base/convert.h"
#include "edit/commands.h"
#include "map/view.h"

namespace vorlane::objects {

using base::floatToInt;
using base::floatToText;
using base::intToText;
using base::textToInt;

namespace {

constexpr const char* kRecordTooltip = "Data Element";

}  // namespace

void ObjectEditor::addLightAt(float wx, float wy, std::int32_t layer) {
  doc_.push(edit::addLight(doc_.map(), map::Light::createLight(wx, wy, static_cast<float>(layer), 255, 255, 255)));
}

void ObjectEditor::addPivotAt(float wx, float wy, std::int32_t layer) {
  doc_.push(edit::addPivot(doc_.map(), map::Pivot::createPivot(floatToInt(wx), floatToInt(wy), layer)));
}

void ObjectEditor::deleteAt(const platform::Surface& surface, std::int32_t x, std::int32_t y) {
  base::consoleLine("Deleted called.");
  const float px = static_cast<float>(x), py = static_cast<float>(y);
  map::LightPtr light = map::pickLight(*doc_.map(), surface, px, py);
  map::PivotPtr pivot = map::pickPivot(*doc_.map(), surface, px, py);
  removeObjects(std::move(light), std::move(pivot));
}

void ObjectEditor::removeObjects(map::LightPtr light, map::PivotPtr pivot) {
  const auto& lights = doc_.map()->lights;
  const auto& pivots = doc_.map()->pivots;
  if (light && std::find(lights.begin(), lights.end(), light) == lights.end()) light = nullptr;
  if (pivot && std::find(pivots.begin(), pivots.end(), pivot) == pivots.end()) pivot = nullptr;
  if (light || pivot) doc_.push(edit::removeObjects(doc_.map(), std::move(light), std::move(pivot)));
}

void ObjectEditor::showLight(const map::Light& light) {
  tk_.setText(g_.redField, floatToText(light.red));
  tk_.setText(g_.greenField, floatToText(light.green));
  tk_.setText(g_.blueField, floatToText(light.blue));
  tk_.setText(g_.rangeField, floatToText(light.range));
  tk_.setChecked(g_.lightShadowsBox, light.castShadows != 0);
}

void ObjectEditor::listRecords(const map::Pivot& pivot) {
  tk_.clearItems(g_.recordsList);
  for (std::int32_t i = 0; i < pivot.recordCount; ++i)
    tk_.addItem(g_.recordsList, pivot.records[static_cast<std::size_t>(i)]->name, kRecordTooltip);
}

void ObjectEditor::selectLight(const map::LightPtr& light) {
  if (!light) return;
  edit::Active a = doc_.active();
  if (a.light) a.light->selected = 0;
  showLight(*light);
  a.light = light;
  light->selected = 1;
  setActive(std::move(a));
  // The light holds what its fields now show: whole numbers, a box of 0 or 1.
  applyLightFields(kShown);
}

void ObjectEditor::selectPivot(const map::PivotPtr& pivot) {
  if (!pivot) return;
  edit::Active a = doc_.active();
  if (a.pivot) a.pivot->selected = 0;
  tk_.setText(g_.linkField, pivot->link);
  listRecords(*pivot);
  tk_.setText(g_.valueField, "");
  a.pivot = pivot;
  pivot->selected = 1;
  // The Value field was just emptied: no record of this or the previous pivot may take it.
  a.record.reset();
  setActive(std::move(a));
  applyLink();
}

void ObjectEditor::beginDrag(map::LightPtr light, map::PivotPtr pivot, map::MapPoint at) {
  drag_ = {};
  if (light) drag_.lightFrom = {light->x, light->y};
  if (pivot) drag_.pivotFrom = {pivot->x, pivot->y};
  drag_.light = std::move(light);
  drag_.pivot = std::move(pivot);
  drag_.start = at;
}

// Moves are working data until the drag ends: the views and the preview follow the
// document's revision.
void ObjectEditor::dragTo(map::MapPoint at) {
  if (!dragging()) return;
  const std::int32_t dx = floatToInt(at.x - drag_.start.x), dy = floatToInt(at.y - drag_.start.y);
  if (dx == drag_.dx && dy == drag_.dy) return;
  drag_.dx = dx;
  drag_.dy = dy;
  const auto place = [&](auto& object, edit::Position from) {
    object->x = from.x + static_cast<float>(dx);
    object->y = from.y + static_cast<float>(dy);
  };
  if (drag_.light) place(drag_.light, drag_.lightFrom);
  if (drag_.pivot) place(drag_.pivot, drag_.pivotFrom);
  doc_.touch();
}

void ObjectEditor::abandonDrag() {
  dragTo(drag_.start);
  drag_ = {};
}

void ObjectEditor::endDrag() {
  Drag d = std::exchange(drag_, {});
  if (d.dx == 0 && d.dy == 0) return;
  edit::Transaction move(doc_, d.light && d.pivot ? "Move" : d.light ? "Move Light" : "Move Pivot");
  if (d.light) doc_.push(edit::moveLight(d.light, d.lightFrom, {d.light->x, d.light->y}));
  if (d.pivot) doc_.push(edit::movePivot(d.pivot, d.pivotFrom, {d.pivot->x, d.pivot->y}));
  move.commit();
}

// A cancelled requester leaves the fields, and so the light, as they were.
void ObjectEditor::pickColour() {
  const map::LightPtr& light = activeLight();
  if (!light) return;
  if (!tk_.colourRequester(floatToInt(light->red), floatToInt(light->green), floatToInt(light->blue))) return;
  const platform::Colour c = tk_.lastColour();
  tk_.setText(g_.redField, intToText(c.red));
  tk_.setText(g_.greenField, intToText(c.green));
  tk_.setText(g_.blueField, intToText(c.blue));
  applyLightFields(kPick);
}

void ObjectEditor::browseLink() {
  const std::string path = tk_.fileRequester("Select file to link pivot to", "", platform::FileMode::Open, "");
  if (path.empty()) return;
  tk_.setText(g_.linkField, path);
  applyLink();
}

void ObjectEditor::selectRecord(int index) {
  const map::PivotPtr& pivot = activePivot();
  if (!pivot || index < 0 || index >= pivot->recordCount) return;
  edit::Active a = doc_.active();
  a.record = pivot->records[static_cast<std::size_t>(index)];
  tk_.setText(g_.nameField, a.record->name);
  tk_.setText(g_.valueField, a.record->value);
  setActive(std::move(a));
}

void ObjectEditor::newRecord() {
  const map::PivotPtr pivot = activePivot();
  if (!pivot) return;
  if (pivot->recordCount >= map::kMaxRecords) {
    tk_.messageBox(map::kRecordsFull, platform::MessageKind::Information);
    return;
  }
  std::string name = "Data " + intToText(static_cast<std::int64_t>(pivot->recordCount) + 1);
  doc_.push(edit::newRecord(pivot, name, "Null"));
  tk_.setText(g_.valueField, "Null");
  tk_.setText(g_.nameField, name);
  tk_.addItem(g_.recordsList, name, kRecordTooltip);
}

void ObjectEditor::deleteRecord() {
  const map::PivotPtr pivot = activePivot();
  if (!pivot) return;
  const int i = tk_.selectedItem(g_.recordsList);
  if (i < 0 || pivot->recordCount <= 0 || i >= pivot->recordCount) return;
  doc_.push(edit::deleteRecord(pivot, i));
  tk_.removeItem(g_.recordsList, i);
  const int next = i == 0 ? tk_.itemCount(g_.recordsList) - 1 : i - 1;
  tk_.selectItem(g_.recordsList, next);
  // The highlighted record is the one the fields edit; with none left they show nothing.
  if (next >= 0) {
    selectRecord(next);
    return;
  }
  edit::Active a = doc_.active();
  a.record.reset();
  setActive(std::move(a));
  tk_.setText(g_.nameField, "");
  tk_.setText(g_.valueField, "");
}

bool ObjectEditor::fieldChanged(platform::Handle gadget) {
  const std::pair<platform::Handle, LightField> lightFields[] = {
      {g_.redField, kRed}, {g_.greenField, kGreen}, {g_.blueField, kBlue}, {g_.rangeField, kRange},
      {g_.lightShadowsBox, kShadows}};
  for (auto [handle, field] : lightFields)
    if (gadget == handle) {
      applyLightFields(field);
      return true;
    }
  if (gadget == g_.linkField)
    applyLink();
  else if (gadget == g_.nameField || gadget == g_.valueField)
    applyRecordText(gadget == g_.nameField);
  else
    return false;
  return true;
}

void ObjectEditor::applyLightFields(LightField from) {
  const map::LightPtr& light = activeLight();
  if (!light) return;
  const auto number = [&](platform::Handle h) { return static_cast<float>(textToInt(tk_.text(h))); };
  const edit::LightFields now{number(g_.redField), number(g_.greenField), number(g_.blueField),
                              number(g_.rangeField), tk_.checked(g_.lightShadowsBox) ? 1 : 0};
  if (now == edit::LightFields::of(*light)) return;
  const char* label = from == kRange ? "Light Range" : from == kShadows ? "Light Shadows" : "Light Colour";
  doc_.push(edit::setLightFields(light, now, label, from));
}

void ObjectEditor::applyLink() {
  const map::PivotPtr& pivot = activePivot();
  if (!pivot) return;
  std::string link = tk_.text(g_.linkField);
  if (link != pivot->link) doc_.push(edit::setPivotLink(pivot, std::move(link)));
}

// The records list shows the names again after every change, keeping its selected item.
void ObjectEditor::applyRecordText(bool name) {
  const map::RecordPtr& rec = activeRecord();
  if (!rec) return;
  std::string text = tk_.text(name ? g_.nameField : g_.valueField);
  if (text != (name ? rec->name : rec->value))
    doc_.push(edit::setRecordText(rec, name ? edit::RecordField::name : edit::RecordField::value, std::move(text)));
  const int selected = tk_.selectedItem(g_.recordsList);
  listRecords(*activePivot());
  tk_.selectItem(g_.recordsList, selected);
}

void ObjectEditor::showActive() {
  const edit::Active& a = doc_.active();
  if (a.light) showLight(*a.light);
  if (!a.pivot) return;
  tk_.setText(g_.linkField, a.pivot->link);
  const int selected = tk_.selectedItem(g_.recordsList);
  listRecords(*a.pivot);
  tk_.selectItem(g_.recordsList, std::min(selected, a.pivot->recordCount - 1));
  if (!a.record) return;
  tk_.setText(g_.nameField, a.record->name);
  tk_.setText(g_.valueField, a.record->value);
}

}  // namespace vorlane::objects
