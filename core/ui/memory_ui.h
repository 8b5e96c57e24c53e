#pragma once
// A Ui that keeps the windows' state in memory, built from the window tables, for tests on
// both targets. It behaves like the controls it stands for (radio groups, digits-only edit
// boxes, combo items, hidden and unloaded windows) and adds the operator's actions: click,
// type, paste, pick an item, press a key, move the focus, close a window, let a timer tick.
//
// Threads: any thread may call; one lock guards the state. Events run on the calling
// thread, outside the lock, so handlers may call back into the Ui.
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ui/ui.h"

namespace pv {

class MemoryUi final : public Ui {
 public:
  MemoryUi();

  bool load(Window window, bool show) override;
  bool isLoaded(Window window) const override;
  bool show(Window window) override;
  bool hide(Window window) override;
  bool isShown(Window window) const override;
  bool destroy(Window window) override;
  std::string title(Window window) const override;
  bool setTitle(Window window, std::string_view title) override;
  bool raise(Window window, std::string_view control, Event event) override;

  std::string text(Window window, std::string_view name) const override;
  bool setText(Window window, std::string_view name, std::string_view text) override;
  bool visible(Window window, std::string_view name) const override;
  bool setVisible(Window window, std::string_view name, bool visible) override;
  bool enabled(Window window, std::string_view name) const override;
  bool setEnabled(Window window, std::string_view name, bool enabled) override;
  bool checked(Window window, std::string_view name) const override;
  bool setChecked(Window window, std::string_view name, bool checked) override;
  int selectedIndex(Window window, std::string_view name) const override;
  bool setSelectedIndex(Window window, std::string_view name, int index) override;
  int itemCount(Window window, std::string_view name) const override;
  std::string itemText(Window window, std::string_view name, int index) const override;
  int itemValue(Window window, std::string_view name, int index) const override;
  int addItem(Window window, std::string_view name, std::string_view text, int value) override;
  bool clearItems(Window window, std::string_view name) override;
  int timerInterval(Window window, std::string_view name) const override;
  bool setTimerInterval(Window window, std::string_view name, int milliseconds) override;
  std::string picture(Window window, std::string_view name) const override;
  bool setPicture(Window window, std::string_view name, std::string_view bytes) override;
  std::string linkTarget(Window window, std::string_view name) const override;
  bool setLinkTarget(Window window, std::string_view name, std::string_view target) override;
  std::string statusText(Window window, std::string_view name, int part) const override;
  bool setTaskbarProgress(Window window, int done, int total) override;
  // The last progress set on the window's taskbar button: {done, total}, total 0 for none.
  std::pair<int, int> taskbarProgress(Window window) const;
  bool setStatusText(Window window, std::string_view name, int part,
                     std::string_view text) override;
  using Ui::appendRichText;
  bool appendRichText(Window window, std::string_view name, std::span<const TextRun> runs) override;
  int lineCount(Window window, std::string_view name) const override;
  bool scrollLines(Window window, std::string_view name, int lines) override;
  bool clearSelection(Window window, std::string_view name) override;
  bool underCursor(Window window) const override;
  bool activate(Window window) override;

  // A rich edit box's runs as written, oldest first; a text set as a whole is one black
  // run. Adjacent runs are kept apart even when they look alike.
  std::vector<TextRun> richRuns(Window window, std::string_view name) const;
  // The first line in view of a rich edit box (from 0), as scrollLines left it.
  int firstVisibleLine(Window window, std::string_view name) const;
  // The operator moves the mouse pointer onto a window, or off every window (nullopt).
  void moveCursorTo(std::optional<Window> window);
  // The window last activated, if any.
  std::optional<Window> activeWindow() const;

  // The operator's actions. Each needs the window shown and the control visible, enabled
  // and on the current tab page, as a real click or key press would; false otherwise.
  // A click ticks or unticks a check box, selects a radio button, follows a hyperlink's
  // target, then raises the control's Clicked or LeftButtonDown.
  bool click(Window window, std::string_view name);
  // Types characters at the end of an edit box one by one; a digits-only box drops the
  // characters that are not digits. A paste takes the whole text or, in a digits-only box
  // holding anything but digits, nothing.
  bool typeText(Window window, std::string_view name, std::string_view text);
  bool paste(Window window, std::string_view name, std::string_view text);
  bool pickItem(Window window, std::string_view name, int index);  // raises ItemSelected
  bool pressKey(Window window, std::string_view name, int key);    // raises KeyDown
  bool focus(Window window, std::string_view name);  // LostFocus, then GotFocus
  bool close(Window window);  // MayClose; destroys unless a handler cancels
  bool tick(Window window, std::string_view name);   // a timer with an interval ticks

  // Hyperlink targets opened by clicks, oldest first.
  std::vector<std::string> followedLinks() const;

 private:
  struct ControlState {
    const ControlDef* def = nullptr;
    std::string text;
    bool visible = true;
    bool enabled = true;
    bool checked = false;
    int selected = -1;
    std::vector<ComboItem> items;
    int interval = 0;
    std::string picture;
    std::string target;
    std::vector<std::string> parts;
    std::vector<TextRun> runs;  // rich edit boxes
    int firstVisibleLine = 0;
  };
  struct WindowState {
    bool loaded = false;
    bool shown = false;
    std::string title;
    std::pair<int, int> taskbar{0, 0};
    std::vector<ControlState> controls;
  };

  WindowState& state(Window window) { return windows_[static_cast<size_t>(window)]; }
  const WindowState& state(Window window) const {
    return windows_[static_cast<size_t>(window)];
  }
  ControlState* find(Window window, std::string_view name);
  const ControlState* find(Window window, std::string_view name) const;
  // A control the operator can reach: window shown, control visible and enabled.
  ControlState* reachable(Window window, std::string_view name);
  void selectRadio(WindowState& w, ControlState& radio);
  bool setTextLocked(ControlState& c, std::string_view text);
  bool selectLocked(ControlState& c, int index);
  void raiseEvent(Window window, std::string_view control, Event event, int key = 0);

  mutable std::mutex mutex_;
  std::vector<WindowState> windows_;
  std::vector<std::string> followed_;
  Window focusWindow_ = Window::Login;
  std::optional<Window> cursorWindow_;
  std::optional<Window> activeWindow_;
  std::string focusControl_;
};

}  // namespace pv
