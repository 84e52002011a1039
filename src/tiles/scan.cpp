#include "tiles/scan.h"

namespace vorlane::tiles {

base::Result<ScanSource> loadScanSource(const std::string&) { return base::Error{"Not a valid file."}; }
std::vector<TilePtr> cutImage(const ScanSource&, std::int32_t, std::int32_t, const std::string&, int) { return {}; }

}  // namespace vorlane::tiles
