#pragma once
// Shared objects inside Lua userdata, and the argument checks every binding uses. Internal
// to the module.
#include <cstdint>
#include <lua.hpp>
#include <memory>
#include <new>
#include <string>

namespace vorlane::script {

// One reference held by a userdata; `charge` is what it counts against the cell budget.
// The tag is checked on every use because the debug library can swap metatables and call
// __gc by hand: a box of another type or a released one must never be taken for this one.
template <typename T>
struct Box {
  const char* tag;
  std::shared_ptr<T> object;
  std::uint64_t charge = 0;
};

// The metatable name of each type (and its __name in error messages).
template <typename T>
struct TypeName;

template <typename T>
void pushShared(lua_State* state, std::shared_ptr<T> object, std::uint64_t charge = 0) {
  if (!object) return lua_pushnil(state);
  void* memory = lua_newuserdatauv(state, sizeof(Box<T>), 0);
  new (memory) Box<T>{TypeName<T>::value, std::move(object), charge};
  luaL_setmetatable(state, TypeName<T>::value);
}

// Objects come read-only out of the maps a script holds, and the script may write them: every
// map it holds is its own (the editor runs it on copies of the document's map and tiles).
template <typename T>
void pushShared(lua_State* state, std::shared_ptr<const T> object, std::uint64_t charge = 0) {
  pushShared(state, std::const_pointer_cast<T>(std::move(object)), charge);
}

// The live box of this type at `index`, or null.
template <typename T>
Box<T>* testBox(lua_State* state, int index) {
  auto* box = static_cast<Box<T>*>(luaL_testudata(state, index, TypeName<T>::value));
  return box && lua_rawlen(state, index) == sizeof(Box<T>) && box->tag == TypeName<T>::value && box->object ? box
                                                                                                            : nullptr;
}

template <typename T>
const std::shared_ptr<T>& checkShared(lua_State* state, int index) {
  auto* box = testBox<T>(state, index);
  if (!box) luaL_typeerror(state, index, TypeName<T>::value);
  return box->object;
}

// nil (or nothing) gives none.
template <typename T>
std::shared_ptr<T> optShared(lua_State* state, int index) {
  if (lua_isnoneornil(state, index)) return nullptr;
  return checkShared<T>(state, index);
}

// Value conversions; false (leaving `out` alone) when the value does not fit.
bool toInt32(lua_State* state, int index, std::int32_t& out);
bool toFiniteFloat(lua_State* state, int index, float& out);
bool toFlag(lua_State* state, int index, std::int32_t& out);  // a boolean, or a number: not 0
bool toText(lua_State* state, int index, std::string& out);

// An integer argument that fits 32 bits.
std::int32_t checkInt32(lua_State* state, int index);
// A finite number argument, as a float.
float checkFloat(lua_State* state, int index);
// A boolean (or a number: not 0) argument as a 0/1 flag.
std::int32_t checkFlag(lua_State* state, int index);
std::string checkText(lua_State* state, int index);

// Raises the error with the position of the calling script line.
[[noreturn]] void raise(lua_State* state, const std::string& message);

// Registers a metatable for userdata: __index looks up `methods`, then `getField`;
// __newindex calls `setField`; __gc drops the reference and its charge; __eq compares objects.
using FieldFn = int (*)(lua_State* state);
void registerType(lua_State* state, const char* name, const luaL_Reg* methods, FieldFn getField, FieldFn setField,
                  lua_CFunction collect, lua_CFunction equal, lua_CFunction toString);


template <typename T>
int equalBoxes(lua_State* state) {
  auto* a = testBox<T>(state, 1);
  auto* b = testBox<T>(state, 2);
  lua_pushboolean(state, a && b && a->object == b->object);
  return 1;
}

// Runs a binding, turning the C++ exceptions the model throws into Lua errors (Lua's own
// errors pass through: they are not std::exceptions).
template <lua_CFunction F>
int guarded(lua_State* state) {
  std::string message;
  try {
    return F(state);
  } catch (const std::bad_alloc&) {
    message = "Not enough memory.";
  } catch (const std::length_error&) {
    message = "Not enough memory.";
  } catch (const std::exception& e) {
    message = e.what();
  }
  raise(state, message);
}

// Cell budget: one counter per state, made by openCellBudget; reserveCells refuses (after one full collection) when `bytes` more would exceed it.
void openCellBudget(lua_State* state);
void reserveCells(lua_State* state, std::uint64_t bytes, const char* message);
void chargeCells(lua_State* state, std::int64_t bytes);

// Drops the reference if a live box of type T is at `index`, leaving a valid empty box so
// that a second call is harmless. False when no box of T is there.
template <typename T>
bool dropBox(lua_State* state, int index) {
  // Read only as far as a box of T reaches; a foreign userdata's first word is never a tag.
  void* memory = lua_touserdata(state, index);
  if (!memory || lua_rawlen(state, index) != sizeof(Box<T>)) return false;
  auto* box = static_cast<Box<T>*>(memory);
  if (box->tag != TypeName<T>::value) return false;
  box->object.reset();
  if (box->charge) chargeCells(state, -static_cast<std::int64_t>(box->charge));
  box->charge = 0;
  return true;
}

// __gc of every type: the debug library can give a box another type's metatable, and its
// reference must still be dropped.
template <typename... Ts>
int collectAnyBox(lua_State* state) {
  (dropBox<Ts>(state, 1) || ...);
  return 0;
}

}  // namespace vorlane::script
