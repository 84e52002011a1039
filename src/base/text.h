#pragma once
// Editor strings are UTF-8; files keep one byte per 16-bit character (its low 8 bits).
#include <string>
#include <string_view>

namespace vorlane::base {

// The low 8 bits of each 16-bit character of a UTF-8 text (invalid bytes pass as they are).
std::string toFileBytes(std::string_view utf8);

// Each byte as the character with that code (ISO 8859-1), in UTF-8.
std::string fromFileBytes(std::string_view bytes);

// Letters A to Z turned into a to z, nothing else.
std::string asciiLower(std::string_view text);

}  // namespace vorlane::base
