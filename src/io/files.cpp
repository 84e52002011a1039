// The file commands: naming rules, whole-file loading, and saving through a temporary file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "base/console.h"
#include "base/text.h"
#include "io/project.h"
#include "platform/encode.h"
#include "platform/files.h"

namespace vorlane::io {

std::string saveFileName(const std::string& name) {
  const auto dot = name.rfind('.');
  const bool hasExtension = dot != std::string::npos && name.find_first_of("/\\", dot) == std::string::npos;
  if (hasExtension && name.compare(dot + 1, std::string::npos, "vorl") == 0) return name;
  return name + ".vorl";
}

bool isCancelledLoadName(const std::string& name) { return name.empty() || name == " "; }

namespace {

struct FileBytes {
  std::unique_ptr<std::uint8_t[]> data;
  std::size_t size = 0;
};

// The whole file, read straight into one buffer that is neither zeroed first nor copied
// through a chunk: loading is mostly this copy.
base::Result<FileBytes> readFile(const std::string& path) {
  if (!platform::isRegularFile(path)) return base::Error{kUnableToOpen};
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return base::Error{kUnableToOpen};
  struct stat st {};
  std::size_t capacity = ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 1 << 16;
  FileBytes file;
  try {
    file.data.reset(new std::uint8_t[capacity]);
    for (;;) {
      if (file.size == capacity) {  // the file grew while being read
        std::unique_ptr<std::uint8_t[]> bigger(new std::uint8_t[capacity * 2]);
        std::memcpy(bigger.get(), file.data.get(), file.size);
        file.data = std::move(bigger);
        capacity *= 2;
      }
      const ::ssize_t n = ::read(fd, file.data.get() + file.size, std::min<std::size_t>(capacity - file.size, 1 << 30));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        ::close(fd);
        return base::Error{base::kReadError};
      }
      if (n == 0) break;
      file.size += static_cast<std::size_t>(n);
    }
  } catch (const std::bad_alloc&) {
    ::close(fd);
    return base::outOfMemory("read " + path);
  }
  ::close(fd);
  return file;
}

}  // namespace

namespace {

std::string whatWasWrong(const std::string& error, const ParseFailure& where, std::size_t size) {
  if (error != base::kReadError) return error;  // a value out of range, or memory
  if (where.mapSectionOnly) return "an exported map (the map alone, without tilesets), not a project";
  return "the file ends after " + std::to_string(size) + " bytes, inside the " + (where.inTilesets ? "tilesets" : "map");
}

}  // namespace

base::Result<Project> loadProjectFile(const std::string& path, Accept accept) {
  auto file = readFile(path);
  if (!file) return base::Error{file.error()};
  ParseFailure where;
  auto project = parseProject(std::span<const std::uint8_t>(file->data.get(), file->size), accept, &where);
  if (project) return project;
  return base::Error{base::withFileDetail(base::kReadError, path, whatWasWrong(project.error(), where, file->size))};
}

namespace {

// The plan comes first: a text the file cannot hold stops the save before any file is touched.
base::Result<SavePlan> planSave(const map::Map& map, std::span<const TilesetEntry> tilesets) {
  try {
    return SavePlan(map, tilesets);
  } catch (const base::FormatError& e) {
    return base::Error{e.what()};
  }
}

}  // namespace

base::Status saveProjectFile(const std::string& name, const map::Map& map, std::span<const TilesetEntry> tilesets,
                             ShownSelected selected) {
  if (name.empty()) return base::success();
  auto plan = planSave(map, tilesets);
  if (!plan) return base::Error{plan.error()};
  plan->setSelected(selected);
  auto status = writeFileAtomically(saveFileName(name), [&](base::ByteWriter& out) {
    saveMap(map, out, plan.value());
    writeTilesetSection(tilesets, out, plan.value());
  });
  // Printed only once the file is really in place, so the console never claims a failed save.
  if (status) base::consoleLine("Saved:" + name);
  return status;
}

base::Status exportMapFile(const std::string& name, const map::Map& map, ShownSelected selected) {
  if (name.empty()) return base::success();
  auto plan = planSave(map, {});
  if (!plan) return base::Error{plan.error()};
  plan->setSelected(selected);
  return writeFileAtomically(saveFileName(name), [&](base::ByteWriter& out) { saveMap(map, out, plan.value()); });
}

base::Status writePngFile(const std::string& path, const platform::Image& image, bool withAlpha, int zlibLevel) {
  if (image.width <= 0 || image.height <= 0) return base::Error{"An image without pixels cannot be a PNG."};
  // Row by row into the temporary: no second copy of the image as PNG bytes in memory.
  return writeFileAtomically(path, [&](base::ByteWriter& out) { platform::encodePng(image, withAlpha, out, zlibLevel); });
}

}  // namespace vorlane::io
