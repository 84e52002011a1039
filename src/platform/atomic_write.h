#pragma once
// The one way every file of ours is written: into a temporary file beside the target, flushed
// and synced, then renamed over it, so the target is always the old file or the new one,
// whole. A symbolic link is kept: the file it points to is the one replaced.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/result.h"

namespace vorlane::platform {

// Temporaries are ".vorl-" and six letters from mkstemp: short enough that any name the
// target may have fits beside them.
inline constexpr const char* kTemporaryPrefix = ".vorl-";

// Writes `path` through a temporary file. `body` may throw base::StreamError or
// base::FormatError; the temporary is then removed and the error returned. Failures keep
// the first line "Unable to open file." (nothing could be created) or "Error writing to
// stream" (a write was refused), followed by a line naming the file and the cause.
// Temporaries that earlier writers left in the folder are removed first (see below).
base::Status writeFileAtomically(const std::string& path, const std::function<void(base::ByteWriter&)>& body);

// Files that change together, such as a map and the images it names: each is written into a
// locked temporary beside its target, and commit renames them in the order they were added,
// so the one added last (the file naming the others) changes last. Until commit no target
// is touched; a set dropped uncommitted removes its temporaries and nothing else.
class StagedFiles {
 public:
  StagedFiles() = default;
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;
  ~StagedFiles();

  // Writes the temporary of `path`; fails as writeFileAtomically does.
  base::Status add(const std::string& path, const std::function<void(base::ByteWriter&)>& body);
  base::Status commit();

 private:
  struct Staged {
    std::string target, temporary;
    std::FILE* file;  // holds the lock that marks the temporary as in use
  };
  void discard();
  std::vector<Staged> staged_;
};

// Whether writeFileAtomically could create `path` now (a temporary is made and removed):
// the same failures it would give before writing anything.
base::Status checkWritable(const std::string& path);

// Removes the temporaries in `folder` whose writer is gone: a writer holds a lock on its
// temporary until it is renamed, so an unlocked one was abandoned (or one older than a day,
// whatever holds it). Prints a console line for each.
void removeAbandonedTemporaries(const std::string& folder);

}  // namespace vorlane::platform
