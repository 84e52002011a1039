#pragma once
// The lit tiles of an in-place bake, gathered band by band as the renderer makes them: each
// distinct (source tile, lit picture) once, put back the way its tile faces so the cell keeps
// its flip bits, and every cell's new GID.
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/formats.h"
#include "tiles/tile.h"

namespace vorlane::formats::tiled {

class LitAtlas {
 public:
  LitAtlas(const Imported& source, std::int32_t maxAtlasSide);
  // The renderer's sink: cells [first, first + cells.size()) of the map's cell table.
  void take(std::size_t first, std::span<const tiles::TilePtr> cells);

  struct Page {
    std::string file;  // name beside the map
    std::size_t first = 0;  // the tile (over all pages) at its top left
    std::int32_t count = 0, columns = 0, width = 0, height = 0;
  };
  // Lays the tiles out in pages and writes them as `stem`_lit.png, `stem`_lit_2.png ... in
  // `folder`; `written` lists the files made, also on failure.
  base::Result<std::vector<Page>> write(const std::string& folder, const std::string& stem,
                                        std::vector<std::string>& written) const;
  std::int32_t tileWidth() const { return w_; }
  std::int32_t tileHeight() const { return h_; }
  // The tile (0-based, over all pages) of the cell's new GID, or -1 for an empty cell.
  std::int64_t tileOf(std::size_t layer, std::size_t cell) const { return cells_[layer][cell]; }
  // The GID (flip bits stripped) of the source tile a lit tile was made from.
  std::uint32_t sourceGid(std::size_t tile) const { return sources_[tile]; }
  std::size_t size() const { return sources_.size(); }

 private:
  const Imported& source_;
  std::int32_t w_, h_, side_;
  std::size_t tileBytes_;
  std::vector<std::uint8_t> pixels_;  // tile after tile, w × h RGBA each
  std::vector<std::uint32_t> sources_;
  std::unordered_multimap<std::size_t, std::uint32_t> byHash_;
  std::vector<std::vector<std::int64_t>> cells_;  // per layer, row by row
  std::vector<std::uint8_t> scratch_;
};

}  // namespace vorlane::formats::tiled

namespace vorlane::formats::tiled {

// What the document writers need to put the lit tiles in place of the old ones.
struct LitDocument {
  const Imported& imported;
  const LitAtlas& atlas;
  const std::vector<LitAtlas::Page>& pages;
  std::string stem;                        // names the lit tilesets
  std::string inputFolder, outputFolder;   // relative paths are moved from one to the other
};

// The document with its tilesets and tile layer data replaced; throws Refusal when the
// document cannot take them.
std::string relitTmx(std::string_view text, const LitDocument& lit);
std::string relitTmj(std::string_view text, const LitDocument& lit);

// A path written in a file of `from`, as a file of `to` writes it.
std::string movedPath(const std::string& path, const std::string& from, const std::string& to);

}  // namespace vorlane::formats::tiled
