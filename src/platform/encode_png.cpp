#include "platform/encode_png.h"

#include <png.h>

#include <csetjmp>
#include <exception>
#include <vector>

namespace vorlane::platform {

namespace {

// What the libpng callbacks reach; an exception from the writer is carried past libpng's C
// frames by longjmp and thrown again afterwards.
struct PngSink {
  base::ByteWriter* out;
  std::exception_ptr thrown;
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
void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onWarning(png_structp, png_const_charp) {}

// The longjmp target: nothing with a destructor lives in this frame.
bool writeRows(png_structp png, png_infop info, const Image& image, bool withAlpha, png_bytep row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const int channels = withAlpha ? 4 : 3;
  for (std::int32_t y = 0; y < image.height; ++y) {
    const std::uint8_t* p = image.at(0, y);
    for (std::int32_t x = 0; x < image.width; ++x)
      for (int k = 0; k < channels; ++k) row[static_cast<std::size_t>(x) * channels + k] = p[x * 4 + k];
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

void encodePng(const Image& image, bool withAlpha, base::ByteWriter& out) {
  PngSink sink{&out, nullptr};
  std::vector<png_byte> row(static_cast<std::size_t>(image.width) * (withAlpha ? 4 : 3));
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, &onError, &onWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = png && info;
  if (ok) {
    png_set_write_fn(png, &sink, &onWrite, &onFlush);
    ok = writeRows(png, info, image, withAlpha, row.data());
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (sink.thrown) std::rethrow_exception(sink.thrown);
  if (!ok) throw base::StreamError(base::kWriteError);
}

}  // namespace vorlane::platform
