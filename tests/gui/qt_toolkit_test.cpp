// The Qt toolkit on its own: geometry, events raised by real input, ticks and closes.
#include <QCheckBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QOpenGLWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QWheelEvent>
#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <vector>

#include "base/convert.h"
#include "gui/gui_support.h"
#include "platform/qt/qt_toolkit.h"
#include "support/fixtures.h"

namespace vorlane::test {
namespace {

using platform::Event;
using platform::EventKind;
using platform::Handle;
using platform::qt::QtToolkit;
using platform::qt::firstExtension;
using platform::qt::qtFileFilter;

TEST(QtFileFilter, TurnsDescriptionAndExtensionsIntoQtPatterns) {
  EXPECT_EQ(qtFileFilter("Image Files:png,jpg,bmp;"), "Image Files (*.png *.jpg *.bmp)");
  EXPECT_EQ(qtFileFilter("Map files:vorl;"), "Map files (*.vorl)");
  EXPECT_EQ(qtFileFilter("A:a;B:b,c;"), "A (*.a);;B (*.b *.c)");
  EXPECT_EQ(qtFileFilter("Maps:vorl"), "Maps (*.vorl)");  // the last semicolon missing
  EXPECT_EQ(qtFileFilter(""), "");
  EXPECT_EQ(firstExtension("Map files:vorl;"), "vorl");
  EXPECT_EQ(firstExtension("Image Files:png,jpg,bmp;"), "png");
  EXPECT_EQ(firstExtension(""), "");
}

class QtToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    guiApp();
    tk = std::make_unique<QtToolkit>();
  }

  std::vector<Event> drain() {
    std::vector<Event> events;
    Event e;
    while (tk->pollEvent(e)) events.push_back(e);
    return events;
  }

  // The window shown and exposed, with its events so far dropped.
  void showAll(Handle window) {
    tk->showPendingWindows();
    ASSERT_TRUE(exposed(tk->widget(window)));
    drain();
  }

  // A shown window holding one list box with these items.
  Handle shownList(std::initializer_list<const char*> names) {
    const Handle w = tk->createWindow("W", 50, 50, 300, 200, 0, platform::kTitleBar);
    const Handle list = tk->createListBox(0, 0, 150, 100, w);
    showAll(w);
    for (const char* name : names) tk->addItem(list, name, "Data Element");
    return list;
  }

  std::unique_ptr<QtToolkit> tk;
};

bool isAction(const Event& e, Handle source, int datum = 0) {
  return e.kind == EventKind::GadgetAction && e.source == source && e.datum == datum;
}

TEST_F(QtToolkitTest, WindowsHaveTheirOuterGeometryAndGadgetsSitInInnerAreas) {
  const Handle main = tk->createWindow("Main", 125, 20, 580, 530, 0, platform::kTitleBar | platform::kMenuBar);
  const Handle tools = tk->createWindow("Tools", 20, 105, 110, 450, main, platform::kTitleBar | platform::kStatusBar);
  const Handle hidden = tk->createWindow("Lights", 400, 300, 250, 200, main, platform::kTitleBar | platform::kHidden);
  const Handle button = tk->createButton("New Map", 10, 5, 60, 20, main);
  const Handle canvas = tk->createCanvas(0, 40, tk->innerWidth(main), tk->innerHeight(main) - 40, main);
  const Handle frame = tk->createGroupFrame(20, 20, 64, 64, tools, "Curent Tile");
  const Handle inFrame = tk->createButton("x", 0, 0, 10, 10, frame);
  const Handle tabs = tk->createTabStrip(0, 0, 100, 100, tools);
  const Handle inTabs = tk->createButton("y", 0, 0, 10, 10, tabs);
  showAll(main);

  QWidget* mainWidget = tk->widget(main);
  EXPECT_EQ(mainWidget->frameGeometry(), QRect(125, 20, 580, 530));
  EXPECT_EQ(mainWidget->minimumSize(), mainWidget->maximumSize()) << "fixed size";
  EXPECT_EQ(tk->innerWidth(main), 580);
  const int menuHeight = mainWidget->findChild<QMenuBar*>()->height();
  EXPECT_GT(menuHeight, 0);
  EXPECT_EQ(tk->innerHeight(main), 530 - menuHeight);
  EXPECT_EQ(tk->widget(button)->mapTo(mainWidget, QPoint(0, 0)), QPoint(10, menuHeight + 5));
  EXPECT_EQ(tk->widget(button)->size(), QSize(60, 20));
  EXPECT_EQ(tk->widget(canvas)->geometry(), QRect(0, 40, 580, 530 - menuHeight - 40));
  EXPECT_EQ(tk->innerWidth(canvas), 580) << "a canvas's inner area is its drawing area";
  EXPECT_EQ(tk->innerHeight(canvas), 530 - menuHeight - 40);

  QWidget* toolsWidget = tk->widget(tools);
  EXPECT_EQ(toolsWidget->frameGeometry(), QRect(20, 105, 110, 450));
  EXPECT_EQ(toolsWidget->parentWidget(), mainWidget) << "owned by the main window";
  EXPECT_TRUE(toolsWidget->isWindow());
  EXPECT_LT(tk->innerHeight(tools), 450) << "the status bar takes its share";

  // The frame's inner area lies below its title and inside its border.
  EXPECT_EQ(tk->text(frame), "Curent Tile");
  const QPoint inner = tk->widget(inFrame)->mapTo(tk->widget(frame), QPoint(0, 0));
  EXPECT_GT(inner.y(), 0);
  EXPECT_GE(inner.x(), 0);
  EXPECT_GT(tk->innerWidth(frame), 0);
  EXPECT_LE(tk->innerWidth(frame), 64 - inner.x());
  EXPECT_EQ(tk->innerHeight(frame) + inner.y() <= 64, true);
  // The tab strip's inner area lies below the row of tabs.
  const QTabBar* bar = tk->widget(tabs)->findChild<QTabBar*>();
  EXPECT_GE(tk->widget(inTabs)->mapTo(tk->widget(tabs), QPoint(0, 0)).y(), bar->height());
  EXPECT_EQ(tk->innerHeight(tabs), 100 - bar->height());

  EXPECT_FALSE(tk->widget(hidden)->isVisible());
  tk->show(hidden);
  EXPECT_TRUE(tk->widget(hidden)->isVisible());
  tk->hide(hidden);
  EXPECT_FALSE(tk->widget(hidden)->isVisible());
  EXPECT_EQ(tk->screenWidth(), QGuiApplication::primaryScreen()->geometry().width());

  tk->destroyWindow(tools);
  EXPECT_EQ(tk->widget(frame), nullptr);
  EXPECT_EQ(tk->innerWidth(frame), 0) << "a gadget of a destroyed window is gone";
}

TEST_F(QtToolkitTest, UserInputRaisesActionsAndProgramChangesDoNot) {
  const Handle w = tk->createWindow("W", 50, 50, 400, 300, 0, platform::kTitleBar);
  const Handle button = tk->createButton("Go", 0, 0, 60, 20, w);
  const Handle box = tk->createCheckBox("Cast Shadows", 0, 25, 100, 20, w);
  const Handle field = tk->createTextField(0, 50, 60, 20, w);
  const Handle list = tk->createListBox(0, 80, 150, 100, w);
  const Handle tabs = tk->createTabStrip(160, 0, 200, 100, w);
  showAll(w);

  QTest::mouseClick(tk->widget(button), Qt::LeftButton);
  QTest::mouseClick(tk->widget(box), Qt::LeftButton, {}, QPoint(5, 10));
  auto events = drain();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_TRUE(isAction(events[0], button));
  EXPECT_TRUE(isAction(events[1], box));
  EXPECT_TRUE(tk->checked(box));
  tk->setChecked(box, false);
  EXPECT_FALSE(tk->checked(box));

  QTest::keyClicks(tk->widget(field), "12");
  events = drain();
  ASSERT_EQ(events.size(), 2u) << "one action per change the user makes";
  EXPECT_TRUE(isAction(events[1], field));
  EXPECT_EQ(tk->text(field), "12");
  tk->setText(field, "4");
  EXPECT_EQ(tk->text(field), "4");

  tk->addItem(list, "alpha", "Data Element");
  tk->addItem(list, "beta", "Data Element 2");
  tk->addItem(list, "gamma", "");
  EXPECT_EQ(tk->itemCount(list), 3);
  auto* listWidget = static_cast<QListWidget*>(tk->widget(list));
  EXPECT_EQ(listWidget->item(1)->toolTip(), "Data Element 2");
  tk->selectItem(list, 1);
  EXPECT_EQ(tk->selectedItem(list), 1);
  QTest::mouseClick(listWidget->viewport(), Qt::LeftButton, {}, listWidget->visualItemRect(listWidget->item(2)).center());
  tk->removeItem(list, 0);
  tk->selectItem(list, -1);
  EXPECT_EQ(tk->selectedItem(list), -1);
  tk->clearItems(list);
  EXPECT_EQ(tk->itemCount(list), 0);

  tk->addItem(tabs, "Tileset 1", "View tileset 1");
  tk->addItem(tabs, "Tileset 2", "View tileset 2");
  tk->selectItem(tabs, 1);
  EXPECT_EQ(tk->selectedItem(tabs), 1);
  auto* bar = tk->widget(tabs)->findChild<QTabBar*>();
  EXPECT_EQ(bar->tabText(0), "Tileset 1");
  EXPECT_EQ(bar->tabToolTip(0), "View tileset 1");
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
  tk->removeItem(tabs, 0);

  // Only the two user choices: the program's additions, selections and removals are silent.
  events = drain();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_TRUE(isAction(events[0], list, 2));
  EXPECT_TRUE(isAction(events[1], tabs, 0));
}

TEST_F(QtToolkitTest, AListRefilledAfterEveryEventKeepsItsItemsButNotItsSelection) {
  const Handle list = shownList({"a", "b", "c"});
  auto* listWidget = static_cast<QListWidget*>(tk->widget(list));
  tk->selectItem(list, 2);
  QListWidgetItem* first = listWidget->item(0);

  tk->clearItems(list);
  for (const char* name : {"a", "B", "c"}) tk->addItem(list, name, "Data Element");
  tk->selectItem(list, 2);
  EXPECT_EQ(listWidget->item(0), first) << "the same item, not a new one";
  EXPECT_EQ(listWidget->item(1)->text(), "B");
  EXPECT_EQ(tk->selectedItem(list), 2);

  tk->clearItems(list);
  tk->addItem(list, "a", "x");
  drain();  // the refill ends when events are next taken
  EXPECT_EQ(listWidget->count(), 1);
  EXPECT_EQ(listWidget->item(0)->toolTip(), "x");
  EXPECT_EQ(tk->selectedItem(list), -1);
  tk->clearItems(list);
  EXPECT_EQ(tk->itemCount(list), 0);
  EXPECT_TRUE(drain().empty()) << "none of this was the user's doing";
}

// The program highlights an item (as after a delete); one click on it chooses it.
TEST_F(QtToolkitTest, ASingleClickOnTheHighlightedItemChoosesIt) {
  const Handle list = shownList({"a", "b", "c"});
  auto* listWidget = static_cast<QListWidget*>(tk->widget(list));
  tk->selectItem(list, 1);
  drain();
  QTest::mouseClick(listWidget->viewport(), Qt::LeftButton, {}, listWidget->visualItemRect(listWidget->item(1)).center());
  auto events = drain();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_TRUE(isAction(events[0], list, 1));
}

TEST_F(QtToolkitTest, MenusRaiseTheirItemsTags) {
  const Handle w = tk->createWindow("W", 50, 50, 300, 200, 0, platform::kTitleBar | platform::kMenuBar);
  const Handle popup = tk->createMenu("Context", 0);
  tk->createMenuItem("Add Light here", 1, popup);
  tk->createMenuItem("Delete", 3, popup);
  const Handle file = tk->createMenu("File", w);
  tk->createMenuItem("Export Vorl", 7, file);
  tk->updateMenuBar(w);
  showAll(w);

  const auto bar = tk->widget(w)->findChild<QMenuBar*>()->actions();
  ASSERT_EQ(bar.size(), 1);
  EXPECT_EQ(bar[0]->text(), "File");
  tk->menu(file)->actions().at(0)->trigger();
  tk->menu(popup)->actions().at(1)->trigger();
  const auto events = drain();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, EventKind::MenuAction);
  EXPECT_EQ(events[0].source, file);
  EXPECT_EQ(events[0].datum, 7);
  EXPECT_EQ(events[1].source, popup);
  EXPECT_EQ(events[1].datum, 3);
}

TEST(QtKeys, TranslateBothWaysAndDropKeysWithoutACode) {
  using platform::Shortcut;
  using platform::qt::qtKeySequence;
  using platform::qt::shortcutFromQt;
  const struct {
    Shortcut ours;
    QKeySequence qt;
  } pairs[] = {
      {{'S', platform::kControl | platform::kShift}, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
      {{'P'}, QKeySequence(Qt::Key_P)},
      {{'0', platform::kControl}, QKeySequence(Qt::CTRL | Qt::Key_0)},
      {{platform::kKeyEqual, platform::kControl}, QKeySequence(Qt::CTRL | Qt::Key_Equal)},
      {{platform::kKeyMinus, platform::kControl}, QKeySequence(Qt::CTRL | Qt::Key_Minus)},
      {{platform::kKeyEscape}, QKeySequence(Qt::Key_Escape)},
      {{platform::kKeyPageUp}, QKeySequence(Qt::Key_PageUp)},
      {{platform::kKeyPageDown, platform::kAlt}, QKeySequence(Qt::ALT | Qt::Key_PageDown)},
  };
  for (const auto& p : pairs) {
    EXPECT_EQ(qtKeySequence(p.ours), p.qt) << p.qt.toString().toStdString();
    const QKeyCombination c = p.qt[0];
    EXPECT_EQ(shortcutFromQt(c.key(), c.keyboardModifiers()), p.ours) << p.qt.toString().toStdString();
  }
  EXPECT_FALSE(shortcutFromQt(Qt::Key_F13, {}));
  EXPECT_FALSE(shortcutFromQt(Qt::Key_Shift, Qt::ShiftModifier)) << "a modifier alone is no key";
  EXPECT_TRUE(qtKeySequence({}).isEmpty());
}

TEST_F(QtToolkitTest, KeysReachTheEditorFromEveryWindowUnlessAFieldTypesThem) {
  const Handle main = tk->createWindow("Main", 50, 50, 300, 200, 0, platform::kTitleBar | platform::kMenuBar);
  const Handle file = tk->createMenu("File", main);
  tk->createMenuItem("Save Map", 5, file, {'S', platform::kControl});
  tk->createMenuItem("Load Map", 4, file);
  tk->updateMenuBar(main);
  const Handle tools = tk->createWindow("Tools", 400, 50, 200, 200, main, platform::kTitleBar);
  const Handle field = tk->createTextField(5, 5, 60, 20, tools);
  const Handle button = tk->createButton("Plot", 5, 40, 60, 20, tools);
  tk->showPendingWindows();
  ASSERT_TRUE(exposed(tk->widget(tools)));
  tk->widget(tools)->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(tk->widget(tools)));
  drain();

  QAction* save = tk->menu(file)->actions().at(0);
  EXPECT_EQ(save->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S)) << "shown in the menu";
  EXPECT_EQ(save->shortcutContext(), Qt::ApplicationShortcut);
  EXPECT_TRUE(tk->menu(file)->actions().at(1)->shortcut().isEmpty());

  const auto only = [&](EventKind kind, Handle source, int datum, int x = 0) {
    const auto events = drain();
    if (events.size() != 1) return ::testing::AssertionFailure() << events.size() << " events";
    const Event& e = events[0];
    if (e.kind != kind || e.source != source || e.datum != datum || e.x != x)
      return ::testing::AssertionFailure() << "kind " << static_cast<int>(e.kind) << " source " << e.source
                                           << " datum " << e.datum << " x " << e.x;
    return ::testing::AssertionSuccess();
  };
  // The menu's shortcut from another window, over a button that has the focus.
  tk->widget(button)->setFocus();
  QTest::keyClick(tk->widget(button), Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(only(EventKind::MenuAction, file, 5));
  QTest::keyClick(tk->widget(button), Qt::Key_P);
  EXPECT_TRUE(only(EventKind::KeyDown, tools, 'P'));
  QTest::keyClick(tk->widget(tools), Qt::Key_Equal, Qt::ControlModifier);
  EXPECT_TRUE(only(EventKind::KeyDown, tools, platform::kKeyEqual, static_cast<int>(platform::kControl)));

  // A text field types letters and keeps its editing keys; keys it does not use go on.
  tk->widget(field)->setFocus();
  QTest::keyClick(tk->widget(field), Qt::Key_P);
  EXPECT_TRUE(only(EventKind::GadgetAction, field, 0));
  EXPECT_EQ(tk->text(field), "p");
  QTest::keyClick(tk->widget(field), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(only(EventKind::GadgetAction, field, 0)) << "its own undo";
  EXPECT_EQ(tk->text(field), "");
  QTest::keyClick(tk->widget(field), Qt::Key_PageDown);
  EXPECT_TRUE(only(EventKind::KeyDown, tools, platform::kKeyPageDown));
  QTest::keyClick(tk->widget(field), Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(only(EventKind::MenuAction, file, 5));
}

TEST_F(QtToolkitTest, StatusBarsShowTheirTextAndProgramSetFieldsTheirBeginning) {
  const Handle w = tk->createWindow("W", 50, 50, 300, 200, 0, platform::kTitleBar | platform::kStatusBar);
  const Handle field = tk->createTextField(5, 5, 40, 20, w);
  showAll(w);
  tk->setStatusText(w, "Cell 3, 4");
  EXPECT_EQ(tk->widget(w)->findChild<QStatusBar*>()->currentMessage(), "Cell 3, 4");
  tk->setText(field, "255.000000");
  EXPECT_EQ(static_cast<QLineEdit*>(tk->widget(field))->cursorPosition(), 0);
  EXPECT_TRUE(drain().empty());
}

TEST_F(QtToolkitTest, ClosingAWindowIsAnEventAndTheWindowStays) {
  const Handle w = tk->createWindow("W", 50, 50, 300, 200, 0, platform::kTitleBar);
  showAll(w);
  tk->widget(w)->close();
  const auto events = drain();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, EventKind::WindowClose);
  EXPECT_EQ(events[0].source, w);
  EXPECT_TRUE(tk->widget(w)->isVisible());
}

TEST_F(QtToolkitTest, TicksNeverPileUp) {
  tk->startTimer(60);
  ASSERT_TRUE(waitFor([&] { return tk->queuedEvents() > 0; }));
  QTest::qWait(150);  // several periods pass without anyone taking the tick
  EXPECT_EQ(tk->queuedEvents(), 1u);
  EXPECT_EQ(tk->waitEvent().kind, EventKind::TimerTick);
  EXPECT_EQ(tk->waitEvent().kind, EventKind::TimerTick) << "ticks go on once the pending one was taken";
}

TEST_F(QtToolkitTest, CanvasesReportMouseInTheirOwnCoordinates) {
  const Handle w = tk->createWindow("W", 50, 50, 300, 200, 0, platform::kTitleBar);
  const Handle canvas = tk->createCanvas(40, 30, 100, 80, w);
  const Handle other = tk->createCanvas(150, 30, 100, 80, w);
  showAll(w);
  QWindow* window = tk->widget(w)->windowHandle();
  const QPoint origin = tk->widget(canvas)->mapTo(tk->widget(w), QPoint(0, 0));

  QTest::mouseMove(window, origin + QPoint(5, 7));
  QTest::mousePress(window, Qt::LeftButton, {}, origin + QPoint(5, 7));
  // Held: moves and the release belong to the canvas pressed, even over the other one.
  QTest::mouseMove(window, origin + QPoint(130, 10));
  QTest::mouseRelease(window, Qt::LeftButton, {}, origin + QPoint(130, 10));
  QTest::mousePress(window, Qt::RightButton, {}, origin + QPoint(1, 2));
  QTest::mouseRelease(window, Qt::RightButton, {}, origin + QPoint(1, 2));
  QTest::mousePress(window, Qt::MiddleButton, {}, origin + QPoint(1, 2));
  QTest::mouseRelease(window, Qt::MiddleButton, {}, origin + QPoint(1, 2));
  auto events = drain();
  std::erase_if(events, [](const Event& e) {
    return (e.kind == EventKind::MouseMove && e.x == 1 && e.y == 2) || e.kind == EventKind::MouseLeave;
  });
  ASSERT_EQ(events.size(), 8u);
  const auto is = [&](const Event& e, EventKind kind, int datum, int x, int y) {
    return e.kind == kind && e.source == canvas && e.datum == datum && e.x == x && e.y == y;
  };
  EXPECT_TRUE(is(events[0], EventKind::MouseMove, 0, 5, 7));
  EXPECT_TRUE(is(events[1], EventKind::MouseDown, 1, 5, 7));
  EXPECT_TRUE(is(events[2], EventKind::MouseMove, 0, 130, 10));
  EXPECT_TRUE(is(events[3], EventKind::MouseUp, 1, 130, 10));
  EXPECT_TRUE(is(events[4], EventKind::MouseDown, 2, 1, 2));
  EXPECT_TRUE(is(events[5], EventKind::MouseUp, 2, 1, 2));
  EXPECT_TRUE(is(events[6], EventKind::MouseDown, 3, 1, 2));
  EXPECT_TRUE(is(events[7], EventKind::MouseUp, 3, 1, 2));

  QTest::mouseMove(window, origin + QPoint(120, 3));
  events = drain();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().source, other) << "without a button held, moves go to the canvas under the pointer";
  EXPECT_TRUE(std::any_of(events.begin(), events.end(),
                          [&](const Event& e) { return e.kind == EventKind::MouseLeave && e.source == canvas; }));

  const auto wheel = [&](int angle) {
    QWheelEvent e(QPointF(3, 4), tk->widget(canvas)->mapToGlobal(QPointF(3, 4)), QPoint(), QPoint(0, angle), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(tk->widget(canvas), &e);
  };
  wheel(120);
  wheel(-240);
  wheel(60);  // half a notch: nothing yet
  wheel(60);
  events = drain();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_TRUE(is(events[0], EventKind::MouseWheel, 1, 3, 4));
  EXPECT_TRUE(is(events[1], EventKind::MouseWheel, -1, 3, 4));
  EXPECT_TRUE(is(events[2], EventKind::MouseWheel, -1, 3, 4));
  EXPECT_TRUE(is(events[3], EventKind::MouseWheel, 1, 3, 4));
}

TEST_F(QtToolkitTest, ScriptedRequestersAnswerInOrderAndCancelWhenEmpty) {
  tk->script.active = true;
  tk->script.fileAnswers = {"/tmp/a.png"};
  tk->script.colourAnswers = {platform::Colour{1, 2, 3}, std::nullopt};
  EXPECT_EQ(tk->fileRequester("Load a single tile.", "Image Files:png,jpg,bmp;", platform::FileMode::Open, ""),
            "/tmp/a.png");
  EXPECT_EQ(tk->fileRequester("Export Vorl", "Map files:vorl;", platform::FileMode::Save, ""), "");
  ASSERT_EQ(tk->script.fileRequests.size(), 2u);
  EXPECT_EQ(tk->script.fileRequests[1].title, "Export Vorl");
  EXPECT_EQ(tk->script.fileRequests[1].mode, platform::FileMode::Save);
  EXPECT_TRUE(tk->colourRequester(9, 9, 9));
  EXPECT_FALSE(tk->colourRequester(9, 9, 9));
  EXPECT_EQ(tk->lastColour().red, 1) << "a cancelled requester keeps the last accepted colour";
  EXPECT_EQ(tk->lastColour().blue, 3);
  tk->messageBox("Not a valid file.", platform::MessageKind::Information);
  ASSERT_EQ(tk->script.messages.size(), 1u);
  EXPECT_EQ(tk->script.messages[0].text, "Not a valid file.");
}

// Typing "scene" where scene.vorl exists: the requester proposes ".vorl", asks whether to
// replace scene.vorl, and answers with the path that the save then writes.
TEST_F(QtToolkitTest, TheSaveRequesterProposesTheFiltersExtensionBeforeAskingToReplace) {
  TempDir dir;
  writeFile(dir.file("scene.vorl"), {1});
  QString suffix, question;
  // The requester and its question are modal: a timer outside them plays the user.
  QTimer user;
  user.setInterval(20);
  int ticks = 0;
  QObject::connect(&user, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && ++ticks > 500) {  // never left waiting for ever
      modal->close();
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      question = box->text();
      QMetaObject::invokeMethod(box->button(QMessageBox::Yes), "click", Qt::QueuedConnection);
    } else if (auto* dialog = qobject_cast<QFileDialog*>(modal); dialog && suffix.isNull()) {
      suffix = dialog->defaultSuffix();
      dialog->setDirectory(QString::fromStdString(dir.path().string()));
      dialog->selectFile(QStringLiteral("scene"));
      QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    }
  });
  user.start();
  const std::string chosen = tk->fileRequester("Save a vorlane project.", "Map files:vorl;", platform::FileMode::Save, "");
  user.stop();
  EXPECT_EQ(suffix, "vorl");
  EXPECT_TRUE(question.contains(QStringLiteral("scene.vorl"))) << question.toStdString();
  EXPECT_EQ(chosen, dir.file("scene.vorl"));
}

// A desktop language that writes 2,5, as QApplication takes it from the environment. The
// locale is compiled for the test, so none needs to be installed.
class CommaLocale {
 public:
  CommaLocale() {
    std::ofstream(dir_.file("comma.src")) << "LC_NUMERIC\ndecimal_point \"<U002C>\"\nthousands_sep \"\"\n"
                                             "grouping -1\nEND LC_NUMERIC\n";
    const std::string command = "localedef -c -i '" + dir_.file("comma.src") + "' -f ANSI_X3.4-1968 '" +
                                dir_.file("comma") + "' >/dev/null 2>&1";
    [[maybe_unused]] const int status = std::system(command.c_str());  // warns of the categories it lacks
    ::setenv("LOCPATH", dir_.path().c_str(), 1);
    made_ = std::setlocale(LC_NUMERIC, "comma") != nullptr;
  }
  ~CommaLocale() {
    std::setlocale(LC_NUMERIC, "C");
    ::unsetenv("LOCPATH");
  }
  bool made() const { return made_; }

 private:
  TempDir dir_;
  bool made_ = false;
};

TEST(QtToolkitLocale, NumbersKeepTheirDecimalPointUnderACommaLanguage) {
  guiApp();
  CommaLocale comma;
  if (!comma.made()) GTEST_SKIP() << "localedef could not make a locale here";
  ASSERT_EQ(base::floatToText(2.5f), "2,50000000") << "the locale is in force";
  QtToolkit toolkit;
  EXPECT_EQ(base::floatToText(2.5f), "2.50000000");
  EXPECT_EQ(base::floatToText(700.0f), "700.000000");
}

}  // namespace
}  // namespace vorlane::test
