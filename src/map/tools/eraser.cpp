// Eraser: Plot's stroke with empty cells, as large as the picked stamp.
#include "map/tool.h"

namespace vorlane::map {
namespace {

class Eraser final : public Tool {
 public:
  void drag(const Paint& p, const ToolInput& at) override {
    if (p.stamp)
      paintStamp(p.out, p.map, Stamp::eraser(p.stamp->width, p.stamp->height), at.x, at.y, p.layer);
    else
      p.out.setCell(at.x, at.y, p.layer, nullptr);
  }
  std::optional<Stamp> brush(const TilePtr&, const Stamp* stamp) const override {
    return stamp ? Stamp::eraser(stamp->width, stamp->height) : Stamp::eraser(1, 1);
  }
};

}  // namespace

std::unique_ptr<Tool> makeEraser() { return std::make_unique<Eraser>(); }

}  // namespace vorlane::map
