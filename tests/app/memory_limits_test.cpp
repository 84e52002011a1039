// The editor meets images too large for memory: each command runs in a child under an
// address-space limit and must end with an error box and the document as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/console.h"
#include "shell_fixture.h"
#include "support/big_inputs.h"
#include "support/child.h"

namespace vorlane::app {
namespace {

using test::kMiB;

struct MemoryLimits : test::ShellTest {
  static void SetUpTestSuite() {
    dir = new test::TempDir;
    // 1 GiB of pixels: it decodes within the limit, but no tile and grids of it fit.
    test::writeHugeScanImage(dir->file("huge.png"));
    test::writeAmplifyingProject(dir->file("amplifying.vorl"));
  }
  static void TearDownTestSuite() {
    delete dir;
    dir = nullptr;
  }
  void SetUp() override {
    if (!test::memoryLimitsApply()) GTEST_SKIP() << "address-space limits do not apply to sanitizer builds";
    ShellTest::SetUp();
  }

  // The message boxes and the tilesets with their tiles, after the script ran in a child.
  std::string runLimited() {
    return test::runInChild(
               [this] {
                 runQuietly();
                 return describe();
               },
               2048 * kMiB)
        .describe();
  }
  void runQuietly() {
    base::ConsoleCapture quiet;
    try {
      shell.run();
    } catch (const test::ScriptEnded&) {
    }
  }
  std::string describe() const {
    std::string text;
    for (const auto& m : tk.messages)
      text += (m.kind == platform::MessageKind::Error ? "error: " : "information: ") + m.text + "\n";
    text += "tilesets: " + std::to_string(shell.tilesets().count()) + ", tiles:";
    for (const auto& entry : shell.tilesets().entries()) {
      int tiles = 0;
      for (const auto& cell : entry.tileset->cells) tiles += cell != nullptr;
      text += " " + std::to_string(tiles);
    }
    return text;
  }
  static test::TempDir* dir;
};
test::TempDir* MemoryLimits::dir = nullptr;

TEST_F(MemoryLimits, LoadTileOfAnImageTooLargeShowsAnErrorAndAddsNothing) {
  const std::string before = describe();
  tk.fileAnswers = {dir->file("huge.png")};
  tk.press(g.loadTileButton);
  EXPECT_EQ(runLimited(), "exited with 0: error: Not enough memory to load the tile " + dir->file("huge.png") + ".\n" +
                              before);
}

TEST_F(MemoryLimits, ScanIntoPiecesTooLargeShowsAnErrorAndAddsNoTileset) {
  const std::string before = describe();
  tk.fileAnswers = {dir->file("huge.png")};
  tk.press(g.scanButton);
  // Sixteen pieces of 4096 x 4096, two images and two grids each: 4 GiB.
  tk.postLater([](test::FakeToolkit& t) {
    for (platform::Handle h : t.children(t.findWindow("Scan Image")))
      if (t.at(h).kind == test::GadgetKind::TextField) t.setText(h, "4096");
    return platform::Event{platform::EventKind::GadgetAction, t.find(test::GadgetKind::Button, "Scan"), 0, 0, 0};
  });
  EXPECT_EQ(runLimited(), "exited with 0: error: Not enough memory to cut " + dir->file("huge.png") +
                              " into tiles of 4096 x 4096 pixels.\n" + before);
}

// Its lit map needs 4.7 GiB: refused with the estimate before any work, the map kept.
TEST_F(MemoryLimits, RenderOfALitMapTooLargeShowsTheEstimateAndKeepsTheMap) {
  tk.fileAnswers = {dir->file("amplifying.vorl")};
  tk.press(g.loadButton);
  tk.press(g.renderButton);
  const auto outcome = test::runInChild(
      [this] {
        runQuietly();
        std::string text;
        for (const auto& m : tk.messages)
          text += m.text.substr(0, m.text.find(':')) +
                  (m.text.find("\nvorlane-tool bake renders") != std::string::npos ? ", see vorlane-tool bake\n" : "\n");
        const bool kept = shell.currentMap()->width == 30 && shell.currentMap()->lights.size() == 1;
        return text + (kept ? "map kept" : "map changed");
      },
      3072 * kMiB);
  EXPECT_EQ(outcome.describe(), "exited with 0: Not enough memory to render this light map, see vorlane-tool bake\nmap kept");
}

// A pointer step that throws is not a command: the shell itself ends the gesture, takes back
// what it wrote, and the editor goes on.
TEST_F(MemoryLimits, AFillBeyondMemoryStopsWithAnErrorAndTakesBackWhatItWrote) {
  const auto tile = makeTile();
  seedTileset([&](map::Map& ts) { ts.setCell(0, 0, 0, tile); });
  // 200 million cells: empty ones cost next to nothing, filled ones 3.2 GB of references.
  newMap({"20000", "10000", "1", "16", "16"});
  tk.press(g.toolButton("Fill"));
  move(g.mapCanvas, 100, 100);
  down(g.mapCanvas, platform::kLeftButton);
  up(g.mapCanvas, platform::kLeftButton);
  tk.tick();
  const auto outcome = test::runInChild(
      [this] {
        runQuietly();
        std::string text;
        for (const auto& m : tk.messages) text += m.text + "\n";
        const map::Map& m = *shell.currentMap();
        const bool empty = std::none_of(m.cells.begin(), m.cells.end(), [](const auto& t) { return t != nullptr; });
        return text + shell.document().undoText() + (empty ? ", map empty" : ", map written");
      },
      2048 * kMiB);
  EXPECT_EQ(outcome.describe(), "exited with 0: Fill stopped: there was not enough memory\nUndo New Map, map empty");
}

}  // namespace
}  // namespace vorlane::app
