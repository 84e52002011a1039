#pragma once
// The editor's look: gadgets sit in small fixed boxes (buttons 20 pixels high, 40-pixel text
// fields), so captions get a font sized for those heights and thin margins around them.

namespace vorlane::platform::qt {

// Sets the application's style and font, once; needs a QApplication.
void useCompactLook();

}  // namespace vorlane::platform::qt
