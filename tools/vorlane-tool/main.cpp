// vorlane-tool: inspects, validates, bakes, scans, imports and exports project files and runs
// scripts for build pipelines.
#include "base/version.h"
#include "commands.h"

namespace {

// One example line per sub-command, shown at the end of its --help and, all together, of
// the tool's own (the README's pipeline section shows the same lines).
struct Example {
  const char* command;
  const char* line;
};
constexpr Example kExamples[] = {
    {"info", "vorlane-tool info level.vorl --json"},
    {"check", "vorlane-tool check level.vorl || echo broken"},
    {"bake", "vorlane-tool bake level.vorl -o level-lit.vorl --width 1024 --height 1024 --soft\n"
             "  vorlane-tool bake town.tmx -o lit/town.tmx --soft   # the same map back, lit"},
    {"png", "vorlane-tool png level-lit.vorl -o level-lit.png"},
    {"scan", "vorlane-tool scan sheet.png --tile 32x32 -o sheet.vorl"},
    {"normals", "vorlane-tool normals tiles/grass.png --strength 6   # writes tiles/NMgrass.bmp"},
    {"import", "vorlane-tool import town.tmx -o town.vorl --lossy"},
    {"export", "vorlane-tool export town-lit.vorl --format tmx --normals -o game/town.tmx"},
    {"run", "vorlane-tool run examples/scripts/pivots_csv.lua level.vorl > records.csv"},
};

void addExamples(CLI::App& app) {
  std::string all = "Examples:";
  for (const Example& e : kExamples) {
    all += std::string("\n  ") + e.line;
    for (CLI::App* sub : app.get_subcommands([&](CLI::App* s) { return s->get_name() == e.command; }))
      sub->footer(std::string("Example:\n  ") + e.line);
  }
  app.footer(all);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vorlane::tool;
  CLI::App app{"vorlane-tool: inspect, check, bake, scan, import and export Vorlane project files, run scripts"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "vorlane-tool " VORLANE_VERSION);
  int exitCode = kExitOk;
  addInfoCommand(app, exitCode);
  addCheckCommand(app, exitCode);
  addBakeCommand(app, exitCode);
  addPngCommand(app, exitCode);
  addScanCommand(app, exitCode);
  addImportCommand(app, exitCode);
  addExportCommand(app, exitCode);
  addNormalsCommand(app, exitCode);
  addRunCommand(app, exitCode);
  addExamples(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  } catch (const std::bad_alloc&) {
    exitCode = fail("vorlane-tool", "not enough memory");
  } catch (const std::exception& e) {
    // Whatever a command missed still ends as a failure in one line, never as an abort.
    exitCode = fail("vorlane-tool", e.what());
  }
  if (auto written = closeStandardOutput(); !written) exitCode = fail("vorlane-tool", written.error());
  return exitCode;
}
