#include "commands.h"

namespace vorlane::tool {

void addPngCommand(CLI::App&, int&) {}

}  // namespace vorlane::tool
