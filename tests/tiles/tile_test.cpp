#include "tiles/tile.h"

#include <gtest/gtest.h>

#include "base/console.h"
#include "support/fixtures.h"
#include "tiles/companion.h"

namespace vorlane::tiles {
namespace {

using test::TempDir;

TEST(Companion, PathRule) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\maps\\grass.png", "C:/maps/NMgrass.bmp"},
      {"grass.png", "<bad_dir>/NMgrass.bmp"},
      {"C:\\maps\\rock.old.png", "C:/maps/NMrock.old.bmp"},
      {"/a.b/tile", "/a.b/NMtile.bmp"},
      {"maps/", "<bad_dir>/NM.bmp"},
      {"/x/y.z/w.png", "/x/y.z/NMw.bmp"}};
  for (auto [path, expected] : cases) EXPECT_EQ(companionPath(path), expected) << path;
}

TEST(ChannelGrid, FromImageIsColumnMajorAndWritesSizesThenBytes) {
  auto img = test::patternImage(3, 2);
  auto grid = ChannelGrid::fromImage(img);
  EXPECT_EQ(grid->width, 3);
  EXPECT_EQ(grid->height, 2);
  ASSERT_EQ(grid->values.size(), 24u);
  EXPECT_EQ(grid->at(1, 0)[0], img.at(1, 0)[0]);
  EXPECT_EQ(grid->values[(2 * 2 + 1) * 4 + 1], img.at(2, 1)[1]);
  base::ByteWriter w;
  grid->write(w);
  ASSERT_EQ(w.data().size(), 8u + 24u);
  EXPECT_EQ(w.data()[0], 3);
  EXPECT_EQ(w.data()[4], 2);
  EXPECT_EQ(std::vector<std::uint8_t>(w.data().begin() + 8, w.data().end()), grid->values);
}

struct LoadedTile {
  base::Result<std::shared_ptr<Tile>> tile;
  std::vector<std::string> lines;
};

LoadedTile load(const std::string& path) {
  base::ConsoleCapture capture;
  auto tile = Tile::fromFile(path);
  return {std::move(tile), capture.lines()};
}

TEST(Tile, FromFileWithCompanionIsCompleteAndPrintsItsLines) {
  TempDir dir;
  test::writeFile(dir.file("grass.png"), test::encodePng(test::patternImage(4, 3)));
  test::writeFile(dir.file("NMgrass.bmp"), test::encodeBmp(test::solidImage(4, 3, 200, 100, 50)));
  auto [tile, lines] = load(dir.file("grass.png"));
  ASSERT_TRUE(tile.ok()) << tile.error();
  const std::string nm = dir.file("NMgrass.bmp");
  EXPECT_EQ(lines, (std::vector<std::string>{"loading tile.", "Creating rgb map.", "Creating normal map", nm + " found."}));
  EXPECT_EQ((*tile)->path, dir.file("grass.png"));
  EXPECT_EQ((*tile)->normalGrid->at(3, 2)[0], 200);
  EXPECT_EQ((*tile)->colourGrid->at(1, 2)[3], 254);  // PNG alpha kept
  EXPECT_EQ((*tile)->castShadows, 0);
}

TEST(Tile, FromFileWithoutCompanionGetsFlatNormals) {
  TempDir dir;
  test::writeFile(dir.file("rock.png"), test::encodePng(test::patternImage(2, 5)));
  auto [tile, lines] = load(dir.file("rock.png"));
  ASSERT_TRUE(tile.ok());
  EXPECT_EQ(lines.back(), dir.file("NMrock.bmp") + " not found.");
  EXPECT_EQ(lines.size(), 3u);
  auto& n = *(*tile)->normalGrid;
  EXPECT_EQ(n.width, 2);
  EXPECT_EQ(n.height, 5);
  for (std::size_t i = 0; i < n.values.size(); i += 4)
    EXPECT_EQ(std::vector<std::uint8_t>(n.values.begin() + static_cast<long>(i), n.values.begin() + static_cast<long>(i) + 4),
              (std::vector<std::uint8_t>{255, 128, 128, 255}));
}

TEST(Tile, FromFileReportsUndecodableImageAndCompanion) {
  TempDir dir;
  test::writeFile(dir.file("bad.png"), {'n', 'o', 'p', 'e'});
  // The known message first, then the file and why.
  EXPECT_EQ(load(dir.file("bad.png")).tile.error(), "File not found.\n" + dir.file("bad.png") + ": not a PNG, JPEG or BMP image");
  EXPECT_EQ(load(dir.file("missing.png")).tile.error().rfind("File not found.\n" + dir.file("missing.png") + ": ", 0), 0u);
  test::writeFile(dir.file("ok.png"), test::encodePng(test::patternImage(2, 2)));
  test::writeFile(dir.file("NMok.bmp"), {'B', 'M', 1, 2});
  EXPECT_EQ(load(dir.file("ok.png")).tile.error(),
            "Image normal map not found.\n" + dir.file("NMok.bmp") + ": Invalid BMP file: file too short.");
}

TEST(Tile, RecordRoundTripsPathFlagsPixelsAndGrids) {
  Tile t;
  t.image = std::make_shared<platform::Image>(test::patternImage(3, 2));
  t.path = "tiles/a.png";
  t.castShadows = 1;
  t.colourGrid = ChannelGrid::fromImage(*t.image);
  t.normalGrid = ChannelGrid::fromImage(test::solidImage(3, 2, 9, 8, 7, 6));
  base::ByteWriter w;
  t.write(w);
  // path line, sizes, two flag bytes, 24 pixel bytes column by column, two grids
  ASSERT_EQ(w.data().size(), 13u + 8 + 2 + 24 + 2 * (8 + 24));
  EXPECT_EQ(w.data()[23], t.image->at(0, 0)[0]);
  EXPECT_EQ(w.data()[23 + 4], t.image->at(0, 1)[0]);  // x outer, y inner

  base::ConsoleCapture capture;
  base::ByteReader r(w.data());
  Tile back;
  back.read(r);
  EXPECT_TRUE(r.atEnd());
  EXPECT_EQ(capture.lines(), (std::vector<std::string>{"Reading tile.", "Read."}));
  EXPECT_EQ(back.path, t.path);
  EXPECT_EQ(back.castShadows, 1);
  EXPECT_EQ(back.collider, 0);
  EXPECT_EQ(back.image->pixels, t.image->pixels);
  EXPECT_TRUE(back.image->mipmapped);
  EXPECT_EQ(back.colourGrid->values, t.colourGrid->values);
  EXPECT_EQ(back.normalGrid->values, t.normalGrid->values);
}

TEST(Tile, MissingGridsAreWrittenSoTheRecordReadsBack) {
  Tile lit;
  lit.image = std::make_shared<platform::Image>(test::patternImage(2, 2));
  base::ByteWriter w;
  lit.write(w);
  base::ByteReader r(w.data());
  base::ConsoleCapture quiet;
  Tile back;
  back.read(r);
  EXPECT_EQ(back.colourGrid->values, ChannelGrid::fromImage(*lit.image)->values);
  EXPECT_EQ(back.normalGrid->values, ChannelGrid::flatNormals(2, 2)->values);
}

TEST(Tile, SetImagesNeedsBothImages) {
  Tile t;
  auto img = std::make_shared<platform::Image>(test::patternImage(2, 2));
  EXPECT_EQ(t.setImages(img, nullptr).error(), "Image normal map not found.");
  EXPECT_EQ(t.image, nullptr);
  auto normal = test::solidImage(2, 2, 255, 128, 128);
  ASSERT_TRUE(t.setImages(img, &normal).ok());
  EXPECT_EQ(t.image, img);
  EXPECT_EQ(t.normalGrid->at(1, 1)[1], 128);
}

}  // namespace
}  // namespace vorlane::tiles
