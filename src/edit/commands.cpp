#include "edit/commands.h"

#include <algorithm>
#include <variant>

#include "edit/writable.h"
#include "map/fields.h"

namespace vorlane::edit {

namespace {

// A command's handle on an object it changes; the rest of the editor holds objects read-only.
using LightRef = std::shared_ptr<map::Light>;
using PivotRef = std::shared_ptr<map::Pivot>;
using RecordRef = std::shared_ptr<map::record>;

template <typename T>
std::size_t objectBytes(const std::vector<std::shared_ptr<T>>& list) {
  return list.capacity() * sizeof(std::shared_ptr<T>) + list.size() * sizeof(T);
}

template <typename Ptr>
std::ptrdiff_t indexIn(const std::vector<Ptr>& list, const Ptr& object) {
  auto it = std::find(list.begin(), list.end(), object);
  return it == list.end() ? -1 : it - list.begin();
}

template <typename Ptr>
void insertAt(std::vector<Ptr>& list, std::ptrdiff_t index, Ptr object) {
  index = std::clamp<std::ptrdiff_t>(index, 0, static_cast<std::ptrdiff_t>(list.size()));
  list.insert(list.begin() + index, std::move(object));
}

template <typename Ptr>
void eraseObject(std::vector<Ptr>& list, const Ptr& object) {
  auto it = std::find(list.begin(), list.end(), object);
  if (it != list.end()) list.erase(it);
}

// Some fields of one object (those of one use in its field table) set from before to after.
// Steps of the same object and `field` (when not -1) merge, so typing into a box is one step.
template <typename T, const auto& Fields>
class SetFields final : public Command {
 public:
  SetFields(std::shared_ptr<T> object, const T& values, unsigned use, std::string label, int field, ChangeSet changes)
      : object_(std::move(object)), use_(use), before_(map::valuesOf(Fields, use, *object_)),
        after_(map::valuesOf(Fields, use, values)), label_(std::move(label)), field_(field), changes_(changes) {}
  std::string label() const override { return label_; }
  ChangeSet changes() const override { return changes_; }
  void redo(Document&) override { map::setValues(Fields, use_, *object_, after_); }
  void undo(Document&) override { map::setValues(Fields, use_, *object_, before_); }
  std::size_t cost() const override { return sizeof(*this) + label_.capacity() + bytes(before_) + bytes(after_); }
  bool merge(const Command& next) override {
    auto* n = dynamic_cast<const SetFields*>(&next);
    if (!n || field_ < 0 || n->object_ != object_ || n->field_ != field_ || n->use_ != use_) return false;
    after_ = n->after_;
    return true;
  }

 private:
  static std::size_t bytes(const std::vector<map::FieldValue>& values) {
    std::size_t n = values.capacity() * sizeof(map::FieldValue);
    for (const auto& v : values)
      if (const auto* text = std::get_if<std::string>(&v)) n += text->capacity();
    return n;
  }
  std::shared_ptr<T> object_;
  unsigned use_;
  std::vector<map::FieldValue> before_, after_;
  std::string label_;
  int field_;
  ChangeSet changes_;
};

// Appends one light or pivot.
template <typename Ptr, std::vector<Ptr> map::Map::*List>
class AddObject final : public Command {
 public:
  AddObject(ConstMapPtr map, Ptr object, std::string label)
      : map_(std::move(map)), object_(std::move(object)), label_(std::move(label)) {}
  std::string label() const override { return label_; }
  ChangeSet changes() const override { return Change::objects; }
  void redo(Document& doc) override { ((*Writable::map(doc, map_)).*List).push_back(object_); }
  void undo(Document& doc) override { eraseObject((*Writable::map(doc, map_)).*List, object_); }
  std::size_t cost() const override { return sizeof(*this) + sizeof(*object_); }

 private:
  ConstMapPtr map_;
  Ptr object_;
  std::string label_;
};

class RemoveObjects final : public Command {
 public:
  RemoveObjects(ConstMapPtr map, map::LightPtr light, map::PivotPtr pivot)
      : map_(std::move(map)), light_(std::move(light)), pivot_(std::move(pivot)) {}
  std::string label() const override { return "Delete"; }
  ChangeSet changes() const override { return Change::objects | Change::selection; }
  void redo(Document& doc) override {
    map::Map& map = *Writable::map(doc, map_);
    Active active = doc.active();
    was_ = {};
    if (light_) {
      lightAt_ = indexIn(map.lights, light_);
      eraseObject(map.lights, light_);
      if (active.light == light_) std::swap(was_.light, active.light);
    }
    if (pivot_) {
      pivotAt_ = indexIn(map.pivots, pivot_);
      eraseObject(map.pivots, pivot_);
      if (active.pivot == pivot_) {
        std::swap(was_.pivot, active.pivot);
        std::swap(was_.record, active.record);
      }
    }
    doc.setActive(std::move(active));
  }
  void undo(Document& doc) override {
    map::Map& map = *Writable::map(doc, map_);
    if (light_ && lightAt_ >= 0) insertAt(map.lights, lightAt_, light_);
    if (pivot_ && pivotAt_ >= 0) insertAt(map.pivots, pivotAt_, pivot_);
    Active active = doc.active();
    if (!active.light && was_.light) active.light = was_.light;
    if (!active.pivot && was_.pivot) {
      active.pivot = was_.pivot;
      active.record = was_.record;
    }
    doc.setActive(std::move(active));
  }
  std::size_t cost() const override { return sizeof(*this); }

 private:
  ConstMapPtr map_;
  map::LightPtr light_;
  map::PivotPtr pivot_;
  std::ptrdiff_t lightAt_ = -1, pivotAt_ = -1;
  Active was_;  // the active objects the removal cleared
};

class MoveObjects final : public Command {
 public:
  MoveObjects(LightRef light, Position lightTo, PivotRef pivot, Position pivotTo)
      : light_(std::move(light)), pivot_(std::move(pivot)), lightTo_(lightTo), pivotTo_(pivotTo) {
    if (light_) lightFrom_ = {light_->x, light_->y};
    if (pivot_) pivotFrom_ = {pivot_->x, pivot_->y};
  }
  std::string label() const override { return light_ && pivot_ ? "Move" : light_ ? "Move Light" : "Move Pivot"; }
  ChangeSet changes() const override { return Change::objects; }
  void redo(Document&) override { set(lightTo_, pivotTo_); }
  void undo(Document&) override { set(lightFrom_, pivotFrom_); }
  std::size_t cost() const override { return sizeof(*this); }
  bool merge(const Command& next) override {
    auto* n = dynamic_cast<const MoveObjects*>(&next);
    if (!n || n->light_ != light_ || n->pivot_ != pivot_) return false;
    lightTo_ = n->lightTo_;
    pivotTo_ = n->pivotTo_;
    return true;
  }

 private:
  void set(Position light, Position pivot) {
    if (light_) {
      light_->x = light.x;
      light_->y = light.y;
    }
    if (pivot_) {
      pivot_->x = pivot.x;
      pivot_->y = pivot.y;
    }
  }
  LightRef light_;
  PivotRef pivot_;
  Position lightFrom_, lightTo_, pivotFrom_, pivotTo_;
};

// One text of an object: a pivot's link, a record's name or value.
template <typename Ptr>
class SetText final : public Command {
 public:
  SetText(Ptr object, std::string* (*slot)(const Ptr&), std::string text, std::string label, int field)
      : object_(std::move(object)), slot_(slot), before_(*slot(object_)), after_(std::move(text)),
        label_(std::move(label)), field_(field) {}
  std::string label() const override { return label_; }
  ChangeSet changes() const override { return Change::objects; }
  void redo(Document&) override { *slot_(object_) = after_; }
  void undo(Document&) override { *slot_(object_) = before_; }
  std::size_t cost() const override { return sizeof(*this) + before_.capacity() + after_.capacity(); }
  bool merge(const Command& next) override {
    auto* n = dynamic_cast<const SetText*>(&next);
    if (!n || n->object_ != object_ || n->field_ != field_) return false;
    after_ = n->after_;
    return true;
  }

 private:
  Ptr object_;
  std::string* (*slot_)(const Ptr&);
  std::string before_, after_, label_;
  int field_;
};

// A pivot's records as a whole: ≤ 255 references, so a snapshot is cheap and exact (the
// slots beyond the count included).
struct Records {
  std::vector<map::RecordPtr> slots;
  std::int32_t count = 0;
  static Records of(const map::Pivot& p) { return {p.records, p.recordCount}; }
  void into(map::Pivot& p) const {
    p.records = slots;
    p.recordCount = count;
  }
};

class NewRecord final : public Command {
 public:
  NewRecord(PivotRef pivot, std::string name, std::string value)
      : pivot_(std::move(pivot)), record_(std::make_shared<map::record>()) {
    record_->name = std::move(name);
    record_->value = std::move(value);
  }
  std::string label() const override { return "New Record"; }
  ChangeSet changes() const override { return Change::objects | Change::selection; }
  void redo(Document& doc) override {
    before_ = Records::of(*pivot_);
    map::Pivot& p = *pivot_;
    if (p.recordCount < 0 || p.recordCount >= map::kMaxRecords) return;
    auto slot = static_cast<std::size_t>(p.recordCount++);
    if (p.records.size() <= slot) p.records.resize(slot + 1);
    p.records[slot] = record_;
    previous_ = doc.active().record;
    if (doc.active().pivot == pivot_) {
      Active a = doc.active();
      a.record = record_;
      doc.setActive(std::move(a));
    }
  }
  void undo(Document& doc) override {
    before_.into(*pivot_);
    if (doc.active().record == record_) {
      Active a = doc.active();
      a.record = previous_;
      doc.setActive(std::move(a));
    }
  }
  std::size_t cost() const override {
    return sizeof(*this) + sizeof(map::record) + before_.slots.capacity() * sizeof(map::RecordPtr);
  }

 private:
  PivotRef pivot_;
  RecordRef record_;
  map::RecordPtr previous_;
  Records before_;
};

class DeleteRecord final : public Command {
 public:
  DeleteRecord(PivotRef pivot, std::int32_t index) : pivot_(std::move(pivot)), index_(index) {}
  std::string label() const override { return "Delete Record"; }
  ChangeSet changes() const override { return Change::objects | Change::selection; }
  void redo(Document& doc) override {
    map::Pivot& p = *pivot_;
    before_ = Records::of(p);
    wasActive_ = false;
    if (index_ < 0 || index_ >= p.recordCount) return;
    const map::RecordPtr removed = p.records[static_cast<std::size_t>(index_)];
    if (p.recordCount == 1) {
      p.recordCount = 0;
    } else {
      for (std::int32_t j = index_ + 1; j < p.recordCount; ++j)
        p.records[static_cast<std::size_t>(j - 1)] = p.records[static_cast<std::size_t>(j)];
      --p.recordCount;
    }
    if (doc.active().record == removed) {
      Active a = doc.active();
      a.record.reset();
      doc.setActive(std::move(a));
      wasActive_ = true;
    }
  }
  void undo(Document& doc) override {
    before_.into(*pivot_);
    if (wasActive_ && doc.active().pivot == pivot_ && !doc.active().record) {
      Active a = doc.active();
      a.record = pivot_->records[static_cast<std::size_t>(index_)];
      doc.setActive(std::move(a));
    }
  }
  std::size_t cost() const override { return sizeof(*this) + before_.slots.capacity() * sizeof(map::RecordPtr); }

 private:
  PivotRef pivot_;
  std::int32_t index_;
  Records before_;
  bool wasActive_ = false;
};

// What the tilesets of `a` that `b` does not hold cost: a step holding both keeps them alive.
std::size_t bytesNotIn(const std::vector<io::TilesetEntry>& a, const std::vector<io::TilesetEntry>& b) {
  std::size_t bytes = 0;
  for (const io::TilesetEntry& e : a)
    if (std::none_of(b.begin(), b.end(), [&](const io::TilesetEntry& f) { return f.tileset == e.tileset; }))
      bytes += mapBytes(*e.tileset);
  return bytes;
}

class SetTilesets final : public Command {
 public:
  SetTilesets(std::string label, std::vector<io::TilesetEntry> tilesets, map::MapPtr current)
      : label_(std::move(label)), after_(std::move(tilesets)), afterCurrent_(std::move(current)) {}
  std::string label() const override { return label_; }
  ChangeSet changes() const override { return Change::tilesets | Change::cells; }
  void redo(Document& doc) override {
    before_ = Writable::tilesets(doc);
    beforeCurrent_ = Writable::currentTileset(doc);
    Writable::setTilesets(doc, after_, afterCurrent_);
  }
  void undo(Document& doc) override { Writable::setTilesets(doc, before_, beforeCurrent_); }
  // Only tilesets that one side holds and the other does not are kept alive by the step.
  std::size_t cost() const override {
    return sizeof(*this) + (before_.capacity() + after_.capacity()) * sizeof(io::TilesetEntry) +
           bytesNotIn(before_, after_) + bytesNotIn(after_, before_);
  }

 private:
  std::string label_;
  std::vector<io::TilesetEntry> before_, after_;
  map::MapPtr beforeCurrent_, afterCurrent_;
};

class ReplaceState final : public Command {
 public:
  ReplaceState(std::string label, DocumentState next) : label_(std::move(label)), after_(std::move(next)) {}
  std::string label() const override { return label_; }
  ChangeSet changes() const override { return ChangeSet::all(); }
  void redo(Document& doc) override {
    before_ = Writable::state(doc);
    Writable::restore(doc, after_);
  }
  void undo(Document& doc) override { Writable::restore(doc, before_); }
  // The map and tilesets that are not current are what the step keeps alive.
  std::size_t cost() const override {
    std::size_t bytes = sizeof(*this);
    if (before_.map && before_.map != after_.map) bytes += mapBytes(*before_.map);
    return bytes + bytesNotIn(before_.tilesets, after_.tilesets);
  }

 private:
  std::string label_;
  DocumentState before_, after_;
};

std::string* pivotLink(const PivotRef& p) { return &p->link; }
std::string* recordName(const RecordRef& r) { return &r->name; }
std::string* recordValue(const RecordRef& r) { return &r->value; }

}  // namespace

void Group::redo(Document& doc) {
  for (auto& part : parts_) part->redo(doc);
}

void Group::undo(Document& doc) {
  for (auto it = parts_.rbegin(); it != parts_.rend(); ++it) (*it)->undo(doc);
}

ChangeSet Group::changes() const {
  ChangeSet all;
  for (const auto& part : parts_) all = all | part->changes();
  return all;
}

std::size_t Group::cost() const {
  std::size_t bytes = sizeof(*this) + label_.capacity();
  for (const auto& part : parts_) bytes += part->cost();
  return bytes;
}

void Group::add(std::unique_ptr<Command> command) {
  if (!parts_.empty() && parts_.back()->merge(*command)) return;
  parts_.push_back(std::move(command));
}

std::unique_ptr<Command> setTileFlags(const tiles::TilePtr& tile, std::int32_t castShadows, std::int32_t collider) {
  tiles::Tile values;
  values.castShadows = castShadows;
  values.collider = collider;
  return std::make_unique<SetFields<tiles::Tile, map::kTileFields>>(Writable::object(tile), values, map::kEdited,
                                                                    "Tile Flags", -1, Change::tiles);
}

std::unique_ptr<Command> setTileFields(const tiles::TilePtr& tile, std::string path, std::int32_t castShadows,
                                       std::int32_t collider) {
  tiles::Tile values;
  values.path = std::move(path);
  values.castShadows = castShadows;
  values.collider = collider;
  return std::make_unique<SetFields<tiles::Tile, map::kTileFields>>(Writable::object(tile), values, map::kScripted,
                                                                    "Tile", -1, Change::tiles);
}

std::unique_ptr<Command> addLight(ConstMapPtr map, map::LightPtr light) {
  return std::make_unique<AddObject<map::LightPtr, &map::Map::lights>>(std::move(map), std::move(light), "Add Light");
}

std::unique_ptr<Command> addPivot(ConstMapPtr map, map::PivotPtr pivot) {
  return std::make_unique<AddObject<map::PivotPtr, &map::Map::pivots>>(std::move(map), std::move(pivot), "Add Pivot");
}

std::unique_ptr<Command> removeObjects(ConstMapPtr map, const map::LightPtr& light, const map::PivotPtr& pivot) {
  return std::make_unique<RemoveObjects>(std::move(map), Writable::object(light), Writable::object(pivot));
}

std::unique_ptr<Command> setLightFields(const map::LightPtr& light, const map::Light& values, std::string label,
                                        int field) {
  return std::make_unique<SetFields<map::Light, map::kLightFields>>(Writable::object(light), values, map::kEdited,
                                                                    std::move(label), field, Change::objects);
}

std::unique_ptr<Command> moveObjects(const map::LightPtr& light, Position lightTo, const map::PivotPtr& pivot,
                                     Position pivotTo) {
  return std::make_unique<MoveObjects>(Writable::object(light), lightTo, Writable::object(pivot), pivotTo);
}

std::unique_ptr<Command> setPivotLink(const map::PivotPtr& pivot, std::string link) {
  return std::make_unique<SetText<PivotRef>>(Writable::object(pivot), &pivotLink, std::move(link), "Pivot Link",
                                                  0);
}

std::unique_ptr<Command> setRecordText(const map::RecordPtr& rec, RecordField field, std::string text) {
  const bool name = field == RecordField::name;
  return std::make_unique<SetText<RecordRef>>(Writable::object(rec), name ? &recordName : &recordValue,
                                                   std::move(text), name ? "Record Name" : "Record Value",
                                                   name ? 0 : 1);
}

std::unique_ptr<Command> newRecord(const map::PivotPtr& pivot, std::string name, std::string value) {
  return std::make_unique<NewRecord>(Writable::object(pivot), std::move(name), std::move(value));
}

std::unique_ptr<Command> deleteRecord(const map::PivotPtr& pivot, std::int32_t index) {
  return std::make_unique<DeleteRecord>(Writable::object(pivot), index);
}

std::unique_ptr<Command> addTileset(const Document& doc, std::string label, io::TilesetEntry entry) {
  std::vector<io::TilesetEntry> sets = Writable::tilesets(doc);
  map::MapPtr shown = entry.tileset;
  sets.push_back(std::move(entry));
  return std::make_unique<SetTilesets>(std::move(label), std::move(sets), std::move(shown));
}

std::unique_ptr<Command> deleteTileset(const Document& doc, int index) {
  std::vector<io::TilesetEntry> sets = Writable::tilesets(doc);
  if (index < 0 || index >= static_cast<int>(sets.size())) return nullptr;
  if (sets.size() == 1) return std::make_unique<SetTilesets>("Delete Set", std::vector<io::TilesetEntry>{},
                                                             Writable::currentTileset(doc));
  sets.erase(sets.begin() + index);
  const std::size_t next = index == 0 ? sets.size() - 1 : static_cast<std::size_t>(index - 1);
  map::MapPtr shown = sets[next].tileset;
  return std::make_unique<SetTilesets>("Delete Set", std::move(sets), std::move(shown));
}

std::unique_ptr<Command> replaceState(std::string label, DocumentState next) {
  return std::make_unique<ReplaceState>(std::move(label), std::move(next));
}

std::size_t mapBytes(const map::Map& m) {
  std::size_t bytes = sizeof(map::Map) + m.cells.capacity() * sizeof(map::TilePtr) +
                      m.tileTable.capacity() * sizeof(map::TilePtr) + objectBytes(m.lights) + objectBytes(m.pivots);
  for (const map::PivotPtr& p : m.pivots) bytes += p->records.capacity() * (sizeof(map::RecordPtr) + sizeof(map::record));
  return bytes;
}

}  // namespace vorlane::edit
