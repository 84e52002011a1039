#pragma once
// Shared by the GUI tests: one QApplication per test program, made on first use so that
// listing the tests needs no display, and a few ways of waiting for the window system.
#include <QApplication>
#include <QColor>
#include <QImage>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <functional>

#include <gtest/gtest.h>

namespace vorlane::test {

inline QApplication& guiApp() {
  static int argc = 1;
  static char name[] = "gui_tests";
  static char* argv[] = {name, nullptr};
  // Never deleted: GL contexts may outlive a test, and tearing Qt down at exit buys nothing.
  static QApplication* app = [] {
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
      ADD_FAILURE() << "No display: run the GUI tests under xvfb-run (scripts/test.sh does).";
    }
    auto* a = new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return a;
  }();
  return *app;
}

// Processes window-system events until the condition holds (false after a generous limit).
inline bool waitFor(const std::function<bool()>& condition, int limitMs = 10000) {
  return QTest::qWaitFor(condition, limitMs);
}

inline bool exposed(QWidget* w) { return w && QTest::qWaitForWindowExposed(w, 10000); }

// Colour channels within a tolerance of what is expected.
inline ::testing::AssertionResult near(const QColor& got, int r, int g, int b, int tolerance = 0) {
  if (std::abs(got.red() - r) <= tolerance && std::abs(got.green() - g) <= tolerance &&
      std::abs(got.blue() - b) <= tolerance) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "got (" << got.red() << ", " << got.green() << ", " << got.blue()
                                       << "), expected (" << r << ", " << g << ", " << b << ") ± " << tolerance;
}

}  // namespace vorlane::test
