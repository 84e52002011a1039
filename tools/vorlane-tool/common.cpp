#include <iostream>
#include <sstream>
#include <string>

#include "base/console.h"
#include "commands.h"

namespace vorlane::tool {

// The detail an error box shows below its message follows it on the same line here: after a
// sentence or a colon with a space, otherwise with "; ".
std::string oneLine(std::string text) {
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at)) {
    std::size_t end = at + 1;
    while (end < text.size() && text[end] == ' ') ++end;
    const bool sentence = at > 0 && (text[at - 1] == '.' || text[at - 1] == ':');
    text.replace(at, end - at, sentence ? " " : "; ");
  }
  return text;
}

int fail(const std::string& path, const std::string& reason) {
  // One line a failure, for build logs and grep.
  std::cerr << path << ": " << oneLine(reason) << '\n';
  return kExitBadInput;
}

int failWhole(const std::string& message) {
  std::cerr << oneLine(message) << '\n';
  return kExitBadInput;
}

namespace {

std::string numberText(double v) {
  std::ostringstream text;
  text << v;
  return text.str();
}

CLI::Validator rangeInWords(double low, double high, bool whole) {
  const std::string range =
      std::string(whole ? "a whole number" : "a number") + " from " + numberText(low) + " to " + numberText(high);
  return CLI::Validator(
      [=](std::string& text) -> std::string {
        std::size_t used = 0;
        double value = 0;
        try {
          value = whole ? static_cast<double>(std::stoll(text, &used)) : std::stod(text, &used);
        } catch (const std::exception&) {
          used = 0;
        }
        if (used == 0 || used != text.size() || !(value >= low && value <= high))
          return "must be " + range + ", not " + text;
        return {};
      },
      range);
}

}  // namespace

CLI::Validator wholeNumberFrom(int low, int high) { return rangeInWords(low, high, true); }
CLI::Validator numberFrom(double low, double high) { return rangeInWords(low, high, false); }

CLI::Validator nonEmptyPath() {
  return CLI::Validator([](std::string& text) -> std::string { return text.empty() ? "must name a file" : ""; },
                        "a file name");
}

base::Result<io::Project> readProject(const std::string& path) {
  base::ConsoleCapture quiet;
  auto project = io::loadProjectFile(path, io::Accept::projectOrExport);
  if (!project) return base::Error{oneLine(project.error())};
  return project;
}

}  // namespace vorlane::tool
