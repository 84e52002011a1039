#include "map/view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

#include "support/recording_surface.h"

namespace vorlane::map {
namespace {

using test::Call;
using test::Op;
using test::RecordingSurface;

TilePtr imageTile() {
  auto t = std::make_shared<tiles::Tile>();
  t->image = std::make_shared<platform::Image>(2, 2);
  return t;
}

// The corner of a cell on the canvas, written out independently of the view code.
float corner(std::int32_t i, std::int32_t size, float scroll, float zoom, int canvas) {
  float c = static_cast<float>(canvas) / 2.0f;
  return c + ((static_cast<float>(i * size) - scroll) - c) * zoom;
}

// The walk over every cell, as the view was first described: the reference the direct
// computations are held against.
std::pair<int, int> walkPick(const Map& m, const ViewState& v, int W, int H, int px, int py, std::pair<int, int> before) {
  for (int x = 0; x < m.width; ++x)
    for (int y = 0; y < m.height; ++y) {
      float X = corner(x, m.tileWidth, v.scrollX, v.zoom, W), Y = corner(y, m.tileHeight, v.scrollY, v.zoom, H);
      float fx = static_cast<float>(px), fy = static_cast<float>(py);
      if (X < fx && fx < X + m.tileWidth * v.zoom && Y < fy && fy < Y + m.tileHeight * v.zoom) return {x, y};
    }
  return before;
}

std::vector<std::tuple<float, float>> walkTiles(const Map& m, const ViewState& v, int W, int H) {
  std::vector<std::tuple<float, float>> out;
  float sw = m.tileWidth * v.zoom, sh = m.tileHeight * v.zoom;
  for (int x = 0; x < m.width; ++x) {
    float X = corner(x, m.tileWidth, v.scrollX, v.zoom, W);
    if (!(X > 0 - sw && X < W + sw)) continue;
    for (int y = 0; y < m.height; ++y) {
      float Y = corner(y, m.tileHeight, v.scrollY, v.zoom, H);
      if (!(Y > 0 - sh && Y < H + sh)) continue;
      for (int l = 0; l < m.depth; ++l)
        if (m.cell(x, y, l)) out.emplace_back(X, Y);
    }
  }
  return out;
}

using Seg = std::tuple<float, float, float, float>;

// Every cell's four edges, without the lines of an axis whose cells are closer than the
// grid's minimum spacing.
std::vector<Seg> walkGrid(const Map& m, const ViewState& v, int W, int H) {
  std::vector<Seg> out;
  float sw = m.tileWidth * v.zoom, sh = m.tileHeight * v.zoom;
  const bool vertical = std::abs(sw) >= kMinGridSpacing, horizontal = std::abs(sh) >= kMinGridSpacing;
  for (int x = 0; x < m.width; ++x)
    for (int y = 0; y < m.height; ++y) {
      float X = corner(x, m.tileWidth, v.scrollX, v.zoom, W), Y = corner(y, m.tileHeight, v.scrollY, v.zoom, H);
      if (horizontal) out.emplace_back(X, Y, X + sw, Y);
      if (vertical) out.emplace_back(X, Y, X, Y + sh);
      if (horizontal) out.emplace_back(X, Y + sh, X + sw, Y + sh);
      if (vertical) out.emplace_back(X + sw, Y, X + sw, Y + sh);
    }
  return out;
}

// Whether a 4-pixel-wide segment could touch a pixel of a W × H canvas.
bool touchesCanvas(const Seg& s, int W, int H) {
  auto [x1, y1, x2, y2] = s;
  return std::max(x1, x2) >= -2 && std::min(x1, x2) <= W + 2 && std::max(y1, y2) >= -2 && std::min(y1, y2) <= H + 2;
}

struct View {
  float scrollX, scrollY, zoom;
};
// Zooms a wheel can reach, odd scrolls, and views that put corners exactly on pixels.
const View kViews[] = {{0, 0, 1},       {13.5f, -7.25f, 1},   {-100, -50, 2},   {64, 64, 0.5f}, {5, 3, 0.99f},
                       {-33.3f, 12, 1.01f}, {200, 100, 0.37f}, {-250, -80, 3.3f}, {1000, 900, 1}, {-900, -700, 1},
                       {0, 0, 0.05f},   {7, 7, 0},            {7, 7, -1}};

TEST(MapView, DrawPassesRunInOrderAndLeaveTheirStates) {
  auto m = Map::create(2, 2, 2, 32, 16);
  ViewState view;
  auto a = imageTile(), b = imageTile(), c = imageTile();
  m->setCell(0, 1, 1, a);
  m->setCell(0, 1, 0, b);
  m->setCell(1, 0, 0, c);
  view.markCell(*m, 1, 1);
  auto light = Light::createLight(100, 50, 0, 255.9f, 0, 12.5f);
  light->range = 10;
  m->addLight(light);
  view.selectedLight = light.get();
  m->addPivot(Pivot::createPivot(20, 30, 0));
  view.zoom = 2;
  view.scrollX = -150, view.scrollY = -100;
  RecordingSurface s(400, 300);
  draw(*m, view, s);

  std::vector<Op> ops;
  for (const Call& call : s.calls) ops.push_back(call.op);
  const std::vector<Op> expected = {
      Op::Scale, Op::Image, Op::Image, Op::Image, Op::Scale,                     // tiles by column, row, layer
      Op::Color, Op::Line,  Op::Line,  Op::Line,  Op::Line,  Op::Color,         // one red outline
      Op::Scale, Op::Color, Op::Oval,  Op::Color, Op::Lines,                     // light and range circle
      Op::LineWidth, Op::Line, Op::Line, Op::Line, Op::Line, Op::LineWidth,      // its selection square
      Op::Color, Op::Rect, Op::Color, Op::Color};                                // pivot, final white
  EXPECT_EQ(ops, expected);
  // Column 0 row 1 layer 0, then its layer 1, then column 1 row 0.
  EXPECT_EQ(s.calls[1].n, static_cast<std::int64_t>(b->image->serial));
  EXPECT_EQ(s.calls[2].n, static_cast<std::int64_t>(a->image->serial));
  EXPECT_EQ(s.calls[3].n, static_cast<std::int64_t>(c->image->serial));
  EXPECT_EQ(s.calls[1].c, 32);  // drawn at the tile size, the scale makes it zoom times larger
  EXPECT_EQ(s.calls[0].a, 2);
  EXPECT_EQ(s.calls[5].a, 255);
  EXPECT_EQ(s.calls[5].b, 0);
  EXPECT_EQ(s.calls[12].a, 255);  // 255.9 truncated
  EXPECT_EQ(s.calls[12].c, 12);
  dropShownMarks(*m, view, s);
  EXPECT_FALSE(view.isMarked(1, 1));
  // Outline and marker geometry at zoom 2.
  float X = corner(1, 32, -150, 2, 400), Y = corner(1, 16, -100, 2, 300);
  EXPECT_EQ(s.calls[6].a, X);
  EXPECT_EQ(s.calls[6].c, X + 64);
  EXPECT_EQ(s.calls[9].b, Y);
  EXPECT_EQ(s.calls[9].d, Y + 32);
  EXPECT_EQ(s.calls[13].a, 300 - 16.0f);  // light at map (100, 50): canvas (300, 150)
  EXPECT_EQ(s.calls[13].c, 32);
  EXPECT_EQ(s.calls[23].a, 140 - 16.0f);
  EXPECT_EQ(s.calls[17].a, 268);  // selection square corner trunc(300 - 32)
  EXPECT_EQ(s.calls[17].b, 118);
  EXPECT_EQ(s.red, 255);
  EXPECT_EQ(s.lineWidth, 4);
  EXPECT_EQ(s.scaleX, 1);
}

TEST(MapView, RangeCircleIs37PointsWithAClosingZeroSegment) {
  auto m = Map::create(0, 0, 0, 0, 0);
  ViewState view;
  auto l = Light::createLight(200, 150, 0, 1, 2, 3);  // canvas centre of a 400 x 300 canvas
  l->range = 100;
  m->addLight(l);
  RecordingSurface s(400, 300);
  draw(*m, view, s);
  ASSERT_EQ(s.segments.size(), 37u);
  EXPECT_EQ(s.segments[0].line.x1, 300);
  EXPECT_EQ(s.segments[0].line.x2, 300);  // zero-length first line
  EXPECT_EQ(s.segments[9].line.x2, 200);  // 90 degrees
  EXPECT_EQ(s.segments[9].line.y2, 250);
  EXPECT_EQ(s.segments[36].line.x2, 300);
  EXPECT_EQ(s.segments[0].r, 255);  // white, not the light's colour

  l->range = 0;
  s.reset();
  draw(*m, view, s);
  for (const auto& seg : s.segments) EXPECT_EQ(std::tie(seg.line.x1, seg.line.y1, seg.line.x2, seg.line.y2),
                                                std::make_tuple(200.f, 150.f, 200.f, 150.f));
}

TEST(MapView, HiddenHighlightKeepsItsFlagUntilShown) {
  auto m = Map::create(20, 1, 1, 64, 64);
  ViewState view;
  view.markCell(*m, 19, 0);
  view.markCell(*m, 20, 0);  // outside the map: never marked
  EXPECT_FALSE(view.isMarked(20, 0));
  RecordingSurface s(400, 300);
  draw(*m, view, s);
  dropShownMarks(*m, view, s);
  EXPECT_TRUE(view.isMarked(19, 0));
  EXPECT_TRUE(s.callsOf(Op::Line).empty());
  view.scrollX = 19 * 64;
  draw(*m, view, s);
  dropShownMarks(*m, view, s);
  EXPECT_FALSE(view.isMarked(19, 0));
  EXPECT_EQ(s.callsOf(Op::Line).size(), 4u);
}

// The hover cell is outlined like a mark, once, in the marks' column-by-column order.
TEST(MapView, HoverCellIsOutlinedOnceAmongTheMarks) {
  auto m = Map::create(4, 4, 1, 32, 32);
  RecordingSurface s(400, 300);
  const auto outlinedColumns = [&](const ViewState& view) {
    s.reset();
    draw(*m, view, s);
    std::vector<float> xs;
    const auto lines = s.callsOf(Op::Line);
    for (std::size_t k = 0; k < lines.size(); k += 4) xs.push_back(lines[k].a);
    return xs;
  };
  ViewState view;
  view.markCell(*m, 0, 0);
  view.markCell(*m, 2, 0);
  view.hover = CellPoint{1, 3};
  EXPECT_EQ(outlinedColumns(view), (std::vector<float>{0, 32, 64}));
  view.hover = CellPoint{2, 0};  // a marked cell: one outline
  EXPECT_EQ(outlinedColumns(view), (std::vector<float>{0, 64}));
  view.hover = CellPoint{9, 0};  // off the map
  EXPECT_EQ(outlinedColumns(view), (std::vector<float>{0, 64}));
}

// Drawing reads the map and the view: the same const map drawn twice in the same view gives
// the same calls, near and far, and leaves map and marks as they were.
TEST(MapView, DrawingWritesNothing) {
  auto made = Map::create(30, 20, 2, 16, 16);
  made->fillLayer(0, imageTile());
  auto light = Light::createLight(40, 40, 0, 255, 255, 255);
  made->addLight(light);
  made->addPivot(Pivot::createPivot(60, 60, 0));
  const Map& m = *made;
  const std::uint64_t revision = m.revision;
  for (const float zoom : {1.0f, 0.2f}) {
    ViewState view;
    view.zoom = zoom;
    view.markCell(m, 1, 1);
    view.hover = CellPoint{2, 2};
    view.selectedLight = light.get();
    const ViewState& shown = view;
    RecordingSurface first(400, 300), second(400, 300);
    draw(m, shown, first);
    drawGrid(m, shown, first);
    draw(m, shown, second);
    drawGrid(m, shown, second);
    ASSERT_EQ(first.calls.size(), second.calls.size()) << "zoom " << zoom;
    for (std::size_t k = 0; k < first.calls.size(); ++k) {
      const Call &a = first.calls[k], &b = second.calls[k];
      EXPECT_EQ(std::tie(a.op, a.a, a.b, a.c, a.d, a.n, a.image), std::tie(b.op, b.a, b.b, b.c, b.d, b.n, b.image))
          << "call " << k << " at zoom " << zoom;
    }
    EXPECT_TRUE(view.isMarked(1, 1));
    EXPECT_EQ(m.revision, revision);
    EXPECT_EQ(m.lights.size(), 1u);
  }
}

TEST(MapView, ColumnVisibilityBoundsAreStrict) {
  auto m = Map::create(2, 1, 1, 64, 64);
  ViewState view;
  m->setCell(0, 0, 0, imageTile());
  RecordingSurface s(400, 300);
  view.scrollX = 64;  // column 0 at exactly -64
  draw(*m, view, s);
  EXPECT_TRUE(s.callsOf(Op::Image).empty());
  view.scrollX = -463;  // column 0 at W + 64 - 1
  s.reset();
  draw(*m, view, s);
  ASSERT_EQ(s.callsOf(Op::Image).size(), 1u);
  EXPECT_EQ(s.callsOf(Op::Image)[0].a, 463);
}

std::shared_ptr<tiles::Tile> solidTile(int w, int h, std::array<std::uint8_t, 4> left, std::array<std::uint8_t, 4> right, bool mipmapped) {
  auto t = std::make_shared<tiles::Tile>();
  t->image = std::make_shared<platform::Image>(w, h);
  t->image->mipmapped = mipmapped;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) std::copy_n((x < w / 2 ? left : right).begin(), 4, t->image->at(x, y));
  return t;
}

// At 3.2 pixels a cell the view is one picture of the canvas: each pixel the topmost sample
// of alpha one half or more, taken at the pixel's centre as the canvas samples the tile there.
// Cells start at 160 + 3.2 i across and 120 + 3.2 j down. A changed cell changes the same
// picture; nothing shows through where no layer is opaque, nor off the map.
TEST(MapView, FarViewsDrawOnePictureSampledAtEveryPixel) {
  constexpr std::array<std::uint8_t, 4> red{255, 0, 0, 255}, blue{0, 0, 255, 255}, clear{9, 9, 9, 0};
  auto m = Map::create(100, 70, 2, 16, 16);
  ViewState view;
  m->fillLayer(0, solidTile(16, 16, red, red, true));
  m->setCell(3, 4, 1, solidTile(16, 16, clear, blue, false));  // pixels 170-172, 133-135
  m->setCell(5, 4, 1, solidTile(16, 16, red, blue, true));    // pixels 176-178
  m->setCell(10, 10, 0, nullptr);                              // pixels 192-194, 152-154
  view.zoom = 0.2f;
  RecordingSurface s(400, 300);
  draw(*m, view, s);
  const auto pictures = s.callsOf(Op::Image);
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(std::make_tuple(pictures[0].a, pictures[0].b, pictures[0].c, pictures[0].d), std::make_tuple(0.f, 0.f, 400.f, 300.f));
  const platform::Image& picture = *pictures[0].image;
  ASSERT_EQ(std::make_pair(picture.width, picture.height), std::make_pair(400, 300));
  const auto pixel = [](const platform::Image& image, int x, int y) {
    const std::uint8_t* p = image.at(x, y);
    return std::array<int, 4>{p[0], p[1], p[2], p[3]};
  };
  EXPECT_EQ(pixel(picture, 161, 121), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(pixel(picture, 170, 133), (std::array<int, 4>{255, 0, 0, 255})) << "the hole shows the layer below";
  EXPECT_EQ(pixel(picture, 172, 133), (std::array<int, 4>{0, 0, 255, 255})) << "the nearest pixel, without mipmaps";
  // Mipmapped: the blend of levels a cell of this size takes, red on the left, blue on the right.
  EXPECT_GT(pixel(picture, 176, 133)[0], pixel(picture, 176, 133)[2]);
  EXPECT_LT(pixel(picture, 178, 133)[0], pixel(picture, 178, 133)[2]);
  EXPECT_GT(pixel(picture, 177, 133)[0], 0) << "levels blended";
  EXPECT_GT(pixel(picture, 177, 133)[2], 0) << "levels blended";
  EXPECT_EQ(pixel(picture, 193, 153)[3], 0) << "an empty cell stays transparent";
  EXPECT_EQ(pixel(picture, 159, 119)[3], 0) << "off the map";

  m->setCell(3, 4, 1, nullptr);
  s.reset();
  draw(*m, view, s);
  ASSERT_EQ(s.callsOf(Op::Image).size(), 1u);
  EXPECT_EQ(s.callsOf(Op::Image)[0].n, pictures[0].n) << "the same picture, redrawn";
  EXPECT_EQ(pixel(*s.callsOf(Op::Image)[0].image, 172, 133), (std::array<int, 4>{255, 0, 0, 255}));
}

// Tile sizes as typed or read from a file: negative ones turn the corners backwards.
const std::pair<std::int32_t, std::int32_t> kTileSizes[] = {{24, 20}, {-24, 20}, {24, -20}, {-24, -20}, {0, 20}};

TEST(MapView, TilePassMatchesTheFullWalkForEveryView) {
  for (auto [tw, th] : kTileSizes) {
    auto m = Map::create(40, 30, 2, tw, th);
    ViewState view;
    for (int x = 0; x < 40; ++x)
      for (int y = 0; y < 30; ++y)
        if ((x * 7 + y * 3) % 4 != 0) m->setCell(x, y, (x + y) % 2, imageTile());
    for (const View& v : kViews) {
      // Far views draw pictures instead (below).
      if (tw > 0 && th > 0 && v.zoom > 0 && tw * v.zoom < kPictureCellSpan && th * v.zoom < kPictureCellSpan) continue;
      view.scrollX = v.scrollX, view.scrollY = v.scrollY, view.zoom = v.zoom;
      RecordingSurface s(400, 300);
      draw(*m, view, s);
      std::vector<std::tuple<float, float>> got;
      for (const Call& c : s.callsOf(Op::Image)) got.emplace_back(c.a, c.b);
      EXPECT_EQ(got, walkTiles(*m, view, 400, 300)) << "tiles " << tw << "x" << th << " zoom " << v.zoom << " scroll " << v.scrollX;
    }
  }
}

TEST(MapView, GridIsOneBatchWithTheSameVisibleSegments) {
  for (auto [tw, th] : kTileSizes) {
    auto m = Map::create(60, 50, 1, tw, th);
    ViewState view;
    for (const View& v : kViews) {
      SCOPED_TRACE(::testing::Message() << "tiles " << tw << "x" << th);
      view.scrollX = v.scrollX, view.scrollY = v.scrollY, view.zoom = v.zoom;
      RecordingSurface s(400, 300);
      s.setLineWidth(1);
      s.reset();
      drawGrid(*m, view, s);
      EXPECT_LE(s.callsOf(Op::Lines).size(), 1u);  // none when the map is wholly off the canvas
      EXPECT_TRUE(s.callsOf(Op::Line).empty());
      std::vector<Seg> got, want;
      for (const auto& seg : s.segments) {
        EXPECT_EQ(std::tie(seg.r, seg.g, seg.b, seg.lineWidth), std::make_tuple(0, 255, 255, 4.f));
        Seg t{seg.line.x1, seg.line.y1, seg.line.x2, seg.line.y2};
        if (touchesCanvas(t, 400, 300)) got.push_back(t);
      }
      for (const Seg& t : walkGrid(*m, view, 400, 300))
        if (touchesCanvas(t, 400, 300)) want.push_back(t);
      std::sort(got.begin(), got.end());
      std::sort(want.begin(), want.end());
      EXPECT_EQ(got, want) << "zoom " << v.zoom << " scroll " << v.scrollX;
      EXPECT_EQ(s.red, 255);
      EXPECT_EQ(s.alpha, 1.0f);
      EXPECT_EQ(s.blend, platform::BlendMode::Mask);
      EXPECT_EQ(s.lineWidth, 4);
    }
  }
  // Inner edges are drawn twice: a 2 x 1 map in full view has all eight.
  auto small = Map::create(2, 1, 1, 32, 32);
  ViewState smallView;
  RecordingSurface s(400, 300);
  drawGrid(*small, smallView, s);
  EXPECT_EQ(s.segments.size(), 8u);
}

TEST(MapView, PickCellEqualsTheWalkIncludingGridLines) {
  for (auto [tw, th] : kTileSizes) {
    auto m = Map::create(30, 25, 1, tw, th);
    ViewState view;
    // Every pixel along the rows for the ordinary size; a coarser net for the others.
    const int step = tw == 24 && th == 20 ? 1 : 3;
    for (const View& v : kViews) {
      SCOPED_TRACE(::testing::Message() << "tiles " << tw << "x" << th);
      view.scrollX = v.scrollX, view.scrollY = v.scrollY, view.zoom = v.zoom;
      RecordingSurface s(400, 300);
      for (int py = -10; py <= 310; py += 5)
        for (int px = -10; px <= 410; px += step) {
          view.picked = {-7, -9};
          pickCell(*m, view, s, px, py);
          auto want = walkPick(*m, view, 400, 300, px, py, {-7, -9});
          ASSERT_EQ(std::make_pair(view.picked.x, view.picked.y), want)
              << "point " << px << "," << py << " zoom " << v.zoom << " scroll " << v.scrollX;
        }
    }
  }
}

// A file may hold a map 2^31 - 1 columns wide and 0 rows high with negative tile sizes:
// no cells, so nothing may be walked, sized or drawn along the long side, in any view.
TEST(MapView, MapWithoutCellsButAHugeSideCostsNothing) {
  auto m = Map::create(0x7FFFFFFF, 0, 3, -24, 20);
  ViewState view;
  ASSERT_TRUE(m->cells.empty());
  for (float zoom : {1.0f, 0.0f}) {
    view.zoom = zoom;
    RecordingSurface s(400, 300);
    draw(*m, view, s);
    drawGrid(*m, view, s);
    EXPECT_TRUE(s.callsOf(Op::Image).empty());
    EXPECT_TRUE(s.segments.empty());
    view.picked.x = 5;
    pickCell(*m, view, s, 10, 10);
    EXPECT_EQ(view.picked.x, 5);
  }
  m->fillLayer(0, imageTile());
  EXPECT_FALSE(m->addToFirstFreeCell(imageTile()));
}

TEST(MapView, PickCellEdgesAndEmptyMap) {
  auto m = Map::create(4, 4, 1, 64, 32);
  ViewState view;
  RecordingSurface s(400, 300);
  view.picked = {3, 3};
  pickCell(*m, view, s, 2 * 64, 1 * 32 + 1);  // on the left edge of (2, 1)
  EXPECT_EQ(std::make_pair(view.picked.x, view.picked.y), std::make_pair(3, 3));
  pickCell(*m, view, s, 2 * 64 + 1, 1 * 32 + 1);
  EXPECT_EQ(std::make_pair(view.picked.x, view.picked.y), std::make_pair(2, 1));
  pickCell(*m, view, s, 1000, 10);  // outside the map
  EXPECT_EQ(std::make_pair(view.picked.x, view.picked.y), std::make_pair(2, 1));

  // Zooming keeps the centre's map point: the corner of (3, 4) sits on the centre (200, 150)
  // at zoom 1 and at zoom 2.
  auto z = Map::create(10, 10, 1, 50, 30);
  ViewState zView;
  for (float zoom : {1.0f, 2.0f}) {
    zView.zoom = zoom;
    EXPECT_EQ(corner(4, 50, 0, zoom, 400), 200);
    pickCell(*z, zView, s, 201, 151);
    EXPECT_EQ(std::make_pair(zView.picked.x, zView.picked.y), std::make_pair(4, 5));
    pickCell(*z, zView, s, 199, 149);
    EXPECT_EQ(std::make_pair(zView.picked.x, zView.picked.y), std::make_pair(3, 4));
  }

  auto none = Map::create(0, 0, 0, 0, 0);

  ViewState noneView;
  none->addLight(Light::createLight(200, 150, 0, 255, 255, 255));
  none->addPivot(Pivot::createPivot(200, 150, 0));
  noneView.markCell(*none, 0, 0);
  s.reset();
  draw(*none, noneView, s);
  drawGrid(*none, noneView, s);
  EXPECT_TRUE(s.callsOf(Op::Image).empty());
  EXPECT_EQ(s.callsOf(Op::Oval).size(), 1u);
  EXPECT_EQ(s.callsOf(Op::Rect).size(), 1u);
  EXPECT_TRUE(s.callsOf(Op::Lines).size() == 1u);  // the range circle only
  pickCell(*none, noneView, s, 201, 151);
  EXPECT_EQ(noneView.picked.x, 0);
  EXPECT_NE(pickLight(*none, noneView, s, 200, 150), nullptr);
  EXPECT_NE(pickPivot(*none, noneView, s, 200, 150), nullptr);
}

TEST(MapView, PickLightAndPivotUseTruncatedBoxesAndListOrder) {
  auto m = Map::create(0, 0, 0, 0, 0);
  ViewState view;
  // Canvas 401 wide: the picking centre is trunc(200.5) = 200, so map x 100 lands on 100.
  auto first = Light::createLight(100, 100, 0, 1, 1, 1);
  auto second = Light::createLight(100, 100, 0, 2, 2, 2);
  m->addLight(first);
  m->addLight(second);
  RecordingSurface s(401, 301);
  EXPECT_EQ(pickLight(*m, view, s, 100, 100), first);
  EXPECT_EQ(pickLight(*m, view, s, 107.5f, 100), first);
  EXPECT_EQ(pickLight(*m, view, s, 108, 100), nullptr);
  EXPECT_EQ(pickLight(*m, view, s, 92, 100), nullptr);
  EXPECT_EQ(pickLight(*m, view, s, 100, 92.5f), first);
  EXPECT_EQ(pickPivot(*m, view, s, 100, 100), nullptr);
  auto p = Pivot::createPivot(100, 100, 0);
  m->addPivot(p);
  view.zoom = 2;  // box grows to 32 x 32 about the scaled centre (0, 50)
  EXPECT_EQ(pickPivot(*m, view, s, 15.5f, 50), p);
  EXPECT_EQ(pickPivot(*m, view, s, 16, 50), nullptr);
}

TEST(MapView, ScrollingAndTheCanvasToMapInverse) {
  auto m = Map::create(4, 4, 1, 64, 64);
  ViewState view;
  RecordingSurface s(400, 300);
  view.zoom = 2;
  scroll(view, 10, -6);
  EXPECT_EQ(view.scrollX, 5);
  EXPECT_EQ(view.scrollY, -3);
  scrollClamped(*m, view, s, 1000, 0);
  EXPECT_EQ(view.scrollX, -144);  // the upper limit wins on a map narrower than the canvas
  EXPECT_EQ(view.scrollY, 256 - 300);

  auto wide = Map::create(100, 100, 1, 64, 64);

  ViewState wideView;
  wideView.scrollX = 10;
  scrollClamped(*wide, wideView, s, -1000, 0);
  EXPECT_EQ(wideView.scrollX, 0);
  wideView.scrollY = std::nanf("");
  scrollClamped(*wide, wideView, s, 0, 0);
  EXPECT_EQ(wideView.scrollY, 0);
  scrollClamped(*wide, wideView, s, 1e9f, 1e9f);
  EXPECT_EQ(wideView.scrollX, 6400 - 400);
  EXPECT_EQ(wideView.scrollY, 6400 - 300);

  // Zoom 1, no scroll: the map point is the canvas point.
  auto p = canvasToMap(ViewState{}, s, 37, 251);
  EXPECT_EQ(p.x, 37);
  EXPECT_EQ(p.y, 251);
  // Elsewhere it inverts the draw transform of a whole-pixel centre.
  wideView.scrollX = 30, wideView.scrollY = -12, wideView.zoom = 2;
  p = canvasToMap(wideView, s, 300, 50);
  EXPECT_EQ(p.x, 200 + 100 / 2.0f + 30);
  EXPECT_EQ(p.y, 150 + -100 / 2.0f - 12);
  EXPECT_EQ(200 + ((p.x - 30) - 200) * 2, 300);
}

}  // namespace
}  // namespace vorlane::map

namespace vorlane::map {
namespace {

// A lit picture of a block of cells covers exactly those cells' canvas rectangle: black first,
// then its layers bottom up, after the tiles and before the markers.
TEST(MapView, ACellPictureCoversItsBlockOfCellsAfterTheTiles) {
  auto m = Map::create(20, 10, 2, 16, 16);
  ViewState view;
  m->fillLayer(0, imageTile());
  m->addLight(std::make_shared<Light>());
  view.zoom = 0.25f;
  view.scrollX = 30;
  view.scrollY = -10;
  CellPicture picture{3, 2, 9, 6, 4, {std::make_shared<platform::Image>(24, 16), std::make_shared<platform::Image>(24, 16)}};
  RecordingSurface s(400, 300);
  draw(*m, view, s, nullptr, &picture);
  const float x0 = corner(3, 16, 30, 0.25f, 400), x1 = corner(9, 16, 30, 0.25f, 400);
  const float y0 = corner(2, 16, -10, 0.25f, 300), y1 = corner(6, 16, -10, 0.25f, 300);
  std::vector<Call> after;
  bool seen = false;
  for (const Call& c : s.calls) {
    seen = seen || (c.op == Op::Rect && c.a == x0);
    if (seen) after.push_back(c);
  }
  ASSERT_GE(after.size(), 4u);
  EXPECT_EQ(std::make_tuple(after[0].a, after[0].b, after[0].c, after[0].d), std::make_tuple(x0, y0, x1 - x0, y1 - y0));
  for (std::size_t k = 0; k < 2; ++k) {
    const Call& layer = after[2 + k];
    ASSERT_EQ(layer.op, Op::Image);
    EXPECT_EQ(layer.image, picture.layers[k].get());
    EXPECT_EQ(std::make_tuple(layer.a, layer.b, layer.c, layer.d), std::make_tuple(x0, y0, x1 - x0, y1 - y0));
  }
  EXPECT_EQ(std::count_if(after.begin(), after.end(), [](const Call& c) { return c.op == Op::Oval; }), 1);
}

}  // namespace
}  // namespace vorlane::map
