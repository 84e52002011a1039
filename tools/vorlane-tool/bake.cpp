// `bake`: renders a project's light map exactly as the editor's Render button does and writes
// the lit map as a project (with the tilesets as loaded) or, with --export, as an export file,
// band by band as it is made, so maps far larger than memory bake.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/console.h"
#include "commands.h"
#include "formats/bake_map.h"
#include "formats/formats.h"
#include "io/project.h"
#include "lighting/render.h"
#include "platform/atomic_write.h"
#include "platform/memory.h"

namespace vorlane::tool {

namespace {

// More threads than this only queue for the same cores.
constexpr int kMaxThreads = 1024;

struct BakeOptions {
  std::string input, output;
  std::int32_t width = lighting::kDefaultResolution, height = lighting::kDefaultResolution;
  bool soft = false, exportOnly = false, quiet = false;
  std::int32_t threads = 0;
  std::vector<std::int32_t> ambient;  // red, green, blue
  lighting::Options lighting;
};

// A one-line percentage on standard error, redrawn in place; only for a terminal.
class ProgressLine {
 public:
  explicit ProgressLine(bool shown) : shown_(shown) {}
  // The renderer's last report resets the fraction to 0; the line ends saying it is done.
  ~ProgressLine() {
    if (drawn_) std::fputs("\rBaking: done\n", stderr);
  }
  void operator()(float fraction) {
    int percent = static_cast<int>(fraction * 100.0f);
    if (!shown_ || percent == last_) return;
    last_ = percent;
    std::fprintf(stderr, "\rBaking: %3d%%", percent);
    std::fflush(stderr);
    drawn_ = true;
  }

 private:
  bool shown_;
  bool drawn_ = false;
  int last_ = -1;
};

// A TMX or TMJ map is baked in place: the same document back, lit.
int bakeMap(const BakeOptions& o) {
  if (o.exportOnly) return fail(o.input, "--export is for projects; a tile map is written back as a tile map");
  formats::BakeMapRequest request;
  request.width = o.width;
  request.height = o.height;
  request.soft = o.soft;
  request.options = o.lighting;
  request.threads = o.threads;
  std::optional<base::ConsoleCapture> quiet;
  if (o.quiet) quiet.emplace();
  base::Result<formats::Notes> notes = base::Error{};
  {
    ProgressLine progress(!o.quiet && isatty(STDERR_FILENO));
    notes = formats::bakeMapFile(o.input, o.output, request, [&](float f) { progress(f); });
  }
  if (!notes) return failWhole(notes.error());
  if (!o.quiet)
    for (const std::string& note : *notes) std::cout << "note: " << note << '\n';
  return kExitOk;
}

int bake(const BakeOptions& o) {
  if (auto refused = refuseOwnInput(o.output, {o.input})) return *refused;
  if (const formats::Format* format = formats::formatForPath(o.input); format && format->read) return bakeMap(o);
  auto project = readProject(o.input);
  if (!project) return fail(o.input, project.error());
  const map::Map& source = *project->map;
  // Refusals come before any work: the output first, then sizes and memory.
  if (auto writable = platform::checkWritable(o.output); !writable) return fail(o.output, writable.error());
  auto settings = lighting::commandSettings(source, o.width, o.height, o.soft, o.lighting, o.threads);
  if (!settings) return fail(o.input, settings.error());
  const lighting::MemoryEstimate need = lighting::estimateMemory(source, *settings, true);
  if (auto fits = lighting::checkMemory(need, platform::availableMemory()); !fits) return fail(o.input, fits.error());

  std::optional<base::ConsoleCapture> quiet;  // --quiet silences the renderer's lines too
  if (o.quiet) quiet.emplace();
  lighting::announce(source, *settings);
  const lighting::Snapshot scene(source);
  // The lit map goes to the file band by band as it is made, never whole in memory.
  std::string renderError;
  auto status = io::writeFileAtomically(o.output, [&](base::ByteWriter& out) {
    io::LitMapWriter writer(source, out);
    ProgressLine progress(!o.quiet && isatty(STDERR_FILENO));
    auto lit = lighting::render(scene, *settings, [&](float f) { progress(f); }, {},
                                [&](std::size_t, std::span<const tiles::TilePtr> cells) { writer.tiles(cells); });
    if (!lit) {
      renderError = lit.error();
      throw base::StreamError(renderError);
    }
    writer.finish();
    if (!o.exportOnly) io::writeTilesetSection(project->tilesets, out);
  });
  if (!renderError.empty()) return fail(o.input, renderError);
  if (!status) return fail(o.output, status.error());
  return kExitOk;
}

}  // namespace

void addBakeCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand(
      "bake", "Render the light map of a project or export file into a lit map, or of a TMX or TMJ map into the same map lit");
  auto o = std::make_shared<BakeOptions>();
  cmd->add_option("IN", o->input, "Project (.vorl), export file, or tile map (.tmx, .tmj, .json)")->required();
  cmd->add_option("-o,--output", o->output, "Where to write the lit map")->required()->check(nonEmptyPath());
  // Below 16 is raised to 16, as the Render button does.
  cmd->add_option("--width", o->width, "Light map width in texels (default 256, below 16 taken as 16)")
      ->check(wholeNumberFrom(1, lighting::kMaxResolution));
  cmd->add_option("--height", o->height, "Light map height in texels (default 256, below 16 taken as 16)")
      ->check(wholeNumberFrom(1, lighting::kMaxResolution));
  cmd->add_flag("--soft", o->soft, "Soft shadows");
  cmd->add_flag("--export", o->exportOnly, "Write the map section only (an export file)");
  cmd->add_option("--threads", o->threads, "Most threads to render with (default: every core this process may run on)")
      ->check(wholeNumberFrom(1, kMaxThreads));
  cmd->add_flag("--quiet", o->quiet, "No console lines, no progress");
  cmd->add_option("--ambient", o->ambient, "Ambient colour R,G,B (each 0 to 255) added to every lit pixel")
      ->delimiter(',')
      ->expected(3)
      ->check(wholeNumberFrom(0, 255));
  cmd->add_option("--intensity", o->lighting.intensity, "Light intensity factor in place of 4")
      ->check(numberFrom(0, 1000));
  cmd->add_flag("--cast-shadows-flags", o->lighting.castShadowsFlags,
                "Only tiles and lights with their Cast Shadows flag block light and cast shadows");
  cmd->callback([o, &exitCode] {
    if (o->ambient.size() == 3) std::copy(o->ambient.begin(), o->ambient.end(), o->lighting.ambient.begin());
    exitCode = bake(*o);
  });
}

}  // namespace vorlane::tool
