#pragma once
// The document being edited: the current map, the tileset slots, the project name, the
// active objects, and the undo history with its revision counter and clean mark. It hands
// out its map, tilesets and objects read-only: every change goes through a command pushed
// here (or a Transaction), which alone gets write access.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "edit/history.h"
#include "io/project.h"
#include "map/map.h"

namespace vorlane::edit {

inline constexpr int kMaxTilesets = io::kMaxTilesets;

// What the document hands out: its parts, read-only.
using ConstMapPtr = std::shared_ptr<const map::Map>;

// The objects the Lights and Pivots windows edit. Never an object outside the current map
// (or a record outside the active pivot's records in use).
struct Active {
  map::LightPtr light;
  map::PivotPtr pivot;
  map::RecordPtr record;
  bool operator==(const Active&) const = default;
};

// One tileset slot as the document shows it.
struct TilesetSlot {
  std::string label;
  ConstMapPtr tileset;
};

// A map of its own in place of the document's (New Map, Render, Import Map, a script's
// result), and what else goes with it; nothing is active afterwards.
struct Replacement {
  map::MapPtr map;  // none keeps the map
  // The new slots, the first on show; none keeps the slots and the one on show.
  std::optional<std::vector<io::TilesetEntry>> tilesets;
  // The file Save writes from then on; none keeps it.
  std::optional<std::string> file;
};

// Everything that replacing the map (New Map, Render, Load, imports) swaps as a whole.
struct DocumentState {
  map::MapPtr map;
  std::vector<io::TilesetEntry> tilesets;
  map::MapPtr currentTileset;
  Active active;
  // The file Save writes: the one last loaded or saved; "" for none ("Untitled"). Undoing a
  // Load brings back the file of the document before it, so Save never writes one
  // document into the other's file.
  std::string file;
};

class Transaction;
class CellRecorder;
class Writable;

class Document {
 public:
  // The start-up document: a map without cells, no tilesets, nothing active, clean.
  Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  ConstMapPtr map() const { return map_; }
  std::vector<TilesetSlot> tilesets() const;
  int tilesetCount() const { return static_cast<int>(tilesets_.size()); }
  // The tileset on show; kept apart from the slots, so deleting the last one leaves it there.
  ConstMapPtr currentTileset() const { return currentTileset_; }
  // Its slot, or -1 when it is in none.
  int currentTilesetIndex() const;
  // Choosing a tab is no edit: no history, no revision.
  void chooseTileset(int index);

  const Active& active() const { return active_; }
  // Selection is no edit either. `select` is the user's choice; setActive points elsewhere
  // for a command's undo. Both are the same move: the views show the active objects as selected.
  void setActive(Active active);
  void select(Active active);
  // The file Save writes ("" for none). Naming the file is no edit.
  const std::string& projectName() const { return file_; }
  void setProjectName(std::string name);
  // Writes map and tilesets as a project file, the active light and pivot flagged as shown
  // selected; names no file and marks nothing saved.
  base::Status saveTo(const std::string& file) const;

  // Called after every change with what it touched: the views refresh from here rather than
  // comparing what they show after each event. A listener is called while the subscription
  // lives (and the document).
  using Listener = std::function<void(ChangeSet)>;
  class Subscription {
   public:
    Subscription() = default;
    Subscription(Subscription&&) noexcept = default;
    Subscription& operator=(Subscription&&) noexcept = default;
    ~Subscription();

   private:
    friend class Document;
    struct Listeners;
    Subscription(std::weak_ptr<Listeners> to, std::uint64_t id) : to_(std::move(to)), id_(id) {}
    std::weak_ptr<Listeners> to_;
    std::uint64_t id_ = 0;
  };
  [[nodiscard]] Subscription listen(Listener listener);
  // Tells the listeners (commands announce their own changes as they run).
  void announce(ChangeSet changes);

  // Does the command, then records it (inside an open transaction: as part of it).
  void push(std::unique_ptr<Command> command);
  // Records a command whose change is already made (a stroke painted as it went).
  void record(std::unique_ptr<Command> command);
  // False when there is nothing to undo or redo, or a transaction is open.
  bool undo();
  bool redo();
  const UndoStack& history() const { return history_; }
  void setHistoryLimits(HistoryLimits limits) { history_.setLimits(limits); }
  // "Undo Fill" / "Redo Fill", or "Undo" / "Redo" alone when there is none.
  std::string undoText() const;
  std::string redoText() const;

  // Raised by every change, undo and redo; views compare it to redraw only what changed.
  std::uint64_t revision() const { return revision_; }
  // Changed since the last Save or Load.
  bool modified() const { return !history_.isClean(); }
  void markClean();

  // A map of its own replaces the current one as one step labelled `label` ("New Map",
  // "Render"): tilesets stay, nothing is active; undo brings back map and active objects.
  void replaceMap(std::string label, map::MapPtr map);
  // The same with the slots and the file too, as `next` says.
  void replace(std::string label, Replacement next);
  // A parsed project file as one step "Load", and the saved state of `file`: its map becomes
  // the document's, given the current one's selected cell and, in front of the
  // file's, its objects; its tilesets replace the slots (when it has none, the one on show
  // stays).
  void load(io::Project project, std::string file);
  // Starts over on `start` (its slots, the first on show; its file): no history, nothing
  // active, clean. Tileset slots left out stay as they are.
  void reset(Replacement start);

 private:
  friend class Transaction;
  friend class CellRecorder;
  friend class Writable;
  DocumentState state() const;
  void restoreState(const DocumentState& s);
  void setTilesets(std::vector<io::TilesetEntry> tilesets, map::MapPtr current);
  // Clears active objects that are no longer in the map (or pivot): the selection as a
  // change when it did.
  ChangeSet dropStaleActive();
  // The document's own map or tileset that `part` names; throws std::invalid_argument for
  // one it does not hold.
  map::MapPtr own(const ConstMapPtr& part) const;
  void add(std::unique_ptr<Command> command);
  // Undo (or redo, `forward`) of the next step, announced.
  bool walk(bool forward);
  // An open recorder's cells become a step before anything else is recorded or undone.
  void flushRecorder();
  void openRecorder(CellRecorder* recorder) { recorder_ = recorder; }
  void closeRecorder(CellRecorder* recorder) {
    if (recorder_ == recorder) recorder_ = nullptr;
  }
  void recordFrom(CellRecorder* recorder, std::unique_ptr<Command> command);
  // A recorder's cell written, or taken back, ahead of its step.
  void touch() { ++revision_; }

  map::MapPtr map_;
  std::vector<io::TilesetEntry> tilesets_;
  map::MapPtr currentTileset_;
  Active active_;
  std::string file_;
  std::shared_ptr<Subscription::Listeners> listeners_;
  UndoStack history_;
  std::uint64_t revision_ = 0;
  Transaction* open_ = nullptr;
  CellRecorder* recorder_ = nullptr;
};

// Groups every command pushed while it is open into one step:
//   edit::Transaction tx(doc, "Run Script"); doc.push(...); ...; tx.commit();
// Destroyed uncommitted it rolls its commands back. Transactions nest; an inner one joins
// the outer one's step.
class Transaction {
 public:
  Transaction(Document& doc, std::string label);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // Ends the group; it becomes one step when it changed anything.
  void commit();
  // Undoes what the group did so far and ends it.
  void rollback();
  bool empty() const;

 private:
  friend class Document;
  void add(std::unique_ptr<Command> command);
  void close();

  Document& doc_;
  Transaction* outer_;
  std::unique_ptr<class Group> group_;
};

}  // namespace vorlane::edit
