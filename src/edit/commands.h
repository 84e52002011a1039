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

// A tile's two flags, as the Tools window's boxes set them.
std::unique_ptr<Command> setTileFlags(map::TilePtr tile, std::int32_t castShadows, std::int32_t collider);
// A tile's path and flags together ("Tile", as a script leaves them).
std::unique_ptr<Command> setTileFields(map::TilePtr tile, std::string path, std::int32_t castShadows,
                                       std::int32_t collider);

// Appends to the map's lights or pivots ("Add Light", "Add Pivot").
std::unique_ptr<Command> addLight(map::MapPtr map, map::LightPtr light);
std::unique_ptr<Command> addPivot(map::MapPtr map, map::PivotPtr pivot);
// Removes a light and/or a pivot ("Delete"); undo puts them back at their places in the
// lists and makes them active again if they were.
std::unique_ptr<Command> removeObjects(map::MapPtr map, map::LightPtr light, map::PivotPtr pivot);

// The fields the Lights window edits (map/fields.h: kEdited) take the values they have in
// `values`. `field` tells typing runs apart: changes with the same light and field merge.
std::unique_ptr<Command> setLightFields(map::LightPtr light, const map::Light& values, std::string label, int field);
// A light's and/or a pivot's position, each from where it is to `to` ("Move Light", "Move
// Pivot", "Move" for both). A move of the same objects right after merges into it, so a
// drag is one command however many moves it takes.
struct Position {
  float x = 0, y = 0;
  bool operator==(const Position&) const = default;
};
std::unique_ptr<Command> moveObjects(map::LightPtr light, Position lightTo, map::PivotPtr pivot, Position pivotTo);

std::unique_ptr<Command> setPivotLink(map::PivotPtr pivot, std::string link);

enum class RecordField { name, value };
std::unique_ptr<Command> setRecordText(map::RecordPtr rec, RecordField field, std::string text);
// "New Record": appends the record and makes it active. "Delete Record": removes slot
// `index` as the records list's Delete does, clearing the active record if it was that one.
std::unique_ptr<Command> newRecord(map::PivotPtr pivot, std::string name, std::string value);
std::unique_ptr<Command> deleteRecord(map::PivotPtr pivot, std::int32_t index);

// The tileset slots and the one on show ("New Set", "Delete Set").
std::unique_ptr<Command> setTilesets(std::string label, std::vector<io::TilesetEntry> tilesets,
                                     map::MapPtr current);

// The whole state swapped (New Map, Render, Load).
std::unique_ptr<Command> replaceState(std::string label, DocumentState next);

// Bytes a map holds beyond shared tiles: its grid, its table and its objects.
std::size_t mapBytes(const map::Map& map);

}  // namespace vorlane::edit
