// The commands that read and write files: Load Tile, and project Load, Save, Save As, Export.
#include "app/shell.h"
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
// The loaded document is one step (undo brings back the one before) and the saved state.
Shell::After Shell::loadProject() {
  const std::string name = tk_.fileRequester("Load a vorlane project.", kMapFilter, FileMode::Open, "");
  if (io::isCancelledLoadName(name)) return After::step;
  auto project = io::loadProjectFile(name);
  if (!project) {
    tk_.messageBox(project.error(), MessageKind::Error);
    return After::step;
  }
  strokeCells_.reset();
  doc_.load(std::move(project).value());
  tilesets_->show();
  return After::step;
}

// Save asks for a name only while there is none; Save As always asks, and a cancelled
// requester leaves no name, so the next Save asks again.
bool Shell::saveProject(bool ask) {
  if (ask || doc_.projectName().empty())
    doc_.setProjectName(tk_.fileRequester("Save a vorlane project.", kMapFilter, FileMode::Save, ""));
  const base::Status saved = io::saveProjectFile(doc_.projectName(), *doc_.map(), doc_.tilesets());
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

}  // namespace vorlane::app
