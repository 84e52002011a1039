#pragma once
// The "New Map" dialog: asks for the size of a new map in its own event loop, which takes
// and drops every event that does not end it.
#include <cstdint>
#include <optional>

#include "platform/toolkit.h"

namespace vorlane::app {

struct MapSize {
  std::int32_t width, height, depth, tileWidth, tileHeight;
};

// The sizes read on Create, each raised to its minimum (1 cell, 1 layer, 4 pixels); none on
// Cancel or close. The dialog is gone when this returns.
std::optional<MapSize> runNewMapDialog(platform::Toolkit& toolkit, platform::Handle owner);

}  // namespace vorlane::app
