// What a canvas shows, read back from its framebuffer: shapes, blending, image filtering.
#include <QOpenGLWidget>
#include <memory>

#include "gui/gui_support.h"
#include "platform/qt/gl_surface.h"
#include "platform/qt/qt_toolkit.h"
#include "support/fixtures.h"

namespace vorlane::test {
namespace {

using platform::BlendMode;
using platform::Handle;
using platform::Image;
using platform::qt::QtToolkit;

Image pixels(int w, int h, std::initializer_list<std::array<std::uint8_t, 4>> colours, bool mipmapped = false) {
  Image image(w, h);
  std::size_t i = 0;
  for (const auto& c : colours) {
    std::copy(c.begin(), c.end(), image.pixels.begin() + static_cast<std::ptrdiff_t>(i));
    i += 4;
  }
  image.mipmapped = mipmapped;
  return image;
}

class GlSurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    guiApp();
    tk = std::make_unique<QtToolkit>();
    window = tk->createWindow("Canvas", 60, 60, 260, 200, 0, platform::kTitleBar);
    canvas = tk->createCanvas(0, 0, 240, 160, window);
    tk->showPendingWindows();
    ASSERT_TRUE(exposed(tk->widget(window)));
    s = &tk->surface(canvas);
    s->clear();
  }

  QImage shown() { return tk->canvas(canvas)->grabFramebuffer(); }
  QColor at(int x, int y) { return shown().pixelColor(x, y); }

  std::unique_ptr<QtToolkit> tk;
  Handle window = 0, canvas = 0;
  platform::Surface* s = nullptr;
};

TEST_F(GlSurfaceTest, ShapesCoverTheirPixels) {
  EXPECT_EQ(s->width(), 240);
  EXPECT_EQ(s->height(), 160);
  s->setColor(255, 0, 0);
  s->drawRect(10, 10, 20, 20);
  s->setColor(0, 255, 0);
  s->drawLine(40, 5, 49, 5);
  const platform::LineSegment batch[] = {{40, 8, 40, 8}, {60, 5, 60, 9}};
  s->drawLines(batch);
  s->setLineWidth(4);
  s->drawLine(40, 20, 80, 20);
  s->setLineWidth(1);
  s->setColor(0, 0, 255);
  s->drawOval(100, 10, 20, 20);
  s->setColor(255, 255, 255);
  s->drawText("No Tile", 0, 100);
  s->present();

  const QImage img = shown();
  EXPECT_TRUE(near(img.pixelColor(10, 10), 255, 0, 0));
  EXPECT_TRUE(near(img.pixelColor(29, 29), 255, 0, 0));
  EXPECT_TRUE(near(img.pixelColor(30, 30), 0, 0, 0));
  EXPECT_TRUE(near(img.pixelColor(9, 10), 0, 0, 0));
  // Both end points of a line, and nothing past them.
  EXPECT_TRUE(near(img.pixelColor(40, 5), 0, 255, 0));
  EXPECT_TRUE(near(img.pixelColor(49, 5), 0, 255, 0));
  EXPECT_TRUE(near(img.pixelColor(39, 5), 0, 0, 0));
  EXPECT_TRUE(near(img.pixelColor(50, 5), 0, 0, 0));
  EXPECT_TRUE(near(img.pixelColor(40, 6), 0, 0, 0)) << "one pixel wide";
  EXPECT_TRUE(near(img.pixelColor(40, 8), 0, 255, 0)) << "a zero-length line is a dot";
  EXPECT_TRUE(near(img.pixelColor(60, 9), 0, 255, 0));
  int thick = 0;
  for (int y = 14; y < 27; ++y) thick += img.pixelColor(60, y).green() == 255;
  EXPECT_EQ(thick, 4) << "line width 4";
  EXPECT_TRUE(near(img.pixelColor(110, 20), 0, 0, 255));
  EXPECT_TRUE(near(img.pixelColor(101, 11), 0, 0, 0)) << "an ellipse leaves its box's corners";
  int lit = 0;
  for (int y = 100; y < 120; ++y) {
    for (int x = 0; x < 60; ++x) lit += img.pixelColor(x, y).red() > 0;
  }
  EXPECT_GT(lit, 10) << "text shows";
}

TEST_F(GlSurfaceTest, MaskBlendSkipsLowAlphaAndDrawsTheRestOpaque) {
  const Image image = pixels(2, 1, {{255, 0, 0, 100}, {0, 255, 0, 200}});
  s->drawImage(image, 100, 10, 20, 10);
  s->setBlend(BlendMode::Alpha);
  s->setAlpha(0.5f);
  s->drawRect(10, 10, 10, 10);
  s->present();
  const QImage img = shown();
  EXPECT_TRUE(near(img.pixelColor(101, 15), 0, 0, 0)) << "alpha 100 is below one half";
  EXPECT_TRUE(near(img.pixelColor(118, 15), 0, 255, 0)) << "alpha 200 drawn opaque";
  EXPECT_TRUE(near(img.pixelColor(15, 15), 128, 128, 128, 2)) << "white at alpha 0.5 over black";

  // In mask mode a colour at alpha below one half is skipped too.
  s->setBlend(BlendMode::Mask);
  s->setAlpha(0.4f);
  s->drawRect(40, 10, 10, 10);
  s->present();
  EXPECT_TRUE(near(at(45, 15), 0, 0, 0));
}

TEST_F(GlSurfaceTest, ImagesStretchWithTheirFilters) {
  const Image blue = pixels(1, 1, {{0, 0, 255, 255}});
  const Image stripes = pixels(4, 1, {{255, 0, 0, 255}, {0, 255, 0, 255}, {255, 0, 0, 255}, {0, 255, 0, 255}});
  const Image ramp = pixels(2, 1, {{0, 0, 0, 255}, {255, 255, 255, 255}});
  Image checker(4, 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const std::uint8_t v = (x + y) % 2 ? 255 : 0;
      std::copy_n(std::array<std::uint8_t, 4>{v, v, v, 255}.begin(), 4, checker.at(x, y));
    }
  }
  Image mipmapped = checker;
  mipmapped.mipmapped = true;

  s->setScale(2, 2);
  s->drawImage(blue, 150, 10, 5, 5);  // the scale doubles it
  s->setScale(1, 1);
  s->drawImage(stripes, 10, 10, 2, 1);
  s->drawImage(ramp, 10, 20, 20, 1);
  s->drawImage(checker, 10, 30, 1, 1);
  s->drawImage(mipmapped, 12, 30, 1, 1);
  s->present();

  const QImage img = shown();
  EXPECT_TRUE(near(img.pixelColor(150, 10), 0, 0, 255));
  EXPECT_TRUE(near(img.pixelColor(159, 19), 0, 0, 255));
  EXPECT_TRUE(near(img.pixelColor(160, 19), 0, 0, 0));
  for (int x : {10, 11}) {
    const QColor c = img.pixelColor(x, 10);
    EXPECT_TRUE(near(c, 255, 0, 0) || near(c, 0, 255, 0)) << "nearest minification mixes nothing, x " << x;
  }
  const int middle = img.pixelColor(20, 20).red();
  EXPECT_GT(middle, 60) << "bilinear magnification blends neighbours";
  EXPECT_LT(middle, 200);
  const int plain = img.pixelColor(10, 30).red();
  EXPECT_TRUE(plain == 0 || plain == 255) << "without mipmaps one pixel is picked";
  EXPECT_NEAR(img.pixelColor(12, 30).red(), 128, 20) << "mipmaps average the checker";
}

TEST_F(GlSurfaceTest, LaterDrawsCoverEarlierOnesWhateverTheyShare) {
  const Image green = pixels(1, 1, {{0, 255, 0, 255}});
  s->setColor(255, 0, 0);
  s->drawRect(0, 0, 30, 10);
  s->setColor(255, 255, 255);
  s->drawImage(green, 10, 0, 20, 10);
  s->drawImage(green, 40, 0, 10, 10);
  s->setColor(255, 0, 0);
  s->drawRect(20, 0, 30, 10);
  s->setColor(0, 0, 255);
  s->drawRect(45, 0, 10, 10);
  s->present();
  const QImage img = shown();
  EXPECT_TRUE(near(img.pixelColor(5, 5), 255, 0, 0));
  EXPECT_TRUE(near(img.pixelColor(15, 5), 0, 255, 0));
  EXPECT_TRUE(near(img.pixelColor(25, 5), 255, 0, 0));
  EXPECT_TRUE(near(img.pixelColor(42, 5), 255, 0, 0));
  EXPECT_TRUE(near(img.pixelColor(47, 5), 0, 0, 255));
}

TEST_F(GlSurfaceTest, PresentShowsTheFrameAndStateOutlivesIt) {
  auto* surface = dynamic_cast<platform::qt::GlSurface*>(s);
  ASSERT_NE(surface, nullptr);
  const Image tile = pixels(1, 1, {{0, 255, 0, 255}});
  s->setColor(0, 0, 255);
  s->drawRect(0, 0, 10, 10);
  s->drawImage(tile, 20, 0, 4, 4);
  s->present();
  EXPECT_TRUE(near(at(5, 5), 0, 0, 255));

  // Drawn but not presented: the shown frame stays the last one presented.
  s->clear();
  s->drawRect(50, 50, 10, 10);
  EXPECT_TRUE(near(at(5, 5), 0, 0, 255));
  EXPECT_TRUE(near(at(55, 55), 0, 0, 0));
  s->drawImage(tile, 30, 0, 4, 4);
  s->present();
  EXPECT_TRUE(near(at(5, 5), 0, 0, 0));
  EXPECT_TRUE(near(at(55, 55), 0, 0, 255)) << "the colour set in the frame before still holds";
  EXPECT_EQ(surface->cachedTextures(), 1u) << "the image was uploaded once";
}

}  // namespace
}  // namespace vorlane::test
