// The real editor on the Qt toolkit, driven by real input events.
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QOpenGLWidget>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTimer>
#include <memory>

#include "base/bytes.h"
#include "edit/commands.h"
#include "io/project.h"
#include "gui/editor_fixture.h"
#include "map/view.h"
#include "support/document_seed.h"
#include "support/fixtures.h"
#include "tiles/tile.h"

namespace vorlane::test {
namespace {

// Presses a button of a window that a command opens and waits in (a dialog's own loop).
void pressOnceShown(const QString& windowTitle, const QString& buttonText) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [=] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->windowTitle() != windowTitle || !w->isVisible()) continue;
      for (auto* b : w->findChildren<QPushButton*>()) {
        if (b->text() != buttonText) continue;
        timer->stop();
        timer->deleteLater();
        b->click();
        return;
      }
    }
  });
  timer->start(10);
}

TEST_F(EditorTest, StartsWithItsWindowsGadgetsAndCaptions) {
  struct Expected {
    Handle window;
    const char* caption;
    QRect frame;
    bool shown;
  };
  const int sw = tk->screenWidth(), sh = tk->screenHeight();
  const Expected windows[] = {
      {g().mainWindow, nullptr, {125, 20, 580, 530}, true},
      {g().mapTreeWindow, "Map Tree", {560, 20, 200, 450}, true},
      {g().toolsWindow, "Tools", {20, 105, 110, 450}, true},
      {g().tilesWindow, "Tiles", {120, 350, 500, 200}, true},
      {g().renderWindow, "Render Lightmap", {sw / 2 - 200, sh / 2 - 200, 400, 400}, false},
      {g().pivotsWindow, "Pivots", {400, 300, 270, 250}, false},
      {g().lightsWindow, "Lights", {400, 300, 250, 200}, false},
  };
  for (const auto& w : windows) {
    QWidget* widget_ = widget(w.window);
    ASSERT_NE(widget_, nullptr);
    if (w.caption) {
      EXPECT_EQ(widget_->windowTitle(), w.caption);
    }
    EXPECT_EQ(widget_->isVisible(), w.shown) << widget_->windowTitle().toStdString();
    if (w.shown) {
      EXPECT_EQ(widget_->frameGeometry(), w.frame) << widget_->windowTitle().toStdString();
    }
  }
  EXPECT_TRUE(widget(g().mainWindow)->windowTitle().startsWith("Vorlane V0.1 "));

  // The map canvas fills the main window's inner area below the button row.
  QWidget* main = widget(g().mainWindow);
  const int menuHeight = main->findChild<QMenuBar*>()->height();
  EXPECT_EQ(widget(g().mapCanvas)->mapTo(main, QPoint(0, 0)), QPoint(0, menuHeight + 40));
  EXPECT_EQ(widget(g().mapCanvas)->size(), QSize(tk->innerWidth(g().mainWindow), tk->innerHeight(g().mainWindow) - 40));
  EXPECT_EQ(widget(g().layerDownButton)->geometry(), QRect(360, 15, 20, 20));
  EXPECT_EQ(tk->text(g().layerDownButton), "\\/");
  EXPECT_EQ(tk->text(g().layerUpButton), "/\\");
  EXPECT_EQ(tk->text(g().layerField), "1");

  EXPECT_EQ(tk->text(g().tileFrame), "Curent Tile");
  EXPECT_EQ(widget(g().tileCanvas)->size(), QSize(tk->innerWidth(g().tileFrame), tk->innerHeight(g().tileFrame)));
  EXPECT_EQ(widget(g().windowsFrame)->geometry(), QRect(0, 300, 100, 90));
  EXPECT_EQ(tk->text(g().lightsToggle), "Lights");

  const auto* tabs = widget(g().tilesetTabs)->findChild<QTabBar*>();
  ASSERT_EQ(tabs->count(), 1);
  EXPECT_EQ(tabs->tabText(0), "Tileset 1");
  EXPECT_EQ(tabs->tabToolTip(0), "View tileset 1");
  EXPECT_EQ(widget(g().tilesetTabs)->size(), QSize(tk->innerWidth(g().tilesWindow), tk->innerHeight(g().tilesWindow)));
  EXPECT_EQ(widget(g().loadTileButton)->geometry(), QRect(5, 20, 70, 20));
  EXPECT_EQ(tk->text(g().loadTileButton), "Load Tile.");

  QStringList file;
  for (QAction* a : tk->menu(g().fileMenu)->actions()) file << a->text();
  EXPECT_EQ(file, QStringList({"New Map", "Load Map", "Save Map", "Save As", "Export Vorl", "Import Map...",
                               "Export As...", "Bake Map File...", "Run Script...", "Quit"}));
  EXPECT_EQ(main->findChild<QMenuBar*>()->actions().at(0)->text(), "File");

  // No tile yet: the tile canvas says so, and the empty start-up map shows nothing.
  frame();
  const QImage tile = tk->canvas(g().tileCanvas)->grabFramebuffer();
  bool text = false;
  for (int y = 0; y < tile.height(); ++y) {
    for (int x = 0; x < tile.width(); ++x) text = text || tile.pixelColor(x, y).red() > 0;
  }
  EXPECT_TRUE(text);
  EXPECT_TRUE(near(tk->canvas(g().mapCanvas)->grabFramebuffer().pixelColor(100, 100), 0, 0, 0));
}

TEST_F(EditorTest, CaptionsFitTheirGadgetsAndProgramSetFieldsShowTheirBeginning) {
  click(g().renderToggle);
  click(g().pivotsToggle);
  click(g().lightsToggle);
  // Room for a caption: what the style leaves inside the gadget's bevel or beside its tick.
  const auto fits = [](QWidget* gadget, const QString& text, QStyle::SubElement contents) {
    QStyleOptionButton option;
    option.initFrom(gadget);
    option.text = text;
    const QRect room = gadget->style()->subElementRect(contents, &option, gadget);
    const QFontMetrics metrics = gadget->fontMetrics();
    if (metrics.horizontalAdvance(text) <= room.width() && metrics.height() <= room.height())
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << text.toStdString() << " is " << metrics.horizontalAdvance(text) << " x "
                                         << metrics.height() << ", room " << room.width() << " x " << room.height();
  };
  int checked = 0;
  // Owned windows are children of the main window.
  QWidget* main = widget(g().mainWindow);
  for (auto* b : main->findChildren<QPushButton*>()) {
    EXPECT_TRUE(fits(b, b->text(), QStyle::SE_PushButtonContents));
    ++checked;
  }
  for (auto* b : main->findChildren<QCheckBox*>()) EXPECT_TRUE(fits(b, b->text(), QStyle::SE_CheckBoxContents));
  for (auto* l : main->findChildren<QLabel*>())
    EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->width()) << l->text().toStdString();
  EXPECT_GE(checked, 20) << "every button was looked at";

  // A field the program fills scrolls to its start, whatever its width.
  shell->handle({EventKind::MenuAction, g().contextMenu, app::tagOf("addLight"), 0, 0});
  auto* red = static_cast<QLineEdit*>(widget(g().redField));
  red->setText("255.000000");
  tk->setText(g().redField, "255.000000");
  EXPECT_EQ(red->cursorPosition(), 0);
}

TEST_F(EditorTest, ALoadedTilePickedAndPlottedShowsOnTheMap) {
  TempDir dir;
  const std::string path = dir.file("brick.png");
  writeFile(path, encodePng(solidImage(64, 64, 200, 40, 40)));
  tk->script.fileAnswers.push_back(path);
  click(g().loadTileButton);
  ASSERT_TRUE(shell->currentTileset()->cell(0, 0, 0)) << "the tile went into the first free cell";

  mouse(g().tilesetCanvas, Mouse::Move, 10, 10);
  mouse(g().tilesetCanvas, Mouse::Press, 10, 10);
  mouse(g().tilesetCanvas, Mouse::Release, 10, 10);
  ASSERT_TRUE(shell->currentTile());
  frame();
  const QImage preview = tk->canvas(g().tileCanvas)->grabFramebuffer();
  EXPECT_TRUE(near(preview.pixelColor(preview.width() / 2, preview.height() / 2), 200, 40, 40))
      << "the tile canvas shows the current tile";
  EXPECT_TRUE(near(preview.pixelColor(preview.width() - 1, preview.height() - 1), 200, 40, 40)) << "filling it";

  tk->script.questionAnswers = {1};  // the tile loaded is kept in the tileset either way
  pressOnceShown("New Map", "Create");
  click(g().newMapButton);
  ASSERT_EQ(shell->currentMap()->width, 32);
  click(g().toolButton("Plot"));

  // At zoom 1 and no scroll, cell (x, y) covers canvas pixels 64x to 64x + 63.
  mouse(g().mapCanvas, Mouse::Move, 100, 100);
  mouse(g().mapCanvas, Mouse::Press, 100, 100);
  mouse(g().mapCanvas, Mouse::Move, 170, 100);
  mouse(g().mapCanvas, Mouse::Release, 170, 100);
  frame();

  const QImage shown = tk->canvas(g().mapCanvas)->grabFramebuffer();
  EXPECT_TRUE(near(shown.pixelColor(96, 96), 200, 40, 40)) << "cell (1, 1)";
  EXPECT_TRUE(near(shown.pixelColor(160, 96), 200, 40, 40)) << "cell (2, 1)";
  EXPECT_TRUE(near(shown.pixelColor(224, 96), 0, 0, 0)) << "cell (3, 1) was not reached";
  EXPECT_TRUE(near(shown.pixelColor(96, 160), 0, 0, 0)) << "cell (1, 2)";
}

TEST_F(EditorTest, AClosedSideWindowComesBackWithOnePressOfItsToggle) {
  QWidget* lights = widget(g().lightsWindow);
  click(g().lightsToggle);
  ASSERT_TRUE(lights->isVisible());
  lights->close();
  settle();
  ASSERT_FALSE(lights->isVisible());
  click(g().lightsToggle);
  EXPECT_TRUE(lights->isVisible());

  // Closing the main window ends the loop.
  widget(g().mainWindow)->close();
  settle();
  EXPECT_TRUE(shell->finished());
}

// A painted stroke taken back with Ctrl+Z (from another window than the menu's) leaves the canvas as it was; closing the editor
// with that change made asks first, and Cancel keeps it running.
TEST_F(EditorTest, CtrlZTakesAStrokeBackAndClosingAModifiedDocumentAsks) {
  auto tile = std::make_shared<tiles::Tile>();
  tile->image = std::make_shared<platform::Image>(solidImage(64, 64, 30, 200, 60));
  seedTileset(shell->document(), [&](map::Map& ts) { ts.setCell(0, 0, 0, tile); });
  pressOnceShown("New Map", "Create");
  click(g().newMapButton);
  click(g().toolButton("Plot"));
  ASSERT_EQ(shell->currentTile(), tile);

  mouse(g().mapCanvas, Mouse::Move, 100, 100);
  mouse(g().mapCanvas, Mouse::Press, 100, 100);
  mouse(g().mapCanvas, Mouse::Move, 170, 100);
  mouse(g().mapCanvas, Mouse::Release, 170, 100);
  frame();
  // At zoom 1 and no scroll, cell (x, y) covers canvas pixels 64x to 64x + 63.
  ASSERT_TRUE(near(tk->canvas(g().mapCanvas)->grabFramebuffer().pixelColor(96, 96), 30, 200, 60));

  QWidget* tools = widget(g().toolsWindow);
  tools->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(tools));
  QTest::keyClick(widget(g().toolButton("Plot")), Qt::Key_Z, Qt::ControlModifier);
  settle();
  frame();
  const QImage undone = tk->canvas(g().mapCanvas)->grabFramebuffer();
  EXPECT_TRUE(near(undone.pixelColor(96, 96), 0, 0, 0)) << "cell (1, 1)";
  // The pointer still rests on cell (2, 1): empty again, under the half-transparent brush.
  EXPECT_TRUE(near(undone.pixelColor(150, 110), 15, 100, 30)) << "cell (2, 1)";

  widget(g().mainWindow)->close();
  settle();
  ASSERT_EQ(tk->script.questions.size(), 1u);
  EXPECT_EQ(tk->script.questions[0].text, "Save changes to Untitled before closing?");
  EXPECT_FALSE(shell->finished());  // the script answers Cancel
  EXPECT_TRUE(widget(g().mainWindow)->isVisible());
}

// A click on a light selects it without moving it, however the hand jitters below the
// desktop's drag distance; past it the light follows. A click on the map acts where it
// happened, not where the pointer was last moved over the map.
TEST_F(EditorTest, AClickOnALightOnlySelectsAndEachClickActsWhereItHappened) {
  pressOnceShown("New Map", "Create");
  click(g().newMapButton);
  auto light = map::Light::createLight(100, 100, 0, 255, 255, 255);
  shell->document().push(edit::addLight(shell->currentMap(), light));
  const int jitter = std::max(tk->dragDistance() / 2 - 1, 0);
  mouse(g().mapCanvas, Mouse::Move, 100, 100);
  mouse(g().mapCanvas, Mouse::Press, 100, 100);
  mouse(g().mapCanvas, Mouse::Move, 100 + jitter, 100 + jitter);
  mouse(g().mapCanvas, Mouse::Release, 100 + jitter, 100 + jitter);
  EXPECT_EQ(shell->objects().activeLight(), light);
  EXPECT_EQ(std::tie(light->x, light->y), std::make_tuple(100.0f, 100.0f));
  EXPECT_EQ(shell->document().undoText(), "Undo Add Light");
  const int far = tk->dragDistance() + 5;
  mouse(g().mapCanvas, Mouse::Press, 100, 100);
  mouse(g().mapCanvas, Mouse::Move, 100 + far, 100);
  mouse(g().mapCanvas, Mouse::Release, 100 + far, 100);
  EXPECT_EQ(std::tie(light->x, light->y), std::make_tuple(100.0f + static_cast<float>(far), 100.0f));

  // A tile picked, then a press and a release on the map with no move over it in between:
  // the stroke starts and ends at the click.
  auto tile = std::make_shared<tiles::Tile>();
  tile->image = std::make_shared<platform::Image>(solidImage(64, 64, 30, 200, 60));
  seedTileset(shell->document(), [&](map::Map& ts) { ts.setCell(0, 0, 0, tile); });
  click(g().toolButton("Plot"));
  mouse(g().tilesetCanvas, Mouse::Move, 10, 10);
  mouse(g().tilesetCanvas, Mouse::Press, 10, 10);
  mouse(g().tilesetCanvas, Mouse::Release, 10, 10);
  ASSERT_EQ(shell->currentTile(), tile);
  mouse(g().mapCanvas, Mouse::Press, 330, 200);
  mouse(g().mapCanvas, Mouse::Release, 330, 200);
  const map::Map& m = *shell->currentMap();
  const auto cell = map::cellAt(m, shell->mapView(), tk->surface(g().mapCanvas), 330, 200);
  ASSERT_TRUE(cell);
  EXPECT_EQ(m.cell(cell->x, cell->y, 0), tile);
  EXPECT_EQ(m.cell(1, 1, 0), nullptr) << "the cell of the last move, under the light";
}

}  // namespace
}  // namespace vorlane::test

namespace vorlane::test {
namespace {

// The designer's day in the real editor: a stamp dragged out of the Tiles window, a click paints it, and hiding its layer changes the canvas, not the file.
TEST_F(EditorTest, AStampFromTheTilesWindowPaintsAndHidesWithItsLayer) {
  auto solid = [](std::uint8_t r, std::uint8_t gr, std::uint8_t b) {
    auto tile = std::make_shared<tiles::Tile>();
    tile->image = std::make_shared<platform::Image>(solidImage(64, 64, r, gr, b));
    return tile;
  };
  seedTileset(shell->document(), [&](map::Map& ts) {
    ts.setCell(0, 0, 0, solid(200, 40, 40));
    ts.setCell(1, 0, 0, solid(40, 40, 200));
  });
  pressOnceShown("New Map", "Create");
  click(g().newMapButton);
  mouse(g().tilesetCanvas, Mouse::Move, 10, 10);
  mouse(g().tilesetCanvas, Mouse::Press, 10, 10);
  mouse(g().tilesetCanvas, Mouse::Move, 74, 10);
  mouse(g().tilesetCanvas, Mouse::Release, 74, 10);
  ASSERT_EQ(shell->stamp().width, 2);
  click(g().toolButton("Plot"));

  // At zoom 1 and no scroll, cell (x, y) covers canvas pixels 64x to 64x + 63.
  mouse(g().mapCanvas, Mouse::Move, 100, 100);
  mouse(g().mapCanvas, Mouse::Press, 100, 100);
  mouse(g().mapCanvas, Mouse::Release, 100, 100);
  mouse(g().mapCanvas, Mouse::Move, 300, 300);
  frame();
  QImage shown = tk->canvas(g().mapCanvas)->grabFramebuffer();
  EXPECT_TRUE(near(shown.pixelColor(96, 96), 200, 40, 40, 1));
  EXPECT_TRUE(near(shown.pixelColor(160, 96), 40, 40, 200, 1));

  base::ByteWriter before;
  io::saveMap(*shell->currentMap(), before);
  QAction* layer1 = nullptr;
  for (QMenu* menu : widget(g().mainWindow)->findChildren<QMenu*>())
    for (QAction* a : menu->actions())
      if (a->text() == "Layer 1") layer1 = a;
  ASSERT_TRUE(layer1);
  EXPECT_TRUE(layer1->isChecked());
  layer1->trigger();
  settle();
  frame();
  EXPECT_FALSE(layer1->isChecked());
  shown = tk->canvas(g().mapCanvas)->grabFramebuffer();
  EXPECT_TRUE(near(shown.pixelColor(96, 96), 0, 0, 0)) << "layer 1 hidden";
  base::ByteWriter after;
  io::saveMap(*shell->currentMap(), after);
  EXPECT_EQ(after.data(), before.data());
}

// The tile a click would paint shows half transparent under the pointer, and once the
// pointer leaves the map canvas the cell shows only what the map holds.
TEST_F(EditorTest, TheBrushPreviewFollowsThePointerAndLeavesNoTraceWhenItLeaves) {
  auto tile = std::make_shared<tiles::Tile>();
  tile->image = std::make_shared<platform::Image>(solidImage(64, 64, 200, 40, 40));
  seedTileset(shell->document(), [&](map::Map& ts) { ts.setCell(0, 0, 0, tile); });
  pressOnceShown("New Map", "Create");
  click(g().newMapButton);
  click(g().toolButton("Plot"));
  ASSERT_EQ(shell->currentTile(), tile);

  // At zoom 1 and no scroll, cell (x, y) covers canvas pixels 64x to 64x + 63.
  const QPoint inside[] = {{160, 96}, {140, 76}, {180, 116}, {142, 112}};
  mouse(g().mapCanvas, Mouse::Move, 160, 96);
  frame();
  QImage shown = tk->canvas(g().mapCanvas)->grabFramebuffer();
  for (const QPoint& p : inside) EXPECT_TRUE(near(shown.pixelColor(p), 100, 20, 20)) << "cell (2, 1) at " << p.x() << "," << p.y();
  EXPECT_TRUE(near(shown.pixelColor(224, 96), 0, 0, 0)) << "cell (3, 1)";

  // Out of the canvas, over the main window's button row.
  QWidget* main = widget(g().mainWindow);
  QTest::mouseMove(main->windowHandle(), widget(g().newMapButton)->mapTo(main, QPoint(10, 10)));
  settle();
  frame();
  shown = tk->canvas(g().mapCanvas)->grabFramebuffer();
  for (const QPoint& p : inside) EXPECT_TRUE(near(shown.pixelColor(p), 0, 0, 0)) << "cell (2, 1) at " << p.x() << "," << p.y();
  EXPECT_EQ(shell->document().undoText(), "Undo New Map") << "nothing painted";
}

}  // namespace
}  // namespace vorlane::test
