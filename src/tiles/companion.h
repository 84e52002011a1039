#pragma once
#include <string>
#include <string_view>

namespace vorlane::tiles {

// Where an image's normal map lives: its folder + "/NM" + base name + ".bmp".
// C:\maps\grass.png gives C:/maps/NMgrass.bmp; a path without a folder gives "<bad_dir>/NM…".
std::string companionPath(std::string_view imagePath);

}  // namespace vorlane::tiles
