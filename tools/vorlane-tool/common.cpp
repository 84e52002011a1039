#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "base/console.h"
#include "commands.h"
#include "platform/memory.h"

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

namespace {
int firstOutputError = 0;
}  // namespace

void noteOutputError() {
  if (firstOutputError == 0) firstOutputError = errno;
}

base::Status closeStandardOutput() {
  // A write refused earlier (a full disk) leaves the error flag; the buffer's last bytes go now
  // (std::cout shares the buffer of stdout).
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  int error = flushed ? 0 : errno;
  std::cout.flush();
  const bool failedBefore = std::ferror(stdout) != 0;
  if (std::fclose(stdout) != 0 && error == 0) error = errno;
  if (error == 0) error = firstOutputError;
  if (flushed && !failedBefore && error == 0) return base::success();
  return base::Error{std::string("cannot write the output: ") + (error != 0 ? std::strerror(error) : "a write was refused")};
}

std::string inThisFolder(const std::string& path) {
  return path.empty() || path.find_first_of("/\\") != std::string::npos ? path : "./" + path;
}

base::Status checkMemoryFor(const std::string& what, std::uint64_t need) {
  const std::uint64_t available = platform::availableMemory();
  if (need <= available) return base::success();
  auto mib = [](std::uint64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20); };
  return base::Error{base::kNotEnoughMemory + what + ": it needs about " + mib(need) + " MiB, and " + mib(available) +
                     " MiB are available."};
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat first {}, second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

std::optional<int> refuseOwnInput(const std::string& output, std::initializer_list<std::string> inputs) {
  for (const std::string& input : inputs)
    if (!input.empty() && sameFile(output, input))
      return fail(output, "this is the input " + input + "; writing it would replace what is being read");
  return std::nullopt;
}

base::Result<io::Project> readProject(const std::string& path) {
  base::ConsoleCapture quiet;
  auto project = io::loadProjectFile(path, io::Accept::projectOrExport);
  if (!project) return base::Error{oneLine(project.error())};
  return project;
}

}  // namespace vorlane::tool
