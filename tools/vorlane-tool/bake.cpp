#include "commands.h"

namespace vorlane::tool {

void addBakeCommand(CLI::App&, int&) {}

}  // namespace vorlane::tool
