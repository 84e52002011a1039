#include "lighting/occlusion.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "lighting/render.h"

namespace vorlane::lighting {

namespace {

// Edge coordinates up to this size convert to float exactly, so every edge on one grid line
// has the same length as a float and the line's shared terms hold for all its cells.
constexpr std::int64_t kExactExtent = std::int64_t{1} << 24;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::int64_t ceilDiv(std::int64_t a, std::int64_t b) { return -floorDiv(-a, b); }

// Whether any bit in [from, to] is set.
bool anySet(const std::uint64_t* words, std::int32_t from, std::int32_t to);

std::int32_t clampGuess(double v, std::int32_t lo, std::int32_t hi) {
  if (!(v > lo)) return lo;  // also NaN
  if (v > hi) return hi;
  return static_cast<std::int32_t>(v);
}

// Smallest t in [0, n + 1] with pred(t), for a predicate that is false then true over 0..n
// (pred(n + 1) counts as true). Gallops from the guess, so a good guess costs two calls.
template <typename Pred>
std::int32_t firstTrue(std::int32_t n, std::int32_t guess, Pred pred) {
  auto test = [&](std::int32_t t) { return t > n || pred(t); };
  std::int32_t lo, hi;  // pred(lo) false (or lo == -1), pred(hi) true
  guess = std::clamp(guess, 0, n + 1);
  if (test(guess)) {
    hi = guess;
    std::int32_t step = 1;
    for (;;) {
      std::int32_t t = hi - step;
      if (t < 0) {
        lo = -1;
        break;
      }
      if (!test(t)) {
        lo = t;
        break;
      }
      hi = t;
      step *= 2;
    }
  } else {
    lo = guess;
    std::int32_t step = 1;
    for (;;) {
      std::int32_t t = std::min<std::int64_t>(std::int64_t{lo} + step, n + 1);
      if (test(t)) {
        hi = t;
        break;
      }
      lo = t;
      step *= 2;
    }
  }
  while (hi - lo > 1) {
    std::int32_t mid = lo + (hi - lo) / 2;
    if (test(mid))
      hi = mid;
    else
      lo = mid;
  }
  return hi;
}

// First set bit at or after `from` below `n`, else n.
std::int32_t nextSet(const std::uint64_t* words, std::int32_t from, std::int32_t n) {
  if (from >= n) return n;
  if (from < 0) from = 0;
  std::int32_t w = from >> 6;
  std::uint64_t bits = words[w] & (~std::uint64_t{0} << (from & 63));
  std::int32_t last = (n - 1) >> 6;
  while (bits == 0) {
    if (++w > last) return n;
    bits = words[w];
  }
  std::int32_t i = (w << 6) + std::countr_zero(bits);
  return i < n ? i : n;
}

bool anySet(const std::uint64_t* words, std::int32_t from, std::int32_t to) {
  if (from > to) return false;
  std::int32_t w0 = from >> 6, w1 = to >> 6;
  std::uint64_t lowMask = ~std::uint64_t{0} << (from & 63);
  std::uint64_t highMask = ~std::uint64_t{0} >> (63 - (to & 63));
  if (w0 == w1) return (words[w0] & lowMask & highMask) != 0;
  if (words[w0] & lowMask) return true;
  for (std::int32_t w = w0 + 1; w < w1; ++w)
    if (words[w]) return true;
  return (words[w1] & highMask) != 0;
}

// Last set bit at or before `from`, else -1.
std::int32_t prevSet(const std::uint64_t* words, std::int32_t from) {
  if (from < 0) return -1;
  std::int32_t w = from >> 6;
  std::int32_t shift = 63 - (from & 63);
  std::uint64_t bits = (words[w] << shift) >> shift;
  while (bits == 0) {
    if (--w < 0) return -1;
    bits = words[w];
  }
  return (w << 6) + 63 - std::countl_zero(bits);
}

}  // namespace

bool segmentsIntersect(float ax, float ay, float bx, float by, float cx, float cy, float dx, float dy) {
  return crosses(edgeTerms(ax, ay, bx, by, cx, cy, dx, dy));
}

OccluderGrid::OccluderGrid(const map::Map& map, std::int32_t layer, const std::vector<std::uint8_t>* castShadows) {
  // No cells: a side may still be huge, and nothing would be found walking it.
  if (layer < 0 || layer >= map.depth || map.cells.empty()) return;
  width_ = map.width;
  height_ = map.height;
  tileWidth_ = map.tileWidth;
  tileHeight_ = map.tileHeight;
  occupied_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0);
  for (std::int32_t i = 0; i < width_; ++i) {
    for (std::int32_t j = 0; j < height_; ++j) {
      const std::size_t cell = map.cellIndex(i, j, layer);
      if (!map.cells[cell] || (castShadows && !(*castShadows)[cell])) continue;
      occupied_[static_cast<std::size_t>(i) * height_ + j] = 1;
      cellList_.push_back(i);
      cellList_.push_back(j);
      ++occupiedCount_;
    }
  }
  lineWalk_ = tileWidth_ >= 1 && tileHeight_ >= 1 && (std::int64_t{width_} + 1) * tileWidth_ + 8 <= kExactExtent &&
              (std::int64_t{height_} + 1) * tileHeight_ + 8 <= kExactExtent;
  if (!lineWalk_ || occupiedCount_ == 0) return;
  hWords_ = (width_ + 63) / 64;
  vWords_ = (height_ + 63) / 64;
  hLines_.assign(static_cast<std::size_t>(height_ + 1) * hWords_, 0);
  vLines_.assign(static_cast<std::size_t>(width_ + 1) * vWords_, 0);
  hLineUsed_.assign(static_cast<std::size_t>(height_) + 1, 0);
  vLineUsed_.assign(static_cast<std::size_t>(width_) + 1, 0);
  for (std::size_t n = 0; n < cellList_.size(); n += 2) {
    std::int32_t i = cellList_[n], j = cellList_[n + 1];
    for (std::int32_t k : {j, j + 1}) {
      hLines_[static_cast<std::size_t>(k) * hWords_ + (i >> 6)] |= std::uint64_t{1} << (i & 63);
      hLineUsed_[k] = 1;
    }
    for (std::int32_t k : {i, i + 1}) {
      vLines_[static_cast<std::size_t>(k) * vWords_ + (j >> 6)] |= std::uint64_t{1} << (j & 63);
      vLineUsed_[k] = 1;
    }
  }
}

bool OccluderGrid::crossesCell(float ax, float ay, float bx, float by, std::int32_t column, std::int32_t row) const {
  std::int64_t x = column * tileWidth_, y = row * tileHeight_;
  float left = static_cast<float>(x), top = static_cast<float>(y);
  float right = static_cast<float>(x + tileWidth_), bottom = static_cast<float>(y + tileHeight_);
  float x0 = static_cast<float>(x - 2), x1 = static_cast<float>(x + tileWidth_ + 4);
  float y0 = static_cast<float>(y - 2), y1 = static_cast<float>(y + tileHeight_ + 4);
  return segmentsIntersect(ax, ay, bx, by, x0, top, x1, top) || segmentsIntersect(ax, ay, bx, by, left, y0, left, y1) ||
         segmentsIntersect(ax, ay, bx, by, x0, bottom, x1, bottom) ||
         segmentsIntersect(ax, ay, bx, by, right, y0, right, y1);
}

bool OccluderGrid::plainWalk(float ax, float ay, float bx, float by, OcclusionHint& hint) const {
  for (std::size_t n = 0; n < cellList_.size(); n += 2) {
    if (crossesCell(ax, ay, bx, by, cellList_[n], cellList_[n + 1])) {
      hint = {cellList_[n], cellList_[n + 1]};
      return true;
    }
  }
  return false;
}

// Every edge on one grid line shares the segment test's denominator and its position along
// the segment (ua), so ua decides which lines can be crossed; along a line, the position on
// the edge (ub) never increases from one cell to the next, as every rounding step is
// monotone. So the crossed lines form one run found by galloping, and on each line the
// occupied cells on either side of the estimated crossing are tried outward until ub leaves
// (0, 1) on that side: the answer equals the test of every cell, at a few evaluations a line.
bool OccluderGrid::crossesLines(bool horizontal, float ax, float ay, float bx, float by, OcclusionHint& hint) const {
  const std::int64_t along = horizontal ? tileHeight_ : tileWidth_;  // spacing of the lines
  const std::int64_t across = horizontal ? tileWidth_ : tileHeight_;  // spacing of cells on a line
  const std::int32_t lines = horizontal ? height_ : width_;            // line indices 0..lines
  const std::int32_t cells = horizontal ? width_ : height_;
  const std::int32_t words = horizontal ? hWords_ : vWords_;
  const std::uint64_t* bits = horizontal ? hLines_.data() : vLines_.data();
  const std::uint8_t* used = horizontal ? hLineUsed_.data() : vLineUsed_.data();

  auto terms = [&](std::int64_t line, std::int64_t cell) {
    float l = static_cast<float>(line * along);
    float c0 = static_cast<float>(cell * across - 2), c1 = static_cast<float>(cell * across + across + 4);
    return horizontal ? edgeTerms(ax, ay, bx, by, c0, l, c1, l) : edgeTerms(ax, ay, bx, by, l, c0, l, c1);
  };

  const float den = terms(0, 0).den;
  if (std::fabs(den) < 0.0001f || std::isnan(den)) return false;
  const bool rising = horizontal ? den < 0 : den > 0;  // ua grows with the line index
  auto ua = [&](std::int32_t k) { return terms(k, 0).ua; };

  const double pa = horizontal ? ay : ax, pb = horizontal ? by : bx;
  const double qa = horizontal ? ax : ay, qb = horizontal ? bx : by;
  const double step = static_cast<double>(along);
  std::int32_t first, last;
  if (rising) {
    first = firstTrue(lines, clampGuess(std::floor(pa / step) + 1, 0, lines + 1), [&](std::int32_t k) { return ua(k) > 0; });
    last = firstTrue(lines, clampGuess(std::ceil(pb / step), 0, lines + 1), [&](std::int32_t k) { return ua(k) >= 1; }) - 1;
  } else {
    first = firstTrue(lines, clampGuess(std::floor(pb / step) + 1, 0, lines + 1), [&](std::int32_t k) { return ua(k) < 1; });
    last = firstTrue(lines, clampGuess(std::ceil(pa / step), 0, lines + 1), [&](std::int32_t k) { return ua(k) <= 0; }) - 1;
  }

  const double slope = (qb - qa) / (pb - pa);
  for (std::int32_t k = first; k <= last; ++k) {
    if (!used[k]) continue;
    const std::uint64_t* line = bits + static_cast<std::size_t>(k) * words;
    double q = qa + slope * (static_cast<double>(k) * step - pa);
    std::int32_t guess = clampGuess(std::floor(q / static_cast<double>(across)), 0, cells - 1);
    auto hit = [&](std::int32_t i) {
      hint = hitOnLine(horizontal, k, i);
      return true;
    };
    for (std::int32_t i = nextSet(line, guess, cells); i < cells; i = nextSet(line, i + 1, cells)) {
      EdgeTerms t = terms(k, i);
      if (crosses(t)) return hit(i);
      if (t.ub <= 0) break;
    }
    for (std::int32_t i = prevSet(line, guess - 1); i >= 0; i = prevSet(line, i - 1)) {
      EdgeTerms t = terms(k, i);
      if (crosses(t)) return hit(i);
      if (t.ub >= 1) break;
    }
  }
  return false;
}

OcclusionHint OccluderGrid::hitOnLine(bool horizontal, std::int32_t line, std::int32_t cell) const {
  if (horizontal) return {cell, occupied(cell, line) ? line : line - 1};
  return {occupied(line, cell) ? line : line - 1, cell};
}

// With every input and every product of the test an integer below 2^24 in size, each float
// operation is exact and the divisions round on the right side of 0 and 1: the float test
// then says exactly what the geometry says, and integer arithmetic can answer it.
bool OccluderGrid::exactFor(std::int64_t x, std::int64_t y, std::int64_t lightX, std::int64_t lightY) const {
  const std::int64_t mapWidth = width_ * tileWidth_, mapHeight = height_ * tileHeight_;
  if (x < -2 || y < -2 || x > mapWidth + 2 || y > mapHeight + 2) return false;
  const std::int64_t mx = mapWidth + 8, my = mapHeight + 8;  // bounds of sample-to-edge differences
  const std::int64_t sx = lightX > x ? lightX - x : x - lightX, sy = lightY > y ? lightY - y : y - lightY;
  const std::int64_t e = tileWidth_ + 6, f = tileHeight_ + 6;  // lengthened edge lengths
  return sx * my + sy * mx <= kExactExtent && e * std::max(sy, my) <= kExactExtent &&
         f * std::max(sx, mx) <= kExactExtent;
}

// The segment crosses line L = k·along strictly between its ends, at q = qa + (qb - qa)(L - pa)/D
// along the line; cell i's edge there spans (i·across - 2, i·across + across + 4), open.
bool OccluderGrid::crossesLinesExact(bool horizontal, std::int64_t x, std::int64_t y, std::int64_t lightX,
                                     std::int64_t lightY, OcclusionHint& hint) const {
  const std::int64_t along = horizontal ? tileHeight_ : tileWidth_;
  const std::int64_t across = horizontal ? tileWidth_ : tileHeight_;
  const std::int32_t lines = horizontal ? height_ : width_;
  const std::int32_t cells = horizontal ? width_ : height_;
  const std::int32_t words = horizontal ? hWords_ : vWords_;
  const std::uint64_t* bits = horizontal ? hLines_.data() : vLines_.data();
  const std::uint8_t* used = horizontal ? hLineUsed_.data() : vLineUsed_.data();
  const std::int64_t pa = horizontal ? y : x, pb = horizontal ? lightY : lightX;
  const std::int64_t qa = horizontal ? x : y, qb = horizontal ? lightX : lightY;
  if (pa == pb) return false;
  const std::int64_t first = std::max<std::int64_t>(0, floorDiv(std::min(pa, pb), along) + 1);
  const std::int64_t last = std::min<std::int64_t>(lines, ceilDiv(std::max(pa, pb), along) - 1);
  std::int64_t d = pb - pa, dq = qb - qa;
  for (std::int64_t k = first; k <= last; ++k) {
    if (!used[k]) continue;
    // q = n / den with den > 0.
    std::int64_t n = qa * d + dq * (k * along - pa), den = d;
    if (den < 0) n = -n, den = -den;
    const double q = static_cast<double>(n) / static_cast<double>(den);
    // Last cell whose edge starts before q: i·across - 2 < q.
    auto startsBefore = [&](std::int64_t i) { return i * across * den < n + 2 * den; };
    std::int64_t hi = std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor((q + 2) / across)), -1, cells - 1);
    while (hi >= 0 && !startsBefore(hi)) --hi;
    while (hi + 1 < cells && startsBefore(hi + 1)) ++hi;
    // First cell whose edge ends after q: q < i·across + across + 4.
    auto endsAfter = [&](std::int64_t i) { return (i * across + across + 4) * den > n; };
    std::int64_t lo = std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor((q - 4) / across)), 0, cells);
    while (lo < cells && !endsAfter(lo)) ++lo;
    while (lo > 0 && endsAfter(lo - 1)) --lo;
    const std::uint64_t* line = bits + static_cast<std::size_t>(k) * words;
    if (lo <= hi && anySet(line, static_cast<std::int32_t>(lo), static_cast<std::int32_t>(hi))) {
      hint = hitOnLine(horizontal, static_cast<std::int32_t>(k), nextSet(line, static_cast<std::int32_t>(lo), cells));
      return true;
    }
  }
  return false;
}

bool OccluderGrid::occluded(std::int32_t x, std::int32_t y, std::int32_t lightX, std::int32_t lightY,
                            OcclusionHint& hint) const {
  if (occupiedCount_ == 0) return false;
  const float ax = static_cast<float>(x), ay = static_cast<float>(y);
  const float bx = static_cast<float>(lightX), by = static_cast<float>(lightY);
  if (hint.column >= 0 && crossesCell(ax, ay, bx, by, hint.column, hint.row)) return true;
  if (!lineWalk_) return plainWalk(ax, ay, bx, by, hint);
  std::int64_t ci = floorDiv(x, tileWidth_), cj = floorDiv(y, tileHeight_);
  if (ci >= 0 && cj >= 0 && ci < width_ && cj < height_ && occupied(static_cast<std::int32_t>(ci), static_cast<std::int32_t>(cj)) &&
      crossesCell(ax, ay, bx, by, static_cast<std::int32_t>(ci), static_cast<std::int32_t>(cj))) {
    hint = {static_cast<std::int32_t>(ci), static_cast<std::int32_t>(cj)};
    return true;
  }
  if (exactFor(x, y, lightX, lightY))
    return crossesLinesExact(true, x, y, lightX, lightY, hint) || crossesLinesExact(false, x, y, lightX, lightY, hint);
  return crossesLines(true, ax, ay, bx, by, hint) || crossesLines(false, ax, ay, bx, by, hint);
}

bool isOccluded(const map::Map& map, std::int32_t x, std::int32_t y, std::int32_t lightX, std::int32_t lightY,
                std::int32_t layer) {
  OcclusionHint hint;
  return OccluderGrid(map, layer).occluded(x, y, lightX, lightY, hint);
}

}  // namespace vorlane::lighting
