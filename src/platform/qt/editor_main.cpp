// The editor program: the Qt toolkit handed to the shell.
#include <QApplication>
#include <QFont>
#include <cstdio>
#include <cstdlib>

#include "app/shell.h"
#include "platform/qt/qt_toolkit.h"

namespace {

bool set(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

}  // namespace

int main(int argc, char** argv) {
  // Without a display Qt would abort with a message about platform plugins; say what to do.
  if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) {
    std::fprintf(stderr,
                 "No display found: the editor needs a graphical session.\n"
                 "On a machine without one, start it under a virtual display:\n"
                 "  xvfb-run -a -s '-screen 0 1280x1024x24' %s\n",
                 argv[0]);
    return 1;
  }
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  // The gadgets are laid out in small fixed boxes (buttons 20 pixels high).
  QFont font = QApplication::font();
  font.setPixelSize(11);
  QApplication::setFont(font);
  vorlane::platform::qt::QtToolkit toolkit;
  vorlane::app::Shell shell(toolkit);
  shell.startUp();
  return shell.run();
}
