#pragma once
// What the fuzz targets assert about every input, shared with the unit tests that replay
// the inputs the fuzzers once failed on. Each returns "" when the input was handled
// soundly, else what went wrong.
#include <cstdint>
#include <span>
#include <string>

namespace vorlane::hardening {

// decodeBmp: an image within the caps whose pixel buffer matches its size, or an error text.
std::string checkBmp(std::span<const std::uint8_t> bytes);
// decodeImage (dispatch, libpng / libjpeg / BMP, the black-to-transparent rule): likewise.
std::string checkImage(std::span<const std::uint8_t> bytes);
// textToInt agrees with a plain model of its rule.
std::string checkTextToInt(std::span<const std::uint8_t> bytes);
// parseProject (project or export): an error text, or a document that writes back and
// parses again to the same bytes.
std::string checkProject(std::span<const std::uint8_t> bytes);
// A small map that parseProject accepts bakes (lighting::render) into a lit map of the same
// sizes whose tiles match their sources, which writes back, reads again and composites.
std::string checkBake(std::span<const std::uint8_t> bytes);
// importTmx and importTmj of the bytes, beside a small tileset image and external tilesets
// (tiles.png, set.tsx, set.tsj): an error text, or a map whose cells match its sizes.
std::string checkImport(std::span<const std::uint8_t> bytes);

}  // namespace vorlane::hardening
