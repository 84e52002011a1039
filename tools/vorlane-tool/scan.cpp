#include "commands.h"

namespace vorlane::tool {

void addScanCommand(CLI::App&, int&) {}

}  // namespace vorlane::tool
