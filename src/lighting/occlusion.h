#pragma once
// The shadow test of one light layer, answering exactly what the plain test (every cell, four
// lengthened edges, the float predicate) answers, while visiting only the grid lines the
// segment crosses and, on each, the occupied cells next to the crossing.
#include <cstdint>
#include <vector>

#include "map/map.h"

namespace vorlane::lighting {

// The three quantities of the segment test, in the order and precision it computes them.
struct EdgeTerms {
  float den;
  float ua;
  float ub;
};

inline EdgeTerms edgeTerms(float ax, float ay, float bx, float by, float cx, float cy, float dx, float dy) {
  float den = (dy - cy) * (bx - ax) - (dx - cx) * (by - ay);
  float ua = ((dx - cx) * (ay - cy) - (dy - cy) * (ax - cx)) / den;
  float ub = ((bx - ax) * (ay - cy) - (by - ay) * (ax - cx)) / den;
  return {den, ua, ub};
}

inline bool crosses(const EdgeTerms& t) {
  return !(t.den < 0.0001f && t.den > -0.0001f) && t.ua > 0 && t.ua < 1 && t.ub > 0 && t.ub < 1;
}

// A cell known to block, tried first for the next texel: neighbours mostly share a blocker.
struct OcclusionHint {
  std::int32_t column = -1;
  std::int32_t row = -1;
};

class OccluderGrid {
 public:
  // Layers outside the map give a grid with no occupied cell. With `castShadows` (one byte per
  // cell of the map) only cells whose byte is set block.
  OccluderGrid(const map::Map& map, std::int32_t layer, const std::vector<std::uint8_t>* castShadows = nullptr);

  bool empty() const { return occupiedCount_ == 0; }
  // The segment from (x, y) to (lightX, lightY).
  bool occluded(std::int32_t x, std::int32_t y, std::int32_t lightX, std::int32_t lightY,
                OcclusionHint& hint) const;
  // The four lengthened edges of one cell, in the plain test's order.
  bool crossesCell(float ax, float ay, float bx, float by, std::int32_t column, std::int32_t row) const;

 private:
  bool occupied(std::int32_t i, std::int32_t j) const {
    return i >= 0 && j >= 0 && i < width_ && j < height_ && occupied_[static_cast<std::size_t>(i) * height_ + j];
  }
  bool plainWalk(float ax, float ay, float bx, float by, OcclusionHint& hint) const;
  // Lines of one direction: horizontal (edges along x at y = k·th) or vertical.
  bool crossesLines(bool horizontal, float ax, float ay, float bx, float by, OcclusionHint& hint) const;
  // Whether every float operation of the test is exact for this segment and any edge.
  bool exactFor(std::int64_t x, std::int64_t y, std::int64_t lightX, std::int64_t lightY) const;
  // The same as crossesLines where exactFor holds, in integer arithmetic.
  bool crossesLinesExact(bool horizontal, std::int64_t x, std::int64_t y, std::int64_t lightX, std::int64_t lightY,
                         OcclusionHint& hint) const;
  OcclusionHint hitOnLine(bool horizontal, std::int32_t line, std::int32_t cell) const;

  std::int32_t width_ = 0, height_ = 0;
  std::int64_t tileWidth_ = 0, tileHeight_ = 0;
  std::int64_t occupiedCount_ = 0;
  bool lineWalk_ = false;
  std::vector<std::uint8_t> occupied_;  // (i * height + j)
  std::vector<std::int32_t> cellList_;  // i, j pairs, for the plain walk
  // Per grid line, the cells with an edge on it as bits: horizontal line k holds the top
  // edges of row k and the bottom edges of row k - 1, indexed by column; vertical lines
  // likewise by row.
  std::int32_t hWords_ = 0, vWords_ = 0;
  std::vector<std::uint64_t> hLines_, vLines_;
  std::vector<std::uint8_t> hLineUsed_, vLineUsed_;
};

}  // namespace vorlane::lighting
