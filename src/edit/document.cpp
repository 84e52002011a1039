#include "edit/document.h"

#include <algorithm>
#include <stdexcept>

#include "edit/cells.h"
#include "edit/commands.h"

namespace vorlane::edit {

struct Document::Subscription::Listeners {
  std::vector<std::pair<std::uint64_t, Listener>> list;
  std::uint64_t next = 0;
};

Document::Subscription::~Subscription() {
  if (auto listeners = to_.lock()) std::erase_if(listeners->list, [&](const auto& l) { return l.first == id_; });
}

Document::Document()
    : map_(map::Map::create(0, 0, 0, 0, 0)), listeners_(std::make_shared<Subscription::Listeners>()) {}

Document::Subscription Document::listen(Listener listener) {
  const std::uint64_t id = ++listeners_->next;
  listeners_->list.emplace_back(id, std::move(listener));
  return Subscription(listeners_, id);
}

std::vector<TilesetSlot> Document::tilesets() const {
  std::vector<TilesetSlot> slots;
  slots.reserve(tilesets_.size());
  for (const io::TilesetEntry& e : tilesets_) slots.push_back({e.label, e.tileset});
  return slots;
}

map::MapPtr Document::own(const ConstMapPtr& part) const {
  if (part && part == map_) return map_;
  if (part && part == currentTileset_) return currentTileset_;
  for (const io::TilesetEntry& e : tilesets_)
    if (part && part == e.tileset) return e.tileset;
  throw std::invalid_argument("a map the document does not hold");
}

base::Status Document::saveTo(const std::string& file) const {
  return io::saveProjectFile(file, *map_, tilesets_, {active_.light.get(), active_.pivot.get()});
}

int Document::currentTilesetIndex() const {
  for (int i = 0; i < tilesetCount(); ++i)
    if (tilesets_[static_cast<std::size_t>(i)].tileset == currentTileset_) return i;
  return -1;
}

void Document::chooseTileset(int index) {
  if (index < 0 || index >= tilesetCount() || currentTileset_ == tilesets_[static_cast<std::size_t>(index)].tileset)
    return;
  currentTileset_ = tilesets_[static_cast<std::size_t>(index)].tileset;
  announce(Change::tilesets);
}

void Document::setActive(Active active) {
  if (active == active_) return;
  active_ = std::move(active);
  announce(Change::selection);
}

void Document::select(Active active) { setActive(std::move(active)); }

void Document::setProjectName(std::string name) {
  file_ = std::move(name);
  announce(Change::file);
}

void Document::markClean() {
  history_.setClean();
  announce(Change::file);
}

void Document::announce(ChangeSet changes) {
  if (changes.empty()) return;
  // A listener may subscribe or end a subscription meanwhile.
  const auto list = listeners_->list;
  for (const auto& [id, listener] : list) listener(changes);
}

void Document::push(std::unique_ptr<Command> command) {
  flushRecorder();
  command->redo(*this);
  const ChangeSet changes = command->changes() | dropStaleActive();
  add(std::move(command));
  announce(changes);
}

void Document::record(std::unique_ptr<Command> command) {
  flushRecorder();
  const ChangeSet changes = command->changes();
  add(std::move(command));
  announce(changes);
}

void Document::add(std::unique_ptr<Command> command) {
  ++revision_;
  if (open_)
    open_->add(std::move(command));
  else
    history_.add(std::move(command));
}

void Document::flushRecorder() {
  if (recorder_) recorder_->finish();
}

void Document::recordFrom(CellRecorder* recorder, std::unique_ptr<Command> command) {
  if (recorder == recorder_) add(std::move(command));
}

bool Document::undo() { return walk(false); }

bool Document::redo() { return walk(true); }

bool Document::walk(bool forward) {
  if (open_) return false;
  flushRecorder();
  const Command* step = forward ? history_.nextRedo() : history_.nextUndo();
  if (!step) return false;
  ChangeSet changes = step->changes() | Change::file;  // the saved state may be reached or left
  if (forward)
    history_.redo(*this);
  else
    history_.undo(*this);
  changes = changes | dropStaleActive();
  ++revision_;
  announce(changes);
  return true;
}

std::string Document::undoText() const {
  const Command* c = history_.nextUndo();
  return c ? "Undo " + c->label() : "Undo";
}

std::string Document::redoText() const {
  const Command* c = history_.nextRedo();
  return c ? "Redo " + c->label() : "Redo";
}

void Document::replaceMap(std::string label, map::MapPtr map) { replace(std::move(label), {std::move(map), {}, {}}); }

namespace {

// The state `r` makes of `s`.
DocumentState replaced(DocumentState s, Replacement r) {
  if (r.map) s.map = std::move(r.map);
  s.active = {};
  if (r.tilesets) {
    if (r.tilesets->size() > static_cast<std::size_t>(kMaxTilesets)) r.tilesets->resize(kMaxTilesets);
    s.tilesets = std::move(*r.tilesets);
    if (!s.tilesets.empty()) s.currentTileset = s.tilesets.front().tileset;
  }
  if (r.file) s.file = std::move(*r.file);
  return s;
}

}  // namespace

void Document::replace(std::string label, Replacement next) {
  push(replaceState(std::move(label), replaced(state(), std::move(next))));
}

void Document::reset(Replacement start) {
  flushRecorder();
  restoreState(replaced(state(), std::move(start)));
  history_.clear();
  history_.setClean();
  ++revision_;
  announce(ChangeSet::all());
}

void Document::load(io::Project project, std::string file) {
  // The file's map becomes the document's, behind the objects of the map on show, as loading
  // has always kept them (the canvas keeps its view). Only the parsed map is written: a
  // failure leaves the document as it was.
  const map::Map& current = *map_;
  map::MapPtr next = std::move(project.map);
  next->lights.insert(next->lights.begin(), current.lights.begin(), current.lights.end());
  next->pivots.insert(next->pivots.begin(), current.pivots.begin(), current.pivots.end());
  DocumentState s = state();
  s.map = std::move(next);
  if (project.tilesets.size() > static_cast<std::size_t>(kMaxTilesets)) project.tilesets.resize(kMaxTilesets);
  s.tilesets = std::move(project.tilesets);
  if (!s.tilesets.empty()) s.currentTileset = s.tilesets.front().tileset;
  s.file = std::move(file);
  push(replaceState("Load", std::move(s)));
  markClean();
}

DocumentState Document::state() const { return {map_, tilesets_, currentTileset_, active_, file_}; }

void Document::restoreState(const DocumentState& s) {
  map_ = s.map;
  tilesets_ = s.tilesets;
  currentTileset_ = s.currentTileset;
  active_ = s.active;
  file_ = s.file;
}

void Document::setTilesets(std::vector<io::TilesetEntry> tilesets, map::MapPtr current) {
  tilesets_ = std::move(tilesets);
  currentTileset_ = std::move(current);
}

// A selection left on an object no longer in the document is dropped, so nothing writes
// through it and the windows show no object rather than a removed one.
ChangeSet Document::dropStaleActive() {
  const Active was = active_;
  const auto in = [](const auto& list, const auto& object) {
    return std::find(list.begin(), list.end(), object) != list.end();
  };
  if (active_.light && !in(map_->lights, active_.light)) active_.light.reset();
  if (active_.pivot && !in(map_->pivots, active_.pivot)) active_.pivot.reset();
  if (active_.record) {
    const map::Pivot* p = active_.pivot.get();
    const auto used = p ? std::clamp(p->recordCount, 0, static_cast<std::int32_t>(p->records.size())) : 0;
    if (!p || std::find(p->records.begin(), p->records.begin() + used, active_.record) == p->records.begin() + used)
      active_.record.reset();
  }
  return active_ == was ? ChangeSet() : ChangeSet(Change::selection);
}

Transaction::Transaction(Document& doc, std::string label)
    : doc_(doc), outer_(doc.open_), group_(std::make_unique<Group>(std::move(label))) {
  doc_.flushRecorder();
  doc_.open_ = this;
}

Transaction::~Transaction() {
  if (group_) rollback();
}

void Transaction::add(std::unique_ptr<Command> command) { group_->add(std::move(command)); }

bool Transaction::empty() const { return !group_ || group_->empty(); }

void Transaction::close() { doc_.open_ = outer_; }

void Transaction::commit() {
  if (!group_) return;
  doc_.flushRecorder();
  close();
  std::unique_ptr<Group> group = std::move(group_);
  if (!group->empty()) doc_.add(std::move(group));
}

void Transaction::rollback() {
  if (!group_) return;
  doc_.flushRecorder();
  close();
  std::unique_ptr<Group> group = std::move(group_);
  ChangeSet changes = group->changes();
  group->undo(doc_);
  changes = changes | doc_.dropStaleActive();
  doc_.touch();
  doc_.announce(changes);
}

}  // namespace vorlane::edit
