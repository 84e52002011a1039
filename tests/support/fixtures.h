#pragma once
// Small fixtures the tests make themselves: a temporary folder, and image files written
// with libpng, libjpeg and a tiny BMP writer.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/image.h"

namespace vorlane::test {

// A fresh folder removed with everything in it when the fixture dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readFile(const std::string& path);

// An image of w × h whose pixel (x, y) is (x * 16 + 1, y * 16 + 1, x + y + 1, 255 - x).
platform::Image patternImage(int w, int h);
// An image of w × h with every pixel set to one colour.
platform::Image solidImage(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255);

// A 24-bit (or 32-bit with alpha) bottom-up BMP of the image.
std::vector<std::uint8_t> encodeBmp(const platform::Image& image, int bitsPerPixel = 24);
// An RGBA (or RGB when withAlpha is false) 8-bit PNG of the image.
std::vector<std::uint8_t> encodePng(const platform::Image& image, bool withAlpha = true);

// Any PNG libpng can write: `data` holds the rows as the file stores them before
// filtering (packed samples, 16-bit samples big-endian), top to bottom.
struct PngLayout {
  int width = 1;
  int height = 1;
  int colorType = 2;  // PNG_COLOR_TYPE_*
  int bitDepth = 8;
  std::vector<std::uint8_t> data;
  std::vector<std::array<std::uint8_t, 3>> palette;  // RGB entries
  std::vector<std::uint8_t> paletteAlpha;            // tRNS for palette images
  bool transparentColor = false;                     // tRNS for grey / RGB images
  std::array<std::uint16_t, 3> transparent{};        // grey uses [0]
  bool interlaced = false;
};
std::vector<std::uint8_t> encodePngRaw(const PngLayout& shape);

// How a 4-component JPEG stores its four channels: as CMYK or converted to YCCK, with or
// without the Adobe marker (whose readers take the values as inverted).
struct CmykForm {
  bool ycck = false;
  bool adobeMarker = true;
};
// A baseline JPEG of the image: 3 components (RGB), 1 (channel 0 as grey) or 4 (CMYK
// from the four channels, stored as they are).
std::vector<std::uint8_t> encodeJpeg(const platform::Image& image, int components = 3, int quality = 95,
                                     bool progressive = false, CmykForm cmyk = {});

// Any uncompressed, bit-field or run-length coded BMP. `pixels` are listed top to bottom whatever the row
// order in the file: palette indices for 1/4/8 bits, 0xAARRGGBB for 24/32 bits without
// masks, the raw value for 16 bits and for bit fields.
struct BmpLayout {
  int headerSize = 40;  // 12, 40, 52, 56, 108 or 124
  std::int32_t width = 1;
  std::int32_t height = 1;  // negative: rows stored top-down
  int bitsPerPixel = 24;
  std::uint32_t compression = 0;
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB
  std::uint32_t colorsUsed = 0;        // written as is (0: the full palette)
  std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha
  std::vector<std::uint32_t> pixels;
  std::vector<std::uint8_t> runLengthCodes;  // written in place of the rows (compression 1 or 2)
};
std::vector<std::uint8_t> encodeBmpRaw(const BmpLayout& shape);

}  // namespace vorlane::test
