#include "formats/png_encode.h"

#include <png.h>

#include "io/project.h"

namespace vorlane::formats {

namespace {

void append(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

void noFlush(png_structp) {}

}  // namespace

base::Result<std::vector<std::uint8_t>> encodePng(const platform::Image& image, bool withAlpha) {
  if (image.width <= 0 || image.height <= 0) return base::Error{"an image without pixels cannot be a PNG"};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  // Outside the setjmp scope: longjmp must not skip their destructors.
  std::vector<std::uint8_t> out;
  std::vector<png_byte> row(static_cast<std::size_t>(image.width) * (withAlpha ? 4 : 3));
  volatile bool ok = false;
  if (png && info && !setjmp(png_jmpbuf(png))) {
    png_set_write_fn(png, &out, append, noFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (std::int32_t y = 0; y < image.height; ++y) {
      const std::uint8_t* p = image.at(0, y);
      if (withAlpha) {
        png_write_row(png, const_cast<png_bytep>(p));
        continue;
      }
      for (std::int32_t x = 0; x < image.width; ++x)
        for (int k = 0; k < 3; ++k) row[static_cast<std::size_t>(x) * 3 + k] = p[x * 4 + k];
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (!ok) return base::Error{"error writing the PNG"};
  return out;
}

base::Status writePngFile(const std::string& path, const platform::Image& image, bool withAlpha) {
  auto bytes = encodePng(image, withAlpha);
  if (!bytes) return base::Error{bytes.error()};
  return io::writeFileAtomically(path, [&](base::ByteWriter& out) { out.bytes(bytes->data(), bytes->size()); });
}

}  // namespace vorlane::formats
