// The fast shadow test against the plain one, on segments aimed at the cases where float
// rounding decides: lengthened-edge end points, cell corners, far and huge lights.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "lighting/occlusion.h"
#include "lighting/reference.h"
#include "lighting/render.h"
#include "lighting/scenes.h"

namespace vorlane {
namespace {

using lighting::segmentsIntersect;

TEST(SegmentsIntersect, StrictCrossingsOnly) {
  struct Case {
    const char* what;
    float a[8];
    bool expected;
  } cases[] = {
      {"plain cross", {0, 0, 10, 10, 0, 10, 10, 0}, true},
      {"touches C at A", {5, 5, 10, 10, 0, 10, 10, 0}, false},
      {"ends on the edge", {0, 0, 5, 5, 0, 10, 10, 0}, false},
      {"passes through end point C", {0, 0, 10, 10, 5, 5, 10, 0}, false},
      {"parallel", {0, 0, 10, 0, 0, 1, 10, 1}, false},
      {"collinear overlap", {0, 0, 10, 0, 5, 0, 15, 0}, false},
      {"near parallel under threshold", {0, 0, 1e-3f, 1, 0, 0.5f, 1e-3f, 1.5f}, false},
      {"misses", {0, 0, 1, 1, 5, 0, 6, -1}, false},
      {"NaN", {std::nanf(""), 0, 10, 10, 0, 10, 10, 0}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(segmentsIntersect(c.a[0], c.a[1], c.a[2], c.a[3], c.a[4], c.a[5], c.a[6], c.a[7]), c.expected) << c.what;
    EXPECT_EQ(reference::segmentsIntersect(c.a[0], c.a[1], c.a[2], c.a[3], c.a[4], c.a[5], c.a[6], c.a[7]), c.expected)
        << c.what;
  }
}

struct Grid {
  const char* name;
  scenes::SceneShape shape;
};

// Points where the float test is on a knife edge for a cell of the map.
std::vector<std::pair<std::int64_t, std::int64_t>> keyPoints(const map::Map& m) {
  std::vector<std::pair<std::int64_t, std::int64_t>> pts;
  // Corners, lengthened-edge ends and a point just inside, for every grid crossing.
  const std::int64_t tw = m.tileWidth, th = m.tileHeight;
  for (std::int64_t i = 0; i <= m.width; ++i)
    for (std::int64_t j = 0; j <= m.height; ++j) {
      std::int64_t X = i * tw, Y = j * th;
      pts.insert(pts.end(), {{X, Y}, {X - 2, Y}, {X + tw + 4, Y}, {X, Y - 2}, {X, Y + th + 4}, {X + 1, Y + 1}});
    }
  return pts;
}

void compareAimed(const map::Map& m, std::int32_t layer, std::uint32_t seed, int count) {
  SCOPED_TRACE(::testing::Message() << "seed " << seed);
  const lighting::OccluderGrid grid(m, layer);
  const auto pts = keyPoints(m);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::size_t> pick(0, pts.size() - 1);
  const std::int64_t mw = std::int64_t{m.width} * m.tileWidth, mh = std::int64_t{m.height} * m.tileHeight;
  std::uniform_int_distribution<std::int64_t> inX(-8, mw + 8), inY(-8, mh + 8);
  const std::int64_t far[] = {1, 2, 3, 7, 100, 12345, 1000003, 40000000, 600000000};
  std::uniform_int_distribution<int> which(0, 5);
  // Exact while within 2^53, and clipped into the int32 range the renderer passes.
  auto clip = [](double v) {
    return static_cast<std::int32_t>(std::clamp<double>(v, std::numeric_limits<std::int32_t>::min(),
                                                        std::numeric_limits<std::int32_t>::max()));
  };
  lighting::OcclusionHint hint;
  int mismatches = 0;
  for (int n = 0; n < count; ++n) {
    auto [sx, sy] = rng() % 2 ? pts[pick(rng)] : std::pair{inX(rng), inY(rng)};
    double lx, ly;
    auto [ex, ey] = pts[pick(rng)];
    switch (which(rng)) {
      case 0:  // the light beyond a key point, on the line through it: the segment meets it exactly
      case 1: {
        std::int64_t k = far[rng() % std::size(far)];
        lx = static_cast<double>(ex) + static_cast<double>(k) * static_cast<double>(ex - sx);
        ly = static_cast<double>(ey) + static_cast<double>(k) * static_cast<double>(ey - sy);
        break;
      }
      case 2:  // on a key point
        lx = static_cast<double>(ex);
        ly = static_cast<double>(ey);
        break;
      case 3:  // anywhere near the map
        lx = static_cast<double>(inX(rng));
        ly = static_cast<double>(inY(rng));
        break;
      case 4:  // far away in any direction
        lx = static_cast<double>(rng() % 2000000001) - 1000000000;
        ly = static_cast<double>(rng() % 2001) - 1000;
        if (rng() % 2) std::swap(lx, ly);
        break;
      default:  // what a NaN or huge light position becomes
        lx = std::numeric_limits<std::int32_t>::min();
        ly = rng() % 2 ? std::numeric_limits<std::int32_t>::min() : static_cast<double>(inY(rng));
        break;
    }
    if (rng() % 8 == 0) hint = {};
    const std::int32_t x = clip(static_cast<double>(sx)), y = clip(static_cast<double>(sy)), bx = clip(lx),
                       by = clip(ly);
    const bool expected = reference::isOccluded(m, x, y, bx, by, layer);
    const bool got = grid.occluded(x, y, bx, by, hint);
    if (got != expected && ++mismatches <= 5)
      ADD_FAILURE() << "segment (" << x << "," << y << ") to (" << bx << "," << by << "): expected " << expected;
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(Occlusion, MatchesThePlainTestOnAimedSegments) {
  const Grid grids[] = {
      {"cells 8x6", {10, 9, 2, 8, 6, {1.0, 0.4}, {{4, 4}}, 3}},
      {"tile size 1", {30, 25, 2, 1, 1, {1.0, 0.35}, {{2, 2}}, 5}},
      {"tile size 4", {20, 16, 2, 4, 4, {1.0, 0.3}, {{3, 3}}, 7}},
      {"wide cells", {6, 12, 2, 33, 5, {1.0, 0.5}, {{4, 4}}, 9}},
  };
  for (const auto& g : grids) {
    SCOPED_TRACE(g.name);
    auto m = scenes::makeScene(g.shape);
    compareAimed(*m, 1, 42, 60000);
  }
  // Long segments on a map this large leave the range where the float test is exact.
  auto large = scenes::makeScene({90, 90, 2, 45, 45, {1.0, 0.15}, {{2, 2}}, 11});
  compareAimed(*large, 1, 43, 4000);
}

TEST(Occlusion, FallsBackToThePlainWalkOnHugeOrEmptyCells) {
  const Grid grids[] = {
      {"cells beyond exact floats", {4, 3, 1, 1 << 23, 3 << 21, {0.5}, {{2, 2}}, 2}},
      {"zero-size cells", {5, 5, 1, 0, 0, {0.5}, {{2, 2}}, 4}},
      {"negative cell size", {5, 5, 1, -8, 6, {0.5}, {{2, 2}}, 6}},
  };
  for (const auto& g : grids) {
    SCOPED_TRACE(g.name);
    auto m = scenes::makeScene(g.shape);
    compareAimed(*m, 0, 17, 5000);
  }
}

TEST(Occlusion, LayersOutsideTheMapBlockNothing) {
  auto m = scenes::makeScene({4, 4, 2, 8, 8, {1.0, 1.0}, {{2, 2}}, 1});
  for (std::int32_t layer : {-1, 2, 1000}) {
    EXPECT_FALSE(lighting::isOccluded(*m, 1, 1, 100, 100, layer)) << layer;
    EXPECT_TRUE(lighting::isOccluded(*m, 1, 1, 100, 100, 1));
  }
}

TEST(Occlusion, SampleInsideAnOccupiedCellIsDarkWhenTheLightIsOutside) {
  auto m = map::Map::create(3, 3, 1, 10, 10);
  m->setCell(1, 1, 0, scenes::makeTile({2, 2}, 1));
  EXPECT_TRUE(lighting::isOccluded(*m, 15, 15, 45, 15, 0));
  EXPECT_FALSE(lighting::isOccluded(*m, 12, 15, 18, 15, 0));  // light in the same cell
  EXPECT_FALSE(lighting::isOccluded(*m, 2, 2, 2, 28, 0));      // runs along the left column
}

}  // namespace
}  // namespace vorlane
