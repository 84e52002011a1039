// One libFuzzer entry point for every target: VORLANE_FUZZ_CHECK names the check of
// tests/hardening/checks.h to run, so the unit tests replay findings with the same checks.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "base/console.h"
#include "hardening/checks.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vorlane::base::setConsoleSink([](std::string_view) {});  // the project reader's progress lines
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string problem = vorlane::hardening::VORLANE_FUZZ_CHECK({data, size});
  if (!problem.empty()) {
    std::fprintf(stderr, "check failed: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
