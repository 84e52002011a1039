// `run`: a Lua script with the `vorlane` module, headless. What the script prints goes to
// standard output; the library's progress lines do not.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/console.h"
#include "commands.h"
#include "script/engine.h"

namespace vorlane::tool {

namespace {

int run(const std::string& script, const std::vector<std::string>& args) {
  script::ScriptEngine engine;
  if (!engine.start()) return fail(script, "not enough memory to start the script engine");
  engine.setPrint([](std::string_view line) {
    if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() || std::fputc('\n', stdout) == EOF)
      noteOutputError();
  });
  std::vector<std::string> argv{"vorlane-tool", "run", script};
  argv.insert(argv.end(), args.begin(), args.end());
  engine.setArgs(argv, 2);
  for (const auto& a : args) engine.pushString(a);
  const auto previous = base::setConsoleSink([](std::string_view) {});
  auto status = engine.runFile(script);
  base::setConsoleSink(previous);
  std::fflush(stdout);
  if (!status) {
    std::cerr << status.error() << '\n';
    return kExitBadInput;
  }
  return kExitOk;
}

}  // namespace

void addRunCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand("run", "Run a Lua script with the vorlane module");
  auto script = std::make_shared<std::string>();
  cmd->add_option("SCRIPT", *script, "Lua script; the arguments after it become its arg table")->required();
  // Everything after the script belongs to the script, options included.
  cmd->prefix_command();
  cmd->callback([cmd, script, &exitCode] { exitCode = run(*script, cmd->remaining()); });
}

}  // namespace vorlane::tool
