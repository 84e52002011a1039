#include "base/bytes.h"

#include <bit>
#include <cerrno>
#include <cstring>

#include "base/text.h"

namespace vorlane::base {

static_assert(std::endian::native == std::endian::little, "the byte streams assume a little-endian host");

void ByteReader::require(std::uint64_t n) const {
  if (n > remaining()) throw StreamError(kReadError);
}

void ByteReader::bytes(std::uint8_t* out, std::size_t n) {
  require(n);
  if (n) std::memcpy(out, data_.data() + pos_, n);
  pos_ += n;
}

std::int32_t ByteReader::int32() {
  std::int32_t v;
  bytes(reinterpret_cast<std::uint8_t*>(&v), 4);
  return v;
}

float ByteReader::float32() {
  float v;
  bytes(reinterpret_cast<std::uint8_t*>(&v), 4);
  return v;
}

std::uint8_t ByteReader::byte() {
  require(1);
  return data_[pos_++];
}

std::string ByteReader::line() {
  std::string raw;
  while (pos_ < data_.size()) {
    std::uint8_t b = data_[pos_++];
    if (b == 0x0A || b == 0x00) break;
    if (b != 0x0D) raw += static_cast<char>(b);
  }
  return fromFileBytes(raw);
}

void ByteWriter::bytes(const std::uint8_t* data, std::size_t n) {
  buffer_.insert(buffer_.end(), data, data + n);
  maybeFlush();
}

void ByteWriter::int32(std::int32_t v) { bytes(reinterpret_cast<const std::uint8_t*>(&v), 4); }

void ByteWriter::float32(float v) { bytes(reinterpret_cast<const std::uint8_t*>(&v), 4); }

void ByteWriter::byte(int v) {
  buffer_.push_back(static_cast<std::uint8_t>(v & 0xFF));
  maybeFlush();
}

void ByteWriter::line(std::string_view text) {
  std::string raw = toFileBytes(text);
  raw += "\r\n";
  bytes(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size());
}

void ByteWriter::flush() {
  if (!file_) return;
  if ((!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) ||
      std::fflush(file_) != 0) {
    failure_ = errno;
    throw StreamError(kWriteError);
  }
  buffer_.clear();
}

}  // namespace vorlane::base
