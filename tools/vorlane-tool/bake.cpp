// `bake`: renders a project's light map exactly as the editor's Render button does and writes
// the lit map as a project (with the tilesets as loaded) or, with --export, as an export file.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/console.h"
#include "commands.h"
#include "io/project.h"
#include "lighting/render.h"

namespace vorlane::tool {

namespace {

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

int bake(const BakeOptions& o) {
  auto project = readProject(o.input);
  if (!project) return fail(o.input, project.error());
  std::optional<base::ConsoleCapture> quiet;  // --quiet silences the renderer's lines too
  if (o.quiet) quiet.emplace();

  base::Result<map::MapPtr> lit = base::Error{};
  {
    ProgressLine progress(!o.quiet && isatty(STDERR_FILENO));
    lit = lighting::renderCommand(*project->map, o.width, o.height, o.soft, [&](float f) { progress(f); },
                                  o.lighting, o.threads);
  }
  if (!lit) return fail(o.input, lit.error());

  auto status = io::writeFileAtomically(o.output, [&](base::ByteWriter& out) {
    if (o.exportOnly)
      io::saveMap(**lit, out);
    else
      io::writeProject(**lit, project->tilesets, out);
  });
  if (!status) return fail(o.output, status.error());
  return kExitOk;
}

}  // namespace

void addBakeCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand("bake", "Render the light map of a project or export file into a lit map");
  auto o = std::make_shared<BakeOptions>();
  cmd->add_option("IN", o->input, "Project (.vorl) or export file")->required();
  cmd->add_option("-o,--output", o->output, "Where to write the lit map")->required();
  cmd->add_option("--width", o->width, "Light map width in texels (default 256, at least 16)");
  cmd->add_option("--height", o->height, "Light map height in texels (default 256, at least 16)");
  cmd->add_flag("--soft", o->soft, "Soft shadows");
  cmd->add_flag("--export", o->exportOnly, "Write the map section only (an export file)");
  cmd->add_option("--threads", o->threads, "Most threads to render with (default: every core this process may run on)")
      ->check(CLI::PositiveNumber);
  cmd->add_flag("--quiet", o->quiet, "No console lines, no progress");
  cmd->add_option("--ambient", o->ambient, "Ambient colour R,G,B (each 0 to 255) added to every lit pixel")
      ->delimiter(',')
      ->expected(3)
      ->check(CLI::Range(0, 255));
  cmd->add_option("--intensity", o->lighting.intensity, "Light intensity factor in place of 4")
      ->check(CLI::Range(0.0f, 1000.0f));
  cmd->add_flag("--cast-shadows-flags", o->lighting.castShadowsFlags,
                "Only tiles and lights with their Cast Shadows flag block light and cast shadows");
  cmd->callback([o, &exitCode] {
    if (o->ambient.size() == 3) std::copy(o->ambient.begin(), o->ambient.end(), o->lighting.ambient.begin());
    exitCode = bake(*o);
  });
}

}  // namespace vorlane::tool
