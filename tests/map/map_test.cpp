#include "map/map.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "map/view.h"

namespace vorlane::map {
namespace {

std::shared_ptr<tiles::Tile> newTile() { return std::make_shared<tiles::Tile>(); }

TEST(Map, CreateLaysCellsOutLayerFastestThenRowThenColumn) {
  auto m = Map::create(3, 2, 4, 16, 8);
  EXPECT_EQ(m->cells.size(), 24u);
  EXPECT_TRUE(ViewState{}.marks.empty());
  EXPECT_EQ(m->cellIndex(1, 1, 2), (1u * 2 + 1) * 4 + 2);
  EXPECT_EQ(ViewState{}.zoom, 1.0f);
  EXPECT_EQ(m->tileWidth, 16);
  auto t = newTile();
  m->setCell(2, 1, 3, t);
  EXPECT_EQ(m->cells.back(), t);
}

TEST(Map, StartUpMapHasNoCellsAndSurvivesEveryCellWriter) {
  auto m = Map::create(0, 0, 0, 0, 0);
  auto t = newTile();
  m->setCell(0, 0, 0, t);
  m->fillLayer(0, t);
  EXPECT_FALSE(m->addToFirstFreeCell(t));
  ViewState view;
  view.markCell(*m, 0, 0);
  EXPECT_TRUE(view.marks.empty());
  EXPECT_TRUE(m->cells.empty());
  EXPECT_EQ(t.use_count(), 1);
}

TEST(Map, CellWritersIgnoreEverythingOutsideTheGrid) {
  auto m = Map::create(2, 2, 2, 4, 4);
  auto t = newTile();
  for (auto [x, y, l] : {std::tuple{-1, 0, 0}, {2, 0, 0}, {0, 2, 0}, {0, -1, 0}, {0, 0, 2}, {0, 0, -1}}) m->setCell(x, y, l, t);
  m->fillLayer(5, t);
  m->fillLayer(-1, t);
  for (auto& c : m->cells) EXPECT_EQ(c, nullptr);
  EXPECT_EQ(m->cell(5, 5, 5), nullptr);
}

TEST(Map, FillLayerTouchesOneLayerOnly) {
  auto m = Map::create(2, 3, 3, 4, 4);
  auto a = newTile();
  for (int l = 0; l < 3; ++l) m->fillLayer(l, a);
  m->fillLayer(1, nullptr);
  for (int x = 0; x < 2; ++x)
    for (int y = 0; y < 3; ++y) {
      EXPECT_EQ(m->cell(x, y, 0), a);
      EXPECT_EQ(m->cell(x, y, 1), nullptr);
      EXPECT_EQ(m->cell(x, y, 2), a);
    }
}

TEST(Map, AddToFirstFreeCellWalksRowsOfLayerZero) {
  auto ts = Map::createTileset();
  ts->setCell(0, 0, 0, newTile());
  ts->setCell(1, 0, 0, newTile());
  auto t = newTile();
  EXPECT_TRUE(ts->addToFirstFreeCell(t));
  EXPECT_EQ(ts->cell(2, 0, 0), t);
  for (int x = 3; x < 8; ++x) ts->setCell(x, 0, 0, newTile());
  auto u = newTile();
  ts->addToFirstFreeCell(u);
  EXPECT_EQ(ts->cell(0, 1, 0), u);
  ts->fillLayer(0, newTile());
  auto full = newTile();
  EXPECT_FALSE(ts->addToFirstFreeCell(full));
  EXPECT_EQ(full.use_count(), 1);
}

TEST(Map, MarkCellOnlyInsideTheGrid) {
  auto m = Map::create(3, 2, 1, 4, 4);
  ViewState view;
  view.markCell(*m, 3, 0);
  view.markCell(*m, -1, 0);
  view.markCell(*m, 0, 2);
  EXPECT_TRUE(view.marks.empty());
  view.markCell(*m, 2, 1);
  view.markCell(*m, 2, 1);
  EXPECT_TRUE(view.isMarked(2, 1));
  EXPECT_EQ(view.marks.size(), 1u);
}

TEST(Map, TilesAreSharedByReference) {
  auto m = Map::create(2, 1, 1, 4, 4);
  auto t = newTile();
  m->setCell(0, 0, 0, t);
  m->setCell(1, 0, 0, t);
  t->collider = 1;
  EXPECT_EQ(m->cell(0, 0, 0)->collider, 1);
  EXPECT_EQ(m->cell(1, 0, 0)->collider, 1);
  m->setCell(0, 0, 0, nullptr);
  m->setCell(1, 0, 0, nullptr);
  EXPECT_EQ(t.use_count(), 1);
}

TEST(Map, ObjectsKeepInsertionOrderAndTheirStartValues) {
  auto m = Map::create(1, 1, 1, 4, 4);
  auto a = Light::createLight(1.5f, 2.5f, 2.9f, 255, 128, 0);
  auto b = Light::createLight(0, 0, -1.7f, 1, 1, 1);
  m->addLight(a);
  m->addLight(b);
  EXPECT_EQ(m->lights, (std::vector<LightPtr>{a, b}));
  EXPECT_EQ(a->layer, 2);
  EXPECT_EQ(b->layer, -1);
  EXPECT_EQ(a->range, 700.0f);
  EXPECT_EQ(a->castShadows, 0);
  auto p = Pivot::createPivot(10, -3, 1);
  m->addPivot(p);
  EXPECT_EQ(p->x, 10.0f);
  EXPECT_EQ(p->y, -3.0f);
  EXPECT_EQ(p->link, "");
  EXPECT_EQ(p->recordCount, 0);
}

TEST(Map, PivotHoldsAtMost255Records) {
  auto p = Pivot::createPivot(0, 0, 0);
  for (int i = 0; i < 255; ++i) ASSERT_TRUE(p->addRecord("Data " + std::to_string(i + 1), "Null"));
  EXPECT_FALSE(p->addRecord("one too many", ""));
  EXPECT_EQ(p->recordCount, 255);
  EXPECT_EQ(p->records[254]->name, "Data 255");
}

TEST(Map, ObjectRecordsRoundTrip) {
  auto light = Light::createLight(3, 4, 1, 10, 20, 30);
  light->range = 99.5f;
  auto pivot = Pivot::createPivot(5, 6, 2);
  pivot->link = "a/b.txt";
  pivot->addRecord("n", "v");
  base::ByteWriter w;
  light->write(w, true);
  EXPECT_EQ(w.data().size(), 36u);
  EXPECT_EQ(w.data()[24], 1);  // the selected flag, after colour, position and layer
  pivot->write(w, true);
  EXPECT_EQ(w.data()[w.data().size() - 4], 1);  // the pivot's, last
  base::ByteReader r(w.data());
  Light l2;
  l2.read(r);
  Pivot p2;
  p2.read(r);
  EXPECT_TRUE(r.atEnd());
  EXPECT_EQ(l2.range, 99.5f);
  EXPECT_EQ(l2.blue, 30.0f);
  EXPECT_EQ(p2.link, "a/b.txt");
  ASSERT_EQ(p2.recordCount, 1);
  EXPECT_EQ(p2.records[0]->value, "v");
}

TEST(Map, HugeSizesAreRefusedNotAllocated) {
  EXPECT_THROW(Map::create(1 << 20, 1 << 20, 1, 4, 4), std::length_error);
  EXPECT_THROW(Map::create(65536, 65536, 65536, 4, 4), std::length_error);
}

}  // namespace
}  // namespace vorlane::map

namespace vorlane::map {
namespace {

// A copy of the cell table shares its blocks until either side writes; then only the written
// block is copied, and each side keeps its own cells.
TEST(CellStore, CopiesShareBlocksUntilWrittenAndKeepTheirCells) {
  const std::size_t n = 3 * CellStore::kBlockCells + 5;  // a short last block
  CellStore cells(n);
  auto t = newTile(), u = newTile();
  for (std::size_t k = 0; k < n; k += 7) cells[k] = t;
  const CellStore copy = cells;
  EXPECT_EQ(copy.sharedBlocks(cells), cells.blockCount());
  cells[n - 2] = u;
  cells[0] = nullptr;
  EXPECT_EQ(copy.sharedBlocks(cells), cells.blockCount() - 2);
  EXPECT_EQ(copy[0], t);
  EXPECT_EQ(copy[n - 2], nullptr);
  EXPECT_EQ(cells[n - 2], u);
  EXPECT_FALSE(copy == cells);
  EXPECT_EQ(std::count(copy.begin(), copy.end(), t), static_cast<std::ptrdiff_t>((n + 6) / 7));
  // A plain table and back: the same cells.
  const std::vector<TilePtr> plain = copy;
  EXPECT_TRUE(CellStore(plain) == copy);
  EXPECT_EQ(plain.size(), n);
}

}  // namespace
}  // namespace vorlane::map
