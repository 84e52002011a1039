// Block: every cell of the rectangle from the press to the release.
#include "map/tools/shape_tool.h"

namespace vorlane::map {

std::unique_ptr<Tool> makeBlock() { return std::make_unique<ShapeTool>(Shape::block); }

}  // namespace vorlane::map
