#pragma once
// What Line, Rect and Block share: a shape from the press to the pointer, outlined while
// dragged and written on a release over the map canvas.
#include "map/tool.h"
#include "map/tools.h"

namespace vorlane::map {

class ShapeTool : public Tool {
 public:
  explicit ShapeTool(Shape shape) : shape_(shape) {}
  void release(const Paint& p, const ToolInput& at, bool onCanvas) override {
    if (onCanvas) paintShape(p.out, p.map, shape_, at.fromX, at.fromY, at.x, at.y, p.layer, p.tile, p.stamp);
  }
  CellList marks(const ToolInput& at) const override {
    CellList cells;
    shapeCells(shape_, at.fromX, at.fromY, at.x, at.y, [&](std::int32_t x, std::int32_t y) { cells.emplace_back(x, y); });
    return cells;
  }
  std::optional<Stamp> brush(const TilePtr& tile, const Stamp* stamp) const override { return paintBrush(tile, stamp); }

 private:
  Shape shape_;
};

}  // namespace vorlane::map
