#include "map/view.h"

namespace vorlane::map {

void draw(Map&, platform::Surface&) {}
void drawGrid(const Map&, platform::Surface&) {}
void pickCell(Map&, const platform::Surface&, int, int) {}
LightPtr pickLight(const Map&, const platform::Surface&, float, float) { return nullptr; }
PivotPtr pickPivot(const Map&, const platform::Surface&, float, float) { return nullptr; }
void scroll(Map&, float, float) {}
void scrollClamped(Map&, const platform::Surface&, float, float) {}
MapPoint canvasToMap(const Map&, const platform::Surface&, int, int) { return {0, 0}; }

}  // namespace vorlane::map
