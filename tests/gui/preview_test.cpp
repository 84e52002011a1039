// The live lighting preview in the real editor: Ctrl+L turns it on, a dragged light's lit
// pixels move with it, also zoomed out on a big map.
#include <fstream>
#include <string>

#include "edit/commands.h"
#include "gui/editor_fixture.h"
#include "support/fixtures.h"
#include "tiles/tile.h"

namespace vorlane::test {
namespace {

struct PreviewTest : EditorTest {
  // Handles events until the newest preview bake is on the canvas.
  void bakedFrame() {
    ASSERT_TRUE(waitFor([&] {
      Event e;
      while (tk->pollEvent(e)) shell->handle(e);
      app::PreviewBaker* baker = shell->render().previewBaker();
      return baker && baker->shown() && !baker->busy();
    }));
    frame();
  }
  QColor at(int x, int y) { return tk->canvas(g().mapCanvas)->grabFramebuffer().pixelColor(x, y); }
  // The shortcut, typed into the main window as a user would.
  void ctrlL() {
    QWidget* main = widget(g().mainWindow);
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    QTest::keyClick(main, Qt::Key_L, Qt::ControlModifier);
    settle();
  }
};

TEST_F(PreviewTest, CtrlLShowsTheBakeAndADraggedLightTakesItsLightAlong) {
  // 8 × 4 cells of 64 pixels, all grey; at zoom 1 and no scroll canvas pixels are map pixels.
  auto grey = std::make_shared<tiles::Tile>();
  grey->image = std::make_shared<platform::Image>(solidImage(64, 64, 100, 100, 100));
  auto m = map::Map::create(8, 4, 1, 64, 64);
  m->fillLayer(0, grey);
  shell->document().replaceMap("New Map", m);
  auto light = map::Light::createLight(96, 96, 0, 255, 255, 255);
  light->range = 120;
  shell->document().push(edit::addLight(m, light));
  frame();
  EXPECT_TRUE(near(at(116, 116), 100, 100, 100)) << "the source tiles";

  ctrlL();
  ASSERT_TRUE(shell->render().previewOn());
  bakedFrame();
  const QColor nearLight = at(116, 116), far = at(372, 116);
  EXPECT_GT(nearLight.red(), 120) << "lit beside the light";
  EXPECT_TRUE(near(far, 0, 0, 0)) << "dark beyond its range";

  mouse(g().mapCanvas, Mouse::Move, 96, 96);
  mouse(g().mapCanvas, Mouse::Press, 96, 96);
  mouse(g().mapCanvas, Mouse::Move, 200, 96);
  mouse(g().mapCanvas, Mouse::Move, 352, 96);
  mouse(g().mapCanvas, Mouse::Release, 352, 96);
  ASSERT_EQ(light->x, 352.0f);
  bakedFrame();
  EXPECT_TRUE(near(at(372, 116), nearLight.red(), nearLight.green(), nearLight.blue())) << "the light moved here";
  EXPECT_TRUE(near(at(116, 116), 0, 0, 0)) << "and left here dark";
  EXPECT_EQ(shell->document().undoText(), "Undo Move Light");

  ctrlL();
  frame();
  EXPECT_TRUE(near(at(116, 116), 100, 100, 100)) << "off: the source tiles again";
}

// Resident memory of this process in MiB.
double residentMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

// Zoomed out on a map of 512 × 512 × 2 cells the canvas shows every cell; the preview lights
// points at the canvas's density, so a dragged light shows at its new place within the
// fixture's bound, and the editor's memory grows by far less than a full lit map.
TEST_F(PreviewTest, ZoomedOutOnABigMapADraggedLightShowsSoonAndMemoryStaysBounded) {
  constexpr int kSide = 512, kTile = 32;
  auto grey = std::make_shared<tiles::Tile>();
  grey->image = std::make_shared<platform::Image>(solidImage(kTile, kTile, 100, 100, 100));
  auto m = map::Map::create(kSide, kSide, 2, kTile, kTile);
  m->fillLayer(0, grey);
  const platform::Surface& canvas = tk->surface(g().mapCanvas);
  const float cx = static_cast<float>(canvas.width()) / 2, cy = static_cast<float>(canvas.height()) / 2;
  const float centre = kSide * kTile / 2.0f, zoom = 0.05f;
  shell->document().replaceMap("New Map", m);
  map::ViewState& view = shell->mapView();
  view.zoom = zoom;
  view.scrollX = centre - cx;
  view.scrollY = centre - cy;
  auto light = map::Light::createLight(centre - 3000, centre, 1, 255, 255, 255);
  shell->document().push(edit::addLight(m, light));
  frame();
  const double before = residentMiB();
  const auto canvasAt = [&](float x, float y) {
    return QPoint(static_cast<int>(cx + ((x - view.scrollX) - cx) * zoom), static_cast<int>(cy + ((y - view.scrollY) - cy) * zoom));
  };
  const QPoint from = canvasAt(centre - 3000, centre), to = canvasAt(centre + 3000, centre);

  // The box rather than the shortcut: no window needs the focus for it.
  click(g().previewBox);
  ASSERT_TRUE(shell->render().previewOn());
  bakedFrame();
  EXPECT_GT(at(from.x(), from.y()).red(), 120) << "lit at the light";
  EXPECT_TRUE(near(at(to.x(), to.y()), 0, 0, 0)) << "dark far from it";
  EXPECT_TRUE(shell->render().previewBaker()->shownPicture());

  // A drag of twelve steps, each a move of its own as the pointer gives them.
  for (int step = 1; step <= 12; ++step) {
    shell->document().push(
        edit::moveObjects(light, {centre - 3000 + 500.0f * static_cast<float>(step), centre}, nullptr, {}));
    settle();
  }
  EXPECT_TRUE(waitFor([&] {
    Event e;
    while (tk->pollEvent(e)) shell->handle(e);
    return at(to.x(), to.y()).red() > 120 && near(at(from.x(), from.y()), 0, 0, 0);
  })) << "the light shows where it was dragged to";
  EXPECT_LT(residentMiB() - before, 300.0);
}

}  // namespace
}  // namespace vorlane::test
