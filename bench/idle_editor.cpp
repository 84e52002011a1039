// The editor left alone: with a 256 × 256 × 4 map loaded and nothing happening but the
// 60 Hz timer, how much of one core does it use? Run it under a display (bench/idle.sh).
// idle_editor [SECONDS]
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/shell.h"
#include "io/project.h"
#include "lighting/scenes.h"
#include "platform/qt/qt_toolkit.h"

namespace {

using namespace vorlane;

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(u.ru_utime) + seconds(u.ru_stime);
}

std::string writeMap() {
  scenes::SceneShape shape;
  shape.width = shape.height = 256;
  shape.depth = 4;
  shape.tileWidth = shape.tileHeight = 32;
  shape.occupancy = {1.0, 0.5, 0.3, 0.1};
  shape.tiles = {scenes::TileShape{32, 32}, scenes::TileShape{32, 32}, scenes::TileShape{32, 32}};
  const map::MapPtr m = scenes::makeScene(shape);
  m->addLight(scenes::light(2000, 2000, 1, 600));
  const std::string path = (std::filesystem::temp_directory_path() / "vorlane-idle-bench.vorl").string();
  const auto status = io::writeFileAtomically(path, [&](base::ByteWriter& out) {
    io::saveMap(*m, out);
    io::writeTilesetSection({}, out);
  });
  if (!status) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), status.error().c_str());
    std::exit(1);
  }
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  const std::string path = writeMap();

  platform::qt::QtToolkit tk;
  tk.script.active = true;
  tk.script.fileAnswers.push_back(path);
  app::Shell shell(tk);
  shell.startUp();
  shell.handle({platform::EventKind::MenuAction, shell.gadgets().fileMenu, app::tagOf("load"), 0, 0});
  if (shell.currentMap()->width != 256) {
    std::fprintf(stderr, "the map did not load\n");
    return 1;
  }

  // Three seconds to settle (windows shown, shaders built, first frames drawn), then the measured stretch.
  double startCpu = 0;
  QElapsedTimer wall;
  QTimer::singleShot(3000, [&] {
    startCpu = cpuSeconds();
    wall.start();
  });
  QTimer::singleShot(static_cast<int>(3000 + seconds * 1000), [&] { tk.widget(shell.gadgets().mainWindow)->close(); });
  shell.run();
  const double cpu = cpuSeconds() - startCpu;
  const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
  std::printf("idle %.1f s with a 256 x 256 x 4 map: %.3f s of CPU, %.2f %% of one core\n", elapsed, cpu,
              100.0 * cpu / elapsed);
  std::filesystem::remove(path);
  return 0;
}
