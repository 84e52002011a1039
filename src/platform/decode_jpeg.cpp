#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <cstring>

#include "platform/decode.h"

namespace vorlane::platform {

namespace {

// Entropy-coded data can describe a plain image in very few bits (progressive end-of-band
// runs above all), so the pixel count a file may ask for grows with its size: enough for
// any real photograph, far from the 1 GiB a 60-byte header could otherwise claim.
constexpr std::uint64_t kPixelsPerByte = 1024;
constexpr std::uint64_t kFreePixels = 1u << 20;
// A progressive file can hold thousands of tiny scans that each cost a pass over the image.
constexpr int kMaxScans = 500;

// Plain data only: the error hooks longjmp out of libjpeg.
struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX + 32];
};

[[noreturn]] void fail(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  char text[JMSG_LENGTH_MAX];
  err->mgr.format_message(cinfo, text);
  std::snprintf(err->message, sizeof err->message, "Invalid JPEG file: %s.", text);
  std::longjmp(err->jump, 1);
}

// Warnings are silent, except those saying the image data ended early: libjpeg would fill
// the rest of the image with grey, and a truncated file is an error here.
void onMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && (cinfo->err->msg_code == JWRN_JPEG_EOF || cinfo->err->msg_code == JWRN_HIT_MARKER)) fail(cinfo);
}

void onProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
      auto* err = reinterpret_cast<JpegError*>(cinfo->err);
      std::snprintf(err->message, sizeof err->message, "Invalid JPEG file: too many scans.");
      std::longjmp(err->jump, 1);
    }
  }
}

struct JpegHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// The longjmp target: nothing with a destructor lives in this frame.
bool readHeader(jpeg_decompress_struct* cinfo, JpegError* err, jpeg_progress_mgr* progress, const std::uint8_t* data,
                std::size_t size, JpegHeader* header) {
  if (setjmp(err->jump)) return false;
  jpeg_create_decompress(cinfo);  // clears every field but err
  cinfo->progress = progress;
  jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(cinfo, TRUE);
  switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE:
      cinfo->out_color_space = JCS_GRAYSCALE;
      break;
    case JCS_YCbCr:
    case JCS_RGB:
      cinfo->out_color_space = JCS_RGB;
      break;
    case JCS_CMYK:
    case JCS_YCCK:  // libjpeg turns YCCK into CMYK
      cinfo->out_color_space = JCS_CMYK;
      break;
    default:
      std::snprintf(err->message, sizeof err->message, "Invalid JPEG file: only grey and colour images are supported.");
      return false;
  }
  header->width = cinfo->image_width;
  header->height = cinfo->image_height;
  return true;
}

// Ink over white. Adobe's applications store every channel inverted (0 is full ink), and
// libjpeg passes that on; others store the ink itself.
void cmykToRgba(const JSAMPLE* in, std::uint8_t* out, JDIMENSION width, bool inverted) {
  const auto scaled = [](unsigned a, unsigned b) { return static_cast<std::uint8_t>((a * b + 127) / 255); };
  for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 4) {
    const unsigned k = inverted ? in[3] : 255u - in[3];
    for (int c = 0; c < 3; ++c) out[c] = scaled(inverted ? in[c] : 255u - in[c], k);
    out[3] = 255;
  }
}

bool readPixels(jpeg_decompress_struct* cinfo, JpegError* err, std::uint8_t* pixels) {
  if (setjmp(err->jump)) return false;
  const JDIMENSION width = cinfo->image_width;
  jpeg_start_decompress(cinfo);
  if (cinfo->output_width != width || cinfo->output_height != cinfo->image_height) return false;
  const int components = cinfo->output_components;
  JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                               width * static_cast<JDIMENSION>(components), 1);
  while (cinfo->output_scanline < cinfo->output_height) {
    std::uint8_t* out = pixels + static_cast<std::size_t>(cinfo->output_scanline) * width * 4;
    if (jpeg_read_scanlines(cinfo, row, 1) != 1) {
      std::snprintf(err->message, sizeof err->message, "Invalid JPEG file: file truncated.");
      return false;
    }
    const JSAMPLE* in = row[0];
    if (components == 4) {
      cmykToRgba(in, out, width, cinfo->saw_Adobe_marker != 0);
      continue;
    }
    for (JDIMENSION x = 0; x < width; ++x, out += 4, in += components) {
      out[0] = in[0];
      out[1] = in[components == 1 ? 0 : 1];
      out[2] = in[components == 1 ? 0 : 2];
      out[3] = 255;
    }
  }
  jpeg_finish_decompress(cinfo);
  return true;
}

}  // namespace

base::Result<Decoded> decodeJpeg(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return base::Error{"Invalid JPEG file: bad signature."};
  jpeg_decompress_struct cinfo;
  JpegError err;
  std::memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = &fail;
  err.mgr.emit_message = &onMessage;
  std::snprintf(err.message, sizeof err.message, "Invalid JPEG file.");
  jpeg_progress_mgr progress{};
  progress.progress_monitor = &onProgress;

  JpegHeader header;
  Decoded decoded;
  bool ok = readHeader(&cinfo, &err, &progress, bytes.data(), bytes.size(), &header);
  if (ok) {
    const std::uint64_t pixels = static_cast<std::uint64_t>(header.width) * header.height;
    if (header.width == 0 || header.height == 0 || header.width > kMaxImageSide || header.height > kMaxImageSide) {
      std::snprintf(err.message, sizeof err.message, "Invalid JPEG file: bad image size.");
      ok = false;
    } else if (pixels > kFreePixels + bytes.size() * kPixelsPerByte) {
      std::snprintf(err.message, sizeof err.message, "Invalid JPEG file: pixel data missing.");
      ok = false;
    }
  }
  if (ok) ok = blankImageInto(header.width, header.height, decoded.image, err.message, sizeof err.message);
  if (ok) ok = readPixels(&cinfo, &err, decoded.image.pixels.data());
  jpeg_destroy_decompress(&cinfo);
  if (!ok) return base::Error{err.message};
  return decoded;
}

}  // namespace vorlane::platform
