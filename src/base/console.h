#pragma once
// Console lines (progress and diagnostics) go through one sink so tests can read them.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlane::base {

// Writes a whole line to standard output and flushes, or to the installed sink.
void consoleLine(std::string_view line);

// Installs a sink for console lines; returns the previous one. An empty sink means stdout.
using ConsoleSink = std::function<void(std::string_view)>;
ConsoleSink setConsoleSink(ConsoleSink sink);

// Collects console lines while alive (tests, and the tool's --quiet).
class ConsoleCapture {
 public:
  ConsoleCapture();
  ~ConsoleCapture();
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;
  const std::vector<std::string>& lines() const { return lines_; }
  void clear() { lines_.clear(); }

 private:
  std::vector<std::string> lines_;
  ConsoleSink previous_;
};

}  // namespace vorlane::base
