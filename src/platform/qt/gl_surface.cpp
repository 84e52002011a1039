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
#include <optional>

namespace vorlane::platform::qt {
namespace {

// Pixel (i, j) covers [i, i+1) × [j, j+1); y grows downwards. The shader works in these
// units and flips to GL's upward y, so the first image row lands at the top. Every texture
// is an array texture; texCoord's third component picks the layer.
constexpr const char* kVertexShader = R"(
in vec2 position;
in vec3 texCoord;
uniform vec2 viewSize;
out vec3 uv;
void main() {
  uv = texCoord;
  gl_Position = vec4(position.x / viewSize.x * 2.0 - 1.0, 1.0 - position.y / viewSize.y * 2.0, 0.0, 1.0);
}
)";

// Mask blending is an alpha test at one half; what passes is written opaque.
constexpr const char* kFragmentShader = R"(
uniform sampler2DArray image;
uniform vec4 colour;
uniform float maskTest;
in vec3 uv;
void main() {
  vec4 c = texture(image, uv) * colour;
  if (maskTest > 0.5) {
    if (c.a < 0.5) discard;
    c.a = 1.0;
  }
  FRAGMENT = c;
}
)";

// Textures unused for this many presented frames are dropped: their images are likely gone.
constexpr std::uint64_t kTextureAge = 600;

constexpr int kFloatsPerVertex = 5;
// The first atlas of a size holds this many layers; full ones double up to the GL limit.
constexpr int kFirstCapacity = 4;

void pushVertex(std::vector<float>& v, float x, float y, float u = 0, float t = 0, float layer = 0) {
  v.insert(v.end(), {x, y, u, t, layer});
}

// A rectangle; with a layer, that layer's whole image stretched over it.
void pushQuad(std::vector<float>& v, float x1, float y1, float x2, float y2, std::optional<int> layer = {}) {
  const float u2 = layer ? 1.0f : 0.0f, l = static_cast<float>(layer.value_or(0));
  pushVertex(v, x1, y1, 0, 0, l);
  pushVertex(v, x2, y1, u2, 0, l);
  pushVertex(v, x2, y2, u2, u2, l);
  pushVertex(v, x1, y1, 0, 0, l);
  pushVertex(v, x2, y2, u2, u2, l);
  pushVertex(v, x1, y2, 0, u2, l);
}

int mipLevels(int w, int h) {
  int levels = 1;
  for (int side = std::max(w, h); side > 1; side /= 2) ++levels;
  return levels;
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
  // Array textures need GLSL 1.30 (OpenGL 3.0) or GLSL ES 3.00.
  const QByteArray vertexPrefix = context->isOpenGLES() ? "#version 300 es\nprecision highp float;\n" : "#version 130\n";
  const QByteArray fragmentPrefix =
      context->isOpenGLES()
          ? "#version 300 es\nprecision highp float;\nprecision highp sampler2DArray;\nout vec4 fragment;\n#define FRAGMENT fragment\n"
          : "#version 130\n#define FRAGMENT gl_FragColor\n";
  program->bindAttributeLocation("position", 0);
  program->bindAttributeLocation("texCoord", 1);
  if (!program->addShaderFromSourceCode(QOpenGLShader::Vertex, vertexPrefix + kVertexShader) ||
      !program->addShaderFromSourceCode(QOpenGLShader::Fragment, fragmentPrefix + kFragmentShader) ||
      !program->link()) {
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
  glGetIntegerv(GL_MAX_ARRAY_TEXTURE_LAYERS, &maxLayers_);
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize_);

  const std::uint8_t white[4] = {255, 255, 255, 255};
  glGenTextures(1, &white_);
  glBindTexture(GL_TEXTURE_2D_ARRAY, white_);
  glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage3D(GL_TEXTURE_2D_ARRAY, 0, GL_RGBA8, 1, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
  glGenBuffers(1, &buffer_);
  glGenFramebuffers(2, copyFbo_);
  // Core profiles draw only with a vertex array object bound.
  if (context->format().profile() == QSurfaceFormat::CoreProfile) {
    glGenVertexArrays(1, &vao_);
  }
  return true;
}

void GlSurface::release() {
  // Without its context current the objects cannot be deleted; they die with the context.
  if (context_ && QOpenGLContext::currentContext() == context_) {
    for (const Atlas& a : atlases_) {
      if (a.id) glDeleteTextures(1, &a.id);
    }
    freeTarget(back_);
    freeTarget(front_);
    glDeleteTextures(1, &white_);
    glDeleteBuffers(1, &buffer_);
    if (lineSetBuffer_) glDeleteBuffers(1, &lineSetBuffer_);
    glDeleteFramebuffers(2, copyFbo_);
    if (vao_) glDeleteVertexArrays(1, &vao_);
  }
  delete program_;
  program_ = nullptr;
  batch_.vertices.clear();
  batch_.atlas = kNoAtlas;
  atlases_.clear();
  images_.clear();
  texts_.clear();
  back_ = front_ = {};
  targetW_ = targetH_ = 0;
  presented_ = false;
  white_ = buffer_ = vao_ = lineSetBuffer_ = 0;
  lineSetKey_.clear();
  lineSetVertices_ = 0;
  copyFbo_[0] = copyFbo_[1] = 0;
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

QSize GlSurface::targetSize() const {
  const qreal ratio = widget_.devicePixelRatioF();
  return {std::max(1, static_cast<int>(std::lround(widget_.width() * ratio))),
          std::max(1, static_cast<int>(std::lround(widget_.height() * ratio)))};
}

void GlSurface::ensureTargets() {
  const QSize size = targetSize();
  const int w = size.width(), h = size.height();
  if (w == targetW_ && h == targetH_ && back_.fbo) return;
  presented_ = false;
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
  presented_ = true;
  widget_.update();
}

bool GlSurface::frameLost() const {
  return !presented_ || context_ != widget_.context() || targetSize() != QSize(targetW_, targetH_);
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

std::vector<float>& GlSurface::batchFor(GLuint texture, std::size_t atlas) {
  const bool same = batch_.texture == texture && batch_.red == red_ && batch_.green == green_ &&
                    batch_.blue == blue_ && batch_.alpha == alpha_ && batch_.blend == blend_;
  if (!same) {
    flush();
    batch_.texture = texture;
    batch_.atlas = atlas;
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
  if (batch_.atlas < atlases_.size() && atlases_[batch_.atlas].mipmapsStale) {
    // Once per batch rather than per upload: a frame may bring thousands of new tiles.
    glBindTexture(GL_TEXTURE_2D_ARRAY, batch_.texture);
    glGenerateMipmap(GL_TEXTURE_2D_ARRAY);
    atlases_[batch_.atlas].mipmapsStale = false;
  }
  glBindBuffer(GL_ARRAY_BUFFER, buffer_);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
               GL_STREAM_DRAW);
  submit(buffer_, static_cast<GLsizei>(vertices.size() / kFloatsPerVertex), batch_);
  vertices.clear();
}

void GlSurface::submit(GLuint buffer, GLsizei count, const Batch& batch) {
  glBindFramebuffer(GL_FRAMEBUFFER, back_.fbo);
  glViewport(0, 0, targetW_, targetH_);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_CULL_FACE);
  if (batch.blend == BlendMode::Alpha) {
    glEnable(GL_BLEND);
    // The canvas stays opaque whatever is blended over it.
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  } else {
    glDisable(GL_BLEND);
  }
  program_->bind();
  program_->setUniformValue(viewSizeAt_, QVector2D(static_cast<float>(std::max(1, width())),
                                                   static_cast<float>(std::max(1, height()))));
  program_->setUniformValue(colourAt_, QVector4D(batch.red, batch.green, batch.blue, batch.alpha));
  program_->setUniformValue(maskTestAt_, batch.blend == BlendMode::Mask ? 1.0f : 0.0f);
  program_->setUniformValue(imageAt_, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D_ARRAY, batch.texture);
  if (vao_) glBindVertexArray(vao_);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(1);
  constexpr GLsizei stride = kFloatsPerVertex * sizeof(float);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, stride, nullptr);
  glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(2 * sizeof(float)));
  glDrawArrays(GL_TRIANGLES, 0, count);
  ++drawCalls_;
  glDisableVertexAttribArray(0);
  glDisableVertexAttribArray(1);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  if (vao_) glBindVertexArray(0);
  program_->release();
  glDisable(GL_BLEND);
  glBindFramebuffer(GL_FRAMEBUFFER, widget_.defaultFramebufferObject());
}

void GlSurface::drawLine(float x1, float y1, float x2, float y2) {
  const LineSegment line{x1, y1, x2, y2};
  drawLines(std::span<const LineSegment>(&line, 1));
}

void GlSurface::drawLines(std::span<const LineSegment> lines) {
  if (lines.empty() || !begin()) return;
  std::vector<float>& v = batchFor(white_);
  v.reserve(v.size() + lines.size() * 6 * kFloatsPerVertex);
  for (const auto& l : lines) pushLine(v, l, lineWidth_);
}

void GlSurface::drawLineSet(std::string_view key, const LineBuilder& build) {
  if (!begin()) return;
  if (key != lineSetKey_ || lineWidth_ != lineSetWidth_ || !lineSetBuffer_) {
    std::vector<LineSegment> lines;
    build(lines);
    std::vector<float> v;
    v.reserve(lines.size() * 6 * kFloatsPerVertex);
    for (const auto& l : lines) pushLine(v, l, lineWidth_);
    if (!lineSetBuffer_) glGenBuffers(1, &lineSetBuffer_);
    glBindBuffer(GL_ARRAY_BUFFER, lineSetBuffer_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(v.size() * sizeof(float)), v.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    lineSetVertices_ = static_cast<GLsizei>(v.size() / kFloatsPerVertex);
    lineSetKey_ = key;
    lineSetWidth_ = lineWidth_;
  }
  if (lineSetVertices_ == 0) return;
  flush();  // what came before lies under the lines
  Batch state;
  state.texture = white_;
  state.red = red_, state.green = green_, state.blue = blue_, state.alpha = alpha_;
  state.blend = blend_;
  submit(lineSetBuffer_, lineSetVertices_, state);
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

std::size_t GlSurface::atlasCount() const {
  return static_cast<std::size_t>(std::count_if(atlases_.begin(), atlases_.end(), [](const Atlas& a) { return a.id != 0; }));
}

std::size_t GlSurface::atlasLayers() const {
  std::size_t layers = 0;
  for (const Atlas& a : atlases_) layers += a.id ? static_cast<std::size_t>(a.capacity) : 0;
  return layers;
}

// The atlas of this size and filter with a free layer, grown or made when there is none.
std::size_t GlSurface::atlasFor(int w, int h, bool mipmapped) {
  std::size_t empty = atlases_.size();
  for (std::size_t i = 0; i < atlases_.size(); ++i) {
    Atlas& a = atlases_[i];
    if (!a.id) {
      empty = std::min(empty, i);
      continue;
    }
    if (a.width != w || a.height != h || a.mipmapped != mipmapped) continue;
    if (!a.freeLayers.empty()) return i;
    if (a.capacity < maxLayers_) {
      grow(a, i);
      return i;
    }
  }
  if (empty == atlases_.size()) atlases_.emplace_back();
  Atlas& a = atlases_[empty];
  a = Atlas{};
  a.width = w, a.height = h, a.mipmapped = mipmapped;
  grow(a, empty);
  return empty;
}

// A new texture with twice the layers (or the first ones), the old layers copied over.
void GlSurface::grow(Atlas& a, std::size_t index) {
  if (batch_.atlas == index) flush();
  const int capacity = a.capacity ? std::min(a.capacity * 2, maxLayers_) : std::min(kFirstCapacity, maxLayers_);
  const int levels = a.mipmapped ? mipLevels(a.width, a.height) : 1;
  GLuint id = 0;
  glGenTextures(1, &id);
  glBindTexture(GL_TEXTURE_2D_ARRAY, id);
  glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MIN_FILTER, a.mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MAX_LEVEL, levels - 1);
  for (int level = 0; level < levels; ++level) {
    glTexImage3D(GL_TEXTURE_2D_ARRAY, level, GL_RGBA8, std::max(1, a.width >> level), std::max(1, a.height >> level),
                 capacity, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  }
  if (a.id) {
    // Every level of every layer, through a framebuffer: GL 3.0 has no texture-to-texture copy.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, copyFbo_[0]);
    for (int layer = 0; layer < a.capacity; ++layer) {
      for (int level = 0; level < levels; ++level) {
        glFramebufferTextureLayer(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, a.id, level, layer);
        glCopyTexSubImage3D(GL_TEXTURE_2D_ARRAY, level, 0, 0, layer, 0, 0, std::max(1, a.width >> level),
                            std::max(1, a.height >> level));
      }
    }
    glFramebufferTextureLayer(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, 0, 0, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, widget_.defaultFramebufferObject());
    glDeleteTextures(1, &a.id);
  }
  for (int layer = capacity - 1; layer >= a.capacity; --layer) a.freeLayers.push_back(layer);
  a.id = id;
  a.capacity = capacity;
}

void GlSurface::freeSlot(const Slot& slot) {
  Atlas& a = atlases_[slot.atlas];
  a.freeLayers.push_back(slot.layer);
  if (--a.used > 0) return;
  // The last image of this size went: give the memory back.
  if (batch_.atlas == slot.atlas) flush();
  glDeleteTextures(1, &a.id);
  a = Atlas{};
}

bool GlSurface::upload(Slot*& slot, bool fresh, int w, int h, bool mipmapped, const void* data) {
  if (w <= 0 || h <= 0 || w > maxSize_ || h > maxSize_) return false;
  if (!fresh && slot->data == data) return true;
  if (fresh) {
    const std::size_t index = atlasFor(w, h, mipmapped);
    Atlas& a = atlases_[index];
    slot->atlas = index;
    slot->layer = a.freeLayers.back();
    a.freeLayers.pop_back();
    ++a.used;
  } else if (batch_.atlas == slot->atlas) {
    flush();  // the batch still draws the old pixels
  }
  Atlas& a = atlases_[slot->atlas];
  glBindTexture(GL_TEXTURE_2D_ARRAY, a.id);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexSubImage3D(GL_TEXTURE_2D_ARRAY, 0, 0, 0, slot->layer, w, h, 1, GL_RGBA, GL_UNSIGNED_BYTE, data);
  if (a.mipmapped) a.mipmapsStale = true;
  slot->data = data;
  return true;
}

void GlSurface::drawText(std::string_view text, float x, float y) {
  if (text.empty() || !begin()) return;
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
    Slot fresh;
    Slot* slot = &fresh;
    if (!upload(slot, true, picture.width(), picture.height(), false, picture.constBits())) return;
    it = texts_.emplace(key, fresh).first;
  }
  it->second.lastUse = frame_;
  const Atlas& a = atlases_[it->second.atlas];
  pushQuad(batchFor(a.id, it->second.atlas), x, y, x + static_cast<float>(a.width), y + static_cast<float>(a.height),
           it->second.layer);
}

void GlSurface::drawImage(const Image& image, float x, float y, float w, float h) {
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() < static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4 ||
      !begin()) {
    return;
  }
  auto it = images_.find(image.serial);
  if (it != images_.end()) {
    const Atlas& a = atlases_[it->second.atlas];
    if (a.width != image.width || a.height != image.height || a.mipmapped != image.mipmapped) {
      freeSlot(it->second);  // resized in place: it belongs in another atlas
      images_.erase(it);
      it = images_.end();
    }
  }
  const bool fresh = it == images_.end();
  Slot added;
  Slot* slot = fresh ? &added : &it->second;
  if (!upload(slot, fresh, image.width, image.height, image.mipmapped, image.pixels.data())) return;
  if (fresh) it = images_.emplace(image.serial, added).first;
  it->second.lastUse = frame_;
  const std::size_t atlas = it->second.atlas;
  pushQuad(batchFor(atlases_[atlas].id, atlas), x, y, x + w * scaleX_, y + h * scaleY_, it->second.layer);
}

// Images unused for a while are likely gone (a render replaces every tile): their layers
// go back to their atlas, and an atlas left empty is deleted.
void GlSurface::evictOld() {
  const auto evict = [this](auto& cache) {
    for (auto it = cache.begin(); it != cache.end();) {
      if (it->second.lastUse + kTextureAge < frame_) {
        freeSlot(it->second);
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
  const EventKind kind = e->modifiers() & Qt::ControlModifier ? EventKind::ZoomWheel : EventKind::MouseWheel;
  for (; wheelRest_ >= 120; wheelRest_ -= 120) sink_(kind, 1, x, y);
  for (; wheelRest_ <= -120; wheelRest_ += 120) sink_(kind, -1, x, y);
  e->accept();
}

void GlCanvas::leaveEvent(QEvent* e) {
  sink_(EventKind::MouseLeave, 0, 0, 0);
  QOpenGLWidget::leaveEvent(e);
}

}  // namespace vorlane::platform::qt
