#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <new>
#include <system_error>

#include "base/bytes.h"

namespace vorlane::platform {

bool isRegularFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(std::filesystem::u8path(path), ec);
}

namespace {

struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

base::Result<std::vector<std::uint8_t>> readWholeFile(const std::string& path, std::uint64_t maxBytes) {
  if (!isRegularFile(path)) return base::Error{kUnableToOpenFile};
  const Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  struct stat st {};
  if (file.fd < 0 || ::fstat(file.fd, &st) != 0) return base::Error{kUnableToOpenFile};
  const std::uint64_t size = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
  if (size > maxBytes) return base::Error{kFileTooLarge};
  std::vector<std::uint8_t> data;
  try {
    // One spare byte shows whether the file grew past its size while being read.
    data.resize(static_cast<std::size_t>(size) + 1);
    std::size_t filled = 0;
    for (;;) {
      if (filled == data.size()) {
        if (data.size() > maxBytes) return base::Error{kFileTooLarge};
        data.resize(std::min<std::uint64_t>(data.size() * 2, maxBytes + 1));
      }
      const ::ssize_t n = ::read(file.fd, data.data() + filled, data.size() - filled);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return base::Error{base::kReadError};
      if (n == 0) break;
      filled += static_cast<std::size_t>(n);
    }
    data.resize(filled);
  } catch (const std::bad_alloc&) {
    return base::outOfMemory("read " + path);
  }
  return data;
}

}  // namespace vorlane::platform
