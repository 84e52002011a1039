// Line: a stepped line from the press to the release.
#include "map/tools/shape_tool.h"

namespace vorlane::map {

std::unique_ptr<Tool> makeLine() { return std::make_unique<ShapeTool>(Shape::line); }

}  // namespace vorlane::map
