// Malformed and hostile files: each gets a clear error, never a crash, a hang or a huge allocation.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/decode.h"
#include "support/fixtures.h"

namespace vorlane::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

void putLe32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v >> (8 * k));
}
void putLe16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void putBe32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v >> (24 - 8 * k));
}
void putBe16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v >> 8);
  b[at + 1] = static_cast<std::uint8_t>(v);
}
Bytes truncated(Bytes b, std::size_t n) {
  b.resize(n);
  return b;
}

struct Broken {
  std::string name;
  Bytes bytes;
  std::string message = "";  // a part of the expected error, when it matters
};

void expectRefused(const std::vector<Broken>& cases,
                   const std::function<base::Result<Decoded>(std::span<const std::uint8_t>)>& decode) {
  for (const Broken& c : cases) {
    SCOPED_TRACE(c.name);
    auto decoded = decode(c.bytes);
    ASSERT_FALSE(decoded);
    EXPECT_FALSE(decoded.error().empty());
    if (!c.message.empty()) {
      EXPECT_NE(decoded.error().find(c.message), std::string::npos) << decoded.error();
    }
    auto image = decodeImage(c.bytes);  // the dispatch passes the error on
    EXPECT_FALSE(image);
  }
}

// A 24-bit 4 × 3 BMP: 12-byte rows, so the last row has no padding to forgive.
Bytes validBmp() { return test::encodeBmp(test::patternImage(4, 3), 24); }

Bytes palettedBmp() {
  test::BmpLayout shape;
  shape.width = 8;
  shape.height = 2;
  shape.bitsPerPixel = 4;
  shape.palette.assign(16, 0x336699);
  shape.pixels.assign(16, 3);
  return test::encodeBmpRaw(shape);
}

template <typename F>
Bytes edited(Bytes b, F edit) {
  edit(b);
  return b;
}

TEST(BrokenFiles, Bmp) {
  const Bytes bmp = validBmp();
  const Bytes pal = palettedBmp();  // header 54, palette 64, pixels 8
  ASSERT_TRUE(decodeBmp(bmp));
  ASSERT_TRUE(decodeBmp(pal));
  std::vector<Broken> cases;
  for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{14}, std::size_t{17},
                        std::size_t{30}, std::size_t{53}, std::size_t{54}, bmp.size() / 2, bmp.size() - 1})
    cases.push_back({"truncated at " + std::to_string(n), truncated(bmp, n)});
  cases.push_back({"truncated in the palette", truncated(pal, 54 + 30), "palette"});
  cases.push_back({"truncated in the pixels", truncated(pal, pal.size() - 5), "pixel data"});
  auto add = [&](std::string name, const Bytes& base, std::function<void(Bytes&)> edit, std::string message = "") {
    cases.push_back({std::move(name), edited(base, edit), std::move(message)});
  };
  add("offset past the end", bmp, [](Bytes& b) { putLe32(b, 10, 0xFFFFFFF0u); }, "offset");
  add("offset one past the end", bmp, [](Bytes& b) { putLe32(b, 10, static_cast<std::uint32_t>(b.size() + 1)); });
  add("offset inside the header", bmp, [](Bytes& b) { putLe32(b, 10, 20); }, "offset");
  add("pixels pushed past the end", bmp, [](Bytes& b) { putLe32(b, 10, 60); }, "truncated");
  add("header size 0", bmp, [](Bytes& b) { putLe32(b, 14, 0); }, "header");
  add("header size 64", bmp, [](Bytes& b) { putLe32(b, 14, 64); }, "header");
  add("header size huge", bmp, [](Bytes& b) { putLe32(b, 14, 0xFFFFFFFFu); }, "header");
  add("header size 124 in a short file", bmp, [](Bytes& b) { putLe32(b, 14, 124); });
  add("width 0", bmp, [](Bytes& b) { putLe32(b, 18, 0); }, "size");
  add("height 0", bmp, [](Bytes& b) { putLe32(b, 22, 0); }, "size");
  add("negative width", bmp, [](Bytes& b) { putLe32(b, 18, static_cast<std::uint32_t>(-4)); }, "size");
  add("height INT32_MIN", bmp, [](Bytes& b) { putLe32(b, 22, 0x80000000u); }, "size");
  add("width above the cap", bmp, [](Bytes& b) { putLe32(b, 18, 16385); }, "size");
  add("top-down height above the cap", bmp, [](Bytes& b) { putLe32(b, 22, static_cast<std::uint32_t>(-16385)); });
  add("huge width", bmp, [](Bytes& b) { putLe32(b, 18, 0x7FFFFFFFu); }, "size");
  add("width x height overflowing 32 bits", bmp, [](Bytes& b) {
    putLe32(b, 18, 65536);
    putLe32(b, 22, 65536);
  });
  add("largest size with no pixels behind it", bmp, [](Bytes& b) {
    putLe32(b, 18, 16384);
    putLe32(b, 22, static_cast<std::uint32_t>(-16384));
  }, "pixel data");
  add("0 bits per pixel", bmp, [](Bytes& b) { putLe16(b, 28, 0); }, "bits per pixel");
  add("2 bits per pixel", bmp, [](Bytes& b) { putLe16(b, 28, 2); }, "bits per pixel");
  add("64 bits per pixel", bmp, [](Bytes& b) { putLe16(b, 28, 64); }, "bits per pixel");
  add("RLE8 at 24 bits", bmp, [](Bytes& b) { putLe32(b, 30, 1); }, "run-length coding needs 8 or 4 bits");
  add("embedded PNG", bmp, [](Bytes& b) { putLe32(b, 30, 5); }, "compression");
  add("compression 0xFFFFFFFF", bmp, [](Bytes& b) { putLe32(b, 30, 0xFFFFFFFFu); }, "compression");
  add("bit fields on 24 bits", bmp, [](Bytes& b) { putLe32(b, 30, 3); }, "bit fields");
  add("palette of 17 for 4 bits", pal, [](Bytes& b) { putLe32(b, 46, 17); }, "palette");
  add("palette of 2^32-1", pal, [](Bytes& b) { putLe32(b, 46, 0xFFFFFFFFu); }, "palette");
  add("palette of 256 for 8 bits in a short file", pal, [](Bytes& b) {
    putLe16(b, 28, 8);
    putLe32(b, 46, 256);
  }, "palette");

  test::BmpLayout fields;
  fields.width = 2;
  fields.height = 1;
  fields.bitsPerPixel = 16;
  fields.compression = 3;
  fields.masks = {0xF0F0, 0x0F00, 0x000F, 0};
  fields.pixels = {1, 2};
  cases.push_back({"non-contiguous mask", test::encodeBmpRaw(fields), "masks"});
  fields.masks = {0x1F0000, 0x07E0, 0x001F, 0};
  cases.push_back({"16-bit mask beyond 16 bits", test::encodeBmpRaw(fields), "masks"});
  fields.masks = {0xF800, 0x07E0, 0x001F, 0};
  cases.push_back({"masks cut off", truncated(test::encodeBmpRaw(fields), 60), "masks"});
  expectRefused(cases, decodeBmp);
}

// A PNG with a fixed IHDR: width and height set, the CRC recomputed so libpng reads on.
Bytes withIhdr(Bytes png, std::uint32_t width, std::uint32_t height, int bitDepth = -1, int colorType = -1) {
  putBe32(png, 16, width);
  putBe32(png, 20, height);
  if (bitDepth >= 0) png[24] = static_cast<std::uint8_t>(bitDepth);
  if (colorType >= 0) png[25] = static_cast<std::uint8_t>(colorType);
  putBe32(png, 29, static_cast<std::uint32_t>(crc32(0, png.data() + 12, 17)));
  return png;
}

// A chunk put right after IHDR, with its CRC.
Bytes withChunk(Bytes png, const char* type, const Bytes& data, std::uint32_t length) {
  Bytes chunk(8);
  putBe32(chunk, 0, length);
  std::memcpy(chunk.data() + 4, type, 4);
  chunk.insert(chunk.end(), data.begin(), data.end());
  chunk.resize(chunk.size() + 4);
  putBe32(chunk, chunk.size() - 4, static_cast<std::uint32_t>(crc32(0, chunk.data() + 4, static_cast<uInt>(4 + data.size()))));
  png.insert(png.begin() + 33, chunk.begin(), chunk.end());
  return png;
}

TEST(DecodePngChunks, TextAndProfilesAreSkipped) {
  const Bytes png = test::encodePng(test::patternImage(3, 2));
  const Bytes text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'h', 'i'};
  // zTXt and iCCP whose compressed data is garbage: never inflated, so never an error.
  const Bytes garbage = {'k', 0, 0, 0x12, 0x34, 0x56};
  for (const auto& [type, data] : {std::pair<const char*, Bytes>{"tEXt", text}, {"zTXt", garbage}, {"iCCP", garbage}}) {
    SCOPED_TRACE(type);
    auto decoded = decodePng(withChunk(png, type, data, static_cast<std::uint32_t>(data.size())));
    ASSERT_TRUE(decoded) << decoded.error();
    EXPECT_EQ(decoded->image.pixels, test::patternImage(3, 2).pixels);
  }
}

TEST(BrokenFiles, Png) {
  const Bytes png = test::encodePng(test::patternImage(6, 5));
  ASSERT_TRUE(decodePng(png));
  ASSERT_TRUE(decodePng(withIhdr(png, 6, 5)));
  std::vector<Broken> cases;
  for (std::size_t n : {std::size_t{0}, std::size_t{4}, std::size_t{8}, std::size_t{20}, std::size_t{33},
                        std::size_t{41}, png.size() / 2, png.size() - 12, png.size() - 1})
    cases.push_back({"truncated at " + std::to_string(n), truncated(png, n)});
  cases.push_back({"width 0", withIhdr(png, 0, 5)});
  cases.push_back({"height 0", withIhdr(png, 6, 0)});
  cases.push_back({"width above the cap", withIhdr(png, 16385, 5)});
  cases.push_back({"width 2^31", withIhdr(png, 0x80000000u, 5)});
  cases.push_back({"width x height overflowing 32 bits", withIhdr(png, 65536, 65536)});
  cases.push_back({"largest size with no pixels behind it", withIhdr(png, 16384, 16384), "pixel data"});
  cases.push_back({"larger than its pixel data", withIhdr(png, 6, 50)});
  cases.push_back({"bit depth 3", withIhdr(png, 6, 5, 3)});
  cases.push_back({"colour type 5", withIhdr(png, 6, 5, 8, 5)});
  cases.push_back({"palette without PLTE", withIhdr(png, 6, 5, 8, 3)});
  cases.push_back({"IHDR CRC wrong", edited(png, [](Bytes& b) { b[17] ^= 1; })});
  cases.push_back({"IDAT length huge", edited(png, [](Bytes& b) { putBe32(b, 33, 0x7FFFFFF0u); }), "past the end"});
  // fuzz_image: libpng sized a 1.9 GB buffer from this length in a 78-byte file.
  cases.push_back({"zTXt length past the end", truncated(withChunk(png, "zTXt", {'a', 0, 0}, 0x74000000u), 80),
                   "past the end"});
  cases.push_back({"no IEND", truncated(png, png.size() - 12), "truncated"});
  cases.push_back({"IDAT data damaged", edited(png, [](Bytes& b) {
                     for (std::size_t i = 43; i < 60 && i < b.size(); ++i) b[i] ^= 0x5A;
                   })});
  expectRefused(cases, decodePng);
}

// The offset of the first baseline SOF marker's height field.
std::size_t sofAt(const Bytes& jpeg) {
  for (std::size_t i = 2; i + 9 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) return i + 5;
  ADD_FAILURE() << "no SOF0";
  return 0;
}

TEST(BrokenFiles, Jpeg) {
  Image source(16, 16);
  for (int i = 0; i < 16 * 16 * 4; ++i) source.pixels[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 7);
  const Bytes jpeg = test::encodeJpeg(source);
  ASSERT_TRUE(decodeJpeg(jpeg));
  const std::size_t sof = sofAt(jpeg);
  std::vector<Broken> cases;
  for (std::size_t n : {std::size_t{2}, std::size_t{3}, std::size_t{20}, sof + 2, jpeg.size() / 2, jpeg.size() - 40,
                        jpeg.size() - 2})
    cases.push_back({"truncated at " + std::to_string(n), truncated(jpeg, n)});
  auto add = [&](std::string name, std::function<void(Bytes&)> edit, std::string message = "") {
    cases.push_back({std::move(name), edited(jpeg, edit), std::move(message)});
  };
  add("width 0", [&](Bytes& b) { putBe16(b, sof + 2, 0); });
  add("height 0", [&](Bytes& b) { putBe16(b, sof, 0); });
  add("65000 x 65000", [&](Bytes& b) {
    putBe16(b, sof, 65000);
    putBe16(b, sof + 2, 65000);
  }, "size");
  add("largest size with no pixels behind it", [&](Bytes& b) {
    putBe16(b, sof, 16384);
    putBe16(b, sof + 2, 16384);
  }, "pixel data");
  add("taller than its data", [&](Bytes& b) { putBe16(b, sof, 400); });
  add("0 components", [&](Bytes& b) { b[sof + 4] = 0; });
  add("2 components", [&](Bytes& b) { b[sof + 4] = 2; });
  add("sample precision 12", [&](Bytes& b) { b[sof - 1] = 12; });
  add("garbage after SOI", [](Bytes& b) {
    for (std::size_t i = 2; i < 40; ++i) b[i] = static_cast<std::uint8_t>(i * 37);
  });
  cases.push_back({"SOI alone", {0xFF, 0xD8, 0xFF, 0xD9}});
  expectRefused(cases, decodeJpeg);
}

// A progressive file whose first scan (DC, all components) is repeated: each repeat costs a
// pass over the image, so a small file could keep the decoder busy for ever. Past a few
// hundred scans it is refused.
TEST(BrokenFiles, JpegWithThousandsOfScans) {
  const Bytes jpeg = test::encodeJpeg(test::patternImage(16, 16), 3, 90, true);
  std::size_t first = 0;
  for (std::size_t i = 2; i + 1 < jpeg.size() && !first; ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) first = i;
  ASSERT_GT(first, 0u);
  // The scan runs to the next marker that is neither a stuffed 0xFF nor a restart marker.
  std::size_t end = first + 2 + (std::size_t{jpeg[first + 2]} << 8 | jpeg[first + 3]);
  while (end + 1 < jpeg.size() &&
         !(jpeg[end] == 0xFF && jpeg[end + 1] != 0x00 && (jpeg[end + 1] < 0xD0 || jpeg[end + 1] > 0xD7)))
    ++end;
  const Bytes scan(jpeg.begin() + static_cast<std::ptrdiff_t>(first), jpeg.begin() + static_cast<std::ptrdiff_t>(end));
  auto repeated = [&](int times) {
    Bytes b(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(end));
    for (int i = 0; i < times; ++i) b.insert(b.end(), scan.begin(), scan.end());
    b.insert(b.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(end), jpeg.end());
    return b;
  };
  auto few = decodeJpeg(repeated(10));
  EXPECT_TRUE(few) << few.error();  // a repeated scan alone is tolerated, as libjpeg does
  auto many = decodeJpeg(repeated(2000));
  ASSERT_FALSE(many);
  EXPECT_NE(many.error().find("too many scans"), std::string::npos) << many.error();
}

// Every byte of small valid files replaced in turn: each result is an image or an error.
TEST(BrokenFiles, EveryByteDamagedNeverCrashes) {
  test::BmpLayout pal;
  pal.width = 5;
  pal.height = -2;
  pal.bitsPerPixel = 8;
  pal.colorsUsed = 4;
  pal.palette = {0, 0xFF0000, 0x00FF00, 0x0000FF};
  pal.pixels = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1};
  const std::vector<Bytes> files = {validBmp(), test::encodeBmpRaw(pal), test::encodePng(test::patternImage(3, 3)),
                                    test::encodeJpeg(test::patternImage(8, 8), 3, 80),
                                    test::encodeJpeg(test::patternImage(9, 9), 1, 80, true)};
  for (std::size_t f = 0; f < files.size(); ++f) {
    for (std::size_t i = 0; i < files[f].size(); ++i) {
      for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}, static_cast<std::uint8_t>(files[f][i] ^ 0x81)}) {
        Bytes b = files[f];
        b[i] = value;
        auto image = decodeImage(b);
        if (image) {
          ASSERT_GT(image->width, 0);
          ASSERT_EQ(image->pixels.size(), static_cast<std::size_t>(image->width) * image->height * 4);
        } else {
          ASSERT_FALSE(image.error().empty()) << "file " << f << " byte " << i;
        }
      }
    }
  }
}

}  // namespace
}  // namespace vorlane::platform
