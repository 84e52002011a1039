#include "platform/qt/gl_surface.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <QPainter>
#include <QVector2D>
#include <QVector4D>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace vorlane::platform::qt {
namespace {

// Pixel (i, j) covers [i, i+1) × [j, j+1); y grows downwards. The shader works in these
// units and flips to GL's upward y, so the first image row lands at the top.
constexpr const char* kVertexShader = R"(
attribute vec2 position;
attribute vec2 texCoord;
uniform vec2 viewSize;
varying vec2 uv;
void main() {
  uv = texCoord;
  gl_Position = vec4(position.x / viewSize.x * 2.0 - 1.0, 1.0 - position.y / viewSize.y * 2.0, 0.0, 1.0);
}
)";

// Mask blending is an alpha test at one half; what passes is written opaque.
constexpr const char* kFragmentShader = R"(
uniform sampler2D image;
uniform vec4 colour;
uniform float maskTest;
varying vec2 uv;
void main() {
  vec4 c = texture2D(image, uv) * colour;
  if (maskTest > 0.5) {
    if (c.a < 0.5) discard;
    c.a = 1.0;
  }
  gl_FragColor = c;
}
)";

// Textures unused for this many presented frames are dropped: their images are likely gone.
constexpr std::uint64_t kTextureAge = 600;

void pushVertex(std::vector<float>& v, float x, float y, float u = 0, float t = 0) {
  v.insert(v.end(), {x, y, u, t});
}

void pushQuad(std::vector<float>& v, float x1, float y1, float x2, float y2, float u1 = 0, float t1 = 0, float u2 = 0,
              float t2 = 0) {
  pushVertex(v, x1, y1, u1, t1);
  pushVertex(v, x2, y1, u2, t1);
  pushVertex(v, x2, y2, u2, t2);
  pushVertex(v, x1, y1, u1, t1);
  pushVertex(v, x2, y2, u2, t2);
  pushVertex(v, x1, y2, u1, t2);
}

// A line as a rectangle with square caps through the centres of its end pixels, so both end
// points are covered and a zero-length line is one dot of the line width.
void pushLine(std::vector<float>& v, const LineSegment& l, float width) {
  const float ax = l.x1 + 0.5f, ay = l.y1 + 0.5f, bx = l.x2 + 0.5f, by = l.y2 + 0.5f;
  float dx = bx - ax, dy = by - ay;
  const float length = std::sqrt(dx * dx + dy * dy);
  if (length > 0) {
    dx /= length, dy /= length;
  } else {
    dx = 1, dy = 0;
  }
  const float h = width / 2;
  const float ex = dx * h, ey = dy * h;  // along the line
  const float nx = -dy * h, ny = dx * h;  // across it
  const float p1x = ax - ex + nx, p1y = ay - ey + ny;
  const float p2x = bx + ex + nx, p2y = by + ey + ny;
  const float p3x = bx + ex - nx, p3y = by + ey - ny;
  const float p4x = ax - ex - nx, p4y = ay - ey - ny;
  pushVertex(v, p1x, p1y);
  pushVertex(v, p2x, p2y);
  pushVertex(v, p3x, p3y);
  pushVertex(v, p1x, p1y);
  pushVertex(v, p3x, p3y);
  pushVertex(v, p4x, p4y);
}

}  // namespace

GlSurface::GlSurface(QOpenGLWidget& widget) : widget_(widget) {}

GlSurface::~GlSurface() = default;

bool GlSurface::makeCurrent() {
  QOpenGLContext* context = widget_.context();
  if (!context || !context->isValid()) return false;
  if (QOpenGLContext::currentContext() != context) widget_.makeCurrent();
  return QOpenGLContext::currentContext() == context;
}

bool GlSurface::begin() {
  if (!makeCurrent() || !ensureResources()) return false;
  ensureTargets();
  return true;
}

bool GlSurface::ensureResources() {
  QOpenGLContext* context = widget_.context();
  if (context_ == context && program_) return true;
  if (context == failed_) return false;  // its shaders would not build: say so once
  if (context_) release();  // the old context went away without telling
  initializeOpenGLFunctions();
  auto* program = new QOpenGLShaderProgram();
  const QByteArray prefix = context->isOpenGLES() ? "precision mediump float;\n" : "";
  program->bindAttributeLocation("position", 0);
  program->bindAttributeLocation("texCoord", 1);
  if (!program->addShaderFromSourceCode(QOpenGLShader::Vertex, prefix + kVertexShader) ||
      !program->addShaderFromSourceCode(QOpenGLShader::Fragment, prefix + kFragmentShader) || !program->link()) {
    delete program;
    failed_ = context;
    return false;
  }
  program_ = program;
  context_ = context;
  viewSizeAt_ = program->uniformLocation("viewSize");
  colourAt_ = program->uniformLocation("colour");
  maskTestAt_ = program->uniformLocation("maskTest");
  imageAt_ = program->uniformLocation("image");

  const std::uint8_t white[4] = {255, 255, 255, 255};
  glGenTextures(1, &white_);
  glBindTexture(GL_TEXTURE_2D, white_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
  glGenBuffers(1, &buffer_);
  // Core profiles draw only with a vertex array object bound.
  if (context->format().profile() == QSurfaceFormat::CoreProfile) {
    glGenVertexArrays(1, &vao_);
  }
  return true;
}

void GlSurface::release() {
  // Without its context current the objects cannot be deleted; they die with the context.
  if (context_ && QOpenGLContext::currentContext() == context_) {
    for (auto& [serial, t] : images_) glDeleteTextures(1, &t.id);
    for (auto& [text, t] : texts_) glDeleteTextures(1, &t.id);
    freeTarget(back_);
    freeTarget(front_);
    glDeleteTextures(1, &white_);
    glDeleteBuffers(1, &buffer_);
    if (vao_) glDeleteVertexArrays(1, &vao_);
  }
  delete program_;
  program_ = nullptr;
  batch_.vertices.clear();
  images_.clear();
  texts_.clear();
  back_ = front_ = {};
  targetW_ = targetH_ = 0;
  white_ = buffer_ = vao_ = 0;
  context_ = nullptr;
}

void GlSurface::makeTarget(Target& t) {
  glGenTextures(1, &t.texture);
  glBindTexture(GL_TEXTURE_2D, t.texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, targetW_, targetH_, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glGenFramebuffers(1, &t.fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, t.fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t.texture, 0);
  glDisable(GL_SCISSOR_TEST);
  glViewport(0, 0, targetW_, targetH_);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
}

void GlSurface::freeTarget(Target& t) {
  if (t.fbo) glDeleteFramebuffers(1, &t.fbo);
  if (t.texture) glDeleteTextures(1, &t.texture);
  t = {};
}

void GlSurface::ensureTargets() {
  const qreal ratio = widget_.devicePixelRatioF();
  const int w = std::max(1, static_cast<int>(std::lround(widget_.width() * ratio)));
  const int h = std::max(1, static_cast<int>(std::lround(widget_.height() * ratio)));
  if (w == targetW_ && h == targetH_ && back_.fbo) return;
  batch_.vertices.clear();
  freeTarget(back_);
  freeTarget(front_);
  targetW_ = w, targetH_ = h;
  makeTarget(back_);
  makeTarget(front_);
  glBindFramebuffer(GL_FRAMEBUFFER, widget_.defaultFramebufferObject());
}

int GlSurface::width() const { return widget_.width(); }
int GlSurface::height() const { return widget_.height(); }

void GlSurface::clear() {
  if (!begin()) return;
  batch_.vertices.clear();  // would be cleared away anyway
  glBindFramebuffer(GL_FRAMEBUFFER, back_.fbo);
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glBindFramebuffer(GL_FRAMEBUFFER, widget_.defaultFramebufferObject());
}

void GlSurface::present() {
  if (!begin()) return;
  flush();
  glBindFramebuffer(GL_READ_FRAMEBUFFER, back_.fbo);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, front_.fbo);
  glDisable(GL_SCISSOR_TEST);
  glBlitFramebuffer(0, 0, targetW_, targetH_, 0, 0, targetW_, targetH_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_FRAMEBUFFER, widget_.defaultFramebufferObject());
  ++frame_;
  if (frame_ % 64 == 0) evictOld();
  widget_.update();
}

void GlSurface::finish() {
  if (makeCurrent()) glFinish();
}

void GlSurface::paint() {
  if (!ensureResources()) return;
  ensureTargets();
  const GLuint shown = widget_.defaultFramebufferObject();
  glBindFramebuffer(GL_READ_FRAMEBUFFER, front_.fbo);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, shown);
  glDisable(GL_SCISSOR_TEST);
  glBlitFramebuffer(0, 0, targetW_, targetH_, 0, 0, targetW_, targetH_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_FRAMEBUFFER, shown);
}

void GlSurface::setColor(int red, int green, int blue) {
  red_ = static_cast<float>(std::clamp(red, 0, 255)) / 255.0f;
  green_ = static_cast<float>(std::clamp(green, 0, 255)) / 255.0f;
  blue_ = static_cast<float>(std::clamp(blue, 0, 255)) / 255.0f;
}

void GlSurface::setAlpha(float alpha) { alpha_ = std::clamp(alpha, 0.0f, 1.0f); }
void GlSurface::setBlend(BlendMode mode) { blend_ = mode; }
void GlSurface::setLineWidth(float width) { lineWidth_ = width; }
void GlSurface::setScale(float sx, float sy) { scaleX_ = sx, scaleY_ = sy; }

std::vector<float>& GlSurface::batchFor(GLuint texture) {
  const bool same = batch_.texture == texture && batch_.red == red_ && batch_.green == green_ &&
                    batch_.blue == blue_ && batch_.alpha == alpha_ && batch_.blend == blend_;
  if (!same) {
    flush();
    batch_.texture = texture;
    batch_.red = red_, batch_.green = green_, batch_.blue = blue_, batch_.alpha = alpha_;
    batch_.blend = blend_;
  }
  return batch_.vertices;
}

void GlSurface::flush() {
  std::vector<float>& vertices = batch_.vertices;
  if (vertices.empty() || !makeCurrent() || context_ != widget_.context()) {
    vertices.clear();
    return;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, back_.fbo);
  glViewport(0, 0, targetW_, targetH_);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_CULL_FACE);
  if (batch_.blend == BlendMode::Alpha) {
    glEnable(GL_BLEND);
    // The canvas stays opaque whatever is blended over it.
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  } else {
    glDisable(GL_BLEND);
  }
  program_->bind();
  program_->setUniformValue(viewSizeAt_, QVector2D(static_cast<float>(std::max(1, width())),
                                                   static_cast<float>(std::max(1, height()))));
  program_->setUniformValue(colourAt_, QVector4D(batch_.red, batch_.green, batch_.blue, batch_.alpha));
  program_->setUniformValue(maskTestAt_, batch_.blend == BlendMode::Mask ? 1.0f : 0.0f);
  program_->setUniformValue(imageAt_, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, batch_.texture);
  if (vao_) glBindVertexArray(vao_);
  glBindBuffer(GL_ARRAY_BUFFER, buffer_);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
               GL_STREAM_DRAW);
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float), reinterpret_cast<const void*>(2 * sizeof(float)));
  glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size() / 4));
  ++drawCalls_;
  glDisableVertexAttribArray(0);
  glDisableVertexAttribArray(1);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  if (vao_) glBindVertexArray(0);
  program_->release();
  glDisable(GL_BLEND);
  glBindFramebuffer(GL_FRAMEBUFFER, widget_.defaultFramebufferObject());
  vertices.clear();
}

void GlSurface::drawLine(float x1, float y1, float x2, float y2) {
  const LineSegment line{x1, y1, x2, y2};
  drawLines(std::span<const LineSegment>(&line, 1));
}

void GlSurface::drawLines(std::span<const LineSegment> lines) {
  if (lines.empty() || !begin()) return;
  std::vector<float>& v = batchFor(white_);
  v.reserve(v.size() + lines.size() * 24);
  for (const auto& l : lines) pushLine(v, l, lineWidth_);
}

void GlSurface::drawRect(float x, float y, float w, float h) {
  if (!begin()) return;
  pushQuad(batchFor(white_), x, y, x + w, y + h);
}

void GlSurface::drawOval(float x, float y, float w, float h) {
  if (!begin()) return;
  const float rx = w / 2, ry = h / 2, cx = x + rx, cy = y + ry;
  const float perimeter = std::numbers::pi_v<float> * (std::abs(rx) + std::abs(ry));
  const int steps = std::clamp(static_cast<int>(perimeter / 2), 16, 256);
  std::vector<float>& v = batchFor(white_);
  for (int i = 0; i < steps; ++i) {
    const double a0 = 2 * std::numbers::pi * i / steps, a1 = 2 * std::numbers::pi * (i + 1) / steps;
    pushVertex(v, cx, cy);
    pushVertex(v, cx + rx * static_cast<float>(std::cos(a0)), cy + ry * static_cast<float>(std::sin(a0)));
    pushVertex(v, cx + rx * static_cast<float>(std::cos(a1)), cy + ry * static_cast<float>(std::sin(a1)));
  }
}

GLuint GlSurface::textTexture(std::string_view text, int& w, int& h) {
  const std::string key(text);
  auto it = texts_.find(key);
  if (it == texts_.end()) {
    QFont font = widget_.font();
    // Unsmoothed glyphs survive the alpha test of mask blending whole.
    font.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(font);
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QImage picture(std::max(1, metrics.horizontalAdvance(s)), std::max(1, metrics.height()), QImage::Format_RGBA8888);
    picture.fill(Qt::transparent);
    {
      QPainter painter(&picture);
      painter.setFont(font);
      painter.setPen(Qt::white);
      painter.drawText(0, metrics.ascent(), s);
    }
    Texture t;
    t.width = picture.width(), t.height = picture.height();
    glGenTextures(1, &t.id);
    glBindTexture(GL_TEXTURE_2D, t.id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, t.width, t.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, picture.constBits());
    it = texts_.emplace(key, t).first;
  }
  it->second.lastUse = frame_;
  w = it->second.width, h = it->second.height;
  return it->second.id;
}

void GlSurface::drawText(std::string_view text, float x, float y) {
  if (text.empty() || !begin()) return;
  int w = 0, h = 0;
  const GLuint texture = textTexture(text, w, h);
  pushQuad(batchFor(texture), x, y, x + static_cast<float>(w), y + static_cast<float>(h), 0, 0, 1, 1);
}

GLuint GlSurface::imageTexture(const Image& image) {
  auto it = images_.find(image.serial);
  const void* data = image.pixels.data();
  if (it != images_.end() &&
      (it->second.width != image.width || it->second.height != image.height || it->second.data != data)) {
    if (batch_.texture == it->second.id) flush();
    glDeleteTextures(1, &it->second.id);
    images_.erase(it);
    it = images_.end();
  }
  if (it == images_.end()) {
    Texture t;
    t.width = image.width, t.height = image.height, t.data = data;
    glGenTextures(1, &t.id);
    glBindTexture(GL_TEXTURE_2D, t.id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, image.mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width, image.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, data);
    if (image.mipmapped) glGenerateMipmap(GL_TEXTURE_2D);
    it = images_.emplace(image.serial, t).first;
  }
  it->second.lastUse = frame_;
  return it->second.id;
}

void GlSurface::drawImage(const Image& image, float x, float y, float w, float h) {
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() < static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4 ||
      !begin()) {
    return;
  }
  const GLuint texture = imageTexture(image);
  pushQuad(batchFor(texture), x, y, x + w * scaleX_, y + h * scaleY_, 0, 0, 1, 1);
}

void GlSurface::evictOld() {
  const auto evict = [this](auto& cache) {
    for (auto it = cache.begin(); it != cache.end();) {
      if (it->second.lastUse + kTextureAge < frame_) {
        glDeleteTextures(1, &it->second.id);
        it = cache.erase(it);
      } else {
        ++it;
      }
    }
  };
  evict(images_);
  evict(texts_);
}

GlCanvas::GlCanvas(QWidget* parent, Sink sink) : QOpenGLWidget(parent), sink_(std::move(sink)), surface_(*this) {
  setMouseTracking(true);  // moves without a button held are events too
}

GlCanvas::~GlCanvas() {
  disconnect(cleanup_);
  if (context()) {
    makeCurrent();
    surface_.release();
    doneCurrent();
  }
}

void GlCanvas::initializeGL() {
  disconnect(cleanup_);
  cleanup_ = connect(
      context(), &QOpenGLContext::aboutToBeDestroyed, this,
      [this] {
        makeCurrent();
        surface_.release();
        doneCurrent();
      },
      Qt::DirectConnection);
}

void GlCanvas::paintGL() { surface_.paint(); }

namespace {

int buttonNumber(Qt::MouseButton b) {
  switch (b) {
    case Qt::LeftButton:
      return kLeftButton;
    case Qt::RightButton:
      return kRightButton;
    case Qt::MiddleButton:
      return kMiddleButton;
    default:
      return 0;
  }
}

int coordinate(qreal v) { return static_cast<int>(std::floor(v)); }

}  // namespace

void GlCanvas::mousePressEvent(QMouseEvent* e) {
  const int b = buttonNumber(e->button());
  if (b == 0) return QOpenGLWidget::mousePressEvent(e);
  sink_(EventKind::MouseDown, b, coordinate(e->position().x()), coordinate(e->position().y()));
}

void GlCanvas::mouseReleaseEvent(QMouseEvent* e) {
  const int b = buttonNumber(e->button());
  if (b == 0) return QOpenGLWidget::mouseReleaseEvent(e);
  sink_(EventKind::MouseUp, b, coordinate(e->position().x()), coordinate(e->position().y()));
}

void GlCanvas::mouseMoveEvent(QMouseEvent* e) {
  sink_(EventKind::MouseMove, 0, coordinate(e->position().x()), coordinate(e->position().y()));
}

void GlCanvas::wheelEvent(QWheelEvent* e) {
  // Positive angles turn away from the user; 120 eighths of a degree make one notch.
  wheelRest_ += e->angleDelta().y();
  const int x = coordinate(e->position().x()), y = coordinate(e->position().y());
  for (; wheelRest_ >= 120; wheelRest_ -= 120) sink_(EventKind::MouseWheel, 1, x, y);
  for (; wheelRest_ <= -120; wheelRest_ += 120) sink_(EventKind::MouseWheel, -1, x, y);
  e->accept();
}

}  // namespace vorlane::platform::qt
