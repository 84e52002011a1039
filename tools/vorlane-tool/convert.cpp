// `import` and `export`: maps of other tile-map editors (TMX, TMJ) into a project file and
// back, and a map as a PNG picture. The formats are the rows of the format table.
#include <iostream>
#include <memory>
#include <string>

#include "base/console.h"
#include "commands.h"
#include "formats/formats.h"

namespace vorlane::tool {

namespace {

struct ImportArgs {
  std::string input, output;
  bool lossy = false;
};

int runImport(const ImportArgs& a) {
  if (auto refused = refuseOwnInput(a.output, {a.input})) return *refused;
  const formats::Format* format = formats::formatForPath(a.input);
  if (format && !format->read) return fail(a.input, "maps of this kind cannot be imported");
  base::Result<formats::Imported> imported = base::Error{};
  {
    base::ConsoleCapture quiet;
    imported = formats::importMapFile(a.input, {a.lossy});
  }
  if (!imported) return failWhole(imported.error());
  auto status = io::writeFileAtomically(a.output, [&](base::ByteWriter& out) {
    io::saveMap(*imported->map, out);
    io::writeTilesetSection(imported->tilesets, out);
  });
  if (!status) return fail(a.output, status.error());
  for (const std::string& item : imported->leftOut) std::cout << "left out: " << item << '\n';
  for (const std::string& item : imported->notes) std::cout << "note: " << item << '\n';
  return kExitOk;
}

struct ExportArgs {
  std::string input, output, format, encoding = "csv";
  bool normals = false;
};

int runExport(const ExportArgs& a) {
  if (auto refused = refuseOwnInput(a.output, {a.input})) return *refused;
  const formats::Format* format = formats::formatNamed(a.format);
  auto project = readProject(a.input);
  if (!project) return fail(a.input, project.error());
  formats::ExportOptions options;
  options.normals = a.normals;
  options.encoding = *formats::encodingNamed(a.encoding);
  auto notes = format->write(a.output, *project->map, options);
  if (!notes) return fail(a.output, notes.error());
  for (const std::string& note : *notes) std::cout << note << '\n';
  return kExitOk;
}

std::vector<std::string> names(bool forImport) {
  std::vector<std::string> out;
  for (const formats::Format& f : formats::formatTable())
    if (forImport ? f.read != nullptr : f.write != nullptr) out.emplace_back(f.name);
  return out;
}

}  // namespace

void addImportCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand("import", "Import a TMX or TMJ tile map into a new project file");
  auto a = std::make_shared<ImportArgs>();
  cmd->add_option("IN", a->input, "Tile map (.tmx, .tmj, .json)")->required();
  cmd->add_option("-o,--output", a->output, "Project file to write")->required();
  cmd->add_flag("--lossy", a->lossy, "Import what Vorlane can hold and print what was left out");
  cmd->callback([a, &exitCode] { exitCode = runImport(*a); });
}

void addExportCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand("export", "Export the map of a project or export file as a tile map or a picture");
  auto a = std::make_shared<ExportArgs>();
  cmd->add_option("IN", a->input, "Project (.vorl) or export file")->required();
  cmd->add_option("--format", a->format, "What to write")->required()->check(CLI::IsMember(names(false)));
  cmd->add_option("-o,--output", a->output, "The file to write (atlas images go beside it)")->required();
  cmd->add_flag("--normals", a->normals, "Also write normal-map atlases in the layout of the tile atlases");
  cmd->add_option("--encoding", a->encoding, "Tile layer data: csv (default), base64, zlib, gzip or zstd")
      ->check(CLI::IsMember({"csv", "base64", "zlib", "gzip", "zstd"}));
  cmd->callback([a, &exitCode] { exitCode = runExport(*a); });
}

}  // namespace vorlane::tool
