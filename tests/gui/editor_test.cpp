// The real editor on the Qt toolkit, driven by real input events.
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QOpenGLWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <memory>

#include "app/shell.h"
#include "gui/gui_support.h"
#include "platform/qt/qt_toolkit.h"
#include "support/fixtures.h"
#include "tiles/tile.h"

namespace vorlane::test {
namespace {

using platform::Event;
using platform::EventKind;
using platform::Handle;
using platform::qt::QtToolkit;

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    guiApp();
    tk = std::make_unique<QtToolkit>();
    tk->script.active = true;
    shell = std::make_unique<app::Shell>(*tk);
    shell->startUp();
    tk->showPendingWindows();
    ASSERT_TRUE(exposed(widget(g().mainWindow)));
    ASSERT_TRUE(exposed(widget(g().tilesWindow)));
    ASSERT_TRUE(exposed(widget(g().toolsWindow)));
    settle();
  }

  const app::Gadgets& g() const { return shell->gadgets(); }
  QWidget* widget(Handle h) const { return tk->widget(h); }

  // Hands the shell what is queued now; the timer adds a tick now and then, so stop at a bound.
  void settle() {
    Event e;
    for (int i = 0; i < 100 && tk->pollEvent(e); ++i) shell->handle(e);
  }

  // Until the shell has drawn a frame after this point.
  void frame() {
    bool ticked = false;
    ASSERT_TRUE(waitFor([&] {
      Event e;
      while (!ticked && tk->pollEvent(e)) {
        shell->handle(e);
        ticked = e.kind == EventKind::TimerTick;
      }
      return ticked;
    }));
  }

  void click(Handle button) {
    QTest::mouseClick(widget(button), Qt::LeftButton);
    settle();
  }

  // Mouse input through the canvas's window, as the window system delivers it.
  enum class Mouse { Move, Press, Release };
  void mouse(Handle canvas, Mouse what, int x, int y) {
    QWidget* c = widget(canvas);
    QWindow* window = c->window()->windowHandle();
    const QPoint at = c->mapTo(c->window(), QPoint(x, y));
    switch (what) {
      case Mouse::Move: QTest::mouseMove(window, at); break;
      case Mouse::Press: QTest::mousePress(window, Qt::LeftButton, {}, at); break;
      case Mouse::Release: QTest::mouseRelease(window, Qt::LeftButton, {}, at); break;
    }
    settle();
  }

  std::unique_ptr<QtToolkit> tk;
  std::unique_ptr<app::Shell> shell;
};

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
  const int statusHeight = main->findChild<QStatusBar*>()->height();
  EXPECT_EQ(widget(g().mapCanvas)->size(), QSize(580, 530 - menuHeight - 40 - statusHeight));
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
  EXPECT_EQ(widget(g().tilesetTabs)->size(), QSize(500, 200));
  EXPECT_EQ(widget(g().loadTileButton)->geometry(), QRect(5, 20, 70, 20));
  EXPECT_EQ(tk->text(g().loadTileButton), "Load Tile.");

  QStringList file;
  for (QAction* a : tk->menu(g().fileMenu)->actions()) file << a->text();
  EXPECT_EQ(file, QStringList({"New Map", "Load Map", "Save Map", "Save As", "Export Vorl"}));
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

  pressOnceShown("New Map", "Create");
  click(g().newMapButton);
  ASSERT_EQ(shell->currentMap()->width, 32);
  click(g().plotButton);

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

// A painted stroke taken back with Undo leaves the canvas as it was; closing the editor
// with that change made asks first, and Cancel keeps it running.
TEST_F(EditorTest, UndoTakesAStrokeBackAndClosingAModifiedDocumentAsks) {
  pressOnceShown("New Map", "Create");
  click(g().newMapButton);
  auto tile = std::make_shared<tiles::Tile>();
  tile->image = std::make_shared<platform::Image>(solidImage(64, 64, 30, 200, 60));
  shell->currentTileset()->setCell(0, 0, 0, tile);
  click(g().plotButton);
  ASSERT_EQ(shell->currentTile(), tile);

  mouse(g().mapCanvas, Mouse::Move, 100, 100);
  mouse(g().mapCanvas, Mouse::Press, 100, 100);
  mouse(g().mapCanvas, Mouse::Move, 170, 100);
  mouse(g().mapCanvas, Mouse::Release, 170, 100);
  frame();
  // At zoom 1 and no scroll, cell (x, y) covers canvas pixels 64x to 64x + 63.
  ASSERT_TRUE(near(tk->canvas(g().mapCanvas)->grabFramebuffer().pixelColor(96, 96), 30, 200, 60));

  tk->menu(g().editMenu)->actions().at(0)->trigger();
  settle();
  frame();
  const QImage undone = tk->canvas(g().mapCanvas)->grabFramebuffer();
  EXPECT_TRUE(near(undone.pixelColor(96, 96), 0, 0, 0)) << "cell (1, 1)";
  EXPECT_TRUE(near(undone.pixelColor(150, 110), 0, 0, 0)) << "cell (2, 1)";

  widget(g().mainWindow)->close();
  settle();
  ASSERT_EQ(tk->script.questions.size(), 1u);
  EXPECT_EQ(tk->script.questions[0].text, "Save changes to Untitled before closing?");
  EXPECT_FALSE(shell->finished());  // the script answers Cancel
  EXPECT_TRUE(widget(g().mainWindow)->isVisible());
}

}  // namespace
}  // namespace vorlane::test
