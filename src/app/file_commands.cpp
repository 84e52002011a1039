// The commands that read and write files: Load Tile, project Load, Save, Save As, Export, and
// Import Map and Export As for other editors' maps.
#include "app/shell.h"
#include "edit/commands.h"
#include "formats/formats.h"
#include "io/project.h"
#include "platform/files.h"
#include "tiles/tile.h"

namespace vorlane::app {

using platform::FileMode;
using platform::MessageKind;

Shell::After Shell::loadTile() {
  const std::string path = tk_.fileRequester("Load a single tile.", kImageFilter, FileMode::Open, "");
  if (!platform::isRegularFile(path)) {
    tk_.messageBox(kNotAValidFile, MessageKind::Information);
    return After::skip;
  }
  // A file that cannot be decoded is reported, and the editor carries on.
  auto tile = tiles::Tile::fromFile(path);
  if (!tile) {
    tk_.messageBox(tile.error(), MessageKind::Error);
    return After::skip;
  }
  edit::CellRecorder cells(doc_, currentTileset(), "Load Tile");
  currentTileset()->addToFirstFreeCell(std::move(tile).value(), cells);
  return After::step;
}

// The file is parsed whole before anything changes, so a failure keeps map and tilesets.
// The loaded document is one step (undo brings back the one before) and the saved state of
// the file it came from, which Save then writes.
Shell::After Shell::loadProject() {
  if (!mayReplaceDocument("loading another map")) return After::step;
  return loadProjectNamed(tk_.fileRequester("Load a vorlane project.", kMapFilter, FileMode::Open, ""));
}

Shell::After Shell::loadProjectNamed(const std::string& name) {
  if (io::isCancelledLoadName(name)) return After::step;
  auto project = io::loadProjectFile(name);
  if (!project) {
    tk_.messageBox(project.error(), MessageKind::Error);
    return After::step;
  }
  endGestures();
  doc_.load(std::move(project).value(), name);
  return After::step;
}

// Save asks for a name only while there is none; Save As always asks, and a cancelled
// requester leaves no name, so the next Save asks again.
bool Shell::saveProject(bool ask) {
  if (ask || doc_.projectName().empty())
    doc_.setProjectName(tk_.fileRequester("Save a vorlane project.", kMapFilter, FileMode::Save, ""));
  const base::Status saved = doc_.saveTo(doc_.projectName());
  if (!saved) tk_.messageBox(saved.error(), MessageKind::Error);
  if (!saved || doc_.projectName().empty()) return false;
  doc_.markClean();
  return true;
}

Shell::After Shell::exportMap() {
  const std::string name = tk_.fileRequester("Export Vorl", kMapFilter, FileMode::Save, "");
  if (name.empty()) return After::step;
  const base::Status exported = io::exportMapFile(name, *doc_.map());
  if (!exported) tk_.messageBox(exported.error(), MessageKind::Error);
  return After::step;
}

// A foreign map replaces the map and the tilesets as a load does. What Vorlane cannot hold is
// left out and listed, rather than refusing: the file itself stays as it was. The document
// has no file, so the next Save asks for one instead of overwriting the last project.
Shell::After Shell::importMap() {
  if (!mayReplaceDocument("importing a map")) return After::step;
  const std::string path = tk_.fileRequester("Import a map.", formats::requesterFilter(true), FileMode::Open, "");
  if (path.empty()) return After::step;
  auto imported = formats::importMapFile(path, {true});
  if (!imported) {
    tk_.messageBox(imported.error(), MessageKind::Error);
    return After::step;
  }
  // One step: undo brings back map, tilesets, active objects and file.
  endGestures();
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
Shell::After Shell::exportAs() {
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
Shell::After Shell::runScript() {
  const std::string path = tk_.fileRequester("Run a Lua script.", kScriptFilter, FileMode::Open, "");
  if (path.empty()) return After::step;
  dropStroke();
  objects_->endDrag();
  pressed_ = {};
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
  if (run->map) doc_.replace("Run Script", {std::move(run->map), {}, {}});
  step.commit();
  return After::step;
}

}  // namespace vorlane::app
