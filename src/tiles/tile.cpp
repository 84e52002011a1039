#include "tiles/tile.h"

#include <cstring>
#include <new>

#include "base/console.h"
#include "base/text.h"
#include "platform/decode.h"
#include "platform/files.h"
#include "tiles/companion.h"

namespace vorlane::tiles {

using base::consoleLine;

base::Result<std::shared_ptr<Tile>> Tile::fromFile(const std::string& path) {
  consoleLine("loading tile.");
  auto decoded = platform::decodeImageFile(path);
  if (!decoded)
    return base::Error{base::isOutOfMemory(decoded.error()) ? decoded.error()
                                                          : base::withFileDetail(kFileNotFound, path, decoded.error())};
  try {
    auto tile = std::make_shared<Tile>();
    tile->image = std::make_shared<platform::Image>(std::move(decoded).value());
    consoleLine("Creating rgb map.");
    tile->colourGrid = ChannelGrid::fromImage(*tile->image);
    std::string companion = companionPath(path);
    if (platform::isRegularFile(companion)) {
      consoleLine("Creating normal map");
      auto normal = platform::decodeImageFile(companion);
      if (!normal)
        return base::Error{base::isOutOfMemory(normal.error()) ? normal.error()
                                                             : base::withFileDetail(kNormalMapNotFound, companion, normal.error())};
      tile->normalGrid = ChannelGrid::fromImage(*normal);
      consoleLine(companion + " found.");
    } else {
      consoleLine(companion + " not found.");
      tile->normalGrid = ChannelGrid::flatNormals(tile->image->width, tile->image->height);
    }
    tile->path = path;
    return tile;
  } catch (const std::bad_alloc&) {
    return base::outOfMemory("load the tile " + path);
  }
}

base::Status Tile::setImages(platform::ImagePtr newImage, const platform::Image* normalImage) {
  if (!newImage || !normalImage) return base::Error{kNormalMapNotFound};
  image = std::move(newImage);
  colourGrid = ChannelGrid::fromImage(*image);
  normalGrid = ChannelGrid::fromImage(*normalImage);
  return base::success();
}

void Tile::draw(platform::Surface& surface, float x, float y, std::int32_t width, std::int32_t height) const {
  if (image) surface.drawImage(*image, x, y, static_cast<float>(width), static_cast<float>(height));
}

void Tile::write(base::ByteWriter& out, std::string_view storedPath) const {
  static const platform::Image empty;
  const platform::Image& img = image ? *image : empty;
  out.line(storedPath);
  out.int32(img.width);
  out.int32(img.height);
  out.byte(castShadows);
  out.byte(collider);
  // The record is column by column; the image is row by row. An image without pixels has
  // no columns: its height alone must not size a buffer, nor its width alone run a loop.
  const bool hasPixels = img.width > 0 && img.height > 0;
  std::vector<std::uint8_t> column(hasPixels ? static_cast<std::size_t>(img.height) * 4 : 0);
  auto writeColumns = [&] {
    for (std::int32_t x = 0; hasPixels && x < img.width; ++x) {
      for (std::int32_t y = 0; y < img.height; ++y) std::memcpy(column.data() + static_cast<std::size_t>(y) * 4, img.at(x, y), 4);
      out.bytes(column.data(), column.size());
    }
  };
  writeColumns();
  if (colourGrid) {
    colourGrid->write(out);
  } else {
    // The grid of the image holds the same columns.
    out.int32(img.width);
    out.int32(img.height);
    writeColumns();
  }
  if (normalGrid)
    normalGrid->write(out);
  else
    ChannelGrid::flatNormals(img.width, img.height)->write(out);
}

void Tile::read(base::ByteReader& in) {
  consoleLine("Reading tile.");
  path = in.line();
  std::int32_t w = in.int32();
  std::int32_t h = in.int32();
  if (w < 0 || h < 0) throw base::FormatError("tile image width and height must not be negative");
  castShadows = in.byte();
  collider = in.byte();
  in.require(static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) * 4);
  auto img = std::make_shared<platform::Image>(w, h);
  img->mipmapped = true;
  // An image without pixels has no column to read: neither its height alone may size a
  // buffer nor its width alone run a loop.
  const bool hasPixels = w > 0 && h > 0;
  std::vector<std::uint8_t> column(hasPixels ? static_cast<std::size_t>(h) * 4 : 0);
  for (std::int32_t x = 0; hasPixels && x < w; ++x) {
    in.bytes(column.data(), column.size());
    for (std::int32_t y = 0; y < h; ++y) std::memcpy(img->at(x, y), column.data() + static_cast<std::size_t>(y) * 4, 4);
  }
  image = std::move(img);
  consoleLine("Read.");
  colourGrid = std::make_shared<ChannelGrid>();
  colourGrid->read(in);
  normalGrid = std::make_shared<ChannelGrid>();
  normalGrid->read(in);
}

}  // namespace vorlane::tiles
