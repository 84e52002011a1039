#include "objects/object_editor.h"

#include <algorithm>
#include <utility>

#include "base/console.h"
#include "base/convert.h"
#include "edit/commands.h"
#include "map/fields.h"
#include "map/view.h"

namespace vorlane::objects {

using base::floatToInt;
using base::floatToText;
using base::intToText;
using base::textToInt;

namespace {

constexpr const char* kRecordTooltip = "Data Element";

}  // namespace

ObjectEditor::ObjectEditor(platform::Toolkit& toolkit, const ObjectGadgets& gadgets, edit::Document& doc)
    : tk_(toolkit), g_(gadgets), doc_(doc), shown_(doc.listen([this](edit::ChangeSet changes) {
        if (changes.any(edit::Change::objects | edit::Change::selection | edit::Change::map)) showActive();
      })) {}

void ObjectEditor::addLightAt(float wx, float wy, std::int32_t layer) {
  doc_.push(edit::addLight(doc_.map(), map::Light::createLight(wx, wy, static_cast<float>(layer), 255, 255, 255)));
}

void ObjectEditor::addPivotAt(float wx, float wy, std::int32_t layer) {
  doc_.push(edit::addPivot(doc_.map(), map::Pivot::createPivot(floatToInt(wx), floatToInt(wy), layer)));
}

void ObjectEditor::deleteAt(const map::ViewState& view, const platform::Surface& surface, std::int32_t x,
                            std::int32_t y) {
  base::consoleLine("Deleted called.");
  const float px = static_cast<float>(x), py = static_cast<float>(y);
  map::LightPtr light = map::pickLight(*doc_.map(), view, surface, px, py);
  map::PivotPtr pivot = map::pickPivot(*doc_.map(), view, surface, px, py);
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

// The document keeps the selection; the windows and the canvas show it.
void ObjectEditor::selectLight(const map::LightPtr& light) {
  if (!light) return;
  edit::Active a = doc_.active();
  a.light = light;
  doc_.select(std::move(a));
  showLight(*light);
  // The light holds what its fields now show: whole numbers, a box of 0 or 1.
  applyLightFields(kShown);
}

// Another pivot's records: no record is chosen, so the record fields and the list's choice
// are emptied too.
void ObjectEditor::selectPivot(const map::PivotPtr& pivot) {
  if (!pivot) return;
  edit::Active a = doc_.active();
  a.pivot = pivot;
  a.record.reset();
  doc_.select(std::move(a));
  tk_.setText(g_.linkField, pivot->link);
  listRecords(*pivot);
  tk_.setText(g_.nameField, "");
  tk_.setText(g_.valueField, "");
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

void ObjectEditor::dragTo(map::MapPoint at) {
  if (!dragging()) return;
  const std::int32_t dx = floatToInt(at.x - drag_.start.x), dy = floatToInt(at.y - drag_.start.y);
  if (dx == drag_.dx && dy == drag_.dy) return;
  drag_.dx = dx;
  drag_.dy = dy;
  const auto moved = [&](edit::Position from) {
    return edit::Position{from.x + static_cast<float>(dx), from.y + static_cast<float>(dy)};
  };
  if (!drag_.moves) {
    const char* label = drag_.light && drag_.pivot ? "Move" : drag_.light ? "Move Light" : "Move Pivot";
    drag_.moves = std::make_unique<edit::Transaction>(doc_, label);
  }
  doc_.push(edit::moveObjects(drag_.light, moved(drag_.lightFrom), drag_.pivot, moved(drag_.pivotFrom)));
}

void ObjectEditor::abandonDrag() { drag_ = {}; }  // the open moves roll back

void ObjectEditor::endDrag() {
  Drag d = std::exchange(drag_, {});
  if (d.moves && (d.dx != 0 || d.dy != 0)) d.moves->commit();
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
  listRecords(*pivot);
  // The new record is the one the fields edit, and the one Delete removes.
  tk_.selectItem(g_.recordsList, pivot->recordCount - 1);
}

void ObjectEditor::deleteRecord() {
  const map::PivotPtr pivot = activePivot();
  if (!pivot) return;
  const int i = tk_.selectedItem(g_.recordsList);
  if (i < 0 || pivot->recordCount <= 0 || i >= pivot->recordCount) return;
  doc_.push(edit::deleteRecord(pivot, i));  // the list shows what is left
  listRecords(*pivot);
  const int next = i == 0 ? pivot->recordCount - 1 : i - 1;
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
  map::Light now = *light;
  now.red = number(g_.redField);
  now.green = number(g_.greenField);
  now.blue = number(g_.blueField);
  now.range = number(g_.rangeField);
  now.castShadows = tk_.checked(g_.lightShadowsBox) ? 1 : 0;
  if (map::sameFields(map::kLightFields, map::kEdited, now, *light)) return;
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

void ObjectEditor::showText(platform::Handle field, const std::string& text) {
  if (tk_.text(field) != text) tk_.setText(field, text);
}

// Typed "12" shows 12 as well as "12.0000000" does.
void ObjectEditor::showNumber(platform::Handle field, float value) {
  const std::string text = tk_.text(field);
  if (text.empty() || static_cast<float>(textToInt(text)) != value) tk_.setText(field, floatToText(value));
}

void ObjectEditor::showActive() {
  const edit::Active& a = doc_.active();
  if (a.light) {
    showNumber(g_.redField, a.light->red);
    showNumber(g_.greenField, a.light->green);
    showNumber(g_.blueField, a.light->blue);
    showNumber(g_.rangeField, a.light->range);
    tk_.setChecked(g_.lightShadowsBox, a.light->castShadows != 0);
  } else {
    for (platform::Handle field : {g_.redField, g_.greenField, g_.blueField, g_.rangeField}) showText(field, "");
    tk_.setChecked(g_.lightShadowsBox, false);
  }
  if (!a.pivot) {
    showText(g_.linkField, "");
    if (tk_.itemCount(g_.recordsList) > 0) tk_.clearItems(g_.recordsList);
  } else {
    showText(g_.linkField, a.pivot->link);
    listRecords(*a.pivot);
    int selected = -1;
    for (std::int32_t i = 0; a.record && i < a.pivot->recordCount; ++i)
      if (a.pivot->records[static_cast<std::size_t>(i)] == a.record) selected = i;
    tk_.selectItem(g_.recordsList, selected);
  }
  showText(g_.nameField, a.record ? a.record->name : "");
  showText(g_.valueField, a.record ? a.record->value : "");
}

}  // namespace vorlane::objects
