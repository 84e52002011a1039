// An editor that rests: a tick draws a canvas only when something it shows has changed, and
// every frame on show is the one drawing on every tick would show.
#include <gmock/gmock.h>

#include <algorithm>

#include "edit/commands.h"
#include "shell_fixture.h"

namespace vorlane::test {
namespace {

using platform::Event;
using platform::EventKind;
using platform::kLeftButton;
using platform::kMiddleButton;
using platform::kRightButton;

// The calls of the frame a canvas shows now (from its last clear to its last present), then
// the drawing state it ends with.
std::vector<Call> shownFrame(const RecordingSurface& s) {
  const auto last = std::find_if(s.calls.rbegin(), s.calls.rend(), [](const Call& c) { return c.op == Op::Clear; });
  std::vector<Call> frame(last == s.calls.rend() ? s.calls.end() : std::prev(last.base()), s.calls.end());
  frame.push_back({Op::Color, static_cast<float>(s.red), static_cast<float>(s.green), static_cast<float>(s.blue)});
  frame.push_back({Op::Alpha, s.alpha, s.lineWidth, s.scaleX, s.scaleY,
                   s.blend == platform::BlendMode::Alpha ? 1 : 0});
  return frame;
}

bool same(const std::vector<Call>& a, const std::vector<Call>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Call& x, const Call& y) {
    return x.op == y.op && x.a == y.a && x.b == y.b && x.c == y.c && x.d == y.d && x.n == y.n && x.text == y.text;
  });
}

int frames(const RecordingSurface& s) {
  return static_cast<int>(std::count_if(s.calls.begin(), s.calls.end(), [](const Call& c) { return c.op == Op::Present; }));
}

// Two editors take the same events: one whose canvases never keep a frame, so it draws every
// tick as the editor always did, and the one under test.
struct Rest : ::testing::Test {
  FakeToolkit tk, everyTk;
  app::Shell shell{tk}, every{everyTk};
  const app::Gadgets& g = shell.gadgets();
  tiles::TilePtr brick = ShellTest::makeTile(200), stone = ShellTest::makeTile(90);
  int ticks = 0;

  void SetUp() override {
    shell.startUp();
    every.startUp();
    for (platform::Handle c : {g.mapCanvas, g.tilesetCanvas, g.tileCanvas}) everyTk.recording(c).lost = true;
    for (app::Shell* s : {&shell, &every})
      seedTileset(s->document(), [&](map::Map& ts) {
        ts.setCell(0, 0, 0, brick);
        ts.setCell(1, 0, 0, stone);
      });
  }

  void both(const Event& e) {
    shell.handle(e);
    every.handle(e);
  }
  // Gadgets are made in the same order in both editors, so one handle names both.
  void press(platform::Handle gadget) { both({EventKind::GadgetAction, gadget, 0, 0, 0}); }
  void mouse(EventKind kind, platform::Handle canvas, int button, int x, int y) { both({kind, canvas, button, x, y}); }
  void type(platform::Handle field, const char* text) {
    tk.setText(field, text);
    everyTk.setText(field, text);
    press(field);
  }

  // A tick in both, then every canvas shows what drawing on every tick shows.
  void tick() {
    both({EventKind::TimerTick, platform::kNoHandle, 0, 0, 0});
    ++ticks;
    for (platform::Handle c : {g.mapCanvas, g.tilesetCanvas, g.tileCanvas})
      EXPECT_TRUE(same(shownFrame(tk.recording(c)), shownFrame(everyTk.recording(c))))
          << "canvas " << c << " after tick " << ticks;
  }
  void ticks3() {
    for (int i = 0; i < 3; ++i) tick();
  }
};

TEST_F(Rest, EveryFrameOnShowIsTheOneDrawingEveryTickShows) {
  ticks3();
  tk.postLater([](FakeToolkit& t) { return Event{EventKind::GadgetAction, t.find(GadgetKind::Button, "Create"), 0, 0, 0}; });
  everyTk.postLater([](FakeToolkit& t) { return Event{EventKind::GadgetAction, t.find(GadgetKind::Button, "Create"), 0, 0, 0}; });
  press(g.newMapButton);  // 32 × 32 × 4 cells of 64 pixels
  ticks3();

  // A tile picked in the tileset, then a line drawn with its preview.
  mouse(EventKind::MouseMove, g.tilesetCanvas, 0, 70, 10);
  mouse(EventKind::MouseDown, g.tilesetCanvas, kLeftButton, 70, 10);
  mouse(EventKind::MouseUp, g.tilesetCanvas, kLeftButton, 70, 10);
  ticks3();
  press(g.toolButton("Line"));
  mouse(EventKind::MouseMove, g.mapCanvas, 0, 40, 40);
  mouse(EventKind::MouseDown, g.mapCanvas, kLeftButton, 40, 40);
  ticks3();
  mouse(EventKind::MouseMove, g.mapCanvas, 0, 300, 110);
  ticks3();
  mouse(EventKind::MouseMove, g.mapCanvas, 0, 1000, 110);  // the preview runs off the canvas
  ticks3();
  mouse(EventKind::MouseMove, g.mapCanvas, 0, 200, 200);
  ticks3();
  mouse(EventKind::MouseUp, g.mapCanvas, kLeftButton, 200, 200);
  ticks3();

  // The view: wheel and a middle-button drag.
  mouse(EventKind::MouseWheel, g.mapCanvas, -3, 0, 0);
  ticks3();
  mouse(EventKind::MouseDown, g.mapCanvas, kMiddleButton, 100, 100);
  mouse(EventKind::MouseMove, g.mapCanvas, 0, 100, 100);
  mouse(EventKind::MouseMove, g.mapCanvas, 0, 130, 90);
  ticks3();
  mouse(EventKind::MouseUp, g.mapCanvas, kMiddleButton, 130, 90);
  ticks3();

  // A light placed and recoloured through its window, a pivot, the layer, the other tool.
  mouse(EventKind::MouseMove, g.mapCanvas, 0, 150, 150);
  mouse(EventKind::MouseDown, g.mapCanvas, kRightButton, 150, 150);
  both({EventKind::MenuAction, g.contextMenu, app::tagOf("addLight"), 0, 0});
  ticks3();
  mouse(EventKind::MouseDown, g.mapCanvas, kLeftButton, 150, 150);
  mouse(EventKind::MouseUp, g.mapCanvas, kLeftButton, 150, 150);
  ticks3();
  type(g.redField, "40");
  ticks3();
  type(g.rangeField, "90");
  ticks3();
  mouse(EventKind::MouseMove, g.mapCanvas, 0, 300, 300);
  both({EventKind::MenuAction, g.contextMenu, app::tagOf("addPivot"), 0, 0});
  ticks3();
  press(g.layerUpButton);
  press(g.toolButton("Fill"));
  mouse(EventKind::MouseDown, g.mapCanvas, kLeftButton, 400, 300);
  mouse(EventKind::MouseUp, g.mapCanvas, kLeftButton, 400, 300);
  ticks3();

  // Another tileset, then back to the first; a canvas resized without any event.
  press(g.newSetButton);
  ticks3();
  both({EventKind::GadgetAction, g.tilesetTabs, 0, 0, 0});
  ticks3();
  tk.recording(g.mapCanvas).resize(300, 200);
  everyTk.recording(g.mapCanvas).resize(300, 200);
  ticks3();

  // Resting: far fewer frames than ticks, and none at all while nothing happens.
  EXPECT_LT(frames(tk.recording(g.mapCanvas)), frames(everyTk.recording(g.mapCanvas)) / 2);
  EXPECT_EQ(frames(everyTk.recording(g.tileCanvas)), ticks);
  const int drawn = frames(tk.recording(g.mapCanvas)) + frames(tk.recording(g.tilesetCanvas)) +
                    frames(tk.recording(g.tileCanvas));
  ticks3();
  EXPECT_EQ(frames(tk.recording(g.mapCanvas)) + frames(tk.recording(g.tilesetCanvas)) +
                frames(tk.recording(g.tileCanvas)),
            drawn);
}

// The map canvas draws again for a change the document announces or a move of its view, and a
// tick with nothing new draws nothing; a change it does not show (the file's name) draws nothing.
TEST_F(Rest, TheMapCanvasDrawsForAnnouncedChangesAndItsViewOnly) {
  ticks3();
  const RecordingSurface& canvas = tk.recording(g.mapCanvas);
  const auto framesAfterTicks = [&] {
    const int before = frames(canvas);
    ticks3();
    return frames(canvas) - before;
  };
  EXPECT_EQ(framesAfterTicks(), 0);
  shell.document().push(edit::addLight(shell.currentMap(), map::Light::createLight(10, 10, 0, 255, 255, 255)));
  every.document().push(edit::addLight(every.currentMap(), map::Light::createLight(10, 10, 0, 255, 255, 255)));
  EXPECT_EQ(framesAfterTicks(), 1);
  shell.document().setProjectName("other.vorl");
  EXPECT_EQ(framesAfterTicks(), 0);
  shell.mapView().scrollX += 3;
  every.mapView().scrollX += 3;
  EXPECT_EQ(framesAfterTicks(), 1);
  EXPECT_EQ(framesAfterTicks(), 0);
}

TEST_F(Rest, ACanvasThatLostItsFrameDrawsAgain) {
  ticks3();
  const int before = frames(tk.recording(g.tileCanvas));
  tk.recording(g.tileCanvas).lost = true;
  tick();
  EXPECT_EQ(frames(tk.recording(g.tileCanvas)), before + 1);
  tk.recording(g.tileCanvas).lost = false;
  tick();
  EXPECT_EQ(frames(tk.recording(g.tileCanvas)), before + 1);
}

}  // namespace
}  // namespace vorlane::test
