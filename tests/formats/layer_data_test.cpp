// Tile layer data in every encoding, against bytes other programs wrote (Python's zlib and
// gzip, the zstd command), and data that must be refused.
#include <gtest/gtest.h>

#include <vector>

#include "formats/layer_data.h"

namespace vorlane::formats {
namespace {

const std::vector<std::uint32_t> kGids = {1, 2, 3, 4, 0, 0x80000001u, 7};

TEST(LayerData, DecodesWhatOtherProgramsWrote) {
  struct Case {
    Encoding encoding;
    const char* text;
  };
  const Case cases[] = {
      {Encoding::csv, "1,2,3,\n4,0,2147483649,\n7\n"},
      {Encoding::csv, " 1, 2,3,4 ,0,2147483649,7,"},
      {Encoding::base64, "\n   AQAAAAIAAAADAAAABAAAAAAAAAABAACABwAAAA==\n  "},
      {Encoding::zlib, "eJxjZGBgYAJiZiBmYYAARgaGBnYgDQADiACT"},
      {Encoding::gzip, "H4sIAAAAAAACA2NkYGBgAmJmIGZhgABGBoYGdiANAAPP/cMcAAAA"},
      {Encoding::zstd, "KLUv/SQc4QAAAQAAAAIAAAADAAAABAAAAAAAAAABAACABwAAAIHU610="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::uint32_t> out(kGids.size());
    auto status = decodeGids(c.text, c.encoding, out);
    ASSERT_TRUE(status) << status.error();
    EXPECT_EQ(out, kGids);
  }
}

TEST(LayerData, EveryEncodingReadsBackWhatItWrote) {
  std::vector<std::uint32_t> gids(5000);
  for (std::size_t i = 0; i < gids.size(); ++i) gids[i] = static_cast<std::uint32_t>(i * 2654435761u % 1000);
  for (Encoding e : {Encoding::csv, Encoding::base64, Encoding::zlib, Encoding::gzip, Encoding::zstd}) {
    SCOPED_TRACE(std::string(encodingName(e)));
    std::string text;
    encodeGids(gids, 50, e, text);
    std::vector<std::uint32_t> out(gids.size());
    ASSERT_TRUE(decodeGids(text, e, out));
    EXPECT_EQ(out, gids);
  }
}

TEST(LayerData, MalformedDataIsRefused) {
  std::string zeros;  // 4 MiB of zeros, for 7 GIDs
  encodeGids(std::vector<std::uint32_t>(1 << 20, 0), 0, Encoding::gzip, zeros);
  struct Case {
    Encoding encoding;
    std::string text;
    const char* error;
  };
  const Case cases[] = {
      {Encoding::csv, "1,2,3", "does not hold exactly 7"},
      {Encoding::csv, "1,2,3,4,5,6,7,8", "does not hold exactly 7"},
      {Encoding::csv, "1,2,,3,4,5,6,7", "not a list of numbers"},
      {Encoding::csv, "1,2,-3,4,5,6,7", "not a list of numbers"},
      {Encoding::csv, "1,2,4294967296,4,5,6,7", "larger than 4294967295"},
      {Encoding::base64, "AQAAAAIAAAADAAAABAAAAAAAAAABAACA", "does not hold exactly 7"},
      {Encoding::base64, "AQAA=AAI", "not valid base64"},
      {Encoding::zlib, "H4sIAAAAAAACA2NkYGBgAmJmIGZhgABGBoYGdiANAAPP/cMcAAAA", "not valid zlib"},
      {Encoding::zlib, "eJxjZGBgYAJiZiBmYYAARgaGBnYgDQAD", "not valid zlib"},  // cut short
      {Encoding::gzip, zeros, "inflates to more than"},
      {Encoding::zstd, "KLUv/SQc4QAAAQAAAAIAAAADAAAABAAAAAAAAAABAAC", "not valid zstd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 60));
    std::vector<std::uint32_t> out(kGids.size());
    auto status = decodeGids(c.text, c.encoding, out);
    ASSERT_FALSE(status);
    EXPECT_NE(status.error().find(c.error), std::string::npos) << status.error();
  }
}

TEST(LayerData, EncodingNames) {
  EXPECT_EQ(encodingOf("csv", ""), Encoding::csv);
  EXPECT_EQ(encodingOf("base64", ""), Encoding::base64);
  EXPECT_EQ(encodingOf("base64", "zstd"), Encoding::zstd);
  EXPECT_EQ(encodingOf("csv", "zlib"), std::nullopt);
  EXPECT_EQ(encodingOf("base64", "csv"), std::nullopt);
  EXPECT_EQ(encodingOf("xml", ""), std::nullopt);
}

}  // namespace
}  // namespace vorlane::formats
