// Tiles, lights, pivots and records as userdata whose fields read and write the shared object.
#include <algorithm>
#include <array>

#include "script/fields.h"
#include "script/types.h"

namespace vorlane::script {

namespace {

using map::Light;
using map::Pivot;
using map::record;
using tiles::Tile;

using map::kLightFields;
using map::kPivotFields;
using map::kRecordFields;
using map::kTileFields;

int tileToString(lua_State* state) {
  lua_pushfstring(state, "vorlane.Tile: %s", checkShared<Tile>(state, 1)->path.c_str());
  return 1;
}

int lightToString(lua_State* state) {
  const auto& light = checkShared<Light>(state, 1);
  lua_pushfstring(state, "vorlane.Light: %f, %f", static_cast<double>(light->x), static_cast<double>(light->y));
  return 1;
}

int pivotToString(lua_State* state) {
  const auto& pivot = checkShared<Pivot>(state, 1);
  lua_pushfstring(state, "vorlane.Pivot: %f, %f", static_cast<double>(pivot->x), static_cast<double>(pivot->y));
  return 1;
}

int recordToString(lua_State* state) {
  const auto& r = checkShared<record>(state, 1);
  lua_pushfstring(state, "vorlane.Record: %s = %s", r->name.c_str(), r->value.c_str());
  return 1;
}

// p:addRecord(name, value) -> the record
int addRecord(lua_State* state) {
  const auto& pivot = checkShared<Pivot>(state, 1);
  std::string name = checkText(state, 2);
  std::string value = checkText(state, 3);
  if (!pivot->addRecord(name, value)) raise(state, map::kRecordsFull);
  pushShared(state, pivot->records[static_cast<std::size_t>(pivot->recordCount - 1)]);
  return 1;
}

// p:records() -> the records in use, in slot order
int records(lua_State* state) {
  const auto& pivot = checkShared<Pivot>(state, 1);
  pushArray(state, pivot->records, static_cast<std::size_t>(std::max(pivot->recordCount, 0)));
  return 1;
}

constexpr luaL_Reg kNoMethods[] = {{nullptr, nullptr}};
constexpr luaL_Reg kPivotMethods[] = {{"addRecord", guarded<addRecord>}, {"records", guarded<records>}, {nullptr, nullptr}};

template <typename T, const auto& Fields>
void registerWithFields(lua_State* state, const luaL_Reg* methods, lua_CFunction toString) {
  registerType(state, TypeName<T>::value, methods, getFieldOf<T, Fields>, setFieldOf<T, Fields>, collectBox,
               equalBoxes<T>, toString);
}

}  // namespace

void registerObjectTypes(lua_State* state) {
  registerWithFields<Tile, kTileFields>(state, kNoMethods, tileToString);
  registerWithFields<Light, kLightFields>(state, kNoMethods, lightToString);
  registerWithFields<Pivot, kPivotFields>(state, kPivotMethods, pivotToString);
  registerWithFields<record, kRecordFields>(state, kNoMethods, recordToString);
}

std::shared_ptr<map::Light> lightFromTable(lua_State* state, int tableIndex) {
  // A new light is white with range 700, as "Add Light here" makes it.
  auto light = Light::createLight(0, 0, 0, 255, 255, 255);
  storeFields(state, *light, kLightFields, tableIndex);
  return light;
}

std::shared_ptr<map::Pivot> pivotFromTable(lua_State* state, int tableIndex) {
  auto pivot = Pivot::createPivot(0, 0, 0);
  storeFields(state, *pivot, kPivotFields, tableIndex);
  return pivot;
}

}  // namespace vorlane::script
