// Writes the interchange benchmark's map for bench/tmx_bench.sh: tmx_map OUTDIR
//   big.tmx (with big_tiles.png) and big.vorl: 1024 × 1024 cells, 4 full layers, 1,000
//   distinct 16 × 16 tiles mixed so that runs of one tile stay short.
// tmx_map OUTDIR SIDE DEPTH LIGHTS makes a map of that size with lights spread over it, for
// bench/bake_map.sh.
#include <iostream>
#include <string>

#include "formats/formats.h"
#include "platform/image.h"

int main(int argc, char** argv) {
  using namespace vorlane;
  if (argc < 2) {
    std::cerr << "usage: tmx_map OUTDIR\n";
    return 2;
  }
  const std::string dir = argv[1];
  const int kSide = argc > 3 ? std::stoi(argv[2]) : 1024, kDepth = argc > 3 ? std::stoi(argv[3]) : 4;
  const int lights = argc > 4 ? std::stoi(argv[4]) : 0;
  constexpr int kTiles = 1000, kPixels = 16;
  std::vector<tiles::TilePtr> tileList;
  for (int i = 0; i < kTiles; ++i) {
    auto image = std::make_shared<platform::Image>(kPixels, kPixels);
    for (int p = 0; p < kPixels * kPixels; ++p) {
      std::uint8_t* px = image->pixels.data() + p * 4;
      px[0] = static_cast<std::uint8_t>(i);
      px[1] = static_cast<std::uint8_t>(i >> 8);
      px[2] = static_cast<std::uint8_t>(p);
      px[3] = 255;
    }
    platform::Image flat(kPixels, kPixels);
    auto tile = std::make_shared<tiles::Tile>();
    (void)tile->setImages(image, &flat);
    tileList.push_back(tile);
  }
  auto m = map::Map::create(kSide, kSide, kDepth, kPixels, kPixels);
  for (int x = 0; x < kSide; ++x)
    for (int y = 0; y < kSide; ++y)
      for (int d = 0; d < kDepth; ++d) m->setCell(x, y, d, tileList[(x * 7 + y * 13 + d * 101) % kTiles]);
  for (int i = 0; i < lights; ++i) {
    const float x = static_cast<float>((i * 5 + 1) % 8 * kSide * kPixels / 8 + 8);
    const float y = static_cast<float>((i * 3 + 2) % 8 * kSide * kPixels / 8 + 8);
    auto light = map::Light::createLight(x, y, 0, 255, 220, 180);
    light->range = static_cast<float>(kSide * kPixels) / 4;
    light->castShadows = 1;
    m->addLight(std::move(light));
  }
  auto notes = formats::formatNamed("tmx")->write(dir + "/big.tmx", *m, {});
  if (!notes) {
    std::cerr << notes.error() << '\n';
    return 1;
  }
  auto status = io::writeFileAtomically(dir + "/big.vorl", [&](base::ByteWriter& out) {
    io::saveMap(*m, out);
    io::writeTilesetSection({}, out);
  });
  if (!status) {
    std::cerr << status.error() << '\n';
    return 1;
  }
  return 0;
}
