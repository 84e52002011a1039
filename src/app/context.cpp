#include "app/context.h"

namespace vorlane::app {

After toggleWindow(EditorContext& ctx, platform::Handle window, bool& shown) {
  if (shown)
    ctx.tk.hide(window);
  else
    ctx.tk.show(window);
  shown = !shown;
  return After::step;
}

After hideWindow(EditorContext& ctx, platform::Handle window, bool& shown) {
  ctx.tk.hide(window);
  shown = false;
  return After::step;
}

void EditorContext::showAsBefore(const map::ViewState& before, bool withMarks) {
  map::ViewState& now = mapView();
  now.scrollX = before.scrollX;
  now.scrollY = before.scrollY;
  now.zoom = before.zoom;
  if (withMarks) now.marks = before.marks;
}

}  // namespace vorlane::app
