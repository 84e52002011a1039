// `png`: the map of a project, an export or a baked result as one PNG image, drawn as the
// map view draws it at zoom 1 (tile images stretched to their cells by nearest pixel,
// pixels with alpha below one half left out, the rest opaque over black). With --scale or
// --max-side, a preview drawn as the map view draws it at that zoom, a band of rows at a
// time straight into the file, so a map of any size fits.
#include <memory>
#include <string>

#include "commands.h"
#include "io/project.h"
#include "lighting/composite.h"
#include "platform/encode.h"

namespace vorlane::tool {

namespace {

constexpr const char* kSmallerAdvice = "\n--scale or --max-side draws a smaller picture, a band of rows at a time.";

struct PngOptions {
  std::string input, output;
  float scale = 1;
  std::int64_t maxSide = 0;
};

int preview(const PngOptions& o) {
  auto project = readProject(o.input);
  if (!project) return fail(o.input, project.error());
  auto drawn = lighting::MapPreview::create(*project->map, o.scale, o.maxSide);
  if (!drawn) return fail(o.input, drawn.error());
  const lighting::MapPreview& p = *drawn;
  auto status = io::writeFileAtomically(o.output, [&](base::ByteWriter& out) {
    platform::encodePngRows(
        p.width(), p.height(), [&](std::int32_t first, std::int32_t count, std::uint8_t* rgb) { p.drawRows(first, count, rgb); },
        out);
  });
  if (!status) return fail(o.output, status.error());
  return kExitOk;
}

int png(const PngOptions& o) {
  if (auto refused = refuseOwnInput(o.output, {o.input})) return *refused;
  if (o.scale != 1 || o.maxSide > 0) return preview(o);
  auto project = readProject(o.input);
  if (!project) return fail(o.input, project.error());
  const map::Map& m = *project->map;
  const std::int64_t w = std::int64_t{m.width} * m.tileWidth, h = std::int64_t{m.height} * m.tileHeight;
  // Say which limit a picture of the whole map passes, and how to draw a smaller one.
  if (w > platform::kMaxPngSide || h > platform::kMaxPngSide)
    return fail(o.input, "The map is " + std::to_string(w) + "x" + std::to_string(h) + " pixels; a PNG image is at most " +
                             std::to_string(platform::kMaxPngSide) + " pixels a side." + kSmallerAdvice);
  auto image = lighting::compositeMap(m);
  if (!image && w > 0 && h > 0 && static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) > lighting::kMaxCompositePixels)
    return fail(o.input, image.error() + kSmallerAdvice);
  if (!image) return fail(o.input, image.error());
  // Every pixel is opaque: RGB.
  auto status = io::writeFileAtomically(o.output, [&](base::ByteWriter& out) { platform::encodePng(*image, false, out); });
  if (!status) return fail(o.output, status.error());
  return kExitOk;
}

}  // namespace

void addPngCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand("png", "Draw the map of a project or export file into one PNG image");
  auto o = std::make_shared<PngOptions>();
  cmd->add_option("IN", o->input, "Project (.vorl) or export file")->required();
  cmd->add_option("-o,--output", o->output, "The PNG file to write")->required()->check(nonEmptyPath());
  cmd->add_option("--scale", o->scale, "Draw at this zoom, above 0 and at most 1 (default 1: pixel for pixel)")
      ->check(CLI::PositiveNumber)
      ->check(CLI::Range(0.0f, 1.0f));
  cmd->add_option("--max-side", o->maxSide, "Shrink further until neither side has more pixels than this")
      ->check(CLI::Range(std::int64_t{1}, lighting::kMaxPreviewSide));
  cmd->callback([o, &exitCode] { exitCode = png(*o); });
}

}  // namespace vorlane::tool
