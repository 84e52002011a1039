#pragma once
// The containers behind the toolkit's windows, frames and tab strips: each has an inner
// area where gadgets sit at fixed positions.
#include <QGroupBox>
#include <QListWidget>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

class QKeyEvent;
class QMenuBar;
class QStatusBar;
class QTabBar;

namespace vorlane::platform::qt {

// Where gadgets are placed. A gadget that reached the area's right or bottom edge when it was
// made keeps reaching it, so a window whose frame turns out thicker than assumed still
// fills its inner area.
class Area final : public QWidget {
 public:
  explicit Area(QWidget* parent);
  void anchor(QWidget* child, bool right, bool bottom);

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  struct Anchored {
    QPointer<QWidget> child;
    bool right, bottom;
  };
  std::vector<Anchored> anchored_;
};

// A top-level window of fixed outer size; closing it is only reported, and so are the keys
// that none of its gadgets used. A window with an owner is transient for it: the window
// manager keeps it above its owner and gives it no task-bar entry of its own.
class ToolWindow final : public QWidget {
 public:
  ToolWindow(QWidget* owner, int x, int y, int w, int h, bool titleBar, bool menuBar, bool statusBar,
             std::function<void()> onClose);

  Area* inner() const { return inner_; }
  QMenuBar* menuBar() const { return menuBar_; }
  QStatusBar* statusBar() const { return statusBar_; }
  // Returns whether the key was taken.
  std::function<bool(const QKeyEvent&)> onKey;
  void setVisible(bool visible) override;
  // Sizes the client area so that the frame, once the window manager reports it, has the
  // outer size asked for.
  void fitFrame();

 protected:
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  bool event(QEvent* e) override;

 private:
  void layoutParts();

  QPointer<QWidget> owner_;
  int outerW_, outerH_;
  bool framed_ = false;
  QMenuBar* menuBar_ = nullptr;
  QStatusBar* statusBar_ = nullptr;
  Area* inner_ = nullptr;
  std::function<void()> onClose_;
};

// A titled frame; its inner area lies inside the title and the border.
class GroupFrame final : public QGroupBox {
 public:
  GroupFrame(const QString& title, QWidget* parent);
  Area* inner() const { return inner_; }
  // Resize events of hidden widgets wait for the show; the inner size is needed before.
  void layoutInner();

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  Area* inner_;
};

// A row of tabs over one inner area shared by all tabs.
class TabStrip final : public QWidget {
 public:
  explicit TabStrip(QWidget* parent);
  QTabBar* bar() const { return bar_; }
  Area* inner() const { return inner_; }
  void layoutInner();

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  QTabBar* bar_;
  Area* inner_;
  int barHeight_;
};

// A list box whose press on the item that is already selected is reported as well: the
// program moves the highlight (after a delete), and a click on it must still choose it.
class ListBox final : public QListWidget {
 public:
  std::function<void()> onReselect;

 protected:
  void mousePressEvent(QMouseEvent* e) override;
};

}  // namespace vorlane::platform::qt
