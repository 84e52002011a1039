#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <tuple>
#include <string>
#include <vector>

#include "platform/decode.h"
#include "platform/encode.h"
#include "support/fixtures.h"

namespace vorlane::platform {
namespace {

using Rgba = std::array<std::uint8_t, 4>;

std::vector<Rgba> pixelsOf(const Image& image) {
  std::vector<Rgba> out;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* p = image.at(x, y);
      out.push_back({p[0], p[1], p[2], p[3]});
    }
  return out;
}

// Rows of samples as a PNG stores them: MSB-first packing below 8 bits, big-endian at 16.
std::vector<std::uint8_t> pack(const std::vector<std::uint32_t>& samples, int bitDepth, int width, int height,
                               int channels) {
  std::vector<std::uint8_t> out;
  const std::size_t perRow = static_cast<std::size_t>(width * channels);
  for (int y = 0; y < height; ++y) {
    std::vector<std::uint8_t> row(bitDepth == 16 ? perRow * 2 : (perRow * static_cast<std::size_t>(bitDepth) + 7) / 8);
    for (std::size_t i = 0; i < perRow; ++i) {
      const std::uint32_t v = samples[static_cast<std::size_t>(y) * perRow + i];
      if (bitDepth == 16) {
        row[i * 2] = static_cast<std::uint8_t>(v >> 8);
        row[i * 2 + 1] = static_cast<std::uint8_t>(v);
      } else {
        const std::size_t bit = i * static_cast<std::size_t>(bitDepth);
        row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - bitDepth - static_cast<int>(bit % 8)));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

struct PngCase {
  std::string name;
  test::PngLayout shape;
  std::vector<std::uint32_t> samples;
  std::vector<Rgba> expected;
  bool hasAlpha;
};

std::vector<PngCase> pngCases() {
  std::vector<PngCase> cases;
  auto add = [&](std::string name, int colorType, int bitDepth, int channels, std::vector<std::uint32_t> samples,
                 std::vector<Rgba> expected, bool hasAlpha, auto&& tweak) {
    PngCase c{std::move(name), {}, std::move(samples), std::move(expected), hasAlpha};
    c.shape.width = 3;
    c.shape.height = 2;
    c.shape.colorType = colorType;
    c.shape.bitDepth = bitDepth;
    tweak(c.shape);
    c.shape.data = pack(c.samples, bitDepth, 3, 2, channels);
    cases.push_back(std::move(c));
  };
  auto none = [](test::PngLayout&) {};
  const std::vector<std::array<std::uint8_t, 3>> palette = {{10, 20, 30}, {200, 100, 50}, {0, 0, 0}, {255, 255, 255}};
  auto withPalette = [&](test::PngLayout& s) { s.palette = palette; };
  const std::vector<Rgba> fromPalette = {{10, 20, 30, 255},   {200, 100, 50, 255}, {0, 0, 0, 255},
                                         {255, 255, 255, 255}, {200, 100, 50, 255}, {10, 20, 30, 255}};
  for (int depth : {2, 4, 8})
    add("palette" + std::to_string(depth), PNG_COLOR_TYPE_PALETTE, depth, 1, {0, 1, 2, 3, 1, 0}, fromPalette, false,
        withPalette);
  add("palette1", PNG_COLOR_TYPE_PALETTE, 1, 1, {0, 1, 1, 0, 0, 1},
      {{10, 20, 30, 255}, {200, 100, 50, 255}, {200, 100, 50, 255}, {10, 20, 30, 255}, {10, 20, 30, 255},
       {200, 100, 50, 255}},
      false, [&](test::PngLayout& s) { s.palette = {palette[0], palette[1]}; });
  // tRNS shorter than the palette: later entries are opaque.
  add("palette tRNS", PNG_COLOR_TYPE_PALETTE, 8, 1, {0, 1, 2, 3, 1, 0},
      {{10, 20, 30, 0}, {200, 100, 50, 128}, {0, 0, 0, 255}, {255, 255, 255, 255}, {200, 100, 50, 128},
       {10, 20, 30, 0}},
      true, [&](test::PngLayout& s) {
        s.palette = palette;
        s.paletteAlpha = {0, 128};
      });
  add("grey1", PNG_COLOR_TYPE_GRAY, 1, 1, {0, 1, 1, 0, 1, 0},
      {{0, 0, 0, 255}, {255, 255, 255, 255}, {255, 255, 255, 255}, {0, 0, 0, 255}, {255, 255, 255, 255}, {0, 0, 0, 255}},
      false, none);
  add("grey2", PNG_COLOR_TYPE_GRAY, 2, 1, {0, 1, 2, 3, 0, 1},
      {{0, 0, 0, 255}, {85, 85, 85, 255}, {170, 170, 170, 255}, {255, 255, 255, 255}, {0, 0, 0, 255}, {85, 85, 85, 255}},
      false, none);
  add("grey4", PNG_COLOR_TYPE_GRAY, 4, 1, {0, 1, 7, 15, 14, 2},
      {{0, 0, 0, 255}, {17, 17, 17, 255}, {119, 119, 119, 255}, {255, 255, 255, 255}, {238, 238, 238, 255},
       {34, 34, 34, 255}},
      false, none);
  add("grey8", PNG_COLOR_TYPE_GRAY, 8, 1, {0, 1, 100, 200, 255, 7},
      {{0, 0, 0, 255}, {1, 1, 1, 255}, {100, 100, 100, 255}, {200, 200, 200, 255}, {255, 255, 255, 255}, {7, 7, 7, 255}},
      false, none);
  add("grey16", PNG_COLOR_TYPE_GRAY, 16, 1, {0, 257, 100 * 257, 200 * 257, 65535, 7 * 257},
      {{0, 0, 0, 255}, {1, 1, 1, 255}, {100, 100, 100, 255}, {200, 200, 200, 255}, {255, 255, 255, 255}, {7, 7, 7, 255}},
      false, none);
  add("grey8 tRNS", PNG_COLOR_TYPE_GRAY, 8, 1, {0, 1, 100, 200, 100, 7},
      {{0, 0, 0, 255}, {1, 1, 1, 255}, {100, 100, 100, 0}, {200, 200, 200, 255}, {100, 100, 100, 0}, {7, 7, 7, 255}},
      true, [](test::PngLayout& s) {
        s.transparentColor = true;
        s.transparent = {100, 0, 0};
      });
  add("grey16 tRNS", PNG_COLOR_TYPE_GRAY, 16, 1, {0, 257, 1000, 200 * 257, 65535, 1000},
      {{0, 0, 0, 255}, {1, 1, 1, 255}, {4, 4, 4, 0}, {200, 200, 200, 255}, {255, 255, 255, 255}, {4, 4, 4, 0}}, true,
      [](test::PngLayout& s) {
        s.transparentColor = true;
        s.transparent = {1000, 0, 0};
      });
  add("grey alpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, 2, {0, 0, 50, 255, 100, 128, 150, 1, 200, 20, 255, 255},
      {{0, 0, 0, 0}, {50, 50, 50, 255}, {100, 100, 100, 128}, {150, 150, 150, 1}, {200, 200, 200, 20},
       {255, 255, 255, 255}},
      true, none);
  add("grey alpha16", PNG_COLOR_TYPE_GRAY_ALPHA, 16, 2,
      {0, 0, 50 * 257, 65535, 100 * 257, 128 * 257, 150 * 257, 257, 200 * 257, 20 * 257, 65535, 65535},
      {{0, 0, 0, 0}, {50, 50, 50, 255}, {100, 100, 100, 128}, {150, 150, 150, 1}, {200, 200, 200, 20},
       {255, 255, 255, 255}},
      true, none);
  const std::vector<std::uint32_t> rgb8 = {1, 2, 3, 40, 50, 60, 0, 0, 0, 255, 254, 253, 7, 8, 9, 40, 50, 60};
  const std::vector<Rgba> rgbOut = {{1, 2, 3, 255},       {40, 50, 60, 255}, {0, 0, 0, 255},
                                    {255, 254, 253, 255}, {7, 8, 9, 255},    {40, 50, 60, 255}};
  add("rgb8", PNG_COLOR_TYPE_RGB, 8, 3, rgb8, rgbOut, false, none);
  std::vector<std::uint32_t> rgb16;
  for (auto v : rgb8) rgb16.push_back(v * 257);
  add("rgb16", PNG_COLOR_TYPE_RGB, 16, 3, rgb16, rgbOut, false, none);
  add("rgb8 tRNS", PNG_COLOR_TYPE_RGB, 8, 3, rgb8,
      {{1, 2, 3, 255}, {40, 50, 60, 0}, {0, 0, 0, 255}, {255, 254, 253, 255}, {7, 8, 9, 255}, {40, 50, 60, 0}}, true,
      [](test::PngLayout& s) {
        s.transparentColor = true;
        s.transparent = {40, 50, 60};
      });
  add("rgb16 tRNS", PNG_COLOR_TYPE_RGB, 16, 3, rgb16,
      {{1, 2, 3, 255}, {40, 50, 60, 0}, {0, 0, 0, 255}, {255, 254, 253, 255}, {7, 8, 9, 255}, {40, 50, 60, 0}}, true,
      [](test::PngLayout& s) {
        s.transparentColor = true;
        s.transparent = {40 * 257, 50 * 257, 60 * 257};
      });
  const std::vector<std::uint32_t> rgba8 = {1, 2, 3, 4, 40, 50, 60, 0, 0, 0, 0, 255, 255, 254, 253, 128, 7, 8, 9, 255, 0, 0, 0, 0};
  const std::vector<Rgba> rgbaOut = {{1, 2, 3, 4},         {40, 50, 60, 0}, {0, 0, 0, 255},
                                     {255, 254, 253, 128}, {7, 8, 9, 255},  {0, 0, 0, 0}};
  add("rgba8", PNG_COLOR_TYPE_RGBA, 8, 4, rgba8, rgbaOut, true, none);
  std::vector<std::uint32_t> rgba16;
  for (auto v : rgba8) rgba16.push_back(v * 257);
  add("rgba16", PNG_COLOR_TYPE_RGBA, 16, 4, rgba16, rgbaOut, true, none);
  add("rgba8 interlaced", PNG_COLOR_TYPE_RGBA, 8, 4, rgba8, rgbaOut, true,
      [](test::PngLayout& s) { s.interlaced = true; });
  return cases;
}

TEST(DecodePng, EveryColourTypeAndBitDepth) {
  for (const PngCase& c : pngCases()) {
    SCOPED_TRACE(c.name);
    auto decoded = decodePng(test::encodePngRaw(c.shape));
    ASSERT_TRUE(decoded) << decoded.error();
    EXPECT_EQ(decoded->image.width, 3);
    EXPECT_EQ(decoded->image.height, 2);
    EXPECT_EQ(decoded->hasAlpha, c.hasAlpha);
    EXPECT_EQ(pixelsOf(decoded->image), c.expected);
  }
}

TEST(DecodePng, LargerInterlacedImageMatchesTheSource) {
  const Image source = test::patternImage(13, 11);
  test::PngLayout shape;
  shape.width = 13;
  shape.height = 11;
  shape.colorType = PNG_COLOR_TYPE_RGBA;
  shape.interlaced = true;
  shape.data = source.pixels;
  auto decoded = decodePng(test::encodePngRaw(shape));
  ASSERT_TRUE(decoded) << decoded.error();
  EXPECT_EQ(decoded->image.pixels, source.pixels);
}

// Bands are drawn on another thread while the previous one is compressed: every row must still
// land in its place, and a band that fails must fail the whole picture.
TEST(EncodePngRows, BandsArriveInOrderAndAFailingBandFailsThePicture) {
  const std::int32_t width = 5, height = 200;  // four bands, the last one short
  auto draw = [&](std::int32_t first, std::int32_t count, std::uint8_t* rgb) {
    for (std::int32_t y = first; y < first + count; ++y)
      for (std::int32_t x = 0; x < width; ++x, rgb += 3) rgb[0] = std::uint8_t(y), rgb[1] = std::uint8_t(x), rgb[2] = 7;
  };
  base::ByteWriter out;
  encodePngRows(width, height, draw, out);
  auto decoded = decodePng(out.data());
  ASSERT_TRUE(decoded) << decoded.error();
  ASSERT_EQ(decoded->image.height, height);
  for (std::int32_t y = 0; y < height; ++y)
    for (std::int32_t x = 0; x < width; ++x)
      ASSERT_EQ(decoded->image.at(x, y)[0] + 256 * decoded->image.at(x, y)[1], y + 256 * x) << x << "," << y;

  base::ByteWriter refused;
  auto failing = [&](std::int32_t first, std::int32_t count, std::uint8_t* rgb) {
    if (first >= 128) throw std::bad_alloc();
    draw(first, count, rgb);
  };
  EXPECT_THROW(encodePngRows(width, height, failing, refused), std::bad_alloc);
}

// Mean absolute difference over the colour channels.
double meanError(const Image& a, const Image& b, bool grey) {
  double sum = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      for (int k = 0; k < 3; ++k) sum += std::abs(int(a.at(x, y)[k]) - int(b.at(x, y)[grey ? 0 : k]));
  return sum / (a.width * a.height * 3);
}

Image smoothImage(int w, int h) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = img.at(x, y);
      p[0] = static_cast<std::uint8_t>(40 + x * 8);
      p[1] = static_cast<std::uint8_t>(200 - y * 6);
      p[2] = static_cast<std::uint8_t>(100 + (x + y) * 2);
      p[3] = 255;
    }
  return img;
}

TEST(DecodeJpeg, GreyAndColourWithinTolerance) {
  const Image source = smoothImage(24, 17);
  struct Case {
    const char* name;
    int components;
    bool progressive;
  };
  for (const Case& c : {Case{"colour", 3, false}, Case{"grey", 1, false}, Case{"colour progressive", 3, true},
                        Case{"grey progressive", 1, true}}) {
    SCOPED_TRACE(c.name);
    auto decoded = decodeJpeg(test::encodeJpeg(source, c.components, 95, c.progressive));
    ASSERT_TRUE(decoded) << decoded.error();
    EXPECT_FALSE(decoded->hasAlpha);
    ASSERT_EQ(decoded->image.width, 24);
    ASSERT_EQ(decoded->image.height, 17);
    EXPECT_LT(meanError(decoded->image, source, c.components == 1), 3.0);
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < 24; ++x) {
        const std::uint8_t* p = decoded->image.at(x, y);
        ASSERT_EQ(p[3], 255);
        if (c.components == 1) {
          ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]);
        }
        for (int k = 0; k < 3; ++k) ASSERT_NEAR(p[k], source.at(x, y)[c.components == 1 ? 0 : k], 12);
      }
  }
}

// What print tools write. Adobe's files (always with their marker, CMYK or YCCK) hold every
// channel inverted; a file without the marker holds the ink itself.
TEST(DecodeJpeg, CmykAndYcckBecomeRgb) {
  const Image source = smoothImage(16, 12);
  const auto stored = [&](auto channel) {
    Image img = source;
    for (int y = 0; y < img.height; ++y)
      for (int x = 0; x < img.width; ++x)
        for (int k = 0; k < 4; ++k) img.at(x, y)[k] = channel(source.at(x, y), k);
    return img;
  };
  // Inverted: the colour itself, with K at 255 (no black ink) or 128 (half the light).
  const Image adobe = stored([](const std::uint8_t* p, int k) { return k < 3 ? p[k] : std::uint8_t{255}; });
  const Image adobeDark = stored([](const std::uint8_t* p, int k) { return k < 3 ? p[k] : std::uint8_t{128}; });
  const Image ink = stored([](const std::uint8_t* p, int k) { return static_cast<std::uint8_t>(k < 3 ? 255 - p[k] : 0); });
  struct Case {
    const char* name;
    const Image& stored;
    test::CmykForm form;
    int lightOf255;  // the expected colour is source × this / 255
  };
  const Case cases[] = {
      {"Adobe CMYK", adobe, {false, true}, 255},
      {"Adobe CMYK with black", adobeDark, {false, true}, 128},
      {"Adobe YCCK", adobe, {true, true}, 255},
      {"plain CMYK", ink, {false, false}, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto decoded = decodeJpeg(test::encodeJpeg(c.stored, 4, 95, false, c.form));
    ASSERT_TRUE(decoded) << decoded.error();
    EXPECT_FALSE(decoded->hasAlpha);
    ASSERT_EQ(decoded->image.width, 16);
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 16; ++x) {
        const std::uint8_t* p = decoded->image.at(x, y);
        ASSERT_EQ(p[3], 255);
        for (int k = 0; k < 3; ++k) ASSERT_NEAR(p[k], source.at(x, y)[k] * c.lightOf255 / 255, 12) << x << "," << y;
      }
  }
}

struct BmpCase {
  std::string name;
  test::BmpLayout shape;
  std::vector<Rgba> expected;
  bool hasAlpha;
};

std::vector<BmpCase> bmpCases() {
  std::vector<BmpCase> cases;
  // 5 × 3 leaves row padding at every depth below 32 bits.
  const int w = 5, h = 3;
  const std::vector<std::uint32_t> palette16 = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0x102030, 0x405060,
                                                0x708090, 0xA0B0C0, 0xD0E0F0, 0x111111, 0x222222, 0x333333,
                                                0x444444, 0x555555, 0x666666, 0xFEDCBA};
  auto rgbOf = [](std::uint32_t c, std::uint8_t a = 255) {
    return Rgba{static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c), a};
  };
  for (int depth : {1, 4, 8}) {
    for (int headerSize : {12, 40, 124}) {
      for (bool topDown : {false, true}) {
        if (headerSize == 12 && topDown) continue;  // core headers have unsigned heights
        BmpCase c;
        c.name = std::to_string(depth) + "bpp header " + std::to_string(headerSize) + (topDown ? " top-down" : "");
        c.shape.headerSize = headerSize;
        c.shape.width = w;
        c.shape.height = topDown ? -h : h;
        c.shape.bitsPerPixel = depth;
        const std::uint32_t colors = depth == 1 ? 2 : 16;
        c.shape.palette.assign(palette16.begin(), palette16.begin() + colors);
        if (depth == 8 && headerSize != 12) c.shape.colorsUsed = colors;  // a short palette
        if (depth == 8 && headerSize == 12) c.shape.palette.resize(256, 0);  // core headers have no count
        for (int i = 0; i < w * h; ++i) {
          const std::uint32_t index = static_cast<std::uint32_t>(i * 7 + 3) % colors;
          c.shape.pixels.push_back(index);
          c.expected.push_back(rgbOf(palette16[index]));
        }
        c.hasAlpha = false;
        cases.push_back(std::move(c));
      }
    }
  }
  for (int depth : {24, 32}) {
    for (int headerSize : {12, 40, 52, 56, 108, 124}) {
      for (bool topDown : {false, true}) {
        if (headerSize == 12 && (topDown || depth == 32)) continue;
        BmpCase c;
        c.name = std::to_string(depth) + "bpp header " + std::to_string(headerSize) + (topDown ? " top-down" : "");
        c.shape.headerSize = headerSize;
        c.shape.width = w;
        c.shape.height = topDown ? -h : h;
        c.shape.bitsPerPixel = depth;
        for (int i = 0; i < w * h; ++i) {
          const std::uint32_t rgb = static_cast<std::uint32_t>(i * 0x0B1713 + 0x010203) & 0xFFFFFF;
          const std::uint8_t alpha = static_cast<std::uint8_t>(i * 17);
          c.shape.pixels.push_back(rgb | (static_cast<std::uint32_t>(alpha) << 24));
          c.expected.push_back(rgbOf(rgb, depth == 32 ? alpha : 255));
        }
        c.hasAlpha = depth == 32;
        cases.push_back(std::move(c));
      }
    }
  }
  {
    BmpCase c;
    c.name = "16bpp 5-5-5";
    c.shape.width = w;
    c.shape.height = h;
    c.shape.bitsPerPixel = 16;
    for (int i = 0; i < w * h; ++i) {
      const std::uint32_t r = static_cast<std::uint32_t>(i) % 32, g = 31 - r, b = (r * 3) % 32;
      c.shape.pixels.push_back(r << 10 | g << 5 | b);
      c.expected.push_back({static_cast<std::uint8_t>((r * 255 + 15) / 31), static_cast<std::uint8_t>((g * 255 + 15) / 31),
                            static_cast<std::uint8_t>((b * 255 + 15) / 31), 255});
    }
    c.hasAlpha = false;
    cases.push_back(std::move(c));
  }
  for (int headerSize : {40, 56}) {
    BmpCase c;
    c.name = "16bpp bit fields 5-6-5 header " + std::to_string(headerSize);
    c.shape.headerSize = headerSize;
    c.shape.width = w;
    c.shape.height = -h;
    c.shape.bitsPerPixel = 16;
    c.shape.compression = 3;
    c.shape.masks = {0xF800, 0x07E0, 0x001F, 0};
    for (int i = 0; i < w * h; ++i) {
      const std::uint32_t r = static_cast<std::uint32_t>(i) % 32, g = (63 - r * 2) % 64, b = (r * 5) % 32;
      c.shape.pixels.push_back(r << 11 | g << 5 | b);
      c.expected.push_back({static_cast<std::uint8_t>((r * 255 + 15) / 31), static_cast<std::uint8_t>((g * 255 + 31) / 63),
                            static_cast<std::uint8_t>((b * 255 + 15) / 31), 255});
    }
    c.hasAlpha = false;
    cases.push_back(std::move(c));
  }
  for (int headerSize : {40, 108}) {
    for (bool alphaMask : {false, true}) {
      BmpCase c;
      c.name = "32bpp bit fields header " + std::to_string(headerSize) + (alphaMask ? " with alpha" : "");
      if (alphaMask && headerSize == 40) {
        c.shape.compression = 6;  // BI_ALPHABITFIELDS carries the alpha mask after a 40-byte header
      } else {
        c.shape.compression = 3;
      }
      c.shape.headerSize = headerSize;
      c.shape.width = w;
      c.shape.height = h;
      c.shape.bitsPerPixel = 32;
      // Channels in an unusual order: red in the low byte, alpha in the second.
      c.shape.masks = {0x000000FF, 0xFF000000, 0x00FF0000, alphaMask ? 0x0000FF00u : 0u};
      for (int i = 0; i < w * h; ++i) {
        const std::uint8_t r = static_cast<std::uint8_t>(i * 11), g = static_cast<std::uint8_t>(i * 13 + 1),
                           b = static_cast<std::uint8_t>(250 - i), a = static_cast<std::uint8_t>(i * 16);
        c.shape.pixels.push_back(std::uint32_t{r} | std::uint32_t{a} << 8 | std::uint32_t{b} << 16 |
                                std::uint32_t{g} << 24);
        c.expected.push_back({r, g, b, alphaMask ? a : std::uint8_t{255}});
      }
      c.hasAlpha = alphaMask;
      cases.push_back(std::move(c));
    }
  }
  return cases;
}

TEST(DecodeBmp, DepthsHeadersAndRowOrders) {
  for (const BmpCase& c : bmpCases()) {
    SCOPED_TRACE(c.name);
    auto decoded = decodeBmp(test::encodeBmpRaw(c.shape));
    ASSERT_TRUE(decoded) << decoded.error();
    EXPECT_EQ(decoded->image.width, 5);
    EXPECT_EQ(decoded->image.height, 3);
    EXPECT_EQ(decoded->hasAlpha, c.hasAlpha);
    EXPECT_EQ(pixelsOf(decoded->image), c.expected);
  }
}

TEST(DecodeBmp, LastRowWithoutPaddingAndIndexBeyondPalette) {
  test::BmpLayout shape;
  shape.width = 3;
  shape.height = 2;
  shape.bitsPerPixel = 8;
  shape.colorsUsed = 2;
  shape.palette = {0x112233, 0x445566};
  shape.pixels = {0, 1, 7, 1, 0, 1};
  auto bytes = test::encodeBmpRaw(shape);
  bytes.pop_back();  // the top row comes last; its single padding byte is missing
  auto decoded = decodeBmp(bytes);
  ASSERT_TRUE(decoded) << decoded.error();
  EXPECT_EQ(pixelsOf(decoded->image), (std::vector<Rgba>{{0x11, 0x22, 0x33, 255},
                                                         {0x44, 0x55, 0x66, 255},
                                                         {0, 0, 0, 255},
                                                         {0x44, 0x55, 0x66, 255},
                                                         {0x11, 0x22, 0x33, 255},
                                                         {0x44, 0x55, 0x66, 255}}));
}

// Palette BMPs as ImageMagick writes them by default: runs, literal indices padded to 16
// bits, deltas, ends of line and of bitmap; what the codes skip shows index 0.
TEST(DecodeBmp, RunLengthCodedPaletteImages) {
  const auto colourOf = [](std::uint32_t i) { return 0x100000u * i + 0x000F00u * (15 - i) + i; };
  std::vector<std::uint32_t> palette;
  for (std::uint32_t i = 0; i < 16; ++i) palette.push_back(colourOf(i));
  struct Case {
    const char* name;
    int bitsPerPixel;
    std::int32_t height;  // negative: top row first
    std::vector<std::uint8_t> codes;
    std::vector<std::uint32_t> indices;  // top row first, 5 a row
  };
  const Case cases[] = {
      {"RLE8 runs, literals, a delta", 8, 3,
       {3, 1, 2, 2, 0, 0,                 // bottom row: 1 1 1 2 2, end of line
        0, 3, 4, 5, 6, 0, 2, 7, 0, 0,     // 3 literals and their padding, then 7 7
        1, 3, 0, 2, 2, 0, 2, 8, 0, 1},    // 3, skip 2, 8 8, end of bitmap
       {3, 0, 0, 8, 8, 4, 5, 6, 7, 7, 1, 1, 1, 2, 2}},
      {"RLE8 a run past the row's end, a delta down, an early end", 8, 3,
       {7, 9, 0, 0, 0, 2, 1, 0, 2, 5, 0, 2, 0, 1, 1, 6, 0, 1},
       {0, 0, 0, 6, 0, 0, 5, 5, 0, 0, 9, 9, 9, 9, 9}},
      {"RLE4 nibble runs and literals", 4, 2,
       {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 2, 0x67, 0, 1},
       {3, 4, 5, 6, 7, 1, 2, 1, 2, 1}},
      {"RLE8 top-down", 8, -2, {5, 3, 0, 0, 5, 4, 0, 1}, {3, 3, 3, 3, 3, 4, 4, 4, 4, 4}},
      {"RLE8 the last row ends the data without an end code", 8, 1, {5, 2, 0, 0}, {2, 2, 2, 2, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::BmpLayout shape;
    shape.width = 5;
    shape.height = c.height;
    shape.bitsPerPixel = c.bitsPerPixel;
    shape.compression = c.bitsPerPixel == 8 ? 1 : 2;
    shape.palette = palette;
    shape.colorsUsed = 16;
    shape.runLengthCodes = c.codes;
    auto decoded = decodeBmp(test::encodeBmpRaw(shape));
    ASSERT_TRUE(decoded) << decoded.error();
    EXPECT_FALSE(decoded->hasAlpha);
    std::vector<Rgba> expected;
    for (std::uint32_t i : c.indices) {
      const std::uint32_t rgb = colourOf(i);
      expected.push_back({static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                          static_cast<std::uint8_t>(rgb), 255});
    }
    EXPECT_EQ(pixelsOf(decoded->image), expected);
  }
}

TEST(DecodeBmp, BrokenRunLengthCodesAreRefused) {
  struct Case {
    const char* name;
    int bitsPerPixel, compression;
    std::int32_t width;
    std::vector<std::uint8_t> codes;
    const char* error;
  };
  const Case cases[] = {
      {"rows missing", 8, 1, 5, {3, 1}, "pixel data truncated"},
      {"literals cut short", 8, 1, 5, {0, 5, 1, 2}, "pixel data truncated"},
      {"a delta cut short", 4, 2, 5, {0, 2, 1}, "pixel data truncated"},
      {"RLE8 at 4 bits", 4, 1, 5, {0, 1}, "run-length coding needs 8 or 4 bits per pixel"},
      {"RLE4 at 8 bits", 8, 2, 5, {0, 1}, "run-length coding needs 8 or 4 bits per pixel"},
      {"a huge image from a few bytes", 8, 1, 16384, {0, 1}, "pixel data truncated"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::BmpLayout shape;
    shape.width = c.width;
    shape.height = c.width == 5 ? 2 : 16384;
    shape.bitsPerPixel = c.bitsPerPixel;
    shape.compression = static_cast<std::uint32_t>(c.compression);
    shape.palette = {0x112233, 0x445566};
    shape.colorsUsed = 2;
    shape.runLengthCodes = c.codes;
    auto decoded = decodeBmp(test::encodeBmpRaw(shape));
    ASSERT_FALSE(decoded);
    EXPECT_EQ(decoded.error(), std::string("Invalid BMP file: ") + c.error + ".");
  }
}

TEST(DecodeBmp, ExistingWriterRoundTrips) {
  const Image source = test::patternImage(7, 4);
  auto decoded24 = decodeBmp(test::encodeBmp(source, 24));
  ASSERT_TRUE(decoded24) << decoded24.error();
  auto decoded32 = decodeBmp(test::encodeBmp(source, 32));
  ASSERT_TRUE(decoded32) << decoded32.error();
  EXPECT_EQ(decoded32->image.pixels, source.pixels);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 7; ++x) {
      EXPECT_EQ(0, std::memcmp(decoded24->image.at(x, y), source.at(x, y), 3));
      EXPECT_EQ(decoded24->image.at(x, y)[3], 255);
    }
}

// 3 × 3 with black pixels at the corners and the centre; the rule reads the original colours.
Image crossImage() {
  Image img(3, 3);
  const std::uint8_t colours[9][3] = {{0, 0, 0},   {10, 20, 30}, {0, 0, 0},   {40, 50, 60}, {0, 0, 0},
                                      {70, 80, 91}, {0, 0, 0},    {100, 1, 2}, {0, 0, 0}};
  for (int i = 0; i < 9; ++i) {
    std::uint8_t* p = img.at(i % 3, i / 3);
    p[0] = colours[i][0], p[1] = colours[i][1], p[2] = colours[i][2], p[3] = 255;
  }
  return img;
}

const std::vector<Rgba> kCrossAfterRule = {
    {25, 35, 45, 0},   {10, 20, 30, 255}, {40, 50, 60, 0},  // (10+40)/2, (10+70)/2 ...
    {40, 50, 60, 255}, {55, 37, 45, 0},   {70, 80, 91, 255},  // centre: mean of the four edges
    {70, 25, 31, 0},   {100, 1, 2, 255},  {85, 40, 46, 0}};

TEST(BlackToTransparent, FilesWithoutAlphaGetTheRule) {
  const Image cross = crossImage();
  test::PngLayout png;
  png.width = png.height = 3;
  png.colorType = PNG_COLOR_TYPE_RGB;
  for (int i = 0; i < 9; ++i)
    for (int k = 0; k < 3; ++k) png.data.push_back(cross.pixels[static_cast<std::size_t>(i * 4 + k)]);
  for (const auto& [name, bytes] : {std::pair<std::string, std::vector<std::uint8_t>>{"bmp24", test::encodeBmp(cross)},
                                    {"png rgb", test::encodePngRaw(png)}}) {
    SCOPED_TRACE(name);
    auto image = decodeImage(bytes);
    ASSERT_TRUE(image) << image.error();
    EXPECT_EQ(pixelsOf(*image), kCrossAfterRule);
  }
}

TEST(BlackToTransparent, BlackStaysWithoutNonBlackNeighbours) {
  auto image = decodeImage(test::encodeBmp(test::solidImage(2, 2, 0, 0, 0)));
  ASSERT_TRUE(image) << image.error();
  EXPECT_EQ(pixelsOf(*image), std::vector<Rgba>(4, Rgba{0, 0, 0, 0}));
}

TEST(BlackToTransparent, FilesWithAlphaKeepTheirs) {
  Image source = crossImage();
  source.at(0, 0)[3] = 200;
  source.at(1, 1)[3] = 7;
  test::PngLayout palette;
  palette.width = palette.height = 2;
  palette.colorType = PNG_COLOR_TYPE_PALETTE;
  palette.palette = {{0, 0, 0}, {9, 9, 9}};
  palette.paletteAlpha = {255, 255};
  palette.bitDepth = 1;
  palette.data = {0x00, 0x40};  // rows 0 0 and 0 1
  for (const auto& [name, bytes, expected] :
       {std::tuple<std::string, std::vector<std::uint8_t>, std::vector<Rgba>>{
            "png rgba", test::encodePng(source), pixelsOf(source)},
        {"bmp32", test::encodeBmp(source, 32), pixelsOf(source)},
        {"palette with tRNS", test::encodePngRaw(palette),
         {{0, 0, 0, 255}, {0, 0, 0, 255}, {0, 0, 0, 255}, {9, 9, 9, 255}}}}) {
    SCOPED_TRACE(name);
    auto image = decodeImage(bytes);
    ASSERT_TRUE(image) << image.error();
    EXPECT_EQ(pixelsOf(*image), expected);
  }
}

TEST(DecodeImage, DispatchesByContentAndRefusesOthers) {
  const Image source = smoothImage(4, 4);
  EXPECT_TRUE(decodeImage(test::encodeJpeg(source)));
  EXPECT_TRUE(decodeImage(test::encodePng(source)));
  EXPECT_TRUE(decodeImage(test::encodeBmp(source)));
  for (const std::vector<std::uint8_t>& bytes :
       {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>{'G', 'I', 'F', '8', '9', 'a'},
        std::vector<std::uint8_t>{'B'}, std::vector<std::uint8_t>{0xFF}}) {
    auto image = decodeImage(bytes);
    ASSERT_FALSE(image);
    EXPECT_FALSE(image.error().empty());
  }
}

}  // namespace
}  // namespace vorlane::platform
