#include "support/big_inputs.h"

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "io/project.h"
#include "support/fixtures.h"
#include "tiles/companion.h"
#include "tiles/tile.h"

namespace vorlane::test {

namespace {

// The longjmp target: nothing with a destructor lives in this frame.
bool writeRows(png_structp png, png_infop info, std::FILE* file, int width, int height, png_bytep row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      row[x * 3] = static_cast<png_byte>(1 + y % 255);
      row[x * 3 + 1] = 64;
      row[x * 3 + 2] = 128;
    }
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

void writeStreamedPng(const std::string& path, int width, int height) {
  std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) throw std::runtime_error("cannot create " + path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  const bool ok = writeRows(png, info, file, width, height, row.data());
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file) != 0 || !ok) throw std::runtime_error("cannot write " + path);
}

void writeHugeScanImage(const std::string& path) {
  writeStreamedPng(path, 16384, 16384);
  platform::Image flat(4, 4);
  for (std::size_t i = 0; i < flat.pixels.size(); i += 4) std::copy(tiles::kFlatNormal, tiles::kFlatNormal + 4, &flat.pixels[i]);
  writeFile(tiles::companionPath(path), encodeBmp(flat));
}

void writeAmplifyingProject(const std::string& path, int columns, int rows) {
  auto tile = std::make_shared<tiles::Tile>();
  tile->path = "stone.png";
  auto image = std::make_shared<platform::Image>(1024, 1024);
  for (std::size_t i = 0; i < image->pixels.size(); i += 4) {
    image->pixels[i] = 120;
    image->pixels[i + 1] = 110;
    image->pixels[i + 2] = 100;
    image->pixels[i + 3] = 255;
  }
  tile->image = image;
  tile->colourGrid = tiles::ChannelGrid::fromImage(*image);
  tile->normalGrid = tiles::ChannelGrid::flatNormals(1024, 1024);
  auto map = map::Map::create(columns, rows, 1, 64, 64);
  map->fillLayer(0, tile);
  auto light = map::Light::createLight(960, 640, 1, 255, 255, 255);
  light->range = 900;
  map->addLight(light);
  auto status = io::writeFileAtomically(path, [&](base::ByteWriter& out) {
    io::saveMap(*map, out);
    io::writeTilesetSection({}, out);
  });
  if (!status) throw std::runtime_error(status.error());
}

void writeSparsePng(const std::string& path, long long bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const bool ok = fd >= 0 && ::write(fd, kSignature, 8) == 8 && ::ftruncate(fd, bytes) == 0;
  if (fd >= 0) ::close(fd);
  if (!ok) throw std::runtime_error("cannot make " + path);
}

}  // namespace vorlane::test
