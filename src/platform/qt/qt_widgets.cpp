#include "platform/qt/qt_widgets.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QStatusBar>
#include <QTabBar>
#include <QWindow>
#include <algorithm>

namespace vorlane::platform::qt {
namespace {

// The decorations the window manager put around the last framed window: a new window
// starts with these, so its inner area is right before it is first shown.
QMargins knownFrame;

}  // namespace

Area::Area(QWidget* parent) : QWidget(parent) {}

void Area::anchor(QWidget* child, bool right, bool bottom) {
  if (right || bottom) anchored_.push_back({child, right, bottom});
}

void Area::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  for (const auto& a : anchored_) {
    if (!a.child) continue;
    const QRect g = a.child->geometry();
    const int w = a.right ? std::max(0, width() - g.x()) : g.width();
    const int h = a.bottom ? std::max(0, height() - g.y()) : g.height();
    a.child->resize(w, h);
  }
}

ToolWindow::ToolWindow(QWidget* owner, int x, int y, int w, int h, bool titleBar, bool menuBar, bool statusBar,
                       std::function<void()> onClose)
    : QWidget(owner, Qt::Window),
      owner_(owner),
      outerW_(std::max(1, w)),
      outerH_(std::max(1, h)),
      onClose_(std::move(onClose)) {
  // Owned windows are utility windows: no task-bar entry, and they go with their owner.
  Qt::WindowFlags flags = owner ? Qt::Tool : Qt::Window;
  if (titleBar) {
    flags |= Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint;
    if (!owner) flags |= Qt::WindowMinimizeButtonHint;
  } else {
    flags |= Qt::FramelessWindowHint;
  }
  setWindowFlags(flags);
  if (menuBar) {
    menuBar_ = new QMenuBar(this);
    menuBar_->setNativeMenuBar(false);
    // An empty bar has no height yet; measure it with an item in it.
    menuBar_->addAction(QStringLiteral("File"));
    menuBar_->setFixedHeight(menuBar_->sizeHint().height());
    menuBar_->clear();
  }
  if (statusBar) {
    statusBar_ = new QStatusBar(this);
    statusBar_->setSizeGripEnabled(false);
    statusBar_->setFixedHeight(statusBar_->sizeHint().height());
  }
  inner_ = new Area(this);
  framed_ = titleBar;
  const QMargins m = framed_ ? knownFrame : QMargins();
  move(x, y);
  setFixedSize(std::max(1, outerW_ - m.left() - m.right()), std::max(1, outerH_ - m.top() - m.bottom()));
  layoutParts();
}

void ToolWindow::layoutParts() {
  const int top = menuBar_ ? menuBar_->height() : 0;
  const int bottom = statusBar_ ? statusBar_->height() : 0;
  if (menuBar_) menuBar_->setGeometry(0, 0, width(), top);
  if (statusBar_) statusBar_->setGeometry(0, height() - bottom, width(), bottom);
  inner_->setGeometry(0, top, width(), std::max(0, height() - top - bottom));
}

void ToolWindow::fitFrame() {
  if (!windowHandle() || !isVisible()) return;
  // Zero margins on a framed window mean the window manager has not told them yet.
  const QMargins m = windowHandle()->frameMargins();
  if (m.isNull()) return;
  if (framed_) knownFrame = m;
  const int w = std::max(1, outerW_ - m.left() - m.right());
  const int h = std::max(1, outerH_ - m.top() - m.bottom());
  if (w == width() && h == height()) return;
  setFixedSize(w, h);
  layoutParts();
}

// Qt sets no transient parent for a window whose owner had no native window when it was
// made; name the owner before the window is mapped, as window managers read it then.
void ToolWindow::setVisible(bool visible) {
  if (visible && owner_) {
    // An owned window is a child widget of its owner; its siblings there need no native windows.
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    owner_->winId();
    winId();
    if (windowHandle() && windowHandle()->transientParent() != owner_->windowHandle())
      windowHandle()->setTransientParent(owner_->windowHandle());
  }
  QWidget::setVisible(visible);
}

void ToolWindow::keyPressEvent(QKeyEvent* e) {
  if (onKey && onKey(*e)) {
    e->accept();
    return;
  }
  QWidget::keyPressEvent(e);
}

void ToolWindow::closeEvent(QCloseEvent* e) {
  e->ignore();
  if (onClose_) onClose_();
}

bool ToolWindow::event(QEvent* e) {
  const bool handled = QWidget::event(e);
  switch (e->type()) {
    case QEvent::Resize:
      layoutParts();
      break;
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::WindowActivate:
    case QEvent::UpdateRequest:
      fitFrame();
      break;
    default:
      break;
  }
  return handled;
}

GroupFrame::GroupFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent), inner_(new Area(this)) {
  ensurePolished();
}

void GroupFrame::resizeEvent(QResizeEvent* e) {
  QGroupBox::resizeEvent(e);
  layoutInner();
}

void GroupFrame::layoutInner() { inner_->setGeometry(contentsRect()); }

TabStrip::TabStrip(QWidget* parent) : QWidget(parent), bar_(new QTabBar(this)), inner_(new Area(this)) {
  bar_->setExpanding(false);
  bar_->setUsesScrollButtons(true);
  // An empty bar has no height yet; measure it with a tab in it.
  bar_->addTab(QStringLiteral("Tileset 1"));
  barHeight_ = bar_->sizeHint().height();
  bar_->removeTab(0);
}

void TabStrip::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  layoutInner();
}

void TabStrip::layoutInner() {
  bar_->setGeometry(0, 0, width(), barHeight_);
  inner_->setGeometry(0, barHeight_, width(), std::max(0, height() - barHeight_));
}

void ListBox::mousePressEvent(QMouseEvent* e) {
  QListWidgetItem* hit = itemAt(e->position().toPoint());
  const bool wasSelected = hit && hit->isSelected();
  QListWidget::mousePressEvent(e);
  if (wasSelected && e->button() == Qt::LeftButton && onReselect) onReselect();
}

}  // namespace vorlane::platform::qt
