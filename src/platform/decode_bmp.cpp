#include "platform/decode.h"

namespace vorlane::platform {

base::Result<Decoded> decodeBmp(std::span<const std::uint8_t>) { return base::Error{"Not a valid image."}; }

}  // namespace vorlane::platform
