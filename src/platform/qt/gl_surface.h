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
  bool frameLost() const override;
  void setColor(int red, int green, int blue) override;
  void setAlpha(float alpha) override;
  void setBlend(BlendMode mode) override;
  void setLineWidth(float width) override;
  void setScale(float sx, float sy) override;
  void drawLine(float x1, float y1, float x2, float y2) override;
  void drawLines(std::span<const LineSegment> lines) override;
  void drawLineSet(std::string_view key, const LineBuilder& build) override;
  void drawRect(float x, float y, float w, float h) override;
  void drawOval(float x, float y, float w, float h) override;
  void drawText(std::string_view text, float x, float y) override;
  void drawImage(const Image& image, float x, float y, float w, float h) override;

  // How many images and texts are held in atlas slots, for tests of the cache.
  std::size_t cachedTextures() const { return images_.size() + texts_.size(); }
  // How many atlas textures are allocated, and their layers in all, for tests of reclaiming.
  std::size_t atlasCount() const;
  std::size_t atlasLayers() const;
  // GL draw calls issued so far, for benchmarks.
  std::uint64_t drawCalls() const { return drawCalls_; }
  // Waits until the GPU has drawn everything issued, for benchmarks.
  void finish();

 private:
  // Images of one size and filter share an array texture, one image per layer: each layer
  // clamps at its own edges and has its own mipmaps, so filtering never reaches a neighbour
  // and samples exactly as a texture of its own would, while one draw call covers them all.
  struct Atlas {
    GLuint id = 0;
    int width = 0, height = 0;
    bool mipmapped = false;
    int capacity = 0;
    std::vector<int> freeLayers;
    int used = 0;
    bool mipmapsStale = false;
  };
  struct Slot {
    std::size_t atlas = 0;
    int layer = 0;
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
    std::size_t atlas = kNoAtlas;  // whose mipmaps must be fresh before drawing
    std::vector<float> vertices;  // x, y, u, v, layer per vertex; triangles
  };
  static constexpr std::size_t kNoAtlas = static_cast<std::size_t>(-1);

  bool begin();
  QSize targetSize() const;  // the widget's size in device pixels
  bool ensureResources();
  void ensureTargets();
  void makeTarget(Target& t);
  void freeTarget(Target& t);
  // Consecutive draws from one texture with the same colour, alpha and blend mode go to the
  // GPU as one call.
  std::vector<float>& batchFor(GLuint texture, std::size_t atlas = kNoAtlas);
  void flush();
  // Draws `count` vertices of a buffer with the texture and state of `batch`.
  void submit(GLuint buffer, GLsizei count, const Batch& batch);
  // The slot holding these pixels, uploaded when new or changed; false when they cannot be.
  bool upload(Slot*& slot, bool fresh, int w, int h, bool mipmapped, const void* data);
  std::size_t atlasFor(int w, int h, bool mipmapped);
  void grow(Atlas& atlas, std::size_t index);
  void freeSlot(const Slot& slot);
  void evictOld();

  QOpenGLWidget& widget_;
  QOpenGLContext* context_ = nullptr;  // the context the GL objects below belong to
  const QOpenGLContext* failed_ = nullptr;
  QOpenGLShaderProgram* program_ = nullptr;
  int viewSizeAt_ = -1, colourAt_ = -1, maskTestAt_ = -1, imageAt_ = -1;
  GLuint white_ = 0;
  GLuint buffer_ = 0;
  GLuint vao_ = 0;
  GLuint copyFbo_[2] = {0, 0};
  int maxLayers_ = 256, maxSize_ = 2048;
  // The kept line set: its key, line width, buffer and vertex count.
  std::string lineSetKey_;
  float lineSetWidth_ = 0;
  GLuint lineSetBuffer_ = 0;
  GLsizei lineSetVertices_ = 0;
  Target back_, front_;
  Batch batch_;
  int targetW_ = 0, targetH_ = 0;
  bool presented_ = false;  // the front target holds a frame drawn for its present size

  float red_ = 1, green_ = 1, blue_ = 1, alpha_ = 1;
  BlendMode blend_ = BlendMode::Mask;
  float lineWidth_ = 1;
  float scaleX_ = 1, scaleY_ = 1;

  std::vector<Atlas> atlases_;  // emptied entries (id 0) are reused
  std::unordered_map<std::uint64_t, Slot> images_;
  std::unordered_map<std::string, Slot> texts_;
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
  void leaveEvent(QEvent* e) override;

 private:
  Sink sink_;
  GlSurface surface_;
  QMetaObject::Connection cleanup_;
  int wheelRest_ = 0;  // eighths of a degree not yet a whole notch (fine-grained wheels)
};

}  // namespace vorlane::platform::qt
