#include "formats/formats.h"

#include <array>

#include "base/text.h"
#include "formats/tiled_export.h"
#include "formats/tiled_read.h"
#include "io/project.h"
#include "lighting/composite.h"
#include "platform/files.h"

namespace vorlane::formats {

namespace {

base::Result<Imported> readTiledFile(const std::string& path, const ImportOptions& options) {
  return importMapFile(path, options);
}

// The map as `vorlane-tool png` draws it.
base::Result<Notes> writePicture(const std::string& path, const map::Map& map, const ExportOptions&) {
  auto image = lighting::compositeMap(map);
  if (!image) return base::Error{image.error()};
  auto status = io::writePngFile(path, *image, false);
  if (!status) return base::Error{status.error()};
  return Notes{};
}

constexpr std::array<Format, 3> kFormats = {{
    {"tmx", "TMX maps", "tmx", readTiledFile, tiled::exportTmx},
    {"tmj", "JSON maps", "tmj,json", readTiledFile, tiled::exportTmj},
    {"png", "PNG pictures", "png", nullptr, writePicture},
}};

}  // namespace

std::span<const Format> formatTable() { return kFormats; }

const Format* formatNamed(std::string_view name) {
  for (const Format& f : kFormats)
    if (f.name == name) return &f;
  return nullptr;
}

const Format* formatForPath(std::string_view path) {
  const auto dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find_first_of("/\\", dot) != std::string_view::npos) return nullptr;
  const std::string extension = base::asciiLower(path.substr(dot + 1));
  for (const Format& f : kFormats) {
    std::string_view list = f.extensions;
    while (!list.empty()) {
      const auto comma = list.find(',');
      if (list.substr(0, comma) == extension) return &f;
      list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
    }
  }
  return nullptr;
}

std::string requesterFilter(bool forImport) {
  std::string filter;
  for (const Format& f : kFormats)
    if (forImport ? f.read != nullptr : f.write != nullptr)
      filter += std::string(f.description) + ":" + std::string(f.extensions) + ";";
  return filter;
}

bool looksLikeXml(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
  return first != std::string_view::npos && text[first] == '<';
}

base::Result<Imported> importMapFile(const std::string& path, const ImportOptions& options) {
  auto bytes = platform::readWholeFile(path, tiled::kMaxMapFileBytes);
  if (!bytes) return base::Error{path + ": " + bytes.error()};
  const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  // Neither syntax has a zero byte: a picture or archive under a map's name.
  if (text.substr(0, 4096).find('\0') != std::string_view::npos)
    return base::Error{path + ": this is not a tile map but binary data (a picture or an archive?)"};
  // The extension says which syntax; the content only when it says nothing.
  const Format* format = formatForPath(path);
  const bool xml = format && format->name == "tmx" ? true : format && format->name == "tmj" ? false : looksLikeXml(text);
  const std::string folder = tiled::folderOf(path);
  auto imported = xml ? importTmx(text, folder, options) : importTmj(text, folder, options);
  if (!imported) return base::Error{path + ": " + imported.error()};
  return imported;
}

}  // namespace vorlane::formats
