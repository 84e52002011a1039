#include "platform/encode.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <exception>
#include <functional>
#include <future>
#include <string>

namespace vorlane::platform {

namespace {

// What the libpng callbacks reach; an exception from the writer is carried past libpng's C
// frames by longjmp and thrown again afterwards.
struct PngSink {
  base::ByteWriter* out;
  std::exception_ptr thrown;
  std::string refused;  // libpng's own error, when it was not the writer's
};

void onWrite(png_structp png, png_bytep data, png_size_t n) {
  auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
  try {
    sink->out->bytes(data, n);
  } catch (...) {
    sink->thrown = std::current_exception();
    png_error(png, "write refused");
  }
}

void onFlush(png_structp) {}
void onError(png_structp png, png_const_charp message) {
  if (auto* sink = static_cast<PngSink*>(png_get_io_ptr(png)); sink && !sink->thrown && sink->refused.empty())
    sink->refused = message ? message : "";
  png_longjmp(png, 1);
}
void onWarning(png_structp, png_const_charp) {}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// The row y of the picture, in the PNG's layout.
using RowAt = std::function<const png_byte*(std::int32_t y)>;

// Kept apart from its caller so that no local of the caller lives across a longjmp.
bool writeRows(png_structp png, png_infop info, PngSink& sink, std::int32_t width, std::int32_t height, bool withAlpha,
               const RowAt& rowAt, int zlibLevel) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &sink, onWrite, onFlush);
  if (zlibLevel >= 0) png_set_compression_level(png, zlibLevel);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (std::int32_t y = 0; y < height; ++y) {
    const png_byte* row = nullptr;
    try {
      row = rowAt(y);
    } catch (...) {
      sink.thrown = std::current_exception();
    }
    if (!row) png_error(png, "no row");
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  return true;
}

void write(std::int32_t width, std::int32_t height, bool withAlpha, const RowAt& rowAt, base::ByteWriter& out,
           int zlibLevel = -1) {
  PngSink sink{&out, nullptr, {}};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, &onError, &onWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool ok = png && info && writeRows(png, info, sink, width, height, withAlpha, rowAt, zlibLevel);
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (sink.thrown) std::rethrow_exception(sink.thrown);
  // Nothing failed to write: the picture itself was refused.
  if (!ok && !sink.refused.empty()) throw base::FormatError("The PNG encoder refused the picture: " + sink.refused + ".");
  if (!ok) throw base::StreamError(base::kWriteError);
}

}  // namespace

void encodePng(const Image& image, bool withAlpha, base::ByteWriter& out, int zlibLevel) {
  std::vector<png_byte> row(withAlpha ? 0 : static_cast<std::size_t>(image.width) * 3);
  write(image.width, image.height, withAlpha, [&](std::int32_t y) -> const png_byte* {
    const std::uint8_t* p = image.at(0, y);
    if (withAlpha) return p;
    for (std::int32_t x = 0; x < image.width; ++x)
      for (int k = 0; k < 3; ++k) row[static_cast<std::size_t>(x) * 3 + k] = p[x * 4 + k];
    return row.data();
  }, out, zlibLevel);
}

void encodePngRows(std::int32_t width, std::int32_t height, const PngRows& rows, base::ByteWriter& out) {
  constexpr std::int32_t kBand = 64;
  const std::size_t stride = static_cast<std::size_t>(std::max(width, 0)) * 3;
  // Two bands: the next one is drawn on another thread while libpng compresses this one, so
  // the compression, which cannot be split, does not leave the drawing threads idle.
  std::array<std::vector<png_byte>, 2> bands;
  for (auto& band : bands) band.resize(stride * static_cast<std::size_t>(std::clamp(height, 0, kBand)));
  const auto draw = [&](std::int32_t first) {
    png_byte* into = bands[static_cast<std::size_t>(first / kBand % 2)].data();
    const std::int32_t count = std::min(kBand, height - first);
    return std::async(std::launch::async, [&rows, first, count, into] { rows(first, count, into); });
  };
  std::future<void> next;
  if (height > 0) next = draw(0);
  write(width, height, false, [&](std::int32_t y) -> const png_byte* {
    if (y % kBand == 0) {
      next.get();
      if (y + kBand < height) next = draw(y + kBand);
    }
    return bands[static_cast<std::size_t>(y / kBand % 2)].data() + static_cast<std::size_t>(y % kBand) * stride;
  }, out);
}

base::Result<std::vector<std::uint8_t>> encodePng(const Image& image, bool withAlpha) {
  if (image.width <= 0 || image.height <= 0) return base::Error{"An image without pixels cannot be a PNG."};
  base::ByteWriter out;
  try {
    encodePng(image, withAlpha, out);
  } catch (const base::StreamError&) {
    return base::Error{"The PNG could not be encoded."};
  }
  return out.data();
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
