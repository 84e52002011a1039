#include "app/map_canvas.h"

#include <cstdlib>

namespace vorlane::app {

using platform::Event;

MapCanvas::MapCanvas(EditorContext& ctx, platform::Handle canvas, objects::ObjectEditor& objects)
    : ctx_(ctx), tk_(ctx.tk), canvas_(canvas), doc_(ctx.doc), objects_(objects) {}

const platform::Surface& MapCanvas::surface() const { return tk_.surface(canvas_); }

map::Paint MapCanvas::paint(const Brush& brush) {
  return {map(), strokeWriter(), brush.layer, brush.tile, brush.stamp};
}

edit::CellRecorder& MapCanvas::strokeWriter() {
  if (!strokeCells_) strokeCells_.emplace(doc_, doc_.map(), std::string(map::toolName(toolId_)));
  return *strokeCells_;
}

// A press or release acts at its own position, whatever moves came before it (or did not
// come: a click right after a menu or another window).
void MapCanvas::pointAt(std::int32_t x, std::int32_t y) {
  pointerOn_ = true;
  pointerX_ = x;
  pointerY_ = y;
  pointAgain();
}

void MapCanvas::pointAgain() {
  if (const auto c = map::cellAt(map(), view(), surface(), pointerX_, pointerY_)) cell_ = *c;
}

void MapCanvas::chooseTool(std::int32_t id) {
  const map::ToolRow* row = map::findTool(id);
  toolId_ = id;
  tool_ = row ? row->make() : nullptr;
}

void MapCanvas::leftPress(const Event& e, const Brush& brush) {
  pressed_ = {};
  if (e.source != canvas_) return;
  if (floating_) {
    placePaste(brush);
    return;
  }
  const platform::Surface& s = surface();
  const auto px = static_cast<float>(e.x), py = static_cast<float>(e.y);
  map::LightPtr light = map::pickLight(map(), view(), s, px, py);
  if (light) objects_.selectLight(light);
  map::PivotPtr pivot = map::pickPivot(map(), view(), s, px, py);
  if (pivot) objects_.selectPivot(pivot);
  if (light || pivot) lastPickedLight_ = light != nullptr;
  // A press only selects: what it hit moves once the pointer has gone past the drag distance.
  if (light || pivot) pressed_ = {light, pivot, e.x, e.y, map::canvasToMap(view(), s, e.x, e.y)};
  // A hidden layer is not painted through.
  if (light || pivot || brush.layerHidden) return;
  strokeCells_.reset();
  stroke_ = {true, cell_.x, cell_.y};
  shift_ = (tk_.keyModifiers() & platform::kShift) != 0;
  if (tool_) tool_->press(paint(brush), input());
}

bool MapCanvas::leftRelease(const Event& e, const Brush& brush) {
  const bool onCanvas = e.source == canvas_;
  if (objects_.dragging() && onCanvas) objects_.dragTo(map::canvasToMap(view(), surface(), e.x, e.y));
  objects_.endDrag();
  pressed_ = {};
  if (!stroke_.painting) return false;
  stroke_.painting = false;
  if (tool_) {
    const map::Paint p = paint(brush);
    tool_->release(p, input(), onCanvas);
    if (const auto picked = tool_->picked(p, input())) selection_ = picked;
  }
  // The stroke's cells become one step.
  strokeCells_.reset();
  return true;
}

void MapCanvas::move(const Event& e, bool leftHeld) {
  pointerOn_ = e.source == canvas_;
  if (!pointerOn_) return;
  pointAt(e.x, e.y);
  if (leftHeld && !objects_.dragging() && (pressed_.light || pressed_.pivot) &&
      std::abs(e.x - pressed_.x) + std::abs(e.y - pressed_.y) >= tk_.dragDistance())
    objects_.beginDrag(pressed_.light, pressed_.pivot, pressed_.at);
  if (leftHeld && objects_.dragging()) objects_.dragTo(map::canvasToMap(view(), surface(), e.x, e.y));
}

void MapCanvas::setPanning(bool on) {
  panning_ = on;
  if (!on) panFirst_ = true;
}

std::optional<map::MapPoint> MapCanvas::panStep(const Event& e) {
  if (!panning_) return std::nullopt;
  const auto x = static_cast<float>(e.x), y = static_cast<float>(e.y);
  if (panFirst_) {
    panLastX_ = x;
    panLastY_ = y;
    panFirst_ = false;
  }
  const map::MapPoint step{x - panLastX_, y - panLastY_};
  panLastX_ = x;
  panLastY_ = y;
  if (e.source == canvas_) map::scroll(view(), -step.x, -step.y);
  return step;
}

void MapCanvas::afterEvent(const Brush& brush) {
  if (!stroke_.painting || !tool_) return;
  tool_->drag(paint(brush), input());
  showMarks(tool_->marks(input()));
}

void MapCanvas::showMarks(const map::CellList& cells, bool replace) {
  map::ViewState& v = view();
  if (replace) v.marks.clear();
  for (const auto& [x, y] : cells) v.markCell(map(), x, y);
}

// What a click would paint, under the pointer while no stroke is going on.
std::optional<map::Stamp> MapCanvas::brushPreview(const Brush& brush) const {
  if (!pointerOn_ || stroke_.painting) return std::nullopt;
  if (floating_) return brush.layerHidden && clipboard_.depth == 1 ? std::nullopt : std::optional(clipboard_);
  if (!tool_ || brush.layerHidden) return std::nullopt;
  return tool_->brush(brush.tile, brush.stamp);
}

void MapCanvas::draw(map::Map* lit, const map::CellPicture* picture, std::span<const std::uint8_t> hidden,
                     const Brush& brush) {
  const map::Map& m = map();
  map::ViewState& v = view();
  platform::Surface& s = tk_.surface(canvas_);
  v.hover = cell_;
  v.selectedLight = doc_.active().light.get();
  v.selectedPivot = doc_.active().pivot.get();
  if (selection_) showMarks(map::outlineCells(selection_->rect));
  const std::optional<map::Stamp> shown = brushPreview(brush);
  const BrushKey key{shown.has_value(), cell_.x,           cell_.y, brush.tile.get(), brush.stamp,
                     shown ? shown->width : 0, shown ? shown->height : 0, toolId_, floating_};
  if (key != brushKey_) frame_.forget();
  brushKey_ = key;
  if (!frame_.unchanged(m, v, s, lit, picture)) {
    s.clear();
    map::draw(m, v, s, lit, picture, hidden);
    if (shown) map::drawBrush(m, v, s, *shown, cell_.x, cell_.y);
    map::drawGrid(m, v, s);
    s.present();
    frame_.drawn(m, v, s, lit, picture);
  }
  map::dropShownMarks(m, v, s);
}

void MapCanvas::abandon() {
  if (stroke_.painting || objects_.dragging()) return takeBack();
  objects_.abandonDrag();
  pressed_ = {};
  if (floating_)
    floating_ = false;
  else
    selection_.reset();
}

void MapCanvas::takeBack() {
  objects_.abandonDrag();
  pressed_ = {};
  // A release that threw has ended the stroke but may have written some of it.
  if (!stroke_.painting && !strokeCells_) return;
  stroke_.painting = false;
  if (tool_) tool_->abandon();
  if (strokeCells_) strokeCells_->abandon();
  strokeCells_.reset();
  showMarks({}, true);  // the preview goes with the next frame
}

void MapCanvas::endGestures() {
  strokeCells_.reset();
  objects_.endDrag();
  pressed_ = {};
  selection_.reset();
  floating_ = false;
}

void MapCanvas::dropStroke() {
  stroke_.painting = false;
  strokeCells_.reset();
  objects_.endDrag();
  pressed_ = {};
}

void MapCanvas::copy() {
  if (selection_) clipboard_ = map::copyCells(map(), selection_->rect, selection_->layer);
}

void MapCanvas::cut() {
  if (!selection_) return;
  copy();
  clearSelection("Cut");
}

void MapCanvas::paste() {
  if (!clipboard_.empty()) floating_ = true;
}

bool MapCanvas::deleteSelection() {
  if (!selection_) return false;
  clearSelection("Delete");
  return true;
}

void MapCanvas::clearSelection(const char* label) {
  edit::CellRecorder out(doc_, doc_.map(), label);
  map::clearCells(map(), out, selection_->rect, selection_->layer);
}

// A copy of one layer goes to the current layer, which must be shown; a copy of every layer
// goes where it came from.
void MapCanvas::placePaste(const Brush& brush) {
  if (brush.layerHidden && clipboard_.depth == 1) return;
  edit::CellRecorder out(doc_, doc_.map(), "Paste");
  map::paintStamp(out, map(), clipboard_, cell_.x, cell_.y, brush.layer);
  floating_ = false;
}

}  // namespace vorlane::app
