// Makes the README's picture of the editor (docs/editor.png): the real editor on a virtual
// display (with a window manager), the example project loaded.
// Run by scripts/screenshots.sh: screenshots PROJECT OUT.png
#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <cstdio>

#include "app/shell.h"
#include "gui/gui_support.h"
#include "platform/qt/qt_toolkit.h"

namespace {

using vorlane::platform::Event;

// Hands the shell whatever the window system queued for a while, so that frames get drawn.
void runFor(vorlane::platform::qt::QtToolkit& tk, vorlane::app::Shell& shell, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    Event e;
    // Ticks keep coming while a slow frame draws: stop at the deadline, not when the queue is empty.
    while (clock.elapsed() < ms && tk.pollEvent(e)) shell.handle(e);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: screenshots PROJECT OUT.png\n");
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  QFont font = QApplication::font();  // as the editor sets it
  font.setPixelSize(11);
  QApplication::setFont(font);

  vorlane::platform::qt::QtToolkit tk;
  tk.script.active = true;
  tk.script.fileAnswers.push_back(argv[1]);
  vorlane::app::Shell shell(tk);
  shell.startUp();
  tk.showPendingWindows();
  const auto& g = shell.gadgets();
  if (!vorlane::test::exposed(tk.widget(g.mainWindow))) return 1;
  runFor(tk, shell, 300);
  QTest::mouseClick(tk.widget(g.loadButton), Qt::LeftButton);
  runFor(tk, shell, 1000);
  if (!tk.script.messages.empty()) {
    std::fprintf(stderr, "the editor said: %s\n", tk.script.messages.front().text.c_str());
    return 1;
  }
  runFor(tk, shell, 3000);  // software GL on a busy machine takes its time

  // Everything the windows cover, from the screen's corner.
  QRect area;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible()) area = area.united(w->frameGeometry());
  area = area.adjusted(-8, -8, 8, 8).intersected(QRect(0, 0, 1280, 1024));
  const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  if (!shot.save(argv[2], "PNG")) return std::fprintf(stderr, "%s: cannot write\n", argv[2]), 1;
  return 0;
}
