#include "support/recording_surface.h"

namespace vorlane::test {

void RecordingSurface::add(Call call) {
  ++callCount;
  if (!keep) return;
  if (call.op == Op::Line) segments.push_back({{call.a, call.b, call.c, call.d}, red, green, blue, lineWidth});
  calls.push_back(std::move(call));
}

void RecordingSurface::setColor(int r, int g, int b) {
  red = r, green = g, blue = b;
  add({Op::Color, static_cast<float>(r), static_cast<float>(g), static_cast<float>(b)});
}

void RecordingSurface::setAlpha(float a) {
  alpha = a;
  add({Op::Alpha, a});
}

void RecordingSurface::setBlend(platform::BlendMode mode) {
  blend = mode;
  add({Op::Blend, 0, 0, 0, 0, mode == platform::BlendMode::Alpha ? 1 : 0});
}

void RecordingSurface::setLineWidth(float width) {
  lineWidth = width;
  add({Op::LineWidth, width});
}

void RecordingSurface::setScale(float sx, float sy) {
  scaleX = sx, scaleY = sy;
  add({Op::Scale, sx, sy});
}

void RecordingSurface::drawLines(std::span<const platform::LineSegment> lines) {
  ++callCount;
  if (!keep) return;
  for (const auto& l : lines) segments.push_back({l, red, green, blue, lineWidth});
  calls.push_back({Op::Lines, 0, 0, 0, 0, static_cast<std::int64_t>(lines.size())});
}

std::vector<Call> RecordingSurface::callsOf(Op op) const {
  std::vector<Call> out;
  for (const auto& c : calls)
    if (c.op == op) out.push_back(c);
  return out;
}

}  // namespace vorlane::test
