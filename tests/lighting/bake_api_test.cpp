// The read-only renderer: snapshots that edits after them do not reach, cancellation,
// applying a result, and what the cast-shadows option lets block.
#include <gtest/gtest.h>
#include <sched.h>

#include <functional>
#include <thread>

#include "base/console.h"
#include "lighting/parallel.h"
#include "lighting/reference.h"
#include "lighting/render.h"
#include "lighting/scenes.h"
#include "support/own_parts.h"

namespace vorlane {
namespace {

using lighting::Options;
using lighting::Settings;
using lighting::Snapshot;
using scenes::light;

std::vector<std::vector<std::uint8_t>> pixelsOf(const map::Map& m) {
  std::vector<std::vector<std::uint8_t>> out;
  for (const auto& t : m.cells) out.push_back(t ? t->image->pixels : std::vector<std::uint8_t>{});
  return out;
}

map::MapPtr sceneWithLights() {
  auto m = scenes::makeScene({8, 6, 2, 8, 8, {1.0, 0.4}, {{8, 8}, {4, 4}}, 5});
  m->addLight(light(20, 18, 1, 90));
  m->addLight(light(44, 30, 2, 60, 255, 100, 40));
  return m;
}

TEST(BakeApi, EditsAfterTheSnapshotDoNotReachTheBakeNorDoesItWriteTheMap) {
  auto m = sceneWithLights();
  for (const auto& t : m->cells)
    if (t) test::writable(t)->castShadows = 1;
  auto unchanged = sceneWithLights();
  for (const auto& t : unchanged->cells)
    if (t) test::writable(t)->castShadows = 1;
  base::ConsoleCapture quiet;
  const Settings settings{40, 30, true, 4.0f, Options{{}, 4.0f, true}};
  auto want = lighting::render(Snapshot(*unchanged), settings);
  ASSERT_TRUE(want.ok());

  const Snapshot scene(*m);
  // The bake runs on a worker while this thread edits what it was taken from.
  base::Result<lighting::Lit> got = base::Error{};
  std::thread worker([&] { got = lighting::render(scene, settings); });
  m->setCell(0, 0, 1, nullptr);
  m->setCell(3, 3, 1, m->cell(0, 0, 0));
  test::writable(m->cell(1, 1, 0))->castShadows = 0;
  test::writable(m->lights[0])->x = 5;
  m->lights.pop_back();
  worker.join();

  ASSERT_TRUE(got.ok()) << got.error();
  EXPECT_EQ(pixelsOf(*got->map), pixelsOf(*want->map));
  ASSERT_EQ(got->shadowMaps.size(), 2u);
  EXPECT_EQ(got->shadowMaps[0], want->shadowMaps[0]);
  EXPECT_EQ(got->shadowMaps[1], want->shadowMaps[1]);
}

// By default a bake uses every core the process may run on, whatever the machine's load;
// a cap lowers that, never raises it.
TEST(BakeApi, ThreadsFollowTheAffinityAndTheCap) {
  cpu_set_t set;
  ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
  const std::int32_t cores = CPU_COUNT(&set);
  EXPECT_EQ(lighting::detail::threadCount(0), cores);
  EXPECT_EQ(lighting::detail::threadCount(1), 1);
  EXPECT_EQ(lighting::detail::threadCount(cores + 5), cores);
  // One core allowed: one thread, as the bake's own arena sees it.
  cpu_set_t one;
  CPU_ZERO(&one);
  for (int c = 0; c < CPU_SETSIZE; ++c)
    if (CPU_ISSET(c, &set)) {
      CPU_SET(c, &one);
      break;
    }
  std::int32_t seen = 0;
  std::thread pinned([&] {
    if (sched_setaffinity(0, sizeof one, &one) == 0) seen = lighting::detail::threadCount(0);
  });
  pinned.join();
  EXPECT_EQ(seen, 1);
}

TEST(BakeApi, AStopRequestEndsTheBakeWithCancelled) {
  auto m = sceneWithLights();
  const Snapshot scene(*m);
  // Progress calls: 1 and 2 before each light's shadow map, 3 before the first cell is lit.
  struct Case {
    const char* name;
    int stopAtCall;  // 0: before the start
  } cases[] = {{"before the start", 0}, {"in the shadow pass", 2}, {"while lighting", 3}};
  for (const auto& c : cases) {
    std::stop_source stop;
    if (c.stopAtCall == 0) stop.request_stop();
    int calls = 0;
    auto progress = [&](float) {
      if (++calls == c.stopAtCall) stop.request_stop();
    };
    auto got = lighting::render(scene, Settings{32, 32, false, 4.0f, {}}, progress, stop.get_token());
    ASSERT_FALSE(got.ok()) << c.name;
    EXPECT_EQ(got.error(), lighting::kCancelled) << c.name;
  }
  EXPECT_TRUE(lighting::render(scene, Settings{32, 32, false, 4.0f, {}}).ok());
}

// Two cells of 8 × 8 pixels; layer 0 holds a receiver in both, layer 1 a blocker in cell 1.
// A light inside cell 0 on layer 1: the receiver's pixel (4, 4) of cell 1 at map point
// (12, 4) sees the light across the blocker's left edge.
TEST(BakeApi, CastShadowsFlagsDecideWhatBlocksAndWhatCasts) {
  struct Case {
    bool option;
    std::int32_t tileFlag, lightFlag;
    bool dark;
  } cases[] = {
      {false, 0, 0, true}, {false, 1, 1, true},   // without the option every tile blocks
      {true, 1, 1, true},  {true, 0, 1, false},   // only flagged tiles block
      {true, 1, 0, false},                        // a light without the flag casts none
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.option << c.tileFlag << c.lightFlag);
    auto m = map::Map::create(2, 1, 2, 8, 8);
    const std::array<std::uint8_t, 4> white{255, 255, 255, 255};
    auto receiver = std::make_shared<tiles::Tile>();
    receiver->image = std::make_shared<platform::Image>(8, 8);
    for (std::size_t p = 0; p < receiver->image->pixels.size(); ++p) receiver->image->pixels[p] = white[p % 4];
    receiver->colourGrid = tiles::ChannelGrid::fromImage(*receiver->image);
    receiver->normalGrid = tiles::ChannelGrid::flatNormals(8, 8);
    receiver->castShadows = 1;
    auto blocker = std::make_shared<tiles::Tile>(*receiver);
    blocker->castShadows = c.tileFlag;
    m->setCell(0, 0, 0, receiver);
    m->setCell(1, 0, 0, receiver);
    m->setCell(1, 0, 1, blocker);
    auto l = light(4, 4, 1, 700);
    l->castShadows = c.lightFlag;
    m->addLight(l);
    auto lit = lighting::render(Snapshot(*m), Settings{16, 16, false, 4.0f, Options{{}, 4.0f, c.option}});
    ASSERT_TRUE(lit.ok());
    const std::size_t texel = 12 * 16 + 8;  // map point (12, 4) at 16 × 16 texels over 16 × 8 pixels
    EXPECT_EQ(lit->shadowMaps[0][texel], c.dark ? 0 : 255);
    const std::uint8_t red = lit->map->cell(1, 0, 0)->image->at(4, 4)[0];
    EXPECT_EQ(red == 0, c.dark) << int(red);
  }
}

}  // namespace
}  // namespace vorlane

namespace vorlane {
namespace {

// Relights `previous` for the map as it is now and holds it against a full bake of it.
lighting::Lit expectRelightEqualsRender(const lighting::Lit& previous, const map::Map& now, const Settings& settings,
                                        std::size_t kept) {
  const Snapshot after(now);
  auto got = lighting::relight(previous, after, settings);
  auto want = lighting::render(after, settings);
  EXPECT_TRUE(got.ok() && want.ok());
  if (!got.ok() || !want.ok()) return {};
  EXPECT_EQ(pixelsOf(*got->map), pixelsOf(*want->map));
  EXPECT_EQ(got->shadowMaps, want->shadowMaps);
  EXPECT_EQ(got->shadowMapsKept, kept);
  return std::move(got).value();
}

// Relighting after an edit gives exactly what a full bake of the edited map gives, keeping
// the shadow maps that the edit cannot have changed.
TEST(BakeApi, RelightAfterAnEditEqualsAFullBake) {
  using Edit = std::function<void(map::Map&, Settings&)>;
  struct Case {
    const char* name;
    Edit edit;
    std::size_t kept;
    bool litMapKept;
  };
  const std::vector<Case> cases = {
      {"nothing", [](map::Map&, Settings&) {}, 3, true},
      {"a light moved", [](map::Map& m, Settings&) { test::writable(m.lights[1])->x += 7; }, 2, false},
      {"a light moved within its map pixel", [](map::Map& m, Settings&) { test::writable(m.lights[1])->x += 0.25f; }, 3, false},
      {"a light's colour and range", [](map::Map& m, Settings&) {
         test::writable(m.lights[0])->green = 10;
         test::writable(m.lights[0])->range = 40;
       }, 3, false},
      {"a light deleted", [](map::Map& m, Settings&) { m.lights.erase(m.lights.begin()); }, 2, false},
      {"a light added", [](map::Map& m, Settings&) { m.addLight(light(30, 10, 1, 80)); }, 3, false},
      {"a light to another layer", [](map::Map& m, Settings&) { test::writable(m.lights[2])->layer = 0; }, 2, false},
      {"a cell painted", [](map::Map& m, Settings&) { m.setCell(2, 2, 1, m.cell(0, 0, 0)); }, 0, false},
      {"a tile flag without the option", [](map::Map& m, Settings&) { test::writable(m.cell(0, 0, 0))->castShadows = 1; }, 3, true},
      {"the ambient", [](map::Map&, Settings& s) { s.options.ambient = {5, 5, 5}; }, 3, false},
      {"the resolution", [](map::Map&, Settings& s) { s.width = 48; }, 0, false},
      {"soft shadows", [](map::Map&, Settings& s) { s.soft = true; }, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto m = sceneWithLights();
    m->addLight(light(10, 40, 1, 70, 90, 255, 90));
    Settings settings{40, 30, false, 4.0f, {}};
    auto before = lighting::render(Snapshot(*m), settings);
    ASSERT_TRUE(before.ok());
    c.edit(*m, settings);
    EXPECT_EQ(expectRelightEqualsRender(*before, *m, settings, c.kept).litMapKept, c.litMapKept);
  }
}

TEST(BakeApi, RelightWithTheCastShadowsOptionSeesFlagEdits) {
  auto m = sceneWithLights();
  for (const auto& t : m->cells)
    if (t) test::writable(t)->castShadows = 1;
  test::writable(m->lights[0])->castShadows = 1;
  const Settings settings{40, 30, false, 4.0f, Options{{}, 4.0f, true}};
  auto before = lighting::render(Snapshot(*m), settings);
  ASSERT_TRUE(before.ok());
  struct Case {
    const char* name;
    std::function<void(map::Map&)> edit;
    std::size_t kept;
  } cases[] = {{"a light's flag", [](map::Map& s) { test::writable(s.lights[0])->castShadows = 0; }, 1},
               {"a tile's flag", [](map::Map& s) { test::writable(s.cell(0, 0, 0))->castShadows = 0; }, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.edit(*m);
    expectRelightEqualsRender(*before, *m, settings, c.kept);
  }
}

}  // namespace
}  // namespace vorlane

namespace vorlane {
namespace {

using lighting::CellRegion;

// Holds a bake against a full one: cells where `lit` holds are the full bake's bytes, the
// others are empty, and the bake says which it lit. A bake that lit every cell tested every
// texel the full one did.
void expectLitWhere(const lighting::Lit& got, const lighting::Lit& full,
                    const std::function<bool(std::int32_t, std::int32_t)>& lit) {
  const map::Map &g = *got.map, &f = *full.map;
  bool all = true;
  for (std::int32_t c = 0; c < f.width; ++c)
    for (std::int32_t r = 0; r < f.height; ++r) all = all && lit(c, r);
  if (all) {
    EXPECT_EQ(got.shadowMaps, full.shadowMaps);
  }
  for (std::int32_t c = 0; c < f.width; ++c) {
    for (std::int32_t r = 0; r < f.height; ++r) {
      EXPECT_EQ(got.isLit(c, r), lit(c, r)) << c << "," << r;
      for (std::int32_t d = 0; d < f.depth; ++d) {
        SCOPED_TRACE(testing::Message() << "cell " << c << "," << r << "," << d);
        const auto &gc = g.cell(c, r, d), &fc = f.cell(c, r, d);
        if (!lit(c, r) || !fc) {
          EXPECT_FALSE(gc);
        } else {
          ASSERT_TRUE(gc);
          EXPECT_EQ(gc->image->pixels, fc->image->pixels);
        }
      }
    }
  }
}

// A region lights exactly its cells, with the bytes of a full bake, from a fresh render and
// from a relight, whether the previous bake's cells are still valid or not.
TEST(BakeApi, ARegionLightsItsCellsAsAFullBakeDoes) {
  const std::vector<std::pair<const char*, CellRegion>> regions = {
      {"empty", {2, 2, 2, 5}},         {"one cell", {3, 2, 4, 3}},         {"past the right edge", {6, 0, 9, 6}},
      {"before the corner", {-2, -1, 2, 2}}, {"the whole map", {0, 0, 8, 6}},
  };
  const CellRegion before{0, 0, 3, 3};
  for (const auto& [name, region] : regions) {
    SCOPED_TRACE(name);
    const CellRegion r = region;
    auto m = sceneWithLights();
    Settings settings{40, 30, false, 4.0f, {}};
    const auto full = lighting::render(Snapshot(*m), settings).value();
    Settings regional = settings;
    regional.region = r;
    auto inRegion = [&](std::int32_t c, std::int32_t row) { return r.contains(c, row); };
    expectLitWhere(lighting::render(Snapshot(*m), regional).value(), full, inRegion);

    Settings first = settings;
    first.region = before;
    const auto previous = lighting::render(Snapshot(*m), first).value();
    // Nothing changed: the previous cells stay lit beside the region's.
    const auto same = lighting::relight(previous, Snapshot(*m), regional).value();
    expectLitWhere(same, full, [&](std::int32_t c, std::int32_t row) { return r.contains(c, row) || before.contains(c, row); });
    bool covered = true;  // every cell of the region on the map was lit before
    for (std::int32_t c = 0; c < m->width; ++c)
      for (std::int32_t row = 0; row < m->height; ++row) covered = covered && (!r.contains(c, row) || before.contains(c, row));
    EXPECT_EQ(same.litMapKept, covered);
    // No region: everything lit, as a full bake.
    expectLitWhere(lighting::relight(previous, Snapshot(*m), settings).value(), full,
                   [](std::int32_t, std::int32_t) { return true; });

    // A light moved: the previous cells are stale and only the region is lit.
    test::writable(m->lights[1])->x += 7;
    const auto moved = lighting::render(Snapshot(*m), settings).value();
    const auto relit = lighting::relight(previous, Snapshot(*m), regional).value();
    expectLitWhere(relit, moved, inRegion);
    EXPECT_EQ(relit.shadowMapsKept, 1u);
  }
}

}  // namespace
}  // namespace vorlane

namespace vorlane {
namespace {

using lighting::CellRegion;

// A reduced bake's picture holds, at each sampled point of each cell of its region, the full
// bake's pixel there on the topmost layer whose pixel has alpha of one half or more (what the
// canvas's mask shows), and transparent black where no layer's has.
void expectPictureOfFullBake(const lighting::Lit& got, const lighting::Lit& full, const CellRegion& region,
                             std::int32_t density) {
  ASSERT_TRUE(got.picture);
  const map::CellPicture& p = *got.picture;
  const map::Map& f = *full.map;
  const CellRegion clipped{std::clamp(region.column0, 0, f.width), std::clamp(region.row0, 0, f.height),
                           std::clamp(region.column1, 0, f.width), std::clamp(region.row1, 0, f.height)};
  EXPECT_EQ((CellRegion{p.column0, p.row0, p.column1, p.row1}), clipped);
  EXPECT_EQ(p.density, density);
  const std::int32_t cw = lighting::reducedSide(f.tileWidth, density), ch = lighting::reducedSide(f.tileHeight, density);
  if (clipped.column1 <= clipped.column0 || clipped.row1 <= clipped.row0) return;
  ASSERT_EQ(p.layers.size(), 1u);
  for (std::int32_t c = clipped.column0; c < clipped.column1; ++c) {
    for (std::int32_t r = clipped.row0; r < clipped.row1; ++r) {
      for (std::int32_t a = 0; a < cw; ++a) {
        for (std::int32_t b = 0; b < ch; ++b) {
          const std::uint8_t none[4] = {0, 0, 0, 0};
          const std::uint8_t* want = none;
          for (std::int32_t d = f.depth - 1; d >= 0 && want == none; --d) {
            const auto& cell = f.cell(c, r, d);
            if (!cell) continue;
            const std::uint8_t* px = cell->image->at(lighting::sampledPixel(a, cw, cell->image->width),
                                                     lighting::sampledPixel(b, ch, cell->image->height));
            if (px[3] >= 128) want = px;
          }
          const std::uint8_t* g = p.layers[0]->at((c - clipped.column0) * cw + a, (r - clipped.row0) * ch + b);
          ASSERT_TRUE(std::equal(g, g + 4, want)) << "cell " << c << "," << r << " point " << a << "," << b;
        }
      }
    }
  }
}

// Three layers of 16 × 12 cells with images of the tile's size, smaller, and without normals,
// and lights on each layer above the ground, so points fall in shadow.
map::MapPtr layeredScene() {
  auto m = scenes::makeScene({9, 7, 3, 16, 12, {1.0, 0.4, 0.25}, {{16, 12}, {8, 8, std::pair{6, 5}}, {16, 12, std::pair{-1, -1}, std::nullopt}}, 7});
  m->addLight(light(40, 30, 1, 120));
  m->addLight(light(100, 50, 2, 90, 255, 120, 60));
  m->addLight(light(20, 70, 3, 200, 80, 80, 255));
  return m;
}

TEST(ReducedBake, EveryPointIsTheFullBakesPixelThere) {
  const std::vector<std::pair<const char*, CellRegion>> regions = {
      {"the whole map", {0, 0, 9, 7}}, {"inside", {2, 1, 6, 5}}, {"one cell", {3, 2, 4, 3}},
      {"past the edges", {-2, -1, 3, 9}}, {"empty", {4, 4, 4, 6}},
  };
  for (const bool soft : {false, true}) {
    auto m = layeredScene();
    const Settings settings{50, 40, soft, 4.0f, {}};
    const auto full = lighting::render(Snapshot(*m), settings).value();
    for (const std::int32_t density : {2, 4, 8, 32}) {
      for (const auto& [name, region] : regions) {
        SCOPED_TRACE(testing::Message() << name << ", density " << density << (soft ? ", soft" : ""));
        Settings reduced = settings;
        reduced.region = region;
        reduced.density = density;
        const auto got = lighting::render(Snapshot(*m), reduced).value();
        expectPictureOfFullBake(got, full, region, density);
        for (const auto& cell : got.map->cells) EXPECT_EQ(cell, nullptr);
      }
    }
  }
}

// While a light is dragged or the view moves, each relight shows what a fresh full bake would.
TEST(ReducedBake, RelightsFollowLightsAndViewsAsFreshBakes) {
  for (const bool soft : {false, true}) {
    SCOPED_TRACE(soft ? "soft" : "hard");
    auto m = layeredScene();
    Settings settings{50, 40, soft, 4.0f, {}};
    settings.region = CellRegion{1, 1, 5, 4};
    settings.density = 4;
    auto previous = lighting::render(Snapshot(*m), settings).value();

    test::writable(m->lights[1])->x += 9;  // a drag step: the other maps are kept
    auto moved = lighting::relight(previous, Snapshot(*m), settings).value();
    expectPictureOfFullBake(moved, lighting::render(Snapshot(*m), Settings{50, 40, soft, 4.0f, {}}).value(),
                            *settings.region, 4);
    EXPECT_EQ(moved.shadowMapsKept, 2u);
    const auto same = lighting::relight(moved, Snapshot(*m), settings).value();
    EXPECT_TRUE(same.litMapKept);
    EXPECT_EQ(same.picture, moved.picture);

    // The view moves and zooms: other cells, another density, then full density.
    const auto full = lighting::render(Snapshot(*m), Settings{50, 40, soft, 4.0f, {}}).value();
    settings.region = CellRegion{4, 2, 9, 7};
    auto scrolled = lighting::relight(same, Snapshot(*m), settings).value();
    expectPictureOfFullBake(scrolled, full, *settings.region, 4);
    EXPECT_EQ(scrolled.shadowMapsKept, soft ? 0u : 3u);  // hard maps are completed, not redone
    settings.density = 2;
    auto zoomed = lighting::relight(scrolled, Snapshot(*m), settings).value();
    expectPictureOfFullBake(zoomed, full, *settings.region, 2);
    settings.density = 1;
    const auto near = lighting::relight(zoomed, Snapshot(*m), settings).value();
    EXPECT_FALSE(near.picture);
    expectLitWhere(near, full, [&](std::int32_t c, std::int32_t r) { return settings.region->contains(c, r); });
  }
}

// A snapshot shares the map's blocks of cells; edits after it copy only the block they touch.
TEST(BakeApi, ASnapshotSeesTheCellsAsTheyWereAndSharesAllButTheEditedBlock) {
  auto m = map::Map::create(100, 100, 2, 8, 8);
  auto t = scenes::makeTile({}, 3);
  m->fillLayer(0, t);
  const Snapshot scene(*m, false);
  EXPECT_EQ(scene.map().cells.sharedBlocks(m->cells), m->cells.blockCount());
  m->setCell(50, 50, 1, t);
  m->setCell(50, 50, 0, nullptr);
  EXPECT_EQ(scene.map().cells.sharedBlocks(m->cells), m->cells.blockCount() - 1);
  EXPECT_EQ(scene.map().cell(50, 50, 0), t);
  EXPECT_EQ(scene.map().cell(50, 50, 1), nullptr);
  EXPECT_TRUE(scene.castShadows().empty());
  // Without the flags it cannot bake with the option that reads them.
  EXPECT_FALSE(lighting::render(scene, Settings{16, 16, false, 4.0f, Options{{}, 4.0f, true}}).ok());
  EXPECT_FALSE(scene.map().cells == m->cells);
  m->setCell(50, 50, 0, t);
  m->setCell(50, 50, 1, nullptr);
  EXPECT_TRUE(scene.map().cells == m->cells);
}

}  // namespace
}  // namespace vorlane
