#pragma once
// The small commands of the editor, made here and pushed to a Document. Each knows how to
// undo itself; text typed into one field of one object merges into one step.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "edit/document.h"
#include "edit/history.h"

namespace vorlane::edit {

// Several commands as one step, undone in reverse order.
class Group final : public Command {
 public:
  explicit Group(std::string label) : label_(std::move(label)) {}
  std::string label() const override { return label_; }
  void redo(Document& doc) override;
  void undo(Document& doc) override;
  ChangeSet changes() const override;
  std::size_t cost() const override;
  void add(std::unique_ptr<Command> command);
  bool empty() const { return parts_.empty(); }

 private:
  std::string label_;
  std::vector<std::unique_ptr<Command>> parts_;
};

// The commands name the document's parts by the read-only pointers it hands out; a map must
// be the document's own when the command runs.

// A tile's two flags, as the Tools window's boxes set them.
std::unique_ptr<Command> setTileFlags(const tiles::TilePtr& tile, std::int32_t castShadows, std::int32_t collider);
// A tile's path and flags together ("Tile", as a script leaves them).
std::unique_ptr<Command> setTileFields(const tiles::TilePtr& tile, std::string path, std::int32_t castShadows,
                                       std::int32_t collider);

// Appends a new object to the map's lights or pivots ("Add Light", "Add Pivot").
std::unique_ptr<Command> addLight(ConstMapPtr map, map::LightPtr light);
std::unique_ptr<Command> addPivot(ConstMapPtr map, map::PivotPtr pivot);
// Removes a light and/or a pivot ("Delete"); undo puts them back at their places in the
// lists and makes them active again if they were.
std::unique_ptr<Command> removeObjects(ConstMapPtr map, const map::LightPtr& light, const map::PivotPtr& pivot);

// The fields the Lights window edits (map/fields.h: kEdited) take the values they have in
// `values`. `field` tells typing runs apart: changes with the same light and field merge.
std::unique_ptr<Command> setLightFields(const map::LightPtr& light, const map::Light& values, std::string label,
                                        int field);
// A light's and/or a pivot's position, each from where it is to `to` ("Move Light", "Move
// Pivot", "Move" for both). A move of the same objects right after merges into it, so a
// drag is one command however many moves it takes.
struct Position {
  float x = 0, y = 0;
  bool operator==(const Position&) const = default;
};
std::unique_ptr<Command> moveObjects(const map::LightPtr& light, Position lightTo, const map::PivotPtr& pivot,
                                     Position pivotTo);

std::unique_ptr<Command> setPivotLink(const map::PivotPtr& pivot, std::string link);

enum class RecordField { name, value };
std::unique_ptr<Command> setRecordText(const map::RecordPtr& rec, RecordField field, std::string text);
// "New Record": appends the record and makes it active. "Delete Record": removes slot
// `index` as the records list's Delete does, clearing the active record if it was that one.
std::unique_ptr<Command> newRecord(const map::PivotPtr& pivot, std::string name, std::string value);
std::unique_ptr<Command> deleteRecord(const map::PivotPtr& pivot, std::int32_t index);

// A new tileset (filled before the document holds it) as the last slot, on show ("New Set").
std::unique_ptr<Command> addTileset(const Document& doc, std::string label, io::TilesetEntry entry);
// "Delete Set" of slot `index`: the slot before goes on show (the last for the first); the
// only slot goes leaving its tileset on show. Null for a slot the document has not.
std::unique_ptr<Command> deleteTileset(const Document& doc, int index);

// The whole state swapped (New Map, Render, Load).
std::unique_ptr<Command> replaceState(std::string label, DocumentState next);

// Bytes a map holds beyond shared tiles: its grid, its table and its objects.
std::size_t mapBytes(const map::Map& map);

}  // namespace vorlane::edit
