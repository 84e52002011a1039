#include "base/convert.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace vorlane::base {

std::string intToText(std::int64_t value) { return std::to_string(value); }

std::string floatToText(float value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%#.9g", static_cast<double>(value));
  return buffer;
}

namespace {

int digitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v >= 0 && v < base ? v : -1;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

std::int32_t textToInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == '%') {
    base = 2;
    ++i;
  } else if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  }
  // Unsigned arithmetic wraps, so absurdly long digit runs stay defined.
  std::uint32_t value = 0;
  for (; i < text.size(); ++i) {
    int d = digitValue(text[i], base);
    if (d < 0) break;
    value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(d);
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

std::int32_t floatToInt(double value) {
  constexpr std::int32_t bad = std::numeric_limits<std::int32_t>::min();
  if (!std::isfinite(value)) return bad;
  double t = std::trunc(value);
  if (t < -2147483648.0 || t > 2147483647.0) return bad;
  return static_cast<std::int32_t>(t);
}

}  // namespace vorlane::base
