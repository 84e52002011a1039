#pragma once
// A drawing surface that records every call, for tests and benchmarks of what is drawn.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace vorlane::test {

enum class Op { Clear, Present, Color, Alpha, Blend, LineWidth, Scale, Line, Lines, Rect, Oval, Text, Image };

struct Call {
  Op op;
  float a = 0, b = 0, c = 0, d = 0;  // coordinates, or colour / alpha / width / scale values
  std::int64_t n = 0;                // Lines: segment count; Image: image serial; Blend: 0 mask 1 alpha
  std::string text{};
  const platform::Image* image = nullptr;  // Image: the image drawn, while it lives
};

class RecordingSurface : public platform::Surface {
 public:
  RecordingSurface(int w = 400, int h = 300) : w_(w), h_(h) {}

  int width() const override { return w_; }
  int height() const override { return h_; }
  void resize(int w, int h) { w_ = w, h_ = h; }
  void clear() override { add({Op::Clear}); }
  void present() override { add({Op::Present}); }
  bool frameLost() const override { return lost; }
  void setColor(int r, int g, int b) override;
  void setAlpha(float alpha) override;
  void setBlend(platform::BlendMode mode) override;
  void setLineWidth(float width) override;
  void setScale(float sx, float sy) override;
  void drawLine(float x1, float y1, float x2, float y2) override { add({Op::Line, x1, y1, x2, y2}); }
  void drawLines(std::span<const platform::LineSegment> lines) override;
  void drawRect(float x, float y, float w, float h) override { add({Op::Rect, x, y, w, h}); }
  void drawOval(float x, float y, float w, float h) override { add({Op::Oval, x, y, w, h}); }
  void drawText(std::string_view text, float x, float y) override { add({Op::Text, x, y, 0, 0, 0, std::string(text)}); }
  void drawImage(const platform::Image& image, float x, float y, float w, float h) override {
    add({Op::Image, x, y, w, h, static_cast<std::int64_t>(image.serial), {}, &image});
  }

  // When false, calls are only counted (benchmarks).
  bool keep = true;
  // When true, the canvas claims it never shows the last frame: every tick must draw.
  bool lost = false;
  std::int64_t callCount = 0;
  std::vector<Call> calls;
  // Every segment drawn, one by one or in batches, with its state at the time.
  struct Segment {
    platform::LineSegment line;
    int r, g, b;
    float lineWidth;
  };
  std::vector<Segment> segments;

  // State in force, as a canvas keeps it between frames.
  int red = 255, green = 255, blue = 255;
  float alpha = 1.0f;
  platform::BlendMode blend = platform::BlendMode::Mask;
  float lineWidth = 1.0f;
  float scaleX = 1.0f, scaleY = 1.0f;

  std::vector<Call> callsOf(Op op) const;
  void reset() {
    calls.clear();
    segments.clear();
    callCount = 0;
  }

 private:
  void add(Call call);
  int w_, h_;
};

}  // namespace vorlane::test
