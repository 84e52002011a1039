#include "script/userdata.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "script/module.h"

namespace vorlane::script {

namespace {

constexpr const char* kBudgetKey = "vorlane.cellBudget";

struct Budget {
  std::uint64_t used = 0;
  std::uint64_t limit = kCellBudgetBytes;
};

Budget& budget(lua_State* state) {
  if (lua_getfield(state, LUA_REGISTRYINDEX, kBudgetKey) != LUA_TUSERDATA) {
    lua_pop(state, 1);
    openCellBudget(state);
    lua_getfield(state, LUA_REGISTRYINDEX, kBudgetKey);
  }
  auto* b = static_cast<Budget*>(lua_touserdata(state, -1));
  lua_pop(state, 1);  // the registry keeps it
  return *b;
}

}  // namespace

// Made when the module opens, so no finalizer has to allocate it.
void openCellBudget(lua_State* state) {
  new (lua_newuserdatauv(state, sizeof(Budget), 0)) Budget{};
  lua_setfield(state, LUA_REGISTRYINDEX, kBudgetKey);
}

void setCellBudget(lua_State* state, std::uint64_t bytes) { budget(state).limit = bytes; }

bool toInt32(lua_State* state, int index, std::int32_t& out) {
  int isInteger = 0;
  const lua_Integer value = lua_tointegerx(state, index, &isInteger);
  if (!isInteger || value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max())
    return false;
  out = static_cast<std::int32_t>(value);
  return true;
}

bool toFiniteFloat(lua_State* state, int index, float& out) {
  int isNumber = 0;
  const lua_Number value = lua_tonumberx(state, index, &isNumber);
  if (!isNumber || !std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max()) return false;
  out = static_cast<float>(value);
  return true;
}

bool toFlag(lua_State* state, int index, std::int32_t& out) {
  if (lua_type(state, index) == LUA_TNUMBER)
    out = lua_tonumber(state, index) != 0 ? 1 : 0;
  else if (lua_type(state, index) == LUA_TBOOLEAN)
    out = lua_toboolean(state, index) ? 1 : 0;
  else
    return false;
  return true;
}

bool toText(lua_State* state, int index, std::string& out) {
  const int type = lua_type(state, index);
  if (type != LUA_TSTRING && type != LUA_TNUMBER) return false;
  std::size_t size = 0;
  const char* text = lua_tolstring(state, index, &size);
  out.assign(text, size);
  return true;
}

std::int32_t checkInt32(lua_State* state, int index) {
  std::int32_t value = 0;
  if (!toInt32(state, index, value)) {
    luaL_checkinteger(state, index);  // names the type when it is not an integer at all
    luaL_argerror(state, index, "out of the 32-bit integer range");
  }
  return value;
}

float checkFloat(lua_State* state, int index) {
  float value = 0;
  if (!toFiniteFloat(state, index, value)) {
    luaL_checknumber(state, index);
    luaL_argerror(state, index, "not a finite number");
  }
  return value;
}

std::int32_t checkFlag(lua_State* state, int index) {
  std::int32_t value = 0;
  if (!toFlag(state, index, value)) luaL_typeerror(state, index, "boolean");
  return value;
}

std::string checkText(lua_State* state, int index) {
  std::size_t size = 0;
  const char* text = luaL_checklstring(state, index, &size);
  return std::string(text, size);
}

void raise(lua_State* state, const std::string& message) {
  luaL_where(state, 1);
  lua_pushlstring(state, message.data(), message.size());
  lua_concat(state, 2);
  lua_error(state);
  std::abort();  // lua_error never returns
}

void registerType(lua_State* state, const char* name, const luaL_Reg* methods, FieldFn getField, FieldFn setField,
                  lua_CFunction collect, lua_CFunction equal, lua_CFunction toString) {
  luaL_newmetatable(state, name);
  lua_newtable(state);
  luaL_setfuncs(state, methods, 0);
  lua_pushcfunction(state, getField);
  lua_pushcclosure(
      state,
      [](lua_State* s) -> int {
        lua_pushvalue(s, 2);
        if (lua_rawget(s, lua_upvalueindex(1)) != LUA_TNIL) return 1;
        lua_pop(s, 1);
        return lua_tocfunction(s, lua_upvalueindex(2))(s);
      },
      2);
  lua_setfield(state, -2, "__index");
  lua_pushcfunction(state, setField);
  lua_setfield(state, -2, "__newindex");
  lua_pushcfunction(state, collect);
  lua_setfield(state, -2, "__gc");
  lua_pushcfunction(state, equal);
  lua_setfield(state, -2, "__eq");
  lua_pushcfunction(state, toString);
  lua_setfield(state, -2, "__tostring");
  lua_pushboolean(state, 0);
  lua_setfield(state, -2, "__metatable");
  lua_pop(state, 1);
}

void reserveCells(lua_State* state, std::uint64_t bytes, const char* message) {
  const Budget& b = budget(state);
  if (bytes > b.limit) raise(state, message);
  if (b.used <= b.limit - bytes) return;
  lua_gc(state, LUA_GCCOLLECT);
  if (b.used > b.limit - bytes) raise(state, message);
}

void chargeCells(lua_State* state, std::int64_t bytes) {
  auto& used = budget(state).used;
  used = bytes < 0 && static_cast<std::uint64_t>(-bytes) > used ? 0 : used + static_cast<std::uint64_t>(bytes);
}

}  // namespace vorlane::script
