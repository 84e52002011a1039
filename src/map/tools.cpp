#include "map/tools.h"

namespace vorlane::map {

void steppedLine(std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                 const std::function<void(std::int32_t, std::int32_t)>&) {}
void paintLine(Map&, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, const TilePtr&) {}
void markLine(Map&, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}
void beginStroke(Stroke&, Map&, std::int32_t, std::int32_t, const TilePtr&) {}
void updateStroke(const Stroke&, Map&, std::int32_t, std::int32_t, const TilePtr&) {}
void endStroke(Stroke&, Map&, std::int32_t, std::int32_t, const TilePtr&, bool) {}
std::int32_t layerFromText(std::string_view, std::int32_t) { return 0; }
std::int32_t layerDown(std::int32_t) { return 0; }
std::int32_t layerUp(std::int32_t, std::int32_t) { return 0; }

}  // namespace vorlane::map
