#include "formats/png_encode.h"

#include "io/project.h"
#include "platform/encode.h"

namespace vorlane::formats {

base::Status writePngFile(const std::string& path, const platform::Image& image, bool withAlpha) {
  if (image.width <= 0 || image.height <= 0) return base::Error{"an image without pixels cannot be a PNG"};
  // Row by row into the temporary: no second copy of the image as PNG bytes in memory.
  return io::writeFileAtomically(path, [&](base::ByteWriter& out) { platform::encodePng(image, withAlpha, out); });
}

}  // namespace vorlane::formats
