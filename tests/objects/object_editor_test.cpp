#include "objects/object_editor.h"

#include <gtest/gtest.h>

#include <type_traits>

#include "base/console.h"
#include "edit/document.h"
#include "support/fake_toolkit.h"

namespace vorlane::objects {
namespace {

using map::Light;
using map::Map;
using map::Pivot;
using platform::MessageKind;

struct ObjectEditorTest : ::testing::Test {
  test::FakeToolkit tk;
  ObjectGadgets g = makeGadgets();
  edit::Document doc;
  ObjectEditor ed{tk, g, doc};
  map::MapPtr m = Map::create(10, 10, 3, 32, 32);
  test::RecordingSurface canvas{400, 300};

  void SetUp() override { doc.reset({m, {}, {}}); }

  // An object in the map as a loaded file brings it: a copy of the map with it takes over.
  template <typename Ptr>
  void place(const Ptr& object) {
    auto next = std::make_shared<Map>(*m);
    if constexpr (std::is_same_v<typename Ptr::element_type, map::Light>)
      next->addLight(object);
    else
      next->addPivot(object);
    m = next;
    doc.reset({m, {}, {}});
  }

  ObjectGadgets makeGadgets() {
    auto lights = tk.createWindow("Lights", 0, 0, 200, 200, platform::kNoHandle, platform::kTitleBar);
    auto pivots = tk.createWindow("Pivots", 0, 0, 200, 200, platform::kNoHandle, platform::kTitleBar);
    ObjectGadgets out;
    out.redField = tk.createTextField(0, 0, 40, 20, lights);
    out.greenField = tk.createTextField(0, 20, 40, 20, lights);
    out.blueField = tk.createTextField(0, 40, 40, 20, lights);
    out.lightShadowsBox = tk.createCheckBox("Cast Shadows", 0, 60, 40, 20, lights);
    out.rangeField = tk.createTextField(0, 80, 40, 20, lights);
    out.linkField = tk.createTextField(0, 0, 40, 20, pivots);
    out.recordsList = tk.createListBox(0, 20, 40, 80, pivots);
    out.nameField = tk.createTextField(0, 100, 40, 20, pivots);
    out.valueField = tk.createTextField(0, 120, 40, 20, pivots);
    return out;
  }
  std::string text(platform::Handle h) { return tk.text(h); }
  std::vector<std::string> colourTexts() { return {text(g.redField), text(g.greenField), text(g.blueField)}; }
  std::vector<std::string> listTexts() {
    std::vector<std::string> out;
    for (const auto& item : tk.at(g.recordsList).items) out.push_back(item.text);
    return out;
  }
  // A pivot at the canvas centre (zoom 1, no scroll) with records "a", "b", "c".
  std::shared_ptr<map::Pivot> pivotWithRecords(int count, float x = 200, std::string link = {}) {
    auto p = Pivot::createPivot(200, 150, 0);
    p->x = x;
    p->link = std::move(link);
    for (int i = 0; i < count; ++i) p->addRecord(std::string(1, static_cast<char>('a' + i)), "v" + std::to_string(i));
    place(p);
    return p;
  }
};

TEST_F(ObjectEditorTest, AddingPlacesWhiteLightsAndTruncatedPivotsWithoutActivating) {
  ed.addLightAt(12.5f, -3.25f, 2);
  ed.addPivotAt(10.9f, -3.7f, 2);
  ASSERT_EQ(m->lights.size(), 1u);
  const Light& l = *m->lights[0];
  EXPECT_EQ(std::tie(l.x, l.y, l.layer, l.red, l.green, l.blue, l.range), std::make_tuple(12.5f, -3.25f, 2, 255.f, 255.f, 255.f, 700.f));
  ASSERT_EQ(m->pivots.size(), 1u);
  EXPECT_EQ(std::tie(m->pivots[0]->x, m->pivots[0]->y, m->pivots[0]->layer), std::make_tuple(10.f, -3.f, 2));
  EXPECT_EQ(ed.activeLight(), nullptr);
  EXPECT_EQ(ed.activePivot(), nullptr);
}

TEST_F(ObjectEditorTest, SelectingFillsTheWindowsAndMovesTheSelection) {
  auto a = Light::createLight(0, 0, 0, 255, 12, 0.5f);
  a->castShadows = 1;
  auto b = Light::createLight(0, 0, 0, 1, 2, 3);
  place(a);
  place(b);
  ed.selectLight(a);
  EXPECT_EQ(text(g.redField), "255.000000");
  EXPECT_EQ(text(g.greenField), "12.0000000");
  EXPECT_EQ(text(g.blueField), "0.500000000");
  EXPECT_EQ(text(g.rangeField), "700.000000");
  EXPECT_TRUE(tk.checked(g.lightShadowsBox));
  EXPECT_EQ(ed.activeLight(), a);
  ed.selectLight(b);
  EXPECT_EQ(ed.activeLight(), b);
  EXPECT_FALSE(tk.checked(g.lightShadowsBox));

  auto p = pivotWithRecords(2, 200, "door.lua");
  tk.setText(g.valueField, "stale");
  ed.selectPivot(p);
  EXPECT_EQ(text(g.linkField), "door.lua");
  EXPECT_EQ(listTexts(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(text(g.valueField), "");
  EXPECT_EQ(ed.activePivot(), p);
}

TEST_F(ObjectEditorTest, FieldChangesGoIntoTheActiveObjects) {
  auto l = Light::createLight(0, 0, 0, 1, 1, 1);
  place(l);
  ed.selectLight(l);
  struct Case {
    const char* text;
    float value;
  };
  for (Case c : {Case{"12.7", 12}, {"$FF", 255}, {"%101", 5}, {"abc", 0}, {"", 0}}) {
    tk.setText(g.redField, c.text);
    EXPECT_TRUE(ed.fieldChanged(g.redField));
    EXPECT_EQ(l->red, c.value) << c.text;
  }
  tk.setText(g.rangeField, "0");
  ed.fieldChanged(g.rangeField);
  tk.setChecked(g.lightShadowsBox, true);
  ed.fieldChanged(g.lightShadowsBox);
  EXPECT_EQ(l->range, 0);
  EXPECT_EQ(l->castShadows, 1);
  // Typing into one field is one step; each other field another.
  EXPECT_EQ(doc.history().size(), 3u);
  EXPECT_EQ(doc.undoText(), "Undo Light Shadows");
  EXPECT_FALSE(ed.fieldChanged(g.recordsList));

  auto p = pivotWithRecords(3);
  ed.selectPivot(p);
  tk.setText(g.linkField, "chest.dat");
  ed.fieldChanged(g.linkField);
  ed.selectRecord(1);
  EXPECT_EQ(text(g.nameField), "b");
  EXPECT_EQ(text(g.valueField), "v1");
  tk.selectItem(g.recordsList, 1);
  tk.setText(g.nameField, "gold");
  ed.fieldChanged(g.nameField);
  tk.setText(g.valueField, "12");
  ed.fieldChanged(g.valueField);
  EXPECT_EQ(p->link, "chest.dat");
  EXPECT_EQ(p->records[1]->name, "gold");
  EXPECT_EQ(p->records[1]->value, "12");
  EXPECT_EQ(listTexts(), (std::vector<std::string>{"a", "gold", "c"}));
  EXPECT_EQ(tk.selectedItem(g.recordsList), 1);  // kept through the refresh
  for (const auto& item : tk.at(g.recordsList).items) EXPECT_EQ(item.tooltip, "Data Element");
}

TEST_F(ObjectEditorTest, RecordSelectionChecksItsIndex) {
  ed.selectRecord(0);  // no active pivot
  EXPECT_EQ(ed.activeRecord(), nullptr);
  auto p = pivotWithRecords(2);
  ed.selectPivot(p);
  for (int bad : {-1, 2, 254, 300}) {
    ed.selectRecord(bad);
    EXPECT_EQ(ed.activeRecord(), nullptr) << bad;
  }
  ed.selectRecord(1);
  EXPECT_EQ(ed.activeRecord(), p->records[1]);
}

TEST_F(ObjectEditorTest, NewNamesByPositionAndStopsAtCapacity) {
  ed.newRecord();  // no active pivot: nothing
  auto p = pivotWithRecords(0);
  ed.selectPivot(p);
  ed.newRecord();
  ed.newRecord();
  EXPECT_EQ(p->recordCount, 2);
  EXPECT_EQ(p->records[1]->name, "Data 2");
  EXPECT_EQ(p->records[1]->value, "Null");
  EXPECT_EQ(ed.activeRecord(), p->records[1]);
  EXPECT_EQ(text(g.nameField), "Data 2");
  EXPECT_EQ(text(g.valueField), "Null");
  EXPECT_EQ(listTexts(), (std::vector<std::string>{"Data 1", "Data 2"}));
  // Deleting the first and adding again repeats the name: names need not be unique.
  tk.selectItem(g.recordsList, 0);
  ed.deleteRecord();
  ed.newRecord();
  EXPECT_EQ(p->records[1]->name, "Data 2");
  EXPECT_EQ(p->records[0]->name, "Data 2");

  while (p->recordCount < map::kMaxRecords) p->addRecord("x", "y");
  ed.newRecord();
  EXPECT_EQ(p->recordCount, map::kMaxRecords);
  ASSERT_EQ(tk.messages.size(), 1u);
  EXPECT_EQ(tk.messages[0].kind, MessageKind::Information);
}

// After a delete, the highlighted item is the record the Name and Value fields edit.
TEST_F(ObjectEditorTest, DeleteRecordShiftsAndTheHighlightedRecordBecomesActive) {
  auto p = pivotWithRecords(3);
  ed.selectPivot(p);
  ed.deleteRecord();  // nothing selected in the list
  EXPECT_EQ(p->recordCount, 3);
  auto a = p->records[0], b = p->records[1], c = p->records[2];
  struct Step {
    int selected;              // the item the user highlighted before Delete
    std::vector<std::string> items;
    int highlighted;           // afterwards
    map::RecordPtr active;
    const char *name, *value;
  };
  const Step steps[] = {
      {1, {"a", "c"}, 0, a, "a", "v0"},  // b goes; the item before it
      {0, {"c"}, 0, c, "c", "v2"},       // the first goes; the last item
      {0, {}, -1, nullptr, "", ""},      // the only one goes: nothing left to edit
  };
  for (const Step& s : steps) {
    ed.selectRecord(s.selected);
    tk.selectItem(g.recordsList, s.selected);
    ed.deleteRecord();
    EXPECT_EQ(listTexts(), s.items);
    EXPECT_EQ(tk.selectedItem(g.recordsList), s.highlighted);
    EXPECT_EQ(ed.activeRecord(), s.active);
    EXPECT_EQ(text(g.nameField), s.name);
    EXPECT_EQ(text(g.valueField), s.value);
  }
  EXPECT_EQ(p->recordCount, 0);
  ed.deleteRecord();
  EXPECT_EQ(p->recordCount, 0);
  // What is typed now reaches no record, least of all a deleted one.
  tk.setText(g.valueField, "lost");
  ed.fieldChanged(g.valueField);
  for (const auto& r : {a, b, c}) EXPECT_NE(r->value, "lost");
}

TEST_F(ObjectEditorTest, ActiveRecordNeverOutlivesItsPlace) {
  auto p = pivotWithRecords(2);
  auto q = pivotWithRecords(1, 300);
  // Selecting another pivot: the emptied Value field must not reach p's record.
  ed.selectPivot(p);
  ed.selectRecord(0);
  ed.selectPivot(q);
  ed.fieldChanged(g.valueField);
  EXPECT_EQ(ed.activeRecord(), nullptr);
  EXPECT_EQ(p->records[0]->value, "v0");
  EXPECT_EQ(ed.activePivot(), q);

  // Deleting the active record: the fields move to the record that stays highlighted.
  ed.selectPivot(p);
  ed.selectRecord(1);
  tk.selectItem(g.recordsList, 1);
  auto removed = p->records[1];
  ed.deleteRecord();
  EXPECT_EQ(ed.activeRecord(), p->records[0]);
  tk.setText(g.valueField, "kept");
  ed.fieldChanged(g.valueField);
  EXPECT_EQ(removed->value, "v1");
  EXPECT_EQ(p->records[0]->value, "kept");

  // Deleting the pivot through the context menu clears pivot and record.
  ed.deleteAt(map::ViewState{}, canvas, 200, 150);
  EXPECT_EQ(ed.activePivot(), nullptr);
  EXPECT_EQ(ed.activeRecord(), nullptr);
  EXPECT_EQ(m->pivots.size(), 1u);
  EXPECT_EQ(m->pivots[0], q);
}

TEST_F(ObjectEditorTest, ContextDeleteRemovesBothObjectsUnderThePoint) {
  base::ConsoleCapture console;
  auto l = Light::createLight(200, 150, 0, 1, 1, 1);
  auto other = Light::createLight(50, 50, 0, 1, 1, 1);
  place(l);
  place(other);
  auto p = pivotWithRecords(0);
  ed.selectLight(l);
  ed.selectPivot(p);
  ed.deleteAt(map::ViewState{}, canvas, 50, 290);  // nothing there
  EXPECT_EQ(m->lights.size(), 2u);
  ed.deleteAt(map::ViewState{}, canvas, 203, 148);
  EXPECT_EQ(console.lines(), (std::vector<std::string>{"Deleted called.", "Deleted called."}));
  EXPECT_EQ(m->lights, (std::vector<map::LightPtr>{other}));
  EXPECT_TRUE(m->pivots.empty());
  EXPECT_EQ(ed.activeLight(), nullptr);
  EXPECT_EQ(ed.activePivot(), nullptr);
  const std::size_t steps = doc.history().size();
  for (platform::Handle field : {g.redField, g.linkField, g.nameField}) ed.fieldChanged(field);  // nothing active
  EXPECT_EQ(doc.history().size(), steps);
}

// A cancelled requester changes no field, so the light and the pivot keep their values.
TEST_F(ObjectEditorTest, PickFillsAConfirmedColourAndACancelChangesNothing) {
  ed.pickColour();  // no active light: no requester
  auto l = Light::createLight(0, 0, 0, 10, 20, 30);
  place(l);
  ed.selectLight(l);
  tk.colourAnswers.push_back(std::nullopt);  // before any colour was ever confirmed
  ed.pickColour();
  EXPECT_EQ(text(g.redField), "10.0000000");
  EXPECT_EQ(std::tie(l->red, l->green, l->blue), std::make_tuple(10.f, 20.f, 30.f));
  tk.colourAnswers.push_back(platform::Colour{1, 2, 3});
  ed.pickColour();
  EXPECT_EQ(colourTexts(), (std::vector<std::string>{"1", "2", "3"}));
  tk.setText(g.redField, "40");
  tk.colourAnswers.push_back(std::nullopt);
  ed.pickColour();
  EXPECT_EQ(colourTexts(), (std::vector<std::string>{"40", "2", "3"}));
}

TEST_F(ObjectEditorTest, BrowsePutsAChosenPathIntoTheLinkFieldAndACancelNothing) {
  tk.fileAnswers.push_back("/levels/door.lua");
  ed.browseLink();
  EXPECT_EQ(text(g.linkField), "/levels/door.lua");
  ASSERT_EQ(tk.fileRequests.size(), 1u);
  EXPECT_EQ(tk.fileRequests[0].title, "Select file to link pivot to");
  EXPECT_EQ(tk.fileRequests[0].filter, "");
  EXPECT_EQ(tk.fileRequests[0].mode, platform::FileMode::Open);
  ed.browseLink();  // cancelled
  EXPECT_EQ(text(g.linkField), "/levels/door.lua");
  auto p = pivotWithRecords(0);
  ed.selectPivot(p);
  tk.fileAnswers.push_back("/levels/chest.lua");
  ed.browseLink();
  EXPECT_EQ(p->link, "/levels/chest.lua");
}

// The windows show the objects again once an undo changed them, and the fields write only
// on a user's change, so the undone values stay.
TEST_F(ObjectEditorTest, UndoneChangesShowInTheWindowsAndStayUndone) {
  auto l = Light::createLight(0, 0, 0, 10, 20, 30);
  place(l);
  auto p = pivotWithRecords(2);
  ed.selectLight(l);
  for (const char* typed : {"1", "12", "120"}) {
    tk.setText(g.greenField, typed);
    ed.fieldChanged(g.greenField);
  }
  ed.selectPivot(p);
  ed.selectRecord(1);
  tk.selectItem(g.recordsList, 1);
  tk.setText(g.nameField, "gold");
  ed.fieldChanged(g.nameField);
  EXPECT_EQ(doc.history().size(), 2u);
  doc.undo();
  ed.showActive();
  EXPECT_EQ(p->records[1]->name, "b");
  EXPECT_EQ(text(g.nameField), "b");
  EXPECT_EQ(listTexts(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(tk.selectedItem(g.recordsList), 1);
  doc.undo();
  ed.showActive();
  EXPECT_EQ(l->green, 20);
  EXPECT_EQ(text(g.greenField), "20.0000000");
  // Undo of a new record makes the record active before it active again.
  ed.newRecord();
  doc.undo();
  ed.showActive();
  EXPECT_EQ(p->recordCount, 2);
  EXPECT_EQ(listTexts(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(ed.activeRecord(), p->records[1]);
  EXPECT_EQ(text(g.nameField), "b");
}

// A light whose values are no whole numbers takes what its fields show once selected.
TEST_F(ObjectEditorTest, SelectingALightOfFractionsRoundsItAsOneStep) {
  auto l = Light::createLight(0, 0, 0, 10.5f, 20, 30);
  l->castShadows = 5;
  auto whole = Light::createLight(0, 0, 0, 1, 2, 3);
  place(l);
  place(whole);
  ed.selectLight(l);
  EXPECT_EQ(l->red, 10);
  EXPECT_EQ(l->castShadows, 1);
  EXPECT_EQ(doc.history().size(), 1u);
  ed.selectLight(whole);
  EXPECT_EQ(doc.history().size(), 1u);
}

}  // namespace
}  // namespace vorlane::objects
