#pragma once
// The 2-D drawing operations a canvas offers to the map view and tiles. State (colour,
// alpha, blend mode, line width, scale) persists per canvas from one frame to the next.
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/image.h"

namespace vorlane::platform {

enum class BlendMode {
  Mask,   // alpha test at one half; what passes is drawn opaque
  Alpha,  // source-alpha blending
};

struct LineSegment {
  float x1, y1, x2, y2;
};

class Surface {
 public:
  virtual ~Surface() = default;

  virtual int width() const = 0;   // drawing width W in pixels
  virtual int height() const = 0;  // drawing height H in pixels
  virtual void clear() = 0;
  virtual void present() = 0;
  // True while the canvas does not show the last presented frame: none reached it yet (no
  // drawing context), or it was lost (the canvas was resized). The next frame must be drawn.
  virtual bool frameLost() const { return false; }

  virtual void setColor(int red, int green, int blue) = 0;  // 0..255 each
  virtual void setAlpha(float alpha) = 0;                   // 0..1
  virtual void setBlend(BlendMode mode) = 0;
  virtual void setLineWidth(float width) = 0;
  // Multiplies the size of drawn images.
  virtual void setScale(float sx, float sy) = 0;

  // Lines include both end points.
  virtual void drawLine(float x1, float y1, float x2, float y2) = 0;
  // Many lines in one call, with the state in force; same pixels as one drawLine each.
  virtual void drawLines(std::span<const LineSegment> lines) {
    for (const auto& l : lines) drawLine(l.x1, l.y1, l.x2, l.y2);
  }
  // Draws the lines `build` makes, which depend on nothing but `key`: a surface may keep them
  // from frame to frame (on the GPU) and call `build` only when the key or the line width
  // changes. Same pixels as drawLines.
  using LineBuilder = std::function<void(std::vector<LineSegment>&)>;
  virtual void drawLineSet(std::string_view key, const LineBuilder& build) {
    (void)key;
    std::vector<LineSegment> lines;
    build(lines);
    if (!lines.empty()) drawLines(lines);
  }
  virtual void drawRect(float x, float y, float w, float h) = 0;
  virtual void drawOval(float x, float y, float w, float h) = 0;
  virtual void drawText(std::string_view text, float x, float y) = 0;
  // Stretches the image to w × h (times the scale) with its top-left corner at (x, y):
  // bilinear magnification, nearest minification, trilinear when the image is mipmapped.
  virtual void drawImage(const Image& image, float x, float y, float w, float h) = 0;
};

}  // namespace vorlane::platform
