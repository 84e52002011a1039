#include "app/shell.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>

#include "base/convert.h"
#include "edit/commands.h"
#include "map/stamp.h"
#include "map/view.h"

namespace vorlane::app {

using platform::Event;
using platform::EventKind;

Shell::Shell(platform::Toolkit& toolkit)
    : ctx_(toolkit), tk_(ctx_.tk), g_(ctx_.g), doc_(ctx_.doc), files_(ctx_), render_(ctx_) {
  ctx_.endGestures = [this] { endGestures(); };
  ctx_.stopGestures = [this] { mapCanvas_->dropStroke(); };
  ctx_.newMapGestures = [this] { mapCanvas_->resetCell(); };
}
Shell::~Shell() = default;

void Shell::startUp() {
  buildToolWindows(tk_, g_);
  buildMainContent(tk_, g_);
  buildTilesWindow(tk_, g_);
  tilesets_.emplace(ctx_);
  tilesets_->addFirst();
  buildRenderWindow(tk_, g_);
  buildPivotsWindow(tk_, g_);
  buildLightsWindow(tk_, g_);
  tk_.startTimer(60);
  files_.startScripts();
  tk_.surface(g_.mapCanvas);
  buildMenus(tk_, g_, actions());
  objectsPanel_.emplace(ctx_);
  objects_ = &objectsPanel_->editor();
  mapCanvas_.emplace(ctx_, g_.mapCanvas, *objects_);
  buildDispatch();
  showLayersMenu();
  showEditState();
  showClipboardItems();
}

void Shell::openAtStart(const std::string& path) {
  if (!objects_) return;  // not started up
  if (files_.loadProjectNamed(path) == After::step) afterEvent();
  showEditState();
}

int Shell::run() {
  while (!ctx_.finished) handle(tk_.waitEvent());
  return 0;
}

void Shell::handle(const Event& event) {
  if (ctx_.finished || !objects_) return;  // closed, or not started up
  try {
    if (dispatch(event) == After::step && !ctx_.finished) afterEvent();
    if (event.kind == EventKind::TimerTick) lastStop_.clear();
  } catch (const std::exception& thrown) {
    stopped(thrown);
  }
  if (ctx_.finished) return;
  render_.requestPreview();
  // Only events move the pointer, the view or the map.
  showLayersMenu();
  if (event.kind != EventKind::TimerTick) place_ = placeUnderPointer();
  showEditState();
  showClipboardItems();
}

// Commands catch their own failures; a pointer, key or timer step that throws ends its gesture,
// taking back what it wrote, never the editor with the user's work. A step failing on every
// tick says so once.
void Shell::stopped(const std::exception& thrown) {
  const bool stroking = mapCanvas_->stroking();
  const std::string tool(map::toolName(mapCanvas_->tool()));
  mapCanvas_->takeBack();
  const bool memory = dynamic_cast<const std::bad_alloc*>(&thrown) != nullptr;
  const std::string message = (stroking && !tool.empty() ? tool : std::string("The last step")) + " stopped: " +
                              (memory ? std::string("there was not enough memory") : std::string(thrown.what()));
  if (message == lastStop_) return;
  lastStop_ = message;
  tk_.messageBox(message, platform::MessageKind::Error);
}

void Shell::showClipboardItems() {
  constexpr const char* kItems[] = {"cut", "copy", "paste"};
  int state = 0;
  for (const char* id : kItems) state = state * 2 + (actionNamed(id).enabled(*this) ? 1 : 0);
  if (clipboardItems_ == state) return;
  clipboardItems_ = state;
  for (const char* id : kItems) {
    const Action& item = actionNamed(id);
    tk_.setMenuItem(g_.*(item.menu), tagOf(id), item.label, item.enabled(*this));
  }
}

Shell::After Shell::dispatch(const Event& e) {
  switch (e.kind) {
    case EventKind::MenuAction: return onMenu(e);
    case EventKind::GadgetAction: return onGadget(e);
    case EventKind::GadgetSelect: return After::step;
    case EventKind::WindowClose: return onClose(e);
    case EventKind::TimerTick: return onTick(e);
    case EventKind::MouseDown: return onMouseDown(e);
    case EventKind::MouseUp: return onMouseUp(e);
    case EventKind::MouseMove: return onMouseMove(e);
    case EventKind::MouseWheel: return onWheel(e);
    case EventKind::ZoomWheel: return onZoomWheel(e);
    case EventKind::KeyDown: return onKey(e);
    case EventKind::MouseLeave: return onMouseLeave(e);
  }
  return After::step;
}

Shell::After Shell::onMenu(const Event& e) {
  if (e.source == g_.layersMenu && e.datum >= kLayerItemTag) return toggleLayer(e.datum - kLayerItemTag);
  return run(actionOfTag(e.datum), e);
}

Shell::After Shell::onGadget(const Event& e) {
  if (const auto tool = toolOf(e)) return chooseTool(*tool);
  auto it = gadgetActions_.find(e.source);
  return it == gadgetActions_.end() ? After::step : run(it->second, e);
}

Shell::After Shell::onKey(const Event& e) {
  if (const auto tool = toolOf(e)) return chooseTool(*tool);
  return run(findShortcut(actions(), platform::shortcutOf(e)), e);
}

Shell::After Shell::onClose(const Event& e) {
  auto it = closeActions_.find(e.source);
  return it == closeActions_.end() ? After::step : run(it->second, e);
}

// The stroke update, then the tile-flag step: a newly picked tile shows its flags, and takes
// them as the boxes show them.
void Shell::afterEvent() {
  mapCanvas_->afterEvent(brush());
  tilesets_->followPick();
}

// Only what changed is handed to the toolkit: a stroke changes the revision at every cell
// but neither the name nor the place.
void Shell::showEditState() {
  const std::string& name = doc_.projectName();
  const std::string status =
      (name.empty() ? std::string(kUntitled) : name) + (doc_.modified() ? " *" : "") + render_.statusMark();
  const bool renamed = status != shownProject_;
  if (doc_.revision() != shownRevision_ || renamed) {
    shownRevision_ = doc_.revision();
    for (const auto& [id, text] : {std::pair{"undo", doc_.undoText()}, {"redo", doc_.redoText()}}) {
      const Action& item = actionNamed(id);
      tk_.setMenuItem(g_.*(item.menu), tagOf(item), text, item.enabled(*this));
    }
  }
  if (!renamed && place_ == shownPlace_) return;
  shownProject_ = status;
  shownPlace_ = place_;
  std::string text = status + kStatusGap;
  const Place& p = place_;
  if (p.onCell)
    text += "Cell " + std::to_string(p.column) + ", " + std::to_string(p.row) + " · Layer " + std::to_string(p.layer) +
            " · Pixel " + std::to_string(p.pixelX) + ", " + std::to_string(p.pixelY) + " · Zoom " +
            std::to_string(p.zoomPercent) + "%";
  else
    text += "Map " + std::to_string(p.width) + " × " + std::to_string(p.height) + " × " + std::to_string(p.depth) +
            " · Tiles " + std::to_string(p.tileWidth) + " × " + std::to_string(p.tileHeight);
  if (p.layerHidden) text += kStatusGap + std::string("Layer ") + std::to_string(ctx_.currentLayer + 1) + " hidden";
  tk_.setStatusText(g_.mainWindow, text);
}

Shell::Place Shell::placeUnderPointer() {
  const map::Map& m = *doc_.map();
  Place p;
  const std::int32_t px = mapCanvas_->pointerX(), py = mapCanvas_->pointerY();
  if (mapCanvas_->pointerOnMap()) {
    const platform::Surface& s = tk_.surface(g_.mapCanvas);
    const bool inside = px >= 0 && py >= 0 && px < s.width() && py < s.height();
    const map::ViewState& view = mapView();
    if (const auto cell = inside ? map::cellAt(m, view, s, px, py) : std::nullopt) {
      const map::MapPoint pixel = map::canvasToMap(view, s, px, py);
      p.onCell = true;
      p.column = cell->x;
      p.row = cell->y;
      p.layer = ctx_.currentLayer + 1;  // as the layer field counts
      p.pixelX = static_cast<std::int32_t>(std::floor(pixel.x));
      p.pixelY = static_cast<std::int32_t>(std::floor(pixel.y));
      p.zoomPercent = static_cast<std::int32_t>(std::lround(view.zoom * 100.0f));
      p.layerHidden = layerHidden(ctx_.currentLayer);
      return p;
    }
  }
  p.layerHidden = layerHidden(ctx_.currentLayer);
  p.width = m.width;
  p.height = m.height;
  p.depth = m.depth;
  p.tileWidth = m.tileWidth;
  p.tileHeight = m.tileHeight;
  return p;
}

// Redraws the map, tileset and current-tile canvases, in that order, those whose content
// changed since their last frame. The tileset's grid lies under its tiles, the map's over them.
// The marks a frame shows (or would show, when nothing changed) are done with after it.
Shell::After Shell::onTick(const Event&) {
  const map::Map& m = *doc_.map();
  // The newest finished preview bake of this map, if any, shows in place of its tiles.
  const auto [lit, picture] = render_.takeShown(m);
  mapCanvas_->draw(lit, picture, hidden_, brush());

  const map::Map& ts = *currentTileset();
  map::ViewState& tsView = tilesetView();
  platform::Surface& tilesetSurface = tk_.surface(g_.tilesetCanvas);
  tsView.hover = tsView.picked;
  if (!ctx_.stamp.empty() && !tilesetDrag_)
    for (std::int32_t x = 0; x < ctx_.stamp.width; ++x)
      for (std::int32_t y = 0; y < ctx_.stamp.height; ++y) tsView.markCell(ts, stampSlotsX_ + x, stampSlotsY_ + y);
  if (!tilesetFrame_.unchanged(ts, tsView, tilesetSurface)) {
    tilesetSurface.clear();
    map::drawGrid(ts, tsView, tilesetSurface);
    map::draw(ts, tsView, tilesetSurface);
    tilesetSurface.present();
    tilesetFrame_.drawn(ts, tsView, tilesetSurface);
  }
  map::dropShownMarks(ts, tsView, tilesetSurface);

  platform::Surface& tileSurface = tk_.surface(g_.tileCanvas);
  if (!tileFrame_.unchanged(ctx_.currentTile.get(), tileSurface)) {
    tileSurface.clear();
    if (ctx_.currentTile)
      ctx_.currentTile->draw(tileSurface, 0, 0, tk_.innerWidth(g_.tileCanvas), tk_.innerHeight(g_.tileCanvas));
    else
      tileSurface.drawText("No Tile", 0, 0);
    tileSurface.present();
    tileFrame_.drawn(ctx_.currentTile.get(), tileSurface);
  }
  return After::step;
}

// A press or release over the map canvas acts at its own position, whatever moves came
// before it (or did not come: a click right after a menu or another window).
void Shell::pointAt(const Event& e) {
  if (e.source == g_.mapCanvas) {
    mapCanvas_->pointAt(e.x, e.y);
  } else if (e.source == g_.tilesetCanvas) {
    tilesetMouseX_ = e.x;
    tilesetMouseY_ = e.y;
  }
}

Shell::After Shell::onMouseDown(const Event& e) {
  pointAt(e);
  if (e.datum == platform::kMiddleButton) {
    mapCanvas_->setPanning(true);
  } else if (e.datum == platform::kRightButton) {
    if (e.source == g_.mapCanvas) {
      contextX_ = e.x;
      contextY_ = e.y;
      tk_.openPopupMenu(g_.mainWindow, g_.contextMenu);
    }
  } else if (e.datum == platform::kLeftButton) {
    leftHeld_ = true;
    if (e.source == g_.tilesetCanvas) {
      map::ViewState& view = tilesetView();
      map::pickCell(*currentTileset(), view, tk_.surface(g_.tilesetCanvas), e.x, e.y);
      tilesetDrag_ = true;
      tilesetPressX_ = view.picked.x;
      tilesetPressY_ = view.picked.y;
    }
    mapCanvas_->leftPress(e, brush());
  }
  return After::step;
}

Shell::After Shell::onMouseUp(const Event& e) {
  if (e.source == g_.mapCanvas || e.source == g_.tilesetCanvas) pointAt(e);
  if (e.datum == platform::kMiddleButton) {
    mapCanvas_->setPanning(false);
  } else if (e.datum == platform::kLeftButton) {
    leftHeld_ = false;
    if (tilesetDrag_) {
      // A drag over several slots picks them as a stamp; a click picks one tile as always.
      tilesetDrag_ = false;
      const map::CellPoint at = tilesetView().picked;
      const bool block = at.x != tilesetPressX_ || at.y != tilesetPressY_;
      stampSlotsX_ = std::min(tilesetPressX_, at.x);
      stampSlotsY_ = std::min(tilesetPressY_, at.y);
      ctx_.stamp = block ? map::Stamp::fromTileset(*currentTileset(), {tilesetPressX_, tilesetPressY_, at.x, at.y})
                     : map::Stamp{};
    }
    if (!mapCanvas_->leftRelease(e, brush())) return After::skip;
  }
  return After::step;
}

Shell::After Shell::onMouseMove(const Event& e) {
  if (const auto step = mapCanvas_->panStep(e); step && e.source == g_.tilesetCanvas)
    map::scrollClamped(*currentTileset(), tilesetView(), tk_.surface(g_.tilesetCanvas), -step->x * 4.0f,
                       -step->y * 4.0f);
  mapCanvas_->move(e, leftHeld_);
  if (e.source == g_.tilesetCanvas) {
    tilesetMouseX_ = e.x;
    tilesetMouseY_ = e.y;
    if (leftHeld_) map::pickCell(*currentTileset(), tilesetView(), tk_.surface(g_.tilesetCanvas), e.x, e.y);
  }
  return After::step;
}

Shell::After Shell::onMouseLeave(const Event& e) {
  if (e.source == g_.mapCanvas) mapCanvas_->leave();
  return After::skip;
}

Shell::After Shell::onWheel(const Event& e) {
  if (e.source != g_.mapCanvas) return After::step;
  zoomBy(e.datum);
  mapCanvas_->pointAgain();
  return After::step;
}

// Ctrl+wheel: one ladder step per notch, the map point under the pointer staying there.
Shell::After Shell::onZoomWheel(const Event& e) {
  if (e.source != g_.mapCanvas) return After::step;
  map::ViewState& view = mapView();
  const platform::Surface& s = tk_.surface(g_.mapCanvas);
  const map::MapPoint at = map::canvasToMap(view, s, e.x, e.y);
  float zoom = view.zoom;
  for (std::int32_t n = 0; n < std::abs(e.datum); ++n) zoom = e.datum > 0 ? map::zoomStepIn(zoom) : map::zoomStepOut(zoom);
  view.zoom = zoom;
  const float cx = static_cast<float>(s.width()) / 2.0f, cy = static_cast<float>(s.height()) / 2.0f;
  view.scrollX = at.x - cx - (static_cast<float>(e.x) - cx) / zoom;
  view.scrollY = at.y - cy - (static_cast<float>(e.y) - cy) / zoom;
  mapCanvas_->pointAt(e.x, e.y);
  return After::step;
}

Shell::After Shell::zoomStep(std::int32_t steps) {
  const float zoom = mapView().zoom;
  return zoomTo(steps > 0 ? map::zoomStepIn(zoom) : map::zoomStepOut(zoom));
}

// The map's centre goes to the canvas centre.
Shell::After Shell::zoomToFit() {
  const map::Map& m = *doc_.map();
  map::ViewState& view = mapView();
  const platform::Surface& s = tk_.surface(g_.mapCanvas);
  const std::int64_t w = std::int64_t{m.width} * m.tileWidth, h = std::int64_t{m.height} * m.tileHeight;
  view.scrollX = static_cast<float>(w) / 2.0f - static_cast<float>(s.width()) / 2.0f;
  view.scrollY = static_cast<float>(h) / 2.0f - static_cast<float>(s.height()) / 2.0f;
  return zoomTo(map::zoomToFit(w, h, s.width(), s.height()));
}

// One notch is 0.01 of zoom; the lower limit keeps the view from collapsing or inverting.
Shell::After Shell::zoomBy(std::int32_t notches) {
  return zoomTo(std::max(mapView().zoom * 1.0f + static_cast<float>(notches) * 0.01f, map::kMinZoom));
}

// The highlighted cell stays the one under the pointer.
Shell::After Shell::zoomTo(float zoom) {
  mapView().zoom = zoom;
  if (mapCanvas_->pointerOnMap()) mapCanvas_->pointAgain();
  return After::step;
}

Shell::After Shell::abandonStroke() {
  mapCanvas_->abandon();
  return After::step;
}

bool Shell::layerHidden(std::int32_t layer) const {
  return layer >= 0 && static_cast<std::size_t>(layer) < hidden_.size() && hidden_[static_cast<std::size_t>(layer)];
}

Shell::After Shell::showLayers(bool onlyCurrent) {
  for (std::size_t l = 0; l < hidden_.size(); ++l)
    hidden_[l] = onlyCurrent && l != static_cast<std::size_t>(ctx_.currentLayer) ? 1 : 0;
  return After::step;
}

Shell::After Shell::toggleLayer(std::int32_t layer) {
  if (layer >= 0 && static_cast<std::size_t>(layer) < hidden_.size()) hidden_[static_cast<std::size_t>(layer)] ^= 1;
  return After::step;
}

void Shell::showLayersMenu() {
  const map::Map* m = doc_.map().get();
  if (m != hiddenOf_ || hidden_.size() != static_cast<std::size_t>(std::max(m->depth, 0))) {
    hiddenOf_ = m;
    hidden_.assign(static_cast<std::size_t>(std::max(m->depth, 0)), 0);
  }
  if (menuBuilt_ && hidden_ == menuShows_) return;
  // The canvas shows other layers: its last frame says nothing of the next.
  if (menuBuilt_) mapCanvas_->redraw();
  const bool rebuild = !menuBuilt_ || hidden_.size() != menuShows_.size();
  menuBuilt_ = true;
  menuShows_ = hidden_;
  if (rebuild) {
    tk_.clearMenu(g_.layersMenu);
    for (const Action& a : actions())
      if (a.menu == &Gadgets::layersMenu) tk_.createMenuItem(a.label, tagOf(a), g_.layersMenu, a.shortcut);
    for (std::size_t l = 0; l < hidden_.size(); ++l)
      tk_.createMenuItem("Layer " + std::to_string(l + 1), kLayerItemTag + static_cast<int>(l), g_.layersMenu);
  }
  for (std::size_t l = 0; l < hidden_.size(); ++l)
    tk_.setMenuItemChecked(g_.layersMenu, kLayerItemTag + static_cast<int>(l), hidden_[l] == 0);
}

// Before the document is replaced: a stroke going on writes into the new map from now on,
// and a drag ends with what it moved.
void Shell::endGestures() { mapCanvas_->endGestures(); }

Shell::After Shell::contextAdd(bool light) {
  const platform::Surface& s = tk_.surface(g_.mapCanvas);
  const map::MapPoint p = map::canvasToMap(mapView(), s, contextX_, contextY_);
  if (light)
    objects_->addLightAt(p.x, p.y, ctx_.currentLayer);
  else
    objects_->addPivotAt(p.x, p.y, ctx_.currentLayer);
  return After::step;
}

Shell::After Shell::contextDelete() {
  objects_->deleteAt(mapView(), tk_.surface(g_.mapCanvas), contextX_, contextY_);
  return After::step;
}

}  // namespace vorlane::app
