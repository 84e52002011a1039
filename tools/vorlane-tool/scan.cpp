// `scan`: cuts an image and its "NM" companion into tiles, as the editor's Scan Bmp does,
// and writes them as the one tileset of a new project around an empty 1 × 1 × 1 map.
#include <iostream>
#include <memory>
#include <regex>
#include <string>

#include "base/console.h"
#include "base/convert.h"
#include "commands.h"
#include "io/project.h"
#include "tiles/companion.h"
#include "tiles/scan.h"

namespace vorlane::tool {

namespace {

struct TileSize {
  std::int32_t width = 16, height = 16;
};

// "WxH" with decimal numbers; anything else is a usage error.
bool parseTileSize(const std::string& text, TileSize& size) {
  static const std::regex shape("([0-9]{1,9})[xX]([0-9]{1,9})");
  std::smatch m;
  if (!std::regex_match(text, m, shape)) return false;
  size.width = base::textToInt(m[1].str());
  size.height = base::textToInt(m[2].str());
  return true;
}

int runScan(const std::string& image, const std::string& out, TileSize size) {
  if (auto ok = tiles::checkScanTileSize(size.width, size.height); !ok) {
    std::cerr << ok.error() << '\n';
    return kExitBadInput;
  }
  if (auto refused = refuseOwnInput(out, {image, tiles::companionPath(inThisFolder(image))})) return *refused;
  auto source = tiles::loadScanSource(inThisFolder(image));
  if (!source) return fail(image, source.error());

  auto pieces = tiles::cutImage(*source, size.width, size.height, image);
  if (!pieces) return fail(image, pieces.error());
  auto map = map::Map::create(1, 1, 1, size.width, size.height);
  auto tileset = map::Map::createTileset();
  for (tiles::TilePtr& piece : *pieces) tileset->addToFirstFreeCell(std::move(piece));
  const io::TilesetEntry entries[] = {{"Tileset 1", tileset}};
  // Written at exactly the path given (no extension added), through a temporary file.
  auto status = io::writeFileAtomically(out, [&](base::ByteWriter& w) { io::writeProject(*map, entries, w); });
  if (!status) return fail(out, status.error());
  return kExitOk;
}

}  // namespace

void addScanCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand("scan", "Cut an image and its NM companion into the tileset of a new project");
  auto image = std::make_shared<std::string>();
  auto out = std::make_shared<std::string>();
  auto tile = std::make_shared<std::string>("16x16");
  cmd->add_option("IMAGE", *image, "PNG, JPEG or BMP image; its normal map is NM<name>.bmp beside it")->required();
  cmd->add_option("-o,--output", *out, "Project file to write")->required()->check(nonEmptyPath());
  cmd->add_option("--tile", *tile, "Tile size WxH in pixels (default 16x16)");
  cmd->callback([image, out, tile, &exitCode] {
    TileSize size;
    if (!parseTileSize(*tile, size)) throw CLI::ValidationError("--tile", "expected WxH, for example 32x16");
    // The library's progress lines ("Loaded normal") are not the tool's output.
    base::ConsoleCapture quiet;
    exitCode = runScan(*image, *out, size);
  });
}

}  // namespace vorlane::tool
