// Rect: the outline of the rectangle from the press to the release.
#include "map/tools/shape_tool.h"

namespace vorlane::map {

std::unique_ptr<Tool> makeRect() { return std::make_unique<ShapeTool>(Shape::rect); }

}  // namespace vorlane::map
