// The tools, one row each: the Tools window's buttons, the tool keys and the tools' names
// come from here. A new tool is its own file and a row below.
#include <algorithm>

#include "map/tool.h"

namespace vorlane::map {

std::unique_ptr<Tool> makePlot();
std::unique_ptr<Tool> makeLine();
std::unique_ptr<Tool> makeRect();
std::unique_ptr<Tool> makeBlock();
std::unique_ptr<Tool> makeFill();
std::unique_ptr<Tool> makeEraser();
std::unique_ptr<Tool> makeBucket();
std::unique_ptr<Tool> makeSelect();

namespace {

constexpr ToolRow kTools[] = {
    {kPlot, "Plot", {'P'}, 0, 160, makePlot},
    {kLine, "Line", {'L'}, 50, 160, makeLine},
    {kRect, "Rect", {'R'}, 0, 180, makeRect},
    {kBlock, "Block", {'B'}, 50, 180, makeBlock},
    {kFill, "Fill", {'F'}, 0, 200, makeFill},
    {kEraser, "Eraser", {'E'}, 50, 200, makeEraser},
    {kBucket, "Bucket", {'G'}, 0, 220, makeBucket},
    {8, "Select", {'S'}, 50, 220, makeSelect},
};

}  // namespace

std::span<const ToolRow> toolTable() { return kTools; }

const ToolRow* findTool(std::int32_t id) {
  const auto it = std::find_if(std::begin(kTools), std::end(kTools), [id](const ToolRow& r) { return r.id == id; });
  return it == std::end(kTools) ? nullptr : &*it;
}

std::string_view toolName(std::int32_t id) {
  const ToolRow* row = findTool(id);
  return row ? row->label : "";
}

std::optional<Stamp> Tool::brush(const TilePtr&, const Stamp*) const { return std::nullopt; }

std::optional<Stamp> paintBrush(const TilePtr& tile, const Stamp* stamp) {
  if (stamp) return *stamp;
  return tile ? Stamp::single(tile) : Stamp::eraser(1, 1);
}

}  // namespace vorlane::map
