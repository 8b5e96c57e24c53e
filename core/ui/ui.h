#pragma once
// The Ui port: the windows of window_defs.h and their controls, addressed by name.
//
// Threads: every operation may be called from any thread. An adapter runs each call on the
// user-interface thread, in the order the calls were made, and returns its result to the
// caller (the Win32 adapter marshals a worker's call and waits for it). Event handlers run on
// the user-interface thread and may call the Ui themselves.
//
// Failures are values: an unknown control, a control of a window that is not loaded, or an
// operation the control's kind does not have gives the empty text, 0, -1 or false, and
// changes nothing. All texts are GBK.
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/ui/rich_text.h"
#include "core/ui/window_defs.h"

namespace pv {

// Virtual key codes of the keys the windows react to (EventArgs::key).
inline constexpr int kEnterKey = 13;

struct EventArgs {
  Window window = Window::Login;
  std::string control{};  // empty for window events; 互联网浏览器1 for the web page's events
  Event event = Event::Clicked;
  int key = 0;          // KeyDown: virtual key code
  std::string text{};   // StatusTextChange, BeforeNavigate: the text or address
  bool cancel = false;  // MayClose, BeforeNavigate, NewWindow: set to refuse
};

using EventHandler = std::function<void(EventArgs&)>;

// Handlers for (window, control name, event). Any thread may register; handlers registered
// for one key run in registration order.
class EventHub {
 public:
  // False, and nothing registered, when the window tables do not bind `event` to that
  // control (or, with an empty name, to the window): a misspelt name fails loudly here
  // instead of silently never firing.
  [[nodiscard]] bool on(Window window, std::string_view control, Event event, EventHandler handler);

  // Runs the handlers of args' key. Exceptions from a handler propagate to the caller.
  void raise(EventArgs& args) const;

  bool handles(Window window, std::string_view control, Event event) const;

 private:
  struct Entry {
    Window window;
    std::string control;
    Event event;
    EventHandler handler;
  };
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

class Ui {
 public:
  virtual ~Ui() = default;

  EventHub& events() noexcept { return events_; }

  // Windows. load() creates the window and its controls with the table's defaults, raises
  // Created, then shows the window if `show`; loading a loaded window only shows it if asked.
  // destroy() raises Destroying first; a later load() starts again from the defaults.
  virtual bool load(Window window, bool show) = 0;
  virtual bool isLoaded(Window window) const = 0;
  virtual bool show(Window window) = 0;
  virtual bool hide(Window window) = 0;
  virtual bool isShown(Window window) const = 0;
  virtual bool destroy(Window window) = 0;
  virtual std::string title(Window window) const = 0;
  virtual bool setTitle(Window window, std::string_view title) = 0;

  // Runs the handlers of an event bound in the tables on the user-interface thread, as if
  // the control had raised it (a login worker opens the main window this way). False when
  // the window is not loaded.
  virtual bool raise(Window window, std::string_view control, Event event) = 0;

  // Caption or content. A combo box's text is its edit field (editable) or its selected
  // item (drop-down list; setting it selects the item with that text). A status bar's text
  // is part 0. A digits-only edit box refuses a text with anything but 0-9.
  virtual std::string text(Window window, std::string_view name) const = 0;
  virtual bool setText(Window window, std::string_view name, std::string_view text) = 0;

  // The control's own visibility, whatever its window's or tab page's.
  virtual bool visible(Window window, std::string_view name) const = 0;
  virtual bool setVisible(Window window, std::string_view name, bool visible) = 0;
  virtual bool enabled(Window window, std::string_view name) const = 0;
  virtual bool setEnabled(Window window, std::string_view name, bool enabled) = 0;

  // Check boxes and radio buttons. Selecting a radio button clears the others of its group
  // (the radio buttons sharing its parent).
  virtual bool checked(Window window, std::string_view name) const = 0;
  virtual bool setChecked(Window window, std::string_view name, bool checked) = 0;

  // Combo boxes, and the page of a tab control. Selecting an item puts its text into the
  // combo box. Index -1 clears the selection and the text, as clearItems() does; any other
  // index outside the items does the same and returns false.
  virtual int selectedIndex(Window window, std::string_view name) const = 0;
  virtual bool setSelectedIndex(Window window, std::string_view name, int index) = 0;
  virtual int itemCount(Window window, std::string_view name) const = 0;
  virtual std::string itemText(Window window, std::string_view name, int index) const = 0;
  virtual int itemValue(Window window, std::string_view name, int index) const = 0;
  // Appends an item; its index, or -1.
  virtual int addItem(Window window, std::string_view name, std::string_view text,
                      int value) = 0;
  virtual bool clearItems(Window window, std::string_view name) = 0;

  // Timers: 0 stops the ticks.
  virtual int timerInterval(Window window, std::string_view name) const = 0;
  virtual bool setTimerInterval(Window window, std::string_view name, int milliseconds) = 0;

  // Picture boxes: PNG or JPEG bytes. picture() gives the bytes last set (empty while the
  // table's own picture or none is shown); bytes that do not decode are refused.
  virtual std::string picture(Window window, std::string_view name) const = 0;
  virtual bool setPicture(Window window, std::string_view name, std::string_view bytes) = 0;

  // Hyperlink labels: the address opened on a click (nothing opened while empty).
  virtual std::string linkTarget(Window window, std::string_view name) const = 0;
  virtual bool setLinkTarget(Window window, std::string_view name, std::string_view target) = 0;

  // Status bars, by 0-based part.
  virtual std::string statusText(Window window, std::string_view name, int part) const = 0;
  virtual bool setStatusText(Window window, std::string_view name, int part,
                             std::string_view text) = 0;

  // Rich edit boxes. appendRichText writes the runs at the end of the text, each in its
  // colour and weight, face kRichTextFace at kRichTextPoints, as one unit: nothing else comes
  // between them, and the box is redrawn once for all of them. lineCount is the box's count
  // of lines (1 when empty); scrollLines scrolls its view by whole lines (negative: up), stopping at either end;
  // clearSelection leaves the caret where it is with nothing selected.
  virtual bool appendRichText(Window window, std::string_view name, std::span<const TextRun> runs) = 0;
  bool appendRichText(Window window, std::string_view name, const TextRun& run) {
    return appendRichText(window, name, std::span<const TextRun>(&run, 1));
  }
  virtual int lineCount(Window window, std::string_view name) const = 0;
  virtual bool scrollLines(Window window, std::string_view name, int lines) = 0;
  virtual bool clearSelection(Window window, std::string_view name) = 0;

  // The window's taskbar button as a progress bar, `done` of `total`; a `total` of 0 (or
  // less) takes the bar away. True also where the system has no such bar to show.
  virtual bool setTaskbarProgress(Window window, int done, int total) = 0;

  // Whether the mouse pointer rests on the window (or on a window it owns).
  virtual bool underCursor(Window window) const = 0;
  // Makes a loaded window the active, foreground window, showing it when hidden.
  virtual bool activate(Window window) = 0;

 private:
  EventHub events_;
};

// A rich edit box of a window as the renderer's target.
class UiRichTextBox final : public RichTextBox {
 public:
  UiRichTextBox(Ui& ui, Window window, std::string_view name) : ui_(ui), window_(window), name_(name) {}
  void append(const TextRun& run) override { ui_.appendRichText(window_, name_, run); }
  void appendAll(std::span<const TextRun> runs) override { ui_.appendRichText(window_, name_, runs); }
  int lineCount() override { return ui_.lineCount(window_, name_); }

 private:
  Ui& ui_;
  Window window_;
  std::string name_;
};

}  // namespace pv
