// The live lighting preview in the real editor: Ctrl+L turns it on, a dragged light's lit
// pixels move with it.
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
      app::PreviewBaker* baker = shell->previewBaker();
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
  ASSERT_TRUE(shell->previewOn());
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

}  // namespace
}  // namespace vorlane::test
