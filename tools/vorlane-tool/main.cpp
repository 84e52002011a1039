// vorlane-tool: inspects, validates, bakes and scans project files for build pipelines.
#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
  CLI::App app{"vorlane-tool: inspect, check, bake and scan Vorlane project files"};
  app.require_subcommand(1);
  CLI11_PARSE(app, argc, argv);
  return 0;
}
