#pragma once
// Tile layer data as the tile-map editors store it: a grid of 32-bit global tile ids (GIDs)
// as CSV text, or as little-endian bytes in base64, optionally zlib-, gzip- or
// zstd-compressed.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace vorlane::formats {

enum class Encoding { csv, base64, zlib, gzip, zstd };

// "csv", "base64", "zlib", "gzip", "zstd".
std::string_view encodingName(Encoding encoding);
std::optional<Encoding> encodingNamed(std::string_view name);
// From a file's encoding and compression attributes ("base64" + "" is plain base64);
// nullopt for a pair no editor writes.
std::optional<Encoding> encodingOf(std::string_view encoding, std::string_view compression);

// Fills `out` (exactly width × height GIDs) from the data text. Fails with a message when
// the text is malformed or holds more or fewer GIDs than `out`; compressed data never
// inflates beyond out.size() × 4 bytes, however much it claims.
base::Status decodeGids(std::string_view text, Encoding encoding, std::span<std::uint32_t> out);
// The same into a new buffer of `count` GIDs, taken only once the text is long enough to
// hold them (for compressed data: at the best ratio its compressor reaches), so a short
// file cannot make a large allocation.
base::Result<std::vector<std::uint32_t>> decodeGids(std::string_view text, Encoding encoding, std::size_t count);

// Appends the GIDs as data text: CSV rows of `columns` GIDs (a line each), or base64 of the
// (compressed) bytes on one line.
void encodeGids(std::span<const std::uint32_t> gids, std::int32_t columns, Encoding encoding, std::string& out);

// Appends n as decimal digits.
void appendNumber(std::string& out, std::uint32_t n);

}  // namespace vorlane::formats
