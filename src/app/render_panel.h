#pragma once
// The Render window and the live preview: the Render command, the Lighting options as the
// window shows them, and the preview's bakes of what the map canvas shows.
#include <memory>
#include <optional>
#include <string>

#include "app/context.h"
#include "app/preview.h"
#include "lighting/render.h"

namespace vorlane::app {

class RenderPanel {
 public:
  // The preview bakes again after any change of what it lights.
  explicit RenderPanel(EditorContext& ctx);

  // The lit map of the current one replaces it, as one step.
  After render();
  // The live preview: on or off, and a new bake whenever what it shows may have changed.
  After setPreview(bool on);
  void requestPreview();
  // The Render window's Lighting options.
  lighting::Options lightingOptions() const;
  After toggleWindow() { return app::toggleWindow(ctx_, ctx_.g.renderWindow, shown_); }
  After hideWindow() { return app::hideWindow(ctx_, ctx_.g.renderWindow, shown_); }

  // What the map canvas draws in place of `map`'s tiles: the newest finished bake of it, if any.
  struct Shown {
    map::Map* tiles = nullptr;
    const map::CellPicture* picture = nullptr;
  };
  Shown takeShown(const map::Map& map);
  // The status bar's mark of the preview (reduced bake, bake running); empty when off.
  std::string statusMark();

  bool shown() const { return shown_; }
  bool previewOn() const { return previewOn_; }
  // The preview's bakes; none before the preview was first turned on.
  PreviewBaker* previewBaker() { return preview_.get(); }

 private:
  EditorContext& ctx_;
  platform::Toolkit& tk_;
  const Gadgets& g_;
  edit::Document& doc_;
  bool shown_ = false;
  bool previewOn_ = false;
  // What the newest preview bake was asked for, besides the document, whose changes drop it.
  struct PreviewKey {
    const map::Map* map;
    std::int32_t width, height;
    bool soft;
    lighting::Options options;
    std::int32_t density;
    bool operator==(const PreviewKey&) const = default;
  };
  std::optional<PreviewKey> previewKey_;
  lighting::CellRegion previewRegion_;     // and the cells it lights
  std::unique_ptr<PreviewBaker> preview_;
  edit::Document::Subscription following_;
};

}  // namespace vorlane::app
