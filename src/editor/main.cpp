// The editor program: the Qt toolkit handed to the shell.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/shell.h"
#include "base/version.h"
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

// help2man makes the manual page from this text, so it stays the one description of the
// command line.
constexpr const char* kHelp =
    "Usage: vorlane [FILE]\n"
    "The Vorlane editor: paint two-dimensional tile maps from tilesets, place coloured\n"
    "point lights and pivots, and bake a light map into a new, lit map.\n"
    "\n"
    "With FILE, a project file (.vorl), the editor starts with it loaded, as its Load\n"
    "command would load it. When the file cannot be read, the editor shows why, the way\n"
    "Load does, and starts with an empty map.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n"
    "  --             end of options: a FILE after it may begin with a dash\n"
    "\n"
    "Qt's own options, such as -platform NAME, are accepted as well.\n";

bool is(const char* argument, const char* option) { return std::strcmp(argument, option) == 0; }

int usageError(const std::string& problem) {
  std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program, problem.c_str(), program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  program = argv[0];
  // Answered before anything needs a display.
  for (int i = 1; i < argc && !is(argv[i], "--"); ++i) {
    if (is(argv[i], "--help") || is(argv[i], "-h")) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (is(argv[i], "--version")) {
      std::puts("vorlane " VORLANE_VERSION);
      return 0;
    }
  }
  if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) {
    explainHowToStart("No display found");
    return 1;
  }
  const QtMessageHandler previous = qInstallMessageHandler(onQtMessage);
  QApplication application(argc, argv);
  qInstallMessageHandler(previous);
  // What Qt left of the command line is ours.
  const char* file = nullptr;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    if (options && is(argv[i], "--")) {
      options = false;
    } else if (options && argv[i][0] == '-' && argv[i][1] != '\0') {
      return usageError(std::string("unknown option '") + argv[i] + "'");
    } else if (file) {
      return usageError("one project file at most");
    } else {
      file = argv[i];
    }
  }
  QApplication::setQuitOnLastWindowClosed(false);
  // Task bars match the windows to the menu entry and its icon by these.
  QGuiApplication::setDesktopFileName(QStringLiteral("vorlane"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("vorlane")));
  vorlane::platform::qt::QtToolkit toolkit;
  vorlane::app::Shell shell(toolkit);
  shell.startUp();
  if (file) {
    // Any message about the file then stands over the editor's windows.
    toolkit.showPendingWindows();
    shell.openAtStart(file);
  }
  return shell.run();
}
