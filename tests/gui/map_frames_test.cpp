// Frames of the map view as the real canvas shows them, against frames kept in
// tests/gui/frames (drawn by a canvas that gave every image its own texture and every cell its
// own quad). Near zooms must match to the pixel; far zooms, where the view is one picture
// sampled on the processor, must stay close on average. VORLANE_WRITE_FRAMES=folder writes the frames
// there instead.
#include <QImage>
#include <QOpenGLWidget>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "gui/gui_support.h"
#include "map/map.h"
#include "map/view.h"
#include "platform/qt/qt_toolkit.h"

namespace vorlane::test {
namespace {

using map::Map;
using map::MapPtr;
using platform::Image;
using tiles::Tile;
using tiles::TilePtr;

// Tile art as painted tiles tend to be: a base colour per tile with gentle ramps across it,
// a fine 4-pixel checker and, with holes, a disc below the mask's alpha ringed by a band
// above it.
TilePtr artTile(int w, int h, int seed, bool holes, bool mipmapped) {
  auto image = std::make_shared<Image>(w, h);
  image->mipmapped = mipmapped;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = image->at(x, y);
      const int checker = (x / 4 + y / 4) % 2 ? 12 : -12;
      p[0] = static_cast<std::uint8_t>(40 + seed * 30 + x * 48 / w + checker);
      p[1] = static_cast<std::uint8_t>(200 - seed * 25 + y * 40 / h - checker);
      p[2] = static_cast<std::uint8_t>(90 + (seed * 53) % 80 + checker);
      p[3] = 255;
      if (holes) {
        const int dx = 2 * x + 1 - w, dy = 2 * y + 1 - h, r2 = dx * dx + dy * dy;
        if (r2 < w * w / 4) {
          p[3] = 40;
        } else if (r2 < w * w / 2) {
          p[3] = 140;
        }
      }
    }
  }
  auto tile = std::make_shared<Tile>();
  tile->image = std::move(image);
  return tile;
}

// Images read from a project are mipmapped, others are not; sizes other than the cell's are
// stretched.
MapPtr scene() {
  auto m = Map::create(160, 120, 3, 32, 32);
  const TilePtr ground[] = {artTile(32, 32, 0, false, true), artTile(32, 32, 1, false, false),
                            artTile(16, 16, 2, false, true), artTile(48, 40, 3, false, true)};
  const TilePtr over[] = {artTile(32, 32, 4, true, true), artTile(32, 32, 5, true, false)};
  const TilePtr top = artTile(32, 32, 6, true, true);
  for (int x = 0; x < m->width; ++x) {
    for (int y = 0; y < m->height; ++y) {
      const unsigned h = static_cast<unsigned>(x * 7919 + y * 104729) % 97;
      m->setCell(x, y, 0, ground[h % 4]);
      if (h % 3 == 0) m->setCell(x, y, 1, over[h % 2]);
      if ((x + y) % 11 == 0) m->setCell(x, y, 2, top);
    }
  }
  auto light = std::make_shared<map::Light>();
  light->x = 100, light->y = 80, light->range = 60, light->red = 255, light->green = 200, light->blue = 40;
  m->addLight(light);
  auto pivot = std::make_shared<map::Pivot>();
  pivot->x = 180, pivot->y = 60;
  m->addPivot(pivot);
  return m;
}

struct View {
  const char* name;
  float zoom, scrollX, scrollY;
};

// Near views: scrolls on whole, half and quarter pixels; far views look at the map's middle.
constexpr View kNear[] = {{"zoom1", 1, 0, 0}, {"zoom1-shifted", 1, 13.5f, 7.25f}, {"half", 0.5f, 0, 0},
                          {"half-shifted", 0.5f, 37, 11.5f}};
constexpr View kFar[] = {{"quarter", 0.25f, 2440, 1840}, {"tenth", 0.1f, 2440, 1840}, {"twentieth", 0.05f, 2440, 1840}};

// Mean difference per channel, in 255ths, allowed at far zooms.
constexpr double kFarDifference = 2.0;

class MapFramesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    guiApp();
    tk = std::make_unique<platform::qt::QtToolkit>();
    window = tk->createWindow("Frames", 60, 60, 260, 200, 0, platform::kTitleBar);
    canvas = tk->createCanvas(0, 0, 240, 160, window);
    tk->showPendingWindows();
    ASSERT_TRUE(exposed(tk->widget(window)));
    s = &tk->surface(canvas);
    map = scene();
    view.selectedLight = map->lights[0].get();
    view.hover = map::CellPoint{2, 1};
  }

  // One frame as each timer tick draws it, or only the tiles and markers.
  QImage frame(const View& v, bool withGrid) {
    view.zoom = v.zoom, view.scrollX = v.scrollX, view.scrollY = v.scrollY;
    s->clear();
    map::draw(*map, view, *s);
    if (withGrid) map::drawGrid(*map, view, *s);
    s->present();
    return tk->canvas(canvas)->grabFramebuffer().convertToFormat(QImage::Format_RGB888);
  }

  // The kept frame, or an empty image after writing this one when asked to.
  static QImage kept(const QImage& got, const std::string& name) {
    if (const char* dir = std::getenv("VORLANE_WRITE_FRAMES")) {
      got.save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
      return {};
    }
    QImage image(QString::fromStdString(std::string(VORLANE_FRAMES_DIR) + "/" + name + ".png"));
    EXPECT_FALSE(image.isNull()) << "no kept frame " << name;
    return image.convertToFormat(QImage::Format_RGB888);
  }

  std::unique_ptr<platform::qt::QtToolkit> tk;
  platform::Handle window = 0, canvas = 0;
  platform::Surface* s = nullptr;
  MapPtr map;
  map::ViewState view;
};

::testing::AssertionResult samePixels(const QImage& got, const QImage& want) {
  if (got.size() != want.size()) return ::testing::AssertionFailure() << "sizes differ";
  int differing = 0;
  QString first;
  for (int y = 0; y < got.height(); ++y) {
    for (int x = 0; x < got.width(); ++x) {
      if (got.pixel(x, y) == want.pixel(x, y)) continue;
      if (differing++ == 0)
        first = QString("(%1, %2): got %3, kept %4").arg(x).arg(y).arg(got.pixel(x, y), 0, 16).arg(want.pixel(x, y), 0, 16);
    }
  }
  if (differing == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << differing << " pixels differ, first " << first.toStdString();
}

// Mean absolute difference per channel, in 255ths.
double meanDifference(const QImage& got, const QImage& want) {
  double sum = 0;
  for (int y = 0; y < got.height(); ++y) {
    for (int x = 0; x < got.width(); ++x) {
      const QColor a = got.pixelColor(x, y), b = want.pixelColor(x, y);
      sum += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
    }
  }
  return sum / (3.0 * got.width() * got.height());
}

TEST_F(MapFramesTest, NearZoomsShowTheKeptPixels) {
  for (const View& v : kNear) {
    const QImage got = frame(v, true);
    const QImage want = kept(got, v.name);
    if (want.isNull()) continue;
    EXPECT_TRUE(samePixels(got, want)) << v.name;
  }
}

TEST_F(MapFramesTest, FarZoomsStayCloseToTheKeptPixels) {
  for (const View& v : kFar) {
    const QImage got = frame(v, false);
    const QImage want = kept(got, std::string(v.name) + "-tiles");
    if (want.isNull()) continue;
    ASSERT_EQ(got.size(), want.size());
    const double difference = meanDifference(got, want);
    // The sampler's arithmetic is not the GPU's: a few pixels at the edge of a cell or of a
    // hole come out otherwise.
    EXPECT_LT(difference, kFarDifference) << v.name;
    RecordProperty(v.name, std::to_string(difference));
  }
}

}  // namespace
}  // namespace vorlane::test
