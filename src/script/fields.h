#pragma once
// Named fields of the module's userdata types, read and written through the model's field
// tables (map/fields.h) and the module's own for the map and render options. Internal to the
// module.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "map/fields.h"
#include "script/userdata.h"

namespace vorlane::script {

using map::Field;
using map::FieldKind;

template <typename T, std::size_t N>
const Field<T>* findField(const std::array<Field<T>, N>& fields, lua_State* state, int keyIndex) {
  if (lua_type(state, keyIndex) != LUA_TSTRING) return nullptr;
  const char* key = lua_tostring(state, keyIndex);
  for (const auto& field : fields)
    if (field.in(map::kScripted) && std::strcmp(field.name, key) == 0) return &field;
  return nullptr;
}

template <typename T>
void pushField(lua_State* state, const T& object, const Field<T>& field) {
  switch (field.kind) {
    case FieldKind::number:
      return lua_pushnumber(state, object.*field.number);
    case FieldKind::integer:
      return lua_pushinteger(state, object.*field.integer);
    case FieldKind::flag:
      return lua_pushboolean(state, object.*field.integer != 0);
    case FieldKind::text:
      return static_cast<void>(lua_pushlstring(state, (object.*field.text).data(), (object.*field.text).size()));
    case FieldKind::records:  // no script field
    case FieldKind::shown:
      return lua_pushnil(state);
  }
}

// The value at `valueIndex` into the field; a value of the wrong kind is an error naming it.
template <typename T>
void storeField(lua_State* state, T& object, const Field<T>& field, int valueIndex) {
  const char* expected = nullptr;
  switch (field.kind) {
    case FieldKind::number:
      if (!toFiniteFloat(state, valueIndex, object.*field.number)) expected = "finite number";
      break;
    case FieldKind::integer:
      if (!toInt32(state, valueIndex, object.*field.integer)) expected = "32-bit integer";
      break;
    case FieldKind::flag:
      if (!toFlag(state, valueIndex, object.*field.integer)) expected = "boolean";
      break;
    case FieldKind::text:
      if (!toText(state, valueIndex, object.*field.text)) expected = "string";
      break;
    case FieldKind::records:  // no script field
    case FieldKind::shown:
      break;
  }
  if (expected)
    luaL_error(state, "bad value for field '%s' of %s (%s expected, got %s)", field.name, TypeName<T>::value,
               expected, luaL_typename(state, valueIndex));
}

// __index's field half: (object, key) -> value or nil.
template <typename T, const auto& Fields>
int getFieldOf(lua_State* state) {
  const auto& object = checkShared<T>(state, 1);
  if (const auto* field = findField(Fields, state, 2))
    pushField(state, *object, *field);
  else
    lua_pushnil(state);
  return 1;
}

// __newindex: (object, key, value).
template <typename T, const auto& Fields>
int setFieldOf(lua_State* state) {
  const auto& object = checkShared<T>(state, 1);
  const auto* field = findField(Fields, state, 2);
  if (!field) luaL_error(state, "%s has no field '%s'", TypeName<T>::value, luaL_tolstring(state, 2, nullptr));
  if (field->in(map::kReadOnly)) luaL_error(state, "field '%s' of %s is read-only", field->name, TypeName<T>::value);
  storeField(state, *object, *field, 3);
  return 0;
}

// Fills fields from a table argument ({x = 1, ...}); any other key (but `otherKey`, which
// the caller reads) is an error, so a misspelt name does not pass unnoticed.
template <typename T, std::size_t N>
void storeFields(lua_State* state, T& object, const std::array<Field<T>, N>& fields, int tableIndex,
                 const char* otherKey = nullptr) {
  luaL_checktype(state, tableIndex, LUA_TTABLE);
  lua_pushnil(state);
  while (lua_next(state, tableIndex) != 0) {
    const auto* field = findField(fields, state, -2);
    if (!field && otherKey && lua_type(state, -2) == LUA_TSTRING && std::strcmp(lua_tostring(state, -2), otherKey) == 0) {
      lua_pop(state, 1);
      continue;
    }
    if (!field || field->in(map::kReadOnly))
      luaL_error(state, "%s has no field '%s'", TypeName<T>::value, luaL_tolstring(state, -2, nullptr));
    storeField(state, object, *field, lua_gettop(state));
    lua_pop(state, 1);
  }
}

}  // namespace vorlane::script
