#pragma once
// A toolkit for tests: gadgets are records, events come from a script, requesters answer
// from a script, and everything shown (texts, checks, list items, message boxes) is kept.
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/toolkit.h"
#include "support/recording_surface.h"

namespace vorlane::test {

enum class GadgetKind { Window, Button, CheckBox, TextField, Label, GroupFrame, ListBox, TabStrip, ProgressBar, Canvas, Menu };

struct FakeItem {
  std::string text, tooltip;
};

struct FakeGadget {
  GadgetKind kind;
  std::string text;
  int x = 0, y = 0, w = 0, h = 0;
  platform::Handle parent = platform::kNoHandle;  // owner, for windows
  unsigned flags = 0;
  bool visible = true;
  bool destroyed = false;
  bool isChecked = false;
  float progress = 0;
  std::vector<FakeItem> items{};
  int selected = -1;
  std::vector<std::pair<std::string, int>> menuItems{};  // text, tag
  std::vector<int> disabledTags{};
  std::vector<int> checkedTags{};
  std::vector<platform::Shortcut> menuShortcuts{};        // one per menu item
  std::string status{};                                   // windows: the status bar's text
  int statusChanges = 0;
};

// Thrown by waitEvent when the script has run out, so a test can run the shell's loop.
struct ScriptEnded : std::runtime_error {
  ScriptEnded() : std::runtime_error("no more scripted events") {}
};

class FakeToolkit : public platform::Toolkit {
 public:
  // Frame sizes the fake pretends windows have: inner = outer minus these.
  static constexpr int kBorder = 2, kTitle = 20, kMenu = 20, kStatus = 16, kFrameTop = 16;
  // A desktop's usual drag distance.
  static constexpr int kDragDistance = 10;
  // The modifier keys a test holds down while it presses.
  unsigned modifiers = 0;

  platform::Handle createWindow(std::string_view caption, int x, int y, int w, int h, platform::Handle owner,
                                unsigned flags) override;
  void destroyWindow(platform::Handle window) override;
  void show(platform::Handle window) override { at(window).visible = true; }
  void hide(platform::Handle window) override { at(window).visible = false; }
  platform::Handle createButton(std::string_view caption, int x, int y, int w, int h, platform::Handle parent) override;
  platform::Handle createCheckBox(std::string_view caption, int x, int y, int w, int h, platform::Handle parent) override;
  platform::Handle createTextField(int x, int y, int w, int h, platform::Handle parent) override;
  platform::Handle createLabel(std::string_view text, int x, int y, int w, int h, platform::Handle parent) override;
  platform::Handle createGroupFrame(int x, int y, int w, int h, platform::Handle parent, std::string_view title) override;
  platform::Handle createListBox(int x, int y, int w, int h, platform::Handle parent) override;
  platform::Handle createTabStrip(int x, int y, int w, int h, platform::Handle parent) override;
  platform::Handle createProgressBar(int x, int y, int w, int h, platform::Handle parent) override;
  platform::Handle createCanvas(int x, int y, int w, int h, platform::Handle parent) override;
  int innerWidth(platform::Handle handle) override;
  int innerHeight(platform::Handle handle) override;
  int screenWidth() override { return screenW; }
  int screenHeight() override { return screenH; }
  int dragDistance() override { return kDragDistance; }
  unsigned keyModifiers() override { return modifiers; }
  void setText(platform::Handle gadget, std::string_view text) override { at(gadget).text = std::string(text); }
  std::string text(platform::Handle gadget) override { return at(gadget).text; }
  bool checked(platform::Handle checkBox) override { return at(checkBox).isChecked; }
  void setChecked(platform::Handle checkBox, bool on) override { at(checkBox).isChecked = on; }
  void setProgress(platform::Handle bar, float fraction) override;
  void setStatusText(platform::Handle window, std::string_view text) override;
  void addItem(platform::Handle gadget, std::string_view text, std::string_view tooltip) override;
  void removeItem(platform::Handle gadget, int index) override;
  void clearItems(platform::Handle gadget) override;
  void selectItem(platform::Handle gadget, int index) override;
  int selectedItem(platform::Handle gadget) override { return at(gadget).selected; }
  int itemCount(platform::Handle gadget) override { return static_cast<int>(at(gadget).items.size()); }
  platform::Handle createMenu(std::string_view text, platform::Handle window) override;
  void createMenuItem(std::string_view text, int tag, platform::Handle menu, platform::Shortcut shortcut = {}) override;
  void updateMenuBar(platform::Handle window) override { ++menuBarUpdates[window]; }
  void setMenuItem(platform::Handle menu, int tag, std::string_view text, bool enabled) override;
  void setMenuItemChecked(platform::Handle menu, int tag, bool on) override;
  void clearMenu(platform::Handle menu) override;
  int question(std::string_view text, const std::vector<std::string>& buttons) override;
  void openPopupMenu(platform::Handle window, platform::Handle menu) override { popups.push_back({window, menu}); }
  std::string fileRequester(std::string_view title, std::string_view filter, platform::FileMode mode,
                            std::string_view initialPath) override;
  bool colourRequester(int red, int green, int blue) override;
  platform::Colour lastColour() override { return lastAccepted; }
  void messageBox(std::string_view text, platform::MessageKind kind) override { messages.push_back({std::string(text), kind}); }
  platform::Event waitEvent() override;
  void startTimer(int hertz) override { timerHertz = hertz; }
  platform::Surface& surface(platform::Handle canvas) override;

  // --- the script ---
  void post(platform::Event e) { events.push_back(e); }
  void press(platform::Handle gadget, int datum = 0) { post({platform::EventKind::GadgetAction, gadget, datum, 0, 0}); }
  // The user types into a field: the text changes and an action is raised.
  void type(platform::Handle field, std::string_view text);
  void toggle(platform::Handle checkBox);
  void chooseMenu(platform::Handle menu, int tag) { post({platform::EventKind::MenuAction, menu, tag, 0, 0}); }
  void mouse(platform::EventKind kind, platform::Handle canvas, int button, int x, int y) { post({kind, canvas, button, x, y}); }
  void closeWindow(platform::Handle window) { post({platform::EventKind::WindowClose, window, 0, 0, 0}); }
  void tick() { post({platform::EventKind::TimerTick, platform::kNoHandle, 0, 0, 0}); }
  // The keyboard goes to this gadget (a text field types) or window; kNoHandle: the main window.
  void focus(platform::Handle gadget) { focused = gadget; }
  // A key pressed, as the Qt toolkit passes it on: a focused text field types a printable
  // key and keeps its editing keys (Ctrl+Z, Ctrl+A...); a menu item's shortcut raises the
  // item's action from any window; any other key is a key-down event.
  void key(std::int32_t key, unsigned modifiers = 0);
  // An event made only when the loop takes it, for gadgets that do not exist yet (the
  // dialogs' own buttons and fields); `make` may also change texts first.
  void postLater(std::function<platform::Event(FakeToolkit&)> make);
  // A press of the first live gadget with this caption at the time the loop takes it.
  void pressLater(GadgetKind kind, std::string text, int nth = 0);

  // --- what was shown ---
  FakeGadget& at(platform::Handle handle);
  // The first live gadget of this kind with this caption/text (0 when none); `nth` picks later ones.
  platform::Handle find(GadgetKind kind, std::string_view text, int nth = 0) const;
  // The first live gadget of this kind whose parent is `parent`, in creation order.
  std::vector<platform::Handle> children(platform::Handle parent) const;
  platform::Handle findWindow(std::string_view caption) const { return find(GadgetKind::Window, caption); }
  RecordingSurface& recording(platform::Handle canvas);
  std::size_t gadgetCount() const { return gadgets_.size(); }

  std::deque<platform::Event> events;
  std::deque<std::string> fileAnswers;  // "" when the script has no answer: cancelled
  struct FileRequest {
    std::string title, filter;
    platform::FileMode mode;
  };
  std::vector<FileRequest> fileRequests;
  std::deque<std::optional<platform::Colour>> colourAnswers;  // nullopt: cancelled
  platform::Colour lastAccepted{};
  struct Message {
    std::string text;
    platform::MessageKind kind;
  };
  std::vector<Message> messages;
  struct Question {
    std::string text;
    std::vector<std::string> buttons;
  };
  std::vector<Question> questions;
  std::deque<int> questionAnswers;  // none left: the box is closed (the last button)
  std::vector<std::pair<platform::Handle, platform::Handle>> popups;
  std::map<platform::Handle, int> menuBarUpdates;
  int timerHertz = 0;
  // Every canvas made current, in order.
  std::vector<platform::Handle> madeCurrent;
  int screenW = 1280, screenH = 1024;
  platform::Handle focused = platform::kNoHandle;

 private:
  platform::Handle add(FakeGadget g);
  std::vector<FakeGadget> gadgets_;  // handle h at index h - 1
  std::map<platform::Handle, std::unique_ptr<RecordingSurface>> surfaces_;
  std::deque<std::function<platform::Event(FakeToolkit&)>> later_;
};

}  // namespace vorlane::test
