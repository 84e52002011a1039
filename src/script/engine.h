#pragma once
// The script engine: one embedded Lua 5.4 state with the standard libraries and the
// `vorlane` module. Values pushed before a run become the script's arguments (`...`).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "base/result.h"

struct lua_State;
struct lua_Debug;

namespace vorlane::script {

inline constexpr const char* kNotStarted = "ScriptEngine: Engine is not started";
inline constexpr const char* kNoScriptText = "ScriptEngine: No script text to execute";
inline constexpr const char* kScriptStopped = "Script stopped.";

// How often (in Lua instructions) a running script asks whether it should stop.
inline constexpr int kHookInstructions = 10000;
// What a script's own Lua values may occupy; beyond it allocations fail as "not enough memory".
inline constexpr std::size_t kDefaultMemoryLimit = std::size_t{1} << 30;
// A script file larger than this is refused before it is read.
inline constexpr std::uint64_t kMaxScriptBytes = std::uint64_t{64} << 20;

class ScriptEngine {
 public:
  // Receives each line a script prints.
  using Print = std::function<void(std::string_view)>;
  // Asked every kHookInstructions instructions; true stops the script.
  using Interrupt = std::function<bool()>;

  ScriptEngine();
  ~ScriptEngine();
  ScriptEngine(const ScriptEngine&) = delete;
  ScriptEngine& operator=(const ScriptEngine&) = delete;

  // Opens a fresh state (closing any previous one). False when Lua could not allocate it.
  bool start();
  void close();
  bool started() const { return state_ != nullptr; }

  // Each prints kNotStarted and does nothing when the engine is not started.
  void pushNumber(double value);
  void pushString(std::string_view value);

  // Runs `text` as the chunk `chunkName` ("@path" names a file in messages, as Lua does)
  // with the pushed values as arguments, which are then gone. Errors carry Lua's message,
  // with the script line where Lua knows it. Prints kNotStarted or kNoScriptText (and
  // fails with it) when there is nothing to run.
  base::Status run(std::string_view text, const std::string& chunkName = "=script");
  // Reads and runs a file; a first line starting with "#" is skipped, as Lua does. A file
  // that cannot be read fails with "PATH: " and the reason.
  base::Status runFile(const std::string& path);

  // `arg` as the Lua interpreter sets it: argv[scriptIndex] at 0, the rest around it.
  void setArgs(std::span<const std::string> argv, std::size_t scriptIndex);

  // Print goes to the console (one line per call) unless replaced.
  void setPrint(Print print) { print_ = std::move(print); }
  void setInterrupt(Interrupt interrupt) { interrupt_ = std::move(interrupt); }
  void setMemoryLimit(std::size_t bytes) { memoryLimit_ = bytes; }

  lua_State* state() const { return state_; }

 private:
  static void* allocate(void* self, void* block, std::size_t oldSize, std::size_t newSize);
  static void hook(lua_State* state, lua_Debug* debug);
  static int print(lua_State* state);

  lua_State* state_ = nullptr;
  int pushed_ = 0;
  bool stopping_ = false;
  std::size_t used_ = 0;
  std::size_t memoryLimit_ = kDefaultMemoryLimit;
  Print print_;
  Interrupt interrupt_;
};

}  // namespace vorlane::script
