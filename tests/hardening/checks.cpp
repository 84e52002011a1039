#include "hardening/checks.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "base/bytes.h"
#include "base/convert.h"
#include "formats/formats.h"
#include "platform/encode.h"
#include "io/project.h"
#include "lighting/composite.h"
#include "lighting/render.h"
#include "platform/decode.h"

namespace vorlane::hardening {

namespace {

std::string checkDecoded(const base::Result<platform::Image>& image) {
  if (!image) return image.error().empty() ? "refused without a message" : "";
  if (image->width <= 0 || image->height <= 0 || image->width > platform::kMaxImageSide ||
      image->height > platform::kMaxImageSide)
    return "image size out of range";
  if (image->pixels.size() != static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height) * 4)
    return "pixel buffer does not match the size";
  return "";
}

int digit(char c, int base) {
  int d = -1;
  if (c >= '0' && c <= '9') d = c - '0';
  if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
  return d < base ? d : -1;
}

bool blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::int32_t textToIntModel(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && blank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '%') {
    base = 2;
    ++i;
  } else if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  }
  std::uint64_t value = 0;  // kept modulo 2^32
  for (; i < s.size() && digit(s[i], base) >= 0; ++i)
    value = (value * static_cast<unsigned>(base) + static_cast<unsigned>(digit(s[i], base))) & 0xFFFFFFFFu;
  if (negative) value = (0x100000000ull - value) & 0xFFFFFFFFu;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::vector<std::uint8_t> serialise(const io::Project& project) {
  base::ByteWriter out;
  if (project.hasTilesetSection)
    io::writeProject(*project.map, project.tilesets, out);
  else
    io::saveMap(*project.map, out);
  return out.data();
}

std::int32_t side(const platform::ImagePtr& image, bool wide) {
  return image ? std::max(wide ? image->width : image->height, 0) : 0;
}

void writeText(const std::filesystem::path& path, std::string_view text) {
  std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
}

// The files a fuzzed map may refer to, made once per process and removed at its end.
class ImportFolder {
 public:
  ImportFolder() {
    path_ = std::filesystem::temp_directory_path() / ("vorlane-fuzz-import-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path_);
    platform::Image image;
    image.width = image.height = 8;
    image.pixels.resize(8 * 8 * 4);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<std::uint8_t>(i * 37 + 255);
    if (auto png = platform::encodePng(image, true))
      writeText(path_ / "tiles.png", {reinterpret_cast<const char*>(png->data()), png->size()});
    writeText(path_ / "set.tsx",
              "<tileset name=\"set\" tilewidth=\"4\" tileheight=\"4\" tilecount=\"4\" columns=\"2\">"
              "<image source=\"tiles.png\" width=\"8\" height=\"8\"/></tileset>");
    writeText(path_ / "set.tsj",
              R"({"type":"tileset","name":"set","tilewidth":4,"tileheight":4,"tilecount":4,"columns":2,)"
              R"("image":"tiles.png","imagewidth":8,"imageheight":8})");
  }
  ~ImportFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ImportFolder(const ImportFolder&) = delete;
  ImportFolder& operator=(const ImportFolder&) = delete;
  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

std::string checkImported(const base::Result<formats::Imported>& imported, bool lossy) {
  if (!imported) return imported.error().empty() ? "refused without a message" : "";
  const map::Map* m = imported->map.get();
  if (!m) return "no map";
  // No tile layers (only objects) is a map of depth 0.
  const std::uint64_t cells = static_cast<std::uint64_t>(std::max(m->width, 0)) *
                              static_cast<std::uint64_t>(std::max(m->height, 0)) *
                              static_cast<std::uint64_t>(std::max(m->depth, 0));
  if (m->width < 1 || m->height < 1 || m->depth < 0 || m->cells.size() != cells)
    return "the map's cells do not match its sizes";
  for (const io::TilesetEntry& set : imported->tilesets)
    if (!set.tileset) return "a tileset without a map";
  if (!lossy && !imported->leftOut.empty()) return "a strict import left something out";
  // What an import makes is saved as a project next; big maps cost time better spent on odd ones.
  if (cells > 4096) return "";
  base::ByteWriter out;
  try {
    io::writeProject(*m, imported->tilesets, out);
  } catch (const base::FormatError& e) {
    // Texts a project line cannot hold (a line break, a character past Latin-1) are refused
    // at save with a message naming them; the import itself may keep them.
    return *e.what() ? "" : "the save refused the import without a message";
  } catch (const std::exception& e) {
    return std::string("the imported map does not save: ") + e.what();
  }
  auto again = io::parseProject(out.data(), io::Accept::projectOrExport);
  if (!again) return "the saved import does not read back: " + again.error();
  return "";
}

}  // namespace

std::string checkBmp(std::span<const std::uint8_t> bytes) {
  auto decoded = platform::decodeBmp(bytes);
  if (!decoded) return decoded.error().empty() ? "refused without a message" : "";
  return checkDecoded(base::Result<platform::Image>(std::move(decoded->image)));
}

std::string checkImage(std::span<const std::uint8_t> bytes) { return checkDecoded(platform::decodeImage(bytes)); }

std::string checkTextToInt(std::span<const std::uint8_t> bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const std::int32_t got = base::textToInt(text), want = textToIntModel(text);
  if (got != want) return "textToInt gave " + std::to_string(got) + ", the rule gives " + std::to_string(want);
  return "";
}

std::string checkProject(std::span<const std::uint8_t> bytes) {
  auto project = io::parseProject(bytes, io::Accept::projectOrExport);
  if (!project) return project.error().empty() ? "refused without a message" : "";
  if (!project->map) return "no map";
  std::vector<std::uint8_t> written;
  try {
    written = serialise(*project);
  } catch (const std::exception& e) {
    return std::string("an accepted file does not write back: ") + e.what();
  }
  auto again = io::parseProject(written, io::Accept::projectOrExport);
  if (!again) return "what was written does not read back: " + again.error();
  if (again->hasTilesetSection != project->hasTilesetSection || serialise(*again) != written)
    return "what was written reads back differently";
  return "";
}

std::string checkBake(std::span<const std::uint8_t> bytes) {
  auto project = io::parseProject(bytes, io::Accept::projectOrExport);
  if (!project) return "";
  map::Map& source = *project->map;
  // Big maps bake correctly but slowly; the fuzzer's time is better spent on odd small ones.
  const std::uint64_t cells = static_cast<std::uint64_t>(source.width) * static_cast<std::uint64_t>(source.height);
  if (cells > 4096 || source.lights.size() > 8) return "";
  const std::uint64_t tileW = static_cast<std::uint64_t>(std::clamp(source.tileWidth, 0, 1 << 16));
  const std::uint64_t tileH = static_cast<std::uint64_t>(std::clamp(source.tileHeight, 0, 1 << 16));
  const bool smallPicture = source.tileWidth <= (1 << 16) && source.tileHeight <= (1 << 16) &&
                            cells * tileW * tileH <= (1u << 20);

  auto lit = lighting::render(lighting::Snapshot(source), {32, 24, (bytes.size() & 1) != 0, 4, {}});
  if (!lit) return lit.error().empty() ? "refused without a message" : "";
  const map::Map& out = *lit->map;
  if (out.width != source.width || out.height != source.height || out.depth != source.depth ||
      out.cells.size() != source.cells.size())
    return "the lit map has other sizes";
  for (std::size_t k = 0; k < source.cells.size(); ++k) {
    const auto &from = source.cells[k], &to = out.cells[k];
    if (!from != !to) return "a cell was lost or invented";
    if (!from) continue;
    const std::int32_t w = side(from->image, true), h = side(from->image, false);
    if (!to->image || to->image->width != w || to->image->height != h ||
        to->image->pixels.size() != static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4)
      return "a lit image has another size than its source";
    if (!to->colourGrid || to->colourGrid->values != tiles::ChannelGrid::fromImage(*to->image)->values || !to->normalGrid ||
        to->normalGrid->values.size() != to->image->pixels.size())
      return "a lit tile's grids do not match its image";
  }
  // What `vorlane-tool bake` writes must read back, and `png` must draw it or say why not.
  base::ByteWriter written;
  io::saveMap(out, written);
  if (!io::parseProject(written.data(), io::Accept::projectOrExport)) return "the lit map does not read back";
  if (!smallPicture) return "";
  auto picture = lighting::compositeMap(out);
  if (!picture && picture.error().empty()) return "compositing refused without a message";
  if (picture && picture->pixels.size() != static_cast<std::size_t>(picture->width) * picture->height * 4)
    return "the composite's pixels do not match its size";
  return "";
}

std::string checkImport(std::span<const std::uint8_t> bytes) {
  static const ImportFolder folder;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  // One input either way: the odd sizes try the lossy import, which accepts more.
  formats::ImportOptions options;
  options.lossy = (bytes.size() & 1) != 0;
  std::string problem = checkImported(formats::importTmx(text, folder.path(), options), options.lossy);
  if (!problem.empty()) return "TMX: " + problem;
  problem = checkImported(formats::importTmj(text, folder.path(), options), options.lossy);
  return problem.empty() ? "" : "TMJ: " + problem;
}

}  // namespace vorlane::hardening
