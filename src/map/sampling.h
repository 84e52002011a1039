#pragma once
// Sampling a tile image as the canvas does when it draws the image stretched over a cell:
// bilinear magnification, trilinear minification through 2 × 2 box mipmaps for mipmapped
// images, the nearest pixel for others; edges clamp. Shared by the far-zoom pictures of the
// map view and the scaled preview of a map, so both look like the canvas.
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/image.h"

namespace vorlane::map {

class TileSampler {
 public:
  // `lod` is log2 of image pixels per canvas pixel (the larger of the two axes).
  TileSampler(const platform::Image& image, float lod);
  // The RGBA sample at (u, v) in [0, 1] across the image, each channel 0..255.
  void sample(float u, float v, float out[4]) const;
  // log2 of image pixels per canvas pixel for a cell of spanX × spanY canvas pixels.
  static float lodFor(const platform::Image& image, float spanX, float spanY);

 private:
  void bilinear(std::size_t level, float u, float v, float out[4]) const;

  const platform::Image& image_;
  float lod_;
  bool nearest_;
  std::vector<std::vector<std::uint8_t>> levels_;  // from level 1 (level 0 is the image)
  std::vector<std::pair<std::int32_t, std::int32_t>> sizes_;
};

}  // namespace vorlane::map
