#include "tiles/scan.h"

#include <gtest/gtest.h>

#include <array>

#include "base/console.h"
#include "support/fixtures.h"

namespace vorlane::tiles {
namespace {

using Pixel = std::array<int, 4>;

Pixel pixelOf(const platform::Image& img, int x, int y) {
  const std::uint8_t* p = img.at(x, y);
  return {p[0], p[1], p[2], p[3]};
}
Pixel gridPixel(const ChannelGrid& g, int x, int y) {
  const std::uint8_t* p = g.at(x, y);
  return {p[0], p[1], p[2], p[3]};
}
const Pixel kClear{0, 0, 0, 0};
const Pixel kFlat{255, 128, 128, 255};
const Pixel kNormal{9, 8, 7, 255};

TEST(CutImage, CutsInReadingOrderWithPartialLastColumnAndBand) {
  ScanSource src{test::patternImage(40, 20), test::solidImage(36, 18, 9, 8, 7)};  // companion smaller
  auto pieces = cutImage(src, 16, 16, "sheet.png");
  ASSERT_EQ(pieces.size(), 6u);
  const int corners[6][2] = {{0, 0}, {16, 0}, {32, 0}, {0, 16}, {16, 16}, {32, 16}};
  for (int i = 0; i < 6; ++i) {
    const Tile& t = *pieces[static_cast<std::size_t>(i)];
    EXPECT_EQ(t.path, "sheet.png " + std::to_string(i));
    ASSERT_EQ(t.image->width, 16);
    ASSERT_EQ(t.image->height, 16);
    EXPECT_EQ(t.colourGrid->width, 16);
    EXPECT_EQ(t.normalGrid->height, 16);
    const int ox = corners[i][0], oy = corners[i][1];
    for (int x = 0; x < 16; ++x)
      for (int y = 0; y < 16; ++y) {
        const bool inImage = ox + x < 40 && oy + y < 20;
        const bool inNormal = ox + x < 36 && oy + y < 18;
        Pixel want = inImage ? pixelOf(src.image, ox + x, oy + y) : kClear;
        ASSERT_EQ(pixelOf(*t.image, x, y), want) << "piece " << i << " at " << x << "," << y;
        ASSERT_EQ(gridPixel(*t.colourGrid, x, y), want);
        ASSERT_EQ(gridPixel(*t.normalGrid, x, y), inImage && inNormal ? kNormal : kFlat)
            << "piece " << i << " at " << x << "," << y;
      }
    EXPECT_EQ(t.castShadows, 0);
    EXPECT_EQ(t.collider, 0);
  }
  // Third piece of a band: 8 columns from the image; second band: 4 rows.
  EXPECT_NE(pixelOf(*pieces[2]->image, 7, 0), kClear);
  EXPECT_EQ(pixelOf(*pieces[2]->image, 8, 0), kClear);
  EXPECT_NE(pixelOf(*pieces[4]->image, 0, 3), kClear);
  EXPECT_EQ(pixelOf(*pieces[4]->image, 0, 4), kClear);
}

TEST(CutImage, SizesAndLimits) {
  ScanSource src{test::patternImage(16, 16), std::nullopt};
  auto one = cutImage(src, 64, 64, "p");
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0]->image->width, 64);
  EXPECT_EQ(pixelOf(*one[0]->image, 15, 15), pixelOf(src.image, 15, 15));
  EXPECT_EQ(pixelOf(*one[0]->image, 16, 15), kClear);
  EXPECT_EQ(gridPixel(*one[0]->normalGrid, 3, 3), kFlat);  // no companion image at all

  EXPECT_EQ(cutImage(ScanSource{test::patternImage(32, 32), std::nullopt}, 16, 16, "p").size(), 4u);

  for (auto [w, h] : {std::pair{0, 16}, {16, 0}, {-3, 16}, {16, -1}}) {
    EXPECT_TRUE(cutImage(src, w, h, "p").empty());
    EXPECT_FALSE(checkScanTileSize(w, h).ok());
  }
  EXPECT_FALSE(checkScanTileSize(kMaxScanTileSide + 1, 1).ok());
  EXPECT_TRUE(checkScanTileSize(kMaxScanTileSide, 1).ok());
  EXPECT_TRUE(checkScanTileSize(1, 1).ok());
}

TEST(CutImage, A300SquareAt8KeepsTheFirst1024PiecesOf1444) {
  ScanSource src{test::patternImage(300, 300), std::nullopt};
  auto pieces = cutImage(src, 8, 8, "big");
  ASSERT_EQ(pieces.size(), 1024u);
  // Piece 1023 is column 35 of band 26 (38 pieces a band).
  EXPECT_EQ(pieces[1023]->path, "big 1023");
  EXPECT_EQ(pixelOf(*pieces[1023]->image, 0, 0), pixelOf(src.image, 35 * 8, 26 * 8));
  // The last piece of a band is 4 pixels wide (300 = 37 * 8 + 4).
  EXPECT_EQ(pixelOf(*pieces[37]->image, 3, 0), pixelOf(src.image, 299, 0));
  EXPECT_EQ(pixelOf(*pieces[37]->image, 4, 0), kClear);
}

struct LoadScanSourceTest : ::testing::Test {
  test::TempDir dir;
  base::ConsoleCapture console;
};

TEST_F(LoadScanSourceTest, DecodesImageAndCompanion) {
  test::writeFile(dir.file("sheet.png"), test::encodePng(test::patternImage(5, 4)));
  test::writeFile(dir.file("NMsheet.bmp"), test::encodeBmp(test::solidImage(5, 4, 200, 100, 50)));
  auto src = loadScanSource(dir.file("sheet.png"));
  ASSERT_TRUE(src.ok()) << src.error();
  EXPECT_EQ(src->image.width, 5);
  ASSERT_TRUE(src->normal.has_value());
  EXPECT_EQ(pixelOf(*src->normal, 4, 3), (Pixel{200, 100, 50, 255}));
  EXPECT_EQ(console.lines(), std::vector<std::string>{"Loaded normal"});
}

TEST_F(LoadScanSourceTest, UndecodableCompanionGivesFlatNormals) {
  test::writeFile(dir.file("sheet.png"), test::encodePng(test::patternImage(5, 4)));
  test::writeFile(dir.file("NMsheet.bmp"), {'n', 'o', 't'});
  auto src = loadScanSource(dir.file("sheet.png"));
  ASSERT_TRUE(src.ok());
  EXPECT_FALSE(src->normal.has_value());
  EXPECT_EQ(console.lines(), std::vector<std::string>{"Loaded normal"});
  auto pieces = cutImage(*src, 4, 4, "p");
  for (const auto& t : pieces)
    for (int x = 0; x < 4; ++x)
      for (int y = 0; y < 4; ++y) EXPECT_EQ(gridPixel(*t->normalGrid, x, y), kFlat);
}

TEST_F(LoadScanSourceTest, FailsWithoutCompanionOrWithABadImage) {
  test::writeFile(dir.file("sheet.png"), test::encodePng(test::patternImage(5, 4)));
  auto missing = loadScanSource(dir.file("sheet.png"));
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error(), "No normal map present.\n" + dir.file("NMsheet.bmp") +
                                 ": no such file (the normal map is this BMP beside the image)");
  EXPECT_TRUE(console.lines().empty());
  EXPECT_EQ(loadScanSource("").error(), "No normal map present.");  // cancelled: no file to name

  test::writeFile(dir.file("junk.png"), {1, 2, 3, 4});
  test::writeFile(dir.file("NMjunk.bmp"), test::encodeBmp(test::solidImage(2, 2, 1, 2, 3)));
  auto bad = loadScanSource(dir.file("junk.png"));
  ASSERT_FALSE(bad.ok());
  EXPECT_EQ(bad.error(), "Not a valid file.\n" + dir.file("junk.png") + ": not a PNG, JPEG or BMP image");
}

}  // namespace
}  // namespace vorlane::tiles
