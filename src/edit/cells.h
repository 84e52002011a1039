#pragma once
// Cell changes recorded as they happen: a stroke of the editing tools, a tile loaded into a
// tileset. Kept as runs of cells (a fixed index stride, one tile before, one after) over a
// palette of the tiles involved, so a Fill of a plain layer costs a few bytes, not a copy.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "edit/document.h"
#include "edit/history.h"
#include "map/map.h"

namespace vorlane::edit {

class CellChanges {
 public:
  // Cell `index` of the grid went from `before` to `after` (in the order written).
  void add(std::size_t index, const map::TilePtr& before, const map::TilePtr& after);
  void undo(map::Map& map) const;
  void redo(map::Map& map) const;
  bool empty() const { return runs_.empty(); }
  std::size_t cost() const;

 private:
  struct Run {
    std::uint32_t first, count;
    std::int32_t stride;
    std::uint32_t from, to;  // palette entries
  };
  std::uint32_t id(const map::TilePtr& tile);

  std::vector<map::TilePtr> palette_{map::TilePtr{}};  // entry 0 is none
  std::unordered_map<const tiles::Tile*, std::uint32_t> ids_;
  std::vector<Run> runs_;
  std::size_t lowest_ = SIZE_MAX, end_ = 0;  // the cells the runs touch lie in [lowest_, end_)
};

// A cell writer over one map of the document: writes, records, and hands what it changed
// to the history as one step labelled `label`. While it is open, any other step first
// closes the cells written so far into a step of their own, so steps never interleave.
class CellRecorder final : public map::CellWriter {
 public:
  // `target` is the document's map or one of its tilesets.
  CellRecorder(Document& doc, const ConstMapPtr& target, std::string label);
  ~CellRecorder() override;
  CellRecorder(const CellRecorder&) = delete;
  CellRecorder& operator=(const CellRecorder&) = delete;

  void setCell(std::int32_t x, std::int32_t y, std::int32_t layer, map::TilePtr tile) override;
  // Records the changes so far as one step (none when nothing changed); writing may go on.
  void finish();
  // Puts back the cells written since the last finish, recording nothing.
  void abandon();

 private:
  Document& doc_;
  map::MapPtr target_;
  std::string label_;
  CellChanges changes_;
};

// One recorded change of cells as a step of its own.
std::unique_ptr<Command> setCells(map::MapPtr target, std::string label, CellChanges changes);

}  // namespace vorlane::edit
