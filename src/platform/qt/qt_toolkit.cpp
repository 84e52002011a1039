#include "platform/qt/qt_toolkit.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QCursor>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QKeyEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <algorithm>
#include <cctype>
#include <clocale>
#include <cmath>

#include "platform/qt/compact_style.h"
#include "platform/qt/gl_surface.h"
#include "platform/qt/qt_widgets.h"

namespace vorlane::platform::qt {
namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Captions show every character as given: a lone '&' would otherwise mark a shortcut.
QString caption(std::string_view s) { return qs(s).replace(QLatin1Char('&'), QStringLiteral("&&")); }

std::string plainCaption(const QString& s) { return QString(s).replace(QStringLiteral("&&"), QStringLiteral("&")).toStdString(); }

// What a canvas that is gone draws into.
class NullSurface final : public Surface {
 public:
  int width() const override { return 0; }
  int height() const override { return 0; }
  void clear() override {}
  void present() override {}
  void setColor(int, int, int) override {}
  void setAlpha(float) override {}
  void setBlend(BlendMode) override {}
  void setLineWidth(float) override {}
  void setScale(float, float) override {}
  void drawLine(float, float, float, float) override {}
  void drawRect(float, float, float, float) override {}
  void drawOval(float, float, float, float) override {}
  void drawText(std::string_view, float, float) override {}
  void drawImage(const Image&, float, float, float, float) override {}
};

}  // namespace

QString qtFileFilter(std::string_view filter) {
  QStringList types;
  for (const QString& part : qs(filter).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    const qsizetype colon = part.indexOf(QLatin1Char(':'));
    const QString description = colon < 0 ? QString() : part.left(colon).trimmed();
    QStringList patterns;
    for (const QString& ext : part.mid(colon + 1).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
      const QString e = ext.trimmed();
      if (!e.isEmpty()) patterns << QStringLiteral("*.") + e;
    }
    if (patterns.isEmpty()) continue;
    const QString list = patterns.join(QLatin1Char(' '));
    types << (description.isEmpty() ? list : description) + QStringLiteral(" (") + list + QLatin1Char(')');
  }
  return types.join(QStringLiteral(";;"));
}

QString firstExtension(std::string_view filter) {
  const QString text = qs(filter);
  const qsizetype colon = text.indexOf(QLatin1Char(':'));
  return text.mid(colon + 1).section(QLatin1Char(';'), 0, 0).section(QLatin1Char(','), 0, 0).trimmed();
}

namespace {

struct KeyPair {
  std::int32_t ours;
  int qt;
};
constexpr KeyPair kSpecialKeys[] = {
    {kKeyEscape, Qt::Key_Escape}, {kKeyPageUp, Qt::Key_PageUp}, {kKeyPageDown, Qt::Key_PageDown},
    {kKeyDelete, Qt::Key_Delete},
};

constexpr std::pair<unsigned, Qt::KeyboardModifier> kModifiers[] = {
    {kShift, Qt::ShiftModifier}, {kControl, Qt::ControlModifier}, {kAlt, Qt::AltModifier}};

// Printable keys share their codes: Qt names letters by their upper-case character.
bool printable(int key) { return key > ' ' && key < 0x7f; }

}  // namespace

QKeySequence qtKeySequence(Shortcut shortcut) {
  int key = 0;
  if (printable(shortcut.key)) key = std::toupper(shortcut.key);
  for (const auto& k : kSpecialKeys)
    if (k.ours == shortcut.key) key = k.qt;
  if (key == 0) return {};
  Qt::KeyboardModifiers modifiers;
  for (const auto& [ours, qt] : kModifiers)
    if (shortcut.modifiers & ours) modifiers |= qt;
  return QKeySequence(QKeyCombination(modifiers, static_cast<Qt::Key>(key)));
}

Shortcut shortcutFromQt(int key, Qt::KeyboardModifiers modifiers) {
  Shortcut s;
  if (printable(key)) s.key = key;
  for (const auto& k : kSpecialKeys)
    if (k.qt == key) s.key = k.ours;
  if (s.key == 0) return {};
  for (const auto& [ours, qt] : kModifiers)
    if (modifiers & qt) s.modifiers |= ours;
  return s;
}

QtToolkit::QtToolkit() {
  // QApplication set the C library's locale from the desktop's language; numbers shown and
  // printed keep a decimal point whatever that language writes.
  std::setlocale(LC_NUMERIC, "C");
  useCompactLook();
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
}

void QtToolkit::tick() {
  if (!tickQueued_) {
    tickQueued_ = true;
    queue_.push_back({EventKind::TimerTick, kNoHandle, 0, 0, 0});
  }
  // Whole milliseconds would give 58.8 ticks a second for 60; aim each tick at its due
  // time instead, without catching up on ticks missed while the program was busy.
  const double now = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
  nextDue_ = std::max(nextDue_ + period_, now);
  timer_.start(static_cast<int>(std::lround(nextDue_ - now)));
}

QtToolkit::~QtToolkit() {
  timer_.stop();
  // Owned windows go with their owners; delete the ownerless ones, newest first.
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (it->kind == Kind::Window && it->widget && !it->widget->parentWidget()) delete it->widget.data();
  }
  popups_.clear();
}

void QtToolkit::post(Event e) { queue_.push_back(e); }

Handle QtToolkit::add(Entry entry) {
  entries_.push_back(std::move(entry));
  return static_cast<Handle>(entries_.size());
}

QtToolkit::Entry* QtToolkit::find(Handle handle) {
  if (handle < 1 || static_cast<std::size_t>(handle) > entries_.size()) return nullptr;
  Entry& e = entries_[static_cast<std::size_t>(handle) - 1];
  if (e.kind == Kind::Menu ? !e.menu : !e.widget) return nullptr;
  return &e;
}

QtToolkit::Entry* QtToolkit::find(Handle handle, Kind kind) {
  Entry* e = find(handle);
  return e && e->kind == kind ? e : nullptr;
}

QWidget* QtToolkit::widget(Handle handle) const {
  if (handle < 1 || static_cast<std::size_t>(handle) > entries_.size()) return nullptr;
  return entries_[static_cast<std::size_t>(handle) - 1].widget.data();
}

QOpenGLWidget* QtToolkit::canvas(Handle handle) const {
  QWidget* w = widget(handle);
  return w ? entries_[static_cast<std::size_t>(handle) - 1].canvas : nullptr;
}

QMenu* QtToolkit::menu(Handle handle) const {
  if (handle < 1 || static_cast<std::size_t>(handle) > entries_.size()) return nullptr;
  return entries_[static_cast<std::size_t>(handle) - 1].menu.data();
}

QWidget* QtToolkit::innerOf(Handle parent) {
  Entry* e = find(parent);
  return e ? e->inner : nullptr;
}

QWidget* QtToolkit::dialogParent() const {
  if (QWidget* active = QApplication::activeWindow()) return active;
  for (const Entry& e : entries_) {
    if (e.kind == Kind::Window && e.widget && e.widget->isVisible()) return e.widget;
  }
  return nullptr;
}

// --- windows ---

Handle QtToolkit::createWindow(std::string_view title, int x, int y, int w, int h, Handle owner, unsigned flags) {
  Entry* ownerEntry = find(owner, Kind::Window);
  const Handle handle = static_cast<Handle>(entries_.size() + 1);
  auto* window = new ToolWindow(ownerEntry ? ownerEntry->widget.data() : nullptr, x, y, w, h, flags & kTitleBar,
                                flags & kMenuBar, flags & kStatusBar,
                                [this, handle] { post({EventKind::WindowClose, handle, 0, 0, 0}); });
  window->setWindowTitle(qs(title));
  window->onKey = [this, handle](const QKeyEvent& e) {
    const Shortcut key = shortcutFromQt(e.key(), e.modifiers());
    if (!key) return false;
    post({EventKind::KeyDown, handle, key.key, static_cast<std::int32_t>(key.modifiers), 0});
    return true;
  };
  if (!(flags & kHidden)) pendingShow_.emplace_back(window);
  return add({Kind::Window, window, window->inner(), {}, nullptr});
}

void QtToolkit::destroyWindow(Handle handle) {
  if (Entry* e = find(handle, Kind::Window)) delete e->widget.data();
}

void QtToolkit::showPendingWindows() {
  for (const auto& w : pendingShow_) {
    if (w) w->show();
  }
  pendingShow_.clear();
}

void QtToolkit::show(Handle handle) {
  Entry* e = find(handle, Kind::Window);
  if (!e) return;
  e->widget->show();
  e->widget->raise();
}

void QtToolkit::hide(Handle handle) {
  Entry* e = find(handle, Kind::Window);
  if (!e) return;
  std::erase_if(pendingShow_, [&](const QPointer<QWidget>& w) { return w == e->widget; });
  e->widget->hide();
}

// --- gadgets ---

Handle QtToolkit::placeGadget(Kind kind, QWidget* gadget, int x, int y, int w, int h, Handle parent, QWidget* inner) {
  auto* area = static_cast<Area*>(innerOf(parent));
  if (!area) {
    delete gadget;
    return kNoHandle;
  }
  gadget->setParent(area);
  gadget->setGeometry(x, y, std::max(0, w), std::max(0, h));
  area->anchor(gadget, x + w == area->width(), y + h == area->height());
  if (auto* frame = dynamic_cast<GroupFrame*>(gadget)) frame->layoutInner();
  if (auto* strip = dynamic_cast<TabStrip*>(gadget)) strip->layoutInner();
  gadget->show();
  Entry e{kind, gadget, inner, {}, nullptr};
  if (kind == Kind::Canvas) e.canvas = static_cast<GlCanvas*>(gadget);
  return add(std::move(e));
}

Handle QtToolkit::createButton(std::string_view text, int x, int y, int w, int h, Handle parent) {
  auto* button = new QPushButton(caption(text));
  button->setAutoDefault(false);
  button->setFocusPolicy(Qt::TabFocus);
  const Handle handle = placeGadget(Kind::Button, button, x, y, w, h, parent);
  if (handle) QObject::connect(button, &QPushButton::clicked, [this, handle] { post({EventKind::GadgetAction, handle, 0, 0, 0}); });
  return handle;
}

Handle QtToolkit::createCheckBox(std::string_view text, int x, int y, int w, int h, Handle parent) {
  auto* box = new QCheckBox(caption(text));
  const Handle handle = placeGadget(Kind::CheckBox, box, x, y, w, h, parent);
  // clicked, not toggled: setChecked by the program raises nothing.
  if (handle) QObject::connect(box, &QCheckBox::clicked, [this, handle] { post({EventKind::GadgetAction, handle, 0, 0, 0}); });
  return handle;
}

Handle QtToolkit::createTextField(int x, int y, int w, int h, Handle parent) {
  auto* field = new QLineEdit();
  const Handle handle = placeGadget(Kind::TextField, field, x, y, w, h, parent);
  // textEdited, not textChanged: only the user's changes are actions.
  if (handle) QObject::connect(field, &QLineEdit::textEdited, [this, handle] { post({EventKind::GadgetAction, handle, 0, 0, 0}); });
  return handle;
}

Handle QtToolkit::createLabel(std::string_view text, int x, int y, int w, int h, Handle parent) {
  auto* label = new QLabel(qs(text));
  label->setTextFormat(Qt::PlainText);
  return placeGadget(Kind::Label, label, x, y, w, h, parent);
}

Handle QtToolkit::createGroupFrame(int x, int y, int w, int h, Handle parent, std::string_view title) {
  auto* frame = new GroupFrame(caption(title), nullptr);
  return placeGadget(Kind::GroupFrame, frame, x, y, w, h, parent, frame->inner());
}

Handle QtToolkit::createListBox(int x, int y, int w, int h, Handle parent) {
  auto* list = new ListBox();
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  const Handle handle = placeGadget(Kind::ListBox, list, x, y, w, h, parent);
  if (!handle) return handle;
  const auto chosen = [this, handle] {
    if (quiet_ == 0) post({EventKind::GadgetAction, handle, selectedItem(handle), 0, 0});
  };
  QObject::connect(list, &QListWidget::itemSelectionChanged, chosen);
  list->onReselect = chosen;
  QObject::connect(list, &QListWidget::itemActivated, chosen);  // double-click and Enter
  return handle;
}

Handle QtToolkit::createTabStrip(int x, int y, int w, int h, Handle parent) {
  auto* strip = new TabStrip(nullptr);
  const Handle handle = placeGadget(Kind::TabStrip, strip, x, y, w, h, parent, strip->inner());
  if (!handle) return handle;
  QObject::connect(strip->bar(), &QTabBar::currentChanged, [this, handle](int index) {
    if (quiet_ == 0) post({EventKind::GadgetAction, handle, index, 0, 0});
  });
  return handle;
}

Handle QtToolkit::createProgressBar(int x, int y, int w, int h, Handle parent) {
  auto* bar = new QProgressBar();
  bar->setRange(0, 1000);
  bar->setValue(0);
  return placeGadget(Kind::ProgressBar, bar, x, y, w, h, parent);
}

Handle QtToolkit::createCanvas(int x, int y, int w, int h, Handle parent) {
  const Handle handle = static_cast<Handle>(entries_.size() + 1);
  auto* canvas = new GlCanvas(nullptr, [this, handle](EventKind kind, int datum, int px, int py) {
    post({kind, handle, datum, px, py});
  });
  // A click on a canvas takes the focus from a text field, so keys are shortcuts again.
  canvas->setFocusPolicy(Qt::ClickFocus);
  return placeGadget(Kind::Canvas, canvas, x, y, w, h, parent);
}

// Gadgets that hold none have their own client area: a canvas's drawing size, say.
QSize QtToolkit::innerSize(Handle handle) {
  Entry* e = find(handle);
  if (!e || e->kind == Kind::Menu) return {0, 0};
  return e->inner ? e->inner->size() : e->widget->size();
}

int QtToolkit::innerWidth(Handle handle) { return innerSize(handle).width(); }
int QtToolkit::innerHeight(Handle handle) { return innerSize(handle).height(); }

int QtToolkit::screenWidth() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().width() : 0;
}

int QtToolkit::screenHeight() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().height() : 0;
}

int QtToolkit::dragDistance() { return QApplication::startDragDistance(); }

unsigned QtToolkit::keyModifiers() {
  unsigned held = 0;
  const Qt::KeyboardModifiers modifiers = QGuiApplication::keyboardModifiers();
  for (const auto& [ours, qt] : kModifiers)
    if (modifiers & qt) held |= ours;
  return held;
}

void QtToolkit::setText(Handle handle, std::string_view text) {
  Entry* e = find(handle);
  if (!e) return;
  switch (e->kind) {
    case Kind::Window: e->widget->setWindowTitle(qs(text)); break;
    case Kind::Button: static_cast<QPushButton*>(e->widget.data())->setText(caption(text)); break;
    case Kind::CheckBox: static_cast<QCheckBox*>(e->widget.data())->setText(caption(text)); break;
    case Kind::TextField: {
      // Show the beginning, as a field the user has not typed in would.
      auto* field = static_cast<QLineEdit*>(e->widget.data());
      field->setText(qs(text));
      field->setCursorPosition(0);
      break;
    }
    case Kind::Label: static_cast<QLabel*>(e->widget.data())->setText(qs(text)); break;
    case Kind::GroupFrame: static_cast<QGroupBox*>(e->widget.data())->setTitle(caption(text)); break;
    case Kind::Menu: e->menu->setTitle(caption(text)); break;
    default: break;
  }
}

std::string QtToolkit::text(Handle handle) {
  Entry* e = find(handle);
  if (!e) return {};
  switch (e->kind) {
    case Kind::Window: return e->widget->windowTitle().toStdString();
    case Kind::Button: return plainCaption(static_cast<QPushButton*>(e->widget.data())->text());
    case Kind::CheckBox: return plainCaption(static_cast<QCheckBox*>(e->widget.data())->text());
    case Kind::TextField: return static_cast<QLineEdit*>(e->widget.data())->text().toStdString();
    case Kind::Label: return static_cast<QLabel*>(e->widget.data())->text().toStdString();
    case Kind::GroupFrame: return plainCaption(static_cast<QGroupBox*>(e->widget.data())->title());
    case Kind::Menu: return plainCaption(e->menu->title());
    default: return {};
  }
}

bool QtToolkit::checked(Handle handle) {
  Entry* e = find(handle, Kind::CheckBox);
  return e && static_cast<QCheckBox*>(e->widget.data())->isChecked();
}

void QtToolkit::setChecked(Handle handle, bool on) {
  if (Entry* e = find(handle, Kind::CheckBox)) static_cast<QCheckBox*>(e->widget.data())->setChecked(on);
  if (Entry* e = find(handle, Kind::Button)) {
    auto* button = static_cast<QPushButton*>(e->widget.data());
    button->setCheckable(true);
    button->setChecked(on);
  }
}

void QtToolkit::setProgress(Handle handle, float fraction) {
  Entry* e = find(handle, Kind::ProgressBar);
  if (!e) return;
  const float f = std::isnan(fraction) ? 0.0f : std::clamp(fraction, 0.0f, 1.0f);
  auto* bar = static_cast<QProgressBar*>(e->widget.data());
  bar->setValue(static_cast<int>(std::lround(f * 1000.0f)));
  // Long commands keep the loop waiting; paint now so the bar moves during them.
  bar->repaint();
}

void QtToolkit::setStatusText(Handle handle, std::string_view text) {
  Entry* e = find(handle, Kind::Window);
  if (!e) return;
  if (QStatusBar* bar = static_cast<ToolWindow*>(e->widget.data())->statusBar()) bar->showMessage(qs(text));
}

// --- list boxes and tab strips ---

void QtToolkit::addItem(Handle handle, std::string_view text, std::string_view tooltip) {
  Entry* e = find(handle);
  if (!e) return;
  ++quiet_;
  if (e->kind == Kind::ListBox) {
    auto* list = static_cast<QListWidget*>(e->widget.data());
    if (e->rebuilt >= 0 && e->rebuilt < list->count()) {
      QListWidgetItem* item = list->item(e->rebuilt);
      if (item->text() != qs(text)) item->setText(qs(text));
      if (item->toolTip() != qs(tooltip)) item->setToolTip(qs(tooltip));
    } else {
      auto* item = new QListWidgetItem(qs(text));
      item->setToolTip(qs(tooltip));
      list->addItem(item);
    }
    if (e->rebuilt >= 0) ++e->rebuilt;
  } else if (e->kind == Kind::TabStrip) {
    QTabBar* bar = static_cast<TabStrip*>(e->widget.data())->bar();
    const int index = bar->addTab(caption(text));
    bar->setTabToolTip(index, qs(tooltip));
  }
  --quiet_;
}

void QtToolkit::removeItem(Handle handle, int index) {
  Entry* e = find(handle);
  if (!e || index < 0 || index >= itemCount(handle)) return;
  finishRebuild(*e);
  ++quiet_;
  if (e->kind == Kind::ListBox) {
    removeRows(static_cast<QListWidget*>(e->widget.data()), index, index + 1);
  } else if (e->kind == Kind::TabStrip) {
    static_cast<TabStrip*>(e->widget.data())->bar()->removeTab(index);
  }
  --quiet_;
}

void QtToolkit::clearItems(Handle handle) {
  Entry* e = find(handle);
  if (!e) return;
  ++quiet_;
  if (e->kind == Kind::ListBox) {
    // Lists rebuilt after every event would flicker, lose their scroll position and their
    // tooltips; the items are reused by the additions that follow and the rest removed later.
    static_cast<QListWidget*>(e->widget.data())->clearSelection();
    if (e->rebuilt < 0) rebuilding_.push_back(handle);
    e->rebuilt = 0;
  } else if (e->kind == Kind::TabStrip) {
    QTabBar* bar = static_cast<TabStrip*>(e->widget.data())->bar();
    while (bar->count() > 0) bar->removeTab(bar->count() - 1);
  }
  --quiet_;
}

void QtToolkit::selectItem(Handle handle, int index) {
  Entry* e = find(handle);
  if (!e) return;
  finishRebuild(*e);
  ++quiet_;
  if (e->kind == Kind::ListBox) {
    auto* list = static_cast<QListWidget*>(e->widget.data());
    if (index >= 0 && index < list->count()) {
      list->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    } else {
      list->clearSelection();
      list->setCurrentRow(-1);
    }
  } else if (e->kind == Kind::TabStrip) {
    // A tab strip with tabs always has one selected; -1 leaves it as it is.
    QTabBar* bar = static_cast<TabStrip*>(e->widget.data())->bar();
    if (index >= 0 && index < bar->count()) bar->setCurrentIndex(index);
  }
  --quiet_;
}

int QtToolkit::selectedItem(Handle handle) {
  Entry* e = find(handle);
  if (!e) return -1;
  finishRebuild(*e);
  if (e->kind == Kind::ListBox) {
    const auto rows = static_cast<QListWidget*>(e->widget.data())->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
  }
  if (e->kind == Kind::TabStrip) return static_cast<TabStrip*>(e->widget.data())->bar()->currentIndex();
  return -1;
}

int QtToolkit::itemCount(Handle handle) {
  Entry* e = find(handle);
  if (!e) return 0;
  finishRebuild(*e);
  if (e->kind == Kind::ListBox) return static_cast<QListWidget*>(e->widget.data())->count();
  if (e->kind == Kind::TabStrip) return static_cast<TabStrip*>(e->widget.data())->bar()->count();
  return 0;
}

// Qt selects a neighbour when the current row goes; a list with nothing selected stays so.
void QtToolkit::removeRows(QListWidget* list, int from, int to) {
  const bool noneSelected = list->selectionModel()->selectedRows().isEmpty();
  for (int row = to - 1; row >= from; --row) delete list->takeItem(row);
  if (noneSelected) list->clearSelection();
}

void QtToolkit::finishRebuild(Entry& e) {
  if (e.rebuilt < 0) return;
  auto* list = static_cast<QListWidget*>(e.widget.data());
  ++quiet_;
  removeRows(list, e.rebuilt, list->count());
  --quiet_;
  e.rebuilt = -1;
}

void QtToolkit::finishRebuilds() {
  for (Handle h : rebuilding_) {
    if (Entry* e = find(h, Kind::ListBox)) finishRebuild(*e);
  }
  rebuilding_.clear();
}

// --- menus ---

Handle QtToolkit::createMenu(std::string_view text, Handle window) {
  Entry* w = find(window, Kind::Window);
  QMenu* menu = nullptr;
  QMenuBar* bar = w ? static_cast<ToolWindow*>(w->widget.data())->menuBar() : nullptr;
  if (bar) {
    menu = bar->addMenu(caption(text));
  } else {
    popups_.push_back(std::make_unique<QMenu>(caption(text)));
    menu = popups_.back().get();
  }
  Entry e{Kind::Menu, nullptr, nullptr, menu, nullptr};
  return add(std::move(e));
}

void QtToolkit::createMenuItem(std::string_view text, int tag, Handle handle, Shortcut shortcut) {
  Entry* e = find(handle, Kind::Menu);
  if (!e) return;
  QAction* action = e->menu->addAction(caption(text));
  menuItems_[{handle, tag}] = action;
  if (shortcut) {
    action->setShortcut(qtKeySequence(shortcut));
    // Every window of the program, not only the one holding the menu bar.
    action->setShortcutContext(Qt::ApplicationShortcut);
  }
  QObject::connect(action, &QAction::triggered, [this, handle, tag] { post({EventKind::MenuAction, handle, tag, 0, 0}); });
}

void QtToolkit::updateMenuBar(Handle window) {
  Entry* w = find(window, Kind::Window);
  if (!w) return;
  if (QMenuBar* bar = static_cast<ToolWindow*>(w->widget.data())->menuBar()) bar->update();
}

void QtToolkit::setMenuItem(Handle menu, int tag, std::string_view text, bool enabled) {
  auto it = menuItems_.find({menu, tag});
  if (it == menuItems_.end() || !it->second) return;
  it->second->setText(caption(text));
  it->second->setEnabled(enabled);
}

void QtToolkit::setMenuItemChecked(Handle menu, int tag, bool on) {
  auto it = menuItems_.find({menu, tag});
  if (it == menuItems_.end() || !it->second) return;
  it->second->setCheckable(true);
  it->second->setChecked(on);
}

void QtToolkit::clearMenu(Handle handle) {
  Entry* e = find(handle, Kind::Menu);
  if (!e) return;
  for (auto it = menuItems_.begin(); it != menuItems_.end();)
    it = it->first.first == handle ? menuItems_.erase(it) : std::next(it);
  e->menu->clear();
}

void QtToolkit::openPopupMenu(Handle, Handle handle) {
  // Not modal: the loop goes on, and a chosen item arrives as a menu action.
  if (Entry* e = find(handle, Kind::Menu)) e->menu->popup(QCursor::pos());
}

// --- requesters ---

std::string QtToolkit::fileRequester(std::string_view title, std::string_view filter, FileMode mode,
                                     std::string_view initialPath) {
  if (script.active) {
    script.fileRequests.push_back({std::string(title), std::string(filter), mode, std::string(initialPath)});
    if (script.fileAnswers.empty()) return {};
    std::string answer = std::move(script.fileAnswers.front());
    script.fileAnswers.pop_front();
    return answer;
  }
  QFileDialog dialog(dialogParent(), qs(title), qs(initialPath), qtFileFilter(filter));
  if (mode == FileMode::Save) {
    // The typed name gets the filter's extension before the overwrite question, so the
    // question is about the file that will be written.
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(firstExtension(filter));
  } else {
    dialog.setFileMode(QFileDialog::ExistingFile);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first().toStdString();
}

bool QtToolkit::colourRequester(int red, int green, int blue) {
  std::optional<Colour> answer;
  if (script.active) {
    if (!script.colourAnswers.empty()) {
      answer = script.colourAnswers.front();
      script.colourAnswers.pop_front();
    }
  } else {
    const QColor initial(std::clamp(red, 0, 255), std::clamp(green, 0, 255), std::clamp(blue, 0, 255));
    const QColor c = QColorDialog::getColor(initial, dialogParent());
    if (c.isValid()) answer = Colour{c.red(), c.green(), c.blue()};
  }
  if (!answer) return false;
  lastColour_ = *answer;
  return true;
}

void QtToolkit::messageBox(std::string_view text, MessageKind kind) {
  if (script.active) {
    script.messages.push_back({std::string(text), kind});
    return;
  }
  QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::Information,
                  QStringLiteral("Vorlane"), qs(text), QMessageBox::Ok, dialogParent());
  box.exec();
}

int QtToolkit::question(std::string_view text, const std::vector<std::string>& buttons) {
  const int last = static_cast<int>(buttons.size()) - 1;
  if (script.active) {
    script.questions.push_back({std::string(text), buttons});
    if (script.questionAnswers.empty()) return last;
    const int answer = script.questionAnswers.front();
    script.questionAnswers.pop_front();
    return answer;
  }
  QMessageBox box(QMessageBox::Question, QStringLiteral("Vorlane"), qs(text), QMessageBox::NoButton, dialogParent());
  std::vector<QPushButton*> pressed;
  for (const std::string& b : buttons) pressed.push_back(box.addButton(caption(b), QMessageBox::ActionRole));
  if (!pressed.empty()) box.setEscapeButton(pressed.back());
  box.exec();
  for (int i = 0; i < static_cast<int>(pressed.size()); ++i)
    if (box.clickedButton() == pressed[static_cast<std::size_t>(i)]) return i;
  return last;
}

// --- events ---

Event QtToolkit::waitEvent() {
  finishRebuilds();
  showPendingWindows();
  while (queue_.empty()) {
    // Deferred deletions only run inside an event loop, and this is not one.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return take();
}

Event QtToolkit::take() {
  const Event e = queue_.front();
  queue_.pop_front();
  if (e.kind == EventKind::TimerTick) tickQueued_ = false;
  return e;
}

bool QtToolkit::pollEvent(Event& e) {
  finishRebuilds();
  showPendingWindows();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (queue_.empty()) return false;
  e = take();
  return true;
}

void QtToolkit::startTimer(int hertz) {
  if (hertz <= 0) {
    timer_.stop();
    return;
  }
  period_ = 1000.0 / hertz;
  clock_.start();
  nextDue_ = period_;
  timer_.start(static_cast<int>(std::lround(period_)));
}

Surface& QtToolkit::surface(Handle handle) {
  static NullSurface none;
  Entry* e = find(handle, Kind::Canvas);
  if (!e) return none;
  // The surface makes its context current when it draws; a tick that draws nothing switches none.
  return e->canvas->surface();
}

}  // namespace vorlane::platform::qt
