#include "support/fixtures.h"

#include <png.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace vorlane::test {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() /
          ("vorlane-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

platform::Image patternImage(int w, int h) {
  platform::Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = img.at(x, y);
      p[0] = static_cast<std::uint8_t>(x * 16 + 1);
      p[1] = static_cast<std::uint8_t>(y * 16 + 1);
      p[2] = static_cast<std::uint8_t>(x + y + 1);
      p[3] = static_cast<std::uint8_t>(255 - x);
    }
  return img;
}

platform::Image solidImage(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  platform::Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = img.at(x, y);
      p[0] = r, p[1] = g, p[2] = b, p[3] = a;
    }
  return img;
}

namespace {
void put16(std::vector<std::uint8_t>& v, std::uint32_t x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  put16(v, x & 0xFFFF);
  put16(v, x >> 16);
}
}  // namespace

std::vector<std::uint8_t> encodeBmp(const platform::Image& image, int bitsPerPixel) {
  const int bytesPerPixel = bitsPerPixel / 8;
  const std::uint32_t stride = (static_cast<std::uint32_t>(image.width * bytesPerPixel) + 3u) & ~3u;
  std::vector<std::uint8_t> v;
  v.push_back('B');
  v.push_back('M');
  put32(v, 54 + stride * static_cast<std::uint32_t>(image.height));
  put32(v, 0);
  put32(v, 54);
  put32(v, 40);
  put32(v, static_cast<std::uint32_t>(image.width));
  put32(v, static_cast<std::uint32_t>(image.height));
  put16(v, 1);
  put16(v, static_cast<std::uint32_t>(bitsPerPixel));
  put32(v, 0);
  put32(v, stride * static_cast<std::uint32_t>(image.height));
  put32(v, 2835);
  put32(v, 2835);
  put32(v, 0);
  put32(v, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    std::size_t start = v.size();
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* p = image.at(x, y);
      v.push_back(p[2]);
      v.push_back(p[1]);
      v.push_back(p[0]);
      if (bytesPerPixel == 4) v.push_back(p[3]);
    }
    while (v.size() - start < stride) v.push_back(0);
  }
  return v;
}

std::vector<std::uint8_t> encodePng(const platform::Image& image, bool withAlpha) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("png encode failed");
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        auto* o = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width) * 4);
  for (int y = 0; y < image.height; ++y) {
    std::size_t n = 0;
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* p = image.at(x, y);
      for (int k = 0; k < (withAlpha ? 4 : 3); ++k) row[n++] = p[k];
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace vorlane::test
