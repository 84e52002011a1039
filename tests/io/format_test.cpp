// The byte format: golden files, identity rules, the tileset join and round trips.
#include <gtest/gtest.h>

#include "samples.h"

namespace vorlane::io {
namespace {

using test::Builder;
using test::Bytes;

Project parse(const Bytes& bytes, Accept accept = Accept::projectOnly) {
  base::ConsoleCapture quiet;
  auto project = parseProject(bytes, accept);
  EXPECT_TRUE(project.ok()) << project.error();
  return std::move(project).value();
}

TEST(Format, GoldenFilesOfEmptyMapsAndTilesets) {
  // Export of a 1 × 1 × 1 map of 32 × 32 cells with nothing in it.
  EXPECT_EQ(test::mapBytes(*map::Map::create(1, 1, 1, 32, 32)),
            (Bytes{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0x20, 0, 0, 0, 0x20, 0, 0, 0, 0, 0, 0, 0,
                   0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}));
  // The start-up map with no tilesets: five sizes, no tiles, no cells, no objects, no tilesets.
  EXPECT_EQ(test::projectBytes(*map::Map::create(0, 0, 0, 0, 0), {}), Bytes(9 * 4, 0));
  // An empty tileset: its label line and 1024 empty markers.
  std::vector<TilesetEntry> one{{"Tileset 1", map::Map::createTileset()}};
  base::ByteWriter out;
  writeTilesetSection(one, out);
  EXPECT_EQ(out.data(), Builder().i32(1).line("Tileset 1").fill(1024, 0xFF).bytes);
}

TEST(Format, TileRecordIsColumnMajorAndOneTileInManyCellsIsWrittenOnce) {
  auto image = std::make_shared<platform::Image>(2, 2);
  for (std::uint8_t i = 0; i < 16; ++i) image->pixels[i] = i;  // rows: (0..3 4..7) (8..11 12..15)
  auto tile = std::make_shared<tiles::Tile>();
  tile->path = "t";
  ASSERT_TRUE(tile->setImages(image, image.get()).ok());
  tile->collider = 1;
  auto map = map::Map::create(10, 50, 1, 64, 64);
  map->fillLayer(0, tile);

  const Bytes columnMajor{0, 1, 2, 3, 8, 9, 10, 11, 4, 5, 6, 7, 12, 13, 14, 15};
  Builder expected;
  expected.i32s({10, 50, 1, 64, 64, 1}).line("t").i32s({2, 2}).u8(0).u8(1);
  for (int part = 0; part < 3; ++part) {
    if (part) expected.i32s({2, 2});
    expected.bytes.insert(expected.bytes.end(), columnMajor.begin(), columnMajor.end());
  }
  for (int i = 0; i < 500; ++i) expected.i32(0);
  expected.i32s({0, 0});
  EXPECT_EQ(test::mapBytes(*map), expected.bytes);
}

TEST(Format, TilesAreListedByIdentityInCellOrder) {
  auto a = test::makeTile("same.png");
  auto a2 = test::makeTile("same.png");  // same file, another object: its own record
  auto b = test::makeTile("b.png");
  auto map = map::Map::create(2, 2, 2, 8, 8);
  map->setCell(0, 0, 1, b);
  map->setCell(0, 1, 0, a);
  map->setCell(1, 0, 0, a2);
  map->setCell(1, 1, 0, a);
  map->setCell(1, 1, 1, b);
  Bytes bytes = test::mapBytes(*map);
  base::ByteReader in(bytes);
  for (int i = 0; i < 5; ++i) in.int32();
  ASSERT_EQ(in.int32(), 3);
  base::ConsoleCapture quiet;
  std::vector<std::string> paths;
  for (int i = 0; i < 3; ++i) {
    tiles::Tile t;
    t.read(in);
    paths.push_back(t.path);
  }
  EXPECT_EQ(paths, (std::vector<std::string>{"b.png", "same.png", "same.png"}));
  std::vector<std::int32_t> cells;
  for (int i = 0; i < 8; ++i) cells.push_back(in.int32());
  EXPECT_EQ(cells, (std::vector<std::int32_t>{-1, 0, 1, -1, 2, -1, 1, 0}));
}

TEST(Format, LightAndPivotRecords) {
  auto map = map::Map::create(0, 0, 0, 0, 0);
  auto light = map::Light::createLight(1.5f, -2, 3, 255, 0.25f, 7);
  map->addLight(light);
  auto pivot = map::Pivot::createPivot(4, 5, 2);
  pivot->link = "next.vorl";
  pivot->addRecord("key", "value");
  pivot->addRecord("", "");
  map->addPivot(pivot);
  Builder expected;
  expected.i32s({0, 0, 0, 0, 0, 0}).i32(1);
  expected.f32(255).f32(0.25f).f32(7).f32(1.5f).f32(-2).i32(3).i32(1).f32(700).i32(0);
  expected.i32(1).f32(4).f32(5).i32(2).line("next.vorl").i32(2).line("key").line("value").line("").line("").i32(0);
  // The light shown as selected carries the flag; the pivot, not selected, does not.
  SavePlan plan(*map, {});
  plan.setSelected({light.get(), nullptr});
  base::ByteWriter out;
  saveMap(*map, out, plan);
  EXPECT_EQ(out.data(), expected.bytes);
  // Read back, the flag is passed over: the editor shows as selected what it has selected.
  base::ByteReader in(out.data());
  const map::MapPtr read = readMapSection(in);
  ASSERT_EQ(read->lights.size(), 1u);
  EXPECT_EQ(read->lights[0]->range, 700.0f);
  EXPECT_EQ(test::mapBytes(*read), test::mapBytes(*map));
}

TEST(Format, RoundTripIsByteExactAndKeepsEveryField) {
  auto sample = test::sampleProject();
  // Shared with the map as after a load; a tile of another object with an equal path would
  // come back as the map's tile instead.
  sample.tilesets[0].tileset->setCell(0, 0, 0, sample.map->cell(0, 0, 0));
  const Bytes bytes = test::projectBytes(sample);
  Project project = parse(bytes);
  ASSERT_TRUE(project.hasTilesetSection);
  EXPECT_EQ(test::projectBytes(*project.map, project.tilesets), bytes);

  const map::Map& m = *project.map;
  EXPECT_EQ(std::vector<std::int32_t>({m.width, m.height, m.depth, m.tileWidth, m.tileHeight}),
            std::vector<std::int32_t>({3, 2, 2, 32, 16}));
  ASSERT_EQ(m.tileCount, 2);
  EXPECT_EQ(m.cell(0, 0, 0), m.tileTable[0]);
  EXPECT_EQ(m.cell(2, 1, 1), m.tileTable[0]);
  EXPECT_EQ(m.cell(1, 0, 1), m.tileTable[1]);
  EXPECT_EQ(m.tileTable[1]->castShadows, 1);
  EXPECT_EQ(m.tileTable[1]->image->pixels, sample.map->cell(1, 0, 1)->image->pixels);
  EXPECT_EQ(m.tileTable[1]->normalGrid->values, sample.map->cell(1, 0, 1)->normalGrid->values);
  ASSERT_EQ(m.lights.size(), 2u);
  EXPECT_EQ(m.lights[0]->x, 10.5f);
  ASSERT_EQ(m.pivots.size(), 1u);
  EXPECT_EQ(m.pivots[0]->recordCount, 2);
  EXPECT_EQ(m.pivots[0]->records[1]->value, "value only");
  ASSERT_EQ(project.tilesets.size(), 2u);
  EXPECT_EQ(project.tilesets[1].label, "Tileset 2");
  EXPECT_EQ(project.tilesets[0].tileset->cell(0, 0, 0), m.tileTable[0]);
  EXPECT_EQ(project.tilesets[0].tileset->cell(7, 127, 0)->path, "maps/other.png");
}

TEST(Format, TilesetTilesJoinTheMapTilesByPathWithOnlyAsciiLettersFolded) {
  Builder file;
  file.i32s({1, 1, 3, 64, 64, 3}).tile("Dir/A.png").tile("dir/a.PNG").tile("dir/\xE4.png").i32s({1, 0, 2, 0, 0});
  file.i32(1).line("Set");
  file.u8(0x01).tile("DIR/a.png");     // joins the first of the two equal map paths
  file.u8(0x01).tile("dir/A.PNG");     // so does this one
  file.u8(0x02).u8(0x00);              // other markers are empty cells, with nothing after them
  file.u8(0x01).tile("dir/\xC4.png");  // only A-Z are folded, not Latin-1 letters
  file.fill(1024 - 5, 0xFF);

  base::ConsoleCapture console;
  auto project = parseProject(file.bytes);
  ASSERT_TRUE(project.ok()) << project.error();
  const auto& table = project->map->tileTable;
  const auto& set = *project->tilesets[0].tileset;
  EXPECT_EQ(project->map->cell(0, 0, 0), table[1]);
  EXPECT_EQ(set.cell(0, 0, 0), table[0]);
  EXPECT_EQ(set.cell(1, 0, 0), table[0]);
  EXPECT_FALSE(set.cell(2, 0, 0));
  EXPECT_FALSE(set.cell(3, 0, 0));
  ASSERT_TRUE(set.cell(4, 0, 0));
  EXPECT_NE(set.cell(4, 0, 0), table[2]);
  const std::vector<std::string> tile{"Reading tile.", "Read."};
  std::vector<std::string> expected{"Reading tiles"};
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), tile.begin(), tile.end());
  expected.push_back("Read tiles.");
  for (int i = 0; i < 2; ++i) {
    expected.insert(expected.end(), tile.begin(), tile.end());
    expected.push_back("Replaced tile.");
  }
  expected.insert(expected.end(), tile.begin(), tile.end());
  EXPECT_EQ(console.lines(), expected);
}

TEST(Format, ExportFilesAndTrailingBytes) {
  auto sample = test::sampleProject();
  const Bytes exported = test::mapBytes(*sample.map);
  Project asExport = parse(exported, Accept::projectOrExport);
  EXPECT_FALSE(asExport.hasTilesetSection);
  EXPECT_TRUE(asExport.tilesets.empty());
  EXPECT_EQ(asExport.map->lights.size(), 2u);

  base::ConsoleCapture quiet;
  auto refused = parseProject(exported);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error(), "Error reading from stream");

  Bytes trailing = test::projectBytes(sample);
  trailing.insert(trailing.end(), {1, 2, 3});
  EXPECT_EQ(parse(trailing).tilesets.size(), 2u);
}

TEST(Format, MoreThan255TilesetsAreRefusedBeforeAnythingIsWritten) {
  std::vector<TilesetEntry> many(256, TilesetEntry{"t", map::Map::createTileset()});
  base::ByteWriter out;
  EXPECT_THROW(writeTilesetSection(many, out), base::FormatError);
  EXPECT_TRUE(out.data().empty());
}

}  // namespace
}  // namespace vorlane::io
