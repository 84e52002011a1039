// The Render button: the lit map of the current one replaces it.
#include "app/shell.h"
#include "lighting/render.h"

namespace vorlane::app {

Shell::After Shell::render() {
  tk_.surface(g_.mapCanvas);
  auto lit = lighting::renderCommand(*doc_.map(), tk_.text(g_.widthField), tk_.text(g_.heightField),
                                     tk_.checked(g_.softShadowsBox),
                                     [this](float fraction) { tk_.setProgress(g_.progressBar, fraction); });
  // A refused resolution has changed nothing.
  if (!lit) {
    tk_.messageBox(lit.error(), platform::MessageKind::Error);
    return After::step;
  }
  replaceMap("Render", std::move(lit).value());
  return After::step;
}

}  // namespace vorlane::app
