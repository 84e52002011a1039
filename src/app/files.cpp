#include "app/files.h"

#include <new>

#include "app/new_map_dialog.h"
#include "app/render_panel.h"
#include "app/tilesets.h"
#include "base/convert.h"
#include "edit/commands.h"
#include "formats/bake_map.h"
#include "formats/formats.h"
#include "io/project.h"
#include "platform/files.h"

namespace vorlane::app {

using platform::FileMode;
using platform::MessageKind;

// The file is parsed whole before anything changes, so a failure keeps map and tilesets.
// The loaded document is one step (undo brings back the one before) and the saved state of
// the file it came from, which Save then writes.
After Files::loadProject() {
  if (!mayReplaceDocument("loading another map")) return After::step;
  return loadProjectNamed(tk_.fileRequester("Load a vorlane project.", kMapFilter, FileMode::Open, ""));
}

After Files::loadProjectNamed(const std::string& name) {
  if (io::isCancelledLoadName(name)) return After::step;
  auto project = io::loadProjectFile(name);
  if (!project) {
    tk_.messageBox(project.error(), MessageKind::Error);
    return After::step;
  }
  ctx_.endGestures();
  const map::ViewState before = ctx_.mapView();
  doc_.load(std::move(project).value(), name);
  ctx_.showAsBefore(before, false);
  return After::step;
}

// Save asks for a name only while there is none; Save As always asks, and a cancelled
// requester leaves no name, so the next Save asks again.
bool Files::saveProject(bool ask) {
  if (ask || doc_.projectName().empty())
    doc_.setProjectName(tk_.fileRequester("Save a vorlane project.", kMapFilter, FileMode::Save, ""));
  const base::Status saved = doc_.saveTo(doc_.projectName());
  if (!saved) tk_.messageBox(saved.error(), MessageKind::Error);
  if (!saved || doc_.projectName().empty()) return false;
  doc_.markClean();
  return true;
}

After Files::exportMap() {
  const std::string name = tk_.fileRequester("Export Vorl", kMapFilter, FileMode::Save, "");
  if (name.empty()) return After::step;
  const base::Status exported = io::exportMapFile(name, *doc_.map(), ctx_.shownSelected());
  if (!exported) tk_.messageBox(exported.error(), MessageKind::Error);
  return After::step;
}

// A foreign map replaces the map and the tilesets as a load does. What Vorlane cannot hold is
// left out and listed, rather than refusing: the file itself stays as it was. The document
// has no file, so the next Save asks for one instead of overwriting the last project.
After Files::importMap() {
  if (!mayReplaceDocument("importing a map")) return After::step;
  const std::string path = tk_.fileRequester("Import a map.", formats::requesterFilter(true), FileMode::Open, "");
  if (path.empty()) return After::step;
  auto imported = formats::importMapFile(path, {true});
  if (!imported) {
    tk_.messageBox(imported.error(), MessageKind::Error);
    return After::step;
  }
  // One step: undo brings back map, tilesets, active objects and file.
  ctx_.endGestures();
  doc_.replace("Import Map", {std::move(imported->map), std::move(imported->tilesets), std::string()});
  if (!imported->leftOut.empty()) {
    std::string list = kImportLeftOut;
    for (const std::string& item : imported->leftOut) list += "\n  " + item;
    tk_.messageBox(list, MessageKind::Information);
  }
  return After::step;
}

// The format follows the name's extension; a name without a known one becomes a TMX map.
// Tile maps get normal-map atlases too, for engines that light them themselves.
After Files::exportAs() {
  std::string name = tk_.fileRequester("Export the map as.", formats::requesterFilter(false), FileMode::Save, "");
  if (name.empty()) return After::step;
  const formats::Format* format = formats::formatForPath(name);
  if (!format || !format->write) {
    format = formats::formatNamed("tmx");
    name += ".tmx";
  }
  formats::ExportOptions options;
  options.normals = true;
  auto notes = format->write(name, *doc_.map(), options);
  if (!notes)
    tk_.messageBox(notes.error(), MessageKind::Error);
  else if (!notes->empty())
    tk_.messageBox(notes->front(), MessageKind::Information);
  return After::step;
}

// The script edits copies of the map and its tiles; what it changed becomes one step that
// undo takes back whole, and a script that changed nothing leaves no step. A script still
// running after a while is offered a stop rather than freezing the editor.
After Files::runScript() {
  const std::string path = tk_.fileRequester("Run a Lua script.", kScriptFilter, FileMode::Open, "");
  if (path.empty()) return After::step;
  ctx_.stopGestures();
  auto run = script::runOnDocument(scripts_, path, *doc_.map(), [this] {
    return tk_.question(kScriptRunning, {"Stop", "Keep Running"}) == 0;
  }, scriptClock_);
  if (!run) {
    tk_.messageBox(run.error(), MessageKind::Error);
    return After::step;
  }
  if (!run->changed()) return After::step;
  edit::Transaction step(doc_, "Run Script");
  for (script::TileChange& t : run->tiles)
    doc_.push(edit::setTileFields(std::move(t.tile), std::move(t.path), t.castShadows, t.collider));
  const map::ViewState before = ctx_.mapView();
  if (run->map) doc_.replace("Run Script", {std::move(run->map), {}, {}});
  step.commit();
  if (run->map && run->mapIsCopy) ctx_.showAsBefore(before, true);
  return After::step;
}

// A modified document is given up only once asked: Save goes on only once the project is
// written, Discard goes on, Cancel (or closing the box) keeps everything as it was.
bool Files::mayReplaceDocument(std::string_view doing) {
  if (!doc_.modified()) return true;
  const std::string& name = doc_.projectName();
  const int answer =
      tk_.question("Save changes to " + (name.empty() ? std::string(kUntitled) : name) + " before " + std::string(doing) + "?",
                   {kSaveButton, kDiscardButton, kCancelButton});
  return answer == 1 || (answer == 0 && saveProject(false));
}

// An unmodified document ends the program at once; a modified one asks first.
After Files::quit() {
  if (!mayReplaceDocument("closing")) return After::step;
  ctx_.finished = true;
  return After::skip;
}

// The new map is a document of its own: it has no file yet.
After Files::newMap() {
  if (!mayReplaceDocument("making a new map")) return After::step;
  runNewMapDialog(tk_, g_.mainWindow, [this](const MapSize& size) {
    map::MapPtr fresh;
    try {
      fresh = map::Map::create(size.width, size.height, size.depth, size.tileWidth, size.tileHeight);
    } catch (const std::length_error&) {
    } catch (const std::bad_alloc&) {
    }
    // A size beyond memory keeps the map being edited, and the dialog with what was typed.
    if (!fresh) {
      tk_.messageBox(kMapTooLarge, platform::MessageKind::Error);
      return false;
    }
    ctx_.endGestures();
    ctx_.newMapGestures();
    doc_.replace("New Map", {std::move(fresh), {}, std::string()});
    return true;
  });
  return After::step;
}

// A TMX or TMJ map lit with the Render window's settings and written back as the same map,
// for games that read it; the open map is not touched.
After Files::bakeMapFile(const RenderPanel& render) {
  const std::string filter = formats::requesterFilter(true);
  const std::string in = tk_.fileRequester("Bake a map file.", filter, platform::FileMode::Open, "");
  if (in.empty()) return After::step;
  const std::string out = tk_.fileRequester("Write the lit map as.", filter, platform::FileMode::Save, "");
  if (out.empty()) return After::step;
  formats::BakeMapRequest request;
  request.width = base::textToInt(tk_.text(g_.widthField));
  request.height = base::textToInt(tk_.text(g_.heightField));
  request.soft = tk_.checked(g_.softShadowsBox);
  request.options = render.lightingOptions();
  auto notes = formats::bakeMapFile(in, out, request, [this](float fraction) { tk_.setProgress(g_.progressBar, fraction); });
  if (!notes) {
    tk_.messageBox(notes.error(), platform::MessageKind::Error);
    return After::step;
  }
  std::string text = "The lit map was written to " + out + ".";
  for (const std::string& note : *notes) text += "\n  " + note;
  tk_.messageBox(text, platform::MessageKind::Information);
  return After::step;
}

}  // namespace vorlane::app
