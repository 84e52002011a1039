// `info` and `check`: read a project or export file and describe or validate it.
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "commands.h"
#include "io/project.h"

namespace vorlane::tool {

namespace {

std::vector<std::pair<const char*, long long>> counts(const io::Project& project) {
  const map::Map& m = *project.map;
  long long occupied = 0;
  for (const auto& cell : m.cells) occupied += cell ? 1 : 0;
  long long records = 0;
  for (const auto& pivot : m.pivots) records += pivot->recordCount;
  return {{"width", m.width},
          {"height", m.height},
          {"depth", m.depth},
          {"tileWidth", m.tileWidth},
          {"tileHeight", m.tileHeight},
          {"tileCount", m.tileCount},
          {"occupiedCells", occupied},
          {"lights", static_cast<long long>(m.lights.size())},
          {"pivots", static_cast<long long>(m.pivots.size())},
          {"records", records},
          {"tilesets", static_cast<long long>(project.tilesets.size())}};
}

void printInfo(const io::Project& project, bool json) {
  const char* kind = project.hasTilesetSection ? "project" : "export";
  if (json) {
    std::cout << "{\"kind\": \"" << kind << '"';
    for (const auto& [key, value] : counts(project)) std::cout << ", \"" << key << "\": " << value;
    std::cout << "}\n";
    return;
  }
  std::cout << "kind: " << kind << '\n';
  for (const auto& [key, value] : counts(project)) std::cout << key << ": " << value << '\n';
}

}  // namespace

void addInfoCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand("info", "Describe a project or export file");
  auto file = std::make_shared<std::string>();
  auto json = std::make_shared<bool>(false);
  cmd->add_option("FILE", *file, "Project (.vorl) or export file")->required();
  cmd->add_flag("--json", *json, "One JSON object instead of lines of text");
  cmd->callback([file, json, &exitCode] {
    auto project = readProject(*file);
    if (!project) {
      exitCode = fail(*file, project.error());
      return;
    }
    printInfo(*project, *json);
    exitCode = kExitOk;
  });
}

void addCheckCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand("check", "Validate a project or export file");
  auto file = std::make_shared<std::string>();
  cmd->add_option("FILE", *file, "Project (.vorl) or export file")->required();
  cmd->callback([file, &exitCode] {
    auto project = readProject(*file);
    if (!project) {
      exitCode = fail(*file, project.error());
      return;
    }
    std::cout << "ok\n";
    exitCode = kExitOk;
  });
}

}  // namespace vorlane::tool
