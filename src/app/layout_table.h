#pragma once
// Windows and gadgets described as rows of data and built by one function, so a screen's
// whole layout reads as a table and the code that builds it stays a few lines long.
#include <span>

#include "platform/toolkit.h"

namespace vorlane::app {

enum class PieceKind { Window, Button, CheckBox, TextField, Label, GroupFrame, ListBox, TabStrip, ProgressBar, Canvas };

// A position or size that may depend on the screen or on the parent's inner area.
struct Coord {
  enum class From { Zero, HalfScreenWidth, HalfScreenHeight, InnerWidth, InnerHeight };
  int value = 0;
  From from = From::Zero;
  constexpr Coord(int v) : value(v) {}  // NOLINT: plain numbers read best in the tables
  constexpr Coord(From f, int v) : value(v), from(f) {}
};

constexpr Coord halfScreenWidth(int plus) { return {Coord::From::HalfScreenWidth, plus}; }
constexpr Coord halfScreenHeight(int plus) { return {Coord::From::HalfScreenHeight, plus}; }
constexpr Coord innerWidth(int plus = 0) { return {Coord::From::InnerWidth, plus}; }
constexpr Coord innerHeight(int plus = 0) { return {Coord::From::InnerHeight, plus}; }

// One row: `parent` is the owner for windows (none for a null member), `slot` receives the
// handle. Text fields are created empty and then given `text` when it is not empty.
template <typename Slots>
struct Piece {
  PieceKind kind;
  const char* text;
  Coord x, y, w, h;
  platform::Handle Slots::*parent;
  platform::Handle Slots::*slot;
  unsigned flags = 0;  // windows only
};

int resolve(platform::Toolkit& toolkit, Coord coord, platform::Handle parent);
platform::Handle createPiece(platform::Toolkit& toolkit, PieceKind kind, const char* text, int x, int y, int w, int h,
                             platform::Handle parent, unsigned flags);

template <typename Slots>
void build(platform::Toolkit& toolkit, std::span<const Piece<Slots>> pieces, Slots& slots) {
  for (const auto& p : pieces) {
    const platform::Handle parent = p.parent ? slots.*(p.parent) : platform::kNoHandle;
    slots.*(p.slot) = createPiece(toolkit, p.kind, p.text, resolve(toolkit, p.x, parent), resolve(toolkit, p.y, parent),
                                  resolve(toolkit, p.w, parent), resolve(toolkit, p.h, parent), parent, p.flags);
  }
}

}  // namespace vorlane::app
