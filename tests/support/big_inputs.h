#pragma once
// Inputs too large to keep as files, generated where they are needed without ever being held
// whole: for the memory-limit tests and the peak-memory benchmark.
#include <string>

namespace vorlane::test {

// A w × h 8-bit RGB PNG streamed row by row through libpng: each row one colour, none black,
// so it compresses to almost nothing (16384 × 16384 is under a megabyte).
void writeStreamedPng(const std::string& path, int width, int height);

// The 16384 × 16384 PNG of writeStreamedPng at `path` with a 4 × 4 "NM" companion beside it,
// so scanning it is all about the image.
void writeHugeScanImage(const std::string& path);

// The smallest project whose lit map outgrows memory: 30 × 20 cells all holding one 1024 ×
// 1024 tile, one light (about 12 MB on disk; its lit map needs about 8 MB a cell).
void writeAmplifyingProject(const std::string& path, int columns = 30, int rows = 20);

// A file of `bytes` (sparse: no disk blocks) starting with the PNG signature.
void writeSparsePng(const std::string& path, long long bytes);

}  // namespace vorlane::test
