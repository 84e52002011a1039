// vorlane-tool: inspects, validates, bakes, scans, imports and exports project files for build pipelines.
#include "commands.h"

int main(int argc, char** argv) {
  using namespace vorlane::tool;
  CLI::App app{"vorlane-tool: inspect, check, bake, scan, import and export Vorlane project files"};
  app.require_subcommand(1);
  int exitCode = kExitOk;
  addInfoCommand(app, exitCode);
  addCheckCommand(app, exitCode);
  addBakeCommand(app, exitCode);
  addPngCommand(app, exitCode);
  addScanCommand(app, exitCode);
  addImportCommand(app, exitCode);
  addExportCommand(app, exitCode);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }
  return exitCode;
}
