#pragma once
// What the editor needs from a GUI toolkit: windows and gadgets addressed by handles, one
// event queue, requesters and message boxes, and a drawing surface per canvas. The editor's
// own code sees only this; the Qt adapter implements it and tests use a scripted fake.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/surface.h"

namespace vorlane::platform {

// A window, gadget or menu; 0 names nothing.
using Handle = std::int32_t;
inline constexpr Handle kNoHandle = 0;

enum class EventKind {
  MenuAction,    // datum: the item's tag
  GadgetAction,  // datum: selected tab or list item (-1 none), else 0
  GadgetSelect,
  WindowClose,  // the window stays open; the editor decides
  TimerTick,
  MouseDown,  // datum: 1 left, 2 right, 3 middle; x, y relative to the canvas
  MouseUp,
  MouseMove,
  MouseWheel,  // datum: +1 per notch away from the user, -1 toward; x, y: the pointer
  ZoomWheel,   // the wheel turned with Ctrl held: as MouseWheel
  KeyDown,     // datum: the key; x: its modifiers. Keys the focused gadget uses (typing) raise none.
  MouseLeave,  // the pointer left the canvas
};

struct Event {
  EventKind kind = EventKind::TimerTick;
  Handle source = kNoHandle;
  std::int32_t datum = 0;
  std::int32_t x = 0;
  std::int32_t y = 0;
};

enum MouseButton : std::int32_t { kLeftButton = 1, kRightButton = 2, kMiddleButton = 3 };

// Letters and digits by their upper-case character code; other keys by these codes.
enum Key : std::int32_t {
  kKeyEscape = 27,
  kKeyMinus = '-',
  kKeyEqual = '=',
  kKeyPageUp = 0x10000,
  kKeyPageDown,
  kKeyDelete,
};

enum KeyModifier : unsigned { kShift = 1u << 0, kControl = 1u << 1, kAlt = 1u << 2 };

// A key with its modifiers; key 0 is none.
struct Shortcut {
  std::int32_t key = 0;
  unsigned modifiers = 0;
  explicit operator bool() const { return key != 0; }
  bool operator==(const Shortcut&) const = default;
};

// The key a key-down event reports.
inline Shortcut shortcutOf(const Event& e) { return {e.datum, static_cast<unsigned>(e.x)}; }

// Window frame flags.
enum WindowFlag : unsigned {
  kTitleBar = 1u << 0,
  kMenuBar = 1u << 1,
  kStatusBar = 1u << 2,
  kHidden = 1u << 3,
};

enum class MessageKind { Information, Error };
enum class FileMode { Open, Save };

struct Colour {
  std::int32_t red = 0, green = 0, blue = 0;
};

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // Windows: position of the outer frame on the screen, outer size; owner kNoHandle for none.
  virtual Handle createWindow(std::string_view caption, int x, int y, int w, int h, Handle owner, unsigned flags) = 0;
  // Removes a window and everything in it (the dialogs).
  virtual void destroyWindow(Handle window) = 0;
  virtual void show(Handle window) = 0;
  virtual void hide(Handle window) = 0;

  // Gadgets: position relative to the parent's inner area.
  virtual Handle createButton(std::string_view caption, int x, int y, int w, int h, Handle parent) = 0;
  virtual Handle createCheckBox(std::string_view caption, int x, int y, int w, int h, Handle parent) = 0;
  virtual Handle createTextField(int x, int y, int w, int h, Handle parent) = 0;
  virtual Handle createLabel(std::string_view text, int x, int y, int w, int h, Handle parent) = 0;
  virtual Handle createGroupFrame(int x, int y, int w, int h, Handle parent, std::string_view title) = 0;
  virtual Handle createListBox(int x, int y, int w, int h, Handle parent) = 0;
  virtual Handle createTabStrip(int x, int y, int w, int h, Handle parent) = 0;
  virtual Handle createProgressBar(int x, int y, int w, int h, Handle parent) = 0;
  virtual Handle createCanvas(int x, int y, int w, int h, Handle parent) = 0;

  // Size of the area available to children of a window, frame or tab strip.
  virtual int innerWidth(Handle handle) = 0;
  virtual int innerHeight(Handle handle) = 0;
  virtual int screenWidth() = 0;
  virtual int screenHeight() = 0;
  // How far (in pixels, along x plus along y) the pointer must move with a button held
  // before the desktop counts it as a drag rather than a click.
  virtual int dragDistance() = 0;
  // The modifier keys (KeyModifier) held now: a press on a canvas reads Shift from here.
  virtual unsigned keyModifiers() = 0;

  // Caption or field content. Setting a text field's text raises no event.
  virtual void setText(Handle gadget, std::string_view text) = 0;
  virtual std::string text(Handle gadget) = 0;
  // A button set checked shows pressed (the active tool's); a click still raises only its action.
  virtual bool checked(Handle checkBox) = 0;
  virtual void setChecked(Handle checkBox, bool on) = 0;
  virtual void setProgress(Handle progressBar, float fraction) = 0;
  // The text of a window's status bar (windows made with kStatusBar).
  virtual void setStatusText(Handle window, std::string_view text) = 0;

  // List boxes and tab strips.
  virtual void addItem(Handle gadget, std::string_view text, std::string_view tooltip) = 0;
  virtual void removeItem(Handle gadget, int index) = 0;
  virtual void clearItems(Handle gadget) = 0;
  virtual void selectItem(Handle gadget, int index) = 0;  // -1 selects nothing
  virtual int selectedItem(Handle gadget) = 0;            // -1 when none
  virtual int itemCount(Handle gadget) = 0;

  // Menus: a menu in the window's menu bar, or a popup menu when window is kNoHandle.
  virtual Handle createMenu(std::string_view text, Handle window) = 0;
  // An item's shortcut is shown beside it and raises the item's menu action from every window
  // of the program (unless the focused gadget uses the key, as a text field uses Ctrl+Z).
  virtual void createMenuItem(std::string_view text, int tag, Handle menu, Shortcut shortcut = {}) = 0;
  virtual void updateMenuBar(Handle window) = 0;
  // The text of the item with this tag, and whether it can be chosen.
  virtual void setMenuItem(Handle menu, int tag, std::string_view text, bool enabled) = 0;
  // The item shows a check mark, or an empty box for it.
  virtual void setMenuItemChecked(Handle menu, int tag, bool on) = 0;
  // Removes every item of the menu (one built again as the document changes).
  virtual void clearMenu(Handle menu) = 0;
  // Shows the popup at the pointer; a chosen item is queued as a menu action.
  virtual void openPopupMenu(Handle window, Handle menu) = 0;

  // Requesters. The filter has the form "Description:ext,ext;" (empty for none); the
  // answer is the chosen path, or "" when cancelled.
  virtual std::string fileRequester(std::string_view title, std::string_view filter, FileMode mode,
                                    std::string_view initialPath) = 0;
  // True when a colour was accepted; the last accepted colour stays readable.
  virtual bool colourRequester(int red, int green, int blue) = 0;
  virtual Colour lastColour() = 0;
  // Waits until the user closes it.
  virtual void messageBox(std::string_view text, MessageKind kind) = 0;
  // A question with these buttons, left to right; waits for the answer: the index of the
  // button pressed, the last one's when the box is closed otherwise.
  virtual int question(std::string_view text, const std::vector<std::string>& buttons) = 0;

  // Blocks until an event is queued, then takes it.
  virtual Event waitEvent() = 0;
  // Posts a tick at this rate for ever; at most one tick is ever waiting in the queue.
  virtual void startTimer(int hertz) = 0;

  // Makes the canvas's drawing context current and returns its surface.
  virtual Surface& surface(Handle canvas) = 0;
};

}  // namespace vorlane::platform
