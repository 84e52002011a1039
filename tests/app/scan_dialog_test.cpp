#include "app/scan_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "base/console.h"
#include "support/fake_toolkit.h"
#include "support/fixtures.h"

namespace vorlane::app {
namespace {

using platform::EventKind;
using platform::Handle;
using platform::MessageKind;
using test::GadgetKind;

// A fake whose script can also act just before the n-th event is taken (typing into a
// dialog that exists only once the command runs).
struct ScriptedToolkit : test::FakeToolkit {
  std::map<int, std::function<void()>> beforeEvent;
  int taken = 0;
  platform::Event waitEvent() override {
    if (auto it = beforeEvent.find(++taken); it != beforeEvent.end()) it->second();
    return FakeToolkit::waitEvent();
  }
};

struct ScanDialogTest : ::testing::Test {
  ScriptedToolkit tk;
  test::TempDir dir;
  base::ConsoleCapture console;
  Handle mainWindow = tk.createWindow("Vorlane", 0, 0, 800, 600, platform::kNoHandle, platform::kTitleBar);
  std::vector<map::MapPtr> added;
  // As the shell's add-tileset does: the pieces fill a new tileset row by row.
  std::function<void(std::vector<tiles::TilePtr>)> addTileset = [this](std::vector<tiles::TilePtr> pieces) {
    added.push_back(map::Map::createTileset());
    for (auto& piece : pieces) added.back()->addToFirstFreeCell(std::move(piece));
  };
  // Handles the dialog will get: the fake numbers gadgets in creation order.
  Handle window = 0, widthField = 0, heightField = 0, scanButton = 0, cancelButton = 0;

  void SetUp() override {
    Handle next = static_cast<Handle>(tk.gadgetCount()) + 1;
    window = next, widthField = next + 1, heightField = next + 2, scanButton = next + 5, cancelButton = next + 6;
  }
  std::string image(int w, int h, bool companion = true) {
    std::string path = dir.file("sheet.png");
    test::writeFile(path, test::encodePng(test::patternImage(w, h)));
    if (companion) test::writeFile(dir.file("NMsheet.bmp"), test::encodeBmp(test::solidImage(w, h, 255, 128, 128)));
    tk.fileAnswers.push_back(path);
    return path;
  }
  void run() { runScanDialog(tk, mainWindow, addTileset); }
  int occupied(const map::Map& m) {
    int n = 0;
    for (const auto& c : m.cells) n += c != nullptr;
    return n;
  }
};

TEST_F(ScanDialogTest, ScanCutsIntoANewTilesetAndDropsOtherEvents) {
  std::string path = image(40, 20);
  tk.tick();
  tk.press(mainWindow);
  tk.mouse(EventKind::MouseDown, mainWindow, 1, 5, 5);
  tk.press(scanButton);
  tk.beforeEvent[1] = [&] {
    // The dialog is open, centred, with its gadgets in table order and "16" in both fields.
    const auto& w = tk.at(window);
    EXPECT_EQ(w.text, "Scan Image");
    EXPECT_EQ(std::tie(w.x, w.y, w.w, w.h), std::make_tuple(1280 / 2 - 120, 1024 / 2 - 50, 240, 100));
    EXPECT_EQ(w.parent, mainWindow);
    EXPECT_EQ(w.flags, platform::kTitleBar);
    std::vector<std::tuple<GadgetKind, std::string, int, int, int, int>> got;
    for (Handle h : tk.children(window)) {
      const auto& g = tk.at(h);
      got.emplace_back(g.kind, g.text, g.x, g.y, g.w, g.h);
    }
    using T = std::tuple<GadgetKind, std::string, int, int, int, int>;
    EXPECT_EQ(got, (std::vector<T>{T{GadgetKind::TextField, "16", 10, 20, 40, 20}, T{GadgetKind::TextField, "16", 60, 20, 40, 20},
                                   T{GadgetKind::Label, "Width", 10, 2, 50, 15}, T{GadgetKind::Label, "Height", 60, 2, 50, 15},
                                   T{GadgetKind::Button, "Scan", 120, 20, 40, 20}, T{GadgetKind::Button, "Cancel", 160, 20, 40, 20}}));
    EXPECT_TRUE(added.empty());
  };
  run();
  ASSERT_EQ(tk.fileRequests.size(), 1u);
  EXPECT_EQ(tk.fileRequests[0].title, "Pick an image to scan");
  EXPECT_EQ(tk.fileRequests[0].filter, "Image Files:png,jpg,bmp;");
  EXPECT_TRUE(tk.events.empty());
  EXPECT_TRUE(tk.at(window).destroyed);
  ASSERT_EQ(added.size(), 1u);
  const map::Map& set = *added[0];
  EXPECT_EQ(occupied(set), 6);
  for (int x = 0; x < 6; ++x) {
    ASSERT_TRUE(set.cell(x, 0, 0));
    EXPECT_EQ(set.cell(x, 0, 0)->path, path + " " + std::to_string(x));
  }
  EXPECT_EQ(console.lines(), std::vector<std::string>{"Loaded normal"});
  EXPECT_TRUE(tk.messages.empty());
}

TEST_F(ScanDialogTest, CancelAndCloseAddNoTileset) {
  image(8, 8);
  tk.press(cancelButton);
  run();
  EXPECT_TRUE(tk.at(window).destroyed);
  image(8, 8);
  tk.closeWindow(mainWindow);  // another window's close is dropped
  tk.closeWindow(window + 7);  // the second dialog gets the next handles
  run();
  EXPECT_TRUE(tk.at(window + 7).destroyed);
  EXPECT_TRUE(tk.events.empty());
  EXPECT_TRUE(added.empty());
}

TEST_F(ScanDialogTest, SizeBelowOneKeepsTheDialogOpenUntilAUsableSize) {
  image(40, 20);
  tk.press(scanButton);
  tk.press(scanButton);
  tk.beforeEvent[1] = [&] { tk.setText(widthField, ""); };
  tk.beforeEvent[2] = [&] {
    EXPECT_FALSE(tk.at(window).destroyed);
    EXPECT_TRUE(added.empty());
    tk.setText(widthField, "20 px");
    tk.setText(heightField, "8");
  };
  run();
  ASSERT_EQ(tk.messages.size(), 1u);
  EXPECT_EQ(tk.messages[0].kind, MessageKind::Information);
  ASSERT_EQ(added.size(), 1u);
  EXPECT_EQ(occupied(*added[0]), 2 * 3);
  EXPECT_EQ(added[0]->cell(1, 0, 0)->image->width, 20);
}

TEST_F(ScanDialogTest, FailuresBeforeTheDialogCreateNothing) {
  auto gadgets = tk.gadgetCount();
  // Cancelled requester: nothing at all.
  run();
  EXPECT_TRUE(tk.messages.empty());
  // No companion beside the image.
  image(8, 8, /*companion=*/false);
  run();
  // An image that does not decode.
  test::writeFile(dir.file("NMjunk.bmp"), test::encodeBmp(test::solidImage(2, 2, 1, 1, 1)));
  test::writeFile(dir.file("junk.png"), {0, 1, 2});
  tk.fileAnswers.push_back(dir.file("junk.png"));
  run();
  ASSERT_EQ(tk.messages.size(), 2u);
  EXPECT_EQ(tk.messages[0].text.rfind("No normal map present.\n", 0), 0u);
  EXPECT_EQ(tk.messages[0].kind, MessageKind::Error);
  EXPECT_EQ(tk.messages[1].text, "Not a valid file.\n" + dir.file("junk.png") + ": not a PNG, JPEG or BMP image");
  EXPECT_EQ(tk.messages[1].kind, MessageKind::Error);
  EXPECT_EQ(tk.gadgetCount(), gadgets);  // no dialog was ever opened
  EXPECT_TRUE(added.empty());
}

TEST_F(ScanDialogTest, NoMoreTilesetsEndsQuietly) {
  image(8, 8);
  tk.press(scanButton);
  addTileset = [](std::vector<tiles::TilePtr>) {};  // the shell had no room for them
  run();
  EXPECT_TRUE(tk.at(window).destroyed);
}

TEST_F(ScanDialogTest, TheDialogGoesAwayWhenTheWaitIsInterrupted) {
  image(8, 8);
  EXPECT_THROW(run(), test::ScriptEnded);
  EXPECT_TRUE(tk.at(window).destroyed);
}

}  // namespace
}  // namespace vorlane::app
