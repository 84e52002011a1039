#pragma once
// The editing tools as objects: each takes the pointer's press, drags and release on the map
// canvas, writes cells only through the writer it is handed, and says which cells to outline
// and what a click would paint. The tools and their buttons and keys are rows of one table.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "map/map.h"
#include "map/stamp.h"
#include "platform/toolkit.h"

namespace vorlane::map {

// A stroke in progress: from a left press on an empty spot of the map to the next release.
struct Stroke {
  bool painting = false;
  std::int32_t startX = 0, startY = 0;
};

// The tools' numbers as the shell's current tool holds them; 0 is no tool yet.
enum ToolId : std::int32_t { kNoTool = 0, kPlot = 1, kLine = 2, kRect = 3, kBlock = 4, kFill = 5, kEraser = 6, kBucket = 7 };

// One pointer event as a tool sees it.
struct ToolInput {
  std::int32_t x = 0, y = 0;          // the cell under the pointer (or the last one it was over)
  std::int32_t fromX = 0, fromY = 0;  // the cell the stroke started at
  bool shift = false;                 // held at the stroke's press
};

// What a tool paints with and where it writes. `stamp` is the block picked in the Tiles
// window, or null when one tile is picked.
struct Paint {
  const Map& map;
  CellWriter& out;
  std::int32_t layer;
  const TilePtr& tile;
  const Stamp* stamp;
};

// A rectangle of cells picked on one layer, or on every layer (layer -1).
struct Selection {
  CellRect rect;
  std::int32_t layer = 0;
  bool operator==(const Selection&) const = default;
};

using CellList = std::vector<std::pair<std::int32_t, std::int32_t>>;

// A tool in use: made when chosen, it keeps what its stroke needs between events.
class Tool {
 public:
  virtual ~Tool() = default;
  // A left press on the map canvas that hit no light or pivot. A tool chosen during a
  // stroke goes on from the drags, without a press.
  virtual void press(const Paint&, const ToolInput&) {}
  // After every event while the stroke goes on.
  virtual void drag(const Paint&, const ToolInput&) {}
  // The stroke's end; `onCanvas` when the release came from the map canvas.
  virtual void release(const Paint&, const ToolInput&, bool /*onCanvas*/) {}
  // The stroke is taken back (its writes are the recorder's to undo).
  virtual void abandon() {}
  // The cells to outline while the stroke goes on, up to the pointer at `at`.
  virtual CellList marks(const ToolInput&) const { return {}; }
  // What a click would paint, shown under the pointer between strokes; none for a tool that
  // paints nothing.
  virtual std::optional<Stamp> brush(const TilePtr& tile, const Stamp* stamp) const;
  // The rectangle a stroke picked, at its release (the Select tool).
  virtual std::optional<Selection> picked(const Paint&, const ToolInput&) const { return std::nullopt; }
};

// One tool: its number, button text (also its name in the undo text and the status bar),
// key, the place of its button in the Tools window, and how it is made.
struct ToolRow {
  std::int32_t id;
  const char* label;
  platform::Shortcut key;
  std::int32_t buttonX, buttonY;
  std::unique_ptr<Tool> (*make)();
};
inline constexpr std::int32_t kToolButtonWidth = 50, kToolButtonHeight = 20;

std::span<const ToolRow> toolTable();
// The row of this tool number, or null.
const ToolRow* findTool(std::int32_t id);
// The tool's label; "" for no tool.
std::string_view toolName(std::int32_t id);

// The cells along the rectangle's edges, for its outline.
CellList outlineCells(const CellRect& rect);

// The brush of the painting tools: the stamp, else the tile, else (no tile) an eraser.
std::optional<Stamp> paintBrush(const TilePtr& tile, const Stamp* stamp);

}  // namespace vorlane::map
