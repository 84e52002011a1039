#include "app/scan_dialog.h"

#include "base/convert.h"
#include "tiles/scan.h"

namespace vorlane::app {

using platform::EventKind;
using platform::Handle;
using platform::MessageKind;

namespace {

struct ScanDialog {
  Handle window, widthField, heightField, scanButton, cancelButton;
};

// The "Scan Image" dialog, centred on the desktop, gadgets in this order.
ScanDialog openDialog(platform::Toolkit& tk, Handle owner) {
  ScanDialog d{};
  d.window = tk.createWindow("Scan Image", tk.screenWidth() / 2 - 120, tk.screenHeight() / 2 - 50, 240, 100, owner,
                             platform::kTitleBar);
  d.widthField = tk.createTextField(10, 20, 40, 20, d.window);
  d.heightField = tk.createTextField(60, 20, 40, 20, d.window);
  tk.createLabel("Width", 10, 2, 50, 15, d.window);
  tk.createLabel("Height", 60, 2, 50, 15, d.window);
  d.scanButton = tk.createButton("Scan", 120, 20, 40, 20, d.window);
  d.cancelButton = tk.createButton("Cancel", 160, 20, 40, 20, d.window);
  tk.setText(d.widthField, "16");
  tk.setText(d.heightField, "16");
  return d;
}

// The dialog's own event wait. True when Scan was pressed with a usable size; other
// events, from any window, are dropped.
bool waitForScan(platform::Toolkit& tk, const ScanDialog& d, std::int32_t& tw, std::int32_t& th) {
  for (;;) {
    platform::Event e = tk.waitEvent();
    if (e.kind == EventKind::WindowClose && e.source == d.window) return false;
    if (e.kind != EventKind::GadgetAction) continue;
    if (e.source == d.cancelButton) return false;
    if (e.source != d.scanButton) continue;
    tw = base::textToInt(tk.text(d.widthField));
    th = base::textToInt(tk.text(d.heightField));
    // A size the cutting loop cannot use keeps the dialog open, before any tileset is made.
    if (auto ok = tiles::checkScanTileSize(tw, th); !ok) {
      tk.messageBox(ok.error(), MessageKind::Information);
      continue;
    }
    return true;
  }
}

}  // namespace

void runScanDialog(platform::Toolkit& tk, Handle owner, const std::function<void(std::vector<tiles::TilePtr>)>& addTileset) {
  const std::string path = tk.fileRequester("Pick an image to scan", "Image Files:png,jpg,bmp;", platform::FileMode::Open, "");
  if (path.empty()) return;
  auto source = tiles::loadScanSource(path);
  if (!source) {
    tk.messageBox(source.error(), MessageKind::Error);
    return;
  }

  const ScanDialog dialog = openDialog(tk, owner);
  try {
    std::int32_t tw = 0, th = 0;
    if (waitForScan(tk, dialog, tw, th)) {
      // Cut before the tileset is made, so pieces that do not fit leave no empty tab behind.
      auto pieces = tiles::cutImage(*source, tw, th, path);
      if (!pieces)
        tk.messageBox(pieces.error(), MessageKind::Error);
      else
        addTileset(std::move(pieces).value());
    }
  } catch (...) {
    tk.destroyWindow(dialog.window);
    throw;
  }
  tk.destroyWindow(dialog.window);
}

}  // namespace vorlane::app
