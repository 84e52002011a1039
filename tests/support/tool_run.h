#pragma once
// Runs the built vorlane-tool (its path comes from the test program's VORLANE_TOOL_PATH)
// with shell-quoted arguments, capturing what it prints.
#include <string>

#include "support/fixtures.h"

namespace vorlane::test {

struct ToolRun {
  int exitCode;  // -1 when the tool did not exit normally
  std::string out, err;
};

ToolRun runProgram(const std::string& program, const std::string& args, const TempDir& scratch);

#ifdef VORLANE_TOOL_PATH
inline ToolRun runTool(const TempDir& scratch, const std::string& args) {
  return runProgram(VORLANE_TOOL_PATH, args, scratch);
}
#endif

}  // namespace vorlane::test
