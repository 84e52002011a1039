#include "formats/tiled_export.h"

#include "platform/encode.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <unordered_map>


namespace vorlane::formats::tiled {

namespace {

// A tile as the export writes it: its image (and normal map) at the cell size, and its flags.
class TileContent {
 public:
  TileContent(std::int32_t w, std::int32_t h, bool normals) : w_(w), h_(h), normals_(normals) {}

  // Fills the bytes of a tile; returns their hash.
  std::size_t take(const tiles::Tile& tile) {
    const std::size_t n = static_cast<std::size_t>(w_) * static_cast<std::size_t>(h_) * 4;
    bytes_.assign(n * (normals_ ? 2 : 1) + 2, 0);
    resampleImage(tile.image.get(), bytes_.data());
    if (normals_) resampleNormals(tile.normalGrid.get(), bytes_.data() + n);
    bytes_[bytes_.size() - 2] = static_cast<std::uint8_t>(tile.castShadows != 0);
    bytes_[bytes_.size() - 1] = static_cast<std::uint8_t>(tile.collider != 0);
    resampled_ = tile.image && (tile.image->width != w_ || tile.image->height != h_);
    return std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(bytes_.data()), bytes_.size()));
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  const std::uint8_t* colour() const { return bytes_.data(); }
  const std::uint8_t* normal() const { return bytes_.data() + static_cast<std::size_t>(w_) * static_cast<std::size_t>(h_) * 4; }
  bool resampled() const { return resampled_; }

 private:
  // Nearest pixel with pixel centres on pixel centres, as the map view draws at zoom 1.
  std::int32_t from(std::int32_t i, std::int32_t size, std::int32_t target) const {
    return static_cast<std::int32_t>((2 * std::int64_t{i} + 1) * size / (2 * std::int64_t{target}));
  }
  void resampleImage(const platform::Image* image, std::uint8_t* out) const {
    if (!image || image->width <= 0 || image->height <= 0) return;
    if (image->width == w_ && image->height == h_) {
      std::memcpy(out, image->pixels.data(), image->pixels.size());
      return;
    }
    for (std::int32_t y = 0; y < h_; ++y)
      for (std::int32_t x = 0; x < w_; ++x, out += 4)
        std::memcpy(out, image->at(from(x, image->width, w_), from(y, image->height, h_)), 4);
  }
  void resampleNormals(const tiles::ChannelGrid* grid, std::uint8_t* out) const {
    for (std::int32_t y = 0; y < h_; ++y)
      for (std::int32_t x = 0; x < w_; ++x, out += 4) {
        if (!grid || grid->width <= 0 || grid->height <= 0)
          std::memcpy(out, tiles::kFlatNormal, 4);
        else
          std::memcpy(out, grid->at(from(x, grid->width, w_), from(y, grid->height, h_)), 4);
      }
  }

  std::int32_t w_, h_;
  bool normals_;
  std::vector<std::uint8_t> bytes_;
  bool resampled_ = false;
};

// The distinct tiles of the map in order of first use (cells in layer, row, column order,
// as the GIDs are written) and every cell's GID.
struct Distinct {
  std::vector<const tiles::Tile*> tiles;
  std::vector<std::uint32_t> gids;
  std::size_t resampled = 0;
};

Distinct collect(const map::Map& m, bool normals) {
  Distinct d;
  const std::size_t perLayer = static_cast<std::size_t>(m.width) * static_cast<std::size_t>(m.height);
  d.gids.assign(perLayer * static_cast<std::size_t>(std::max(m.depth, 0)), 0);
  std::unordered_map<const tiles::Tile*, std::uint32_t> byIdentity;
  std::unordered_multimap<std::size_t, std::uint32_t> byContent;
  TileContent content(m.tileWidth, m.tileHeight, normals), other(m.tileWidth, m.tileHeight, normals);
  const tiles::Tile* last = nullptr;
  std::uint32_t lastGid = 0;
  for (std::int32_t layer = 0; layer < m.depth; ++layer)
    for (std::int32_t y = 0; y < m.height; ++y)
      for (std::int32_t x = 0; x < m.width; ++x) {
        const tiles::Tile* tile = m.cells[m.cellIndex(x, y, layer)].get();
        if (!tile) continue;
        if (tile != last) {
          last = tile;
          auto known = byIdentity.find(tile);
          if (known != byIdentity.end()) {
            lastGid = known->second;
          } else {
            // Tiles of equal pixels and flags are written once, whichever objects hold them.
            const std::size_t hash = content.take(*tile);
            lastGid = 0;
            for (auto [it, end] = byContent.equal_range(hash); it != end && lastGid == 0; ++it) {
              other.take(*d.tiles[it->second - 1]);
              if (other.bytes() == content.bytes()) lastGid = it->second;
            }
            if (lastGid == 0) {
              d.tiles.push_back(tile);
              lastGid = static_cast<std::uint32_t>(d.tiles.size());
              byContent.emplace(hash, lastGid);
              d.resampled += content.resampled() ? 1 : 0;
            }
            byIdentity.emplace(tile, lastGid);
          }
        }
        d.gids[static_cast<std::size_t>(layer) * perLayer + static_cast<std::size_t>(y) * static_cast<std::size_t>(m.width) +
               static_cast<std::size_t>(x)] = lastGid;
      }
  return d;
}

std::string withSuffix(const std::string& stem, const char* kind, std::size_t page) {
  return stem + "_" + kind + (page == 0 ? "" : "_" + std::to_string(page + 1)) + ".png";
}

}  // namespace

std::string floatText(float value) {
  char text[32];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return std::string(text, end);
}

std::string exactColour(const map::Light& light) {
  const float channels[3] = {light.red, light.green, light.blue};
  char text[10] = "#ff";
  for (int k = 0; k < 3; ++k) {
    const float c = channels[k];
    if (!(c >= 0 && c <= 255) || c != std::floor(c)) return "";
    std::snprintf(text + 3 + 2 * k, 3, "%02x", static_cast<unsigned>(c));
  }
  return text;
}

std::vector<PivotRun> pivotRuns(const map::Map& map) {
  std::vector<PivotRun> runs;
  for (std::size_t i = 0; i < map.pivots.size(); ++i) {
    if (runs.empty() || runs.back().layer != map.pivots[i]->layer) runs.push_back({map.pivots[i]->layer, i, i});
    runs.back().end = i + 1;
  }
  return runs;
}

base::Result<ExportPlan> writeAtlases(const map::Map& m, const std::string& mapPath, const ExportOptions& options,
                                      platform::StagedFiles& files) {
  namespace fs = std::filesystem;
  const std::int32_t side = options.maxAtlasSide;
  if (m.tileWidth < 1 || m.tileHeight < 1 || m.tileWidth > side || m.tileHeight > side)
    return base::Error{"tiles of " + std::to_string(m.tileWidth) + " x " + std::to_string(m.tileHeight) +
                       " pixels cannot be written as a tile map (1 to " + std::to_string(side) + " pixels a side)"};
  ExportPlan plan;
  Distinct distinct = collect(m, options.normals);
  plan.gids = std::move(distinct.gids);
  if (distinct.resampled > 0)
    plan.notes.push_back(std::to_string(distinct.resampled) + " tiles whose images are not " +
                         std::to_string(m.tileWidth) + " x " + std::to_string(m.tileHeight) +
                         " pixels were resampled to the cell size");

  const fs::path target(mapPath);
  const std::string folder = target.parent_path().generic_string();
  const std::string stem = target.stem().generic_string();
  auto beside = [&](const std::string& name) { return folder.empty() ? name : folder + "/" + name; };

  const std::int32_t maxColumns = side / m.tileWidth;
  const std::int32_t maxRows = side / m.tileHeight;
  const std::size_t perPage = static_cast<std::size_t>(maxColumns) * static_cast<std::size_t>(maxRows);
  TileContent content(m.tileWidth, m.tileHeight, options.normals);
  const std::size_t tileBytes = static_cast<std::size_t>(m.tileWidth) * 4;
  for (std::size_t first = 0, page = 0; first < distinct.tiles.size(); first += perPage, ++page) {
    AtlasPage p;
    p.count = static_cast<std::int32_t>(std::min(perPage, distinct.tiles.size() - first));
    // Near square, within the side limit.
    const auto square = static_cast<std::int32_t>(std::ceil(std::sqrt(static_cast<double>(p.count))));
    p.columns = std::min(maxColumns, std::max(square, (p.count + maxRows - 1) / maxRows));
    const std::int32_t rows = (p.count + p.columns - 1) / p.columns;
    p.width = p.columns * m.tileWidth;
    p.height = rows * m.tileHeight;
    p.firstGid = static_cast<std::uint32_t>(first + 1);
    p.name = stem + (page == 0 ? "" : " " + std::to_string(page + 1));
    p.image = withSuffix(stem, "tiles", page);
    if (options.normals) p.normals = withSuffix(stem, "normals", page);
    platform::Image atlas(p.width, p.height);
    platform::Image normals(options.normals ? p.width : 0, options.normals ? p.height : 0);
    for (std::int32_t i = 0; i < p.count; ++i) {
      const tiles::Tile& tile = *distinct.tiles[first + static_cast<std::size_t>(i)];
      content.take(tile);
      const std::int32_t ox = (i % p.columns) * m.tileWidth, oy = (i / p.columns) * m.tileHeight;
      for (std::int32_t y = 0; y < m.tileHeight; ++y) {
        std::memcpy(atlas.at(ox, oy + y), content.colour() + static_cast<std::size_t>(y) * tileBytes, tileBytes);
        if (options.normals)
          std::memcpy(normals.at(ox, oy + y), content.normal() + static_cast<std::size_t>(y) * tileBytes, tileBytes);
      }
      if (tile.castShadows || tile.collider) p.flags.push_back({i, tile.castShadows != 0, tile.collider != 0});
    }
    for (auto [image, name] : {std::pair{&atlas, p.image}, std::pair{&normals, p.normals}}) {
      if (name.empty()) continue;
      const platform::Image& picture = *image;
      auto status = files.add(beside(name), [&picture](base::ByteWriter& out) { platform::encodePng(picture, true, out); });
      if (!status) return base::Error{beside(name) + ": " + status.error()};
    }
    plan.pages.push_back(std::move(p));
  }
  return plan;
}

base::Result<Notes> exportWith(const std::string& path, const map::Map& map, const ExportOptions& options,
                               void (*writeMap)(const map::Map&, const ExportPlan&, const ExportOptions&,
                                                base::ByteWriter&)) {
  // The map and its atlases change together, the map last: a failure or a kill before then
  // leaves the old set as it was.
  platform::StagedFiles files;
  auto plan = writeAtlases(map, path, options, files);
  if (!plan) return base::Error{plan.error()};
  auto status = files.add(path, [&](base::ByteWriter& out) { writeMap(map, *plan, options, out); });
  if (status) status = files.commit();
  if (!status) return base::Error{status.error()};
  return std::move(plan->notes);
}

}  // namespace vorlane::formats::tiled
