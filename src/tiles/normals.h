#pragma once
// Deriving a normal map from an ordinary image, for artists who have none: the image's
// luminance is taken as height and its slope becomes the normal.
#include <cstdint>

#include "platform/image.h"

namespace vorlane::tiles {

struct NormalOptions {
  // Height in pixels of a white pixel above a black one: larger values tilt more.
  float strength = 4.0f;
  // For height maps whose rows run upwards: flips the y component.
  bool invertY = false;
  // Radius of a box blur of the height before the slope is taken; 0 keeps every detail.
  std::int32_t blur = 0;
};

// A normal map of the image's size in the companion encoding: z in red, y (up the screen)
// in green, x in blue, each component c stored as round((c + 1) / 2 * 255), alpha 255.
// Pixels with alpha below one half are flat (255, 128, 128), and count as height 0 for
// their neighbours.
platform::Image deriveNormalMap(const platform::Image& image, const NormalOptions& options = {});

}  // namespace vorlane::tiles
