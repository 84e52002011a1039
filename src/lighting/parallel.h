#pragma once
// The renderer's threads: oneTBB's work stealing, internal to lighting/. Pieces of work go to
// whichever thread is free and idle threads sleep, so a core taken by another process delays
// only the piece its thread holds, never a barrier of the whole team.
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <cstdint>

namespace vorlane::lighting::detail {

// Every core the process may run on (its CPU affinity), at most `cap` when cap > 0.
std::int32_t threadCount(std::int32_t cap);

// Calls body(begin, end) for runs of [0, n) of about `grain` items, on the current arena's
// threads. An exception thrown by a body reaches the caller once the others have stopped.
template <typename Body>
void forEachRange(std::int64_t n, std::int64_t grain, const Body& body) {
  if (n <= 0) return;
  tbb::parallel_for(tbb::blocked_range<std::int64_t>(0, n, grain > 0 ? grain : 1),
                    [&](const tbb::blocked_range<std::int64_t>& r) { body(r.begin(), r.end()); });
}

}  // namespace vorlane::lighting::detail
