// The Render button: the lit map of the current one replaces it. The Lighting options are
// read from the window at each render and kept nowhere else.
#include <algorithm>
#include <cctype>
#include <charconv>

#include "app/shell.h"
#include "base/convert.h"
#include "formats/bake_map.h"
#include "formats/formats.h"
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

lighting::Options Shell::lightingOptions() const {
  lighting::Options o;
  const platform::Handle fields[] = {g_.ambientRedField, g_.ambientGreenField, g_.ambientBlueField};
  for (std::size_t k = 0; k < 3; ++k) o.ambient[k] = std::clamp(base::textToInt(tk_.text(fields[k])), 0, 255);
  o.intensity = textToFactor(tk_.text(g_.intensityField));
  o.castShadowsFlags = tk_.checked(g_.castShadowsFlagsBox);
  return o;
}

Shell::After Shell::render() {
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
  replaceMap("Render", std::move(lit).value());
  // The lit map has no lights: previewed, it would show black, not what was just rendered.
  if (previewOn_) setPreview(false);
  return After::step;
}

// A TMX or TMJ map lit with the Render window's settings and written back as the same map,
// for games that read it; the open map is not touched.
Shell::After Shell::bakeMapFile() {
  const std::string filter = formats::requesterFilter(true);
  const std::string in = tk_.fileRequester("Bake a map file.", filter, platform::FileMode::Open, "");
  if (in.empty()) return After::step;
  const std::string out = tk_.fileRequester("Write the lit map as.", filter, platform::FileMode::Save, "");
  if (out.empty()) return After::step;
  formats::BakeMapRequest request;
  request.width = base::textToInt(tk_.text(g_.widthField));
  request.height = base::textToInt(tk_.text(g_.heightField));
  request.soft = tk_.checked(g_.softShadowsBox);
  request.options = lightingOptions();
  auto notes = formats::bakeMapFile(in, out, request, [this](float fraction) { tk_.setProgress(g_.progressBar, fraction); });
  if (!notes) {
    tk_.messageBox(notes.error(), platform::MessageKind::Error);
    return After::step;
  }
  std::string text = "The lit map was written to " + out + ".";
  for (const std::string& note : *notes) text += "\n  " + note;
  tk_.messageBox(text, platform::MessageKind::Information);
  return After::step;
}

Shell::After Shell::setPreview(bool on) {
  previewOn_ = on;
  tk_.setChecked(g_.previewBox, on);
  previewKey_.reset();
  if (on && !preview_) preview_ = std::make_unique<PreviewBaker>();
  if (!on && preview_) preview_->clear();
  return After::step;
}

// The same snapshot, settings and options as Render, at a resolution the preview can keep up with.
void Shell::requestPreview() {
  if (!previewOn_) return;
  const map::Map& m = *doc_.map();
  const auto side = [&](platform::Handle field) {
    return std::clamp(base::textToInt(tk_.text(field)), lighting::kMinResolution, kMaxPreviewResolution);
  };
  const PreviewKey key{&m, side(g_.widthField), side(g_.heightField), tk_.checked(g_.softShadowsBox),
                       lightingOptions(), previewDensity(mapView().zoom)};
  // The cells the canvas shows and one more around them; the rest are lit once shown.
  const platform::Surface& canvas = tk_.surface(g_.mapCanvas);
  const map::ViewState& view = mapView();
  const lighting::CellRegion region = shownRegion(m, view, canvas, 1);
  if (previewKey_ == key && previewRegion_.contains(shownRegion(m, view, canvas, 0))) return;
  previewKey_ = key;
  previewRegion_ = region;
  lighting::Settings settings{key.width, key.height, key.soft, lighting::kBlurRadius, key.options, 0};
  settings.region = region;
  settings.density = key.density;
  preview_->request(lighting::Snapshot(m, key.options.castShadowsFlags), settings, &m);
}

}  // namespace vorlane::app
