#include "platform/encode.h"

#include <png.h>

#include <csetjmp>

namespace vorlane::platform {

namespace {

struct PngSink {
  std::vector<std::uint8_t>* bytes;
};

void onWrite(png_structp png, png_bytep data, png_size_t n) {
  auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
  sink->bytes->insert(sink->bytes->end(), data, data + n);
}

void onFlush(png_structp) {}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Kept apart from its caller so that no local of the caller lives across a longjmp.
bool writeRows(png_structp png, png_infop info, PngSink& sink, const Image& image, bool withAlpha, png_byte* row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &sink, onWrite, onFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (std::int32_t y = 0; y < image.height; ++y) {
    const std::uint8_t* p = image.at(0, y);
    if (withAlpha) {
      png_write_row(png, p);
      continue;
    }
    for (std::int32_t x = 0; x < image.width; ++x)
      for (int k = 0; k < 3; ++k) row[static_cast<std::size_t>(x) * 3 + k] = p[x * 4 + k];
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

base::Result<std::vector<std::uint8_t>> encodePng(const Image& image, bool withAlpha) {
  if (image.width <= 0 || image.height <= 0) return base::Error{"An image without pixels cannot be a PNG."};
  std::vector<std::uint8_t> bytes;
  std::vector<png_byte> row(withAlpha ? 0 : static_cast<std::size_t>(image.width) * 3);
  PngSink sink{&bytes};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool ok = png && info && writeRows(png, info, sink, image, withAlpha, row.data());
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (!ok) return base::Error{"The PNG could not be encoded."};
  return bytes;
}

std::vector<std::uint8_t> encodeBmp(const Image& image) {
  const auto width = static_cast<std::uint32_t>(image.width > 0 ? image.width : 0);
  const auto height = static_cast<std::uint32_t>(image.height > 0 ? image.height : 0);
  const std::uint32_t stride = (width * 3 + 3) & ~3u;
  const std::uint32_t dataSize = stride * height;
  std::vector<std::uint8_t> out;
  out.reserve(54 + dataSize);
  out.push_back('B');
  out.push_back('M');
  put32(out, 54 + dataSize);
  put32(out, 0);
  put32(out, 54);
  put32(out, 40);  // BITMAPINFOHEADER
  put32(out, width);
  put32(out, height);  // positive: rows bottom-up
  put16(out, 1);
  put16(out, 24);
  put32(out, 0);  // BI_RGB
  put32(out, dataSize);
  put32(out, 2835);  // 72 dpi
  put32(out, 2835);
  put32(out, 0);
  put32(out, 0);
  for (std::uint32_t row = 0; row < height; ++row) {
    const std::uint8_t* p = image.at(0, static_cast<std::int32_t>(height - 1 - row));
    for (std::uint32_t x = 0; x < width; ++x, p += 4) {
      out.push_back(p[2]);
      out.push_back(p[1]);
      out.push_back(p[0]);
    }
    for (std::uint32_t pad = width * 3; pad < stride; ++pad) out.push_back(0);
  }
  return out;
}

}  // namespace vorlane::platform
