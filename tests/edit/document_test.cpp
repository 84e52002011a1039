// The document's commands and history: every command undone and redone to the same saved
// bytes and active objects, merging, grouping, the bounds and the clean mark.
#include "edit/document.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <type_traits>

#include "edit/cells.h"
#include "edit/commands.h"
#include "base/console.h"
#include "io/project.h"
#include "support/fixtures.h"

namespace vorlane::edit {
namespace {

using map::MapPtr;
using map::TilePtr;

std::shared_ptr<tiles::Tile> makeTile(std::string path, std::uint8_t red) {
  auto tile = std::make_shared<tiles::Tile>();
  tile->path = std::move(path);
  tile->image = std::make_shared<platform::Image>(test::solidImage(2, 2, red, 10, 10));
  return tile;
}

// A light whose fields of the Lights window hold these values.
map::Light lightValues(float red, float green, float blue, float range, std::int32_t castShadows) {
  map::Light light;
  light.red = red;
  light.green = green;
  light.blue = blue;
  light.range = range;
  light.castShadows = castShadows;
  return light;
}

// What Save would write of map and tilesets, plus which objects are active (as list positions) and which
// tileset is on show: two documents alike here are alike to the user.
struct Snapshot {
  std::vector<std::uint8_t> map, tilesets;
  std::array<std::ptrdiff_t, 4> active;
  bool operator==(const Snapshot&) const = default;
};

template <typename List, typename Ptr>
std::ptrdiff_t position(const List& list, const Ptr& object) {
  if (!object) return -1;
  auto it = std::find(list.begin(), list.end(), object);
  return it == list.end() ? -2 : it - list.begin();
}

Snapshot snapshot(const Document& doc) {
  base::ByteWriter map, tilesets;
  io::saveMap(*doc.map(), map);
  for (const TilesetSlot& slot : doc.tilesets()) {
    tilesets.line(slot.label);
    io::saveMap(*slot.tileset, tilesets);
  }
  const Active& a = doc.active();
  const std::ptrdiff_t record = a.pivot ? position(a.pivot->records, a.record) : (a.record ? -2 : -1);
  return {map.data(), tilesets.data(),
          {position(doc.map()->lights, a.light), position(doc.map()->pivots, a.pivot), record,
           doc.currentTilesetIndex()}};
}

// What a listener must have heard for the document to go from `from` to `to`.
void expectAnnounced(const Snapshot& from, const Snapshot& to, ChangeSet heard) {
  EXPECT_FALSE(heard.empty());
  if (from.map != to.map) {
    EXPECT_TRUE(heard.any(Change::cells | Change::objects | Change::tiles | Change::map));
  }
  if (from.tilesets != to.tilesets || from.active[3] != to.active[3]) {
    EXPECT_TRUE(heard.any(Change::tilesets | Change::cells | Change::tiles | Change::map));
  }
  if (!std::equal(from.active.begin(), from.active.begin() + 3, to.active.begin())) {
    EXPECT_TRUE(heard.has(Change::selection));
  }
}

// A small document with something of everything: two layers of cells, two tilesets
// sharing a tile with the map, two lights, a pivot with two records, all three active.
struct Sample {
  Document doc;
  TilePtr a = makeTile("a.png", 10), b = makeTile("b.png", 20), c = makeTile("c.png", 30);
  std::shared_ptr<map::Light> light1, light2;
  std::shared_ptr<map::Pivot> pivot;

  Sample() {
    MapPtr m = map::Map::create(4, 3, 2, 16, 16);
    m->setCell(0, 0, 0, a);
    m->setCell(1, 2, 1, b);
    light1 = map::Light::createLight(5, 6, 0, 255, 128, 0);
    light2 = map::Light::createLight(40, 6, 1, 10, 20, 30);
    m->addLight(light1);
    m->addLight(light2);
    pivot = map::Pivot::createPivot(3, 4, 1);
    pivot->addRecord("Data 1", "x");
    pivot->addRecord("Data 2", "y");
    m->addPivot(pivot);
    MapPtr set1 = map::Map::createTileset(), set2 = map::Map::createTileset();
    set1->setCell(0, 0, 0, a);
    set1->setCell(1, 0, 0, b);
    set2->setCell(0, 0, 0, c);
    doc.reset({m, std::vector<io::TilesetEntry>{{"Tileset 1", set1}, {"Tileset 2", set2}}, ""});
    doc.setActive({light1, pivot, pivot->records[0]});
  }
};

struct DocumentTest : ::testing::Test, Sample {};

// The document hands out its parts read-only: none of these writes compiles, only commands
// change it.
static_assert(std::is_same_v<decltype(std::declval<const Document&>().map()), std::shared_ptr<const map::Map>>);
static_assert(std::is_same_v<decltype(std::declval<const Document&>().currentTileset()), ConstMapPtr>);
template <typename D>
concept WritesCells = requires(D& d) { d.map()->setCell(0, 0, 0, nullptr); };
template <typename D>
concept WritesObjectLists = requires(D& d) { d.map()->lights.clear(); };
template <typename D>
concept WritesShownTileset = requires(D& d) { d.currentTileset()->setCell(0, 0, 0, nullptr); };
template <typename D>
concept WritesTilesetSlots = requires(D& d) { d.tilesets()[0].tileset->setCell(0, 0, 0, nullptr); };
template <typename D>
concept WritesActiveObjects = requires(D& d) { d.active().light->x = 1.0f; };
template <typename D>
concept SetsStateWithoutHistory = requires(D& d) { d.restoreState(d.state()); };
// The objects and tiles reached through the map stay read-only, and so does a copy of the
// pointer to one.
template <typename D>
concept WritesObjects = requires(D& d) {
  d.map()->lights[0]->x = 1.0f;
  d.map()->pivots[0]->link = "";
  d.map()->pivots[0]->records[0]->name = "";
};
template <typename D>
concept WritesTiles = requires(D& d) {
  d.map()->cell(0, 0, 0)->path = "";
  d.map()->cells[0]->collider = 1;
  d.map()->tileTable[0]->castShadows = 1;
};
template <typename D>
concept WritesCopiedObjects = requires(D& d, std::remove_cvref_t<decltype(d.map()->lights[0])> light,
                                       std::remove_cvref_t<decltype(d.map()->cell(0, 0, 0))> tile) {
  light->x = 1.0f;
  tile->path = "";
};
static_assert(!WritesCells<Document> && !WritesObjectLists<Document>);
static_assert(!WritesShownTileset<Document> && !WritesTilesetSlots<Document>);
static_assert(!WritesActiveObjects<Document> && !SetsStateWithoutHistory<Document>);
static_assert(!WritesObjects<Document> && !WritesTiles<Document> && !WritesCopiedObjects<Document>);
// The same checks do see writes through parts handed out writable.
struct Unsealed {
  map::MapPtr map();
  map::MapPtr currentTileset();
  std::vector<io::TilesetEntry> tilesets();
};
static_assert(WritesCells<Unsealed> && WritesObjectLists<Unsealed>);
static_assert(WritesShownTileset<Unsealed> && WritesTilesetSlots<Unsealed>);
// A map whose lists held writable objects and tiles, as the map's once did.
struct UnsealedParts {
  struct Pivot {
    std::string link;
    std::vector<std::shared_ptr<map::record>> records;
  };
  struct Map {
    std::vector<std::shared_ptr<map::Light>> lights;
    std::vector<std::shared_ptr<Pivot>> pivots;
    std::vector<std::shared_ptr<tiles::Tile>> cells, tileTable;
    const std::shared_ptr<tiles::Tile>& cell(int, int, int) const;
  };
  std::shared_ptr<const Map> map();
};
static_assert(WritesObjects<UnsealedParts> && WritesTiles<UnsealedParts> && WritesCopiedObjects<UnsealedParts>);

TEST_F(DocumentTest, EveryCommandUndoesAndRedoesToTheSameBytesAndActiveObjects) {
  using Step = std::function<void(Sample&)>;
  const auto paint = [](std::string label, std::function<void(const map::Map&, CellRecorder&)> strokes) {
    return [label, strokes](Sample& t) {
      CellRecorder rec(t.doc, t.doc.map(), label);
      strokes(*t.doc.map(), rec);
    };
  };
  struct Case {
    const char* name;
    Step step;
  };
  const Case cases[] = {
      {"plot over cells, some twice",
       paint("Plot",
             [&](const map::Map&, CellRecorder& r) {
               r.setCell(0, 0, 0, b);
               r.setCell(3, 2, 1, a);
               r.setCell(0, 0, 0, c);
               r.setCell(9, 9, 0, c);  // outside: ignored
             })},
      {"fill a layer", paint("Fill", [&](const map::Map& m, CellRecorder& r) { m.fillLayer(1, c, r); })},
      {"fill erasing", paint("Fill", [&](const map::Map& m, CellRecorder& r) { m.fillLayer(0, nullptr, r); })},
      {"tile flags", [](Sample& t) { t.doc.push(setTileFlags(t.a, 1, 1)); }},
      {"add light",
       [](Sample& t) { t.doc.push(addLight(t.doc.map(), map::Light::createLight(1, 2, 0, 255, 255, 255))); }},
      {"add pivot", [](Sample& t) { t.doc.push(addPivot(t.doc.map(), map::Pivot::createPivot(1, 2, 1))); }},
      {"delete the active light and pivot",
       [](Sample& t) { t.doc.push(removeObjects(t.doc.map(), t.light1, t.pivot)); }},
      {"delete a light that is not active",
       [](Sample& t) { t.doc.push(removeObjects(t.doc.map(), t.light2, nullptr)); }},
      {"light fields",
       [](Sample& t) { t.doc.push(setLightFields(t.light1, lightValues(1, 2, 3, 50, 1), "Light Colour", 0)); }},
      {"pivot link", [](Sample& t) { t.doc.push(setPivotLink(t.pivot, "door.vorl")); }},
      {"record name",
       [](Sample& t) { t.doc.push(setRecordText(t.pivot->records[1], RecordField::name, "Key")); }},
      {"record value",
       [](Sample& t) { t.doc.push(setRecordText(t.pivot->records[0], RecordField::value, "42")); }},
      {"new record", [](Sample& t) { t.doc.push(newRecord(t.pivot, "Data 3", "Null")); }},
      {"delete the active record", [](Sample& t) { t.doc.push(deleteRecord(t.pivot, 0)); }},
      {"delete the last record", [](Sample& t) { t.doc.push(deleteRecord(t.pivot, 1)); }},
      {"load tile",
       [](Sample& t) {
         CellRecorder rec(t.doc, t.doc.currentTileset(), "Load Tile");
         t.doc.currentTileset()->addToFirstFreeCell(makeTile("d.png", 40), rec);
       }},
      {"new set",
       [](Sample& t) { t.doc.push(addTileset(t.doc, "New Set", {"Tileset 3", map::Map::createTileset()})); }},
      {"delete set", [](Sample& t) { t.doc.push(deleteTileset(t.doc, 0)); }},
      {"new map", [](Sample& t) { t.doc.replaceMap("New Map", map::Map::create(2, 2, 1, 8, 8)); }},
      {"load",
       [](Sample& t) {
         MapPtr next = map::Map::create(1, 1, 1, 4, 4);
         next->setCell(0, 0, 0, t.c);
         next->lights = t.doc.map()->lights;  // a load keeps the objects there were
         next->pivots = t.doc.map()->pivots;
         t.doc.replace("Load", {next, std::vector<io::TilesetEntry>{{"Tileset 1", map::Map::createTileset()}},
                                std::string("other.vorl")});
       }},
      {"a group of several",
       [](Sample& t) {
         Transaction tx(t.doc, "Run Script");
         t.doc.push(setPivotLink(t.pivot, "a"));
         t.doc.push(addLight(t.doc.map(), map::Light::createLight(1, 2, 0, 255, 255, 255)));
         {
           CellRecorder rec(t.doc, t.doc.map(), "Fill");
           t.doc.map()->fillLayer(0, t.b, rec);
         }
         t.doc.push(removeObjects(t.doc.map(), t.light1, nullptr));
         tx.commit();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sample sample;
    Document& d = sample.doc;
    ChangeSet heard;
    const auto hear = d.listen([&](ChangeSet changes) { heard = heard | changes; });
    // Does `change` and checks that the listeners heard of what it changed.
    const auto announced = [&](const std::function<void()>& change) {
      const Snapshot from = snapshot(d);
      heard = {};
      change();
      expectAnnounced(from, snapshot(d), heard);
    };
    const Snapshot before = snapshot(d);
    const std::size_t steps = d.history().size();
    announced([&] { c.step(sample); });
    const Snapshot after = snapshot(d);
    EXPECT_NE(after, before);
    EXPECT_EQ(d.history().size(), steps + 1);
    announced([&] { ASSERT_TRUE(d.undo()); });
    EXPECT_EQ(snapshot(d), before);
    announced([&] { ASSERT_TRUE(d.redo()); });
    EXPECT_EQ(snapshot(d), after);
    announced([&] { ASSERT_TRUE(d.undo()); });
    EXPECT_EQ(snapshot(d), before);
    // Active objects are always in the map (-2 would say otherwise), also when the newest
    // objects were chosen and the step that made them is undone.
    ASSERT_TRUE(d.redo());
    const map::Map& m = *d.map();
    const map::PivotPtr pivot = m.pivots.empty() ? nullptr : m.pivots.back();
    d.select({m.lights.empty() ? nullptr : m.lights.back(), pivot,
              pivot && pivot->recordCount > 0 ? pivot->records[static_cast<std::size_t>(pivot->recordCount - 1)]
                                              : nullptr});
    announced([&] { ASSERT_TRUE(d.undo()); });
    for (const Snapshot& s : {before, after, snapshot(d)})
      for (std::ptrdiff_t i : s.active) EXPECT_GE(i, -1);
  }
}

TEST_F(DocumentTest, UndoOfLoadBringsBackTheMapObjectAndItsSharedTiles) {
  const ConstMapPtr before = doc.map();
  const ConstMapPtr set1 = doc.tilesets()[0].tileset;
  const Active active = doc.active();
  doc.markClean();
  doc.replace("Load", {map::Map::create(1, 1, 1, 4, 4),
                       std::vector<io::TilesetEntry>{{"Tileset 1", map::Map::createTileset()}}, {}});
  doc.markClean();
  EXPECT_EQ(doc.undoText(), "Undo Load");
  ASSERT_TRUE(doc.undo());
  EXPECT_TRUE(doc.modified());
  EXPECT_EQ(doc.map(), before);
  EXPECT_EQ(doc.currentTileset(), set1);
  EXPECT_EQ(doc.active(), active);
  // One tile object in the map's cell and the tileset's cell, as before.
  EXPECT_EQ(doc.map()->cell(0, 0, 0), set1->cell(0, 0, 0));
  EXPECT_EQ(doc.map()->cell(0, 0, 0), a);
}

TEST_F(DocumentTest, LoadGivesTheFileANewMapBehindTheCurrentObjects) {
  // The file: a map of its own with a light and a pivot, its tile shared with its tileset.
  const MapPtr file = map::Map::create(3, 2, 2, 8, 8);
  file->setCell(0, 0, 0, makeTile("grass.png", 40));
  file->addLight(map::Light::createLight(10.5f, 3, 0, 1, 2, 3));
  auto filePivot = map::Pivot::createPivot(1, 1, 0);
  filePivot->link = "levels/next.vorl";
  file->addPivot(filePivot);
  const MapPtr set = map::Map::createTileset();
  set->setCell(0, 0, 0, file->cell(0, 0, 0));
  base::ByteWriter out;
  io::writeProject(*file, std::vector<io::TilesetEntry>{{"Tileset 1", set}}, out);
  base::ConsoleCapture quiet;
  auto project = io::parseProject(out.data());
  ASSERT_TRUE(project.ok()) << project.error();

  const ConstMapPtr before = doc.map();
  const auto oldLights = before->lights;
  const Snapshot was = snapshot(doc);
  doc.load(std::move(project).value(), "level.vorl");

  const map::Map& m = *doc.map();
  ASSERT_NE(doc.map(), before);
  ASSERT_EQ(m.lights.size(), 3u);
  EXPECT_EQ(m.lights[0], oldLights[0]);
  EXPECT_EQ(m.lights[1], oldLights[1]);
  EXPECT_EQ(m.lights[2]->x, 10.5f);
  ASSERT_EQ(m.pivots.size(), 2u);
  EXPECT_EQ(m.pivots[0], pivot);
  EXPECT_EQ(m.pivots[1]->link, "levels/next.vorl");
  EXPECT_EQ(m.cells.size(), 12u);
  EXPECT_EQ(m.tileCount, 1);
  ASSERT_EQ(m.tileTable.size(), 1u);
  EXPECT_EQ(m.cell(0, 0, 0), m.tileTable[0]);
  ASSERT_EQ(doc.tilesets().size(), 1u);
  EXPECT_EQ(doc.tilesets()[0].label, "Tileset 1");
  EXPECT_EQ(doc.tilesets()[0].tileset->cell(0, 0, 0), m.tileTable[0]);  // joined by path
  EXPECT_EQ(doc.currentTileset(), doc.tilesets()[0].tileset);
  EXPECT_EQ(doc.projectName(), "level.vorl");
  EXPECT_FALSE(doc.modified());
  // The map on show before was only read: undo brings it back as it was.
  ASSERT_TRUE(doc.undo());
  EXPECT_EQ(doc.map(), before);
  EXPECT_TRUE(snapshot(doc) == was);
}

TEST_F(DocumentTest, TypingInOneFieldIsOneStepUntilAnotherFieldOrTheSavedState) {
  const map::RecordPtr rec = pivot->records[0];
  for (std::string text : {"K", "Ke", "Key"}) doc.push(setRecordText(rec, RecordField::name, text));
  EXPECT_EQ(doc.history().size(), 1u);
  EXPECT_EQ(doc.undoText(), "Undo Record Name");
  doc.push(setRecordText(rec, RecordField::value, "1"));
  doc.push(setRecordText(rec, RecordField::value, "12"));
  EXPECT_EQ(doc.history().size(), 2u);
  doc.markClean();
  doc.push(setRecordText(rec, RecordField::value, "123"));  // saved in between: a step of its own
  EXPECT_EQ(doc.history().size(), 3u);
  for (std::string red : {"1", "12"})
    doc.push(setLightFields(light1, lightValues(std::stof(red), 128, 0, 700, 0), "Light Colour", 0));
  doc.push(setLightFields(light1, lightValues(12, 128, 0, 70, 0), "Light Range", 3));
  EXPECT_EQ(doc.history().size(), 5u);
  while (doc.undo()) {
  }
  EXPECT_EQ(rec->name, "Data 1");
  EXPECT_EQ(rec->value, "x");
  EXPECT_EQ(light1->red, 255);
  EXPECT_EQ(light1->range, 700);
}

TEST_F(DocumentTest, HistoryKeepsTheNewestStepsWithinItsBounds) {
  // Steps: 1000 at most; undoing all of them reaches the state after the oldest kept.
  // Name and value in turn, so that no two steps merge.
  const map::RecordPtr rec = pivot->records[0];
  for (int i = 0; i < 1005; ++i)
    doc.push(setRecordText(rec, i % 2 ? RecordField::value : RecordField::name, std::to_string(i)));
  EXPECT_EQ(doc.history().size(), 1000u);
  int undone = 0;
  while (doc.undo()) ++undone;
  EXPECT_EQ(undone, 1000);
  EXPECT_EQ(rec->name, "4");
  EXPECT_EQ(rec->value, "3");
}

TEST_F(DocumentTest, HistoryMemoryStaysWithinItsBoundAndOldestStepsGoFirst) {
  doc.replaceMap("New Map", map::Map::create(64, 64, 4, 8, 8));
  const std::size_t limit = 200 * 1024;
  doc.setHistoryLimits({1000, limit});
  // Each stroke alternates tiles over a layer that is not plain, so it records many runs.
  for (int i = 0; i < 40; ++i) {
    CellRecorder rec(doc, doc.map(), "Plot");
    for (int x = 0; x < 64; ++x)
      for (int y = 0; y < 64; ++y) rec.setCell(x, y, i % 4, (x + y + i) % 2 ? a : b);
  }
  EXPECT_LE(doc.history().bytes(), limit);
  EXPECT_GT(doc.history().size(), 1u);
  EXPECT_LT(doc.history().size(), 40u);
  // A step larger than the whole bound is not kept: nothing to undo, and still modified.
  doc.markClean();
  doc.setHistoryLimits({1000, 1000});
  EXPECT_EQ(doc.history().size(), 0u);
  doc.replaceMap("New Map", map::Map::create(64, 64, 4, 8, 8));
  EXPECT_FALSE(doc.history().canUndo());
  EXPECT_TRUE(doc.modified());
}

TEST_F(DocumentTest, AFillOfAPlainLayerIsRecordedAsAFewRunsNotACopy) {
  doc.replaceMap("New Map", map::Map::create(256, 256, 4, 8, 8));
  const std::size_t before = doc.history().bytes();
  {
    CellRecorder rec(doc, doc.map(), "Fill");
    doc.map()->fillLayer(2, a, rec);
  }
  EXPECT_LT(doc.history().bytes() - before, 1024u);
  EXPECT_EQ(doc.undoText(), "Undo Fill");
}

TEST_F(DocumentTest, CleanMarkFollowsUndoAndRedoAndIsLostWithTheRedoBranch) {
  EXPECT_FALSE(doc.modified());
  doc.push(setPivotLink(pivot, "a"));
  EXPECT_TRUE(doc.modified());
  doc.markClean();
  doc.undo();
  EXPECT_TRUE(doc.modified());
  doc.redo();
  EXPECT_FALSE(doc.modified());
  doc.undo();
  doc.push(setTileFlags(a, 1, 0));  // the saved state can no longer be reached
  EXPECT_TRUE(doc.modified());
  doc.undo();
  EXPECT_TRUE(doc.modified());
  const std::uint64_t r = doc.revision();
  doc.redo();
  EXPECT_GT(doc.revision(), r);
}

TEST_F(DocumentTest, TransactionsGroupNestAndRollBack) {
  const Snapshot start = snapshot(doc);
  {
    Transaction outer(doc, "Run Script");
    doc.push(setPivotLink(pivot, "a"));
    {
      Transaction inner(doc, "Inner");
      doc.push(setTileFlags(a, 1, 1));
      inner.commit();
    }
    EXPECT_FALSE(doc.undo());  // not while a group is open
    outer.commit();
  }
  EXPECT_EQ(doc.history().size(), 1u);
  EXPECT_EQ(doc.undoText(), "Undo Run Script");
  doc.undo();
  EXPECT_EQ(snapshot(doc), start);
  {
    Transaction tx(doc, "Run Script");
    doc.push(removeObjects(doc.map(), light1, pivot));
    CellRecorder rec(doc, doc.map(), "Fill");
    doc.map()->fillLayer(0, c, rec);
  }  // not committed: rolled back, the recorder's cells with it
  EXPECT_EQ(snapshot(doc), start);
  EXPECT_EQ(doc.history().size(), 1u);  // the redo step of the first group stays
  Transaction empty(doc, "Nothing");
  empty.commit();
  EXPECT_EQ(doc.history().size(), 1u);
}

TEST_F(DocumentTest, AnOpenStrokeBecomesItsOwnStepBeforeAnyOtherChange) {
  CellRecorder rec(doc, doc.map(), "Plot");
  rec.setCell(1, 1, 0, c);
  doc.push(addLight(doc.map(), map::Light::createLight(1, 2, 0, 255, 255, 255)));
  rec.setCell(2, 1, 0, c);
  rec.finish();
  EXPECT_EQ(doc.history().size(), 3u);
  doc.undo();
  EXPECT_EQ(doc.map()->cell(2, 1, 0), nullptr);
  EXPECT_EQ(doc.map()->cell(1, 1, 0), c);
  EXPECT_EQ(doc.undoText(), "Undo Add Light");
}

TEST_F(DocumentTest, UndoNeverLeavesActiveObjectsOutsideTheMap) {
  auto light = map::Light::createLight(1, 2, 0, 255, 255, 255);
  doc.push(addLight(doc.map(), light));
  doc.push(newRecord(pivot, "Data 3", "Null"));
  const map::RecordPtr added = doc.active().record;
  ASSERT_EQ(added, pivot->records[2]);
  doc.setActive({light, pivot, added});
  doc.undo();
  EXPECT_EQ(doc.active().record, pivot->records[0]);  // the one active before "New"
  doc.setActive({light, pivot, added});  // a stale choice is dropped by the next undo
  doc.undo();
  EXPECT_EQ(doc.active().record, nullptr);
  EXPECT_EQ(doc.active().light, nullptr);
  EXPECT_EQ(doc.active().pivot, pivot);
  doc.replaceMap("Render", map::Map::create(1, 1, 1, 4, 4));
  EXPECT_EQ(doc.active(), Active{});
  doc.undo();
  EXPECT_EQ(doc.active().pivot, pivot);
}

}  // namespace
}  // namespace vorlane::edit
