#pragma once
// Editor strings are UTF-8; files keep one byte per 16-bit character (its low 8 bits).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorlane::base {

// The low 8 bits of each 16-bit character of a UTF-8 text (invalid bytes pass as they are).
std::string toFileBytes(std::string_view utf8);

// Each byte as the character with that code (ISO 8859-1), in UTF-8.
std::string fromFileBytes(std::string_view bytes);

// The first character that a file line would not give back: one above 255 (only its low 8
// bits are kept), or 0x00, 0x0A or 0x0D (the reader ends a line at the first two and drops
// the third). nullopt when the whole text reads back as it is.
std::optional<std::uint32_t> firstUnstorable(std::string_view utf8);

// An error box's text: the message as the user knows it, and below it the file concerned
// and what was wrong with it.
std::string withFileDetail(std::string_view message, std::string_view file, std::string_view reason);

// One character as UTF-8.
std::string toUtf8(std::uint32_t codePoint);

// Letters A to Z turned into a to z, nothing else.
std::string asciiLower(std::string_view text);

}  // namespace vorlane::base
