#include "edit/cells.h"

#include <algorithm>

#include "edit/document.h"
#include "edit/writable.h"

namespace vorlane::edit {

std::uint32_t CellChanges::id(const map::TilePtr& tile) {
  if (!tile) return 0;
  auto [it, added] = ids_.try_emplace(tile.get(), static_cast<std::uint32_t>(palette_.size()));
  if (added) palette_.push_back(tile);
  return it->second;
}

void CellChanges::add(std::size_t index, const map::TilePtr& before, const map::TilePtr& after) {
  const std::uint32_t from = id(before), to = id(after);
  const auto at = static_cast<std::uint32_t>(index);  // grids stay below 2^28 cells
  lowest_ = std::min(lowest_, index);
  end_ = std::max(end_, index + 1);
  if (!runs_.empty()) {
    Run& r = runs_.back();
    if (r.from == from && r.to == to) {
      const std::int64_t step = std::int64_t{at} - std::int64_t{r.first};
      if (r.count == 1 && step != 0) {
        r.stride = static_cast<std::int32_t>(step);
        r.count = 2;
        return;
      }
      if (r.count > 1 && step == std::int64_t{r.stride} * r.count) {
        ++r.count;
        return;
      }
    }
  }
  runs_.push_back({at, 1, 0, from, to});
}

// Later writes may cover earlier ones: undo walks back from the last, redo forward.
void CellChanges::undo(map::Map& map) const {
  for (auto r = runs_.rbegin(); r != runs_.rend(); ++r)
    for (std::int64_t k = std::int64_t{r->count} - 1; k >= 0; --k) {
      const auto i = static_cast<std::size_t>(std::int64_t{r->first} + k * r->stride);
      if (i < map.cells.size()) map.cells[i] = palette_[r->from];
    }
  // Undoing a Fill of an empty layer gives its memory back.
  map.cells.releaseEmpty(lowest_, end_);
  map.revision = map::Map::nextRevision();
}

void CellChanges::redo(map::Map& map) const {
  for (const Run& r : runs_)
    for (std::int64_t k = 0; k < std::int64_t{r.count}; ++k) {
      const auto i = static_cast<std::size_t>(std::int64_t{r.first} + k * r.stride);
      if (i < map.cells.size()) map.cells[i] = palette_[r.to];
    }
  map.cells.releaseEmpty(lowest_, end_);
  map.revision = map::Map::nextRevision();
}

std::size_t CellChanges::cost() const {
  return sizeof(*this) + runs_.capacity() * sizeof(Run) + palette_.capacity() * sizeof(map::TilePtr) +
         ids_.size() * (sizeof(void*) * 2 + sizeof(std::uint32_t) * 2) + ids_.bucket_count() * sizeof(void*);
}

namespace {

class SetCells final : public Command {
 public:
  SetCells(map::MapPtr target, std::string label, CellChanges changes)
      : target_(std::move(target)), label_(std::move(label)), changes_(std::move(changes)) {}
  std::string label() const override { return label_; }
  ChangeSet changes() const override { return Change::cells; }
  void redo(Document&) override { changes_.redo(*target_); }
  void undo(Document&) override { changes_.undo(*target_); }
  std::size_t cost() const override { return sizeof(*this) + label_.capacity() + changes_.cost(); }

 private:
  map::MapPtr target_;
  std::string label_;
  CellChanges changes_;
};

}  // namespace

std::unique_ptr<Command> setCells(map::MapPtr target, std::string label, CellChanges changes) {
  return std::make_unique<SetCells>(std::move(target), std::move(label), std::move(changes));
}

CellRecorder::CellRecorder(Document& doc, const ConstMapPtr& target, std::string label)
    : doc_(doc), target_(Writable::map(doc, target)), label_(std::move(label)) {
  doc_.openRecorder(this);
}

CellRecorder::~CellRecorder() {
  finish();
  doc_.closeRecorder(this);
}

void CellRecorder::setCell(std::int32_t x, std::int32_t y, std::int32_t layer, map::TilePtr tile) {
  map::Map& m = *target_;
  if (!m.contains(x, y, layer)) return;
  map::TilePtr& cell = m.cells[m.cellIndex(x, y, layer)];
  if (cell == tile) return;
  changes_.add(m.cellIndex(x, y, layer), cell, tile);
  cell = std::move(tile);
  m.revision = map::Map::nextRevision();
  doc_.touch();
  doc_.announce(Change::cells);
}

void CellRecorder::finish() {
  if (changes_.empty()) return;
  CellChanges done = std::move(changes_);
  changes_ = CellChanges{};
  doc_.recordFrom(this, setCells(target_, label_, std::move(done)));
}

void CellRecorder::abandon() {
  if (changes_.empty()) return;
  changes_.undo(*target_);
  changes_ = CellChanges{};
  doc_.touch();
  doc_.announce(Change::cells);
}

}  // namespace vorlane::edit
