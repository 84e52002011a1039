#pragma once
// Map formats other than the project file, as one table: TMX (XML) and TMJ (JSON) tile maps
// in both directions, and a PNG picture of the map. The tool's --format and the editor's
// requester filters come from the table.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "formats/layer_data.h"
#include "io/project.h"
#include "map/map.h"

namespace vorlane::formats {

// An imported map with one tileset per source tileset, not yet applied to anything.
struct Imported {
  map::MapPtr map;
  std::vector<io::TilesetEntry> tilesets;
  // What the map held that Vorlane cannot, one item a line; empty unless imported lossily.
  std::vector<std::string> leftOut;
  // What was read differently from how the file says it, with nothing lost (a tileset whose
  // image has grown, an infinite map's corner moved to cell 0, 0).
  std::vector<std::string> notes;
  // With ImportOptions::keepGids: each tile layer's GIDs as the file holds them (flip bits
  // kept), row by row over the map; empty for a layer without data.
  std::vector<std::vector<std::uint32_t>> gids;
  // The cell of the file's tile layers that became cell (0, 0): not 0 only for infinite maps.
  std::int64_t originColumn = 0, originRow = 0;
  // One past the last GID any tileset gives.
  std::uint64_t gidEnd = 1;
};

struct ImportOptions {
  // Import what can be held and list the rest, instead of refusing the map.
  bool lossy = false;
  bool keepGids = false;
};

struct ExportOptions {
  // Also an atlas of normal maps in the layout of the tile atlas.
  bool normals = false;
  Encoding encoding = Encoding::csv;
  // No atlas grows wider or taller than this (most engines' texture limit); more tiles
  // make more atlases.
  std::int32_t maxAtlasSide = 4096;
};

// Notes on what an export changed (for example tiles resampled to the cell size).
using Notes = std::vector<std::string>;

using ReadFn = base::Result<Imported> (*)(const std::string& path, const ImportOptions& options);
using WriteFn = base::Result<Notes> (*)(const std::string& path, const map::Map& map, const ExportOptions& options);

struct Format {
  std::string_view name;         // what --format takes
  std::string_view description;  // the requester filter's text
  std::string_view extensions;   // comma-separated, the first is the one added
  ReadFn read;                   // null when it cannot be imported
  WriteFn write;
};

std::span<const Format> formatTable();
const Format* formatNamed(std::string_view name);
// By the extension of the path, case ignored; null when no row has it.
const Format* formatForPath(std::string_view path);
// "TMX maps:tmx;JSON maps:tmj,json;" of the rows that read (or write).
std::string requesterFilter(bool forImport);

// The readers on bytes already in memory; external tilesets and images are looked up
// relative to `folder`.
base::Result<Imported> importTmx(std::string_view text, const std::string& folder, const ImportOptions& options);
base::Result<Imported> importTmj(std::string_view text, const std::string& folder, const ImportOptions& options);

// By the extension (.tmx is XML, .tmj and .json are JSON), by content when it says neither.
// Errors begin with the path.
base::Result<Imported> importMapFile(const std::string& path, const ImportOptions& options);
// The first character that is not white space is '<'.
bool looksLikeXml(std::string_view text);

// Refusals carry this before the list of what cannot be held.
inline constexpr const char* kCannotHold = "The map holds what Vorlane cannot:";

}  // namespace vorlane::formats
