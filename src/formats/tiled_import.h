#pragma once
// What the TMX and TMJ readers hand over, and the one builder that turns it into a Vorlane
// map with its tilesets, whichever syntax it came in.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "formats/formats.h"
#include "platform/decode.h"

namespace vorlane::formats::tiled {

// Past these the importer refuses before allocating: cells of the map, tiles of all tilesets.
inline constexpr std::uint64_t kMaxCells = std::uint64_t{1} << 25;
inline constexpr std::uint64_t kMaxTiles = std::uint64_t{1} << 18;
// Larger map and tileset files are refused before they are read: kMaxCells cells as CSV
// text take well under this.
inline constexpr std::uint64_t kMaxMapFileBytes = std::uint64_t{1} << 30;

// A custom property, its value as text.
struct Property {
  std::string name;
  std::string type;  // "string" when the file names none
  std::string value;
  bool nested = false;  // a class value, which a record cannot hold
};

struct TileEntry {
  std::uint32_t id = 0;
  std::string image;  // resolved path, collections only
  std::vector<Property> properties;
  bool animated = false;
  bool shapes = false;  // collision shapes
  bool classed = false;  // a class (type) of its own
};

struct TilesetSource {
  std::string name;
  std::uint32_t firstGid = 0;
  std::int32_t tileWidth = 0, tileHeight = 0, spacing = 0, margin = 0;
  std::int32_t tileCount = -1;       // -1: as many as the image holds
  std::string image;                 // resolved path; empty for a collection of images
  std::int64_t imageWidth = 0, imageHeight = 0;  // as the file says; 0 when it does not
  std::string transparent;           // "rrggbb" drawn as transparent, or ""
  std::int32_t offsetX = 0, offsetY = 0;
  std::vector<Property> properties;  // `normalmap` is resolved already
  std::vector<TileEntry> tiles;
  bool wangSets = false;
};

struct ObjectSource {
  std::string name, type;
  float x = 0, y = 0;
  bool point = false;
  std::vector<Property> properties;
};

// Resolves a path written in a file of `folder`.
std::string resolvePath(const std::string& folder, const std::string& path);

// Collects the map. The readers call begin, then each tileset, the layers in order, the
// objects; finish returns the map or a refusal listing what cannot be held.
class Builder {
 public:
  explicit Builder(ImportOptions options) : options_(options) {}

  base::Status begin(const std::string& orientation, bool infinite, std::int64_t width, std::int64_t height,
                     std::int64_t tileWidth, std::int64_t tileHeight, std::int64_t depth);
  // An infinite map: its chunks' cell (column, row) becomes cell (0, 0), objects moving with it.
  void setOrigin(std::int64_t column, std::int64_t row);
  std::int64_t originColumn() const { return originColumn_; }
  std::int64_t originRow() const { return originRow_; }
  base::Status addTileset(const TilesetSource& source);
  // The GIDs of the next tile layer, row by row; none for a layer without data.
  base::Status addLayer(const std::string& name, std::vector<std::uint32_t> gids);
  // GIDs a tile layer holds.
  std::size_t layerSize() const { return static_cast<std::size_t>(map_->width) * static_cast<std::size_t>(map_->height); }
  std::int32_t layersRead() const { return layersRead_; }
  std::int32_t mapWidth() const { return map_->width; }
  // An object of the group whose pivots take layer `layer`.
  base::Status addObject(const ObjectSource& object, std::int32_t layer);
  base::Result<Imported> finish();

  // Something the map holds that Vorlane cannot; counted when said again.
  void leaveOut(const std::string& what);
  // Something read otherwise than the file says, with nothing lost.
  void note(const std::string& what);

 private:
  // Tiles this import makes: written (cut, flagged) until the map is done.
  using MadeTiles = std::vector<std::shared_ptr<tiles::Tile>>;
  // The tiles of one tileset by id, from its first GID on.
  struct Range {
    std::uint32_t first;
    std::vector<tiles::TilePtr> tiles;
  };
  // The tile of a GID without flags, or null when no tileset holds it.
  const tiles::TilePtr* lookup(std::uint32_t gid) const;
  // How far objects move with the origin, in pixels.
  float shiftX() const { return static_cast<float>(originColumn_ * map_->tileWidth); }
  float shiftY() const { return static_cast<float>(originRow_ * map_->tileHeight); }
  // Tile paths are their identity in a project file: no two tiles may share one.
  std::string uniquePath(const std::string& path);
  // The steps of addTileset: the tiles cut from its one image, its <tile> entries, its tab.
  base::Status cutTileset(const TilesetSource& source, const std::string& owner, MadeTiles& made);
  base::Status addTileEntries(const TilesetSource& source, const std::string& owner, MadeTiles& made);
  void addTab(const std::string& name, const std::string& owner, const MadeTiles& made);
  // Tiles drawn stretched to cells of another size are worth a note.
  void noteStretched(std::int32_t width, std::int32_t height, const std::string& owner);

  // Tiles whose pixels come from one image, cut once nothing is refused (finish).
  struct Cuts {
    std::string image, normal, owner, transparent;
    platform::ImageSize size;  // from the image's header
    std::int32_t width, height, margin, spacing, columns;  // of the tiles, in the image
    MadeTiles tiles;
  };
  // The image's sides, from its header alone.
  base::Result<platform::ImageSize> probe(const std::string& path, const std::string& owner);
  // Counts `tiles` tiles of width × height cut from an image of `source`: refused with the
  // estimate when the tiles so far would not fit in memory.
  base::Status reserve(std::uint64_t tiles, std::int64_t width, std::int64_t height, platform::ImageSize source);
  base::Status cut(const Cuts& cuts);

  ImportOptions options_;
  map::MapPtr map_;
  std::vector<io::TilesetEntry> tilesets_;
  std::vector<Range> ranges_;  // by first GID
  std::vector<std::vector<std::uint32_t>> layers_;  // the GIDs of each layer, row by row
  // Flipped copies of tiles by GID with its flip bits, made once.
  std::map<std::uint32_t, tiles::TilePtr> flipped_;
  std::int64_t originColumn_ = 0, originRow_ = 0;
  std::vector<std::string> notes_;
  std::int32_t layersRead_ = 0;
  std::uint64_t tilesMade_ = 0;
  std::vector<Cuts> cuts_;
  std::uint64_t tileBytes_ = 0, sourceBytes_ = 0;
  std::unordered_set<std::string> paths_;
  std::vector<std::pair<std::string, int>> leftOut_;
};

}  // namespace vorlane::formats::tiled
