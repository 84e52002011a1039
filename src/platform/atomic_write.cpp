#include "platform/atomic_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <new>
#include <system_error>

#include "base/console.h"
#include "platform/files.h"

namespace vorlane::platform {

namespace fs = std::filesystem;

namespace {

constexpr std::time_t kAbandonedAfterSeconds = 24 * 60 * 60;
constexpr std::size_t kTemporaryNameLength = 12;  // the prefix and mkstemp's six characters

fs::path folderOf(const fs::path& target) {
  fs::path folder = target.parent_path();
  return folder.empty() ? fs::path(".") : folder;
}

// Words a user can act on for the errors a save meets; others in the C library's words.
std::string cause(int error, const fs::path& target) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      return "the disk is full";
    case EACCES:
    case EPERM:
      return "permission denied";
    case EROFS:
      return "the file system is read-only";
    case ENOENT:
      return "the folder " + folderOf(target).string() + " does not exist";
    case ENOTDIR:
      return "a part of the folder " + folderOf(target).string() + " is not a folder";
    case EISDIR:
      return "it is a folder";
    case EFBIG:
      return "the file is larger than the file system or its limit allows";
    default:
      return std::strerror(error);
  }
}

base::Error failure(const char* firstLine, const fs::path& target, int error) {
  return base::Error{std::string(firstLine) + "\n" + target.string() + ": " + cause(error, target) + "."};
}

// Where the bytes really go: through a symbolic link (and chains of them) to the file it
// names, existing or not, so the link stays a link.
fs::path resolveTarget(const std::string& path) {
  std::error_code ec;
  fs::path target = fs::u8path(path);
  for (int hop = 0; hop < 40 && fs::is_symlink(target, ec); ++hop) {
    const fs::path next = fs::read_symlink(target, ec);
    if (ec) break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

bool isTemporaryName(const char* name) {
  return std::strlen(name) == kTemporaryNameLength && std::strncmp(name, kTemporaryPrefix, 6) == 0;
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// New files get what open(…, 0666) would give them.
mode_t newFileMode() {
  static const mode_t mask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return 0666 & ~mask;
}

// A temporary in `folder`, locked for as long as it is written; -1 with errno set when none
// can be made. A cleaner may take a fresh temporary before its lock: then it is gone or
// another file by now, and a new one is made.
int createTemporary(const fs::path& folder, std::string& name) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string pattern = (folder / (std::string(kTemporaryPrefix) + "XXXXXX")).string();
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat byFd {}, byName {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &byFd) == 0 && ::stat(pattern.c_str(), &byName) == 0 &&
        sameFile(byFd, byName)) {
      name = std::move(pattern);
      return fd;
    }
    ::close(fd);
  }
  errno = EEXIST;
  return -1;
}

// Makes the rename durable; failures here do not undo a complete file.
void syncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

void removeAbandonedTemporaries(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const std::time_t now = std::time(nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    if (!isTemporaryName(entry->d_name)) continue;
    const std::string path = (fs::path(folder) / entry->d_name).string();
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st {}, again {};
    const bool ours = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const bool abandoned = ours && (::flock(fd, LOCK_EX | LOCK_NB) == 0 || now - st.st_mtime > kAbandonedAfterSeconds);
    // Still the file that was judged (a name is reused only after its removal).
    if (abandoned && ::lstat(path.c_str(), &again) == 0 && sameFile(st, again) && ::unlink(path.c_str()) == 0)
      base::consoleLine("Removed " + path + ", a temporary file an interrupted save left behind.");
    ::close(fd);
  }
  ::closedir(dir);
}

namespace {

// The target's checks before anything is written; the file the bytes go to on success.
base::Result<fs::path> checkTarget(const std::string& path, struct stat& existing, bool& exists) {
  if (path.empty()) return base::Error{kUnableToOpenFile};
  fs::path target = resolveTarget(path);
  exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return failure(kUnableToOpenFile, target, EISDIR);
  // A device or a pipe is not replaced by a plain file.
  if (exists && !S_ISREG(existing.st_mode))
    return base::Error{std::string(kUnableToOpenFile) + "\n" + target.string() + ": it is not a regular file."};
  // A file that could not be opened for writing is not replaced either.
  if (exists && ::access(target.c_str(), W_OK) != 0) return failure(kUnableToOpenFile, target, errno);
  return target;
}

}  // namespace

base::Status checkWritable(const std::string& path) {
  struct stat existing {};
  bool exists = false;
  auto target = checkTarget(path, existing, exists);
  if (!target) return base::Error{target.error()};
  std::string temporary;
  const int fd = createTemporary(folderOf(*target), temporary);
  if (fd < 0) return failure(kUnableToOpenFile, *target, errno);
  ::unlink(temporary.c_str());
  ::close(fd);
  return base::success();
}

StagedFiles::~StagedFiles() { discard(); }

void StagedFiles::discard() {
  for (const Staged& s : staged_) {
    ::unlink(s.temporary.c_str());
    std::fclose(s.file);
  }
  staged_.clear();
}

base::Status StagedFiles::commit() {
  base::Status status = base::success();
  std::size_t renamed = 0;
  // Renamed while still locked, so no cleaner takes one for abandoned in between.
  for (; renamed < staged_.size() && status; ++renamed) {
    const Staged& s = staged_[renamed];
    if (std::rename(s.temporary.c_str(), s.target.c_str()) != 0) status = failure(base::kWriteError, s.target, errno);
  }
  if (!status) --renamed;
  for (std::size_t i = 0; i < staged_.size(); ++i) {
    if (i >= renamed) ::unlink(staged_[i].temporary.c_str());
    std::fclose(staged_[i].file);
    if (i < renamed && (i == 0 || folderOf(staged_[i].target) != folderOf(staged_[i - 1].target)))
      syncFolder(folderOf(staged_[i].target));
  }
  staged_.clear();
  return status;
}

base::Status writeFileAtomically(const std::string& path, const std::function<void(base::ByteWriter&)>& body) {
  StagedFiles file;
  auto status = file.add(path, body);
  return status ? file.commit() : status;
}

base::Status StagedFiles::add(const std::string& path, const std::function<void(base::ByteWriter&)>& body) {
  struct stat existing {};
  bool exists = false;
  auto checked = checkTarget(path, existing, exists);
  if (!checked) return base::Error{checked.error()};
  const fs::path& target = *checked;
  const fs::path folder = folderOf(target);

  removeAbandonedTemporaries(folder.string());
  std::string temporary;
  const int fd = createTemporary(folder, temporary);
  if (fd < 0) return failure(kUnableToOpenFile, target, errno);
  // A replaced file keeps its permissions.
  ::fchmod(fd, exists ? existing.st_mode & 07777 : newFileMode());
  std::FILE* file = ::fdopen(fd, "wb");
  if (!file) {
    const int error = errno;
    ::unlink(temporary.c_str());
    ::close(fd);
    return failure(kUnableToOpenFile, target, error);
  }
  // ByteWriter buffers already.
  std::setvbuf(file, nullptr, _IONBF, 0);

  base::ByteWriter out(file);
  base::Status status = base::success();
  try {
    body(out);
    out.flush();
    if (::fsync(fd) != 0) status = failure(base::kWriteError, target, errno);
  } catch (const base::StreamError& e) {
    status = out.failure() ? failure(base::kWriteError, target, out.failure()) : base::Error{e.what()};
  } catch (const base::FormatError& e) {
    status = base::Error{e.what()};
  } catch (const std::bad_alloc&) {
    status = base::outOfMemory("write " + target.string());
  } catch (const std::exception&) {
    // Whatever stopped the body, the half-written file must not stay behind.
    status = base::Error{base::kWriteError};
  }
  if (!status) {
    ::unlink(temporary.c_str());
    std::fclose(file);
    return status;
  }
  staged_.push_back({target.string(), std::move(temporary), file});
  return status;
}

}  // namespace vorlane::platform
