#pragma once
// The "Scan Bmp" command: asks for an image, shows the "Scan Image" dialog with its own
// event wait, and cuts the image and its normal map into a new tileset.
#include <functional>
#include <vector>

#include "map/map.h"
#include "platform/toolkit.h"

namespace vorlane::app {

// addTileset runs the shell's add-tileset operation with the pieces cut, in reading order.
void runScanDialog(platform::Toolkit& toolkit, platform::Handle owner,
                   const std::function<void(std::vector<tiles::TilePtr>)>& addTileset);

}  // namespace vorlane::app
