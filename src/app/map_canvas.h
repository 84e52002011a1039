#pragma once
// The map canvas's controller: the pointer over it, the middle-button pan, the tool stroke,
// the press and drag of lights and pivots, the picked cells with their clipboard and the
// floating paste, and the canvas's frames with their marks and brush preview.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "app/context.h"
#include "app/frames.h"
#include "edit/cells.h"
#include "edit/document.h"
#include "map/stamp.h"
#include "map/tool.h"
#include "map/view.h"
#include "objects/object_editor.h"
#include "platform/toolkit.h"

namespace vorlane::app {

// What happens on the map canvas between the toolkit's events and the document's cells.
class MapCanvas {
 public:
  // What the tools paint with, as the shell holds it.
  struct Brush {
    std::int32_t layer = 0;
    const tiles::TilePtr& tile;
    const map::Stamp* stamp = nullptr;
    bool layerHidden = false;  // the current layer: not painted through
  };

  MapCanvas(EditorContext& ctx, platform::Handle canvas, objects::ObjectEditor& objects);

  // After pointAt for a press or release from the map canvas.
  // A left press: on the map canvas it places the floating paste, or picks a light or pivot,
  // or starts a stroke of the current tool; elsewhere it only forgets the last press.
  void leftPress(const platform::Event& e, const Brush& brush);
  // A left release from any source; true when it ended a stroke (its cells became one step).
  bool leftRelease(const platform::Event& e, const Brush& brush);
  // A move from any source: the pointer, and a light or pivot dragged past the drag distance.
  void move(const platform::Event& e, bool leftHeld);
  void leave() { pointerOn_ = false; }
  // The pointer is at (x, y) of the canvas (a press, release or zoom about it).
  void pointAt(std::int32_t x, std::int32_t y);
  // The cell under the pointer again, after the view moved under it.
  void pointAgain();
  // The middle button held or let go, and a move's pan step; the map canvas scrolls here,
  // the step is returned for the canvas the move came from.
  void setPanning(bool on);
  std::optional<map::MapPoint> panStep(const platform::Event& e);
  // After every event: the stroke's drag and the cells it outlines.
  void afterEvent(const Brush& brush);
  // The tick: draws the map (its lit preview `lit` or `picture` when given) when what it
  // would show changed, with the pointer's cell, the picked cells and the brush preview.
  void draw(map::Map* lit, const map::CellPicture* picture, std::span<const std::uint8_t> hidden, const Brush& brush);
  // The next tick draws whatever the last frame showed.
  void redraw() { frame_.forget(); }

  void chooseTool(std::int32_t id);
  std::int32_t tool() const { return toolId_; }
  const map::Stroke& stroke() const { return stroke_; }
  bool panning() const { return panning_; }
  bool pointerOnMap() const { return pointerOn_; }
  std::int32_t pointerX() const { return pointerX_; }
  std::int32_t pointerY() const { return pointerY_; }
  // The cell the tools act on: the last one the pointer was inside.
  map::CellPoint cell() const { return cell_; }
  // A new map: the pointer's cell starts at (0, 0).
  void resetCell() { cell_ = {0, 0}; }
  // Which of the active light and pivot a click picked last.
  bool lastPickedLight() const { return lastPickedLight_; }

  // Escape: a stroke or drag going on is taken back; else the floating paste is dropped;
  // else the picked cells are let go.
  void abandon();
  // A step that threw: the stroke or drag going on is taken back, and nothing else changes.
  void takeBack();
  // A stroke going on, or one whose release has not yet recorded it.
  bool stroking() const { return stroke_.painting || strokeCells_.has_value(); }
  // Before the document is replaced: a stroke writes into the new map from then on, a drag
  // ends with what it moved, and the picked cells and the floating paste go.
  void endGestures();
  // Before a step is undone or redone: the stroke ends without writing more.
  void dropStroke();

  // Copy, cut, paste and delete of the picked cells.
  const std::optional<map::Selection>& selection() const { return selection_; }
  const map::Stamp& clipboard() const { return clipboard_; }
  bool floating() const { return floating_; }
  bool canCopy() const { return selection_.has_value(); }
  bool canPaste() const { return !clipboard_.empty(); }
  void copy();
  // Copies, then empties the cells as one step.
  void cut();
  // The copy follows the pointer until a left click places it.
  void paste();
  // Empties the picked cells as one step; false when none are picked.
  bool deleteSelection();

 private:
  const map::Map& map() const { return *doc_.map(); }
  map::ViewState& view() const { return ctx_.mapView(); }
  const platform::Surface& surface() const;
  map::ToolInput input() const { return {cell_.x, cell_.y, stroke_.startX, stroke_.startY, shift_}; }
  map::Paint paint(const Brush& brush);
  std::optional<map::Stamp> brushPreview(const Brush& brush) const;
  // The one place the canvas's marks reach the map's outlines (`replace`: those set so far go).
  void showMarks(const map::CellList& cells, bool replace = false);
  void placePaste(const Brush& brush);
  // Empties the picked cells as one step named `label`.
  void clearSelection(const char* label);

  EditorContext& ctx_;
  platform::Toolkit& tk_;
  platform::Handle canvas_;
  edit::Document& doc_;
  objects::ObjectEditor& objects_;

  std::int32_t pointerX_ = 0, pointerY_ = 0;
  bool pointerOn_ = false;  // the last pointer event came from the map canvas
  map::CellPoint cell_{0, 0};
  bool shift_ = false;
  bool panning_ = false, panFirst_ = true;
  float panLastX_ = 0, panLastY_ = 0;

  std::int32_t toolId_ = map::kNoTool;
  std::unique_ptr<map::Tool> tool_;
  map::Stroke stroke_;
  // Records the cells of the stroke in progress, one step per stroke.
  std::optional<edit::CellRecorder> strokeCells_;
  edit::CellRecorder& strokeWriter();

  // What the left press hit, and where: it moves only once dragged.
  struct Press {
    map::LightPtr light;
    map::PivotPtr pivot;
    std::int32_t x = 0, y = 0;
    map::MapPoint at{0, 0};
  } pressed_;
  bool lastPickedLight_ = false;

  std::optional<map::Selection> selection_;
  map::Stamp clipboard_;
  bool floating_ = false;

  MapFrame frame_{doc_, edit::Change::cells | edit::Change::objects | edit::Change::tiles | edit::Change::map |
                           edit::Change::selection};
  // The brush preview is not in the frame's key: a frame showing another one is not the same.
  struct BrushKey {
    bool shown = false;
    std::int32_t x = 0, y = 0;
    const void* tile = nullptr;
    const void* stamp = nullptr;
    std::int32_t width = 0, height = 0, tool = 0;
    bool floating = false;
    bool operator==(const BrushKey&) const = default;
  } brushKey_;
};

}  // namespace vorlane::app
