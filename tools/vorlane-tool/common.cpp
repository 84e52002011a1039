#include <iostream>

#include "base/console.h"
#include "commands.h"

namespace vorlane::tool {

int fail(const std::string& path, const std::string& reason) {
  std::cerr << path << ": " << reason << '\n';
  return kExitBadInput;
}

base::Result<io::Project> readProject(const std::string& path) {
  base::ConsoleCapture quiet;
  return io::loadProjectFile(path, io::Accept::projectOrExport);
}

}  // namespace vorlane::tool
