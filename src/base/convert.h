#pragma once
// The four conversions every part of the editor uses to show and read numbers.
#include <cstdint>
#include <string>
#include <string_view>

namespace vorlane::base {

// Decimal digits with a leading minus for negative values.
std::string intToText(std::int64_t value);

// "%#.9g" of the value widened to double: 255 gives "255.000000".
std::string floatToText(float value);

// Leading blanks, optional sign, then "%" binary, "$" hexadecimal or decimal digits;
// stops at the first character that does not fit; no digits give 0. Wraps like 32-bit
// arithmetic instead of overflowing.
std::int32_t textToInt(std::string_view text);

// Truncation toward zero; NaN, infinities and values outside int32 give INT32_MIN. The float
// one is inline for the renderer's per-pixel loops: no float lies strictly between
// 2147483520 and 2^31, so the two comparisons are the whole range test.
std::int32_t floatToInt(double value);
inline std::int32_t floatToInt(float value) {
  return value >= -2147483648.0f && value < 2147483648.0f ? static_cast<std::int32_t>(value) : INT32_MIN;
}

}  // namespace vorlane::base
