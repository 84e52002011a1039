// Bakes that do not hold their lit map: the bands the renderer hands out make, through the
// streaming writer, the very bytes the whole lit map saves to; and the memory estimate that
// decides whether a bake may start.
#include <gtest/gtest.h>

#include "base/console.h"
#include "io/project.h"
#include "lighting/passes.h"
#include "lighting/render.h"
#include "lighting/scenes.h"

namespace vorlane {
namespace {

using lighting::Settings;
using lighting::Snapshot;

std::vector<std::uint8_t> saved(const map::Map& m) {
  base::ByteWriter out;
  io::saveMap(m, out);
  return out.data();
}

TEST(StreamedBake, BandsWrittenAsTheyComeAreTheBytesOfTheWholeLitMap) {
  // Bands of about three cells; tiles of three sizes and gaps between.
  auto m = scenes::makeScene({7, 5, 2, 16, 16, {0.9, 0.3}, {{16, 16}, {8, 8}, {4, 2}}, 3});
  m->addLight(scenes::light(30, 40, 1, 90));
  m->addLight(scenes::light(90, 50, 2, 70, 255, 100, 40));
  const Settings settings{64, 48, true, 4.0f, {}, 0, 3 * lighting::detail::litCellBytes(16, 16)};
  ASSERT_GT(lighting::detail::litBands(*m, settings.bandBytes).size(), 4u);
  const Snapshot scene(*m);
  auto whole = lighting::render(scene, settings);
  ASSERT_TRUE(whole.ok()) << whole.error();

  base::ByteWriter out;
  io::LitMapWriter writer(*m, out);
  std::size_t next = 0;
  auto streamed = lighting::render(scene, settings, {}, {}, [&](std::size_t first, std::span<const tiles::TilePtr> cells) {
    EXPECT_EQ(first, next);
    next = first + cells.size();
    writer.tiles(cells);
  });
  ASSERT_TRUE(streamed.ok()) << streamed.error();
  writer.finish();
  EXPECT_EQ(next, m->cells.size());
  EXPECT_EQ(out.data(), saved(*whole->map));
  EXPECT_EQ(streamed->shadowMaps, whole->shadowMaps);
  for (const auto& cell : streamed->map->cells) EXPECT_EQ(cell, nullptr);
}

// The sink runs beside the lighting of the next band: a write that fails still reaches the
// caller as it was thrown, once no band is being written any more.
TEST(StreamedBake, AFailingWriteReachesTheCaller) {
  auto m = scenes::makeScene({7, 5, 2, 16, 16, {0.9, 0.3}, {{16, 16}}, 3});
  m->addLight(scenes::light(30, 40, 1, 90));
  const Settings settings{64, 48, false, 4.0f, {}, 0, 3 * lighting::detail::litCellBytes(16, 16)};
  const Snapshot scene(*m);
  int bands = 0;
  EXPECT_THROW((void)lighting::render(scene, settings, {}, {},
                                      [&](std::size_t, std::span<const tiles::TilePtr>) {
                                        if (++bands == 2) throw base::StreamError("disk full");
                                      }),
               base::StreamError);
  EXPECT_EQ(bands, 2);
}

TEST(StreamedBake, TheWriterRefusesToFinishWithTilesMissing) {
  auto m = scenes::makeScene({3, 3, 1, 8, 8, {1.0}, {{8, 8}}, 1});
  base::ByteWriter out;
  io::LitMapWriter writer(*m, out);
  const std::vector<tiles::TilePtr> first(m->cells.begin(), m->cells.begin() + 4);
  writer.tiles(first);
  EXPECT_THROW(writer.finish(), base::FormatError);
}

TEST(MemoryEstimate, CountsTheLitMapWhenKeptAndOneBandWhenStreamed) {
  auto m = map::Map::create(30, 20, 1, 64, 64);
  auto tile = std::make_shared<tiles::Tile>();
  tile->image = std::make_shared<platform::Image>(1024, 1024);
  m->fillLayer(0, tile);
  m->addLight(scenes::light(100, 100, 1, 500));
  const Settings settings{4096, 2048, true, 4.0f, {}};
  const auto kept = lighting::estimateMemory(*m, settings, false);
  const auto streamed = lighting::estimateMemory(*m, settings, true);
  const std::uint64_t mib = 1 << 20;
  EXPECT_GE(kept.litCells, 600 * 8 * mib);
  EXPECT_LE(kept.litCells, 600 * 9 * mib);
  EXPECT_LE(streamed.litCells, 80 * mib);
  // The map, a hard map and a box minimum for soft shadows, and the layer grid.
  EXPECT_GE(streamed.shadowMaps, 4 * 8 * mib);
  EXPECT_TRUE(lighting::checkMemory(kept, kept.total()).ok());
  auto refused = lighting::checkMemory(kept, 1024 * mib, lighting::kStreamingAdvice);
  ASSERT_FALSE(refused.ok());
  const std::string about = "Not enough memory to render this light map: it needs about " +
                            std::to_string((kept.total() + mib - 1) / mib) + " MiB (lit tiles ";
  EXPECT_EQ(refused.error().rfind(about, 0), 0u) << refused.error();
  EXPECT_NE(refused.error().find("and 1024 MiB are available.\nvorlane-tool bake renders maps this large"),
            std::string::npos)
      << refused.error();
}

}  // namespace
}  // namespace vorlane
