#pragma once
// The File commands: New Map, Load, Save, Save As, Export, Import Map, Export As, Run Script,
// Bake Map File, Quit, and the question asked before a modified document is given up.
#include <string>
#include <string_view>

#include "app/context.h"
#include "script/document_run.h"

namespace vorlane::app {

class RenderPanel;

class Files {
 public:
  explicit Files(EditorContext& ctx) : ctx_(ctx), tk_(ctx.tk), g_(ctx.g), doc_(ctx.doc) {}

  // Started with the editor; Run Script gives each script a fresh state of it.
  void startScripts() { scripts_.start(); }
  // How long a script has run is read from here (tests pass a clock of their own).
  void setScriptClock(script::Clock clock) { scriptClock_ = std::move(clock); }

  After newMap();
  After loadProject();
  // Loads the project file of this name as Load does with the name its requester returned.
  After loadProjectNamed(const std::string& name);
  // False when nothing was saved (cancelled requester, failed write).
  bool saveProject(bool ask);
  After exportMap();
  // Other editors' maps: the formats table's readers and writers.
  After importMap();
  After exportAs();
  // A Lua script on the document: one undoable step, or nothing when it fails.
  After runScript();
  // Lit with the Render window's settings.
  After bakeMapFile(const RenderPanel& render);
  // An unmodified document ends the program at once; a modified one asks first.
  After quit();
  // Asks "Save changes to NAME before DOING?" for a modified document; false (Cancel, or a
  // cancelled or failed save) leaves everything as it was.
  bool mayReplaceDocument(std::string_view doing);

 private:
  EditorContext& ctx_;
  platform::Toolkit& tk_;
  const Gadgets& g_;
  edit::Document& doc_;
  script::ScriptEngine scripts_;
  script::Clock scriptClock_ = std::chrono::steady_clock::now;
};

}  // namespace vorlane::app
