#include "support/fixtures.h"

#include <png.h>
// jpeglib.h needs size_t and FILE declared first.
#include <cstdio>
#include <jpeglib.h>

#include <atomic>
#include <csetjmp>
#include <cstdlib>
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
  PngLayout layout;
  layout.width = image.width;
  layout.height = image.height;
  layout.colorType = withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      layout.data.insert(layout.data.end(), image.at(x, y), image.at(x, y) + (withAlpha ? 4 : 3));
  return encodePngRaw(layout);
}

std::vector<std::uint8_t> encodePngRaw(const PngLayout& shape) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<png_color> palette;
  for (const auto& c : shape.palette) palette.push_back(png_color{c[0], c[1], c[2]});
  png_color_16 trans{};
  trans.gray = shape.transparent[0];
  trans.red = shape.transparent[0];
  trans.green = shape.transparent[1];
  trans.blue = shape.transparent[2];
  const std::size_t rowBytes = shape.data.size() / static_cast<std::size_t>(shape.height);
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
  png_set_IHDR(png, info, static_cast<png_uint_32>(shape.width), static_cast<png_uint_32>(shape.height), shape.bitDepth,
               shape.colorType, shape.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!shape.paletteAlpha.empty())
    png_set_tRNS(png, info, shape.paletteAlpha.data(), static_cast<int>(shape.paletteAlpha.size()), nullptr);
  else if (shape.transparentColor)
    png_set_tRNS(png, info, nullptr, 0, &trans);
  png_write_info(png, info);
  const int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass)
    for (int y = 0; y < shape.height; ++y)
      png_write_row(png, shape.data.data() + static_cast<std::size_t>(y) * rowBytes);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

namespace {
struct JpegWriteError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};
}  // namespace

std::vector<std::uint8_t> encodeJpeg(const platform::Image& image, int components, int quality, bool progressive,
                                     CmykForm cmyk) {
  jpeg_compress_struct cinfo;
  JpegWriteError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<JpegWriteError*>(c->err)->jump, 1); };
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  std::vector<JSAMPLE> row(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(components));
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    throw std::runtime_error("jpeg encode failed");
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(image.width);
  cinfo.image_height = static_cast<JDIMENSION>(image.height);
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  if (components == 4) {
    jpeg_set_colorspace(&cinfo, cmyk.ycck ? JCS_YCCK : JCS_CMYK);
    cinfo.write_Adobe_marker = cmyk.adobeMarker ? TRUE : FALSE;
  }
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < image.width; ++x)
      for (int k = 0; k < components; ++k) row[static_cast<std::size_t>(x * components + k)] = image.at(x, y)[k];
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<std::uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

std::vector<std::uint8_t> encodeBmpRaw(const BmpLayout& shape) {
  const bool core = shape.headerSize == 12;
  const std::uint32_t w = static_cast<std::uint32_t>(shape.width);
  const std::uint32_t h = static_cast<std::uint32_t>(shape.height < 0 ? -shape.height : shape.height);
  const std::uint32_t stride = ((w * static_cast<std::uint32_t>(shape.bitsPerPixel) + 31) / 32) * 4;
  const bool maskTable = shape.headerSize == 40 && (shape.compression == 3 || shape.compression == 6);
  const std::uint32_t tables = static_cast<std::uint32_t>(shape.palette.size()) * (core ? 3 : 4) +
                               (maskTable ? (shape.compression == 6 ? 16 : 12) : 0);
  const std::uint32_t offset = 14 + static_cast<std::uint32_t>(shape.headerSize) + tables;
  std::vector<std::uint8_t> v;
  v.push_back('B');
  v.push_back('M');
  put32(v, offset + stride * h);
  put32(v, 0);
  put32(v, offset);
  put32(v, static_cast<std::uint32_t>(shape.headerSize));
  if (core) {
    put16(v, w);
    put16(v, h);
    put16(v, 1);
    put16(v, static_cast<std::uint32_t>(shape.bitsPerPixel));
  } else {
    put32(v, w);
    put32(v, static_cast<std::uint32_t>(shape.height));
    put16(v, 1);
    put16(v, static_cast<std::uint32_t>(shape.bitsPerPixel));
    put32(v, shape.compression);
    put32(v, stride * h);
    put32(v, 2835);
    put32(v, 2835);
    put32(v, shape.colorsUsed);
    put32(v, 0);
    for (int k = 0; k < 4 && 40 + 4 * k < shape.headerSize; ++k) put32(v, shape.masks[static_cast<std::size_t>(k)]);
    while (v.size() < 14 + static_cast<std::size_t>(shape.headerSize)) v.push_back(0);
    if (maskTable)
      for (int k = 0; k < (shape.compression == 6 ? 4 : 3); ++k) put32(v, shape.masks[static_cast<std::size_t>(k)]);
  }
  for (std::uint32_t c : shape.palette) {
    v.push_back(static_cast<std::uint8_t>(c));
    v.push_back(static_cast<std::uint8_t>(c >> 8));
    v.push_back(static_cast<std::uint8_t>(c >> 16));
    if (!core) v.push_back(0);
  }
  if (shape.compression == 1 || shape.compression == 2) {
    v.insert(v.end(), shape.runLengthCodes.begin(), shape.runLengthCodes.end());
    return v;
  }
  for (std::uint32_t row = 0; row < h; ++row) {
    const std::uint32_t y = shape.height < 0 ? row : h - 1 - row;
    std::vector<std::uint8_t> bytes(stride, 0);
    for (std::uint32_t x = 0; x < w; ++x) {
      const std::uint32_t p = shape.pixels[y * w + x];
      switch (shape.bitsPerPixel) {
        case 1:
        case 4:
        case 8: {
          const std::uint32_t bit = x * static_cast<std::uint32_t>(shape.bitsPerPixel);
          bytes[bit / 8] |= static_cast<std::uint8_t>(p << (8 - shape.bitsPerPixel - static_cast<int>(bit % 8)));
          break;
        }
        case 16:
          bytes[x * 2] = static_cast<std::uint8_t>(p);
          bytes[x * 2 + 1] = static_cast<std::uint8_t>(p >> 8);
          break;
        case 24:
          bytes[x * 3] = static_cast<std::uint8_t>(p);
          bytes[x * 3 + 1] = static_cast<std::uint8_t>(p >> 8);
          bytes[x * 3 + 2] = static_cast<std::uint8_t>(p >> 16);
          break;
        case 32:
          for (int k = 0; k < 4; ++k) bytes[x * 4 + static_cast<std::uint32_t>(k)] = static_cast<std::uint8_t>(p >> (8 * k));
          break;
      }
    }
    v.insert(v.end(), bytes.begin(), bytes.end());
  }
  return v;
}

}  // namespace vorlane::test
