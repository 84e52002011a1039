#include "platform/encode_png.h"

#include <png.h>

#include <csetjmp>
#include <string>
#include <vector>

namespace vorlane::platform {

namespace {

struct Sink {
  base::ByteWriter* out;
  std::string failure;  // set when the writer threw; libpng is then stopped with png_error
};

// No C++ exception may cross libpng's C frames: it is caught here and passed on by longjmp.
void writeBytes(png_structp png, png_bytep data, png_size_t size) {
  auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
  try {
    sink->out->bytes(data, size);
  } catch (const base::StreamError& e) {
    sink->failure = e.what();
  }
  if (!sink->failure.empty()) png_error(png, "write failed");
}

void flushNothing(png_structp) {}

// False when libpng stopped with an error. Kept apart from the caller so that nothing the
// caller holds is touched between setjmp and longjmp.
bool writeImage(png_structp png, png_infop info, const Image& image) {
  std::vector<png_byte> row(static_cast<std::size_t>(image.width) * 3);
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (std::int32_t y = 0; y < image.height; ++y) {
    const std::uint8_t* p = image.at(0, y);
    for (std::int32_t x = 0; x < image.width; ++x)
      for (int k = 0; k < 3; ++k) row[static_cast<std::size_t>(x) * 3 + k] = p[x * 4 + k];
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

void encodePng(const Image& image, base::ByteWriter& out) {
  Sink sink{&out, {}};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool written = false;
  if (png && info) {
    png_set_write_fn(png, &sink, writeBytes, flushNothing);
    written = writeImage(png, info, image);
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (!written) throw base::StreamError(sink.failure.empty() ? base::kWriteError : sink.failure);
}

}  // namespace vorlane::platform
