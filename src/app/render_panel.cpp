// The Render button: the lit map of the current one replaces it. The Lighting options are
// read from the window at each render and kept nowhere else.
#include <algorithm>
#include <cctype>
#include <charconv>

#include "app/render_panel.h"
#include "base/convert.h"
#include "lighting/render.h"

namespace vorlane::app {

namespace {

// The tool's limit for --intensity.
constexpr float kMaxIntensity = 1000.0f;

// Read as leniently as the window's other fields: leading blanks skipped, the number that
// follows taken up to the first character that does not fit, none read as 0.
float textToFactor(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  float value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  return value >= 0 ? std::min(value, kMaxIntensity) : 0.0f;
}

}  // namespace

RenderPanel::RenderPanel(EditorContext& ctx)
    : ctx_(ctx), tk_(ctx.tk), g_(ctx.g), doc_(ctx.doc), following_(doc_.listen([this](edit::ChangeSet changes) {
        if (changes.any(edit::Change::cells | edit::Change::objects | edit::Change::tiles | edit::Change::map))
          previewKey_.reset();
      })) {}

lighting::Options RenderPanel::lightingOptions() const {
  lighting::Options o;
  const platform::Handle fields[] = {g_.ambientRedField, g_.ambientGreenField, g_.ambientBlueField};
  for (std::size_t k = 0; k < 3; ++k) o.ambient[k] = std::clamp(base::textToInt(tk_.text(fields[k])), 0, 255);
  o.intensity = textToFactor(tk_.text(g_.intensityField));
  o.castShadowsFlags = tk_.checked(g_.castShadowsFlagsBox);
  return o;
}

After RenderPanel::render() {
  tk_.surface(g_.mapCanvas);
  auto lit = lighting::renderCommand(*doc_.map(), tk_.text(g_.widthField), tk_.text(g_.heightField),
                                     tk_.checked(g_.softShadowsBox),
                                     [this](float fraction) { tk_.setProgress(g_.progressBar, fraction); },
                                     lightingOptions());
  // A refusal (resolution, memory) has changed nothing.
  if (!lit) {
    tk_.messageBox(lit.error(), platform::MessageKind::Error);
    return After::step;
  }
  ctx_.endGestures();
  doc_.replaceMap("Render", std::move(lit).value());
  // The lit map has no lights: previewed, it would show black, not what was just rendered.
  if (previewOn_) setPreview(false);
  return After::step;
}

After RenderPanel::setPreview(bool on) {
  previewOn_ = on;
  tk_.setChecked(g_.previewBox, on);
  previewKey_.reset();
  if (on && !preview_) preview_ = std::make_unique<PreviewBaker>();
  if (!on && preview_) preview_->clear();
  return After::step;
}

// The same snapshot, settings and options as Render, at a resolution the preview can keep up with.
void RenderPanel::requestPreview() {
  if (!previewOn_) return;
  const map::Map& m = *doc_.map();
  const auto side = [&](platform::Handle field) {
    return std::clamp(base::textToInt(tk_.text(field)), lighting::kMinResolution, kMaxPreviewResolution);
  };
  const PreviewKey key{&m, side(g_.widthField), side(g_.heightField), tk_.checked(g_.softShadowsBox),
                       lightingOptions(), previewDensity(ctx_.mapView().zoom)};
  // The cells the canvas shows and one more around them; the rest are lit once shown.
  const platform::Surface& canvas = tk_.surface(g_.mapCanvas);
  const map::ViewState& view = ctx_.mapView();
  const lighting::CellRegion region = shownRegion(m, view, canvas, 1);
  if (previewKey_ == key && previewRegion_.contains(shownRegion(m, view, canvas, 0))) return;
  previewKey_ = key;
  previewRegion_ = region;
  lighting::Settings settings{key.width, key.height, key.soft, lighting::kBlurRadius, key.options, 0};
  settings.region = region;
  settings.density = key.density;
  preview_->request(lighting::Snapshot(m, key.options.castShadowsFlags), settings, &m);
}

RenderPanel::Shown RenderPanel::takeShown(const map::Map& map) {
  if (!previewOn_) return {};
  preview_->poll();
  if (!preview_->shown() || preview_->shownOwner() != &map) return {};
  return {preview_->shownTiles(), preview_->shownPicture()};
}

std::string RenderPanel::statusMark() {
  const bool baking = previewOn_ && preview_->busy();
  const map::CellPicture* reduced = previewOn_ ? preview_->shownPicture() : nullptr;
  return (reduced ? previewDensityText(reduced->density) : "") + (baking ? kPreviewBaking : "");
}

}  // namespace vorlane::app
