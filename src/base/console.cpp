#include "base/console.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace vorlane::base {

namespace {
std::mutex sinkMutex;
ConsoleSink& currentSink() {
  static ConsoleSink sink;
  return sink;
}
}  // namespace

void consoleLine(std::string_view line) {
  std::lock_guard lock(sinkMutex);
  if (auto& sink = currentSink()) {
    sink(line);
    return;
  }
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

ConsoleSink setConsoleSink(ConsoleSink sink) {
  std::lock_guard lock(sinkMutex);
  return std::exchange(currentSink(), std::move(sink));
}

ConsoleCapture::ConsoleCapture()
    : previous_(setConsoleSink([this](std::string_view line) { lines_.emplace_back(line); })) {}

ConsoleCapture::~ConsoleCapture() { setConsoleSink(std::move(previous_)); }

}  // namespace vorlane::base
