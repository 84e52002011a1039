#pragma once
// The module's userdata types and their registration. Internal to the module.
#include "map/map.h"
#include "map/objects.h"
#include "script/userdata.h"
#include "tiles/tile.h"

namespace vorlane::script {

// Arrays, not pointers to literals: a box's tag is compared by address, and only a variable
// has one address in every translation unit (sanitizer builds do not merge literals).
template <>
struct TypeName<map::Map> {
  static constexpr char value[] = "vorlane.Map";
};
template <>
struct TypeName<tiles::Tile> {
  static constexpr char value[] = "vorlane.Tile";
};
template <>
struct TypeName<map::Light> {
  static constexpr char value[] = "vorlane.Light";
};
template <>
struct TypeName<map::Pivot> {
  static constexpr char value[] = "vorlane.Pivot";
};
template <>
struct TypeName<map::record> {
  static constexpr char value[] = "vorlane.Record";
};

inline int collectBox(lua_State* state) {
  return collectAnyBox<map::Map, tiles::Tile, map::Light, map::Pivot, map::record>(state);
}

// Metatables of Tile, Light, Pivot and Record (objects.cpp) and Map (map_methods.cpp).
void registerObjectTypes(lua_State* state);
void registerMapType(lua_State* state);

// Light and pivot fields from a table, as addLight and addPivot take them.
std::shared_ptr<map::Light> lightFromTable(lua_State* state, int tableIndex);
std::shared_ptr<map::Pivot> pivotFromTable(lua_State* state, int tableIndex);

// A Lua array (1-based) of the objects, pushed.
template <typename T>
void pushArray(lua_State* state, const std::vector<std::shared_ptr<T>>& objects, std::size_t count) {
  lua_createtable(state, static_cast<int>(std::min(count, objects.size())), 0);
  lua_Integer n = 0;
  for (std::size_t i = 0; i < count && i < objects.size(); ++i) {
    if (!objects[i]) continue;
    pushShared(state, objects[i]);
    lua_rawseti(state, -2, ++n);
  }
}

}  // namespace vorlane::script
