#pragma once
// Runs work in a forked child: one that may end by a signal, change its user or mounts, or
// live under an address-space limit (setrlimit), so that a test of a memory bound fails,
// rather than swaps, when the bound regresses.
#include <cstdint>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace vorlane::test {

struct ChildOutcome {
  bool exited = false;  // false: ended by a signal (an abort, std::terminate)
  int status = 0;       // the exit status, or the signal
  std::string text;     // what work returned
  std::string describe() const;
};

// No limit when addressSpaceBytes is 0.
ChildOutcome runInChild(const std::function<std::string()>& work, std::uint64_t addressSpaceBytes = 0);

// Starts args[0] with the arguments that follow (no shell); 127 is its exit status when it
// cannot be run.
pid_t spawnProgram(std::vector<std::string> args);

// Sanitizers reserve terabytes of address space: the limit cannot apply to their builds.
bool memoryLimitsApply();

inline constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

}  // namespace vorlane::test
