// Normal maps derived from an image's brightness: what flat and sloped images give, and that a
// bake lights the slopes from the side they face.
#include <gtest/gtest.h>

#include "base/console.h"
#include "lighting/render.h"
#include "platform/decode.h"
#include "platform/encode.h"
#include "support/fixtures.h"
#include "tiles/normals.h"

namespace vorlane::tiles {
namespace {

using platform::Image;

// Brightness rising along x (or y) by `step` per pixel, from 40.
Image ramp(int w, int h, bool alongY, int step = 20) {
  Image image(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = image.at(x, y);
      p[0] = p[1] = p[2] = static_cast<std::uint8_t>(40 + step * (alongY ? y : x));
      p[3] = 255;
    }
  return image;
}

void expectFlat(const Image& normals, int x, int y) {
  const std::uint8_t* p = normals.at(x, y);
  EXPECT_EQ(p[0], 255) << x << "," << y;
  EXPECT_EQ(p[1], 128) << x << "," << y;
  EXPECT_EQ(p[2], 128) << x << "," << y;
  EXPECT_EQ(p[3], 255) << x << "," << y;
}

void expectAllFlat(const Image& source) {
  Image normals = deriveNormalMap(source, {.strength = 8.0f, .invertY = false, .blur = 2});
  ASSERT_EQ(normals.width, source.width);
  ASSERT_EQ(normals.height, source.height);
  for (int y = 0; y < normals.height; ++y)
    for (int x = 0; x < normals.width; ++x) expectFlat(normals, x, y);
}

TEST(Normals, EvenImagesAndTransparentPixelsAreFlat) {
  for (const Image& even : {test::solidImage(1, 1, 200, 10, 10), test::solidImage(7, 3, 90, 90, 90),
                            test::solidImage(4, 4, 255, 255, 255)})
    expectAllFlat(even);
  Image transparent = test::patternImage(5, 5);
  for (std::size_t i = 3; i < transparent.pixels.size(); i += 4) transparent.pixels[i] = 127;
  expectAllFlat(transparent);
  EXPECT_EQ(deriveNormalMap(Image(0, 3)).width, 0);
}

TEST(Normals, SlopesTiltTowardsTheirLowSideInTheRightChannel) {
  struct Case {
    bool alongY, invertY;
    int channel;     // 1 green (y, up the screen), 2 blue (x, to the right)
    bool positive;   // whether the component is above the flat 128
  };
  // Brightness rising to the right faces left; rising down the image faces up the screen.
  for (const Case& c : {Case{false, false, 2, false}, Case{false, true, 2, false}, Case{true, false, 1, true},
                        Case{true, true, 1, false}}) {
    Image normals = deriveNormalMap(ramp(6, 6, c.alongY), {.strength = 4.0f, .invertY = c.invertY, .blur = 0});
    const int other = c.channel == 1 ? 2 : 1;
    for (int i = 1; i < 5; ++i) {
      const std::uint8_t* p = c.alongY ? normals.at(i % 6, i) : normals.at(i, i % 6);
      EXPECT_EQ(p[other], 128) << "case channel " << c.channel << " at " << i;
      EXPECT_EQ(p[c.channel] > 128, c.positive) << int(p[c.channel]);
      EXPECT_NE(p[c.channel], 128);
      EXPECT_LT(p[0], 255);
      // A unit normal: the decoded components' lengths add up to one.
      float x = 2.0f * p[2] / 255 - 1, y = 2.0f * p[1] / 255 - 1, z = 2.0f * p[0] / 255 - 1;
      EXPECT_NEAR(x * x + y * y + z * z, 1.0f, 0.02f);
    }
  }
  // A steeper setting tilts more.
  EXPECT_LT(deriveNormalMap(ramp(6, 6, false), {.strength = 12.0f}).at(3, 3)[2],
            deriveNormalMap(ramp(6, 6, false), {.strength = 2.0f}).at(3, 3)[2]);
}

// Baked brightness of the middle pixel of a ramp tile lit from (lightX, 16).
int bakedMiddle(const Image& colour, const Image& normals, float lightX) {
  auto tile = std::make_shared<Tile>();
  EXPECT_TRUE(tile->setImages(std::make_shared<Image>(colour), &normals));
  auto map = map::Map::create(3, 1, 1, 32, 32);
  map->setCell(1, 0, 0, tile);
  map->addLight(map::Light::createLight(lightX, 16, 1, 60, 60, 60));
  base::ConsoleCapture quiet;
  auto lit = lighting::renderCommand(*map, 16, 16, false);
  EXPECT_TRUE(lit.ok());
  return (*lit)->cell(1, 0, 0)->image->at(16, 16)[0];
}

TEST(Normals, ABakeLightsASlopeFromTheSideItFaces) {
  Image colour = ramp(32, 32, false, 4);  // rising to the right: its low side is on the left
  Image flat = deriveNormalMap(test::solidImage(32, 32, 128, 128, 128));
  Image sloped = deriveNormalMap(colour, {.strength = 24.0f});
  const float lowSide = 16, highSide = 80;
  EXPECT_GT(bakedMiddle(colour, sloped, lowSide), bakedMiddle(colour, flat, lowSide));
  EXPECT_LT(bakedMiddle(colour, sloped, highSide), bakedMiddle(colour, flat, highSide));
}

TEST(Normals, SurviveTheCompanionFormat) {
  Image normals = deriveNormalMap(test::patternImage(9, 5), {.strength = 6.0f, .invertY = false, .blur = 1});
  auto decoded = platform::decodeImage(platform::encodeBmp(normals));
  ASSERT_TRUE(decoded.ok()) << decoded.error();
  EXPECT_EQ(decoded->width, 9);
  EXPECT_EQ(decoded->height, 5);
  EXPECT_EQ(decoded->pixels, normals.pixels);
}

}  // namespace
}  // namespace vorlane::tiles
