#include <iostream>

#include "base/console.h"
#include "commands.h"

namespace vorlane::tool {

// The detail an error box shows below its message follows it on the same line here.
std::string oneLine(std::string text) {
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at)) text.replace(at, 1, "; ");
  return text;
}

int fail(const std::string& path, const std::string& reason) {
  std::cerr << path << ": " << reason << '\n';
  return kExitBadInput;
}

base::Result<io::Project> readProject(const std::string& path) {
  base::ConsoleCapture quiet;
  auto project = io::loadProjectFile(path, io::Accept::projectOrExport);
  if (!project) return base::Error{oneLine(project.error())};
  return project;
}

}  // namespace vorlane::tool
