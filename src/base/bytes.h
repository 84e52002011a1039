#pragma once
// Little-endian byte streams for the project file: int32, float32, byte and CR LF lines.
// Readers work on a buffer already in memory; writers buffer and flush in large blocks.
#include <cstdint>
#include <cstdio>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vorlane::base {

// A read past the end, or a write the file system refused.
class StreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A value that breaks the format's ranges; the message names the field.
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kReadError = "Error reading from stream";
inline constexpr const char* kWriteError = "Error writing to stream";

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

  std::int32_t int32();
  float float32();
  std::uint8_t byte();
  // Until 0x0A, 0x00 or the end; every 0x0D dropped; bytes become characters 0..255 (UTF-8).
  std::string line();
  // Copies n bytes; throws StreamError when fewer remain.
  void bytes(std::uint8_t* out, std::size_t n);
  // Throws StreamError unless n bytes remain: the guard before any allocation sized by the file.
  void require(std::uint64_t n) const;

  std::size_t remaining() const { return data_.size() - pos_; }
  std::size_t position() const { return pos_; }
  bool atEnd() const { return pos_ == data_.size(); }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
};

class ByteWriter {
 public:
  // Collects everything in memory (see data()).
  ByteWriter() = default;
  // Flushes to the open file in large blocks; the caller owns the file.
  explicit ByteWriter(std::FILE* file) : file_(file) {}
  ~ByteWriter() = default;
  ByteWriter(const ByteWriter&) = delete;
  ByteWriter& operator=(const ByteWriter&) = delete;

  void int32(std::int32_t v);
  void float32(float v);
  void byte(int v);
  // The low 8 bits of each character, then 0x0D 0x0A.
  void line(std::string_view text);
  void bytes(const std::uint8_t* data, std::size_t n);
  // Writes out the buffer; throws StreamError on a refused write.
  void flush();
  // The errno of the write the file system refused, 0 while none was.
  int failure() const { return failure_; }

  const std::vector<std::uint8_t>& data() const { return buffer_; }

 private:
  void maybeFlush() {
    if (file_ && buffer_.size() >= kBlock) flush();
  }
  static constexpr std::size_t kBlock = 1 << 20;
  std::FILE* file_ = nullptr;
  std::vector<std::uint8_t> buffer_;
  int failure_ = 0;
};

}  // namespace vorlane::base
