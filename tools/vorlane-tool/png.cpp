// `png`: the map of a project, an export or a baked result as one PNG image, drawn as the
// map view draws it at zoom 1 (tile images stretched to their cells by nearest pixel,
// pixels with alpha below one half left out, the rest opaque over black). With --scale or
// --max-side, a preview drawn as the map view draws it at that zoom, a band of rows at a
// time straight into the file, so a map of any size fits.
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "commands.h"
#include "io/project.h"
#include "lighting/composite.h"

namespace vorlane::tool {

namespace {

// An 8-bit RGB PNG of w × h pixels whose rows `rows` fills a band at a time (first row,
// count, 3 bytes a pixel). Empty on success.
using RowSource = std::function<void(std::int32_t first, std::int32_t count, std::uint8_t* rgb)>;
std::string writePng(const std::string& path, std::int32_t w, std::int32_t h, const RowSource& rows) {
  constexpr std::int32_t kBand = 64;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return "cannot open the file for writing";
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::string error;
  std::vector<png_byte> band(static_cast<std::size_t>(w) * 3 * kBand);
  if (!png || !info) {
    error = "out of memory";
  } else if (setjmp(png_jmpbuf(png))) {
    error = "error writing the PNG";
  } else {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (std::int32_t y = 0; y < h; y += kBand) {
      const std::int32_t count = std::min(kBand, h - y);
      rows(y, count, band.data());
      for (std::int32_t r = 0; r < count; ++r) png_write_row(png, band.data() + static_cast<std::size_t>(r) * w * 3);
    }
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (std::fclose(file) != 0 && error.empty()) error = "error writing the file";
  if (!error.empty()) std::remove(path.c_str());
  return error;
}

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
  auto rows = [&](std::int32_t first, std::int32_t count, std::uint8_t* rgb) { p.drawRows(first, count, rgb); };
  if (auto error = writePng(o.output, p.width(), p.height(), rows); !error.empty()) return fail(o.output, error);
  return kExitOk;
}

int png(const PngOptions& o) {
  if (o.scale != 1 || o.maxSide > 0) return preview(o);
  const std::string& input = o.input;
  const std::string& output = o.output;
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
  auto o = std::make_shared<PngOptions>();
  cmd->add_option("IN", o->input, "Project (.vorl) or export file")->required();
  cmd->add_option("-o,--output", o->output, "The PNG file to write")->required();
  cmd->add_option("--scale", o->scale, "Draw at this zoom, above 0 and at most 1 (default 1: pixel for pixel)")
      ->check(CLI::PositiveNumber)
      ->check(CLI::Range(0.0f, 1.0f));
  cmd->add_option("--max-side", o->maxSide, "Shrink further until neither side has more pixels than this")
      ->check(CLI::Range(std::int64_t{1}, lighting::kMaxPreviewSide));
  cmd->callback([o, &exitCode] { exitCode = png(*o); });
}

}  // namespace vorlane::tool
