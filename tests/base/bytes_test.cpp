#include "base/bytes.h"

#include <gtest/gtest.h>

#include <optional>

#include "base/text.h"

namespace vorlane::base {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view s) { return {s.begin(), s.end()}; }

TEST(Bytes, WritesLittleEndianAndCrLfLines) {
  ByteWriter w;
  w.int32(-1);
  w.int32(32);
  w.float32(1.0f);
  w.byte(0x1FF);
  w.line("ab");
  const std::vector<std::uint8_t> expected = {0xFF, 0xFF, 0xFF, 0xFF, 0x20, 0, 0, 0, 0, 0, 0x80, 0x3F, 0xFF, 'a', 'b', 0x0D, 0x0A};
  EXPECT_EQ(w.data(), expected);
}

TEST(Bytes, LinesKeepLowEightBitsOfEachCharacter) {
  ByteWriter w;
  w.line("\xC3\xA9\xC4\x80");  // U+00E9, U+0100
  EXPECT_EQ(w.data(), (std::vector<std::uint8_t>{0xE9, 0x00, 0x0D, 0x0A}));
  auto data = bytesOf(std::string("\xE9x\r\n", 4));
  ByteReader r(data);
  EXPECT_EQ(r.line(), "\xC3\xA9x");
}

TEST(Bytes, LineEndsAtLineFeedNulOrEndAndDropsEveryCarriageReturn) {
  auto data = bytesOf(std::string("a\rb\nc\0d\r", 8));
  ByteReader r(data);
  EXPECT_EQ(r.line(), "ab");
  EXPECT_EQ(r.line(), "c");
  EXPECT_EQ(r.line(), "d");
  EXPECT_TRUE(r.atEnd());
  EXPECT_EQ(r.line(), "");  // the end simply ends a line
}

// firstUnstorable names exactly the texts that a line does not give back as they were.
TEST(Bytes, ALineGivesBackEveryTextWithoutAnUnstorableCharacter) {
  struct Case {
    std::string text;
    std::optional<std::uint32_t> bad;
  };
  const Case cases[] = {
      {"", std::nullopt},
      {"C:/maps/grass.png 3", std::nullopt},
      {"caf\xC3\xA9 \xC3\xBF", std::nullopt},  // U+00E9, U+00FF
      {"a\nb", 0x0A},
      {"a\rb", 0x0D},
      {std::string("a\0b", 3), 0x00},
      {"\xE5\x9C\xB0\xE5\x9B\xBE/grass.png", 0x5730},  // its low byte is 0x30
      {"x\xE4\xB8\x8A", 0x4E0A},                         // its low byte is 0x0A
      {"\xF0\x9F\x98\x80", 0x1F600},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(firstUnstorable(c.text), c.bad) << c.text;
    ByteWriter w;
    w.line(c.text);
    w.line("next");
    ByteReader r(w.data());
    const bool same = r.line() == c.text && r.line() == "next";
    EXPECT_EQ(same, !c.bad.has_value()) << c.text;
  }
}

TEST(Bytes, ReadingPastTheEndIsAStreamError) {
  auto data = bytesOf("abc");
  ByteReader r(data);
  EXPECT_THROW(r.int32(), StreamError);
  EXPECT_EQ(r.byte(), 'a');
  EXPECT_THROW(r.require(3), StreamError);
  try {
    r.float32();
    FAIL();
  } catch (const StreamError& e) {
    EXPECT_STREQ(e.what(), "Error reading from stream");
  }
}

}  // namespace
}  // namespace vorlane::base
