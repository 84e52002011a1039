#pragma once
// The editor context: what the shell's controllers share (toolkit, gadgets, document, current
// tile, layer and stamp), made once by the shell and handed to each controller.
#include <cstdint>
#include <functional>
#include <string>

#include "app/frames.h"
#include "app/gadgets.h"
#include "edit/document.h"
#include "io/project.h"
#include "map/map.h"
#include "map/stamp.h"
#include "map/view.h"
#include "platform/toolkit.h"
#include "tiles/tile.h"

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

struct EditorContext {
  explicit EditorContext(platform::Toolkit& toolkit) : tk(toolkit) {}
  EditorContext(const EditorContext&) = delete;
  EditorContext& operator=(const EditorContext&) = delete;

  platform::Toolkit& tk;
  Gadgets g;
  // The map, tilesets, file, active objects and the undo history.
  edit::Document doc;
  tiles::TilePtr currentTile;
  std::int32_t currentLayer = 0;
  // The block a drag over several Tiles slots picked; empty after a click picks one tile.
  map::Stamp stamp;
  // The map canvas's gestures, ended by the shell before the document changes under them:
  // endGestures before the document is replaced (a stroke going on writes into the new map),
  // stopGestures before a step is undone, redone or scripted (a stroke ends without writing more).
  // newMapGestures after endGestures for a new map: the pointer's cell starts at (0, 0).
  std::function<void()> endGestures = [] {}, stopGestures = [] {}, newMapGestures = [] {};
  bool finished = false;

  // How each canvas looks at the maps it has shown: a map coming back shows as it was left.
  CanvasViews mapViews, tilesetViews;
  map::ViewState& mapView() { return mapViews.of(doc.map()); }
  map::ViewState& tilesetView() { return tilesetViews.of(doc.currentTileset()); }
  // A map made from the one on show (Load's, a script's copy) takes that one's view, as a copy
  // of a map would; a new map starts at the start values.
  void showAsBefore(const map::ViewState& before, bool withMarks);
  // What the files' selected flags say.
  io::ShownSelected shownSelected() const { return {doc.active().light.get(), doc.active().pivot.get()}; }
};

// A tool window's button shows or hides it; its close button only hides it.
After toggleWindow(EditorContext& ctx, platform::Handle window, bool& shown);
After hideWindow(EditorContext& ctx, platform::Handle window, bool& shown);

}  // namespace vorlane::app
