#pragma once
// The real editor on the Qt toolkit, started and driven step by step.
#include <QOpenGLWidget>
#include <QTest>
#include <memory>

#include "app/shell.h"
#include "gui/gui_support.h"
#include "platform/qt/qt_toolkit.h"

namespace vorlane::test {

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

}  // namespace vorlane::test
