// The file commands: names, all-or-nothing loading, and saving that never loses the old file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "samples.h"

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

TEST(FileNames, SaveAlwaysAppendsAndExportKeepsAnExactVorlExtension) {
  EXPECT_EQ(saveFileName("level"), "level.vorl");
  EXPECT_EQ(saveFileName("level.vorl"), "level.vorl.vorl");
  const std::pair<const char*, const char*> exports[] = {
      {"level", "level.vorl"},
      {"level.vorl", "level.vorl"},
      {"level.VORL", "level.VORL.vorl"},
      {"level.vorlx", "level.vorlx.vorl"},
      {"dir.vorl/level", "dir.vorl/level.vorl"},
      {"dir.vorl\\level", "dir.vorl\\level.vorl"},
      {"a/b.vorl", "a/b.vorl"},
      {"level.", "level..vorl"},
  };
  for (auto [name, expected] : exports) EXPECT_EQ(exportFileName(name), expected) << name;
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
  EXPECT_EQ(filesIn(dir), std::vector<std::string>{"level.vorl.vorl"});
  EXPECT_EQ(vorlane::test::readFile(dir.file("level.vorl.vorl")), test::projectBytes(sample));

  console.clear();
  ASSERT_TRUE(saveProjectFile("", *sample.map, sample.tilesets).ok());
  ASSERT_TRUE(exportMapFile("", *sample.map).ok());
  EXPECT_TRUE(console.lines().empty());
  EXPECT_EQ(filesIn(dir).size(), 1u);
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

// Everything loadProject could change, as bytes and object identities.
struct Snapshot {
  Bytes bytes;
  std::vector<map::LightPtr> lights;
  std::vector<map::PivotPtr> pivots;
  std::vector<tiles::TilePtr> tileTable;
  decltype(map::Map::highlight) highlight;
  float zoom;
  explicit Snapshot(const map::Map& m)
      : bytes(test::mapBytes(m)), lights(m.lights), pivots(m.pivots), tileTable(m.tileTable), highlight(m.highlight),
        zoom(m.zoom) {}
  bool operator==(const Snapshot&) const = default;
};

TEST(LoadCommand, AFailedLoadChangesNothing) {
  TempDir dir;
  auto sample = test::sampleProject();
  const Bytes whole = test::projectBytes(sample);
  const Bytes exported = test::mapBytes(*sample.map);
  // Cut inside the tileset section: the map section is whole, the file is not.
  vorlane::test::writeFile(dir.file("cut.vorl"), Bytes(whole.begin(), whole.end() - 10));
  vorlane::test::writeFile(dir.file("export.vorl"), exported);
  vorlane::test::writeFile(dir.file("badcount.vorl"), test::Builder().i32s({0, 0, 0, 0, 0, 0, 0, 0, 256}).bytes);

  auto current = map::Map::create(2, 2, 1, 8, 8);
  current->setCell(1, 0, 0, test::makeTile("mine.png"));
  current->addLight(map::Light::createLight(1, 2, 0, 3, 4, 5));
  current->markCell(1, 1);
  current->zoom = 3;
  const Snapshot before(*current);

  const std::pair<std::string, std::string> cases[] = {
      {"cut.vorl", "Error reading from stream"},
      {"export.vorl", "Error reading from stream"},
      {"badcount.vorl", "tilesetCount must lie in 0..255 (256)"},
      {"absent.vorl", "Unable to open file."},
  };
  base::ConsoleCapture quiet;
  for (const auto& [name, error] : cases) {
    auto loaded = loadProject(dir.file(name), *current);
    ASSERT_FALSE(loaded.ok()) << name;
    EXPECT_EQ(loaded.error(), error) << name;
    EXPECT_TRUE(Snapshot(*current) == before) << name;
  }
  for (const char* cancelled : {"", " "}) {
    auto loaded = loadProject(cancelled, *current);
    ASSERT_TRUE(loaded.ok());
    EXPECT_FALSE(loaded->has_value());
    EXPECT_TRUE(Snapshot(*current) == before);
  }
}

TEST(LoadCommand, ALoadReadsIntoTheSameMapAndReturnsTheTilesets) {
  TempDir dir;
  auto sample = test::sampleProject();
  base::ConsoleCapture quiet;
  ASSERT_TRUE(saveProjectFile(dir.file("level"), *sample.map, sample.tilesets).ok());
  auto current = map::Map::create(2, 2, 1, 8, 8);
  current->addLight(map::Light::createLight(1, 2, 0, 3, 4, 5));
  current->addLight(map::Light::createLight(6, 7, 0, 8, 9, 10));
  auto loaded = loadProject(dir.file("level.vorl"), *current);
  ASSERT_TRUE(loaded.ok()) << loaded.error();
  ASSERT_TRUE(loaded->has_value());
  const auto& tilesets = **loaded;
  ASSERT_EQ(tilesets.size(), 2u);
  EXPECT_EQ(tilesets[0].label, "Tileset 1");
  EXPECT_EQ(tilesets[0].tileset->cell(0, 0, 0), current->tileTable[0]);  // "MAPS/grass.PNG" joined
  EXPECT_EQ(current->width, 3);
  ASSERT_EQ(current->lights.size(), 4u);
  EXPECT_EQ(current->lights[1]->x, 6);
  EXPECT_EQ(current->lights[2]->x, 10.5f);
  // What was loaded saves back to the same map section.
  EXPECT_EQ(test::mapBytes(*current).size(), test::mapBytes(*sample.map).size() + 2 * 36);
}

}  // namespace
}  // namespace vorlane::io
