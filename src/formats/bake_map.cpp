#include "formats/bake_map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "formats/bake_map_atlas.h"
#include "formats/flips.h"
#include "formats/tiled_read.h"
#include "io/project.h"
#include "platform/files.h"
#include "platform/atomic_write.h"
#include "platform/memory.h"

namespace vorlane::formats {

namespace tiled {

namespace {
constexpr int kAtlasZlibLevel = 1;
}  // namespace

LitAtlas::LitAtlas(const Imported& source, std::int32_t maxAtlasSide)
    : source_(source),
      w_(source.map->tileWidth),
      h_(source.map->tileHeight),
      side_(maxAtlasSide),
      tileBytes_(static_cast<std::size_t>(w_) * static_cast<std::size_t>(h_) * 4) {
  cells_.resize(source.gids.size());
  for (std::size_t d = 0; d < source.gids.size(); ++d) cells_[d].assign(source.gids[d].size(), -1);
}

void LitAtlas::take(std::size_t first, std::span<const tiles::TilePtr> cells) {
  const map::Map& m = *source_.map;
  const auto depth = static_cast<std::size_t>(m.depth), height = static_cast<std::size_t>(m.height);
  for (std::size_t k = 0; k < cells.size(); ++k) {
    const tiles::Tile* tile = cells[k].get();
    if (!tile || !tile->image) continue;
    // The cell table runs column, row, layer.
    const std::size_t c = first + k, d = c % depth, y = (c / depth) % height, x = c / depth / height;
    const std::size_t at = y * static_cast<std::size_t>(m.width) + x;
    const std::uint32_t gid = source_.gids[d][at];
    const platform::Image& image = *tile->image;
    scratch_.resize(tileBytes_ + 4);
    if ((gid & kFlipBits) == 0 && image.width == w_ && image.height == h_) {
      std::memcpy(scratch_.data(), image.pixels.data(), tileBytes_);
    } else {
      const platform::Image unflipped = flipImage(image, gid & kFlipBits, true);
      // Nearest pixel, centres on centres, as the map is drawn at zoom 1.
      for (std::int32_t ty = 0; ty < h_; ++ty)
        for (std::int32_t tx = 0; tx < w_; ++tx) {
          const auto sx = static_cast<std::int32_t>((2 * std::int64_t{tx} + 1) * unflipped.width / (2 * std::int64_t{w_}));
          const auto sy = static_cast<std::int32_t>((2 * std::int64_t{ty} + 1) * unflipped.height / (2 * std::int64_t{h_}));
          std::memcpy(&scratch_[(static_cast<std::size_t>(ty) * static_cast<std::size_t>(w_) + static_cast<std::size_t>(tx)) * 4],
                      unflipped.at(sx, sy), 4);
        }
    }
    // Tiles made from different source tiles stay apart, even when they light alike: each
    // keeps its own tile's properties and shapes.
    const std::uint32_t base = gid & ~kGidFlags;
    std::memcpy(&scratch_[tileBytes_], &base, 4);
    const std::size_t hash =
        std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(scratch_.data()), scratch_.size()));
    std::int64_t found = -1;
    for (auto [it, end] = byHash_.equal_range(hash); it != end && found < 0; ++it)
      if (sources_[it->second] == base &&
          std::memcmp(&pixels_[static_cast<std::size_t>(it->second) * tileBytes_], scratch_.data(), tileBytes_) == 0)
        found = it->second;
    if (found < 0) {
      found = static_cast<std::int64_t>(sources_.size());
      pixels_.insert(pixels_.end(), scratch_.begin(), scratch_.begin() + static_cast<std::ptrdiff_t>(tileBytes_));
      sources_.push_back(base);
      byHash_.emplace(hash, static_cast<std::uint32_t>(found));
    }
    cells_[d][at] = found;
  }
}

base::Result<std::vector<LitAtlas::Page>> LitAtlas::write(const std::string& folder, const std::string& stem,
                                                          std::vector<std::string>& written) const {
  std::vector<Page> pages;
  if (w_ > side_ || h_ > side_) return base::Error{"tiles larger than " + std::to_string(side_) + " pixels cannot go in an atlas"};
  const std::int32_t maxColumns = side_ / w_, maxRows = side_ / h_;
  const std::size_t perPage = static_cast<std::size_t>(maxColumns) * static_cast<std::size_t>(maxRows);
  const std::size_t rowBytes = static_cast<std::size_t>(w_) * 4;
  for (std::size_t first = 0, n = 0; first < sources_.size(); first += perPage, ++n) {
    Page p;
    p.first = first;
    p.count = static_cast<std::int32_t>(std::min(perPage, sources_.size() - first));
    // Near square, within the side limit, as an export lays them out.
    const auto square = static_cast<std::int32_t>(std::ceil(std::sqrt(static_cast<double>(p.count))));
    p.columns = std::min(maxColumns, std::max(square, (p.count + maxRows - 1) / maxRows));
    p.width = p.columns * w_;
    p.height = (p.count + p.columns - 1) / p.columns * h_;
    p.file = stem + "_lit" + (n == 0 ? "" : "_" + std::to_string(n + 1)) + ".png";
    platform::Image image(p.width, p.height);
    for (std::int32_t i = 0; i < p.count; ++i) {
      const std::uint8_t* tile = &pixels_[(first + static_cast<std::size_t>(i)) * tileBytes_];
      for (std::int32_t y = 0; y < h_; ++y)
        std::memcpy(image.at((i % p.columns) * w_, (i / p.columns) * h_ + y), tile + static_cast<std::size_t>(y) * rowBytes,
                    rowBytes);
    }
    const std::string path = folder.empty() ? p.file : folder + "/" + p.file;
    // Fast compression: a bake's atlases are written on every bake, and most of their size
    // goes anyway (lit tiles rarely repeat).
    if (auto status = io::writePngFile(path, image, true, kAtlasZlibLevel); !status)
      return base::Error{path + ": " + status.error()};
    written.push_back(path);
    pages.push_back(std::move(p));
  }
  return pages;
}

std::string movedPath(const std::string& path, const std::string& from, const std::string& to) {
  namespace fs = std::filesystem;
  const fs::path p(path);
  if (path.empty() || p.is_absolute() || path.find(':') != std::string::npos) return path;  // also URLs and drives
  const fs::path a = fs::absolute(fs::path(from.empty() ? "." : from) / p).lexically_normal();
  const fs::path moved = a.lexically_relative(fs::absolute(to.empty() ? "." : to).lexically_normal());
  return moved.empty() ? a.generic_string() : moved.generic_string();
}

}  // namespace tiled

namespace {

bool sameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace

base::Result<Notes> bakeMapFile(const std::string& input, const std::string& output, const BakeMapRequest& request,
                                const lighting::Progress& progress) {
  namespace fs = std::filesystem;
  const Format* in = formatForPath(input);
  const Format* out = formatForPath(output);
  auto bytes = platform::readWholeFile(input, tiled::kMaxMapFileBytes);
  if (!bytes) return base::Error{input + ": " + bytes.error()};
  const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  const bool xml = in && in->name == "tmx" ? true : in && in->name == "tmj" ? false : looksLikeXml(text);
  if (out && out->name != (xml ? "tmx" : "tmj"))
    return base::Error{output + ": a baked map keeps the syntax of its source; name it ." + (xml ? "tmx" : "tmj or .json")};
  if (sameFile(input, output)) return base::Error{output + ": the lit map would replace the map it is baked from"};

  ImportOptions options;
  options.lossy = true;
  options.keepGids = true;
  auto imported = importMapFile(input, options);
  if (!imported) return base::Error{imported.error()};
  if (auto writable = platform::checkWritable(output); !writable) return base::Error{output + ": " + writable.error()};
  const map::Map& source = *imported->map;
  auto settings = lighting::commandSettings(source, request.width, request.height, request.soft, request.options,
                                            request.threads);
  if (!settings) return base::Error{input + ": " + settings.error()};
  lighting::MemoryEstimate need = lighting::estimateMemory(source, *settings, true);
  // Distinct lit tiles are held until the atlases are written: at most one per occupied cell,
  // and one atlas page.
  const auto occupied = static_cast<std::uint64_t>(
      std::count_if(source.cells.begin(), source.cells.end(), [](const tiles::TilePtr& t) { return t != nullptr; }));
  const std::uint64_t side = static_cast<std::uint64_t>(request.maxAtlasSide);
  need.litCells += occupied * static_cast<std::uint64_t>(source.tileWidth) * static_cast<std::uint64_t>(source.tileHeight) * 4 +
                   side * side * 4;
  if (auto fits = lighting::checkMemory(need, platform::availableMemory()); !fits) return base::Error{input + ": " + fits.error()};

  lighting::announce(source, *settings);
  tiled::LitAtlas atlas(*imported, request.maxAtlasSide);
  {
    const lighting::Snapshot scene(source);
    auto lit = lighting::render(scene, *settings, progress, {},
                                [&](std::size_t first, std::span<const tiles::TilePtr> cells) { atlas.take(first, cells); });
    if (!lit) return base::Error{input + ": " + lit.error()};
  }

  const fs::path target(output);
  const std::string folder = target.parent_path().generic_string();
  std::vector<std::string> written;
  auto removeWritten = [&] {
    for (const std::string& file : written) std::remove(file.c_str());
  };
  auto pages = atlas.write(folder, target.stem().generic_string(), written);
  if (!pages) {
    removeWritten();
    return base::Error{pages.error()};
  }
  const tiled::LitDocument document{*imported, atlas, *pages, target.stem().generic_string(), tiled::folderOf(input), folder};
  std::string relit;
  try {
    relit = xml ? tiled::relitTmx(text, document) : tiled::relitTmj(text, document);
  } catch (const tiled::Refusal& e) {
    removeWritten();
    return base::Error{input + ": " + e.what()};
  }
  auto status = io::writeFileAtomically(output, [&](base::ByteWriter& w) {
    w.bytes(reinterpret_cast<const std::uint8_t*>(relit.data()), relit.size());
  });
  if (!status) {
    removeWritten();
    return base::Error{output + ": " + status.error()};
  }
  Notes notes = imported->notes;
  notes.push_back(std::to_string(atlas.size()) + " lit tiles in " + std::to_string(pages->size()) + " atlas" +
                  (pages->size() == 1 ? "" : "es"));
  return notes;
}

}  // namespace vorlane::formats
