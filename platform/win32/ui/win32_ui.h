#pragma once
// The Ui port on Win32: every window of the tables is a real top-level window and every
// control a real child window at its table position (controls of a tab page are children
// of the page, whose origin is the tab control's top-left corner), each carrying its name
// in the kControlNameProperty property (names.h).
//
// Threads: construct, run the message loop and destroy on the user-interface thread. The
// Ui operations may be called from any thread: a call from another thread is handed to the
// user-interface thread through a message-only window and waits for its result. Calls run
// one at a time in the order they arrive, with one exception: while the user-interface
// thread is inside a modal loop (a message box, the open-file dialog, a window being
// moved), calls handed over meanwhile run nested inside that loop, before the call that
// opened it returns. So no operation keeps a change of the adapter's own state open across
// a modal call. A worker must not call while the user-interface thread waits for that
// worker (it never does: workers are not joined).
#include <windows.h>

#include <functional>
#include <memory>
#include <string_view>

#include "core/ui/ui.h"

namespace pv {

namespace win32ui {
class Impl;
}

class Win32Ui final : public Ui {
 public:
  // The login window's web view hosts the system's web-browser control when the control
  // and its HTML engine are installed, and shows a plain placeholder otherwise (and until
  // its first navigation).
  Win32Ui();
  // The same, for a program that loads `firstWindow` before any other: its background
  // picture is decoded on a worker from here on, while the program and the window's
  // controls are made, instead of when the window is created.
  explicit Win32Ui(Window firstWindow);
  // The web views host the control of `webBrowserClass` instead (tests: one that fails,
  // or the engine check left out).
  Win32Ui(const CLSID& webBrowserClass, bool requireEngine);
  ~Win32Ui() override;
  Win32Ui(const Win32Ui&) = delete;
  Win32Ui& operator=(const Win32Ui&) = delete;

  // Pumps messages until the last of our windows is gone; returns the exit code (0).
  int runMessageLoop();

  // The one way onto the user-interface thread, for the adapters beside this one (window
  // extras, dialogs) and every worker that writes to a window: runs `work` there and
  // returns once it has run (at once when called on that thread). False when that thread
  // takes no more work.
  bool onUiThread(const std::function<void()>& work);
  // Our windows' handles, from any thread; null when the window is not loaded or has no
  // such control. Use a handle on the user-interface thread only (inside onUiThread).
  HWND windowHandle(Window window) const;
  HWND controlHandle(Window window, std::string_view name) const;
  // Any thread. The first navigation of a web view hosts its browser control. False while
  // the web view shows only its placeholder (no browser control could be hosted), or when
  // there is no such web view.
  bool navigateWebView(Window window, std::string_view name, std::string_view address);

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
  bool setStatusText(Window window, std::string_view name, int part,
                     std::string_view text) override;
  using Ui::appendRichText;
  bool appendRichText(Window window, std::string_view name, std::span<const TextRun> runs) override;
  int lineCount(Window window, std::string_view name) const override;
  bool scrollLines(Window window, std::string_view name, int lines) override;
  bool clearSelection(Window window, std::string_view name) override;
  bool underCursor(Window window) const override;
  bool activate(Window window) override;
  bool setTaskbarProgress(Window window, int done, int total) override;

 private:
  std::unique_ptr<win32ui::Impl> impl_;
};

}  // namespace pv
