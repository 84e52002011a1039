// The editor on a desktop with a window manager (openbox under Xvfb, see run_with_wm.sh):
// owned windows, where the frames end up, raising on clicks, keys in every window. Without a
// window manager these tests skip.
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <optional>

#include "gui/editor_fixture.h"

namespace vorlane::test {
namespace {

QString run(const QString& program, const QStringList& arguments) {
  QProcess p;
  p.start(program, arguments);
  if (!p.waitForFinished(10000)) return {};
  return QString::fromLocal8Bit(p.readAllStandardOutput());
}

bool windowManagerRunning() { return run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id"); }

QString property(WId window, const char* name) { return run("xprop", {"-id", QString::number(window), name}); }

// The window that WM_TRANSIENT_FOR names, or 0.
WId transientFor(WId window) {
  const QString text = property(window, "WM_TRANSIENT_FOR");
  const qsizetype at = text.indexOf("# ");
  return at < 0 ? 0 : text.mid(at + 2).trimmed().toULongLong(nullptr, 16);
}

// Client windows from bottom to top.
QList<WId> stacking() {
  const QString text = run("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"});
  QList<WId> ids;
  for (const QString& part : text.mid(text.indexOf("# ") + 2).split(',', Qt::SkipEmptyParts))
    ids << part.trimmed().toULongLong(nullptr, 16);
  return ids;
}

void xdotool(const QStringList& arguments) { QProcess::execute("xdotool", arguments); }

class DesktopTest : public EditorTest {
 protected:
  void SetUp() override {
    guiApp();
    if (!windowManagerRunning()) GTEST_SKIP() << "no window manager on this display";
    EditorTest::SetUp();
  }

  WId id(Handle window) { return widget(window)->winId(); }

  // Lets the window manager and the shell catch up until the condition holds.
  bool until(const std::function<bool()>& condition) {
    return waitFor([&] {
      settle();
      return condition();
    });
  }

  void activate(Handle window) {
    xdotool({"windowactivate", "--sync", QString::number(id(window))});
    ASSERT_TRUE(until([&] { return widget(window)->isActiveWindow(); }));
  }
};

TEST_F(DesktopTest, OwnedWindowsAreTransientForTheMainWindow) {
  click(g().renderToggle);
  click(g().pivotsToggle);
  click(g().lightsToggle);
  const WId main = id(g().mainWindow);
  for (Handle owned : {g().toolsWindow, g().tilesWindow, g().renderWindow, g().pivotsWindow, g().lightsWindow}) {
    ASSERT_TRUE(exposed(widget(owned)));
    EXPECT_EQ(transientFor(id(owned)), main) << widget(owned)->windowTitle().toStdString();
    EXPECT_FALSE(property(id(owned), "_NET_WM_WINDOW_TYPE").contains("TYPE_NORMAL,"))
        << "a utility window, which task bars leave out";
  }
  EXPECT_EQ(transientFor(id(g().mapTreeWindow)), 0u) << "the map tree has no owner";
  EXPECT_EQ(transientFor(main), 0u);

  // A dialog (the scanning dialog is made the same way), while its own loop waits.
  std::optional<WId> owner;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->windowTitle() != "New Map" || !w->isVisible() || !w->windowHandle()->isExposed()) continue;
      poll.stop();
      owner = transientFor(w->winId());
      for (auto* b : w->findChildren<QPushButton*>())
        if (b->text() == "Cancel") b->click();
    }
  });
  poll.start(20);
  click(g().newMapButton);
  ASSERT_TRUE(owner);
  EXPECT_EQ(*owner, main);
}

TEST_F(DesktopTest, WindowsSitWhereTheyBelongOnceTheirFramesAreKnown) {
  click(g().lightsToggle);
  const struct {
    Handle window;
    QRect frame;
  } expected[] = {
      {g().mainWindow, {125, 20, 580, 530}}, {g().mapTreeWindow, {560, 20, 200, 450}},
      {g().toolsWindow, {20, 105, 110, 450}}, {g().tilesWindow, {120, 350, 500, 200}},
      {g().lightsWindow, {400, 300, 250, 200}},
  };
  for (const auto& w : expected) {
    QWidget* window = widget(w.window);
    const auto near = [&] {
      const QRect f = window->frameGeometry();
      return std::abs(f.x() - w.frame.x()) <= 2 && std::abs(f.y() - w.frame.y()) <= 2 &&
             std::abs(f.width() - w.frame.width()) <= 2 && std::abs(f.height() - w.frame.height()) <= 2;
    };
    EXPECT_TRUE(until(near)) << window->windowTitle().toStdString() << " framed at "
                             << window->frameGeometry().x() << ", " << window->frameGeometry().y() << " size "
                             << window->frameGeometry().width() << " x " << window->frameGeometry().height();
    EXPECT_GT(window->geometry().y(), window->frameGeometry().y()) << "the title bar is outside the client area";
  }
}

TEST_F(DesktopTest, AClickOnTheMapLeavesTheTilesWindowAboveTheMainWindow) {
  QWidget* canvas = widget(g().mapCanvas);
  const QPoint at = canvas->mapToGlobal(QPoint(300, 40));
  xdotool({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y())});
  xdotool({"click", "1"});
  ASSERT_TRUE(until([&] { return widget(g().mainWindow)->isActiveWindow(); }));
  const QList<WId> order = stacking();
  const qsizetype main = order.indexOf(id(g().mainWindow));
  ASSERT_GE(main, 0);
  EXPECT_GT(order.indexOf(id(g().tilesWindow)), main);
  EXPECT_GT(order.indexOf(id(g().toolsWindow)), main);
  EXPECT_TRUE(widget(g().tilesWindow)->isVisible());
}

TEST_F(DesktopTest, ShortcutsWorkInEveryWindowButTextFieldsTypeLetters) {
  activate(g().tilesWindow);
  xdotool({"key", "--clearmodifiers", "l"});
  EXPECT_TRUE(until([&] { return shell->currentTool() == map::kLine; })) << "a tool key in the Tiles window";
  xdotool({"key", "--clearmodifiers", "ctrl+equal"});
  EXPECT_TRUE(until([&] { return shell->mapView().zoom > 1.0f; })) << "Ctrl+= zooms in";

  activate(g().toolsWindow);
  xdotool({"key", "--clearmodifiers", "ctrl+shift+s"});
  EXPECT_TRUE(until([&] { return !tk->script.fileRequests.empty(); })) << "Save As from the Tools window";

  click(g().renderToggle);
  activate(g().renderWindow);
  widget(g().widthField)->setFocus();
  xdotool({"key", "--clearmodifiers", "r"});
  EXPECT_TRUE(until([&] { return tk->text(g().widthField).find('r') != std::string::npos; }));
  EXPECT_EQ(shell->currentTool(), map::kLine) << "the field took the letter: no Rect";
}

}  // namespace
}  // namespace vorlane::test
