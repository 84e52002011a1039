// What a save settles before its first byte: texts a file line can hold, and one path per
// different tile.
#include <cstdio>
#include <unordered_set>

#include "base/text.h"
#include "io/project.h"

namespace vorlane::io {

namespace {

using tiles::Tile;

constexpr const char* kCannotHold = "A project file cannot hold this text, so nothing was written.";
constexpr const char* kTilePathAdvice =
    "Move the image to a folder whose name uses Latin-1 characters only (and give it such a name), then load or "
    "scan it again.";

// The text with the characters a line ends at or drops spelled out.
std::string shown(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n')
      out += "<LF>";
    else if (c == '\r')
      out += "<CR>";
    else if (c == '\0')
      out += "<NUL>";
    else
      out += c;
  }
  return out;
}

std::string why(std::uint32_t cp) {
  switch (cp) {
    case 0x0A: return "a line break (LF), at which the text would end";
    case 0x0D: return "a carriage return (CR), which reading drops";
    case 0x00: return "a null character (NUL), at which the text would end";
    default: break;
  }
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
  return "the character \"" + base::toUtf8(cp) + "\" (" + code +
         "), which is not a Latin-1 character: the file keeps one byte per character";
}

void check(std::string_view text, const std::string& what, const char* advice = nullptr) {
  const auto bad = base::firstUnstorable(text);
  if (!bad) return;
  std::string message = std::string(kCannotHold) + "\n" + what + " \"" + shown(text) + "\" holds " + why(*bad) + ".";
  if (advice) message += std::string("\n") + advice;
  throw base::FormatError(message);
}

void checkPivots(const map::Map& map) {
  for (std::size_t p = 0; p < map.pivots.size(); ++p) {
    const map::Pivot& pivot = *map.pivots[p];
    const std::string which = "pivot " + std::to_string(p + 1);
    check(pivot.link, "The link of " + which);
    for (std::int32_t r = 0; r < pivot.recordCount && r < static_cast<std::int32_t>(pivot.records.size()); ++r) {
      const map::record& rec = *pivot.records[static_cast<std::size_t>(r)];
      const std::string of = " of record " + std::to_string(r + 1) + " of " + which;
      check(rec.name, "The name" + of);
      check(rec.value, "The value" + of);
    }
  }
}

// Everything of a tile record but its path: what a reader could tell apart. A missing image
// or grid is compared as it would be written.
bool sameRecord(const Tile& a, const Tile& b) {
  base::ByteWriter x, y;
  a.write(x, {});
  b.write(y, {});
  return x.data() == y.data();
}

}  // namespace

SavePlan::SavePlan(const map::Map& map, std::span<const TilesetEntry> tilesets)
    : map_(&map), mapTiles_(tilesInUse(map)) {
  // Every tile once, in the order of the file: the map's first, then the tilesets'.
  std::vector<const Tile*> order = mapTiles_;
  std::unordered_set<const Tile*> seen(order.begin(), order.end()), inTileset;
  for (std::size_t t = 0; t < tilesets.size(); ++t) {
    check(tilesets[t].label, "The label of tileset " + std::to_string(t + 1));
    const map::Map* tileset = tilesets[t].tileset.get();
    for (std::int32_t y = 0; tileset && y < kTilesetRows; ++y) {
      for (std::int32_t x = 0; x < kTilesetColumns; ++x) {
        const Tile* tile = tileset->cell(x, y, 0).get();
        if (!tile) continue;
        inTileset.insert(tile);
        if (seen.insert(tile).second) order.push_back(tile);
      }
    }
  }
  for (const Tile* tile : order) check(tile->path, "The tile path", kTilePathAdvice);
  checkPivots(map);

  // The reader joins a tileset's tile to the first map tile of its path: only a tileset tile
  // that would so become another tile, different to a reader, moves aside. Every other tile
  // keeps its path, however many share it (a scan names every piece alike, and the map's
  // cells join their tiles by index).
  std::unordered_set<std::string> taken;
  for (const Tile* tile : order) taken.insert(base::asciiLower(tile->path));
  std::unordered_map<std::string, const Tile*> firstInMap;
  for (const Tile* tile : mapTiles_) firstInMap.emplace(base::asciiLower(tile->path), tile);
  for (const Tile* tile : order) {
    if (!inTileset.contains(tile)) continue;
    const auto joined = firstInMap.find(base::asciiLower(tile->path));
    if (joined == firstInMap.end() || joined->second == tile || sameRecord(*joined->second, *tile)) continue;
    std::string unique;
    for (int n = 2;; ++n) {
      unique = tile->path + " (" + std::to_string(n) + ")";
      if (taken.insert(base::asciiLower(unique)).second) break;
    }
    renamed_.emplace(tile, std::move(unique));
  }
}

const std::string& SavePlan::pathOf(const Tile& tile) const {
  const auto it = renamed_.find(&tile);
  return it == renamed_.end() ? tile.path : it->second;
}

}  // namespace vorlane::io
