#include "base/text.h"

#include <cstdint>

namespace vorlane::base {

namespace {

// Decodes one UTF-8 sequence at s[i]; on malformed input takes the single byte as is.
std::uint32_t nextCodePoint(std::string_view s, std::size_t& i) {
  auto b = static_cast<unsigned char>(s[i]);
  int extra = b >= 0xF0 && b < 0xF8 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
  if (extra == 0 || i + static_cast<std::size_t>(extra) >= s.size()) {
    ++i;
    return b;
  }
  std::uint32_t cp = b & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) {
      ++i;
      return b;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  i += static_cast<std::size_t>(extra) + 1;
  return cp;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string toFileBytes(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    std::uint32_t cp = nextCodePoint(utf8, i);
    if (cp > 0xFFFF) {
      // Outside the 16-bit range a character is a surrogate pair: two characters.
      std::uint32_t v = cp - 0x10000;
      out += static_cast<char>((0xD800 + (v >> 10)) & 0xFF);
      out += static_cast<char>((0xDC00 + (v & 0x3FF)) & 0xFF);
    } else {
      out += static_cast<char>(cp & 0xFF);
    }
  }
  return out;
}

std::string fromFileBytes(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) appendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

std::string withFileDetail(std::string_view message, std::string_view file, std::string_view reason) {
  std::string out(message);
  out += '\n';
  out += file;
  out += ": ";
  out += reason;
  return out;
}

std::string toUtf8(std::uint32_t codePoint) {
  std::string out;
  appendUtf8(out, codePoint);
  return out;
}

std::optional<std::uint32_t> firstUnstorable(std::string_view utf8) {
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::uint32_t cp = nextCodePoint(utf8, i);
    if (cp > 0xFF || cp == 0x00 || cp == 0x0A || cp == 0x0D) return cp;
  }
  return std::nullopt;
}

std::string asciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace vorlane::base
