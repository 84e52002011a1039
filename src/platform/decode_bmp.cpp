#include <bit>
#include <cstring>
#include <optional>

#include "platform/decode.h"

namespace vorlane::platform {

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiAlphaBitfields = 6;
constexpr std::size_t kFileHeader = 14;

std::uint32_t u16(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0] | (p[1] << 8)); }
std::uint32_t u32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t s32(const std::uint8_t* p) { return static_cast<std::int32_t>(u32(p)); }

base::Error bad(const char* what) { return base::Error{std::string("Invalid BMP file: ") + what + "."}; }

// One channel of a bit-field pixel, widened or narrowed to 8 bits.
struct Field {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  bool set(std::uint32_t m) {
    mask = m;
    if (m == 0) return true;
    shift = std::countr_zero(m);
    bits = std::popcount(m);
    return (m >> shift) == (bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1);  // contiguous
  }
  std::uint8_t get(std::uint32_t pixel) const {
    if (bits == 0) return 0;
    std::uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return static_cast<std::uint8_t>(v >> (bits - 8));
    std::uint32_t max = (1u << bits) - 1;
    return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
  }
};

// A run-length coded file may describe a large image in few bytes (long runs, skips); like
// JPEG, the pixel count it may ask for grows with its size.
constexpr std::uint64_t kRlePixelsPerByte = 1024;
constexpr std::uint64_t kRleFreePixels = 1u << 20;

// Expands RLE8 or RLE4 codes, row by row as stored, into the image through `put`. Runs
// reaching past a row's end and skips (delta, end of line) leading outside the image write
// nothing; every code consumes bytes, so the walk ends with the data. nullopt when the
// image ends (end of bitmap, or past its last row), else the reason it could not.
template <typename Put>
std::optional<const char*> expandRle(const std::uint8_t* p, const std::uint8_t* end, std::uint32_t bpp,
                                     std::int64_t height, Put put) {
  constexpr const char* kTruncated = "pixel data truncated";
  const auto nibble = [](std::uint8_t byte, std::uint32_t i) { return i % 2 == 0 ? byte >> 4 : byte & 0x0F; };
  std::int64_t x = 0, y = 0;
  while (y < height) {
    if (end - p < 2) return kTruncated;
    const std::uint32_t count = p[0], code = p[1];
    p += 2;
    if (count > 0) {  // a run of one index, or of two alternating ones
      for (std::uint32_t i = 0; i < count; ++i) put(x++, y, bpp == 8 ? code : nibble(static_cast<std::uint8_t>(code), i));
      continue;
    }
    if (code == 0) {  // end of line
      x = 0;
      ++y;
    } else if (code == 1) {  // end of bitmap
      return std::nullopt;
    } else if (code == 2) {  // delta
      if (end - p < 2) return kTruncated;
      x += p[0];
      y += p[1];
      p += 2;
    } else {  // `code` indices as they are, padded to 16 bits
      const std::size_t bytes = bpp == 8 ? code : (code + 1) / 2;
      if (static_cast<std::size_t>(end - p) < bytes) return kTruncated;
      for (std::uint32_t i = 0; i < code; ++i) put(x++, y, bpp == 8 ? p[i] : nibble(p[i / 2], i));
      p += std::min(bytes + bytes % 2, static_cast<std::size_t>(end - p));
    }
  }
  return std::nullopt;
}

// What the headers say, checked: sizes, pixel format, where the palette and pixels are.
struct Header {
  std::uint32_t dataOffset = 0, headerSize = 0;
  bool core = false, topDown = false;
  std::int64_t width = 0, height = 0;
  std::uint32_t bpp = 0, compression = kBiRgb, colorsUsed = 0;
  std::size_t tableOffset = 0;  // the masks or palette after the header
  Field fields[4];              // red, green, blue, alpha
  bool bitfields = false;
  std::uint32_t paletteCount = 0;
  std::uint8_t palette[256][3] = {};

  bool rle() const { return compression == kBiRle8 || compression == kBiRle4; }
};

std::optional<base::Error> readSizes(std::span<const std::uint8_t> bytes, Header& h) {
  const std::uint8_t* d = bytes.data();
  const std::size_t size = bytes.size();
  if (size < kFileHeader + 4 || d[0] != 'B' || d[1] != 'M') return bad("file too short");
  h.dataOffset = u32(d + 10);
  h.headerSize = u32(d + kFileHeader);
  h.core = h.headerSize == 12;
  const std::uint32_t hs = h.headerSize;
  if (!h.core && hs != 40 && hs != 52 && hs != 56 && hs != 108 && hs != 124) return bad("unsupported header");
  if (size < kFileHeader + hs) return bad("header truncated");
  const std::uint8_t* info = d + kFileHeader;
  if (h.core) {
    h.width = u16(info + 4);
    h.height = u16(info + 6);
    h.bpp = u16(info + 10);
  } else {
    h.width = s32(info + 4);
    h.height = s32(info + 8);
    h.bpp = u16(info + 14);
    h.compression = u32(info + 16);
    h.colorsUsed = u32(info + 32);
  }
  h.topDown = h.height < 0;
  if (h.topDown) h.height = -h.height;
  if (h.width <= 0 || h.height <= 0 || h.width > kMaxImageSide || h.height > kMaxImageSide)
    return bad("bad image size");
  h.tableOffset = kFileHeader + hs;
  return std::nullopt;
}

// Masks follow a 40-byte header; the larger headers hold them inside.
std::optional<base::Error> readFormat(std::span<const std::uint8_t> bytes, Header& h) {
  const std::uint8_t* d = bytes.data();
  const std::uint8_t* info = d + kFileHeader;
  if (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) {
    if (h.core || (h.bpp != 16 && h.bpp != 32)) return bad("bit fields need 16 or 32 bits per pixel");
    std::uint32_t masks[4] = {0, 0, 0, 0};
    if (h.headerSize == 40) {
      const std::size_t count = h.compression == kBiAlphaBitfields ? 4 : 3;
      if (bytes.size() < h.tableOffset + count * 4) return bad("bit masks truncated");
      for (std::size_t k = 0; k < count; ++k) masks[k] = u32(d + h.tableOffset + 4 * k);
      h.tableOffset += count * 4;
    } else {
      for (std::size_t k = 0; k < 3; ++k) masks[k] = u32(info + 40 + 4 * k);
      if (h.headerSize >= 56) masks[3] = u32(info + 52);
    }
    for (std::size_t k = 0; k < 4; ++k)
      if ((h.bpp == 16 && masks[k] > 0xFFFFu) || !h.fields[k].set(masks[k])) return bad("bad bit masks");
    h.bitfields = true;
  } else if (h.rle()) {
    if (h.core || h.bpp != (h.compression == kBiRle8 ? 8u : 4u))
      return bad("run-length coding needs 8 or 4 bits per pixel");
  } else if (h.compression != kBiRgb) {
    return bad("unsupported compression");
  } else if (h.bpp == 16) {
    h.fields[0].set(0x7C00);
    h.fields[1].set(0x03E0);
    h.fields[2].set(0x001F);
    h.bitfields = true;
  }
  const std::uint32_t bpp = h.bpp;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return bad("unsupported bits per pixel");
  if (h.core && bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) return bad("unsupported bits per pixel");
  return std::nullopt;
}

// Core headers store 3 bytes a palette entry, the others 4.
std::optional<base::Error> readPalette(std::span<const std::uint8_t> bytes, Header& h) {
  if (h.bpp > 8) return std::nullopt;
  const std::size_t entrySize = h.core ? 3 : 4;
  const std::uint32_t maxColors = 1u << h.bpp;
  if (h.colorsUsed > maxColors) return bad("bad palette size");
  h.paletteCount = h.colorsUsed ? h.colorsUsed : maxColors;
  if (bytes.size() < h.tableOffset + h.paletteCount * entrySize) return bad("palette truncated");
  for (std::uint32_t i = 0; i < h.paletteCount; ++i) {
    const std::uint8_t* e = bytes.data() + h.tableOffset + i * entrySize;
    h.palette[i][0] = e[2];
    h.palette[i][1] = e[1];
    h.palette[i][2] = e[0];
  }
  h.tableOffset += h.paletteCount * entrySize;
  return std::nullopt;
}

base::Result<Decoded> decodeRle(std::span<const std::uint8_t> bytes, const Header& h) {
  const std::size_t size = bytes.size();
  if (h.dataOffset < kFileHeader + h.headerSize || h.dataOffset > size) return bad("bad pixel data offset");
  if (static_cast<std::uint64_t>(h.width) * static_cast<std::uint64_t>(h.height) >
      kRleFreePixels + (size - h.dataOffset) * kRlePixelsPerByte)
    return bad("pixel data truncated");
  Decoded decoded;
  decoded.image = Image(static_cast<std::int32_t>(h.width), static_cast<std::int32_t>(h.height));
  Image& image = decoded.image;
  // What the codes skip shows index 0, as in a reader that expands into zeroed indices.
  const auto colour = [&](std::uint32_t index, std::uint8_t* out) {
    if (index < h.paletteCount) std::memcpy(out, h.palette[index], 3);
    else std::memset(out, 0, 3);
    out[3] = 255;
  };
  for (std::int32_t y = 0; y < image.height; ++y)
    for (std::int32_t x = 0; x < image.width; ++x) colour(0, image.at(x, y));
  const auto put = [&](std::int64_t x, std::int64_t row, std::uint32_t index) {
    if (x >= h.width || row >= h.height) return;
    colour(index, image.at(static_cast<std::int32_t>(x), static_cast<std::int32_t>(h.topDown ? row : h.height - 1 - row)));
  };
  if (auto failure = expandRle(bytes.data() + h.dataOffset, bytes.data() + size, h.bpp, h.height, put))
    return bad(*failure);
  return decoded;
}

// One stored pixel at column x of a row as RGBA.
void convertPixel(const Header& h, const std::uint8_t* src, std::int64_t x, std::uint8_t* out) {
  const std::uint32_t bpp = h.bpp;
  switch (bpp) {
    case 1:
    case 4:
    case 8: {
      const std::uint64_t bit = static_cast<std::uint64_t>(x) * bpp;
      const std::uint32_t index = (src[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
      if (index < h.paletteCount) std::memcpy(out, h.palette[index], 3);  // else black
      out[3] = 255;
      break;
    }
    case 24:
      out[0] = src[x * 3 + 2];
      out[1] = src[x * 3 + 1];
      out[2] = src[x * 3];
      out[3] = 255;
      break;
    case 16:
    case 32: {
      const std::uint32_t pixel = bpp == 16 ? u16(src + x * 2) : u32(src + x * 4);
      if (!h.bitfields) {
        out[0] = src[x * 4 + 2];
        out[1] = src[x * 4 + 1];
        out[2] = src[x * 4];
        out[3] = src[x * 4 + 3];
      } else {
        for (int k = 0; k < 3; ++k) out[k] = h.fields[k].get(pixel);
        out[3] = h.fields[3].mask ? h.fields[3].get(pixel) : 255;
      }
      break;
    }
  }
}

// The pixel rows, each padded to 4 bytes; the last row's padding may be missing.
base::Result<Decoded> decodeRows(std::span<const std::uint8_t> bytes, const Header& h) {
  const std::size_t size = bytes.size();
  const std::uint64_t stride = ((static_cast<std::uint64_t>(h.width) * h.bpp + 31) / 32) * 4;
  const std::uint64_t lastRow = (static_cast<std::uint64_t>(h.width) * h.bpp + 7) / 8;
  const std::uint64_t needed = stride * static_cast<std::uint64_t>(h.height - 1) + lastRow;
  if (h.dataOffset < kFileHeader + h.headerSize || h.dataOffset > size) return bad("bad pixel data offset");
  if (needed > size - h.dataOffset) return bad("pixel data truncated");

  Decoded decoded;
  decoded.hasAlpha = h.bpp == 32 && (!h.bitfields || h.fields[3].mask != 0);
  auto blank = blankImage(static_cast<std::int32_t>(h.width), static_cast<std::int32_t>(h.height));
  if (!blank) return base::Error{blank.error()};
  decoded.image = std::move(*blank);
  for (std::int64_t row = 0; row < h.height; ++row) {
    const std::uint8_t* src = bytes.data() + h.dataOffset + row * stride;
    const std::int32_t y = static_cast<std::int32_t>(h.topDown ? row : h.height - 1 - row);
    std::uint8_t* out = decoded.image.at(0, y);
    for (std::int64_t x = 0; x < h.width; ++x, out += 4) convertPixel(h, src, x, out);
  }
  return decoded;
}

}  // namespace

base::Result<Decoded> decodeBmp(std::span<const std::uint8_t> bytes) {
  Header h;
  if (auto e = readSizes(bytes, h)) return *e;
  if (auto e = readFormat(bytes, h)) return *e;
  if (auto e = readPalette(bytes, h)) return *e;
  return h.rle() ? decodeRle(bytes, h) : decodeRows(bytes, h);
}

}  // namespace vorlane::platform
