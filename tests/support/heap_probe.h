#pragma once
// The heap use of the running program, counted by a replaced global operator new. Only a
// test program that compiles heap_probe.cpp in has it (the replacement is program-wide).
#include <cstddef>

namespace vorlane::test {

// Measures from its construction on: the most bytes live at once above what was live then,
// and the largest single allocation. One probe at a time, single-threaded code only.
class HeapProbe {
 public:
  HeapProbe();
  HeapProbe(const HeapProbe&) = delete;
  HeapProbe& operator=(const HeapProbe&) = delete;
  std::size_t peak() const;
  std::size_t largest() const;

 private:
  std::size_t before_;
};

}  // namespace vorlane::test
