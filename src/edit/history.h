#pragma once
// The undo history: a bounded list of done and undone commands with a clean mark.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

namespace vorlane::edit {

class Document;

// What a change touched, so that each view takes up only what it shows.
enum class Change : unsigned {
  cells = 1,         // cells of the map or of a tileset
  objects = 2,       // lights, pivots, records and their fields
  tiles = 4,         // a tile's own fields (flags, path), wherever it is shown
  map = 8,           // the map object itself was replaced
  tilesets = 16,     // the tileset slots or the one on show
  selection = 32,    // the active light, pivot or record
  file = 64,         // the file name or the saved state
};
class ChangeSet {
 public:
  constexpr ChangeSet() = default;
  constexpr ChangeSet(Change c) : bits_(static_cast<unsigned>(c)) {}  // NOLINT: a set of one
  constexpr ChangeSet operator|(ChangeSet o) const { return ChangeSet(bits_ | o.bits_); }
  constexpr bool has(Change c) const { return (bits_ & static_cast<unsigned>(c)) != 0; }
  constexpr bool any(ChangeSet o) const { return (bits_ & o.bits_) != 0; }
  constexpr bool empty() const { return bits_ == 0; }
  static constexpr ChangeSet all() { return ChangeSet(127); }

 private:
  constexpr explicit ChangeSet(unsigned bits) : bits_(bits) {}
  unsigned bits_ = 0;
};
constexpr ChangeSet operator|(Change a, Change b) { return ChangeSet(a) | ChangeSet(b); }

// One undoable change of a document. A command is recorded once done; undo and redo then
// alternate, always on the document state that the previous step left.
class Command {
 public:
  virtual ~Command() = default;
  // What the Edit menu names: "Undo " + label().
  virtual std::string label() const = 0;
  virtual void redo(Document& doc) = 0;
  virtual void undo(Document& doc) = 0;
  // What redo and undo touch, for the document's listeners.
  virtual ChangeSet changes() const = 0;
  // Bytes of state this command keeps alive (tiles count as references, replaced maps
  // as the objects they are); the history's memory bound adds these up.
  virtual std::size_t cost() const = 0;
  // Absorbs `next`, done right after this one, into one step; false keeps them apart.
  virtual bool merge(const Command& next) {
    (void)next;
    return false;
  }
};

struct HistoryLimits {
  std::size_t steps = 1000;
  std::size_t bytes = std::size_t{256} << 20;
};

class UndoStack {
 public:
  explicit UndoStack(HistoryLimits limits = {}) : limits_(limits) {}

  // Records a command that is already done; drops the redo steps, merges with the last
  // step where it can (never across the clean mark), then drops the oldest steps beyond
  // the limits, the new one too when it alone is beyond them.
  void add(std::unique_ptr<Command> command);
  bool canUndo() const { return index_ > 0; }
  bool canRedo() const { return index_ < steps_.size(); }
  // The command the next undo or redo runs; null when there is none.
  const Command* nextUndo() const { return canUndo() ? steps_[index_ - 1].get() : nullptr; }
  const Command* nextRedo() const { return canRedo() ? steps_[index_].get() : nullptr; }
  bool undo(Document& doc);
  bool redo(Document& doc);
  void clear();

  // The state at the mark is the saved one; a mark dropped with its step never comes back.
  void setClean() { clean_ = index_; }
  bool isClean() const { return clean_ == index_; }

  std::size_t size() const { return steps_.size(); }
  std::size_t bytes() const { return bytes_; }
  const HistoryLimits& limits() const { return limits_; }
  void setLimits(HistoryLimits limits);

 private:
  void trim();
  void dropOldest();

  HistoryLimits limits_;
  std::deque<std::unique_ptr<Command>> steps_;
  std::deque<std::size_t> costs_;  // as counted when added, so the sum stays exact
  std::size_t index_ = 0;          // steps before it are done
  std::optional<std::size_t> clean_ = 0;
  std::size_t bytes_ = 0;
};

}  // namespace vorlane::edit
