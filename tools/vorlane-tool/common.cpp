#include <iostream>

#include "base/console.h"
#include "commands.h"

namespace vorlane::tool {

// One line a failure: the detail an error box shows below its message follows it here.
int fail(const std::string& path, const std::string& reason) {
  std::string line = reason;
  for (std::size_t at = line.find('\n'); at != std::string::npos; at = line.find('\n', at)) line.replace(at, 1, "; ");
  std::cerr << path << ": " << line << '\n';
  return kExitBadInput;
}

base::Result<io::Project> readProject(const std::string& path) {
  base::ConsoleCapture quiet;
  return io::loadProjectFile(path, io::Accept::projectOrExport);
}

}  // namespace vorlane::tool
