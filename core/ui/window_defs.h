#pragma once
// The four windows of the client, declared as data. The same tables create the Win32
// windows, build the in-memory Ui of the tests and drive settings persistence, so a control
// exists exactly once, under the name every other module uses.
//
// Coordinates are 96-dpi client pixels (left, top, width, height). A control on a tab page
// records the page index and is placed relative to the page, whose origin is the tab
// control's top-left corner. All texts are GBK. The tables are built on first use and never
// change afterwards; any thread may read them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/ui/control_names.h"

namespace pv {

enum class Window { Login, Main, QuickTip, Result };
inline constexpr Window kAllWindows[] = {Window::Login, Window::Main, Window::QuickTip,
                                         Window::Result};

enum class ControlKind {
  Edit,              // single- or multi-line text field
  RichEdit,          // read-only styled-text pane with its own scroll bar
  TransparentLabel,  // static text over the parent's background
  Label,
  Button,
  CheckBox,
  RadioButton,
  ComboBox,   // editable drop-down, or drop-down list with kDropDownList
  Hyperlink,  // underlined clickable text
  PictureBox,
  TabControl,
  StatusBar,
  Timer,       // invisible; ticks while its window is loaded and its interval is not 0
  WebBrowser,  // embedded page view
};

enum class Event {
  // Window events (raised with an empty control name).
  Created,     // controls exist, window not yet shown
  Destroying,  // about to be destroyed; controls still readable
  Activated,
  MayClose,  // the operator asked to close; a handler may set EventArgs::cancel
  // Control events.
  Clicked,
  LeftButtonDown,
  KeyDown,  // EventArgs::key holds the virtual key code (kEnterKey for Enter)
  GotFocus,
  LostFocus,
  ItemSelected,
  Tick,
  StatusTextChange,  // web browser
  NewWindow,         // web browser
  BeforeNavigate,    // web browser; EventArgs::text holds the address
};

// Control flags.
enum : std::uint32_t {
  kHidden = 1u << 0,
  kDisabled = 1u << 1,
  kTabStop = 1u << 2,
  kPassword = 1u << 3,   // shown as '*'
  kDigitsOnly = 1u << 4,  // accepts the digits 0-9 only, typed, pasted or set
  kMultiLine = 1u << 5,
  kVerticalScroll = 1u << 6,
  kTicked = 1u << 7,         // check box ticked / radio button selected at start
  kDropDownList = 1u << 8,   // combo box without an edit field
  kCentred = 1u << 9,
  kRightAligned = 1u << 10,
  kBold = 1u << 11,
  kUnderlined = 1u << 12,
  kHandCursor = 1u << 13,
  kWhiteBackground = 1u << 14,
  kSunkenBorder = 1u << 15,
  kSingleBorder = 1u << 16,
};

// Pictures that ship inside the program.
enum class Asset {
  None,
  Icon,
  LoginBackground,  // PNG 600 x 300
  MainBackground,   // PNG 750 x 1024
  Banner,           // PNG 1920 x 769
  QqContactCard,    // PNG 500 x 700
  WechatContactCard,  // JPEG 500 x 700
  MiniProgramCode,  // JPEG 430 x 490
};

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

inline constexpr std::uint32_t kNoColour = 0xFFFFFFFFu;  // colours are 0xRRGGBB
inline constexpr int kRestWidth = -1;                    // status-bar part taking what is left

struct ComboItem {
  std::string text;
  int value = 0;
  friend bool operator==(const ComboItem&, const ComboItem&) = default;
};

struct StatusPart {
  int width = kRestWidth;
  std::string text;
  friend bool operator==(const StatusPart&, const StatusPart&) = default;
};

struct ControlDef {
  ControlKind kind = ControlKind::Label;
  std::string name{};
  Rect rect{};
  int page = -1;                      // tab page; -1 when on the window itself
  std::string caption{};              // caption, content or default text
  std::uint32_t flags = 0;
  int fontSize = 0;                   // character height in pixels; 0 = toolkit default
  std::uint32_t textColour = kNoColour;
  std::vector<ComboItem> items{};     // combo box
  int selected = -1;                  // combo box selection, tab control page
  std::vector<std::string> pages{};   // tab control page titles
  std::vector<StatusPart> parts{};    // status bar
  int interval = 0;                   // timer, milliseconds
  std::string target{};               // hyperlink
  Asset picture = Asset::None;        // picture box
  std::vector<Event> events{};        // events bound to behaviour

  bool has(std::uint32_t flag) const noexcept { return (flags & flag) != 0; }
};

struct MenuDef {
  std::string caption{};
  std::vector<std::string> items{};  // each item's caption is also its name for events
};

enum class Border { Fixed, None };

struct WindowDef {
  Window id = Window::Login;
  std::string title;
  int clientWidth = 0, clientHeight = 0;
  int x = 0, y = 0;  // initial screen position of the window's top-left corner
  Border border = Border::Fixed;
  Asset background = Asset::None;
  Asset icon = Asset::None;
  std::vector<Event> events;
  std::vector<ControlDef> controls;  // in creation (and tab) order
  std::vector<MenuDef> menus;
};

const WindowDef& windowDef(Window window);

// The control named `name` in `window`, or null.
const ControlDef* findControl(Window window, std::string_view name);

// True when the table binds `event` to the window (empty name), to a control or to a menu
// item of the window.
bool raisesEvent(Window window, std::string_view name, Event event);

// Where a control really sits in its parent's client area. This is its table rectangle,
// except for status bars, which dock to the bottom edge of the window at full width: their
// designed positions would cut them off (quick-tip window) or put them over other controls.
Rect placedRect(const WindowDef& window, const ControlDef& control);

// The name a screen reader gives a control. A box (edit, rich edit, combo box) is named by
// the label right before it in the table on the same page, without the label's colon, as
// the operator reads it beside the box; a box without one by its own name after the kind
// ("编辑框_地址" is "地址"). Any other control by its caption.
std::string accessibleName(const WindowDef& window, const ControlDef& control);

std::string_view windowName(Window window);  // "Login", "Main", ... for diagnostics

}  // namespace pv
