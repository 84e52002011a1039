#include "commands.h"

namespace vorlane::tool {

void addInfoCommand(CLI::App&, int&) {}
void addCheckCommand(CLI::App&, int&) {}

}  // namespace vorlane::tool
