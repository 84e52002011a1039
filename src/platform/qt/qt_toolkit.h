#pragma once
// The toolkit on Qt Widgets: gadgets are widgets addressed by handles, their signals and input
// become events in one queue, and canvases draw through OpenGL. Needs a QApplication.
#include <QElapsedTimer>
#include <QKeySequence>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QTimer>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/toolkit.h"

class QAction;
class QListWidget;
class QMenu;
class QOpenGLWidget;
class QWidget;

namespace vorlane::platform::qt {

class GlCanvas;

// "Description:ext,ext;" (types separated by semicolons) in Qt's form
// "Description (*.ext *.ext)" (types separated by ";;").
QString qtFileFilter(std::string_view filter);
// The first extension of such a filter ("vorl" of "Map files:vorl;"), empty for none.
QString firstExtension(std::string_view filter);

// Keys between the toolkit's codes and Qt's; keys the editor has no code for give key 0.
QKeySequence qtKeySequence(Shortcut shortcut);
Shortcut shortcutFromQt(int key, Qt::KeyboardModifiers modifiers);

class QtToolkit final : public Toolkit {
 public:
  QtToolkit();
  ~QtToolkit() override;
  QtToolkit(const QtToolkit&) = delete;
  QtToolkit& operator=(const QtToolkit&) = delete;

  Handle createWindow(std::string_view caption, int x, int y, int w, int h, Handle owner, unsigned flags) override;
  void destroyWindow(Handle window) override;
  void show(Handle window) override;
  void hide(Handle window) override;
  Handle createButton(std::string_view caption, int x, int y, int w, int h, Handle parent) override;
  Handle createCheckBox(std::string_view caption, int x, int y, int w, int h, Handle parent) override;
  Handle createTextField(int x, int y, int w, int h, Handle parent) override;
  Handle createLabel(std::string_view text, int x, int y, int w, int h, Handle parent) override;
  Handle createGroupFrame(int x, int y, int w, int h, Handle parent, std::string_view title) override;
  Handle createListBox(int x, int y, int w, int h, Handle parent) override;
  Handle createTabStrip(int x, int y, int w, int h, Handle parent) override;
  Handle createProgressBar(int x, int y, int w, int h, Handle parent) override;
  Handle createCanvas(int x, int y, int w, int h, Handle parent) override;
  int innerWidth(Handle handle) override;
  int innerHeight(Handle handle) override;
  int screenWidth() override;
  int screenHeight() override;
  int dragDistance() override;
  unsigned keyModifiers() override;
  void setText(Handle gadget, std::string_view text) override;
  std::string text(Handle gadget) override;
  bool checked(Handle checkBox) override;
  void setChecked(Handle checkBox, bool on) override;
  void setProgress(Handle progressBar, float fraction) override;
  void setStatusText(Handle window, std::string_view text) override;
  void addItem(Handle gadget, std::string_view text, std::string_view tooltip) override;
  void removeItem(Handle gadget, int index) override;
  void clearItems(Handle gadget) override;
  void selectItem(Handle gadget, int index) override;
  int selectedItem(Handle gadget) override;
  int itemCount(Handle gadget) override;
  Handle createMenu(std::string_view text, Handle window) override;
  void createMenuItem(std::string_view text, int tag, Handle menu, Shortcut shortcut = {}) override;
  void updateMenuBar(Handle window) override;
  void setMenuItem(Handle menu, int tag, std::string_view text, bool enabled) override;
  void setMenuItemChecked(Handle menu, int tag, bool on) override;
  void clearMenu(Handle menu) override;
  int question(std::string_view text, const std::vector<std::string>& buttons) override;
  void openPopupMenu(Handle window, Handle menu) override;
  std::string fileRequester(std::string_view title, std::string_view filter, FileMode mode,
                            std::string_view initialPath) override;
  bool colourRequester(int red, int green, int blue) override;
  Colour lastColour() override { return lastColour_; }
  void messageBox(std::string_view text, MessageKind kind) override;
  Event waitEvent() override;
  void startTimer(int hertz) override;
  Surface& surface(Handle canvas) override;

  // --- for tests and step-wise driving ---
  // Handles what the window system has for us without waiting, then takes an event if one
  // is queued.
  bool pollEvent(Event& e);
  std::size_t queuedEvents() const { return queue_.size(); }
  // Shows the windows made since the last wait (they appear once their gadgets exist).
  void showPendingWindows();
  QWidget* widget(Handle handle) const;
  QOpenGLWidget* canvas(Handle handle) const;
  QMenu* menu(Handle handle) const;

  // When `active`, requesters answer from here instead of opening a modal dialog (which a
  // test cannot click), and message boxes are recorded instead of shown.
  struct Script {
    bool active = false;
    std::deque<std::string> fileAnswers;                  // none left: cancelled
    std::deque<std::optional<Colour>> colourAnswers;  // nullopt or none left: cancelled
    struct FileRequest {
      std::string title, filter;
      FileMode mode;
      std::string initialPath;
    };
    std::vector<FileRequest> fileRequests;
    struct Message {
      std::string text;
      MessageKind kind;
    };
    std::vector<Message> messages;
    struct Question {
      std::string text;
      std::vector<std::string> buttons;
    };
    std::vector<Question> questions;
    std::deque<int> questionAnswers;  // none left: the box is closed (the last button)
  };
  Script script;

 private:
  enum class Kind { Window, Button, CheckBox, TextField, Label, GroupFrame, ListBox, TabStrip, ProgressBar, Canvas, Menu };
  struct Entry {
    Kind kind;
    QPointer<QWidget> widget;
    QWidget* inner = nullptr;  // where children go; valid while `widget` lives
    QPointer<QMenu> menu;
    GlCanvas* canvas = nullptr;
    int rebuilt = -1;  // list boxes being refilled after clearItems: the items re-added so far
  };

  Handle add(Entry entry);
  Entry* find(Handle handle, Kind kind);
  Entry* find(Handle handle);
  Handle placeGadget(Kind kind, QWidget* gadget, int x, int y, int w, int h, Handle parent, QWidget* inner = nullptr);
  QWidget* innerOf(Handle parent);
  QSize innerSize(Handle handle);
  void finishRebuild(Entry& e);
  static void removeRows(QListWidget* list, int from, int to);
  void finishRebuilds();
  QWidget* dialogParent() const;
  void post(Event e);
  void tick();
  Event take();

  std::vector<Entry> entries_;  // handle h at index h - 1
  std::vector<std::unique_ptr<QMenu>> popups_;
  // Menu items by menu and tag, for changing their text and state.
  std::map<std::pair<Handle, int>, QPointer<QAction>> menuItems_;
  std::vector<QPointer<QWidget>> pendingShow_;
  std::vector<Handle> rebuilding_;
  std::deque<Event> queue_;
  bool tickQueued_ = false;
  int quiet_ = 0;  // > 0 while the program changes list or tab selections
  QTimer timer_;
  QElapsedTimer clock_;
  double period_ = 0, nextDue_ = 0;  // milliseconds since the timer started
  Colour lastColour_{};
};

}  // namespace vorlane::platform::qt
