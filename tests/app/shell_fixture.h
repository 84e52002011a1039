#pragma once
// A started shell over a scripted fake toolkit.
#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <tuple>

#include "app/shell.h"
#include "support/document_seed.h"
#include "support/fake_toolkit.h"
#include "support/fixtures.h"
#include "tiles/tile.h"

namespace vorlane::test {

struct ShellTest : ::testing::Test {
  FakeToolkit tk;
  app::Shell shell{tk};
  const app::Gadgets& g = shell.gadgets();

  void SetUp() override { shell.startUp(); }

  // The document set up before the test acts (support/document_seed.h): `fill` writes into
  // copies of the map and the tileset on show.
  void seed(const SeedFill& fill) { seedDocument(shell.document(), fill); }
  void seedMap(const std::function<void(map::Map& map)>& fill) {
    seedDocument(shell.document(), [&](map::Map& m, map::Map&) { fill(m); }, true, false);
  }
  void seedTileset(const std::function<void(map::Map& tileset)>& fill) {
    test::seedTileset(shell.document(), fill);
  }

  // Runs the loop over everything scripted so far.
  void runScript() { EXPECT_THROW(shell.run(), ScriptEnded); }

  static std::shared_ptr<tiles::Tile> makeTile(std::uint8_t red = 200) {
    auto tile = std::make_shared<tiles::Tile>();
    tile->image = std::make_shared<platform::Image>(solidImage(8, 8, red, 10, 10));
    return tile;
  }

  // A press or release comes where the pointer is, as a desktop sends it, unless told otherwise.
  static constexpr int kHere = std::numeric_limits<int>::min();
  void move(platform::Handle canvas, int x, int y) {
    pointer[canvas] = {x, y};
    tk.mouse(platform::EventKind::MouseMove, canvas, 0, x, y);
  }
  void down(platform::Handle canvas, int button, int x = kHere, int y = kHere) {
    button_(platform::EventKind::MouseDown, canvas, button, x, y);
  }
  void up(platform::Handle canvas, int button, int x = kHere, int y = kHere) {
    button_(platform::EventKind::MouseUp, canvas, button, x, y);
  }
  std::map<platform::Handle, std::pair<int, int>> pointer;

 private:
  void button_(platform::EventKind kind, platform::Handle canvas, int button, int x, int y) {
    if (x == kHere) std::tie(x, y) = pointer[canvas];
    tk.mouse(kind, canvas, button, x, y);
  }

 public:

  // The user types when the loop gets there, not when the script is written.
  void typeLater(platform::Handle field, std::string text) {
    tk.postLater([field, text](FakeToolkit& t) {
      t.setText(field, text);
      return platform::Event{platform::EventKind::GadgetAction, field, 0, 0, 0};
    });
  }

  // The New Map dialog with these field texts ("" empties a field), then Create; changes to
  // the document before are discarded when asked.
  void newMap(const std::vector<std::string>& fields = {}) {
    tk.postLater([this](FakeToolkit& t) {
      if (shell.document().modified()) t.questionAnswers.push_front(1);
      return platform::Event{platform::EventKind::GadgetAction, g.newMapButton, 0, 0, 0};
    });
    tk.postLater([fields](FakeToolkit& t) {
      const platform::Handle window = t.findWindow("New Map");
      const auto gadgets = t.children(window);
      int field = 0;
      for (platform::Handle h : gadgets)
        if (t.at(h).kind == GadgetKind::TextField && field < static_cast<int>(fields.size()))
          t.setText(h, fields[static_cast<std::size_t>(field++)]);
      return platform::Event{platform::EventKind::GadgetAction, t.find(GadgetKind::Button, "Create"), 0, 0, 0};
    });
  }
};

}  // namespace vorlane::test
