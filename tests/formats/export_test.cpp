// Exporting maps as TMX and TMJ with tile atlases, and importing them back.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "formats/formats.h"
#include "formats/samples.h"
#include "platform/decode.h"
#include "support/child.h"
#include "support/own_parts.h"

namespace vorlane::formats::test {
namespace {

using vorlane::test::patternImage;
using vorlane::test::solidImage;

std::shared_ptr<tiles::Tile> makeTile(const platform::Image& image, const platform::Image& normal) {
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

// XML 1.0 holds no control character but tab, LF and CR, not even as a reference: TMX
// refuses the others, naming the text, and writes nothing; JSON holds them all.
TEST(Export, ControlCharactersAreRefusedByTmxAndKeptByTmj) {
  TempDir dir;
  auto m = map::Map::create(1, 1, 1, 4, 4);
  auto pivot = map::Pivot::createPivot(1, 2, 0);
  pivot->link = "tab\there";
  pivot->addRecord("key", std::string("a\x01" "b"));
  m->addPivot(pivot);
  auto refused = formatNamed("tmx")->write(dir.file("x.tmx"), *m, {});
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(),
            "A TMX file cannot hold this text, so nothing was written.\nThe value of record 1 of pivot 1 \"a<U+0001>b\" holds "
            "the control character U+0001, which XML does not allow.");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  ASSERT_TRUE(formatNamed("tmj")->write(dir.file("x.tmj"), *m, {}));
  auto back = importMapFile(dir.file("x.tmj"), {});
  ASSERT_TRUE(back) << back.error();
  ASSERT_EQ(back->map->pivots.size(), 1u);
  EXPECT_EQ(back->map->pivots[0]->link, "tab\there");
  EXPECT_EQ(back->map->pivots[0]->records[0]->value, "a\x01" "b");
  // Tab alone is allowed in XML, and comes back.
  vorlane::test::writable(pivot->records[0])->value = "a\tb";
  ASSERT_TRUE(formatNamed("tmx")->write(dir.file("x.tmx"), *m, {}));
  back = importMapFile(dir.file("x.tmx"), {});
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(back->map->pivots[0]->records[0]->value, "a\tb");
}

// Every file of a folder with its bytes: what an export may and may not have touched.
std::map<std::string, std::vector<std::uint8_t>> filesIn(const std::filesystem::path& folder) {
  std::map<std::string, std::vector<std::uint8_t>> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    files[entry.path().filename().string()] =
        entry.is_regular_file() ? vorlane::test::readFile(entry.path().string()) : std::vector<std::uint8_t>{};
  return files;
}

// Distinct tiles of noise: an export no small disk holds.
map::MapPtr noisyMap() {
  auto m = map::Map::create(16, 16, 1, 32, 32);
  std::uint32_t seed = 1;
  for (int i = 0; i < 256; ++i) {
    platform::Image image(32, 32);
    for (auto& byte : image.pixels) byte = static_cast<std::uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
    m->setCell(i % 16, i / 16, 0, makeTile(image, solidImage(1, 1, 255, 128, 128)));
  }
  return m;
}

// An export that fails: the folder afterwards holds exactly what it held before (the old
// map and the atlases it names, any user file of an atlas's name), no temporary either.
std::string failedExport(const std::string& folder, const char* format, const map::Map& map, bool normals) {
  const auto before = filesIn(folder);
  auto notes = formatNamed(format)->write(folder + "/x." + format, map, {normals, Encoding::csv});
  if (notes) return "written";
  if (filesIn(folder) != before) return "the folder changed";
  return notes.error().empty() ? "failed without a message" : "";
}

bool mountSmallFolder(const std::string& folder) {
  return ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
}

TEST(ExportSet, AFailedExportKeepsTheOldSetAndEveryFileItDidNotMake) {
  for (const char* format : {"tmx", "tmj"}) {
    SCOPED_TRACE(format);
    TempDir dir;
    const std::string ext = std::string(".") + format;
    auto folder = [&](const char* name) {
      std::filesystem::create_directory(dir.file(name));
      return dir.file(name);
    };
    // The map's place is a folder; a user's file bears the atlas's name.
    const std::string taken = folder("taken");
    std::filesystem::create_directory(taken + "/x" + ext);
    vorlane::test::writeFile(taken + "/x_tiles.png", {1, 2, 3});
    EXPECT_EQ(failedExport(taken, format, *sampleMap(), true), "");
    // An earlier export, and a later atlas of the new one that cannot be written.
    const std::string later = folder("later");
    ASSERT_TRUE(formatNamed(format)->write(later + "/x" + ext, *sampleMap(), {false, Encoding::csv}));
    std::filesystem::create_directory(later + "/x_normals.png");
    EXPECT_EQ(failedExport(later, format, *noisyMap(), true), "");
    // A full disk part-way through the atlases, in a child that mounts a small disk there.
    const std::string full = folder("full");
    const auto outcome = vorlane::test::runInChild([&]() -> std::string {
      if (!mountSmallFolder(full)) return "skip";
      if (!formatNamed(format)->write(full + "/x" + ext, *sampleMap(), {true, Encoding::csv})) return "no old set";
      return failedExport(full, format, *noisyMap(), true);
    });
    ASSERT_TRUE(outcome.exited && outcome.status == 0) << outcome.describe();
    if (outcome.text == "skip") GTEST_SKIP() << "no small disk: this system lets no test mount one";
    EXPECT_EQ(outcome.text, "");
  }
}

// The atlases a map file names, by the ".png" names in its text.
std::set<std::string> atlasesNamed(const std::vector<std::uint8_t>& map) {
  const std::string text(map.begin(), map.end());
  static const std::regex image("[A-Za-z0-9_~]+\\.png");
  std::set<std::string> names;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), image); it != std::sregex_iterator(); ++it)
    names.insert(it->str());
  return names;
}

TEST(ExportSet, AReExportNamesTheAlternateOfEachChangedAtlasAndLeavesTheOldSetWhole) {
  auto moved = sampleMap();
  vorlane::test::writable(moved->lights[0])->x += 1;  // the map changes, its tiles do not
  using Files = std::map<std::string, std::vector<std::uint8_t>>;
  struct Case {
    const char* name;
    Files before;  // besides the map and atlases the sequence writes
    std::vector<map::MapPtr> exports;
    std::set<std::string> named;  // by the last map
    std::size_t files;            // in the folder at the end
  };
  const std::vector<std::uint8_t> user{1, 2, 3};
  const Case cases[] = {
      {"a first export", {}, {sampleMap()}, {"x_tiles.png", "x_normals.png"}, 3},
      {"unchanged tiles keep their names", {}, {sampleMap(), moved}, {"x_tiles.png", "x_normals.png"}, 3},
      {"changed tiles take the alternates", {}, {sampleMap(), noisyMap()}, {"x_tiles~1.png", "x_normals~1.png"}, 5},
      {"and the names alternate", {}, {sampleMap(), noisyMap(), moved}, {"x_tiles.png", "x_normals.png"}, 5},
      {"a file the old map does not name is replaced", {{"x_tiles.png", user}, {"x.", {'{', '}'}}}, {sampleMap()},
       {"x_tiles.png", "x_normals.png"}, 3},
      {"a map no reader understands may name any file", {{"x_tiles.png", user}, {"x.", {'{'}}}, {sampleMap()},
       {"x_tiles~1.png", "x_normals.png"}, 4},
  };
  for (const char* format : {"tmx", "tmj"}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(format) + ": " + c.name);
      TempDir dir;
      const std::string mapName = std::string("x.") + format, map = dir.file(mapName);
      for (const auto& [name, bytes] : c.before)
        vorlane::test::writeFile(name == "x." ? map : dir.file(name), bytes);
      for (const auto& m : c.exports) {
        const Files old = filesIn(dir.path());
        ASSERT_TRUE(formatNamed(format)->write(map, *m, {true, Encoding::csv}));
        // Every file the old map names holds what it held.
        for (const std::string& atlas : atlasesNamed(old.count(mapName) ? old.at(mapName) : std::vector<std::uint8_t>{}))
          if (old.count(atlas)) {
            EXPECT_EQ(vorlane::test::readFile(dir.file(atlas)), old.at(atlas)) << atlas;
          }
      }
      EXPECT_EQ(atlasesNamed(vorlane::test::readFile(map)), c.named);
      EXPECT_EQ(filesIn(dir.path()).size(), c.files);
      if (c.before.count("x_tiles.png") && !c.named.count("x_tiles.png")) {
        EXPECT_EQ(vorlane::test::readFile(dir.file("x_tiles.png")), user);
      }
    }
  }
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
