// The login window's web view: the hosted browser control's events, and the placeholder
// kept where no control can be hosted (cross-built unit tests, run under Wine).
#ifdef _WIN32

#include <windows.h>

#include <exdisp.h>
#include <exdispid.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/ui/window_extras.h"
#include "platform/win32/ui/web_browser_host.h"
#include "platform/win32/ui/win32_ui.h"
#include "platform/win32/win32_window_extras.h"

namespace pv {
namespace {

using win32ui::makeWebPageEventSink;


// Not registered anywhere: creating it fails as on a system without the control.
constexpr CLSID kNoSuchClass = {
    0x6b1f2d3e, 0x9a41, 0x4c55, {0x8e, 0x21, 0x3d, 0x70, 0x5a, 0x91, 0xc4, 0x0f}};

struct Seen {
  Event event;
  std::wstring text;
};

// Arguments as the browser passes them, last parameter first, with its out-parameter for
// the answer.
class BrowserCall {
 public:
  BrowserCall() { VariantInit(&url_); }
  ~BrowserCall() {
    VariantClear(&url_);
    for (VARIANT& v : args_) VariantClear(&v);
  }
  BrowserCall(const BrowserCall&) = delete;
  BrowserCall& operator=(const BrowserCall&) = delete;

  void statusText(const wchar_t* text) {
    args_.resize(1);
    V_VT(&args_[0]) = VT_BSTR;
    V_BSTR(&args_[0]) = SysAllocString(text);
  }
  void beforeNavigate(const wchar_t* url, IDispatch* from = nullptr) {
    args_.resize(7);
    for (VARIANT& v : args_) VariantInit(&v);
    if (from) {
      V_VT(&args_[6]) = VT_DISPATCH;
      V_DISPATCH(&args_[6]) = from;
      from->AddRef();
    }
    V_VT(&url_) = VT_BSTR;
    V_BSTR(&url_) = SysAllocString(url);
    V_VT(&args_[5]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args_[5]) = &url_;
    setCancel(0);
  }
  void newWindow2() {
    args_.resize(2);
    for (VARIANT& v : args_) VariantInit(&v);
    setCancel(0);
  }
  void newWindow3(const wchar_t* url) {
    args_.resize(5);
    for (VARIANT& v : args_) VariantInit(&v);
    V_VT(&args_[0]) = VT_BSTR;
    V_BSTR(&args_[0]) = SysAllocString(url);
    setCancel(3);
  }

  HRESULT invoke(IDispatch* sink, DISPID id) {
    DISPPARAMS params{args_.data(), nullptr, static_cast<UINT>(args_.size()), 0};
    return sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  }
  bool cancelled() const { return cancel_ != VARIANT_FALSE; }

 private:
  void setCancel(size_t at) {
    V_VT(&args_[at]) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&args_[at]) = &cancel_;
  }

  std::vector<VARIANT> args_;
  VARIANT url_;
  VARIANT_BOOL cancel_ = VARIANT_FALSE;
};

TEST(WebPageEventSink, HandsTheBrowsersEventsOnWithTheirTextAndTakesTheAnswer) {
  std::vector<Seen> seen;
  bool refuse = false;
  auto sink = makeWebPageEventSink([&](Event event, const std::wstring& text, bool& cancel) {
    seen.push_back({event, text});
    cancel = refuse;
  });

  BrowserCall status;
  status.statusText(L"https://www.parcelvane.com/新闻");
  EXPECT_EQ(status.invoke(sink.Get(), DISPID_STATUSTEXTCHANGE), S_OK);

  BrowserCall allowed;
  allowed.beforeNavigate(L"https://www.parcelvane.com/#pcView");
  allowed.invoke(sink.Get(), DISPID_BEFORENAVIGATE2);
  EXPECT_FALSE(allowed.cancelled());

  refuse = true;
  BrowserCall refused;
  refused.beforeNavigate(L"https://console.parcelvane.com/x");
  refused.invoke(sink.Get(), DISPID_BEFORENAVIGATE2);
  EXPECT_TRUE(refused.cancelled());

  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].event, Event::StatusTextChange);
  EXPECT_EQ(seen[0].text, L"https://www.parcelvane.com/新闻");
  EXPECT_EQ(seen[1].event, Event::BeforeNavigate);
  EXPECT_EQ(seen[1].text, L"https://www.parcelvane.com/#pcView");
  EXPECT_EQ(seen[2].text, L"https://console.parcelvane.com/x");
}

TEST(WebPageEventSink, OneRequestForAWindowIsOneEventEvenWhenBothVersionsFire) {
  int windows = 0;
  auto sink = makeWebPageEventSink([&](Event event, const std::wstring&, bool& cancel) {
    if (event == Event::NewWindow) ++windows;
    cancel = true;
  });
  BrowserCall third;
  third.newWindow3(L"https://elsewhere.test/");
  third.invoke(sink.Get(), DISPID_NEWWINDOW3);
  BrowserCall second;
  second.newWindow2();
  second.invoke(sink.Get(), DISPID_NEWWINDOW2);
  EXPECT_EQ(windows, 1);
  EXPECT_TRUE(third.cancelled());
  EXPECT_TRUE(second.cancelled());  // the pair's answer, not the control's default

  // A later request is a new one, whichever version announces it.
  BrowserCall status;
  status.statusText(L"完成");
  status.invoke(sink.Get(), DISPID_STATUSTEXTCHANGE);
  BrowserCall next;
  next.newWindow2();
  next.invoke(sink.Get(), DISPID_NEWWINDOW2);
  EXPECT_EQ(windows, 2);
  EXPECT_TRUE(next.cancelled());
}

TEST(WebPageEventSink, OnlyThePagesOwnNavigationsAreReported) {
  // Any two COM objects stand in for the page and a frame inside it.
  auto page = makeWebPageEventSink(nullptr);
  auto frame = makeWebPageEventSink(nullptr);
  std::vector<std::wstring> asked;
  auto sink = makeWebPageEventSink(
      [&](Event, const std::wstring& text, bool& cancel) {
        asked.push_back(text);
        cancel = true;
      },
      page.Get());
  BrowserCall own;
  own.beforeNavigate(L"https://console.parcelvane.com/", page.Get());
  own.invoke(sink.Get(), DISPID_BEFORENAVIGATE2);
  BrowserCall inFrame;
  inFrame.beforeNavigate(L"https://map.example.test/embed", frame.Get());
  inFrame.invoke(sink.Get(), DISPID_BEFORENAVIGATE2);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], L"https://console.parcelvane.com/");
  EXPECT_TRUE(own.cancelled());
  EXPECT_FALSE(inFrame.cancelled());  // the frame loads inside the page
}

TEST(WebPageEventSink, MalformedCallsDetachedSinksAndFailingHandlersStayQuiet) {
  int calls = 0;
  auto sink = makeWebPageEventSink([&](Event, const std::wstring&, bool&) {
    ++calls;
    throw std::runtime_error("handler failed");
  });
  BrowserCall shortCall;
  shortCall.newWindow2();  // two arguments where BeforeNavigate2 has seven
  EXPECT_EQ(shortCall.invoke(sink.Get(), DISPID_BEFORENAVIGATE2), S_OK);
  EXPECT_EQ(sink->Invoke(DISPID_STATUSTEXTCHANGE, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr,
                         nullptr, nullptr),
            S_OK);
  EXPECT_EQ(calls, 0);

  BrowserCall throws;
  throws.beforeNavigate(L"http://x.test/");
  EXPECT_EQ(throws.invoke(sink.Get(), DISPID_BEFORENAVIGATE2), S_OK);  // not into the control
  EXPECT_EQ(calls, 1);

  win32ui::detachWebPageEventSink(sink.Get());
  BrowserCall late;
  late.beforeNavigate(L"http://x.test/");
  late.invoke(sink.Get(), DISPID_BEFORENAVIGATE2);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(late.cancelled());
}

TEST(LoginWebView, WithoutABrowserControlThePlaceholderStaysAndNavigationIsRefused) {
  Win32Ui ui(kNoSuchClass, false);
  Win32WindowExtras extras(ui);
  ASSERT_TRUE(ui.load(Window::Login, true));
  HWND view = ui.controlHandle(Window::Login, kLoginWebView);
  ASSERT_NE(view, nullptr);
  wchar_t cls[32] = {};
  GetClassNameW(view, cls, 32);
  EXPECT_STREQ(cls, L"Static");
  EXPECT_EQ(GetWindow(view, GW_CHILD), nullptr);  // nothing hosted inside
  EXPECT_TRUE(IsWindowVisible(view));

  EXPECT_FALSE(extras.navigate(Window::Login, kLoginWebView, "https://www.parcelvane.com/#pcView"));
  EXPECT_EQ(GetWindow(view, GW_CHILD), nullptr);
  EXPECT_FALSE(extras.navigate(Window::Login, kLoginWebView, "https://www.parcelvane.com/#pcView"));
  EXPECT_FALSE(extras.navigate(Window::Login, kAccountBox, "https://www.parcelvane.com/"));
  // The rest of the window carries on.
  EXPECT_TRUE(ui.setText(Window::Login, kAccountBox, "demo"));
  EXPECT_EQ(ui.text(Window::Login, kAccountBox), "demo");
  EXPECT_TRUE(ui.destroy(Window::Login));
  EXPECT_FALSE(extras.navigate(Window::Login, kLoginWebView, "https://www.parcelvane.com/"));
}


// Wine's browser control exists without its HTML engine: hosted with the engine check left
// out, it still reports the navigations it is asked for, so the container, the event
// connection and the answer back reach a real control here.
TEST(LoginWebView, HostedControlAsksBeforeEachNavigationAndTakesTheRefusal) {
  Win32Ui ui(CLSID_WebBrowser, false);
  Win32WindowExtras extras(ui);
  std::vector<std::string> asked;
  ASSERT_TRUE(ui.events().on(Window::Login, kLoginWebView, Event::BeforeNavigate, [&](EventArgs& e) {
    asked.push_back(e.text);
    e.cancel = true;
  }));
  ASSERT_TRUE(ui.load(Window::Login, true));
  HWND view = ui.controlHandle(Window::Login, kLoginWebView);
  ASSERT_NE(view, nullptr);
  // The control comes with the first page, not with the window.
  EXPECT_EQ(GetWindow(view, GW_CHILD), nullptr);

  const bool navigated = extras.navigate(Window::Login, kLoginWebView, "http://127.0.0.1:9/页面?a=1");
  if (!GetWindow(view, GW_CHILD)) GTEST_SKIP() << "no browser control on this system";
  EXPECT_TRUE(navigated);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "http://127.0.0.1:9/页面?a=1");
  RECT area, browser;
  GetClientRect(view, &area);
  GetWindowRect(GetWindow(view, GW_CHILD), &browser);
  MapWindowPoints(HWND_DESKTOP, view, reinterpret_cast<POINT*>(&browser), 2);
  EXPECT_TRUE(EqualRect(&area, &browser)) << "the control does not cover the placeholder";
  EXPECT_TRUE(extras.navigate(Window::Login, kLoginWebView, "http://127.0.0.1:9/"));
  EXPECT_EQ(asked.size(), 2u);  // the same control again, not a second one
  EXPECT_TRUE(ui.destroy(Window::Login));  // closes the control with its window
  EXPECT_FALSE(extras.navigate(Window::Login, kLoginWebView, "http://127.0.0.1:9/"));
}

}  // namespace
}  // namespace pv

#endif  // _WIN32
