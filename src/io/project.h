#pragma once
// Project (.vorl) and export files: the byte format, an all-or-nothing reader and writers
// that replace a file only once the new one is complete.
//
// How the editor shell uses it:
//   Load:   if (io::isCancelledLoadName(name)) return;
//           auto project = io::loadProjectFile(name);        // nothing changes on failure
//           if (!project) { error box project.error(); return; }
//           doc.load(std::move(project).value(), name);  // a new document state: the
//           file's map and tilesets, the current objects and view carried over (edit/document.h)
//   Save:   auto status = io::saveProjectFile(projectName, *currentMap, tilesets);
//   Export: auto status = io::exportMapFile(answer, *currentMap);
//   A failed status carries the message for the error box ("Unable to open file.", ...).
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/bytes.h"
#include "base/result.h"
#include "map/map.h"
#include "platform/atomic_write.h"
#include "platform/files.h"
#include "platform/image.h"

namespace vorlane::io {

inline constexpr const char* kUnableToOpen = platform::kUnableToOpenFile;
inline constexpr std::int32_t kMaxTilesets = 255;
// A tileset record holds the 8 × 128 cells of layer 0 of its map.
inline constexpr std::int32_t kTilesetColumns = 8;
inline constexpr std::int32_t kTilesetRows = 128;

// One tab of the tileset viewer: its label and its tileset map.
struct TilesetEntry {
  std::string label;
  map::MapPtr tileset;
};

// The light and pivot the editor shows as selected: a file keeps a flag for each object, set
// for these.
struct ShownSelected {
  const map::Light* light = nullptr;
  const map::Pivot* pivot = nullptr;
};

// A parsed file, not yet applied to anything.
struct Project {
  // Never null: the map section as a fresh Map (sizes, cells, tileTable/tileCount, lights,
  // pivots; the cell selection at its start values).
  map::MapPtr map;
  // False for an export file (map section only); tilesets are then empty.
  bool hasTilesetSection = false;
  std::vector<TilesetEntry> tilesets;
};

enum class Accept { projectOnly, projectOrExport };

// ---- Byte level (in-memory streams) ----

// The distinct tiles of the map's cells, in order of first use (by identity, not path).
std::vector<const tiles::Tile*> tilesInUse(const map::Map& map);

// What a save settles before its first byte, so that the file reads back as it was meant:
// every text a line can hold, and no tileset tile that the reader would join to another,
// different map tile (the first map tile of its path, letters A-Z folded). Such a tileset
// tile is written under its path with " (n)" appended; memory keeps the tile's own path.
// Every other tile is written under its own path.
class SavePlan {
 public:
  // Throws base::FormatError naming a text that a file cannot hold, and why.
  SavePlan(const map::Map& map, std::span<const TilesetEntry> tilesets);
  const std::string& pathOf(const tiles::Tile& tile) const;
  const ShownSelected& selected() const { return selected_; }
  void setSelected(ShownSelected selected) { selected_ = selected; }
  // tilesInUse of the map the plan was made for, so a save walks the cells for it once;
  // null for any other map.
  const std::vector<const tiles::Tile*>* tilesInUseOf(const map::Map& map) const {
    return &map == map_ ? &mapTiles_ : nullptr;
  }

 private:
  std::unordered_map<const tiles::Tile*, std::string> renamed_;
  const map::Map* map_ = nullptr;
  std::vector<const tiles::Tile*> mapTiles_;
  ShownSelected selected_;
};

// The map section: sizes, the tiles used (by identity, in cell order), cell indices,
// lights, pivots (flagged selected as the plan says). Throws base::StreamError when the writer's file refuses a write, and
// base::FormatError as SavePlan does (then before writing anything).
void saveMap(const map::Map& map, base::ByteWriter& out);
void saveMap(const map::Map& map, base::ByteWriter& out, const SavePlan& plan);
// The tileset section, with the plan made for the map section before it; without one it is
// planned on its own (for tileset sections written alone; a whole file is writeProject).
void writeTilesetSection(std::span<const TilesetEntry> tilesets, base::ByteWriter& out, const SavePlan& plan);
void writeTilesetSection(std::span<const TilesetEntry> tilesets, base::ByteWriter& out);
// A whole project file: both sections under one plan.
void writeProject(const map::Map& map, std::span<const TilesetEntry> tilesets, base::ByteWriter& out);

// Writes what saveMap writes for the lit map of `source` (a tile of its own in every cell
// occupied there, no lights, no pivots) as the lit tiles come, so that map is never whole in
// memory: the sizes and tile count now, the tiles in cell order as given, the cells last.
class LitMapWriter {
 public:
  LitMapWriter(const map::Map& source, base::ByteWriter& out);
  // The next cells of the table in order; empty ones are passed over.
  void tiles(std::span<const tiles::TilePtr> cells);
  // The cell indices, no lights, no pivots. Throws base::FormatError unless every occupied
  // cell's tile was written.
  void finish();

 private:
  const map::Map& source_;
  base::ByteWriter& out_;
  std::int32_t count_ = 0, written_ = 0;
};

// Reads a map section into a fresh Map. Throws base::StreamError when the bytes end early,
// base::FormatError naming the field when a count or index breaks its range.
map::MapPtr readMapSection(base::ByteReader& in);
// Reads the tileset section; tiles whose path equals one of `tileTable`'s (letters A-Z
// folded) become that table entry, printing "Replaced tile.". Throws like readMapSection.
std::vector<TilesetEntry> readTilesetSection(base::ByteReader& in, const std::vector<tiles::TilePtr>& tileTable);

// Parses a whole file. No side effects besides console lines ("Reading tiles", "Reading
// tile.", "Read.", "Read tiles.", "Replaced tile."). Bytes after the tileset section are
// ignored; with Accept::projectOrExport a file ending exactly after the map section is an
// export file.
// Where a parse stopped, so that a message can say what was wrong with the file.
struct ParseFailure {
  bool inTilesets = false;      // the map section had been read whole
  bool mapSectionOnly = false;  // and the file ended right after it: an exported map
};
base::Result<Project> parseProject(std::span<const std::uint8_t> bytes, Accept accept = Accept::projectOnly,
                                   ParseFailure* failure = nullptr);

// ---- Files ----

// The file that Save and Export write: ".vorl" appended unless the extension (after the last
// dot, no slash after it) is exactly "vorl", so "level.vorl" is never written as "level.vorl.vorl".
std::string saveFileName(const std::string& name);
// "" and " " come from a cancelled requester.
bool isCancelledLoadName(const std::string& name);

// Reads and parses the file at exactly this path. A file that does not parse fails with
// "Error reading from stream" and, below it, the file and what was wrong (cut short, an
// exported map, a value out of range).
base::Result<Project> loadProjectFile(const std::string& path, Accept accept = Accept::projectOnly);

// The Save command: writes saveFileName(name) and prints "Saved:" + name once it is in place.
// "" does nothing. On failure the previous file is untouched.
base::Status saveProjectFile(const std::string& name, const map::Map& map, std::span<const TilesetEntry> tilesets,
                             ShownSelected selected = {});

// The Export command: the map section alone into saveFileName(name). "" does nothing.
base::Status exportMapFile(const std::string& name, const map::Map& map, ShownSelected selected = {});

// Every writer goes through the platform's temporary-then-rename path.
using platform::writeFileAtomically;

// The image as an 8-bit RGBA (or, without alpha, RGB) PNG at exactly `path`, written as
// writeFileAtomically writes.
base::Status writePngFile(const std::string& path, const platform::Image& image, bool withAlpha = false,
                          int zlibLevel = -1);

}  // namespace vorlane::io
