#pragma once
// The four 8-bit channels of every pixel of an image, indexed [x][y][channel]: what the
// light-map renderer reads instead of the image itself.
#include <cstdint>
#include <memory>
#include <vector>

#include "base/bytes.h"
#include "platform/image.h"

namespace vorlane::tiles {

class ChannelGrid;
using ChannelGridPtr = std::shared_ptr<ChannelGrid>;

class ChannelGrid {
 public:
  // Entry (x, y, k) sits at (x * height + y) * 4 + k.
  std::vector<std::uint8_t> values;
  std::int32_t width = 0;
  std::int32_t height = 0;

  // Grid of the image's size holding all its channels.
  static ChannelGridPtr fromImage(const platform::Image& image);
  // A grid of w × h pixels all holding one value.
  static ChannelGridPtr filled(std::int32_t w, std::int32_t h, const std::uint8_t (&pixel)[4]);
  static ChannelGridPtr flatNormals(std::int32_t w, std::int32_t h);

  std::size_t index(std::int32_t x, std::int32_t y) const {
    return (static_cast<std::size_t>(x) * static_cast<std::size_t>(height) + static_cast<std::size_t>(y)) * 4;
  }
  const std::uint8_t* at(std::int32_t x, std::int32_t y) const { return values.data() + index(x, y); }

  void write(base::ByteWriter& out) const;
  // Throws base::StreamError when the stream is short, base::FormatError on a negative size.
  void read(base::ByteReader& in);
};

// The flat normal (0, 0, 1) as a normal-map pixel.
inline constexpr std::uint8_t kFlatNormal[4] = {255, 128, 128, 255};

}  // namespace vorlane::tiles
