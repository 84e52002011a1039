// Fill: the whole current layer at once, on the press.
#include "map/tool.h"

namespace vorlane::map {
namespace {

class Fill final : public Tool {
 public:
  void press(const Paint& p, const ToolInput&) override { p.map.fillLayer(p.layer, p.tile, p.out); }
};

}  // namespace

std::unique_ptr<Tool> makeFill() { return std::make_unique<Fill>(); }

}  // namespace vorlane::map
