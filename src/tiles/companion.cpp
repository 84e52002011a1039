#include "tiles/companion.h"

#include <algorithm>

namespace vorlane::tiles {

std::string companionPath(std::string_view imagePath) {
  std::string p(imagePath);
  std::replace(p.begin(), p.end(), '\\', '/');
  auto slash = p.rfind('/');
  std::string dir = (slash == std::string::npos || slash + 1 == p.size()) ? "<bad_dir>" : p.substr(0, slash);
  std::string stem = p;
  auto dot = stem.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) stem.erase(dot);
  auto stemSlash = stem.rfind('/');
  if (stemSlash != std::string::npos) stem.erase(0, stemSlash + 1);
  return dir + "/NM" + stem + ".bmp";
}

}  // namespace vorlane::tiles
