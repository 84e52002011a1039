#include "base/convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace vorlane::base {
namespace {

TEST(Convert, IntToText) {
  const std::pair<std::int64_t, const char*> cases[] = {{0, "0"}, {255, "255"}, {-7, "-7"}, {-2147483648LL, "-2147483648"}};
  for (auto [value, text] : cases) EXPECT_EQ(intToText(value), text);
}

TEST(Convert, FloatToText) {
  const std::pair<float, const char*> cases[] = {
      {255.0f, "255.000000"}, {0.5f, "0.500000000"}, {0.0f, "0.00000000"}, {2.5f, "2.50000000"},
      {1.875f, "1.87500000"}, {-3.0f, "-3.00000000"}, {700.0f, "700.000000"}, {1e10f, "1.00000000e+10"}};
  for (auto [value, text] : cases) EXPECT_EQ(floatToText(value), text) << value;
}

TEST(Convert, TextToInt) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"12.7", 12},  {"$FF", 255},     {"$ff", 255}, {"%101", 5},       {"abc", 0},          {" -7x", -7},
      {"", 0},       {"255.000000", 255}, {"+42", 42}, {"-", 0},        {"\t 9", 9},         {"$", 0},
      {"%102", 2},   {"-$10", -16},    {"4294967297", 1}, {"2147483648", -2147483648}, {"0012", 12}};
  for (auto [text, value] : cases) EXPECT_EQ(textToInt(text), value) << '"' << text << '"';
}

TEST(Convert, FloatToInt) {
  constexpr std::int32_t bad = std::numeric_limits<std::int32_t>::min();
  const std::pair<float, std::int32_t> cases[] = {
      {2.9f, 2},   {-2.9f, -2}, {0.0f, 0}, {-0.5f, 0}, {2147483520.0f, 2147483520}, {2147483648.0f, bad},
      {-2147483648.0f, -2147483647 - 1}, {-2147483904.0f, bad}, {std::numeric_limits<float>::infinity(), bad},
      {-std::numeric_limits<float>::infinity(), bad}, {std::nanf(""), bad}};
  for (auto [value, expected] : cases) EXPECT_EQ(floatToInt(value), expected) << value;
}

// The float overload's two comparisons against the double one's trunc and range test.
TEST(Convert, FloatToIntOfAFloatMatchesTheDoubleRule) {
  const float special[] = {0.0f, -0.0f, 0.5f, -0.5f, 2.9f, -2.9f, 255.99f, 2147483520.0f, 2147483648.0f,
                           -2147483648.0f, -2147483904.0f, 3e38f, -3e38f,
                           std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::denorm_min()};
  for (float v : special) EXPECT_EQ(floatToInt(v), floatToInt(static_cast<double>(v))) << v;
  for (std::uint32_t bits = 0; bits < 0xFFFFFFFFu - 9973u; bits += 9973u) {
    float v;
    std::memcpy(&v, &bits, sizeof v);
    ASSERT_EQ(floatToInt(v), floatToInt(static_cast<double>(v))) << v;
  }
}

}  // namespace
}  // namespace vorlane::base
