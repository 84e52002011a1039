// The editor as installed, started as a program of its own with a project on its command
// line, against the same project opened in this process: the screen over the map canvas must
// show the same picture. tests/packaging/install_test.sh runs it on a display of its own with
// VORLANE_EDITOR (the installed program) and VORLANE_PROJECT (the installed example);
// VORLANE_KEEP_FRAMES=folder keeps both pictures there.
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSet>
#include <algorithm>
#include <cstdlib>

#include "gui/editor_fixture.h"

namespace vorlane::test {
namespace {

QImage grabScreen(const QRect& r) {
  return QGuiApplication::primaryScreen()
      ->grabWindow(0, r.x(), r.y(), r.width(), r.height())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

// The share of pixels whose colour differs by more than a little in some channel; 1 when the
// sizes differ.
double differing(const QImage& a, const QImage& b) {
  if (a.size() != b.size() || a.isNull()) return 1;
  std::int64_t count = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      const int most = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                 std::abs(qBlue(p) - qBlue(q))});
      count += most > 32;
    }
  }
  return static_cast<double>(count) / (static_cast<double>(a.width()) * a.height());
}

int colours(const QImage& image) {
  QSet<QRgb> seen;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) seen.insert(image.pixel(x, y));
  return static_cast<int>(seen.size());
}

using InstalledEditor = EditorTest;

TEST_F(InstalledEditor, ShowsTheProjectNamedOnItsCommandLine) {
  const char* editor = std::getenv("VORLANE_EDITOR");
  const char* project = std::getenv("VORLANE_PROJECT");
  if (!editor || !project) GTEST_SKIP() << "VORLANE_EDITOR and VORLANE_PROJECT name the installed editor and project";

  // What the canvas shows with the project loaded, and where on the screen.
  shell->openAtStart(project);
  ASSERT_TRUE(tk->script.messages.empty()) << tk->script.messages.front().text;
  ASSERT_GT(shell->currentMap()->width, 0);
  for (int i = 0; i < 3; ++i) frame();
  QWidget* canvas = widget(g().mapCanvas);
  const QRect area(canvas->mapToGlobal(QPoint(0, 0)), canvas->size());
  const QImage expected = grabScreen(area);
  ASSERT_GT(colours(expected), 100) << "the map should fill the canvas";
  shell.reset();
  tk.reset();
  QTest::qWait(500);  // the windows leave the screen

  QProcess program;
  program.setProcessChannelMode(QProcess::ForwardedChannels);
  program.start(editor, {project});
  ASSERT_TRUE(program.waitForStarted()) << editor;
  // The line width that range circles are drawn with is carried over from what was drawn
  // before them, which differs between the two; tiles, lights and grid must agree.
  constexpr double kAllowed = 0.03;
  double last = 1;
  const bool same = waitFor(
      [&] {
        last = differing(grabScreen(area), expected);
        return last < kAllowed || program.state() == QProcess::NotRunning;
      },
      30000) && last < kAllowed;
  if (const char* keep = std::getenv("VORLANE_KEEP_FRAMES")) {
    expected.save(QString(keep) + "/expected.png");
    grabScreen(area).save(QString(keep) + "/got.png");
  }
  const bool ran = program.state() == QProcess::Running;
  program.kill();
  program.waitForFinished();
  EXPECT_TRUE(ran) << "the editor ended early";
  EXPECT_TRUE(same) << 100 * last << "% of the pixels differ over the map canvas " << area.width() << "x" << area.height();
}

}  // namespace
}  // namespace vorlane::test
