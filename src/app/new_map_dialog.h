#pragma once
// The "New Map" dialog: asks for the size of a new map in its own event loop, which takes
// and drops every event that does not end it.
#include <cstdint>
#include <functional>

#include "platform/toolkit.h"

namespace vorlane::app {

struct MapSize {
  std::int32_t width, height, depth, tileWidth, tileHeight;
};

// Runs the dialog until Cancel, close, or a Create whose sizes (read from the fields, each
// raised to its minimum: 1 cell, 1 layer, 4 pixels) `create` accepts. A size it refuses
// (after saying why) keeps the dialog open with what was typed. The dialog is gone when
// this returns.
void runNewMapDialog(platform::Toolkit& toolkit, platform::Handle owner,
                     const std::function<bool(const MapSize&)>& create);

}  // namespace vorlane::app
