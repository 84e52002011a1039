#include "formats/layer_data.h"

#include <zlib.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <vector>

namespace vorlane::formats {

namespace {

constexpr std::array<std::string_view, 5> kNames = {"csv", "base64", "zlib", "gzip", "zstd"};

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool isSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

std::string countMessage(std::size_t expected) {
  return "the layer data does not hold exactly " + std::to_string(expected) + " tiles";
}

base::Status decodeCsv(std::string_view text, std::span<std::uint32_t> out) {
  std::size_t n = 0;
  const char* p = text.data();
  const char* end = p + text.size();
  auto skipSpace = [&] {
    while (p < end && isSpace(*p)) ++p;
  };
  skipSpace();
  if (p == end) return out.empty() ? base::success() : base::Status(base::Error{countMessage(out.size())});
  for (;;) {
    std::uint32_t v = 0;
    auto [next, ec] = std::from_chars(p, end, v);
    if (ec == std::errc::result_out_of_range) return base::Error{"a GID in the layer data is larger than 4294967295"};
    if (ec != std::errc() || next == p) return base::Error{"the layer data is not a list of numbers"};
    if (n == out.size()) return base::Error{countMessage(out.size())};
    out[n++] = v;
    p = next;
    skipSpace();
    if (p == end) break;
    if (*p != ',') return base::Error{"the layer data is not a list of numbers"};
    ++p;
    skipSpace();
    if (p == end) break;  // a trailing comma
  }
  if (n != out.size()) return base::Error{countMessage(out.size())};
  return base::success();
}

base::Result<std::vector<std::uint8_t>> decodeBase64(std::string_view text) {
  static const std::array<std::int8_t, 256> value = [] {
    std::array<std::int8_t, 256> t{};
    t.fill(-1);
    for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kBase64[i])] = static_cast<std::int8_t>(i);
    return t;
  }();
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 4 * 3 + 3);
  std::uint32_t bits = 0;
  int held = 0, padding = 0;
  for (char c : text) {
    if (isSpace(c)) continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    const int v = value[static_cast<unsigned char>(c)];
    if (v < 0 || padding > 0) return base::Error{"the layer data is not valid base64"};
    bits = (bits << 6) | static_cast<std::uint32_t>(v);
    held += 6;
    if (held >= 8) {
      held -= 8;
      bytes.push_back(static_cast<std::uint8_t>(bits >> held));
    }
  }
  if (padding > 2 || held >= 6) return base::Error{"the layer data is not valid base64"};
  return bytes;
}

const char* kTooLong = "the layer data inflates to more than its width and height hold";

// Inflates into exactly `out`: data that would inflate further is refused as soon as it does.
base::Status inflateInto(std::span<const std::uint8_t> in, std::span<std::uint8_t> out, Encoding encoding) {
  const std::string invalid =
      std::string("the layer data is not valid ") + (encoding == Encoding::gzip ? "gzip" : "zlib") + " data";
  if (in.size() > UINT32_MAX || out.size() > UINT32_MAX) return base::Error{kTooLong};
  z_stream z{};
  // 15 + 16: gzip only; 15: zlib only.
  if (inflateInit2(&z, encoding == Encoding::gzip ? 15 + 16 : 15) != Z_OK) return base::Error{"out of memory"};
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  int rc = inflate(&z, Z_FINISH);
  const bool full = z.avail_out == 0;
  if (rc != Z_STREAM_END && full) {
    // The output is full but the stream goes on: one byte more tells its end marker from more data.
    std::uint8_t extra = 0;
    z.next_out = &extra;
    z.avail_out = 1;
    rc = inflate(&z, Z_FINISH);
    if (z.avail_out == 0) {
      inflateEnd(&z);
      return base::Error{kTooLong};
    }
  }
  inflateEnd(&z);
  if (rc != Z_STREAM_END) return base::Error{invalid};
  if (!full) return base::Error{countMessage(out.size() / 4)};
  return base::success();
}

base::Status unzstdInto(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  // One call into the caller's buffer: no window of the frame's choosing is allocated.
  const std::size_t n = ZSTD_decompress(out.data(), out.size(), in.data(), in.size());
  if (ZSTD_isError(n)) {
    if (ZSTD_getErrorCode(n) == ZSTD_error_dstSize_tooSmall) return base::Error{kTooLong};
    return base::Error{"the layer data is not valid zstd data"};
  }
  if (n != out.size()) return base::Error{countMessage(out.size() / 4)};
  return base::success();
}

void appendBase64(std::span<const std::uint8_t> bytes, std::string& out) {
  std::size_t i = 0;
  out.reserve(out.size() + (bytes.size() + 2) / 3 * 4);
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    const char quad[4] = {kBase64[v >> 18], kBase64[(v >> 12) & 63], kBase64[(v >> 6) & 63], kBase64[v & 63]};
    out.append(quad, 4);
  }
  if (i < bytes.size()) {
    std::uint32_t v = std::uint32_t{bytes[i]} << 16;
    if (i + 1 < bytes.size()) v |= std::uint32_t{bytes[i + 1]} << 8;
    out += kBase64[v >> 18];
    out += kBase64[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kBase64[(v >> 6) & 63] : '=';
    out += '=';
  }
}

std::vector<std::uint8_t> deflateBytes(std::span<const std::uint8_t> in, bool gzip) {
  z_stream z{};
  deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, gzip ? 15 + 16 : 15, 8, Z_DEFAULT_STRATEGY);
  std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(in.size())) + 32);
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return out;
}

std::vector<std::uint8_t> zstdBytes(std::span<const std::uint8_t> in) {
  std::vector<std::uint8_t> out(ZSTD_compressBound(in.size()));
  const std::size_t n = ZSTD_compress(out.data(), out.size(), in.data(), in.size(), ZSTD_CLEVEL_DEFAULT);
  out.resize(ZSTD_isError(n) ? 0 : n);
  return out;
}

}  // namespace

std::string_view encodingName(Encoding encoding) { return kNames[static_cast<std::size_t>(encoding)]; }

std::optional<Encoding> encodingNamed(std::string_view name) {
  for (std::size_t i = 0; i < kNames.size(); ++i)
    if (kNames[i] == name) return static_cast<Encoding>(i);
  return std::nullopt;
}

std::optional<Encoding> encodingOf(std::string_view encoding, std::string_view compression) {
  if (encoding == "csv" && compression.empty()) return Encoding::csv;
  if (encoding != "base64") return std::nullopt;
  if (compression.empty()) return Encoding::base64;
  auto e = encodingNamed(compression);
  if (!e || *e == Encoding::csv || *e == Encoding::base64) return std::nullopt;
  return e;
}

base::Status decodeGids(std::string_view text, Encoding encoding, std::span<std::uint32_t> out) {
  if (encoding == Encoding::csv) return decodeCsv(text, out);
  auto bytes = decodeBase64(text);
  if (!bytes) return base::Error{bytes.error()};
  std::span<std::uint8_t> target(reinterpret_cast<std::uint8_t*>(out.data()), out.size_bytes());
  if (encoding == Encoding::base64) {
    if (bytes->size() != target.size()) return base::Error{countMessage(out.size())};
    std::memcpy(target.data(), bytes->data(), target.size());
  } else {
    auto status = encoding == Encoding::zstd ? unzstdInto(*bytes, target) : inflateInto(*bytes, target, encoding);
    if (!status) return status;
  }
  // The bytes are little-endian.
  if constexpr (std::endian::native == std::endian::big)
    for (auto& v : out) v = __builtin_bswap32(v);
  return base::success();
}

base::Result<std::vector<std::uint32_t>> decodeGids(std::string_view text, Encoding encoding, std::size_t count) {
  // The fewest text bytes per GID: CSV "0,", base64 4 bytes in 16/3 characters; deflate
  // stores at most 1032 bytes a byte and zstd 32768 (runs of one byte), each as 4/3 text.
  const double perGid[] = {2, 16.0 / 3, 16.0 / 3 / 1032, 16.0 / 3 / 1032, 16.0 / 3 / 32768};
  const double needed = static_cast<double>(count) * perGid[static_cast<std::size_t>(encoding)] - 64;
  if (static_cast<double>(text.size()) < needed) return base::Error{countMessage(count)};
  std::vector<std::uint32_t> gids(count);
  auto status = decodeGids(text, encoding, std::span<std::uint32_t>(gids));
  if (!status) return base::Error{status.error()};
  return gids;
}

void appendNumber(std::string& out, std::uint32_t n) {
  char digits[10];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, n);
  out.append(digits, end);
}

void encodeGids(std::span<const std::uint32_t> gids, std::int32_t columns, Encoding encoding, std::string& out) {
  if (encoding == Encoding::csv) {
    out.reserve(out.size() + gids.size() * 4);
    for (std::size_t i = 0; i < gids.size(); ++i) {
      if (i > 0) out += (columns > 0 && i % static_cast<std::size_t>(columns) == 0) ? ",\n" : ",";
      appendNumber(out, gids[i]);
    }
    return;
  }
  std::vector<std::uint8_t> raw(gids.size() * 4);
  for (std::size_t i = 0; i < gids.size(); ++i)
    for (int k = 0; k < 4; ++k) raw[i * 4 + k] = static_cast<std::uint8_t>(gids[i] >> (8 * k));
  if (encoding == Encoding::base64) return appendBase64(raw, out);
  if (encoding == Encoding::zstd) return appendBase64(zstdBytes(raw), out);
  appendBase64(deflateBytes(raw, encoding == Encoding::gzip), out);
}

}  // namespace vorlane::formats
