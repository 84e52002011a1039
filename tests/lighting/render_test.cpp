// The renderer against the plain reference, byte for byte, and the behaviour around it:
// console lines, progress, limits, lit tiles and the defined edge cases.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "base/console.h"
#include "lighting/passes.h"
#include "lighting/reference.h"
#include "lighting/render.h"
#include "lighting/scenes.h"

namespace vorlane {
namespace {

using scenes::light;

struct Render {
  std::int32_t width, height, soft;
  float radius;
};

void expectSameLitMaps(const map::Map& want, const map::Map& got) {
  ASSERT_EQ(want.cells.size(), got.cells.size());
  EXPECT_EQ(got.width, want.width);
  EXPECT_EQ(got.depth, want.depth);
  EXPECT_EQ(got.tileWidth, want.tileWidth);
  EXPECT_TRUE(got.lights.empty());
  int bad = 0;
  for (std::size_t k = 0; k < want.cells.size() && bad < 3; ++k) {
    const auto &a = want.cells[k], &b = got.cells[k];
    ASSERT_EQ(!a, !b) << "cell " << k;
    if (!a) continue;
    if (a->image->pixels != b->image->pixels || a->image->width != b->image->width) {
      ++bad;
      ADD_FAILURE() << "lit image of cell " << k << " differs";
      continue;
    }
    EXPECT_EQ(b->colourGrid->values, b->image->pixels.size() ? tiles::ChannelGrid::fromImage(*b->image)->values
                                                             : std::vector<std::uint8_t>{});
    EXPECT_EQ(b->normalGrid->values, a->normalGrid->values);
    EXPECT_EQ(b->normalGrid->width, b->image->width);
    EXPECT_EQ(b->path, "");
    EXPECT_EQ(b->castShadows + b->collider, 0);
  }
}

base::Result<lighting::Lit> bake(const map::Map& m, std::int32_t width, std::int32_t height, std::int32_t soft,
                                 float radius, const lighting::Progress& progress = {},
                                 const lighting::Options& options = {}) {
  return lighting::render(lighting::Snapshot(m), {width, height, soft != 0, radius, options}, progress);
}

// Renders with the reference, then with the renderer, and compares the lit maps and every
// shadow-map entry that the lighting reads.
void expectSameRender(const map::Map& m, const Render& r) {
  SCOPED_TRACE(::testing::Message() << r.width << "x" << r.height << " soft " << r.soft << " radius " << r.radius);
  std::vector<std::vector<std::uint8_t>> reads;
  const auto want = reference::renderLightmap(m, r.width, r.height, r.soft, r.radius, &reads);

  base::ConsoleCapture quiet;
  auto got = bake(m, r.width, r.height, r.soft, r.radius);
  ASSERT_TRUE(got.ok()) << got.error();
  EXPECT_EQ(got->width, r.width);
  EXPECT_EQ(got->height, r.height);
  ASSERT_EQ(got->shadowMaps.size(), m.lights.size());
  for (std::size_t k = 0; k < m.lights.size(); ++k) {
    const auto& s = got->shadowMaps[k];
    ASSERT_EQ(s.size(), want.shadows.maps[k].size());
    std::size_t differing = 0;
    for (std::size_t t = 0; t < s.size(); ++t) differing += reads[k][t] && s[t] != want.shadows.maps[k][t];
    EXPECT_EQ(differing, 0u) << "light " << k;
  }
  expectSameLitMaps(*want.lit, *got->map);
}

struct SceneCase {
  const char* name;
  scenes::SceneShape shape;
  std::vector<map::LightPtr> lights;
  std::vector<Render> renders;
};

std::vector<SceneCase> sceneCases() {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  using scenes::TileShape;
  return {
      {"lights on corners, edges and outside",
       {8, 6, 2, 16, 16, {1.0, 0.35}, {{16, 16}, {16, 16}}, 1},
       {light(64, 48, 1, 700), light(64, 40, 1, 400, 255, 128, 0), light(70, 32, 1, 300, 0, 255, 90),
        light(-40, -30, 1, 900), light(500, 20, 1, 250, 90, 90, 255), light(17.5f, 80.25f, 1, 120)},
       {{64, 48, 0, 4}, {64, 48, 1, 4}, {40, 100, 1, 4}}},
      {"ranges 0 and tiny, layers out of range",
       {8, 6, 3, 16, 16, {1.0, 0.3, 0.3}, {{16, 16}}, 2},
       {light(40, 40, 1, 0), light(90, 30, 2, 1e-3f, 40, 200, 255), light(20, 70, 3, 600), light(100, 60, -1, 500),
        light(60, 20, 7, 800, 255, 10, 10), light(33, 33, 2, 200)},
       {{48, 48, 0, 4}, {32, 48, 1, 4}}},
      {"tile size 1",
       {40, 30, 2, 1, 1, {1.0, 0.3}, {{1, 1}, {2, 3}}, 3},
       {light(10, 10, 1, 60), light(0, 0, 1, 50), light(40, 30, 1, 80), light(-5, 50, 1, 70), light(21, 7, 2, 40)},
       {{16, 16, 0, 4}, {64, 48, 1, 4}, {80, 60, 0, 4}}},
      {"tile size 4",
       {24, 20, 2, 4, 4, {1.0, 0.3}, {{4, 4}, {8, 8}}, 4},
       {light(48, 40, 1, 100), light(8, 12, 1, 60), light(96, 80, 1, 150), light(50.5f, 3.25f, 1, 90)},
       {{96, 80, 0, 4}, {17, 33, 1, 4}}},
      {"images and grids of other sizes",
       {7, 5, 3, 12, 7, {0.8, 0.4, 0.4},
        {{5, 9}, {20, 3, std::pair{3, 2}, std::pair{10, 1}}, {12, 7, std::nullopt, std::nullopt}, {6, 6, {}, std::nullopt}},
        5},
       {light(42, 17, 1, 300), light(84, 35, 2, 200, 255, 0, 255), light(10, 30, 3, 150), light(60, 5, 5, 400)},
       {{42, 35, 0, 4}, {50, 20, 1, 4}}},
      {"far, huge and NaN lights",
       {8, 8, 2, 16, 16, {1.0, 0.4}, {{16, 16}}, 6},
       {light(1e6f, 3e5f, 1, 2e6f), light(-2e9f, 5, 1, 3e9f), light(nan, nan, 1, 700), light(3e38f, 1, 1, 700),
        light(64, -1e7f, 1, 2e7f), light(128, 128, 1, 300)},
       {{64, 64, 0, 4}, {64, 64, 1, 4}}},
      {"other blur radii",
       {6, 6, 2, 10, 10, {0.5, 0.4}, {{10, 10}}, 7},
       {light(30, 30, 1, 300), light(0, 60, 1, 200)},
       {{40, 40, 1, 1.5f}, {40, 40, 1, 0.5f}, {40, 40, 1, 0}, {40, 40, 1, -2}, {40, 40, 1, 30}, {40, 40, 1, nan}}},
  };
}

TEST(Render, MatchesTheReferenceByteForByte) {
  for (auto& c : sceneCases()) {
    SCOPED_TRACE(c.name);
    auto m = scenes::makeScene(c.shape);
    for (auto& l : c.lights) m->addLight(l);
    for (const auto& r : c.renders) expectSameRender(*m, r);
  }
}

TEST(Render, SoftShadowsDivideByTheSquaredRadius) {
  const std::int32_t W = 20, H = 20;
  auto grid = [&](std::int32_t columns, std::int32_t rows) {
    std::vector<std::uint8_t> hard(W * H, 0);
    for (std::int32_t x = 10; x < 10 + columns; ++x)
      for (std::int32_t y = 0; y < rows; ++y) hard[static_cast<std::size_t>(x) * H + y] = 255;
    return hard;
  };
  struct Case {
    std::int32_t columns, rows, x, y;
    std::uint8_t expected;
  } cases[] = {
      {2, 8, 10, 4, 255},  // 16 lit samples of 81
      {1, 16, 10, 12, 127},  // 8 lit
      {1, 16, 10, 8, 143},   // 9 lit
      {1, 16, 2, 8, 0},      // none within the box
      {1, 2, 10, 0, 31},     // at the border: 2 lit of the 25 samples inside the grid
  };
  for (const auto& c : cases) {
    auto hard = grid(c.columns, c.rows);
    auto soft = lighting::detail::soften(hard, W, H, 4.0f);
    EXPECT_EQ(soft[static_cast<std::size_t>(c.x) * H + c.y], c.expected) << c.columns << " " << c.rows;
    EXPECT_EQ(soft, reference::soften(hard, W, H, 4.0f));
  }
  std::vector<std::uint8_t> lit(W * H, 255);
  EXPECT_EQ(lighting::detail::soften(lit, W, H, 4.0f), lit);
}

TEST(Render, ConsoleLinesOfTheCommandAndTheRenderer) {
  auto m = map::Map::create(20, 15, 1, 32, 32);
  base::ConsoleCapture console;
  ASSERT_TRUE(lighting::renderCommand(*m, "256", "256", false).ok());
  EXPECT_EQ(console.lines(), (std::vector<std::string>{"Rendering shadow map at a resolution of 256x256",
                                                        "WF:2.50000000 HF:1.87500000"}));
  console.clear();
  ASSERT_TRUE(lighting::renderCommand(*m, "5", "300", true).ok());
  ASSERT_FALSE(console.lines().empty());
  EXPECT_EQ(console.lines()[0], "Rendering shadow map at a resolution of 16x300");
  console.clear();
  ASSERT_TRUE(lighting::renderCommand(*m, "", "-7", false).ok());
  EXPECT_EQ(console.lines()[0], "Rendering shadow map at a resolution of 16x16");
}

TEST(Render, RefusesResolutionsBeyondTheLimits) {
  auto m = scenes::makeScene({4, 4, 1, 8, 8, {1.0}, {{8, 8}}, 1});
  for (int k = 0; k < 40; ++k) m->addLight(light(10, 10, 0, 100));
  struct Case {
    std::int32_t w, h;
    const char* fragment;
  } cases[] = {{8193, 16, "beyond the limit of 8192x8192"},
               {16, 100000, "beyond the limit"},
               {8192, 8192, "more than the limit of 2048 MiB"}};
  for (const auto& c : cases) {
    base::ConsoleCapture console;
    auto r = lighting::renderCommand(*m, c.w, c.h, false);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error().find(c.fragment), std::string::npos) << r.error();
    EXPECT_TRUE(console.lines().empty());
  }
  EXPECT_FALSE(bake(*m, 0, 16, 0, 4).ok());
}

TEST(Render, ProgressRunsFromZeroThroughLightsAndColumnsBackToZero) {
  auto m = scenes::makeScene({8, 4, 2, 8, 8, {1.0, 0.3}, {{8, 8}}, 2});
  m->addLight(light(10, 10, 1, 100));
  m->addLight(light(50, 20, 1, 100));
  std::vector<float> seen;
  base::ConsoleCapture quiet;
  ASSERT_TRUE(bake(*m, 16, 16, 0, 4, [&](float f) { seen.push_back(f); }).ok());
  ASSERT_GE(seen.size(), 4u);
  EXPECT_EQ(seen[0], 0.0f);
  EXPECT_EQ(seen[1], 0.5f);
  EXPECT_EQ(seen[2], 0.0f);  // first column of the lighting pass
  EXPECT_EQ(seen.back(), 0.0f);
  for (std::size_t k = 3; k + 1 < seen.size(); ++k) {
    EXPECT_GT(seen[k], seen[k - 1]);
    EXPECT_LT(seen[k], 1.0f);
  }
}

TEST(Render, LitTilesAreOwnedCompleteAndRenderAgain) {
  auto m = scenes::makeScene({3, 3, 1, 8, 8, {1.0}, {{4, 4}}, 3});
  ASSERT_EQ(m->cell(0, 0, 0), m->cell(1, 1, 0));  // one shared source tile
  m->addLight(light(12, 12, 0, 200));
  base::ConsoleCapture quiet;
  auto lit = lighting::renderCommand(*m, 16, 16, false);
  ASSERT_TRUE(lit.ok());
  const auto& a = (*lit)->cell(0, 0, 0);
  const auto& b = (*lit)->cell(1, 1, 0);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a, b);
  EXPECT_NE(a, m->cell(0, 0, 0));
  EXPECT_EQ(a->colourGrid->values, tiles::ChannelGrid::fromImage(*a->image)->values);
  EXPECT_EQ(a->normalGrid->values, tiles::ChannelGrid::flatNormals(4, 4)->values);
  // The lit map renders again (no lights: every pixel black, alpha kept).
  auto again = lighting::renderCommand(**lit, 16, 16, true);
  ASSERT_TRUE(again.ok());
  const auto& img = *(*again)->cell(2, 2, 0)->image;
  const auto& src = *(*lit)->cell(2, 2, 0)->image;
  for (std::size_t p = 0; p < img.pixels.size(); p += 4) {
    EXPECT_EQ(img.pixels[p] + img.pixels[p + 1] + img.pixels[p + 2], 0);
    EXPECT_EQ(img.pixels[p + 3], src.pixels[p + 3]);
  }
}

// One pixel (colour, colour, colour, 200) lit by lights at chosen places; its normal is flat,
// or faces right (0, 128, 0) when normalZ is not 255.
std::array<std::uint8_t, 4> litPixel(std::uint8_t colour, std::vector<map::LightPtr> lights, std::uint8_t normalZ = 255,
                                     const lighting::Options& options = {}) {
  auto m = map::Map::create(1, 1, 2, 1, 1);
  auto tile = std::make_shared<tiles::Tile>();
  platform::Image image(1, 1);
  image.pixels = {colour, colour, colour, 200};
  tile->image = std::make_shared<platform::Image>(image);
  tile->colourGrid = tiles::ChannelGrid::fromImage(image);
  const std::uint8_t normal[4] = {normalZ, 128, 0, 255};
  tile->normalGrid = normalZ == 255 ? tiles::ChannelGrid::flatNormals(1, 1) : tiles::ChannelGrid::filled(1, 1, normal);
  m->setCell(0, 0, 0, tile);
  for (auto& l : lights) m->addLight(l);
  base::ConsoleCapture quiet;
  auto lit = bake(*m, 16, 16, 0, 4, {}, options);
  const auto& p = lit.value().map->cell(0, 0, 0)->image->pixels;
  return {p[0], p[1], p[2], p[3]};
}

std::uint8_t litRed(std::uint8_t colour, std::vector<map::LightPtr> lights, std::uint8_t normalZ = 255) {
  const auto pixel = litPixel(colour, std::move(lights), normalZ);
  EXPECT_EQ(pixel[3], 200);
  return pixel[0];
}

TEST(Render, DefinedLightingCases) {
  EXPECT_EQ(litRed(50, {}), 0);                                       // no lights: black
  const std::uint8_t above = litRed(50, {light(0, 0, 0, 700)});       // flat, straight above: ×3.74
  EXPECT_TRUE(above == 186 || above == 187) << int(above);
  EXPECT_EQ(litRed(100, {light(0, 0, 0, 700)}), 255);                // clamped
  EXPECT_EQ(litRed(50, {light(0, 0, 0, 700), light(0, 0, 0, 0)}), 0);  // range 0 turns the pixel black
  // Beyond its range a light darkens what the others give, alone it leaves black.
  EXPECT_EQ(litRed(50, {light(0, 300, 0, 100)}), 0);
  EXPECT_LT(litRed(50, {light(0, 0, 0, 700), light(0, 300, 0, 100)}), above);
  // A normal facing right gets nothing from a light on the left, even one beyond its range.
  EXPECT_EQ(litRed(50, {light(-500, 0, 0, 100)}, 128), 0);
  EXPECT_EQ(litRed(50, {light(0, 0, 0, 700), light(-500, 0, 0, 100)}, 128),
            litRed(50, {light(0, 0, 0, 700)}, 128));
}

TEST(Render, AmbientAndIntensityOptions) {
  using lighting::Options;
  using P = std::array<std::uint8_t, 4>;
  // A white light straight above a flat pixel gives f × att = 1 × (1 − 45 / 700) ≈ 0.9357 of
  // 255 in each sum, so a channel is Int(colour × 0.9357 × intensity) + ambient, clamped.
  const auto above = [] { return std::vector<map::LightPtr>{light(0, 0, 0, 700)}; };
  struct Case {
    const char* name;
    std::uint8_t colour;
    std::vector<map::LightPtr> lights;
    Options options;
    P expected;
  } cases[] = {
      {"ambient alone lights a pixel no light reaches", 50, {}, {{10, 20, 250}, 4.0f, false}, {10, 20, 250, 200}},
      {"ambient adds to the lit value", 50, above(), {{10, 0, 5}, 4.0f, false}, {197, 187, 192, 200}},
      {"ambient added before the clamp", 100, above(), {{30, 30, 30}, 4.0f, false}, {255, 255, 255, 200}},
      {"a range-0 light still blacks out", 50, {light(0, 0, 0, 0)}, {{40, 40, 40}, 4.0f, false}, {0, 0, 0, 200}},
      {"intensity 2", 50, above(), {{0, 0, 0}, 2.0f, false}, {93, 93, 93, 200}},
      {"intensity 1", 200, above(), {{0, 0, 0}, 1.0f, false}, {187, 187, 187, 200}},
      {"intensity 0 with ambient", 200, above(), {{7, 8, 9}, 0.0f, false}, {7, 8, 9, 200}},
      {"defaults are the defined lighting", 50, above(), {}, {187, 187, 187, 200}},
  };
  for (const auto& c : cases) EXPECT_EQ(litPixel(c.colour, c.lights, 255, c.options), c.expected) << c.name;
}

TEST(Render, LightsOnLayerZeroCastNoVisibleShadow) {
  auto m = scenes::makeScene({6, 6, 1, 8, 8, {1.0}, {{8, 8}}, 4});
  m->addLight(light(24, 24, 0, 300));
  base::ConsoleCapture quiet;
  auto lit = bake(*m, 24, 24, 0, 4);
  ASSERT_TRUE(lit.ok());
  // The walls do darken texels of the light's shadow map: applied, they would show.
  const auto shadows = reference::hardShadowMap(*m, *m->lights[0], 24, 24);
  ASSERT_NE(std::find(shadows.begin(), shadows.end(), 0), shadows.end());
  // What the tiles give with no shadow at all.
  const reference::ShadowMaps open{24, 24, {m->lights.size(), std::vector<std::uint8_t>(24 * 24, 255)}};
  auto unshadowed = map::Map::create(m->width, m->height, m->depth, m->tileWidth, m->tileHeight);
  for (std::int32_t c = 0; c < m->width; ++c)
    for (std::int32_t r = 0; r < m->height; ++r)
      if (const auto& source = m->cell(c, r, 0)) {
        auto target = std::make_shared<tiles::Tile>();
        reference::lightTile(*m, open, *source, *target, c, r, 0);
        unshadowed->setCell(c, r, 0, target);
      }
  expectSameLitMaps(*unshadowed, *lit->map);
}

TEST(Render, ALitCellMatchesTheReferenceLitWithTheBakesShadowMaps) {
  auto m = scenes::makeScene({4, 4, 2, 8, 8, {1.0, 0.5}, {{6, 10}}, 8});
  m->addLight(light(12, 20, 1, 200));
  m->addLight(light(30, 2, 2, 100));
  base::ConsoleCapture quiet;
  auto lit = bake(*m, 20, 24, 1, 4);
  ASSERT_TRUE(lit.ok());
  tiles::Tile ref;
  const tiles::Tile& fast = *lit->map->cell(1, 2, 0);
  reference::lightTile(*m, {20, 24, lit->shadowMaps}, *m->cell(1, 2, 0), ref, 1, 2, 0);
  EXPECT_EQ(fast.image->pixels, ref.image->pixels);
  EXPECT_EQ(fast.normalGrid->values, ref.normalGrid->values);
}

// A project may hold images of no pixels whose other side is huge (a tile record of
// 0 × 2^31-1 reads in a few bytes): nothing may be sized or looped by that side alone.
TEST(Render, ImagesWithoutPixelsLightToImagesOfTheSameSize) {
  constexpr std::int32_t kHuge = std::numeric_limits<std::int32_t>::max();
  auto m = map::Map::create(2, 1, 1, 8, 8);
  const std::pair<std::int32_t, std::int32_t> sizes[] = {{0, kHuge}, {kHuge, 0}};
  for (std::int32_t c = 0; c < 2; ++c) {
    auto tile = std::make_shared<tiles::Tile>();
    tile->image = std::make_shared<platform::Image>();
    tile->image->width = sizes[c].first;
    tile->image->height = sizes[c].second;
    m->setCell(c, 0, 0, tile);
  }
  m->addLight(light(4, 4, 1, 100));
  base::ConsoleCapture quiet;
  for (std::int32_t soft : {0, 1}) {
    auto lit = bake(*m, 16, 16, soft, 4);
    ASSERT_TRUE(lit.ok());
    for (std::int32_t c = 0; c < 2; ++c) {
      const auto& tile = *lit->map->cell(c, 0, 0);
      EXPECT_EQ(tile.image->width, sizes[c].first);
      EXPECT_EQ(tile.image->height, sizes[c].second);
      EXPECT_TRUE(tile.image->pixels.empty());
      EXPECT_TRUE(tile.colourGrid->values.empty());
      EXPECT_TRUE(tile.normalGrid->values.empty());
    }
  }
}

// No cells, but 2^31 - 1 columns (or rows) in a file: the bake walks nothing along them.
TEST(Render, MapsWithoutCellsButAHugeSideBakeAtOnce) {
  constexpr std::int32_t kHuge = std::numeric_limits<std::int32_t>::max();
  for (auto [w, h] : {std::pair{kHuge, 0}, std::pair{0, kHuge}}) {
    auto m = map::Map::create(w, h, 4, 8, 8);
    m->addLight(light(4, 4, 3, 100));
    base::ConsoleCapture quiet;
    auto lit = bake(*m, 16, 16, 1, 4);
    ASSERT_TRUE(lit.ok());
    EXPECT_EQ(lit->map->width, w);
    EXPECT_EQ(lit->map->height, h);
    EXPECT_TRUE(lit->map->cells.empty());
  }
}

}  // namespace
}  // namespace vorlane
