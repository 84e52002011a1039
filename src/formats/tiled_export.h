#pragma once
// The part of a TMX or TMJ export both syntaxes share: the distinct tiles packed into atlas
// PNGs beside the map file (with normal-map atlases in the same layout on request), and the
// GID of every cell.
#include <cstdint>
#include <string>
#include <vector>

#include "formats/formats.h"
#include "platform/atomic_write.h"

namespace vorlane::formats::tiled {

// One atlas image, one tileset of the written map.
struct AtlasPage {
  std::string name;        // the tileset's name
  std::string image;       // file name, relative to the map file
  std::string normals;     // likewise; "" without normals
  std::uint32_t firstGid = 0;
  std::int32_t count = 0, columns = 0, width = 0, height = 0;  // tiles; pixels of the image
  // Tile flags by id within the page, for the tiles that have any.
  struct Flags {
    std::int32_t id;
    bool castShadows, collider;
  };
  std::vector<Flags> flags;
};

struct ExportPlan {
  std::vector<AtlasPage> pages;
  std::vector<std::uint32_t> gids;  // layer by layer, row by row
  Notes notes;
};

// Stages the atlases beside `mapPath` in `files` and fills the plan; nothing is replaced
// until `files` is committed.
base::Result<ExportPlan> writeAtlases(const map::Map& map, const std::string& mapPath, const ExportOptions& options,
                                      platform::StagedFiles& files);

// The light's colour as "#AARRGGBB" when its channels are whole numbers 0..255, else "".
std::string exactColour(const map::Light& light);
// A float as the shortest text that reads back to the same float.
std::string floatText(float value);

// Runs of pivots on one layer, in order: each becomes one object group.
struct PivotRun {
  std::int32_t layer;
  std::size_t begin, end;
};
std::vector<PivotRun> pivotRuns(const map::Map& map);

// Shared by the TMX and TMJ rows of the format table.
base::Result<Notes> exportWith(const std::string& path, const map::Map& map, const ExportOptions& options,
                               void (*writeMap)(const map::Map&, const ExportPlan&, const ExportOptions&,
                                                base::ByteWriter&));

base::Result<Notes> exportTmx(const std::string& path, const map::Map& map, const ExportOptions& options);
base::Result<Notes> exportTmj(const std::string& path, const map::Map& map, const ExportOptions& options);

}  // namespace vorlane::formats::tiled
