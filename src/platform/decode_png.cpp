#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/decode.h"

namespace vorlane::platform {

namespace {

// Deflate never expands data more than about 1032 times; a header promising more pixel
// bytes than the IDAT chunks could hold is refused before the pixels are allocated.
constexpr std::uint64_t kDeflateRatio = 1032;
constexpr std::uint64_t kSlack = 64 * 1024;
// Ancillary chunks (text, profiles) never need more than this.
constexpr png_alloc_size_t kMaxChunkBytes = 8u << 20;

// Everything the libpng callbacks touch: plain data only, since they may longjmp.
struct PngState {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos;
  char message[160];
};

void onError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "Invalid PNG file: %s.", message ? message : "decoding failed");
  png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void onRead(png_structp png, png_bytep out, png_size_t n) {
  auto* state = static_cast<PngState*>(png_get_io_ptr(png));
  if (n > state->size - state->pos) png_error(png, "file truncated");
  std::memcpy(out, state->data + state->pos, n);
  state->pos += n;
}

// Walks the chunk list up to IEND: every chunk must lie wholly inside the file, so libpng
// never sizes a buffer from a length the file cannot back (it would take a 2 GB zTXt
// length at its word). Returns the IDAT bytes, or false with `message` set.
bool scanChunks(std::span<const std::uint8_t> bytes, std::uint64_t* idatBytes, char* message, std::size_t size) {
  std::size_t pos = 8;
  *idatBytes = 0;
  for (;;) {
    if (bytes.size() - pos < 12) {
      std::snprintf(message, size, "Invalid PNG file: file truncated.");
      return false;
    }
    const std::uint8_t* c = bytes.data() + pos;
    const std::uint32_t length = static_cast<std::uint32_t>(c[0]) << 24 | static_cast<std::uint32_t>(c[1]) << 16 |
                                 static_cast<std::uint32_t>(c[2]) << 8 | c[3];
    if (length > bytes.size() - pos - 12) {
      std::snprintf(message, size, "Invalid PNG file: chunk runs past the end of the file.");
      return false;
    }
    if (std::memcmp(c + 4, "IDAT", 4) == 0) *idatBytes += length;
    if (std::memcmp(c + 4, "IEND", 4) == 0) return true;
    pos += 12 + static_cast<std::size_t>(length);
  }
}

struct PngHeader {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  bool hasAlpha = false;
};

// The longjmp target: nothing with a destructor lives in this frame. Returns false with
// state->message set when libpng reported an error.
bool readHeader(png_structp png, png_infop info, PngState* state, PngHeader* header) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  int bitDepth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &header->width, &header->height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
  header->hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;

  png_set_expand(png);  // palette to RGB, low-bit grey to 8 bits, tRNS to alpha
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);  // no effect where alpha exists
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<std::size_t>(header->width) * 4) {
    std::snprintf(state->message, sizeof state->message, "Invalid PNG file: unsupported pixel layout.");
    return false;
  }
  return true;
}

bool readPixels(png_structp png, png_infop info, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, info);
  return true;
}

}  // namespace

base::Result<Decoded> decodePng(std::span<const std::uint8_t> bytes) {
  PngState state{bytes.data(), bytes.size(), 0, "Invalid PNG file."};
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) return base::Error{"Invalid PNG file: bad signature."};
  std::uint64_t idatBytes = 0;
  if (!scanChunks(bytes, &idatBytes, state.message, sizeof state.message)) return base::Error{state.message};

  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, &onError, &onWarning);
  if (!png) return base::Error{"Invalid PNG file: out of memory."};
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return base::Error{"Invalid PNG file: out of memory."};
  }
  png_set_read_fn(png, &state, &onRead);
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  png_set_chunk_malloc_max(png, kMaxChunkBytes);
  png_set_chunk_cache_max(png, 1000);
  // Chunks we never use are skipped rather than stored.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  // So are the known ones that do not change the pixels: no text or profile is inflated.
  static const png_byte kIgnored[] =
      "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnored, static_cast<int>(sizeof kIgnored / 5));

  PngHeader header;
  Decoded decoded;
  std::vector<png_bytep> rows;
  bool ok = readHeader(png, info, &state, &header);
  if (ok) {
    const std::uint64_t w = header.width, h = header.height;
    // The filtered, uncompressed size is at least one byte per row plus w/8 bits per row.
    const std::uint64_t minRaw = h * (1 + (w + 7) / 8);
    if (w == 0 || h == 0 || w > kMaxImageSide || h > kMaxImageSide) {
      std::snprintf(state.message, sizeof state.message, "Invalid PNG file: bad image size.");
      ok = false;
    } else if (minRaw > idatBytes * kDeflateRatio + kSlack) {
      std::snprintf(state.message, sizeof state.message, "Invalid PNG file: pixel data missing.");
      ok = false;
    }
  }
  if (ok) ok = blankImageInto(header.width, header.height, decoded.image, state.message, sizeof state.message);
  if (ok) {
    decoded.hasAlpha = header.hasAlpha;
    rows.resize(header.height);
    for (png_uint_32 y = 0; y < header.height; ++y) rows[y] = decoded.image.at(0, static_cast<std::int32_t>(y));
    ok = readPixels(png, info, rows.data());
  }
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) return base::Error{state.message};
  return decoded;
}

}  // namespace vorlane::platform
