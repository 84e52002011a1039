// Bucket: the connected area of the pressed cell's tile, at once on the press.
#include "map/tool.h"

namespace vorlane::map {
namespace {

class Bucket final : public Tool {
 public:
  // "No Tile" clears the area, as it clears the layer with Fill.
  void press(const Paint& p, const ToolInput& at) override {
    bucketFill(p.map, p.out, at.x, at.y, p.layer, *paintBrush(p.tile, p.stamp));
  }
  std::optional<Stamp> brush(const TilePtr& tile, const Stamp* stamp) const override { return paintBrush(tile, stamp); }
};

}  // namespace

std::unique_ptr<Tool> makeBucket() { return std::make_unique<Bucket>(); }

}  // namespace vorlane::map
