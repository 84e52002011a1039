#include "support/fake_toolkit.h"

#include <algorithm>
#include <cctype>

namespace vorlane::test {

using platform::Handle;

platform::Handle FakeToolkit::add(FakeGadget g) {
  gadgets_.push_back(std::move(g));
  return static_cast<Handle>(gadgets_.size());
}

FakeGadget& FakeToolkit::at(Handle handle) {
  if (handle < 1 || handle > static_cast<Handle>(gadgets_.size())) throw std::out_of_range("no such gadget");
  return gadgets_[static_cast<std::size_t>(handle - 1)];
}

Handle FakeToolkit::createWindow(std::string_view caption, int x, int y, int w, int h, Handle owner, unsigned flags) {
  FakeGadget g{GadgetKind::Window, std::string(caption), x, y, w, h, owner, flags};
  g.visible = !(flags & platform::kHidden);
  return add(std::move(g));
}

void FakeToolkit::destroyWindow(Handle window) {
  // Children go with their window, recursively.
  std::vector<Handle> doomed{window};
  for (std::size_t i = 0; i < doomed.size(); ++i)
    for (Handle c : children(doomed[i])) doomed.push_back(c);
  for (Handle h : doomed) {
    at(h).destroyed = true;
    at(h).visible = false;
  }
}

Handle FakeToolkit::createButton(std::string_view caption, int x, int y, int w, int h, Handle parent) {
  return add({GadgetKind::Button, std::string(caption), x, y, w, h, parent});
}
Handle FakeToolkit::createCheckBox(std::string_view caption, int x, int y, int w, int h, Handle parent) {
  return add({GadgetKind::CheckBox, std::string(caption), x, y, w, h, parent});
}
Handle FakeToolkit::createTextField(int x, int y, int w, int h, Handle parent) {
  return add({GadgetKind::TextField, "", x, y, w, h, parent});
}
Handle FakeToolkit::createLabel(std::string_view text, int x, int y, int w, int h, Handle parent) {
  return add({GadgetKind::Label, std::string(text), x, y, w, h, parent});
}
Handle FakeToolkit::createGroupFrame(int x, int y, int w, int h, Handle parent, std::string_view title) {
  return add({GadgetKind::GroupFrame, std::string(title), x, y, w, h, parent});
}
Handle FakeToolkit::createListBox(int x, int y, int w, int h, Handle parent) {
  return add({GadgetKind::ListBox, "", x, y, w, h, parent});
}
Handle FakeToolkit::createTabStrip(int x, int y, int w, int h, Handle parent) {
  return add({GadgetKind::TabStrip, "", x, y, w, h, parent});
}
Handle FakeToolkit::createProgressBar(int x, int y, int w, int h, Handle parent) {
  return add({GadgetKind::ProgressBar, "", x, y, w, h, parent});
}
Handle FakeToolkit::createCanvas(int x, int y, int w, int h, Handle parent) {
  Handle c = add({GadgetKind::Canvas, "", x, y, w, h, parent});
  surfaces_[c] = std::make_unique<RecordingSurface>(w, h);
  return c;
}

int FakeToolkit::innerWidth(Handle handle) {
  const FakeGadget& g = at(handle);
  return g.kind == GadgetKind::Window || g.kind == GadgetKind::GroupFrame ? g.w - 2 * kBorder : g.w;
}

int FakeToolkit::innerHeight(Handle handle) {
  const FakeGadget& g = at(handle);
  if (g.kind == GadgetKind::GroupFrame) return g.h - kFrameTop - kBorder;
  if (g.kind != GadgetKind::Window) return g.h;
  int h = g.h - kBorder;
  if (g.flags & platform::kTitleBar) h -= kTitle;
  if (g.flags & platform::kMenuBar) h -= kMenu;
  if (g.flags & platform::kStatusBar) h -= kStatus;
  return h;
}

void FakeToolkit::setProgress(Handle bar, float fraction) { at(bar).progress = fraction; }

void FakeToolkit::addItem(Handle gadget, std::string_view text, std::string_view tooltip) {
  at(gadget).items.push_back({std::string(text), std::string(tooltip)});
}

void FakeToolkit::removeItem(Handle gadget, int index) {
  auto& g = at(gadget);
  if (index < 0 || index >= static_cast<int>(g.items.size())) return;
  g.items.erase(g.items.begin() + index);
  if (g.selected >= static_cast<int>(g.items.size())) g.selected = static_cast<int>(g.items.size()) - 1;
}

void FakeToolkit::clearItems(Handle gadget) {
  at(gadget).items.clear();
  at(gadget).selected = -1;
}

void FakeToolkit::selectItem(Handle gadget, int index) {
  auto& g = at(gadget);
  g.selected = index >= 0 && index < static_cast<int>(g.items.size()) ? index : -1;
}

Handle FakeToolkit::createMenu(std::string_view text, Handle window) {
  return add({GadgetKind::Menu, std::string(text), 0, 0, 0, 0, window});
}

void FakeToolkit::setMenuItem(Handle menu, int tag, std::string_view text, bool enabled) {
  FakeGadget& m = at(menu);
  for (auto& [itemText, itemTag] : m.menuItems)
    if (itemTag == tag) itemText = std::string(text);
  std::erase(m.disabledTags, tag);
  if (!enabled) m.disabledTags.push_back(tag);
}

int FakeToolkit::question(std::string_view text, const std::vector<std::string>& buttons) {
  questions.push_back({std::string(text), buttons});
  if (questionAnswers.empty()) return static_cast<int>(buttons.size()) - 1;
  const int answer = questionAnswers.front();
  questionAnswers.pop_front();
  return answer;
}

void FakeToolkit::setMenuItemChecked(Handle menu, int tag, bool on) {
  auto& tags = at(menu).checkedTags;
  tags.erase(std::remove(tags.begin(), tags.end(), tag), tags.end());
  if (on) tags.push_back(tag);
}

void FakeToolkit::clearMenu(Handle menu) {
  FakeGadget& m = at(menu);
  m.menuItems.clear();
  m.menuShortcuts.clear();
  m.disabledTags.clear();
  m.checkedTags.clear();
}

void FakeToolkit::createMenuItem(std::string_view text, int tag, Handle menu, platform::Shortcut shortcut) {
  at(menu).menuItems.push_back({std::string(text), tag});
  at(menu).menuShortcuts.push_back(shortcut);
}

void FakeToolkit::setStatusText(Handle window, std::string_view text) {
  at(window).status = std::string(text);
  ++at(window).statusChanges;
}

void FakeToolkit::key(std::int32_t key, unsigned modifiers) {
  const bool printable = key > ' ' && key < 0x7f;
  const bool command = (modifiers & (platform::kControl | platform::kAlt)) != 0;
  if (focused != platform::kNoHandle && at(focused).kind == GadgetKind::TextField) {
    if (printable && !command) {
      const char c = static_cast<char>(modifiers & platform::kShift ? key : std::tolower(key));
      type(focused, at(focused).text + c);
      return;
    }
    constexpr std::string_view kEditingKeys = "AZYCVX";
    if (printable && (modifiers & platform::kControl) && kEditingKeys.find(static_cast<char>(key)) != std::string_view::npos)
      return;
  }
  const platform::Shortcut pressed{key, modifiers};
  for (std::size_t i = 0; i < gadgets_.size(); ++i) {
    const FakeGadget& g = gadgets_[i];
    if (g.kind != GadgetKind::Menu || g.destroyed) continue;
    for (std::size_t item = 0; item < g.menuShortcuts.size(); ++item)
      if (g.menuShortcuts[item] == pressed) return chooseMenu(static_cast<Handle>(i + 1), g.menuItems[item].second);
  }
  // The window holding the focus; the first window made (the main window) when none does.
  Handle window = focused;
  while (window != platform::kNoHandle && at(window).kind != GadgetKind::Window) window = at(window).parent;
  if (window == platform::kNoHandle && !gadgets_.empty()) window = 1;
  post({platform::EventKind::KeyDown, window, key, static_cast<std::int32_t>(modifiers), 0});
}

std::string FakeToolkit::fileRequester(std::string_view title, std::string_view filter, platform::FileMode mode,
                                       std::string_view) {
  fileRequests.push_back({std::string(title), std::string(filter), mode});
  if (fileAnswers.empty()) return "";
  std::string answer = fileAnswers.front();
  fileAnswers.pop_front();
  return answer;
}

bool FakeToolkit::colourRequester(int, int, int) {
  if (colourAnswers.empty() || !colourAnswers.front()) {
    if (!colourAnswers.empty()) colourAnswers.pop_front();
    return false;
  }
  lastAccepted = *colourAnswers.front();
  colourAnswers.pop_front();
  return true;
}

namespace {
// Marks the place of a postLater event in the script.
constexpr Handle kLaterSource = -1;
}  // namespace

platform::Event FakeToolkit::waitEvent() {
  if (events.empty()) throw ScriptEnded();
  platform::Event e = events.front();
  events.pop_front();
  if (e.kind == platform::EventKind::GadgetSelect && e.source == kLaterSource && !later_.empty()) {
    auto make = std::move(later_.front());
    later_.pop_front();
    return make(*this);
  }
  return e;
}

void FakeToolkit::postLater(std::function<platform::Event(FakeToolkit&)> make) {
  later_.push_back(std::move(make));
  post({platform::EventKind::GadgetSelect, kLaterSource, 0, 0, 0});
}

void FakeToolkit::pressLater(GadgetKind kind, std::string text, int nth) {
  postLater([kind, text = std::move(text), nth](FakeToolkit& tk) {
    return platform::Event{platform::EventKind::GadgetAction, tk.find(kind, text, nth), 0, 0, 0};
  });
}

platform::Surface& FakeToolkit::surface(Handle canvas) {
  madeCurrent.push_back(canvas);
  return recording(canvas);
}

RecordingSurface& FakeToolkit::recording(Handle canvas) {
  auto it = surfaces_.find(canvas);
  if (it == surfaces_.end()) throw std::out_of_range("not a canvas");
  return *it->second;
}

void FakeToolkit::type(Handle field, std::string_view text) {
  at(field).text = std::string(text);
  press(field);
}

void FakeToolkit::toggle(Handle checkBox) {
  at(checkBox).isChecked = !at(checkBox).isChecked;
  press(checkBox);
}

Handle FakeToolkit::find(GadgetKind kind, std::string_view text, int nth) const {
  for (std::size_t i = 0; i < gadgets_.size(); ++i) {
    const auto& g = gadgets_[i];
    if (g.kind == kind && g.text == text && !g.destroyed && nth-- == 0) return static_cast<Handle>(i + 1);
  }
  return platform::kNoHandle;
}

std::vector<Handle> FakeToolkit::children(Handle parent) const {
  std::vector<Handle> out;
  for (std::size_t i = 0; i < gadgets_.size(); ++i)
    if (gadgets_[i].parent == parent && !gadgets_[i].destroyed && gadgets_[i].kind != GadgetKind::Window)
      out.push_back(static_cast<Handle>(i + 1));
  return out;
}

}  // namespace vorlane::test
