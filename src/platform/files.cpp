#include "platform/files.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace vorlane::platform {

bool isRegularFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(std::filesystem::u8path(path), ec);
}

base::Result<std::vector<std::uint8_t>> readWholeFile(const std::string& path) {
  if (!isRegularFile(path)) return base::Error{"Unable to open file."};
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return base::Error{"Unable to open file."};
  std::vector<std::uint8_t> data;
  std::error_code ec;
  auto size = std::filesystem::file_size(std::filesystem::u8path(path), ec);
  if (!ec) data.reserve(size);
  std::uint8_t chunk[1 << 16];
  // Read in chunks rather than trusting the size reported up front.
  for (;;) {
    std::size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
    data.insert(data.end(), chunk, chunk + n);
    if (n < sizeof chunk) break;
  }
  if (std::ferror(file.get())) return base::Error{"Error reading from stream"};
  return data;
}

}  // namespace vorlane::platform
