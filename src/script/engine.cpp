#include "script/engine.h"

#include <algorithm>
#include <cstdlib>
#include <lua.hpp>
#include <string>

#include "base/console.h"
#include "platform/files.h"
#include "script/module.h"

namespace vorlane::script {

namespace {

ScriptEngine*& engineOf(lua_State* state) { return *static_cast<ScriptEngine**>(lua_getextraspace(state)); }

// Keeps the error's text; a non-string error says what it was, as the Lua interpreter does.
int messageHandler(lua_State* state) {
  if (lua_type(state, 1) == LUA_TSTRING) return 1;
  if (luaL_callmeta(state, 1, "__tostring") && lua_type(state, -1) == LUA_TSTRING) return 1;
  lua_pushfstring(state, "(error object is a %s value)", luaL_typename(state, 1));
  return 1;
}

// Malformed precompiled chunks can crash the interpreter, so scripts load only source text.
constexpr const char* kTextOnlyLoaders = R"(
local load, loadfile = load, loadfile
_G.load = function(chunk, name, mode, ...) return load(chunk, name, "t", ...) end
_G.loadfile = function(file, mode, ...) return loadfile(file, "t", ...) end
_G.dofile = function(file) return assert(loadfile(file, "t"))() end
)";

// The standard libraries, the module, and upvalue 1 as `print`.
int openAll(lua_State* state) {
  luaL_openlibs(state);
  luaL_requiref(state, kModuleName, openModule, 1);
  lua_pop(state, 1);
  if (luaL_dostring(state, kTextOnlyLoaders) != LUA_OK) lua_error(state);
  lua_pushvalue(state, lua_upvalueindex(1));
  lua_setglobal(state, "print");
  return 0;
}

}  // namespace

ScriptEngine::ScriptEngine() = default;

ScriptEngine::~ScriptEngine() { close(); }

void* ScriptEngine::allocate(void* self, void* block, std::size_t oldSize, std::size_t newSize) {
  auto* engine = static_cast<ScriptEngine*>(self);
  if (!block) oldSize = 0;  // then oldSize names the kind of object, not a size
  if (newSize == 0) {
    std::free(block);
    engine->used_ -= oldSize;
    return nullptr;
  }
  if (newSize > oldSize && newSize - oldSize > engine->memoryLimit_ - std::min(engine->used_, engine->memoryLimit_))
    return nullptr;
  void* grown = std::realloc(block, newSize);
  if (grown) engine->used_ = engine->used_ - oldSize + newSize;
  return grown;
}

bool ScriptEngine::start() {
  close();
  used_ = 0;
  state_ = lua_newstate(allocate, this);
  if (!state_) return false;
  engineOf(state_) = this;
  lua_pushcfunction(state_, print);
  lua_pushcclosure(state_, openAll, 1);
  if (lua_pcall(state_, 0, 0, 0) != LUA_OK) {
    close();
    return false;
  }
  return true;
}

void ScriptEngine::close() {
  if (state_) lua_close(state_);
  state_ = nullptr;
  pushed_ = 0;
}

void ScriptEngine::pushNumber(double value) {
  if (!state_) return base::consoleLine(kNotStarted);
  if (!lua_checkstack(state_, 1)) return;
  lua_pushnumber(state_, value);
  ++pushed_;
}

void ScriptEngine::pushString(std::string_view value) {
  if (!state_) return base::consoleLine(kNotStarted);
  if (!lua_checkstack(state_, 1)) return;
  lua_pushlstring(state_, value.data(), value.size());
  ++pushed_;
}

base::Status ScriptEngine::run(std::string_view text, const std::string& chunkName) {
  if (!state_) {
    base::consoleLine(kNotStarted);
    return base::Error{kNotStarted};
  }
  const int arguments = pushed_;
  pushed_ = 0;
  if (text.empty()) {
    lua_settop(state_, 0);
    base::consoleLine(kNoScriptText);
    return base::Error{kNoScriptText};
  }
  lua_pushcfunction(state_, messageHandler);
  lua_insert(state_, 1);
  int status = luaL_loadbufferx(state_, text.data(), text.size(), chunkName.c_str(), "t");
  if (status == LUA_OK) {
    lua_insert(state_, 2);
    stopping_ = false;
    if (interrupt_) lua_sethook(state_, hook, LUA_MASKCOUNT, kHookInstructions);
    status = lua_pcall(state_, arguments, 0, 1);
    lua_sethook(state_, nullptr, 0, 0);
  }
  std::string message;
  if (status != LUA_OK) {
    const char* error = lua_tostring(state_, -1);
    message = error ? error : "(error object is not a string)";
  }
  lua_settop(state_, 0);
  if (status != LUA_OK) return base::Error{message};
  return base::success();
}

base::Status ScriptEngine::runFile(const std::string& path) {
  auto bytes = platform::readWholeFile(path, kMaxScriptBytes);
  if (!bytes) return base::Error{path + ": " + bytes.error()};
  std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  // Keep the skipped line's end, so line numbers stay those of the file.
  if (text.starts_with('#')) text.remove_prefix(std::min(text.find('\n'), text.size()));
  if (text.empty() && !bytes->empty()) text = "\n";
  return run(text, "@" + path);
}

void ScriptEngine::setArgs(std::span<const std::string> argv, std::size_t scriptIndex) {
  if (!state_) return base::consoleLine(kNotStarted);
  lua_createtable(state_, static_cast<int>(argv.size() - scriptIndex), static_cast<int>(scriptIndex) + 1);
  for (std::size_t i = 0; i < argv.size(); ++i) {
    lua_pushlstring(state_, argv[i].data(), argv[i].size());
    lua_rawseti(state_, -2, static_cast<lua_Integer>(i) - static_cast<lua_Integer>(scriptIndex));
  }
  lua_setglobal(state_, "arg");
}

void ScriptEngine::hook(lua_State* state, lua_Debug*) {
  ScriptEngine* self = engineOf(state);
  if (!self->stopping_ && self->interrupt_ && self->interrupt_()) {
    self->stopping_ = true;
    // From now on every instruction fails, so a pcall in the script cannot keep it going.
    lua_sethook(state, hook, LUA_MASKCOUNT, 1);
  }
  if (self->stopping_) {
    luaL_where(state, 0);  // in a hook, level 0 is the script's running function
    lua_pushstring(state, kScriptStopped);
    lua_concat(state, 2);
    lua_error(state);
  }
}

int ScriptEngine::print(lua_State* state) {
  const int n = lua_gettop(state);
  luaL_Buffer line;
  luaL_buffinit(state, &line);
  for (int i = 1; i <= n; ++i) {
    if (i > 1) luaL_addchar(&line, '\t');
    luaL_tolstring(state, i, nullptr);
    luaL_addvalue(&line);
  }
  luaL_pushresult(&line);
  std::size_t size = 0;
  const char* text = lua_tolstring(state, -1, &size);
  ScriptEngine* self = engineOf(state);
  if (self->print_)
    self->print_(std::string_view(text, size));
  else
    base::consoleLine(std::string_view(text, size));
  return 0;
}

}  // namespace vorlane::script
