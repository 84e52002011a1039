// Writes the benchmark maps as project files, for timing `vorlane-tool bake` as a whole
// process (bench/bake_bench.sh): bake_maps OUTDIR [IMAGE_SIDE]
//   city96.vorl   96 × 96 cells of 32 pixels, layer 0 full, 30 % of layer 1, six lights
//   city256.vorl  256 × 256 cells of 32 pixels, layer 0 full, 30 % of layer 1, eight lights
// Tile images are IMAGE_SIDE pixels square (default 32, the tile size).
#include <cstdlib>
#include <iostream>
#include <string>

#include "base/console.h"
#include "io/project.h"
#include "lighting/scenes.h"

namespace {

using namespace vorlane;

bool write(const std::string& path, const map::Map& m) {
  auto status = io::writeFileAtomically(path, [&](base::ByteWriter& out) {
    io::saveMap(m, out);
    io::writeTilesetSection({}, out);
  });
  if (!status) std::cerr << path << ": " << status.error() << '\n';
  return status.ok();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: bake_maps OUTDIR [IMAGE_SIDE]\n";
    return 2;
  }
  const std::string dir = argv[1];
  const std::int32_t side = argc > 2 ? std::atoi(argv[2]) : 32;
  const bool ok = write(dir + "/city96.vorl", *scenes::benchCity(96, side)) &&
                  write(dir + "/city256.vorl", *scenes::benchCity(256, side));
  return ok ? 0 : 1;
}
