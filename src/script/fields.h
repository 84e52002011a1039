#pragma once
// Named fields of the module's userdata types, read and written through one table per type.
// Internal to the module.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "script/userdata.h"

namespace vorlane::script {

enum class As { number, integer, flag, text };

template <typename T>
struct Field {
  const char* name;
  As as;
  bool readOnly = false;
  float T::*number = nullptr;
  std::int32_t T::*integer = nullptr;
  std::string T::*text = nullptr;
};

template <typename T>
constexpr Field<T> numberField(const char* name, float T::*member) {
  return {name, As::number, false, member, nullptr, nullptr};
}
template <typename T>
constexpr Field<T> integerField(const char* name, std::int32_t T::*member, bool readOnly = false) {
  return {name, As::integer, readOnly, nullptr, member, nullptr};
}
template <typename T>
constexpr Field<T> flagField(const char* name, std::int32_t T::*member) {
  return {name, As::flag, false, nullptr, member, nullptr};
}
template <typename T>
constexpr Field<T> textField(const char* name, std::string T::*member) {
  return {name, As::text, false, nullptr, nullptr, member};
}

template <typename T, std::size_t N>
const Field<T>* findField(const std::array<Field<T>, N>& fields, lua_State* state, int keyIndex) {
  if (lua_type(state, keyIndex) != LUA_TSTRING) return nullptr;
  const char* key = lua_tostring(state, keyIndex);
  for (const auto& field : fields)
    if (std::strcmp(field.name, key) == 0) return &field;
  return nullptr;
}

template <typename T>
void pushField(lua_State* state, const T& object, const Field<T>& field) {
  switch (field.as) {
    case As::number:
      return lua_pushnumber(state, object.*field.number);
    case As::integer:
      return lua_pushinteger(state, object.*field.integer);
    case As::flag:
      return lua_pushboolean(state, object.*field.integer != 0);
    case As::text:
      return static_cast<void>(lua_pushlstring(state, (object.*field.text).data(), (object.*field.text).size()));
  }
}

// The value at `valueIndex` into the field; a value of the wrong kind is an error naming it.
template <typename T>
void storeField(lua_State* state, T& object, const Field<T>& field, int valueIndex) {
  const char* expected = nullptr;
  switch (field.as) {
    case As::number:
      if (!toFiniteFloat(state, valueIndex, object.*field.number)) expected = "finite number";
      break;
    case As::integer:
      if (!toInt32(state, valueIndex, object.*field.integer)) expected = "32-bit integer";
      break;
    case As::flag:
      if (!toFlag(state, valueIndex, object.*field.integer)) expected = "boolean";
      break;
    case As::text:
      if (!toText(state, valueIndex, object.*field.text)) expected = "string";
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
  if (field->readOnly) luaL_error(state, "field '%s' of %s is read-only", field->name, TypeName<T>::value);
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
    if (!field || field->readOnly)
      luaL_error(state, "%s has no field '%s'", TypeName<T>::value, luaL_tolstring(state, -2, nullptr));
    storeField(state, object, *field, lua_gettop(state));
    lua_pop(state, 1);
  }
}

}  // namespace vorlane::script
