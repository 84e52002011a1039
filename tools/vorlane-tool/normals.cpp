// `normals`: derives a normal map from an image's luminance and writes it where the editor
// looks for it (the "NM" companion beside the image) unless told otherwise.
#include <filesystem>
#include <memory>
#include <string>

#include "commands.h"
#include "platform/decode.h"
#include "platform/encode.h"
#include "tiles/companion.h"
#include "tiles/normals.h"

namespace vorlane::tool {

namespace {

struct NormalsArgs {
  std::string image, output;
  tiles::NormalOptions options;
  bool force = false;
};

// Beyond the decoded image: the heights, the normal map and its BMP, 4 bytes a pixel each.
constexpr std::uint64_t kBytesPerPixel = 12;

int runNormals(const NormalsArgs& args) {
  const std::string out = args.output.empty() ? tiles::companionPath(inThisFolder(args.image)) : args.output;
  if (auto refused = refuseOwnInput(out, {args.image})) return *refused;
  std::error_code ec;
  if (!args.force && std::filesystem::exists(out, ec))
    return fail(out, "the file exists; --force replaces it");
  auto image = platform::decodeImageFile(args.image);
  if (!image) return fail(args.image, image.error());
  const std::string what = "derive the normal map of an image of " + std::to_string(image->width) + " x " +
                           std::to_string(image->height) + " pixels";
  const std::uint64_t need = kBytesPerPixel * static_cast<std::uint64_t>(image->width) * static_cast<std::uint64_t>(image->height);
  if (auto fits = checkMemoryFor(what, need); !fits) return fail(args.image, fits.error());
  std::vector<std::uint8_t> bmp;
  try {
    bmp = platform::encodeBmp(tiles::deriveNormalMap(*image, args.options));
  } catch (const std::bad_alloc&) {
    return fail(args.image, base::outOfMemory(what).message);
  }
  auto status = io::writeFileAtomically(out, [&](base::ByteWriter& w) { w.bytes(bmp.data(), bmp.size()); });
  if (!status) return fail(out, status.error());
  return kExitOk;
}

}  // namespace

void addNormalsCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand("normals", "Derive a normal map from an image's brightness, taken as height");
  auto args = std::make_shared<NormalsArgs>();
  cmd->add_option("IMAGE", args->image, "PNG, JPEG or BMP image")->required();
  cmd->add_option("-o,--output", args->output, "BMP file to write (default: NM<name>.bmp beside the image)")
      ->check(nonEmptyPath());
  cmd->add_option("--strength", args->options.strength, "Height of white above black, in pixels (default 4)")
      ->check(numberFrom(0, 1000));
  cmd->add_flag("--invert-y", args->options.invertY, "Flip the green (y) component");
  cmd->add_option("--blur", args->options.blur, "Blur radius of the height before the slope (default 0)")
      ->check(wholeNumberFrom(0, 256));
  cmd->add_flag("--force", args->force, "Replace an existing output file");
  cmd->callback([args, &exitCode] {
    exitCode = runNormals(*args);
  });
}

}  // namespace vorlane::tool
