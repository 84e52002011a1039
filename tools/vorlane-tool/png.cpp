// `png`: the map of a project, an export or a baked result as one PNG image, drawn as the
// map view draws it at zoom 1 (tile images stretched to their cells by nearest pixel,
// pixels with alpha below one half left out, the rest opaque over black).
#include <png.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "io/project.h"
#include "lighting/composite.h"

namespace vorlane::tool {

namespace {

// An 8-bit RGB PNG of the image (every pixel is opaque). Empty on success.
std::string writePng(const std::string& path, const platform::Image& image) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return "cannot open the file for writing";
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::string error;
  std::vector<png_byte> row(static_cast<std::size_t>(image.width) * 3);
  if (!png || !info) {
    error = "out of memory";
  } else if (setjmp(png_jmpbuf(png))) {
    error = "error writing the PNG";
  } else {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (std::int32_t y = 0; y < image.height; ++y) {
      const std::uint8_t* p = image.at(0, y);
      for (std::int32_t x = 0; x < image.width; ++x)
        for (int k = 0; k < 3; ++k) row[static_cast<std::size_t>(x) * 3 + k] = p[x * 4 + k];
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (std::fclose(file) != 0 && error.empty()) error = "error writing the file";
  if (!error.empty()) std::remove(path.c_str());
  return error;
}

int png(const std::string& input, const std::string& output) {
  auto project = readProject(input);
  if (!project) return fail(input, project.error());
  auto image = lighting::compositeMap(*project->map);
  if (!image) return fail(input, image.error());
  if (auto error = writePng(output, *image); !error.empty()) return fail(output, error);
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
