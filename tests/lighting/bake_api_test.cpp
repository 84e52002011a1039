// The read-only renderer: snapshots that edits after them do not reach, cancellation,
// applying a result, and what the cast-shadows option lets block.
#include <gtest/gtest.h>

#include <thread>

#include "base/console.h"
#include "lighting/reference.h"
#include "lighting/render.h"
#include "lighting/scenes.h"

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
    if (t) t->castShadows = 1;
  auto unchanged = sceneWithLights();
  for (const auto& t : unchanged->cells)
    if (t) t->castShadows = 1;
  base::ConsoleCapture quiet;
  const Settings settings{40, 30, true, 4.0f, Options{{}, 4.0f, true}};
  auto want = lighting::renderLightmap(*unchanged, 40, 30, 1, 4.0f, {}, settings.options);
  ASSERT_TRUE(want.ok());

  const Snapshot scene(*m);
  // The bake runs on a worker while this thread edits what it was taken from.
  base::Result<lighting::Lit> got = base::Error{};
  std::thread worker([&] { got = lighting::render(scene, settings); });
  m->setCell(0, 0, 1, nullptr);
  m->setCell(3, 3, 1, m->cell(0, 0, 0));
  m->cell(1, 1, 0)->castShadows = 0;
  m->lights[0]->x = 5;
  m->lights.pop_back();
  worker.join();

  ASSERT_TRUE(got.ok()) << got.error();
  EXPECT_EQ(pixelsOf(*got->map), pixelsOf(**want));
  ASSERT_EQ(got->shadowMaps.size(), 2u);
  EXPECT_EQ(got->shadowMaps[0], unchanged->lights[0]->shadowMap);
  EXPECT_EQ(got->shadowMaps[1], unchanged->lights[1]->shadowMap);
  EXPECT_EQ(m->lightmapWidth, 0);
  EXPECT_TRUE(m->lights[0]->shadowMap.empty());

  // Applying gives the map what a render leaves there.
  auto target = sceneWithLights();
  lighting::apply(*got, *target);
  EXPECT_EQ(std::tie(target->lightmapWidth, target->lightmapHeight), std::make_tuple(40, 30));
  EXPECT_EQ(target->lights[1]->shadowMap, got->shadowMaps[1]);
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
