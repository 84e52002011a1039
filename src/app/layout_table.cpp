#include "app/layout_table.h"

#include <string_view>

namespace vorlane::app {

int resolve(platform::Toolkit& toolkit, Coord coord, platform::Handle parent) {
  switch (coord.from) {
    case Coord::From::Zero: return coord.value;
    case Coord::From::HalfScreenWidth: return toolkit.screenWidth() / 2 + coord.value;
    case Coord::From::HalfScreenHeight: return toolkit.screenHeight() / 2 + coord.value;
    case Coord::From::InnerWidth: return toolkit.innerWidth(parent) + coord.value;
    case Coord::From::InnerHeight: return toolkit.innerHeight(parent) + coord.value;
  }
  return coord.value;
}

platform::Handle createPiece(platform::Toolkit& tk, PieceKind kind, const char* text, int x, int y, int w, int h,
                             platform::Handle parent, unsigned flags) {
  const std::string_view t = text ? text : "";
  switch (kind) {
    case PieceKind::Window: return tk.createWindow(t, x, y, w, h, parent, flags);
    case PieceKind::Button: return tk.createButton(t, x, y, w, h, parent);
    case PieceKind::CheckBox: return tk.createCheckBox(t, x, y, w, h, parent);
    case PieceKind::TextField: {
      const platform::Handle field = tk.createTextField(x, y, w, h, parent);
      if (!t.empty()) tk.setText(field, t);
      return field;
    }
    case PieceKind::Label: return tk.createLabel(t, x, y, w, h, parent);
    case PieceKind::GroupFrame: return tk.createGroupFrame(x, y, w, h, parent, t);
    case PieceKind::ListBox: return tk.createListBox(x, y, w, h, parent);
    case PieceKind::TabStrip: return tk.createTabStrip(x, y, w, h, parent);
    case PieceKind::ProgressBar: return tk.createProgressBar(x, y, w, h, parent);
    case PieceKind::Canvas: return tk.createCanvas(x, y, w, h, parent);
  }
  return platform::kNoHandle;
}

}  // namespace vorlane::app
