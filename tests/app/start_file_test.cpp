// A project named on the editor's command line opens as Load opens the same name: the same
// map and tilesets, or the same message and nothing changed, and no requester.
#include <gtest/gtest.h>

#include "base/console.h"
#include "io/project.h"
#include "shell_fixture.h"

namespace vorlane::test {
namespace {

struct Opened {
  std::vector<FakeToolkit::Message> messages;
  std::int32_t width, height, depth;
  int tilesets;
  std::string label;
  std::size_t requests;
};

Opened byLoad(const std::string& name) {
  FakeToolkit tk;
  app::Shell shell(tk);
  shell.startUp();
  tk.fileAnswers = {name};
  tk.press(shell.gadgets().loadButton);
  EXPECT_THROW(shell.run(), ScriptEnded);
  const map::Map& m = *shell.currentMap();
  return {tk.messages, m.width, m.height, m.depth, shell.tilesets().count(),
          tk.at(shell.gadgets().tilesetTabs).items.at(0).text, tk.fileRequests.size() - 1};
}

Opened atStart(const std::string& name) {
  FakeToolkit tk;
  app::Shell shell(tk);
  shell.startUp();
  shell.openAtStart(name);
  const map::Map& m = *shell.currentMap();
  return {tk.messages, m.width, m.height, m.depth, shell.tilesets().count(),
          tk.at(shell.gadgets().tilesetTabs).items.at(0).text, tk.fileRequests.size()};
}

TEST(OpenAtStart, OpensAsLoadDoes) {
  TempDir dir;
  base::ConsoleCapture quiet;
  const auto level = map::Map::create(3, 2, 1, 16, 16);
  const io::TilesetEntry set{"Walls", map::Map::create(8, 128, 1, 64, 64)};
  ASSERT_TRUE(io::saveProjectFile(dir.file("level"), *level, std::span(&set, 1)));
  ASSERT_TRUE(io::exportMapFile(dir.file("map.vorl"), *level));
  auto bytes = readFile(dir.file("level.vorl"));
  bytes.resize(bytes.size() - 10);
  writeFile(dir.file("short.vorl"), bytes);

  for (const std::string& name : {dir.file("level.vorl"), dir.file("short.vorl"), dir.file("map.vorl"),
                                  dir.file("absent.vorl"), dir.path().string(), std::string()}) {
    const Opened load = byLoad(name), start = atStart(name);
    ASSERT_EQ(start.messages.size(), load.messages.size()) << name;
    for (std::size_t i = 0; i < load.messages.size(); ++i) {
      EXPECT_EQ(start.messages[i].text, load.messages[i].text) << name;
      EXPECT_EQ(start.messages[i].kind, load.messages[i].kind) << name;
    }
    EXPECT_EQ(std::tie(start.width, start.height, start.depth, start.tilesets, start.label),
              std::tie(load.width, load.height, load.depth, load.tilesets, load.label))
        << name;
    EXPECT_EQ(start.requests, 0u) << "no requester is asked";
  }
  const Opened opened = atStart(dir.file("level.vorl"));
  EXPECT_TRUE(opened.messages.empty());
  EXPECT_EQ(std::tie(opened.width, opened.height, opened.label), std::make_tuple(3, 2, std::string("Walls")));
}

}  // namespace
}  // namespace vorlane::test
