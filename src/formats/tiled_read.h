#pragma once
// Helpers the TMX and TMJ readers share. Inside a reader a malformed file throws Refusal,
// which `guarded` turns into the error of the whole import.
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "formats/tiled_import.h"

namespace vorlane::formats::tiled {

struct Refusal : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void refuse(const std::string& message);
// Throws the status's message (after `prefix`) when it failed.
void check(const base::Status& status, const std::string& prefix = "");

// A whole number or a number as a file writes it; throws Refusal naming `what` otherwise.
std::int64_t parseWhole(std::string_view text, const std::string& what);
float parseNumber(std::string_view text, const std::string& what);

// The layer an object group's pivots take: its own `layer` property, else the tile layer
// read last before it.
std::int32_t groupLayer(const std::vector<Property>& properties, std::int32_t layersRead);

// The cells an infinite map's chunks cover.
struct ChunkBounds {
  std::int64_t left = 0, top = 0, right = 1, bottom = 1;
  bool any = false;
  // Refuses a chunk of no cells or beyond the reach of 32-bit cell numbers.
  void add(std::int64_t column, std::int64_t row, std::int64_t width, std::int64_t height);
  std::int64_t width() const { return right - left; }
  std::int64_t height() const { return bottom - top; }
};
// Copies a chunk's GIDs (rows of `width`) into the layer at the chunk's cell, counted as the
// file counts them.
void placeChunk(const std::vector<std::uint32_t>& cells, std::int64_t column, std::int64_t row, std::int64_t width,
                const Builder& builder, std::vector<std::uint32_t>& gids);

// Tile layers come back named "Layer 1", "Layer 2"...: another name is lost.
void checkTileLayerName(Builder& builder, const std::string& name);

// A .tsx or .tsj file, by content.
TilesetSource readExternalTileset(const std::string& path);
TilesetSource tilesetFromXml(std::string_view text, const std::string& folder);
TilesetSource tilesetFromJson(std::string_view text, const std::string& folder);

// Runs a reader: a Refusal, or running out of memory, becomes the import's error.
base::Result<Imported> guarded(const std::function<base::Result<Imported>()>& read);

// "line L, column C" of the byte at `offset`, counted from 1.
std::string textPlace(std::string_view text, std::size_t offset);

// The folder of a file, for the paths written in it.
std::string folderOf(const std::string& path);

}  // namespace vorlane::formats::tiled
