#include "formats/tiled_read.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <new>

#include "base/convert.h"
#include "base/text.h"
#include "platform/files.h"

namespace vorlane::formats::tiled {

void refuse(const std::string& message) { throw Refusal(message); }

void check(const base::Status& status, const std::string& prefix) {
  if (!status) refuse(prefix + status.error());
}

std::int64_t parseWhole(std::string_view text, const std::string& what) {
  std::int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty())
    refuse(what + " is not a whole number: '" + std::string(text) + "'");
  return value;
}

float parseNumber(std::string_view text, const std::string& what) {
  float value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty())
    refuse(what + " is not a number: '" + std::string(text) + "'");
  return value;
}

std::int32_t groupLayer(const std::vector<Property>& properties, std::int32_t layersRead) {
  for (const Property& p : properties)
    if (p.name == "layer") return base::floatToInt(parseNumber(p.value, "an object layer's property layer"));
  return layersRead > 0 ? layersRead - 1 : 0;
}

void ChunkBounds::add(std::int64_t column, std::int64_t row, std::int64_t width, std::int64_t height) {
  constexpr std::int64_t kReach = std::int64_t{1} << 30;
  if (width < 1 || height < 1 || width > kReach || height > kReach || column < -kReach || row < -kReach ||
      column > kReach || row > kReach)
    refuse("a chunk of an infinite map has no cells or lies too far out (" + std::to_string(column) + ", " +
           std::to_string(row) + ", " + std::to_string(width) + " x " + std::to_string(height) + ")");
  if (!any) {
    left = column, top = row, right = column + width, bottom = row + height;
    any = true;
    return;
  }
  left = std::min(left, column), top = std::min(top, row);
  right = std::max(right, column + width), bottom = std::max(bottom, row + height);
}

void placeChunk(const std::vector<std::uint32_t>& cells, std::int64_t column, std::int64_t row, std::int64_t width,
                const Builder& builder, std::vector<std::uint32_t>& gids) {
  if (cells.empty()) return;
  const std::int64_t mapWidth = builder.mapWidth();
  if (gids.empty()) gids.assign(builder.layerSize(), 0);
  column -= builder.originColumn();
  row -= builder.originRow();
  // The bounds were taken over these chunks: every cell lands inside the layer.
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const std::int64_t x = column + static_cast<std::int64_t>(i) % width, y = row + static_cast<std::int64_t>(i) / width;
    gids[static_cast<std::size_t>(y * mapWidth + x)] = cells[i];
  }
}

void checkTileLayerName(Builder& builder, const std::string& name) {
  if (name != "Layer " + std::to_string(builder.layersRead() + 1)) builder.leaveOut("the names of tile layers");
}

std::string textPlace(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  const std::string_view before = text.substr(0, offset);
  const std::size_t line = static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n')) + 1;
  const std::size_t lineStart = before.rfind('\n');
  const std::size_t column = offset - (lineStart == std::string_view::npos ? 0 : lineStart + 1) + 1;
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::string folderOf(const std::string& path) {
  return std::filesystem::path(path).parent_path().generic_string();
}

TilesetSource readExternalTileset(const std::string& path) {
  auto bytes = platform::readWholeFile(path, kMaxMapFileBytes);
  if (!bytes) refuse("cannot open the tileset file " + path);
  const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  const std::string extension = base::asciiLower(std::filesystem::path(path).extension().string());
  const bool xml = extension == ".tsx" ? true : extension == ".tsj" || extension == ".json" ? false : looksLikeXml(text);
  try {
    if (text.substr(0, 4096).find('\0') != std::string_view::npos) refuse("this is not a tileset but binary data");
    if (xml) return tilesetFromXml(text, folderOf(path));
    return tilesetFromJson(text, folderOf(path));
  } catch (const Refusal& e) {
    refuse(path + ": " + e.what());
  }
}

base::Result<Imported> guarded(const std::function<base::Result<Imported>()>& read) {
  try {
    return read();
  } catch (const Refusal& e) {
    return base::Error{e.what()};
  } catch (const std::bad_alloc&) {
    return base::Error{"not enough memory to import the map"};
  } catch (const std::length_error&) {
    return base::Error{"not enough memory to import the map"};
  }
}

}  // namespace vorlane::formats::tiled
