// Writes the big benchmark map for the scripts: FOLDER/big.vorl (the project the editor and
// vorlane-tool read) and FOLDER/big.tmx with FOLDER/tiles.png (the same map for tiled and
// tmxrasterizer: one 4 × 4 tileset image, CSV layers, gid 0 for an empty cell).
#include <cstdio>
#include <fstream>
#include <string>

#include "big_map.h"
#include "io/project.h"
#include "support/fixtures.h"

int main(int argc, char** argv) {
  using namespace vorlane;
  if (argc != 2) {
    std::fprintf(stderr, "usage: big_map_files FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  const map::MapPtr m = bench::bigMap();
  if (auto status = io::saveProjectFile(folder + "/big", *m, {}); !status) {
    std::fprintf(stderr, "%s\n", status.error().c_str());
    return 1;
  }

  constexpr int kColumns = 4, side = bench::kTileSide;
  platform::Image sheet(kColumns * side, bench::kTileKinds / kColumns * side);
  for (int k = 0; k < bench::kTileKinds; ++k) {
    const platform::Image art = bench::tileArt(k);
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x)
        std::copy_n(art.at(x, y), 4, sheet.at(k % kColumns * side + x, k / kColumns * side + y));
  }
  test::writeFile(folder + "/tiles.png", test::encodePng(sheet));

  std::ofstream tmx(folder + "/big.tmx");
  tmx << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<map version=\"1.8\" orientation=\"orthogonal\" renderorder=\"right-down\" width=\"" << m->width
      << "\" height=\"" << m->height << "\" tilewidth=\"" << side << "\" tileheight=\"" << side
      << "\" infinite=\"0\" nextlayerid=\"" << m->depth + 1 << "\" nextobjectid=\"1\">\n"
      << " <tileset firstgid=\"1\" name=\"tiles\" tilewidth=\"" << side << "\" tileheight=\"" << side
      << "\" tilecount=\"" << bench::kTileKinds << "\" columns=\"" << kColumns << "\">\n"
      << "  <image source=\"tiles.png\" width=\"" << sheet.width << "\" height=\"" << sheet.height << "\"/>\n"
      << " </tileset>\n";
  for (int l = 0; l < m->depth; ++l) {
    tmx << " <layer id=\"" << l + 1 << "\" name=\"Layer " << l << "\" width=\"" << m->width << "\" height=\""
        << m->height << "\">\n  <data encoding=\"csv\">\n";
    for (int y = 0; y < m->height; ++y) {
      for (int x = 0; x < m->width; ++x) {
        tmx << bench::cellKind(x, y, l) + 1;
        if (x + 1 < m->width || y + 1 < m->height) tmx << ',';
      }
      tmx << '\n';
    }
    tmx << "</data>\n </layer>\n";
  }
  tmx << "</map>\n";
  return tmx.good() ? 0 : 1;
}
