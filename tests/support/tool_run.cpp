#include "support/tool_run.h"

#include <sys/wait.h>

#include <cstdlib>

namespace vorlane::test {

namespace {
std::string readText(const std::string& path) {
  auto bytes = readFile(path);
  return {bytes.begin(), bytes.end()};
}
}  // namespace

ToolRun runProgram(const std::string& program, const std::string& args, const TempDir& scratch) {
  const std::string out = scratch.file("stdout"), err = scratch.file("stderr");
  const std::string command = "'" + program + "' " + args + " >'" + out + "' 2>'" + err + "'";
  int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readText(out), readText(err)};
}

}  // namespace vorlane::test
