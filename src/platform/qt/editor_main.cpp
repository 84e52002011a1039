// The editor program: the Qt toolkit handed to the shell.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/shell.h"
#include "platform/qt/qt_toolkit.h"

namespace {

const char* program = "vorlane";

bool set(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

void explainHowToStart(const char* problem) {
  std::fprintf(stderr,
               "%s: the editor needs a graphical session.\n"
               "On a machine without one, start it under a virtual display:\n"
               "  xvfb-run -a -s '-screen 0 1280x1024x24' %s\n",
               problem, program);
}

// Qt ends the program when its window-system plugin cannot start (a display that does not
// answer, say); add the way out to its own message.
void onQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  if (type != QtFatalMsg) return;
  explainHowToStart("The display could not be opened");
  std::_Exit(1);  // a plain failure, not an abort with a core dump
}

}  // namespace

int main(int argc, char** argv) {
  program = argv[0];
  if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) {
    explainHowToStart("No display found");
    return 1;
  }
  const QtMessageHandler previous = qInstallMessageHandler(onQtMessage);
  QApplication application(argc, argv);
  qInstallMessageHandler(previous);
  QApplication::setQuitOnLastWindowClosed(false);
  vorlane::platform::qt::QtToolkit toolkit;
  vorlane::app::Shell shell(toolkit);
  shell.startUp();
  return shell.run();
}
