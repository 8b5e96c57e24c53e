#include "core/ui/memory_ui.h"

#include <algorithm>

#include "core/text/text.h"
#include "core/ui/picture.h"

namespace pv {
namespace {

using K = ControlKind;

bool allDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool hasText(K kind) {
  switch (kind) {
    case K::Edit: case K::RichEdit: case K::TransparentLabel: case K::Label: case K::Button:
    case K::CheckBox: case K::RadioButton: case K::ComboBox: case K::Hyperlink:
    case K::StatusBar:
      return true;
    default:
      return false;
  }
}

bool typable(const ControlDef& def) {
  return def.kind == K::Edit || (def.kind == K::ComboBox && !def.has(kDropDownList));
}

}  // namespace

MemoryUi::MemoryUi() : windows_(std::size(kAllWindows)) {}

MemoryUi::ControlState* MemoryUi::find(Window window, std::string_view name) {
  WindowState& w = state(window);
  if (!w.loaded) return nullptr;
  for (ControlState& c : w.controls) {
    if (c.def->name == name) return &c;
  }
  return nullptr;
}

const MemoryUi::ControlState* MemoryUi::find(Window window, std::string_view name) const {
  return const_cast<MemoryUi*>(this)->find(window, name);
}

MemoryUi::ControlState* MemoryUi::reachable(Window window, std::string_view name) {
  if (!state(window).shown) return nullptr;
  ControlState* c = find(window, name);
  if (!c || !c->visible || !c->enabled || c->def->kind == K::Timer) return nullptr;
  if (c->def->page >= 0) {  // only the tab control's current page is on screen
    for (const ControlState& tab : state(window).controls) {
      if (tab.def->kind == K::TabControl && tab.selected != c->def->page) return nullptr;
    }
  }
  return c;
}

void MemoryUi::raiseEvent(Window window, std::string_view control, Event event, int key) {
  EventArgs args{.window = window, .control = std::string(control), .event = event, .key = key};
  events().raise(args);
}

bool MemoryUi::load(Window window, bool show) {
  bool created = false;
  {
    std::lock_guard lock(mutex_);
    WindowState& w = state(window);
    if (!w.loaded) {
      const WindowDef& def = windowDef(window);
      w = WindowState{};
      w.loaded = true;
      w.title = def.title;
      for (const ControlDef& d : def.controls) {
        ControlState c;
        c.def = &d;
        c.text = d.caption;
        c.visible = !d.has(kHidden);
        c.enabled = !d.has(kDisabled);
        c.checked = d.has(kTicked);
        c.selected = d.selected;
        c.items = d.items;
        c.interval = d.interval;
        c.target = d.target;
        if (d.kind == K::RichEdit && !c.text.empty()) c.runs.push_back({c.text, 0, false});
        for (const StatusPart& p : d.parts) c.parts.push_back(p.text);
        if (d.kind == K::ComboBox && d.selected >= 0 &&
            d.selected < static_cast<int>(d.items.size())) {
          c.text = d.items[static_cast<size_t>(d.selected)].text;
        }
        w.controls.push_back(std::move(c));
      }
      created = true;
    }
  }
  if (created) raiseEvent(window, "", Event::Created);
  if (show) return this->show(window);
  return isLoaded(window);
}

bool MemoryUi::isLoaded(Window window) const {
  std::lock_guard lock(mutex_);
  return state(window).loaded;
}

bool MemoryUi::show(Window window) {
  std::lock_guard lock(mutex_);
  WindowState& w = state(window);
  if (!w.loaded) return false;
  w.shown = true;
  return true;
}

bool MemoryUi::hide(Window window) {
  std::lock_guard lock(mutex_);
  WindowState& w = state(window);
  if (!w.loaded) return false;
  w.shown = false;
  return true;
}

bool MemoryUi::isShown(Window window) const {
  std::lock_guard lock(mutex_);
  return state(window).loaded && state(window).shown;
}

bool MemoryUi::destroy(Window window) {
  if (!isLoaded(window)) return false;
  raiseEvent(window, "", Event::Destroying);
  std::lock_guard lock(mutex_);
  state(window) = WindowState{};
  if (focusWindow_ == window) focusControl_.clear();
  return true;
}

std::string MemoryUi::title(Window window) const {
  std::lock_guard lock(mutex_);
  return state(window).loaded ? state(window).title : std::string();
}

bool MemoryUi::setTitle(Window window, std::string_view title) {
  std::lock_guard lock(mutex_);
  WindowState& w = state(window);
  if (!w.loaded) return false;
  w.title = title;
  return true;
}

bool MemoryUi::raise(Window window, std::string_view control, Event event) {
  if (!isLoaded(window)) return false;
  raiseEvent(window, control, event);
  return true;
}

std::string MemoryUi::text(Window window, std::string_view name) const {
  std::lock_guard lock(mutex_);
  const ControlState* c = find(window, name);
  if (!c || !hasText(c->def->kind)) return {};
  if (c->def->kind == K::StatusBar) return c->parts.empty() ? std::string() : c->parts[0];
  return c->text;
}

bool MemoryUi::setTextLocked(ControlState& c, std::string_view text) {
  const ControlDef& d = *c.def;
  if (!hasText(d.kind)) return false;
  if (d.has(kDigitsOnly) && !allDigits(text)) return false;
  if (d.kind == K::StatusBar) {
    if (c.parts.empty()) return false;
    c.parts[0] = text;
    return true;
  }
  if (d.kind == K::ComboBox && d.has(kDropDownList)) {
    for (size_t i = 0; i < c.items.size(); ++i) {
      if (c.items[i].text == text) return selectLocked(c, static_cast<int>(i));
    }
    return false;
  }
  c.text = text;
  if (d.kind == K::RichEdit) {
    c.runs.clear();
    if (!text.empty()) c.runs.push_back({std::string(text), 0, false});
    c.firstVisibleLine = 0;
  }
  return true;
}

bool MemoryUi::setText(Window window, std::string_view name, std::string_view text) {
  std::lock_guard lock(mutex_);
  ControlState* c = find(window, name);
  return c && setTextLocked(*c, text);
}

bool MemoryUi::visible(Window window, std::string_view name) const {
  std::lock_guard lock(mutex_);
  const ControlState* c = find(window, name);
  return c && c->def->kind != K::Timer && c->visible;
}

bool MemoryUi::setVisible(Window window, std::string_view name, bool visible) {
  std::lock_guard lock(mutex_);
  ControlState* c = find(window, name);
  if (!c || c->def->kind == K::Timer) return false;
  c->visible = visible;
  return true;
}

bool MemoryUi::enabled(Window window, std::string_view name) const {
  std::lock_guard lock(mutex_);
  const ControlState* c = find(window, name);
  return c && c->def->kind != K::Timer && c->enabled;
}

bool MemoryUi::setEnabled(Window window, std::string_view name, bool enabled) {
  std::lock_guard lock(mutex_);
  ControlState* c = find(window, name);
  if (!c || c->def->kind == K::Timer) return false;
  c->enabled = enabled;
  return true;
}

bool MemoryUi::checked(Window window, std::string_view name) const {
  std::lock_guard lock(mutex_);
  const ControlState* c = find(window, name);
  return c && c->checked;
}

void MemoryUi::selectRadio(WindowState& w, ControlState& radio) {
  for (ControlState& other : w.controls) {
    if (other.def->kind == K::RadioButton && other.def->page == radio.def->page) {
      other.checked = false;
    }
  }
  radio.checked = true;
}

bool MemoryUi::setChecked(Window window, std::string_view name, bool checked) {
  std::lock_guard lock(mutex_);
  ControlState* c = find(window, name);
  if (!c) return false;
  if (c->def->kind == K::CheckBox || (c->def->kind == K::RadioButton && !checked)) {
    c->checked = checked;
    return true;
  }
  if (c->def->kind == K::RadioButton) {
    selectRadio(state(window), *c);
    return true;
  }
  return false;
}

int MemoryUi::selectedIndex(Window window, std::string_view name) const {
  std::lock_guard lock(mutex_);
  const ControlState* c = find(window, name);
  if (!c || (c->def->kind != K::ComboBox && c->def->kind != K::TabControl)) return -1;
  return c->selected;
}

bool MemoryUi::selectLocked(ControlState& c, int index) {
  if (c.def->kind == K::TabControl) {
    if (index < 0 || index >= static_cast<int>(c.def->pages.size())) return false;
    c.selected = index;
    return true;
  }
  if (c.def->kind != K::ComboBox) return false;
  if (index < 0 || index >= static_cast<int>(c.items.size())) {
    c.selected = -1;
    c.text.clear();
    return index == -1;
  }
  c.selected = index;
  c.text = c.items[static_cast<size_t>(index)].text;
  return true;
}

bool MemoryUi::setSelectedIndex(Window window, std::string_view name, int index) {
  std::lock_guard lock(mutex_);
  ControlState* c = find(window, name);
  return c && selectLocked(*c, index);
}

int MemoryUi::itemCount(Window window, std::string_view name) const {
  std::lock_guard lock(mutex_);
  const ControlState* c = find(window, name);
  return c && c->def->kind == K::ComboBox ? static_cast<int>(c->items.size()) : 0;
}

std::string MemoryUi::itemText(Window window, std::string_view name, int index) const {
  std::lock_guard lock(mutex_);
  const ControlState* c = find(window, name);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return {};
  return c->items[static_cast<size_t>(index)].text;
}

int MemoryUi::itemValue(Window window, std::string_view name, int index) const {
  std::lock_guard lock(mutex_);
  const ControlState* c = find(window, name);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return 0;
  return c->items[static_cast<size_t>(index)].value;
}

int MemoryUi::addItem(Window window, std::string_view name, std::string_view text, int value) {
  std::lock_guard lock(mutex_);
  ControlState* c = find(window, name);
  if (!c || c->def->kind != K::ComboBox) return -1;
  c->items.push_back({std::string(text), value});
  return static_cast<int>(c->items.size()) - 1;
}

bool MemoryUi::clearItems(Window window, std::string_view name) {
  std::lock_guard lock(mutex_);
  ControlState* c = find(window, name);
  if (!c || c->def->kind != K::ComboBox) return false;
  c->items.clear();
  c->selected = -1;
  c->text.clear();
  return true;
}

int MemoryUi::timerInterval(Window window, std::string_view name) const {
  std::lock_guard lock(mutex_);
  const ControlState* c = find(window, name);
  return c && c->def->kind == K::Timer ? c->interval : 0;
}

bool MemoryUi::setTimerInterval(Window window, std::string_view name, int milliseconds) {
  std::lock_guard lock(mutex_);
  ControlState* c = find(window, name);
  if (!c || c->def->kind != K::Timer || milliseconds < 0) return false;
  c->interval = milliseconds;
  return true;
}

std::string MemoryUi::picture(Window window, std::string_view name) const {
  std::lock_guard lock(mutex_);
  const ControlState* c = find(window, name);
  return c ? c->picture : std::string();
}

bool MemoryUi::setPicture(Window window, std::string_view name, std::string_view bytes) {
  std::lock_guard lock(mutex_);
  ControlState* c = find(window, name);
  if (!c || c->def->kind != K::PictureBox) return false;
  if (pictureFormat(bytes) == PictureFormat::Unknown) return false;
  c->picture = bytes;
  return true;
}

std::string MemoryUi::linkTarget(Window window, std::string_view name) const {
  std::lock_guard lock(mutex_);
  const ControlState* c = find(window, name);
  return c && c->def->kind == K::Hyperlink ? c->target : std::string();
}

bool MemoryUi::setLinkTarget(Window window, std::string_view name, std::string_view target) {
  std::lock_guard lock(mutex_);
  ControlState* c = find(window, name);
  if (!c || c->def->kind != K::Hyperlink) return false;
  c->target = target;
  return true;
}

std::string MemoryUi::statusText(Window window, std::string_view name, int part) const {
  std::lock_guard lock(mutex_);
  const ControlState* c = find(window, name);
  if (!c || part < 0 || part >= static_cast<int>(c->parts.size())) return {};
  return c->parts[static_cast<size_t>(part)];
}

bool MemoryUi::setTaskbarProgress(Window window, int done, int total) {
  std::lock_guard lock(mutex_);
  state(window).taskbar = total > 0 ? std::pair{done, total} : std::pair{0, 0};
  return true;
}

std::pair<int, int> MemoryUi::taskbarProgress(Window window) const {
  std::lock_guard lock(mutex_);
  return state(window).taskbar;
}

bool MemoryUi::setStatusText(Window window, std::string_view name, int part,
                             std::string_view text) {
  std::lock_guard lock(mutex_);
  ControlState* c = find(window, name);
  if (!c || part < 0 || part >= static_cast<int>(c->parts.size())) return false;
  c->parts[static_cast<size_t>(part)] = text;
  return true;
}

namespace {
// Paragraphs as a rich edit box counts them: CR LF, a lone CR or a lone LF ends a line.
int countLines(std::string_view text) {
  int lines = 1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    if (text[i] == '\r' || text[i] == '\n') ++lines;
  }
  return lines;
}
}  // namespace

bool MemoryUi::appendRichText(Window window, std::string_view name, std::span<const TextRun> runs) {
  std::lock_guard lock(mutex_);
  ControlState* c = find(window, name);
  if (!c || c->def->kind != K::RichEdit) return false;
  for (const TextRun& run : runs) {
    if (run.text.empty()) continue;
    c->text += run.text;
    c->runs.push_back(run);
  }
  return true;
}

int MemoryUi::lineCount(Window window, std::string_view name) const {
  std::lock_guard lock(mutex_);
  const ControlState* c = find(window, name);
  if (!c || (c->def->kind != K::RichEdit && c->def->kind != K::Edit)) return 0;
  return countLines(c->text);
}

bool MemoryUi::scrollLines(Window window, std::string_view name, int lines) {
  std::lock_guard lock(mutex_);
  ControlState* c = find(window, name);
  if (!c || c->def->kind != K::RichEdit) return false;
  const long long target = static_cast<long long>(c->firstVisibleLine) + lines;
  c->firstVisibleLine = static_cast<int>(std::clamp<long long>(target, 0, countLines(c->text) - 1));
  return true;
}

bool MemoryUi::clearSelection(Window window, std::string_view name) {
  std::lock_guard lock(mutex_);
  const ControlState* c = find(window, name);
  return c && (c->def->kind == K::RichEdit || c->def->kind == K::Edit);
}

bool MemoryUi::underCursor(Window window) const {
  std::lock_guard lock(mutex_);
  return cursorWindow_ == window && state(window).loaded && state(window).shown;
}

bool MemoryUi::activate(Window window) {
  std::lock_guard lock(mutex_);
  WindowState& w = state(window);
  if (!w.loaded) return false;
  w.shown = true;
  activeWindow_ = window;
  return true;
}

void MemoryUi::moveCursorTo(std::optional<Window> window) {
  std::lock_guard lock(mutex_);
  cursorWindow_ = window;
}

std::optional<Window> MemoryUi::activeWindow() const {
  std::lock_guard lock(mutex_);
  return activeWindow_;
}

std::vector<TextRun> MemoryUi::richRuns(Window window, std::string_view name) const {
  std::lock_guard lock(mutex_);
  const ControlState* c = find(window, name);
  return c ? c->runs : std::vector<TextRun>{};
}

int MemoryUi::firstVisibleLine(Window window, std::string_view name) const {
  std::lock_guard lock(mutex_);
  const ControlState* c = find(window, name);
  return c ? c->firstVisibleLine : 0;
}

bool MemoryUi::click(Window window, std::string_view name) {
  K kind;
  {
    std::lock_guard lock(mutex_);
    ControlState* c = reachable(window, name);
    if (!c) return false;
    kind = c->def->kind;
    if (kind == K::CheckBox) c->checked = !c->checked;
    if (kind == K::RadioButton) selectRadio(state(window), *c);
    if (kind == K::Hyperlink && !c->target.empty()) followed_.push_back(c->target);
  }
  if (kind == K::Hyperlink) raiseEvent(window, name, Event::LeftButtonDown);
  raiseEvent(window, name, Event::Clicked);
  return true;
}

bool MemoryUi::typeText(Window window, std::string_view name, std::string_view text) {
  std::lock_guard lock(mutex_);
  ControlState* c = reachable(window, name);
  if (!c || !typable(*c->def)) return false;
  for (size_t i = 0; i < text.size();) {
    const size_t n = gbkCharSize(text, i);
    const std::string_view key = text.substr(i, n);
    if (!c->def->has(kDigitsOnly) || allDigits(key)) c->text += key;
    i += n;
  }
  return true;
}

bool MemoryUi::paste(Window window, std::string_view name, std::string_view text) {
  std::lock_guard lock(mutex_);
  ControlState* c = reachable(window, name);
  if (!c || !typable(*c->def)) return false;
  if (c->def->has(kDigitsOnly) && !allDigits(text)) return false;
  c->text += text;
  return true;
}

bool MemoryUi::pickItem(Window window, std::string_view name, int index) {
  {
    std::lock_guard lock(mutex_);
    ControlState* c = reachable(window, name);
    if (!c || c->def->kind != K::ComboBox || index < 0 ||
        index >= static_cast<int>(c->items.size())) {
      return false;
    }
    selectLocked(*c, index);
  }
  raiseEvent(window, name, Event::ItemSelected);
  return true;
}

bool MemoryUi::pressKey(Window window, std::string_view name, int key) {
  {
    std::lock_guard lock(mutex_);
    if (!reachable(window, name)) return false;
  }
  raiseEvent(window, name, Event::KeyDown, key);
  return true;
}

bool MemoryUi::focus(Window window, std::string_view name) {
  Window previousWindow;
  std::string previous;
  {
    std::lock_guard lock(mutex_);
    if (!reachable(window, name)) return false;
    previousWindow = focusWindow_;
    previous = focusControl_;
    focusWindow_ = window;
    focusControl_ = name;
  }
  if (!previous.empty() && (previousWindow != window || previous != name)) {
    raiseEvent(previousWindow, previous, Event::LostFocus);
  }
  raiseEvent(window, name, Event::GotFocus);
  return true;
}

bool MemoryUi::close(Window window) {
  if (!isLoaded(window)) return false;
  EventArgs args{.window = window, .event = Event::MayClose};
  events().raise(args);
  if (args.cancel) return false;
  return destroy(window);
}

bool MemoryUi::tick(Window window, std::string_view name) {
  {
    std::lock_guard lock(mutex_);
    const ControlState* c = find(window, name);
    if (!c || c->def->kind != K::Timer || c->interval <= 0) return false;
  }
  raiseEvent(window, name, Event::Tick);
  return true;
}

std::vector<std::string> MemoryUi::followedLinks() const {
  std::lock_guard lock(mutex_);
  return followed_;
}

}  // namespace pv
