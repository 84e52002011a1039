#pragma once
// The `vorlane` Lua module: maps, tiles, lights, pivots and records as userdata sharing the
// program's references, and the editor's file and render commands as functions. Every
// failure is a Lua error with the editor's message; nothing reaches outside a map or array.
#include <cstdint>

#include "map/map.h"

struct lua_State;

namespace vorlane::script {

inline constexpr const char* kModuleName = "vorlane";
// Cell storage that the maps a script holds may take together (16 bytes a cell), unless
// setCellBudget says otherwise. A map beyond it is refused as too large; maps the script no
// longer holds are collected first.
inline constexpr std::uint64_t kCellBudgetBytes = std::uint64_t{1} << 30;

// Leaves the module table on the stack (a lua_CFunction for luaL_requiref).
int openModule(lua_State* state);

void setCellBudget(lua_State* state, std::uint64_t bytes);

// Pushes the map (nil for none), sharing it.
void pushMap(lua_State* state, map::MapPtr map);
// The map at `index`, or none when the value there is not a map.
map::MapPtr toMap(lua_State* state, int index);

// `vorlane.map`: the document a script in the editor works on (nil under the tool).
void setDocumentMap(lua_State* state, map::MapPtr map);
map::MapPtr documentMap(lua_State* state);

}  // namespace vorlane::script
