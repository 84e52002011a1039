#include "tiles/channel_grid.h"

#include <algorithm>
#include <cstring>

namespace vorlane::tiles {

ChannelGridPtr ChannelGrid::fromImage(const platform::Image& image) {
  auto grid = std::make_shared<ChannelGrid>();
  grid->width = image.width;
  grid->height = image.height;
  grid->values.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4);
  if (grid->values.empty()) return grid;  // no pixels: one side alone must not run a loop
  std::uint8_t* out = grid->values.data();
  for (std::int32_t x = 0; x < image.width; ++x)
    for (std::int32_t y = 0; y < image.height; ++y, out += 4) std::memcpy(out, image.at(x, y), 4);
  return grid;
}

ChannelGridPtr ChannelGrid::filled(std::int32_t w, std::int32_t h, const std::uint8_t (&pixel)[4]) {
  auto grid = std::make_shared<ChannelGrid>();
  grid->width = w;
  grid->height = h;
  grid->values.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
  for (std::size_t i = 0; i < grid->values.size(); i += 4) std::memcpy(grid->values.data() + i, pixel, 4);
  return grid;
}

ChannelGridPtr ChannelGrid::flatNormals(std::int32_t w, std::int32_t h) { return filled(w, h, kFlatNormal); }

void ChannelGrid::write(base::ByteWriter& out) const {
  out.int32(width);
  out.int32(height);
  out.bytes(values.data(), values.size());
}

void ChannelGrid::read(base::ByteReader& in) {
  std::int32_t w = in.int32();
  std::int32_t h = in.int32();
  if (w < 0 || h < 0) throw base::FormatError("grid width and height must not be negative");
  std::uint64_t n = static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) * 4;
  in.require(n);
  width = w;
  height = h;
  values.resize(n);
  in.bytes(values.data(), n);
}

}  // namespace vorlane::tiles
