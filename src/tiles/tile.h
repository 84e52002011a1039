#pragma once
// One paintable tile: its image, colour and normal grids, its path (its identity) and the
// two flags the user edits. Shared by reference among map cells, tile tables and tilesets.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/bytes.h"
#include "base/result.h"
#include "platform/image.h"
#include "platform/surface.h"
#include "tiles/channel_grid.h"

namespace vorlane::tiles {

class Tile;
// A tile in a map, tileset or stamp is read-only: its flags change through an editor command,
// and a script writes its own copies. Code that makes a tile holds it writable until then.
using TilePtr = std::shared_ptr<const Tile>;

inline constexpr const char* kFileNotFound = "File not found.";
inline constexpr const char* kNormalMapNotFound = "Image normal map not found.";

class Tile {
 public:
  // Only slot 0 of the image slots is ever filled, so only it is kept.
  platform::ImagePtr image;
  std::int32_t frame = 0;
  std::string path;
  std::int32_t castShadows = 0;
  std::int32_t collider = 0;
  ChannelGridPtr colourGrid;
  ChannelGridPtr normalGrid;

  // Decodes the image and its "NM" companion. Without a companion the normal grid is flat.
  // Fails with "File not found." (image) or "Image normal map not found." (companion), or
  // "Not enough memory to ..." when the images or grids do not fit.
  static base::Result<std::shared_ptr<Tile>> fromFile(const std::string& path);

  // Slot 0 := image, colour grid from it, normal grid from normalImage.
  // Fails with "Image normal map not found." when either is missing; nothing changes then.
  base::Status setImages(platform::ImagePtr image, const platform::Image* normalImage);

  // Draws the image stretched to width × height at (x, y) with the surface's state.
  void draw(platform::Surface& surface, float x, float y, std::int32_t width, std::int32_t height) const;

  // The tile record. A missing grid is written as one made from the image (colour) or of
  // flat normals (normal), so every record reads back.
  void write(base::ByteWriter& out) const { write(out, path); }
  // The same record under another path (a save keeps different tiles' paths apart).
  void write(base::ByteWriter& out, std::string_view storedPath) const;
  // Throws base::StreamError on a short stream, base::FormatError on a negative size.
  void read(base::ByteReader& in);
};

}  // namespace vorlane::tiles
