// The byte format of project and export files.
#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "base/console.h"
#include "base/text.h"
#include "io/project.h"

namespace vorlane::io {

using base::ByteReader;
using base::ByteWriter;
using base::FormatError;
using tiles::Tile;
using tiles::TilePtr;

namespace {

// The fewest bytes each record can take; a count is checked against the bytes left before
// anything is allocated for it.
constexpr std::uint64_t kMinTileRecord = 1 + 4 + 4 + 1 + 1 + 8 + 8;
constexpr std::uint64_t kLightRecord = 36;
constexpr std::uint64_t kMinPivotRecord = 4 + 4 + 4 + 1 + 4 + 4;
constexpr std::uint64_t kMinTilesetRecord = 1 + kTilesetColumns * kTilesetRows;

constexpr std::uint8_t kOccupied = 0x01;
constexpr std::uint8_t kEmpty = 0xFF;

std::int32_t readCount(ByteReader& in, const char* field, std::uint64_t minRecord) {
  std::int32_t n = in.int32();
  if (n < 0) throw FormatError(std::string(field) + " must not be negative (" + std::to_string(n) + ")");
  in.require(static_cast<std::uint64_t>(n) * minRecord);
  return n;
}

std::int32_t readSize(ByteReader& in, const char* field) {
  std::int32_t n = in.int32();
  if (n < 0) throw FormatError(std::string(field) + " must not be negative (" + std::to_string(n) + ")");
  return n;
}

// Throws StreamError unless width × height × depth cell values (4 bytes each) remain,
// without overflowing on huge sizes.
void requireCells(const ByteReader& in, std::int32_t w, std::int32_t h, std::int32_t d) {
  const std::uint64_t limit = in.remaining() / 4;
  const std::uint64_t columns = static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h);
  if (d != 0 && (columns > limit || columns * static_cast<std::uint64_t>(d) > limit))
    throw base::StreamError(base::kReadError);
}

TilePtr readTile(ByteReader& in) {
  auto tile = std::make_shared<Tile>();
  tile->read(in);
  return tile;
}

// Every cell's value, 4096 at a time.
template <typename IndexOf>
void writeCellIndices(const map::Map& map, ByteWriter& out, IndexOf indexOf) {
  std::vector<std::int32_t> chunk;
  chunk.reserve(4096);
  for (const TilePtr& cell : map.cells) {
    chunk.push_back(indexOf(cell));
    if (chunk.size() == 4096) {
      out.bytes(reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size() * 4);
      chunk.clear();
    }
  }
  out.bytes(reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size() * 4);
}

void writeCells(const map::Map& map, const std::vector<const Tile*>& order, ByteWriter& out) {
  std::unordered_map<const Tile*, std::int32_t> index;
  index.reserve(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) index.emplace(order[i], static_cast<std::int32_t>(i));
  // Runs of one tile are common, so the last lookup is kept.
  const Tile* last = nullptr;
  std::int32_t lastIndex = -1;
  writeCellIndices(map, out, [&](const TilePtr& cell) {
    if (!cell) return -1;
    if (cell.get() != last) {
      last = cell.get();
      lastIndex = index.at(last);
    }
    return lastIndex;
  });
}

void readCells(ByteReader& in, map::Map& map) {
  const auto& table = map.tileTable;
  const std::int64_t count = static_cast<std::int64_t>(table.size());
  std::int32_t chunk[4096];
  std::size_t done = 0;
  while (done < map.cells.size()) {
    std::size_t n = std::min<std::size_t>(std::size(chunk), map.cells.size() - done);
    in.bytes(reinterpret_cast<std::uint8_t*>(chunk), n * 4);
    for (std::size_t i = 0; i < n; ++i) {
      std::int32_t v = chunk[i];
      if (v == -1) continue;
      if (v < -1 || v >= count)
        throw FormatError("cell index " + std::to_string(v) + " out of range -1.." + std::to_string(count - 1));
      map.cells[done + i] = table[static_cast<std::size_t>(v)];
    }
    done += n;
  }
}

void writeTilesetCells(const map::Map* tileset, ByteWriter& out, const SavePlan& plan) {
  for (std::int32_t y = 0; y < kTilesetRows; ++y) {
    for (std::int32_t x = 0; x < kTilesetColumns; ++x) {
      static const TilePtr none;
      const TilePtr& tile = tileset ? tileset->cell(x, y, 0) : none;
      if (tile) {
        out.byte(kOccupied);
        tile->write(out, plan.pathOf(*tile));
      } else {
        out.byte(kEmpty);
      }
    }
  }
}

void writeSizes(const map::Map& map, ByteWriter& out) {
  out.int32(map.width);
  out.int32(map.height);
  out.int32(map.depth);
  out.int32(map.tileWidth);
  out.int32(map.tileHeight);
}

}  // namespace

std::vector<const Tile*> tilesInUse(const map::Map& map) {
  std::vector<const Tile*> order;
  std::unordered_map<const Tile*, std::int32_t> seen;
  const Tile* last = nullptr;
  for (const TilePtr& cell : map.cells) {
    if (!cell || cell.get() == last) continue;
    last = cell.get();
    if (seen.emplace(last, static_cast<std::int32_t>(order.size())).second) order.push_back(last);
  }
  return order;
}

void saveMap(const map::Map& map, ByteWriter& out) { saveMap(map, out, SavePlan(map, {})); }

void saveMap(const map::Map& map, ByteWriter& out, const SavePlan& plan) {
  writeSizes(map, out);
  // Two tiles from one file stay two.
  std::vector<const Tile*> own;
  const std::vector<const Tile*>* planned = plan.tilesInUseOf(map);
  const std::vector<const Tile*>& order = planned ? *planned : (own = tilesInUse(map));
  out.int32(static_cast<std::int32_t>(order.size()));
  for (const Tile* tile : order) tile->write(out, plan.pathOf(*tile));
  writeCells(map, order, out);
  out.int32(static_cast<std::int32_t>(map.lights.size()));
  for (const auto& light : map.lights) light->write(out, light.get() == plan.selected().light);
  out.int32(static_cast<std::int32_t>(map.pivots.size()));
  for (const auto& pivot : map.pivots) pivot->write(out, pivot.get() == plan.selected().pivot);
}

LitMapWriter::LitMapWriter(const map::Map& source, ByteWriter& out) : source_(source), out_(out) {
  writeSizes(source, out);
  for (const TilePtr& cell : source.cells) count_ += cell ? 1 : 0;
  out.int32(count_);
}

void LitMapWriter::tiles(std::span<const TilePtr> cells) {
  for (const TilePtr& tile : cells) {
    if (!tile) continue;
    tile->write(out_);
    ++written_;
  }
}

void LitMapWriter::finish() {
  if (written_ != count_)
    throw FormatError("lit tiles written " + std::to_string(written_) + " of " + std::to_string(count_));
  // Each occupied cell holds the next tile of the table.
  std::int32_t next = 0;
  writeCellIndices(source_, out_, [&](const TilePtr& cell) { return cell ? next++ : -1; });
  out_.int32(0);  // lights
  out_.int32(0);  // pivots
}

void writeTilesetSection(std::span<const TilesetEntry> tilesets, ByteWriter& out, const SavePlan& plan) {
  if (tilesets.size() > static_cast<std::size_t>(kMaxTilesets))
    throw FormatError("tilesetCount must lie in 0..255 (" + std::to_string(tilesets.size()) + ")");
  out.int32(static_cast<std::int32_t>(tilesets.size()));
  for (const auto& entry : tilesets) {
    out.line(entry.label);
    writeTilesetCells(entry.tileset.get(), out, plan);
  }
}

void writeTilesetSection(std::span<const TilesetEntry> tilesets, ByteWriter& out) {
  writeTilesetSection(tilesets, out, SavePlan(map::Map(), tilesets));
}

void writeProject(const map::Map& map, std::span<const TilesetEntry> tilesets, ByteWriter& out) {
  const SavePlan plan(map, tilesets);
  saveMap(map, out, plan);
  writeTilesetSection(tilesets, out, plan);
}

map::MapPtr readMapSection(ByteReader& in) {
  const std::int32_t w = readSize(in, "width");
  const std::int32_t h = readSize(in, "height");
  const std::int32_t d = readSize(in, "depth");
  const std::int32_t tileWidth = in.int32();
  const std::int32_t tileHeight = in.int32();

  base::consoleLine("Reading tiles");
  const std::int32_t tileCount = readCount(in, "tileCount", kMinTileRecord);
  std::vector<TilePtr> table;
  table.reserve(static_cast<std::size_t>(tileCount));
  for (std::int32_t i = 0; i < tileCount; ++i) table.push_back(readTile(in));
  base::consoleLine("Read tiles.");

  requireCells(in, w, h, d);
  map::MapPtr map;
  try {
    map = map::Map::create(w, h, d, tileWidth, tileHeight);
  } catch (const std::length_error&) {
    throw FormatError("map size " + std::to_string(w) + " x " + std::to_string(h) + " x " + std::to_string(d) +
                      " is too large");
  }
  map->tileTable = std::move(table);
  map->tileCount = tileCount;
  readCells(in, *map);

  const std::int32_t lightCount = readCount(in, "lightCount", kLightRecord);
  map->lights.reserve(static_cast<std::size_t>(lightCount));
  for (std::int32_t i = 0; i < lightCount; ++i) {
    auto light = std::make_shared<map::Light>();
    light->read(in);
    map->addLight(std::move(light));
  }
  const std::int32_t pivotCount = readCount(in, "pivotCount", kMinPivotRecord);
  map->pivots.reserve(static_cast<std::size_t>(pivotCount));
  for (std::int32_t i = 0; i < pivotCount; ++i) {
    auto pivot = std::make_shared<map::Pivot>();
    pivot->read(in);
    map->addPivot(std::move(pivot));
  }
  return map;
}

std::vector<TilesetEntry> readTilesetSection(ByteReader& in, const std::vector<TilePtr>& tileTable) {
  const std::int32_t count = in.int32();
  if (count < 0 || count > kMaxTilesets)
    throw FormatError("tilesetCount must lie in 0..255 (" + std::to_string(count) + ")");
  in.require(static_cast<std::uint64_t>(count) * kMinTilesetRecord);

  // The first table entry of each folded path wins.
  std::unordered_map<std::string, const TilePtr*> byPath;
  for (const TilePtr& tile : tileTable) byPath.emplace(base::asciiLower(tile->path), &tile);

  std::vector<TilesetEntry> tilesets;
  tilesets.reserve(static_cast<std::size_t>(count));
  for (std::int32_t t = 0; t < count; ++t) {
    TilesetEntry entry{in.line(), map::Map::createTileset()};
    for (std::int32_t y = 0; y < kTilesetRows; ++y) {
      for (std::int32_t x = 0; x < kTilesetColumns; ++x) {
        if (in.byte() != kOccupied) continue;
        TilePtr tile = readTile(in);
        if (auto it = byPath.find(base::asciiLower(tile->path)); it != byPath.end()) {
          tile = *it->second;
          base::consoleLine("Replaced tile.");
        }
        entry.tileset->setCell(x, y, 0, std::move(tile));
      }
    }
    tilesets.push_back(std::move(entry));
  }
  return tilesets;
}

base::Result<Project> parseProject(std::span<const std::uint8_t> bytes, Accept accept, ParseFailure* failure) {
  try {
    ByteReader in(bytes);
    Project project;
    project.map = readMapSection(in);
    if (failure) *failure = {true, in.atEnd()};
    if (accept == Accept::projectOrExport && in.atEnd()) return project;
    project.tilesets = readTilesetSection(in, project.map->tileTable);
    project.hasTilesetSection = true;
    return project;
  } catch (const base::StreamError& e) {
    return base::Error{e.what()};
  } catch (const FormatError& e) {
    return base::Error{e.what()};
  } catch (const std::bad_alloc&) {
    return base::outOfMemory("read the project");
  }
}

}  // namespace vorlane::io
