// `png`: the map of a project, an export or a baked result as one PNG image, drawn as the
// map view draws it at zoom 1 (tile images stretched to their cells by nearest pixel,
// pixels with alpha below one half left out, the rest opaque over black).
#include <memory>
#include <string>

#include "commands.h"
#include "io/project.h"
#include "lighting/composite.h"

namespace vorlane::tool {

namespace {

int png(const std::string& input, const std::string& output) {
  auto project = readProject(input);
  if (!project) return fail(input, project.error());
  auto image = lighting::compositeMap(*project->map);
  if (!image) return fail(input, image.error());
  if (auto status = io::writePngFile(output, *image); !status) return fail(output, status.error());
  return kExitOk;
}

}  // namespace

void addPngCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand("png", "Draw the map of a project or export file into one PNG image");
  auto input = std::make_shared<std::string>(), output = std::make_shared<std::string>();
  cmd->add_option("IN", *input, "Project (.vorl) or export file")->required();
  cmd->add_option("-o,--output", *output, "The PNG file to write")->required();
  cmd->callback([input, output, &exitCode] { exitCode = png(*input, *output); });
}

}  // namespace vorlane::tool
