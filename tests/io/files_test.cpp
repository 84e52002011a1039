// The file commands: names, all-or-nothing loading, and saving that never loses the old file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>

#include "samples.h"
#include "support/own_parts.h"

namespace vorlane::io {
namespace {

using test::Bytes;
using vorlane::test::TempDir;

std::vector<std::string> filesIn(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Save, like Export, writes the file the user chose: ".vorl" only when it is not already there.
TEST(FileNames, SaveAndExportKeepAnExactVorlExtension) {
  const std::pair<const char*, const char*> names[] = {
      {"level", "level.vorl"},
      {"level.vorl", "level.vorl"},
      {"level.VORL", "level.VORL.vorl"},
      {"level.vorlx", "level.vorlx.vorl"},
      {"dir.vorl/level", "dir.vorl/level.vorl"},
      {"dir.vorl\\level", "dir.vorl\\level.vorl"},
      {"a/b.vorl", "a/b.vorl"},
      {"level.", "level..vorl"},
  };
  for (auto [name, expected] : names) EXPECT_EQ(saveFileName(name), expected) << name;
  EXPECT_TRUE(isCancelledLoadName(""));
  EXPECT_TRUE(isCancelledLoadName(" "));
  EXPECT_FALSE(isCancelledLoadName("  "));
  EXPECT_FALSE(isCancelledLoadName("level.vorl"));
}

TEST(SaveCommand, WritesTheProjectUnderNameDotVorlAndSaysSoOnlyAfterwards) {
  TempDir dir;
  auto sample = test::sampleProject();
  base::ConsoleCapture console;
  ASSERT_TRUE(saveProjectFile(dir.file("level.vorl"), *sample.map, sample.tilesets).ok());
  EXPECT_EQ(console.lines(), std::vector<std::string>{"Saved:" + dir.file("level.vorl")});
  ASSERT_TRUE(saveProjectFile(dir.file("other"), *sample.map, sample.tilesets).ok());
  EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"level.vorl", "other.vorl"}));
  EXPECT_EQ(vorlane::test::readFile(dir.file("level.vorl")), test::projectBytes(sample));

  console.clear();
  ASSERT_TRUE(saveProjectFile("", *sample.map, sample.tilesets).ok());
  ASSERT_TRUE(exportMapFile("", *sample.map).ok());
  EXPECT_TRUE(console.lines().empty());
  EXPECT_EQ(filesIn(dir).size(), 2u);
}

TEST(ExportCommand, WritesTheMapSectionAloneWithoutConsoleLines) {
  TempDir dir;
  auto sample = test::sampleProject();
  base::ConsoleCapture console;
  ASSERT_TRUE(exportMapFile(dir.file("level.VORL"), *sample.map).ok());
  ASSERT_TRUE(exportMapFile(dir.file("game.vorl"), *sample.map).ok());
  EXPECT_TRUE(console.lines().empty());
  EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"game.vorl", "level.VORL.vorl"}));
  EXPECT_EQ(vorlane::test::readFile(dir.file("game.vorl")), test::mapBytes(*sample.map));
}

TEST(SaveCommand, ReplacingAFileKeepsItsPermissions) {
  TempDir dir;
  const std::string path = dir.file("level.vorl");
  vorlane::test::writeFile(path, {1, 2, 3});
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  auto sample = test::sampleProject();
  ASSERT_TRUE(exportMapFile(path, *sample.map).ok());
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(vorlane::test::readFile(path), test::mapBytes(*sample.map));
}

TEST(SaveCommand, AFileThatCannotBeCreatedIsReportedAndNothingIsWritten) {
  TempDir dir;
  auto sample = test::sampleProject();
  base::ConsoleCapture console;
  auto status = saveProjectFile(dir.file("missing/level"), *sample.map, sample.tilesets);
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error(), "Unable to open file.\n" + dir.file("missing/level.vorl") + ": the folder " +
                                dir.file("missing") + " does not exist.");
  std::filesystem::create_directory(dir.file("taken.vorl"));
  status = exportMapFile(dir.file("taken"), *sample.map);
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error(), "Unable to open file.\n" + dir.file("taken.vorl") + ": it is a folder.");
  EXPECT_TRUE(console.lines().empty());
  EXPECT_EQ(filesIn(dir), std::vector<std::string>{"taken.vorl"});
}

// Lets writes beyond `bytes` fail with EFBIG for as long as it lives.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit previous_{};
  void (*previousHandler_)(int);
};

TEST(SaveCommand, AFailedWriteLeavesThePreviousFileAndNoTemporaryFile) {
  TempDir dir;
  const std::string path = dir.file("level.vorl");
  const Bytes previous{9, 8, 7, 6};
  vorlane::test::writeFile(path, previous);
  auto sample = test::sampleProject();
  // Big enough to pass the writer's buffer several times over.
  auto big = map::Map::create(512, 512, 4, 16, 16);
  big->fillLayer(0, sample.map->cell(0, 0, 0));
  base::ConsoleCapture console;
  base::Status status = base::success();
  {
    FileSizeLimit limit(4096);
    status = saveProjectFile(dir.file("level"), *big, sample.tilesets);
  }
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error(), "Error writing to stream\n" + path + ": the file is larger than the file system or its limit allows.");
  EXPECT_TRUE(console.lines().empty());
  EXPECT_EQ(vorlane::test::readFile(path), previous);
  EXPECT_EQ(filesIn(dir), std::vector<std::string>{"level.vorl"});

  // A body that fails part-way through (here a tileset list that cannot be written).
  std::vector<TilesetEntry> tooMany(256, sample.tilesets[1]);
  status = saveProjectFile(dir.file("level"), *sample.map, tooMany);
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error().rfind("tilesetCount", 0), 0u);
  EXPECT_EQ(vorlane::test::readFile(path), previous);
  EXPECT_EQ(filesIn(dir), std::vector<std::string>{"level.vorl"});
}

// A text a line cannot give back stops Save and Export before any file exists, says which
// text and why, and leaves the text as it is.
TEST(SaveCommand, RefusesATextTheFileCannotHoldAndWritesNothing) {
  struct Case {
    const char* what;
    std::function<std::string&(test::Sample&)> text;
    std::string value;
    bool inMapSection;
    const char* said;
  };
  const Case cases[] = {
      {"map tile path", [](test::Sample& s) -> std::string& { return vorlane::test::writable(s.map->cell(0, 0, 0))->path; },
       "/home/u/\xE4\xB8\x8A/grass.png",  // U+4E0A: its low byte is a line feed
       true,
       "The tile path \"/home/u/\xE4\xB8\x8A/grass.png\" holds the character \"\xE4\xB8\x8A\" (U+4E0A), which is "
       "not a Latin-1 character: the file keeps one byte per character.\nMove the image to a folder whose name uses "
       "Latin-1 characters only"},
      {"tileset tile path", [](test::Sample& s) -> std::string& { return vorlane::test::writable(s.tilesets[0].tileset->cell(7, 127, 0))->path; },
       "maps/other\r.png", false, "The tile path \"maps/other<CR>.png\" holds a carriage return (CR), which reading drops."},
      {"pivot link", [](test::Sample& s) -> std::string& { return vorlane::test::writable(s.map->pivots[0])->link; }, "\xF0\x9F\x98\x80.lua", true,
       "The link of pivot 1 \"\xF0\x9F\x98\x80.lua\" holds the character \"\xF0\x9F\x98\x80\" (U+1F600)"},
      {"record name", [](test::Sample& s) -> std::string& { return vorlane::test::writable(s.map->pivots[0]->records[1])->name; }, "two\nlines",
       true, "The name of record 2 of pivot 1 \"two<LF>lines\" holds a line break (LF), at which the text would end."},
      {"record value", [](test::Sample& s) -> std::string& { return vorlane::test::writable(s.map->pivots[0]->records[0])->value; },
       std::string("do\0or", 5), true, "The value of record 1 of pivot 1 \"do"},
      {"tileset label", [](test::Sample& s) -> std::string& { return s.tilesets[1].label; }, "Tiles \xE4\xB8\x8A", false,
       "The label of tileset 2 \"Tiles \xE4\xB8\x8A\" holds the character"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    auto sample = test::sampleProject();
    std::string& text = c.text(sample);
    text = c.value;
    const std::string kept = text;
    base::ConsoleCapture console;
    auto saved = saveProjectFile(dir.file("level"), *sample.map, sample.tilesets);
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.error().rfind("A project file cannot hold this text, so nothing was written.\n", 0), 0u);
    EXPECT_NE(saved.error().find(c.said), std::string::npos) << saved.error();
    auto exported = exportMapFile(dir.file("game"), *sample.map);
    EXPECT_EQ(exported.ok(), !c.inMapSection);
    if (!exported.ok()) {
      EXPECT_EQ(exported.error(), saved.error());
    }
    EXPECT_EQ(filesIn(dir), c.inMapSection ? std::vector<std::string>{} : std::vector<std::string>{"game.vorl"});
    EXPECT_TRUE(console.lines().empty());
    EXPECT_EQ(text, kept);
  }
}

// Tiles of other size or pixels under one path (letters A-Z folded, as the reader joins
// them) are written under paths of their own, so each cell reads back with what it showed.
TEST(SaveCommand, DifferentTilesUnderOnePathGetPathsOfTheirOwn) {
  TempDir dir;
  // The same image scanned at two tile sizes: two sets with the same names.
  auto small = test::makeTile("Scan.png 0", 2, 3), large = test::makeTile("scan.png 0", 4, 4);
  auto taken = test::makeTile("scan.png 0 (2)", 1, 1);  // a later suffix must pass it
  auto map = map::Map::create(2, 1, 1, 32, 32);
  map->setCell(0, 0, 0, large);
  map->setCell(1, 0, 0, taken);
  auto first = map::Map::createTileset(), second = map::Map::createTileset();
  first->setCell(0, 0, 0, small);
  second->setCell(0, 0, 0, large);
  const std::vector<TilesetEntry> tilesets{{"Tileset 1", first}, {"Tileset 2", second}};
  base::ConsoleCapture quiet;
  ASSERT_TRUE(saveProjectFile(dir.file("level"), *map, tilesets).ok());
  EXPECT_EQ(small->path, "Scan.png 0");  // memory keeps its paths

  auto loaded = loadProjectFile(dir.file("level.vorl"));
  ASSERT_TRUE(loaded.ok()) << loaded.error();
  const auto& m = *loaded->map;
  const auto& sets = loaded->tilesets;
  EXPECT_EQ(m.cell(0, 0, 0)->path, "scan.png 0");
  EXPECT_EQ(m.cell(0, 0, 0)->image->width, 4);
  EXPECT_EQ(m.cell(1, 0, 0)->path, "scan.png 0 (2)");
  const auto& fromFirst = sets[0].tileset->cell(0, 0, 0);
  EXPECT_EQ(fromFirst->path, "Scan.png 0 (3)");
  EXPECT_EQ(fromFirst->image->pixels, small->image->pixels);
  EXPECT_EQ(sets[1].tileset->cell(0, 0, 0), m.cell(0, 0, 0));  // the very tile the map shows
}

// Without such a clash every tile is written under its own path: tiles that look alike may
// share one (the reader joins them), and the map's tiles without a path (a render's) clash
// with nothing but a tileset's.
TEST(SavePlan, KeepsEveryPathWithoutAClash) {
  auto sample = test::sampleProject();  // "MAPS/grass.PNG" looks like "Maps/Grass.png"
  const SavePlan plan(*sample.map, sample.tilesets);
  for (const map::Map* m : {sample.map.get(), sample.tilesets[0].tileset.get()})
    for (const auto& cell : m->cells)
      if (cell) {
        EXPECT_EQ(plan.pathOf(*cell), cell->path);
      }

  auto lit = map::Map::create(3, 1, 1, 32, 32);
  for (int x = 0; x < 3; ++x) lit->setCell(x, 0, 0, test::makeTile("", x + 1, 1));
  const SavePlan litPlan(*lit, {});
  for (const auto& cell : lit->cells) EXPECT_EQ(litPlan.pathOf(*cell), "");
  auto tileset = map::Map::createTileset();
  tileset->setCell(0, 0, 0, test::makeTile("", 5, 5));
  const std::vector<TilesetEntry> withTileset{{"Tileset 1", tileset}};
  EXPECT_EQ(SavePlan(*lit, withTileset).pathOf(*tileset->cell(0, 0, 0)), " (2)");
}

// A tile moves aside only where the reader would join a tileset's tile to another map tile
// that differs from it; every other file keeps each tile's path, byte for byte.
TEST(SavePlan, RenamesOnlyATilesetTileTheReaderWouldTakeForAnother) {
  const auto patternTile = [](const std::string& path, int w, int h) { return test::makeTile(path, w, h); };
  struct Case {
    const char* what;
    std::vector<tiles::TilePtr> mapTiles, tilesetTiles;
    std::vector<std::string> tilesetPaths;  // as written
  };
  auto big = patternTile("P 0", 4, 4), small = patternTile("p 0", 2, 2), twin = patternTile("P 0", 4, 4);
  auto flagged = patternTile("P 0", 4, 4);
  flagged->collider = 1;
  const Case cases[] = {
      {"a scan: pieces of one path in a tileset, none in the map", {}, {big, small}, {"P 0", "p 0"}},
      {"map tiles of one path and no tileset", {big, small}, {}, {}},
      {"the very map tile in the tileset", {big, small}, {big}, {"P 0"}},
      {"a later map tile in the tileset", {big, small}, {small}, {"p 0 (2)"}},
      {"a tileset tile looking like the first map tile", {big}, {twin}, {"P 0"}},
      {"a tileset tile looking like a later map tile only", {big, small}, {patternTile("P 0", 2, 2)}, {"P 0 (2)"}},
      {"another size", {big}, {small}, {"p 0 (2)"}},
      {"other flags", {big}, {flagged}, {"P 0 (2)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto map = map::Map::create(static_cast<std::int32_t>(c.mapTiles.size()), 1, 1, 32, 32);
    for (std::size_t k = 0; k < c.mapTiles.size(); ++k) map->setCell(static_cast<std::int32_t>(k), 0, 0, c.mapTiles[k]);
    auto tileset = map::Map::createTileset();
    for (std::size_t k = 0; k < c.tilesetTiles.size(); ++k)
      tileset->setCell(static_cast<std::int32_t>(k), 0, 0, c.tilesetTiles[k]);
    const std::vector<TilesetEntry> tilesets{{"Tileset 1", tileset}};
    const SavePlan plan(*map, tilesets);
    for (const auto& tile : c.mapTiles)
      if (std::find(c.tilesetTiles.begin(), c.tilesetTiles.end(), tile) == c.tilesetTiles.end()) {
        EXPECT_EQ(plan.pathOf(*tile), tile->path);
      }
    std::vector<std::string> written;
    for (const auto& tile : c.tilesetTiles) written.push_back(plan.pathOf(*tile));
    EXPECT_EQ(written, c.tilesetPaths);
  }
}

TEST(LoadCommand, AFailedLoadSaysWhy) {
  TempDir dir;
  auto sample = test::sampleProject();
  const Bytes whole = test::projectBytes(sample);
  const Bytes exported = test::mapBytes(*sample.map);
  // Cut inside the tileset section: the map section is whole, the file is not.
  vorlane::test::writeFile(dir.file("cut.vorl"), Bytes(whole.begin(), whole.end() - 10));
  vorlane::test::writeFile(dir.file("export.vorl"), exported);
  vorlane::test::writeFile(dir.file("badcount.vorl"), test::Builder().i32s({0, 0, 0, 0, 0, 0, 0, 0, 256}).bytes);

  // "Error reading from stream" first, then the file and what was wrong with it.
  const auto unreadable = [&](const char* name, const std::string& why) {
    return "Error reading from stream\n" + dir.file(name) + ": " + why;
  };
  const std::pair<std::string, std::string> cases[] = {
      {"cut.vorl", unreadable("cut.vorl", "the file ends after " + std::to_string(whole.size() - 10) +
                                              " bytes, inside the tilesets")},
      {"export.vorl", unreadable("export.vorl", "an exported map (the map alone, without tilesets), not a project")},
      {"badcount.vorl", unreadable("badcount.vorl", "tilesetCount must lie in 0..255 (256)")},
      {"absent.vorl", "Unable to open file."},
  };
  base::ConsoleCapture quiet;
  for (const auto& [name, error] : cases) {
    auto loaded = loadProjectFile(dir.file(name));
    ASSERT_FALSE(loaded.ok()) << name;
    EXPECT_EQ(loaded.error(), error) << name;
  }
  for (const char* cancelled : {"", " "}) EXPECT_TRUE(isCancelledLoadName(cancelled));
}

}  // namespace
}  // namespace vorlane::io
