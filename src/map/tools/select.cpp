// Select: a drag picks a rectangle of cells on the current layer, or on every layer with
// Shift held at the press. It writes nothing; copy, cut and delete act on what it picked.
#include "map/tool.h"

namespace vorlane::map {
namespace {

class Select final : public Tool {
 public:
  CellList marks(const ToolInput& at) const override { return outlineCells({at.fromX, at.fromY, at.x, at.y}); }
  std::optional<Selection> picked(const Paint& p, const ToolInput& at) const override {
    return Selection{{at.fromX, at.fromY, at.x, at.y}, at.shift ? -1 : p.layer};
  }
};

}  // namespace

std::unique_ptr<Tool> makeSelect() { return std::make_unique<Select>(); }

}  // namespace vorlane::map
