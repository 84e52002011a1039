#pragma once
// The drawing surface of one canvas: an OpenGL canvas widget that draws offscreen and shows
// the last presented frame, so a repaint at any moment never shows a half-drawn frame.
#include <QOpenGLExtraFunctions>
#include <QOpenGLWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/surface.h"
#include "platform/toolkit.h"

class QOpenGLShaderProgram;

namespace vorlane::platform::qt {

class GlSurface final : public Surface, private QOpenGLExtraFunctions {
 public:
  explicit GlSurface(QOpenGLWidget& widget);
  ~GlSurface() override;
  GlSurface(const GlSurface&) = delete;
  GlSurface& operator=(const GlSurface&) = delete;

  // Makes the widget's context current; false until the widget has a context (not yet shown).
  bool makeCurrent();
  // Copies the presented frame into the widget's framebuffer; called from paintGL.
  void paint();
  // Frees every GL object while the context still exists.
  void release();

  int width() const override;
  int height() const override;
  void clear() override;
  void present() override;
  void setColor(int red, int green, int blue) override;
  void setAlpha(float alpha) override;
  void setBlend(BlendMode mode) override;
  void setLineWidth(float width) override;
  void setScale(float sx, float sy) override;
  void drawLine(float x1, float y1, float x2, float y2) override;
  void drawLines(std::span<const LineSegment> lines) override;
  void drawRect(float x, float y, float w, float h) override;
  void drawOval(float x, float y, float w, float h) override;
  void drawText(std::string_view text, float x, float y) override;
  void drawImage(const Image& image, float x, float y, float w, float h) override;

  // How many textures are held, for tests of the cache.
  std::size_t cachedTextures() const { return images_.size() + texts_.size(); }
  // GL draw calls issued so far, for benchmarks.
  std::uint64_t drawCalls() const { return drawCalls_; }
  // Waits until the GPU has drawn everything issued, for benchmarks.
  void finish();

 private:
  struct Texture {
    GLuint id = 0;
    int width = 0, height = 0;
    const void* data = nullptr;  // the pixels uploaded, to notice an image refilled in place
    std::uint64_t lastUse = 0;
  };
  struct Target {
    GLuint fbo = 0, texture = 0;
  };
  struct Batch {
    GLuint texture = 0;
    float red = 0, green = 0, blue = 0, alpha = 0;
    BlendMode blend = BlendMode::Mask;
    std::vector<float> vertices;  // x, y, u, v per vertex; triangles
  };

  bool begin();
  bool ensureResources();
  void ensureTargets();
  void makeTarget(Target& t);
  void freeTarget(Target& t);
  // Consecutive draws with one texture and the same colour, alpha and blend mode go to the
  // GPU as one call: a map of one tile is one call per frame, not one per cell.
  std::vector<float>& batchFor(GLuint texture);
  void flush();
  GLuint imageTexture(const Image& image);
  GLuint textTexture(std::string_view text, int& w, int& h);
  void evictOld();

  QOpenGLWidget& widget_;
  QOpenGLContext* context_ = nullptr;  // the context the GL objects below belong to
  const QOpenGLContext* failed_ = nullptr;
  QOpenGLShaderProgram* program_ = nullptr;
  int viewSizeAt_ = -1, colourAt_ = -1, maskTestAt_ = -1, imageAt_ = -1;
  GLuint white_ = 0;
  GLuint buffer_ = 0;
  GLuint vao_ = 0;
  Target back_, front_;
  Batch batch_;
  int targetW_ = 0, targetH_ = 0;

  float red_ = 1, green_ = 1, blue_ = 1, alpha_ = 1;
  BlendMode blend_ = BlendMode::Mask;
  float lineWidth_ = 1;
  float scaleX_ = 1, scaleY_ = 1;

  std::unordered_map<std::uint64_t, Texture> images_;
  std::unordered_map<std::string, Texture> texts_;
  std::uint64_t frame_ = 0;
  std::uint64_t drawCalls_ = 0;
};

// A canvas gadget: reports its mouse input as toolkit events and draws through its surface.
class GlCanvas final : public QOpenGLWidget {
 public:
  using Sink = std::function<void(EventKind kind, int datum, int x, int y)>;
  GlCanvas(QWidget* parent, Sink sink);
  ~GlCanvas() override;

  GlSurface& surface() { return surface_; }

 protected:
  void initializeGL() override;
  void paintGL() override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  Sink sink_;
  GlSurface surface_;
  QMetaObject::Connection cleanup_;
  int wheelRest_ = 0;  // eighths of a degree not yet a whole notch (fine-grained wheels)
};

}  // namespace vorlane::platform::qt
