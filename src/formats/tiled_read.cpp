#include "formats/tiled_read.h"

#include <charconv>
#include <filesystem>
#include <new>

#include "base/convert.h"
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

std::string folderOf(const std::string& path) {
  return std::filesystem::path(path).parent_path().generic_string();
}

TilesetSource readExternalTileset(const std::string& path) {
  auto bytes = platform::readWholeFile(path);
  if (!bytes) refuse("cannot open the tileset file " + path);
  const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  const std::size_t first = text.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
  try {
    if (first != std::string_view::npos && text[first] == '<') return tilesetFromXml(text, folderOf(path));
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
