#include <algorithm>
#include <iostream>
#include <string>

#include "base/console.h"
#include "commands.h"

namespace vorlane::tool {

int fail(const std::string& path, const std::string& reason) {
  std::string line = reason;
  std::replace(line.begin(), line.end(), '\n', ' ');
  std::cerr << path << ": " << line << '\n';
  return kExitBadInput;
}

CLI::Validator wholeNumberFrom(int low, int high) {
  const std::string range = "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
  return CLI::Validator(
      [=](std::string& text) -> std::string {
        std::size_t used = 0;
        long long value = 0;
        try {
          value = std::stoll(text, &used);
        } catch (const std::exception&) {
          used = 0;
        }
        if (used == 0 || used != text.size() || value < low || value > high) return "must be " + range + ", not " + text;
        return {};
      },
      range);
}

CLI::Validator nonEmptyPath() {
  return CLI::Validator([](std::string& text) -> std::string { return text.empty() ? "must name a file" : ""; },
                        "a file name");
}

base::Result<io::Project> readProject(const std::string& path) {
  base::ConsoleCapture quiet;
  return io::loadProjectFile(path, io::Accept::projectOrExport);
}

}  // namespace vorlane::tool
