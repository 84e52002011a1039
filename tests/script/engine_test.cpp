// The script engine: its two messages, arguments, errors with lines, the stop hook and limits.
#include "script/engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/console.h"
#include "support/fixtures.h"

namespace vorlane::script {
namespace {

// An engine whose printed lines are collected.
struct Printing {
  Printing() {
    engine.setPrint([this](std::string_view line) { printed.emplace_back(line); });
  }
  ScriptEngine engine;
  std::vector<std::string> printed;
};

TEST(ScriptEngine, MessagesWhenThereIsNothingToRun) {
  struct Case {
    const char* what;
    void (*act)(ScriptEngine&);
    const char* line;
  };
  const Case cases[] = {
      {"run before start", [](ScriptEngine& e) { EXPECT_EQ(e.run("x = 1").error(), kNotStarted); }, kNotStarted},
      {"run after close",
       [](ScriptEngine& e) {
         ASSERT_TRUE(e.start());
         e.close();
         EXPECT_EQ(e.run("x = 1").error(), kNotStarted);
       },
       kNotStarted},
      {"push number before start", [](ScriptEngine& e) { e.pushNumber(1); }, kNotStarted},
      {"push string before start", [](ScriptEngine& e) { e.pushString("a"); }, kNotStarted},
      {"empty text",
       [](ScriptEngine& e) {
         ASSERT_TRUE(e.start());
         e.pushNumber(1);
         EXPECT_EQ(e.run("").error(), kNoScriptText);
       },
       kNoScriptText},
  };
  for (const auto& c : cases) {
    base::ConsoleCapture console;
    ScriptEngine engine;
    c.act(engine);
    EXPECT_EQ(console.lines(), std::vector<std::string>{c.line}) << c.what;
  }
}

TEST(ScriptEngine, PushedValuesAreTheNextRunsArguments) {
  Printing p;
  ASSERT_TRUE(p.engine.start());
  p.engine.pushNumber(2.5);
  p.engine.pushString(std::string("a\0b", 3));
  ASSERT_TRUE(p.engine.run("local n, s = ... print(n * 2, #s, select('#', ...))").ok());
  ASSERT_TRUE(p.engine.run("print(select('#', ...))").ok());
  EXPECT_EQ(p.printed, (std::vector<std::string>{"5.0\t3\t2", "0"}));
}

TEST(ScriptEngine, StandardLibrariesAndTheModuleAreOpen) {
  Printing p;
  ASSERT_TRUE(p.engine.start());
  ASSERT_TRUE(p.engine.run("print(string.upper('a'), math.floor(2.5), type(os.time), type(io.write), "
                           "type(vorlane.newMap), require('vorlane') == vorlane)")
                  .ok());
  EXPECT_EQ(p.printed, std::vector<std::string>{"A\t2\tfunction\tfunction\tfunction\ttrue"});
}

TEST(ScriptEngine, PrintGoesToTheConsoleByDefault) {
  base::ConsoleCapture console;
  ScriptEngine engine;
  ASSERT_TRUE(engine.start());
  ASSERT_TRUE(engine.run("print('a', 1, nil, true)").ok());
  EXPECT_EQ(console.lines(), std::vector<std::string>{"a\t1\tnil\ttrue"});
}

TEST(ScriptEngine, ErrorsCarryTheScriptLine) {
  const struct {
    const char* text;
    std::string message;
  } cases[] = {
      {"\n\nerror('bad')", "job:3: bad"},
      {"local t = nil\nreturn t.x", "job:2: attempt to index a nil value (local 't')"},
      {"x = = 1", "job:1: unexpected symbol near '='"},
      {"error({})", "(error object is a table value)"},
      {"error(setmetatable({}, {__tostring = function() return 'custom' end}))", "custom"},
      {"error('plain', 0)", "plain"},
  };
  ScriptEngine engine;
  ASSERT_TRUE(engine.start());
  for (const auto& c : cases) {
    auto status = engine.run(c.text, "=job");
    ASSERT_FALSE(status.ok()) << c.text;
    EXPECT_EQ(status.error(), c.message) << c.text;
  }
  EXPECT_TRUE(engine.run("return 1").ok()) << "the engine is usable after errors";
}

TEST(ScriptEngine, RunsFilesSkippingAFirstHashLine) {
  test::TempDir dir;
  const std::string path = dir.file("job.lua");
  test::writeFile(path, {'#', '!', 'x', '\n', 'e', 'r', 'r', 'o', 'r', '(', '"', 'h', 'i', '"', ')'});
  ScriptEngine engine;
  ASSERT_TRUE(engine.start());
  EXPECT_EQ(engine.runFile(path).error(), path + ":2: hi");
  EXPECT_EQ(engine.runFile(dir.file("none.lua")).error(), dir.file("none.lua") + ": Unable to open file.");
}

TEST(ScriptEngine, ArgIsSetAsTheLuaInterpreterSetsIt) {
  Printing p;
  ASSERT_TRUE(p.engine.start());
  const std::vector<std::string> argv{"tool", "run", "job.lua", "a", "-b"};
  p.engine.setArgs(argv, 2);
  ASSERT_TRUE(p.engine.run("print(arg[-2], arg[-1], arg[0], arg[1], arg[2], #arg)").ok());
  EXPECT_EQ(p.printed, std::vector<std::string>{"tool\trun\tjob.lua\ta\t-b\t2"});
}

TEST(ScriptEngine, TheHookStopsARunawayScript) {
  const char* runaways[] = {
      "while true do end",
      // A script that catches errors must not catch its own stop.
      "while true do pcall(function() while true do end end) end",
      "local function f() return f() end f()",
  };
  for (const char* text : runaways) {
    ScriptEngine engine;
    int asked = 0;
    engine.setInterrupt([&] { return ++asked == 50; });
    ASSERT_TRUE(engine.start());
    auto status = engine.run(text, "=job");
    ASSERT_FALSE(status.ok()) << text;
    EXPECT_EQ(status.error(), std::string("job:1: ") + kScriptStopped) << text;
    EXPECT_EQ(asked, 50);
    EXPECT_TRUE(engine.run("x = 1").ok()) << "the next run starts afresh";
  }
}

TEST(ScriptEngine, MemoryBeyondTheLimitIsALuaError) {
  ScriptEngine engine;
  engine.setMemoryLimit(32 << 20);
  ASSERT_TRUE(engine.start());
  EXPECT_EQ(engine.run("local s = string.rep('x', 64 << 20)").error(), "not enough memory");
  EXPECT_EQ(engine.run("local t = {} for i = 1, 1e9 do t[i] = i end").error(), "not enough memory");
  EXPECT_TRUE(engine.run("local s = string.rep('x', 1 << 20)").ok());
}

TEST(ScriptEngine, OnlySourceTextLoads) {
  Printing p;
  ASSERT_TRUE(p.engine.start());
  ASSERT_TRUE(p.engine.run("local f, e = load(string.dump(function() end)) print(f, e)").ok());
  ASSERT_EQ(p.printed.size(), 1u);
  EXPECT_NE(p.printed[0].find("attempt to load a binary chunk"), std::string::npos) << p.printed[0];
  EXPECT_TRUE(p.engine.run("assert(load('return 1', 'x', 'b', {}))() ").ok()) << "text loads whatever mode is asked";
}

}  // namespace
}  // namespace vorlane::script
