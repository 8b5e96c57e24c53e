#pragma once
// The system's web-browser control hosted in a window of ours, with the little OLE
// container it needs, and the page events it reports (status text, a new window asked
// for, a navigation about to start).
//
// Threads: the user-interface thread only, with OLE initialised as a single-threaded
// apartment (OleInitialize). Nothing here shows a dialog or waits: a control that cannot be
// created or activated is simply not there, and the caller keeps its placeholder.
#include <windows.h>

#include <oaidl.h>
#include <wrl/client.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/ui/window_defs.h"

namespace pv::win32ui {

// One page event: StatusTextChange with the new text, BeforeNavigate with the target
// address, NewWindow with no text. Setting `cancel` refuses the navigation or the window.
// Exceptions from it are swallowed before they reach the control.
using WebPageEvents = std::function<void(Event event, const std::wstring& text, bool& cancel)>;

// A DWebBrowserEvents2 sink that hands the three page events to `events`. With `page`,
// navigations of frames inside the page (another object than `page`) are not reported.
// detach() below cuts it off from `events` and `page` (the browser may keep the sink a
// little longer).
Microsoft::WRL::ComPtr<IDispatch> makeWebPageEventSink(WebPageEvents events,
                                                       IUnknown* page = nullptr);
void detachWebPageEventSink(IDispatch* sink) noexcept;

class WebBrowserHost {
 public:
  // The control of `browserClass` in-place active over the whole client area of
  // `container`, its events going to `events`. Null when it cannot be created or
  // activated, or, with `requireEngine`, when the HTML engine it shows pages with is not
  // installed (a browser without it only ever shows a blank area).
  static std::unique_ptr<WebBrowserHost> create(HWND container, const CLSID& browserClass,
                                                bool requireEngine, WebPageEvents events) noexcept;
  ~WebBrowserHost();
  WebBrowserHost(const WebBrowserHost&) = delete;
  WebBrowserHost& operator=(const WebBrowserHost&) = delete;

  // Starts loading `address`; false when the control refused it (a BeforeNavigate handler
  // that cancels still counts as taken).
  [[nodiscard]] bool navigate(std::wstring_view address) noexcept;
  // Covers the container's client area again after the container was resized.
  void fitToContainer() noexcept;

  struct Parts;  // the COM objects, released in a fixed order

 private:
  explicit WebBrowserHost(std::unique_ptr<Parts> parts) noexcept;
  std::unique_ptr<Parts> parts_;
};

}  // namespace pv::win32ui
