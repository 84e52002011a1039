#include "app/scan_dialog.h"

namespace vorlane::app {

void runScanDialog(platform::Toolkit&, platform::Handle, const std::function<map::MapPtr()>&) {}

}  // namespace vorlane::app
