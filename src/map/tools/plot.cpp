// Plot: the tile (or the stamp, at its top-left slot) into every cell the pointer is over while held.
#include "map/tool.h"

namespace vorlane::map {
namespace {

class Plot final : public Tool {
 public:
  void drag(const Paint& p, const ToolInput& at) override {
    if (p.stamp)
      paintStamp(p.out, p.map, *p.stamp, at.x, at.y, p.layer);
    else
      p.out.setCell(at.x, at.y, p.layer, p.tile);
  }
  std::optional<Stamp> brush(const TilePtr& tile, const Stamp* stamp) const override { return paintBrush(tile, stamp); }
};

}  // namespace

std::unique_ptr<Tool> makePlot() { return std::make_unique<Plot>(); }

}  // namespace vorlane::map
