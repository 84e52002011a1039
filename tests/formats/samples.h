#pragma once
// A small tile map as the tile-map editors write it, in TMX or TMJ and every data encoding,
// with the files it refers to, and what importing it must give.
#include <cstdint>
#include <string>
#include <vector>

#include "formats/formats.h"
#include "support/fixtures.h"

namespace vorlane::formats::test {

using vorlane::test::TempDir;

// 3 × 2 cells of 4 × 4 pixels, two tile layers, an object group after the second.
// Tileset "atlas" (GIDs 1-4): atlas.png, four tiles with margin 1 and spacing 2 (the gaps
// magenta), its companion NMatlas.bmp; tile 1 casts shadows. Tileset "things" (GIDs 5-6):
// an external collection of rock.png (no normal map) and bush.png (normalmap property).
inline constexpr std::uint32_t kLayers[2][6] = {{1, 2, 3, 4, 0, 5}, {0, 6, 0, 0, 1, 0}};

// Writes the images and the external tileset (things.tsx and things.tsj) into the folder.
void writeSampleFiles(const TempDir& dir);

// The map text. `layerData` replaces the data of both layers when not empty (TMX: the
// whole <data> element; TMJ: the members after "visible"); `extra` goes after the last
// layer.
struct SampleParts {
  Encoding encoding = Encoding::csv;
  std::string layerData[2];
  std::string extra;
  std::string tilesetExtra;  // inside the atlas tileset
};
std::string sampleTmx(const SampleParts& parts = {});
std::string sampleTmj(const SampleParts& parts = {});

// Checks everything an import of the sample must hold (cells, tilesets, flags, normal
// maps, pivots, lights), with gtest expectations.
void expectSample(const Imported& imported);

// The colour of each GID's tile (index GID), alpha 255.
inline constexpr std::uint8_t kColours[7][3] = {
    {0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {128, 128, 128}, {0, 128, 0}};

}  // namespace vorlane::formats::test
