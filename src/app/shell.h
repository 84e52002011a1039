#pragma once
// The editor shell: builds every window and controller at start-up, then turns each event of
// the toolkit's queue into a command of the table and runs the after-event step. The map
// canvas's pointer, stroke, view and frames are still its own.
#include <array>
#include <exception>
#include <memory>
#include <span>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/actions.h"
#include "app/context.h"
#include "app/files.h"
#include "app/frames.h"
#include "app/gadgets.h"
#include "app/map_canvas.h"
#include "app/objects_panel.h"
#include "app/render_panel.h"
#include "app/tilesets.h"
#include "edit/cells.h"
#include "edit/document.h"
#include "lighting/render.h"
#include "map/map.h"
#include "map/stamp.h"
#include "map/tool.h"
#include "map/view.h"
#include "platform/toolkit.h"

namespace vorlane::app {

class Shell {
 public:
  using After = app::After;

  explicit Shell(platform::Toolkit& toolkit);
  ~Shell();
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

  // Builds the windows, menus, first tileset, timer and start-up map, in start-up order.
  void startUp();
  // After startUp: loads the project file named on the command line, as Load does with the
  // name its requester returned, failure messages included.
  void openAtStart(const std::string& path);
  // Takes and handles events until the main window is closed; returns the exit status 0.
  int run();
  // One event: its command, then the after-event step unless the command ends early.
  void handle(const platform::Event& event);

  const Gadgets& gadgets() const { return g_; }
  bool finished() const { return ctx_.finished; }

  // The document: map, tilesets, file, active objects and the undo history. Commands from
  // outside the shell push here; the windows follow its change announcements.
  edit::Document& document() { return doc_; }
  const edit::Document& document() const { return doc_; }
  // What the controllers share, and the controllers (made at start-up) the commands run on.
  EditorContext& context() { return ctx_; }
  Files& files() { return files_; }
  RenderPanel& render() { return render_; }
  Tilesets& tilesets() { return *tilesets_; }
  ObjectsPanel& objects() { return *objectsPanel_; }

  // Shell state.
  edit::ConstMapPtr currentMap() const { return doc_.map(); }
  edit::ConstMapPtr currentTileset() const { return doc_.currentTileset(); }
  const tiles::TilePtr& currentTile() const { return ctx_.currentTile; }
  // How the map and tileset canvases look at the map and tileset on show.
  map::ViewState& mapView() { return ctx_.mapView(); }
  map::ViewState& tilesetView() { return ctx_.tilesetView(); }
  // The block a drag over several Tiles slots picked; empty after a click picks one tile.
  const map::Stamp& stamp() const { return ctx_.stamp; }
  const Tilesets& tilesets() const { return *tilesets_; }
  std::int32_t currentTool() const { return mapCanvas_->tool(); }
  std::int32_t currentLayer() const { return ctx_.currentLayer; }
  const std::string& projectName() const { return doc_.projectName(); }
  const map::Stroke& stroke() const { return mapCanvas_->stroke(); }
  bool leftHeld() const { return leftHeld_; }
  bool panning() const { return mapCanvas_->panning(); }
  // The map canvas: pointer, stroke, picked cells and clipboard.
  const MapCanvas& mapCanvas() const { return *mapCanvas_; }
  const ObjectsPanel& objects() const { return *objectsPanel_; }

  // The map canvas's commands (the context menu, zoom, layer visibility, the tools, the
  // Escape and Delete keys), until the canvas has a controller of its own.
  After contextAdd(bool light);
  After contextDelete();
  After deleteSelected();
  After chooseTool(std::int32_t tool);
  After zoomTo(float zoom);
  // The zoom keys' ladder, about the canvas centre; "Zoom to Fit" shows the whole map.
  After zoomStep(std::int32_t steps);
  After zoomToFit();
  // Layer visibility, a view state of the shell: never saved, never baked.
  After showLayers(bool onlyCurrent);
  // Ends a stroke in progress and takes back what it wrote.
  After abandonStroke();
  // Copy, Cut and Paste of the picked cells.
  After copyCells(bool cut);
  After paste();

 private:
  void buildDispatch();
  After dispatch(const platform::Event& e);
  // A command of the table, when there is one and it is enabled.
  After run(const Action* action, const platform::Event& e);
  void afterEvent();
  // The Edit menu's items and the main window's status bar, when the history changed.
  void showEditState();
  // The pointer's place over a canvas from a press or release.
  void pointAt(const platform::Event& e);
  // What the tools paint with.
  MapCanvas::Brush brush() const { return {ctx_.currentLayer, ctx_.currentTile, ctx_.stamp.empty() ? nullptr : &ctx_.stamp, layerHidden(ctx_.currentLayer)}; }
  // Where the pointer is on the map, for the status bar.
  struct Place {
    bool onCell = false;
    std::int32_t column = 0, row = 0, layer = 0, pixelX = 0, pixelY = 0, zoomPercent = 0;
    std::int32_t width = 0, height = 0, depth = 0, tileWidth = 0, tileHeight = 0;
    bool layerHidden = false;  // the current layer
    bool operator==(const Place&) const = default;
  };
  Place placeUnderPointer();

  // Event kinds.
  After onMenu(const platform::Event& e);
  After onGadget(const platform::Event& e);
  After onClose(const platform::Event& e);
  After onTick(const platform::Event& e);
  After onMouseDown(const platform::Event& e);
  After onMouseUp(const platform::Event& e);
  After onMouseMove(const platform::Event& e);
  After onWheel(const platform::Event& e);
  After onZoomWheel(const platform::Event& e);
  After onKey(const platform::Event& e);
  After onMouseLeave(const platform::Event& e);

  // One wheel notch per step, or a zoom of its own, about the canvas centre.
  After zoomBy(std::int32_t notches);
  After toggleLayer(std::int32_t layer);
  bool layerHidden(std::int32_t layer) const;
  // Every layer shown again for another map object; the Layers menu as the layers now are.
  void showLayersMenu();
  // The tool buttons' and keys' tool, when the event is one of them.
  std::optional<std::int32_t> toolOf(const platform::Event& e) const;
  // Ends the stroke and the drag in progress, before the document is replaced.
  void endGestures();
  // The Edit menu's Copy, Cut and Paste, enabled only when they can act.
  void showClipboardItems();
  void stopped(const std::exception& thrown);

  EditorContext ctx_;
  // The context's parts by the names every controller uses.
  platform::Toolkit& tk_;
  Gadgets& g_;
  edit::Document& doc_;
  Files files_;
  RenderPanel render_;
  std::optional<Tilesets> tilesets_;
  std::optional<ObjectsPanel> objectsPanel_;
  objects::ObjectEditor* objects_ = nullptr;  // the panel's editor, which the canvas picks and drags with
  // The commands of the gadgets' actions and of the windows' closes.
  std::unordered_map<platform::Handle, const Action*> gadgetActions_, closeActions_;

  std::uint64_t shownRevision_ = ~std::uint64_t{0};
  std::string shownProject_;
  Place place_, shownPlace_;
  bool leftHeld_ = false;
  std::int32_t tilesetMouseX_ = 0, tilesetMouseY_ = 0;
  std::int32_t contextX_ = 0, contextY_ = 0;
  bool tilesetDrag_ = false;
  std::int32_t tilesetPressX_ = 0, tilesetPressY_ = 0, stampSlotsX_ = 0, stampSlotsY_ = 0;
  std::vector<std::uint8_t> hidden_;  // per layer of the map below: not 0 when hidden
  const map::Map* hiddenOf_ = nullptr;
  std::vector<std::uint8_t> menuShows_;  // the Layers menu's items as last built
  bool menuBuilt_ = false;
  std::optional<MapCanvas> mapCanvas_;
  std::optional<int> clipboardItems_;  // the Copy/Cut/Paste items' state as last shown
  std::string lastStop_;  // the failure last reported, until a timer tick goes through
  MapFrame tilesetFrame_{doc_, edit::Change::cells | edit::Change::tiles | edit::Change::tilesets | edit::Change::map};
  TileFrame tileFrame_{doc_};
};

}  // namespace vorlane::app
