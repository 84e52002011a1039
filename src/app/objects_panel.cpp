#include "app/objects_panel.h"

namespace vorlane::app {

namespace {

objects::ObjectGadgets objectGadgets(const Gadgets& g) {
  return {g.redField,  g.greenField,  g.blueField, g.lightShadowsBox, g.rangeField,
          g.linkField, g.recordsList, g.nameField, g.valueField};
}

}  // namespace

ObjectsPanel::ObjectsPanel(EditorContext& ctx) : ctx_(ctx), editor_(ctx.tk, objectGadgets(ctx.g), ctx.doc) {}

After ObjectsPanel::fieldChanged(platform::Handle gadget) {
  editor_.fieldChanged(gadget);
  return After::step;
}

After ObjectsPanel::browse() {
  editor_.browseLink();
  return After::step;
}

After ObjectsPanel::selectRecord(int index) {
  editor_.selectRecord(index);
  return After::step;
}

After ObjectsPanel::newRecord() {
  if (editor_.activePivot()) editor_.newRecord();
  return After::step;
}

After ObjectsPanel::deleteRecord() {
  const auto& pivot = editor_.activePivot();
  if (!pivot || ctx_.tk.selectedItem(ctx_.g.recordsList) < 0 || pivot->recordCount <= 0) return After::skip;
  editor_.deleteRecord();
  return After::step;
}

After ObjectsPanel::pickColour() {
  if (editor_.activeLight()) editor_.pickColour();
  return After::step;
}

}  // namespace vorlane::app
