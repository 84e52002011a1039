// Every writer killed part-way: the target is always the old file or the new one, whole, and
// the next save clears the temporaries the killed ones left.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "base/console.h"
#include "formats/formats.h"
#include "io/project.h"
#include "support/big_inputs.h"
#include "support/child.h"
#include "support/fixtures.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// A map of many distinct tiles, so its file takes a while to write (about 25 MB).
map::MapPtr slowMap() {
  auto m = map::Map::create(24, 24, 1, 64, 64);
  for (std::int32_t c = 0; c < 24; ++c) {
    for (std::int32_t r = 0; r < 24; ++r) {
      auto tile = std::make_shared<tiles::Tile>();
      tile->path = "t" + std::to_string(c) + "_" + std::to_string(r);
      tile->image = std::make_shared<platform::Image>(test::solidImage(64, 64, static_cast<std::uint8_t>(c),
                                                                       static_cast<std::uint8_t>(r), 9));
      tile->colourGrid = tiles::ChannelGrid::fromImage(*tile->image);
      tile->normalGrid = tiles::ChannelGrid::flatNormals(64, 64);
      m->setCell(c, r, 0, tile);
    }
  }
  m->addLight(map::Light::createLight(700, 700, 1, 255, 200, 100));
  return m;
}

// Starts one writer into `target` and returns its process.
using Writer = std::function<pid_t(const std::string& target)>;

pid_t forkWriting(const std::function<base::Status()>& write) {
  const pid_t child = ::fork();
  if (child == 0) {
    base::ConsoleCapture quiet;
    ::_exit(write().ok() ? 0 : 1);
  }
  return child;
}

int waitFor(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

std::vector<std::string> temporariesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind(".vorl-", 0) == 0) names.push_back(entry.path().string());
  return names;
}

// A map file and the bytes of every atlas it names (by the ".png" names in its text).
using ExportSet = std::map<std::string, Bytes>;
ExportSet exportSetAt(const std::string& mapPath) {
  ExportSet set{{mapPath, test::readFile(mapPath)}};
  const std::string text(set[mapPath].begin(), set[mapPath].end());
  static const std::regex image("[A-Za-z0-9_]+\\.png");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), image); it != std::sregex_iterator(); ++it) {
    const std::string atlas = (fs::path(mapPath).parent_path() / it->str()).string();
    set[atlas] = fs::exists(atlas) ? test::readFile(atlas) : Bytes{};
  }
  return set;
}

TEST(KilledWriters, LeaveTheOldFileOrTheNewOneWhole) {
  test::TempDir dir;
  fs::create_directory(dir.path() / "out");
  const auto map = slowMap();
  {
    base::ConsoleCapture quiet;
    ASSERT_TRUE(io::saveProjectFile(dir.file("level"), *map, {}).ok());
  }
  test::writeStreamedPng(dir.file("sheet.png"), 2048, 2048);
  test::writeFile(dir.file("NMsheet.bmp"), test::encodeBmp(test::solidImage(4, 4, 255, 128, 128)));
  const std::string tool = VORLANE_TOOL_PATH, level = dir.file("level.vorl");

  struct Case {
    std::string name, target;
    Writer start;
  };
  const Case cases[] = {
      {"save", "level.vorl",
       [&](const std::string& t) {
         return forkWriting([&] { return io::saveProjectFile(t.substr(0, t.size() - 5), *map, {}); });
       }},
      {"export", "game.vorl", [&](const std::string& t) { return forkWriting([&] { return io::exportMapFile(t, *map); }); }},
      {"vorlane-tool png", "map.png", [&](const std::string& t) { return test::spawnProgram({tool, "png", level, "-o", t}); }},
      {"vorlane-tool bake", "lit.vorl",
       [&](const std::string& t) { return test::spawnProgram({tool, "bake", level, "-o", t, "--quiet", "--width", "1024"}); }},
      {"vorlane-tool scan", "tiles.vorl",
       [&](const std::string& t) {
         return test::spawnProgram({tool, "scan", dir.file("sheet.png"), "-o", t, "--tile", "64x64"});
       }},
  };
  const Bytes old{'o', 'l', 'd'};
  std::mt19937 random(12);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string target = dir.file("out/" + c.target);
    // The whole new file, and how long writing it takes.
    test::writeFile(target, old);
    const auto started = Clock::now();
    const int status = waitFor(c.start(target));
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const Bytes fresh = test::readFile(target);
    ASSERT_NE(fresh, old);

    std::uniform_int_distribution<long long> moment(0, took.count());
    for (int trial = 0; trial < 6; ++trial) {
      test::writeFile(target, old);
      const pid_t child = c.start(target);
      std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
      ::kill(child, SIGKILL);
      waitFor(child);
      const Bytes now = test::readFile(target);
      EXPECT_TRUE(now == old || now == fresh) << "trial " << trial << ": " << now.size() << " bytes";
    }
  }
  // Exports write a set: the map and the atlases it names change together or not at all.
  std::mt19937 again(29);
  for (const char* format : {"tmx", "tmj"}) {
    SCOPED_TRACE(std::string("export as ") + format);
    const std::string target = dir.file(std::string("out/x.") + format);
    const formats::ExportOptions options{true, formats::Encoding::csv};
    auto exportSet = [&](const map::Map& m) {
      return forkWriting([&]() -> base::Status {
        if (formats::formatNamed(format)->write(target, m, options)) return base::success();
        return base::Error{"failed"};
      });
    };
    const auto small = map::Map::create(1, 1, 1, 64, 64);
    small->setCell(0, 0, 0, map->cell(3, 3, 0));
    ASSERT_EQ(waitFor(exportSet(*small)), 0);
    const ExportSet before = exportSetAt(target);
    const auto started = Clock::now();
    ASSERT_EQ(waitFor(exportSet(*map)), 0);
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    const ExportSet after = exportSetAt(target);
    ASSERT_NE(before, after);
    std::uniform_int_distribution<long long> moment(0, took.count());
    for (int trial = 0; trial < 8; ++trial) {
      ASSERT_EQ(waitFor(exportSet(*small)), 0);
      const pid_t child = exportSet(*map);
      std::this_thread::sleep_for(std::chrono::microseconds(moment(again)));
      ::kill(child, SIGKILL);
      waitFor(child);
      const ExportSet now = exportSetAt(target);
      // Which file is of which set, when they are mixed.
      std::string which;
      for (const auto& [file, bytes] : now) {
        const bool isOld = before.contains(file) && before.at(file) == bytes;
        const bool isNew = after.contains(file) && after.at(file) == bytes;
        which += " " + fs::path(file).filename().string() + (isOld ? " old" : isNew ? " new" : " neither");
      }
      EXPECT_TRUE(now == before || now == after) << "trial " << trial << ":" << which;
    }
  }
  // A save after the killed ones clears what they left.
  base::ConsoleCapture console;
  ASSERT_TRUE(io::exportMapFile(dir.file("out/last.vorl"), *map::Map::create(1, 1, 1, 8, 8)).ok());
  EXPECT_TRUE(temporariesIn(dir.path() / "out").empty());
}

}  // namespace
}  // namespace vorlane
