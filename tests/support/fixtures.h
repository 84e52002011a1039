#pragma once
// Small fixtures the tests make themselves: a temporary folder, and image files written
// with libpng, libjpeg and a tiny BMP writer.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/image.h"

namespace vorlane::test {

// A fresh folder removed with everything in it when the fixture dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readFile(const std::string& path);

// An image of w × h whose pixel (x, y) is (x * 16 + 1, y * 16 + 1, x + y + 1, 255 - x).
platform::Image patternImage(int w, int h);
// An image of w × h with every pixel set to one colour.
platform::Image solidImage(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255);

// A 24-bit (or 32-bit with alpha) bottom-up BMP of the image.
std::vector<std::uint8_t> encodeBmp(const platform::Image& image, int bitsPerPixel = 24);
// An RGBA (or RGB when withAlpha is false) 8-bit PNG of the image.
std::vector<std::uint8_t> encodePng(const platform::Image& image, bool withAlpha = true);

}  // namespace vorlane::test
