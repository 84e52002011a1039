// vorlane-tool: inspects, validates, bakes and scans project files and runs scripts for build pipelines.
#include "commands.h"

int main(int argc, char** argv) {
  using namespace vorlane::tool;
  CLI::App app{"vorlane-tool: inspect, check, bake and scan Vorlane project files, run scripts"};
  app.require_subcommand(1);
  int exitCode = kExitOk;
  addInfoCommand(app, exitCode);
  addCheckCommand(app, exitCode);
  addBakeCommand(app, exitCode);
  addPngCommand(app, exitCode);
  addScanCommand(app, exitCode);
  addRunCommand(app, exitCode);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }
  return exitCode;
}
