#include "app/new_map_dialog.h"

#include <algorithm>

#include "app/layout_table.h"
#include "base/convert.h"

namespace vorlane::app {

namespace {

struct DialogGadgets {
  platform::Handle owner{}, window{}, widthField{}, widthLabel{}, heightField{}, heightLabel{}, depthField{},
      depthLabel{}, tileWidthField{}, tileWidthLabel{}, tileHeightField{}, tileHeightLabel{}, createButton{},
      cancelButton{};
};

using K = PieceKind;
using D = DialogGadgets;

constexpr Piece<D> kDialog[] = {
    {K::Window, "New Map", halfScreenWidth(-110), halfScreenHeight(-80), 220, 160, &D::owner, &D::window,
     platform::kTitleBar},
    {K::TextField, "32", 10, 10, 40, 20, &D::window, &D::widthField},
    {K::Label, "Width", 52, 10, 60, 20, &D::window, &D::widthLabel},
    {K::TextField, "32", 105, 10, 40, 20, &D::window, &D::heightField},
    {K::Label, "Height", 147, 10, 60, 20, &D::window, &D::heightLabel},
    {K::TextField, "4", 10, 35, 40, 20, &D::window, &D::depthField},
    {K::Label, "Depth", 52, 35, 60, 20, &D::window, &D::depthLabel},
    {K::TextField, "64", 10, 60, 40, 20, &D::window, &D::tileWidthField},
    {K::Label, "Tile Width", 52, 60, 60, 20, &D::window, &D::tileWidthLabel},
    {K::TextField, "64", 105, 60, 40, 20, &D::window, &D::tileHeightField},
    {K::Label, "Tile Height", 147, 60, 60, 20, &D::window, &D::tileHeightLabel},
    {K::Button, "Create", 10, 90, 80, 20, &D::window, &D::createButton},
    {K::Button, "Cancel", 100, 90, 80, 20, &D::window, &D::cancelButton},
};

std::int32_t fieldAtLeast(platform::Toolkit& tk, platform::Handle field, std::int32_t minimum) {
  return std::max(base::textToInt(tk.text(field)), minimum);
}

MapSize readSize(platform::Toolkit& tk, const DialogGadgets& d) {
  return {fieldAtLeast(tk, d.widthField, 1), fieldAtLeast(tk, d.heightField, 1), fieldAtLeast(tk, d.depthField, 1),
          fieldAtLeast(tk, d.tileWidthField, 4), fieldAtLeast(tk, d.tileHeightField, 4)};
}

}  // namespace

void runNewMapDialog(platform::Toolkit& tk, platform::Handle owner, const std::function<bool(const MapSize&)>& create) {
  DialogGadgets d;
  d.owner = owner;
  build<DialogGadgets>(tk, kDialog, d);
  for (;;) {
    const platform::Event e = tk.waitEvent();
    const bool closed = e.kind == platform::EventKind::WindowClose && e.source == d.window;
    const bool action = e.kind == platform::EventKind::GadgetAction;
    const bool escape = e.kind == platform::EventKind::KeyDown && e.datum == platform::kKeyEscape;
    if (closed || escape || (action && e.source == d.cancelButton)) break;
    if (action && e.source == d.createButton && create(readSize(tk, d))) break;
  }
  tk.destroyWindow(d.window);
}

}  // namespace vorlane::app
