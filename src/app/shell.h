#pragma once
// The editor shell: builds every window at start-up, then turns each event of the toolkit's
// queue into a command and runs the after-event step. Owns all state that outlives an event.
#include <array>
#include <memory>
#include <span>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/actions.h"
#include "app/frames.h"
#include "app/gadgets.h"
#include "app/preview.h"
#include "app/tilesets.h"
#include "edit/cells.h"
#include "edit/document.h"
#include "lighting/render.h"
#include "map/map.h"
#include "map/stamp.h"
#include "map/tools.h"
#include "map/view.h"
#include "objects/object_editor.h"
#include "platform/toolkit.h"
#include "script/document_run.h"

namespace vorlane::app {

inline constexpr const char* kNotAValidFile = "Not a valid file.";
inline constexpr const char* kMapTooLarge = map::kMapTooLarge;
inline constexpr const char* kImageFilter = "Image Files:png,jpg,bmp;";
inline constexpr const char* kMapFilter = "Map files:vorl;";
inline constexpr const char* kScriptFilter = "Lua scripts:lua;";
inline constexpr const char* kScriptRunning = "The script is still running. Stop it?";
// The close question's buttons, in order.
inline constexpr const char* kSaveButton = "Save";
inline constexpr const char* kDiscardButton = "Discard";
inline constexpr const char* kCancelButton = "Cancel";
// The project name where there is none yet.
inline constexpr const char* kUntitled = "Untitled";
// Between the document's name and the pointer's place in the main window's status bar.
inline constexpr const char* kStatusGap = " | ";
inline constexpr const char* kImportLeftOut = "Imported without what Vorlane cannot hold:";
// The status bar's mark while a newer preview bake is running.
inline constexpr const char* kPreviewBaking = " | baking preview...";
// The status bar's mark while the preview shows a reduced bake: " | preview at 1/8 density".
inline std::string previewDensityText(std::int32_t density) {
  return " | preview at 1/" + std::to_string(density) + " density";
}
// The preview's light maps are at most this many texels along each side.
inline constexpr std::int32_t kMaxPreviewResolution = 1024;

class Shell {
 public:
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
  bool finished() const { return finished_; }

  // The document: map, tilesets, file, active objects and the undo history. Commands from
  // outside the shell push here; the windows follow its change announcements.
  edit::Document& document() { return doc_; }
  const edit::Document& document() const { return doc_; }
  // How long a script has run is read from here (tests pass a clock of their own).
  void setScriptClock(script::Clock clock) { scriptClock_ = std::move(clock); }

  // Shell state.
  edit::ConstMapPtr currentMap() const { return doc_.map(); }
  edit::ConstMapPtr currentTileset() const { return doc_.currentTileset(); }
  const tiles::TilePtr& currentTile() const { return currentTile_; }
  // The block a drag over several Tiles slots picked; empty after a click picks one tile.
  const map::Stamp& stamp() const { return stamp_; }
  const Tilesets& tilesets() const { return *tilesets_; }
  std::int32_t currentTool() const { return currentTool_; }
  std::int32_t currentLayer() const { return currentLayer_; }
  const std::string& projectName() const { return doc_.projectName(); }
  const map::Stroke& stroke() const { return stroke_; }
  bool leftHeld() const { return leftHeld_; }
  bool panning() const { return panning_; }
  bool renderShown() const { return renderShown_; }
  bool lightsShown() const { return lightsShown_; }
  bool pivotsShown() const { return pivotsShown_; }
  const objects::ObjectEditor& objects() const { return *objects_; }
  bool previewOn() const { return previewOn_; }
  // The preview's bakes; none before the preview was first turned on.
  PreviewBaker* previewBaker() { return preview_.get(); }

  // Every command the user can start (actions.cpp).
  static std::span<const Action> actions();

 private:
  using After = app::After;

  void buildDispatch();
  After dispatch(const platform::Event& e);
  // A command of the table, when there is one and it is enabled.
  After run(const Action* action, const platform::Event& e);
  void afterEvent();
  // The Edit menu's items and the main window's status bar, when the history changed.
  void showEditState();
  // A change the document announced.
  void documentChanged(edit::ChangeSet changes);
  // The pointer's place over a canvas from a press or release.
  void pointAt(const platform::Event& e);
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

  // Commands.
  After newMap();
  After loadTile();
  After loadProject();
  After loadProjectNamed(const std::string& name);
  // False when nothing was saved (cancelled requester, failed write).
  bool saveProject(bool ask);
  // Asks "Save changes to NAME before DOING?" for a modified document; false (Cancel, or a
  // cancelled or failed save) leaves everything as it was.
  bool mayReplaceDocument(std::string_view doing);
  After undo(bool forward);
  After tileFlagsChanged();
  void applyTileFlags();
  After exportMap();
  // Other editors' maps (file_commands.cpp): the formats table's readers and writers.
  After importMap();
  After exportAs();
  // A Lua script on the document (file_commands.cpp): one undoable step, or nothing when it fails.
  After runScript();
  After bakeMapFile();
  After render();
  // The live preview: on or off, and a new bake whenever what it shows may have changed.
  After setPreview(bool on);
  void requestPreview();
  // The Render window's Lighting options.
  lighting::Options lightingOptions() const;
  After layerChanged(std::int32_t layer);
  // The map view's zoom, about the canvas centre: one wheel notch per step, or a zoom of its own.
  After zoomBy(std::int32_t notches);
  After zoomTo(float zoom);
  // The zoom keys' ladder, about the canvas centre; "Zoom to Fit" shows the whole map.
  After zoomStep(std::int32_t steps);
  After zoomToFit();
  // The Delete key: the light or pivot picked last on the canvas, when it is still active.
  After deleteSelected();
  // Layer visibility, a view state of the shell: never saved, never baked.
  After showLayers(bool onlyCurrent);
  After toggleLayer(std::int32_t layer);
  bool layerHidden(std::int32_t layer) const;
  // Every layer shown again for another map object; the Layers menu as the layers now are.
  void showLayersMenu();
  // Ends a stroke in progress and takes back what it wrote.
  After abandonStroke();
  After contextAdd(bool light);
  After contextDelete();
  After chooseTool(std::int32_t tool);
  After scan();
  After deleteRecord();
  After selectRecord(int index);
  After chooseTileset(int index);
  After closeMain();
  After toggleWindow(platform::Handle window, bool& shown);
  After hideWindow(platform::Handle window, bool& shown);
  void replaceMap(const char* label, map::MapPtr map);
  // Ends the stroke and the drag in progress, before the document is replaced.
  void endGestures();
  // Ends a stroke in progress without writing more (before a step is undone or redone).
  void dropStroke();
  map::CellWriter& strokeWriter();

  platform::Toolkit& tk_;
  Gadgets g_;
  std::optional<Tilesets> tilesets_;
  std::optional<objects::ObjectEditor> objects_;
  // The commands of the gadgets' actions and of the windows' closes.
  std::unordered_map<platform::Handle, const Action*> gadgetActions_, closeActions_;

  edit::Document doc_;
  // Records the cells of the stroke in progress, one step per stroke.
  std::optional<edit::CellRecorder> strokeCells_;
  std::uint64_t shownRevision_ = ~std::uint64_t{0};
  std::string shownProject_;
  Place place_, shownPlace_;
  tiles::TilePtr currentTile_;
  std::int32_t currentTool_ = map::kNoTool;
  std::int32_t currentLayer_ = 0;
  map::Stroke stroke_;
  bool leftHeld_ = false;
  std::int32_t mapMouseX_ = 0, mapMouseY_ = 0;
  bool pointerOnMap_ = false;  // the last pointer event came from the map canvas
  std::int32_t tilesetMouseX_ = 0, tilesetMouseY_ = 0;
  bool renderShown_ = false, lightsShown_ = false, pivotsShown_ = false;
  bool panning_ = false, panFirst_ = true;
  float panLastX_ = 0, panLastY_ = 0;
  std::int32_t contextX_ = 0, contextY_ = 0;
  bool lastPickedLight_ = false;  // which of the active light and pivot a click picked last
  map::Stamp stamp_;
  bool tilesetDrag_ = false;
  std::int32_t tilesetPressX_ = 0, tilesetPressY_ = 0, stampSlotsX_ = 0, stampSlotsY_ = 0;
  const map::Stamp* brush() const { return stamp_.empty() ? nullptr : &stamp_; }
  std::optional<map::Stamp> brushPreview() const;
  struct BrushKey {
    bool shown = false;
    std::int32_t x = 0, y = 0;
    const void* tile = nullptr;
    const void* stamp = nullptr;
    std::int32_t width = 0, height = 0, tool = 0;
    bool operator==(const BrushKey&) const = default;
  } brushKey_;
  std::vector<std::uint8_t> hidden_;  // per layer of the map below: not 0 when hidden
  const map::Map* hiddenOf_ = nullptr;
  std::vector<std::uint8_t> menuShows_;  // the Layers menu's items as last built
  bool menuBuilt_ = false;
  // What the left press on the map canvas hit, and where: it moves only once dragged.
  struct Press {
    map::LightPtr light;
    map::PivotPtr pivot;
    std::int32_t x = 0, y = 0;
    map::MapPoint at{0, 0};
  } pressed_;
  bool finished_ = false;
  bool previewOn_ = false;
  // What the newest preview bake was asked for, besides the document, whose changes drop it.
  struct PreviewKey {
    const map::Map* map;
    std::int32_t width, height;
    bool soft;
    lighting::Options options;
    std::int32_t density;
    bool operator==(const PreviewKey&) const = default;
  };
  std::optional<PreviewKey> previewKey_;
  lighting::CellRegion previewRegion_;     // and the cells it lights
  std::unique_ptr<PreviewBaker> preview_;
  // Started with the editor; File > Run Script gives each script a fresh state of it.
  script::ScriptEngine scripts_;
  script::Clock scriptClock_ = std::chrono::steady_clock::now;
  MapFrame mapFrame_, tilesetFrame_;
  TileFrame tileFrame_;
  edit::Document::Subscription shown_;
};

}  // namespace vorlane::app
