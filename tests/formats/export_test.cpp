// Exporting maps as TMX and TMJ with tile atlases, and importing them back.
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/formats.h"
#include "formats/samples.h"
#include "platform/decode.h"

namespace vorlane::formats::test {
namespace {

using vorlane::test::patternImage;
using vorlane::test::solidImage;

tiles::TilePtr makeTile(const platform::Image& image, const platform::Image& normal) {
  auto tile = std::make_shared<tiles::Tile>();
  EXPECT_TRUE(tile->setImages(std::make_shared<platform::Image>(image), &normal));
  return tile;
}

// Three distinct tiles with flags and normal maps, one of them also as a second object with
// equal pixels; lights of whole and of fractional colours; pivots on two layers, out of order.
map::MapPtr sampleMap() {
  auto m = map::Map::create(3, 2, 2, 4, 4);
  auto a = makeTile(patternImage(4, 4), solidImage(4, 4, 1, 2, 3));
  auto b = makeTile(solidImage(4, 4, 9, 8, 7), solidImage(4, 4, 4, 5, 6));
  auto c = makeTile(solidImage(4, 4, 0, 0, 0, 0), patternImage(4, 4));
  auto twin = makeTile(patternImage(4, 4), solidImage(4, 4, 1, 2, 3));
  a->collider = 1;
  twin->collider = 1;
  b->castShadows = 1;
  m->setCell(0, 0, 0, a);
  m->setCell(1, 0, 0, b);
  m->setCell(2, 1, 0, twin);
  m->setCell(0, 1, 1, c);
  m->setCell(2, 0, 1, a);
  auto light = map::Light::createLight(1.5f, 2.25f, 1, 10, 20, 30);
  light->range = 99.5f;
  light->castShadows = 1;
  m->addLight(light);
  m->addLight(map::Light::createLight(0, 7, 0, 255.5f, -3, 1000));
  for (auto [x, y, layer] : {std::tuple{1, 2, 0}, {3, 4, 1}, {5, 6, 0}}) {
    auto pivot = map::Pivot::createPivot(x, y, layer);
    pivot->link = layer ? "" : "door & <gate>.lua";
    pivot->addRecord("key", "value \"quoted\"");
    pivot->addRecord("key", "second with the same name");
    m->addPivot(pivot);
  }
  return m;
}

void expectSamePixels(const platform::Image* a, const platform::Image* b) {
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->width, b->width);
  EXPECT_EQ(a->height, b->height);
  EXPECT_EQ(a->pixels, b->pixels);
}

// Everything a map export must carry; tiles compare by pixels and flags, not by identity.
void expectSameMap(const map::Map& a, const map::Map& b, bool normals) {
  ASSERT_EQ(std::vector<int>({a.width, a.height, a.depth, a.tileWidth, a.tileHeight}),
            std::vector<int>({b.width, b.height, b.depth, b.tileWidth, b.tileHeight}));
  for (std::size_t i = 0; i < a.cells.size(); ++i) {
    SCOPED_TRACE("cell " + std::to_string(i));
    ASSERT_EQ(a.cells[i] == nullptr, b.cells[i] == nullptr);
    if (!a.cells[i]) continue;
    expectSamePixels(a.cells[i]->image.get(), b.cells[i]->image.get());
    EXPECT_EQ(a.cells[i]->castShadows, b.cells[i]->castShadows);
    EXPECT_EQ(a.cells[i]->collider, b.cells[i]->collider);
    if (normals) {
      EXPECT_EQ(a.cells[i]->normalGrid->values, b.cells[i]->normalGrid->values);
    }
  }
  ASSERT_EQ(a.lights.size(), b.lights.size());
  for (std::size_t i = 0; i < a.lights.size(); ++i) {
    const map::Light &p = *a.lights[i], &q = *b.lights[i];
    EXPECT_EQ(std::vector<float>({p.red, p.green, p.blue, p.x, p.y, p.range}),
              std::vector<float>({q.red, q.green, q.blue, q.x, q.y, q.range}));
    EXPECT_EQ(std::pair(p.layer, p.castShadows), std::pair(q.layer, q.castShadows));
  }
  ASSERT_EQ(a.pivots.size(), b.pivots.size());
  for (std::size_t i = 0; i < a.pivots.size(); ++i) {
    const map::Pivot &p = *a.pivots[i], &q = *b.pivots[i];
    EXPECT_EQ(std::tuple(p.x, p.y, p.layer, p.link, p.recordCount), std::tuple(q.x, q.y, q.layer, q.link, q.recordCount));
    for (std::int32_t r = 0; r < std::min(p.recordCount, q.recordCount); ++r)
      EXPECT_EQ(std::pair(p.records[r]->name, p.records[r]->value), std::pair(q.records[r]->name, q.records[r]->value));
  }
}

TEST(Export, RoundTripsInEverySyntaxAndEncoding) {
  auto original = sampleMap();
  for (const char* format : {"tmx", "tmj"})
    for (Encoding e : {Encoding::csv, Encoding::base64, Encoding::zlib, Encoding::gzip, Encoding::zstd})
      for (bool normals : {false, true}) {
        SCOPED_TRACE(std::string(format) + " " + std::string(encodingName(e)) + (normals ? " with normals" : ""));
        TempDir dir;
        const std::string path = dir.file(std::string("level.") + format);
        auto notes = formatNamed(format)->write(path, *original, {normals, e});
        ASSERT_TRUE(notes) << notes.error();
        EXPECT_TRUE(notes->empty());
        auto back = importMapFile(path, {});
        ASSERT_TRUE(back) << back.error();
        expectSameMap(*original, *back->map, normals);
        // The twin of tile a is written once: three tiles in one atlas, one tileset.
        ASSERT_EQ(back->tilesets.size(), 1u);
        EXPECT_EQ(back->map->cell(0, 0, 0), back->map->cell(2, 1, 0));
        EXPECT_TRUE(back->tilesets[0].tileset->cell(2, 0, 0));
        EXPECT_FALSE(back->tilesets[0].tileset->cell(3, 0, 0));
        // Only the map and its atlases, all named relative to it.
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) files.push_back(entry.path().filename());
        std::sort(files.begin(), files.end());
        std::vector<std::string> expected = {std::string("level.") + format, "level_tiles.png"};
        if (normals) expected.insert(expected.begin() + 1, "level_normals.png");
        EXPECT_EQ(files, expected);
        const auto text = vorlane::test::readFile(path);
        EXPECT_EQ(std::string(text.begin(), text.end()).find(dir.path().string()), std::string::npos);
      }
}

TEST(Export, TilesOfOtherSizesAreResampledToTheCellAndSaidSo) {
  TempDir dir;
  auto m = map::Map::create(2, 1, 1, 4, 4);
  m->setCell(0, 0, 0, makeTile(patternImage(8, 2), solidImage(8, 2, 1, 1, 1)));
  m->setCell(1, 0, 0, makeTile(patternImage(4, 4), solidImage(4, 4, 1, 1, 1)));
  auto notes = formatNamed("tmx")->write(dir.file("m.tmx"), *m, {});
  ASSERT_TRUE(notes) << notes.error();
  ASSERT_EQ(notes->size(), 1u);
  EXPECT_EQ(notes->front(), "1 tiles whose images are not 4 x 4 pixels were resampled to the cell size");
  auto back = importMapFile(dir.file("m.tmx"), {});
  ASSERT_TRUE(back) << back.error();
  // Pixel (x, y) of the cell shows source pixel ((2x + 1) * 8 / 8, (2y + 1) * 2 / 8).
  const platform::Image& cell = *back->map->cell(0, 0, 0)->image;
  const platform::Image source = patternImage(8, 2);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(std::vector<int>(cell.at(x, y), cell.at(x, y) + 4),
                std::vector<int>(source.at(2 * x + 1, (2 * y + 1) / 4), source.at(2 * x + 1, (2 * y + 1) / 4) + 4));
}

TEST(Export, ManyDistinctTilesSpreadOverAtlasesWithinTheSideLimit) {
  TempDir dir;
  // 40 distinct 4 × 4 tiles and atlases of at most 16 × 16 pixels: 16 tiles each, so three.
  auto m = map::Map::create(40, 1, 1, 4, 4);
  for (int i = 0; i < 40; ++i)
    m->setCell(i, 0, 0, makeTile(solidImage(4, 4, static_cast<std::uint8_t>(i), 1, 1), solidImage(1, 1, 255, 128, 128)));
  ExportOptions options;
  options.maxAtlasSide = 16;
  auto notes = formatNamed("tmj")->write(dir.file("big.tmj"), *m, options);
  ASSERT_TRUE(notes) << notes.error();
  for (const char* atlas : {"big_tiles.png", "big_tiles_2.png", "big_tiles_3.png"}) {
    auto image = platform::decodeImageFile(dir.file(atlas));
    ASSERT_TRUE(image) << atlas;
    EXPECT_LE(image->width, 16);
    EXPECT_LE(image->height, 16);
  }
  auto back = importMapFile(dir.file("big.tmj"), {});
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(back->tilesets.size(), 3u);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(back->map->cell(i, 0, 0)->image->at(3, 3)[0], i);
}

TEST(Export, FailedWriteLeavesNothingBehind) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("taken.tmx"));  // a folder where the map belongs
  auto notes = formatNamed("tmx")->write(dir.file("taken.tmx"), *sampleMap(), {true, Encoding::csv});
  EXPECT_FALSE(notes);
  EXPECT_FALSE(std::filesystem::exists(dir.file("taken_tiles.png")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("taken_normals.png")));
}

TEST(Formats, TableGivesFiltersAndFindsByNameOrExtension) {
  EXPECT_EQ(requesterFilter(true), "TMX maps:tmx;JSON maps:tmj,json;");
  EXPECT_EQ(requesterFilter(false), "TMX maps:tmx;JSON maps:tmj,json;PNG pictures:png;");
  EXPECT_EQ(formatForPath("a/b.TMX"), formatNamed("tmx"));
  EXPECT_EQ(formatForPath("b.json"), formatNamed("tmj"));
  EXPECT_EQ(formatForPath("b.png"), formatNamed("png"));
  EXPECT_EQ(formatForPath("b.tmx/c"), nullptr);
  EXPECT_EQ(formatNamed("png")->read, nullptr);
}

}  // namespace
}  // namespace vorlane::formats::test
