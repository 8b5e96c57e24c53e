#include "platform/win32/ui/web_browser_host.h"

#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>
#include <ole2.h>

#include <atomic>
#include <utility>

#include "core/system/note_failure.h"

namespace pv::win32ui {

using Microsoft::WRL::ComPtr;

namespace {

// The HTML document class the browser control shows pages with.
constexpr CLSID kHtmlDocumentClass = {
    0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

// Reference counting shared by our two COM objects; they delete themselves at zero.
class RefCounted {
 protected:
  virtual ~RefCounted() = default;
  ULONG addRef() noexcept { return ++refs_; }
  ULONG release() noexcept {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

// A VARIANT argument as the browser passes it: by value, or by reference to a variant.
const VARIANT* deref(const VARIANT& v) noexcept {
  if (V_VT(&v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&v)) return V_VARIANTREF(&v);
  return &v;
}

std::wstring textOf(const VARIANT& v) {
  const VARIANT* value = deref(v);
  if (V_VT(value) == VT_BSTR && V_BSTR(value)) {
    return {V_BSTR(value), SysStringLen(V_BSTR(value))};
  }
  if (V_VT(value) == (VT_BYREF | VT_BSTR) && V_BSTRREF(value) && *V_BSTRREF(value)) {
    return {*V_BSTRREF(value), SysStringLen(*V_BSTRREF(value))};
  }
  return {};
}

VARIANT_BOOL* cancelOf(const VARIANT& v) noexcept {
  return V_VT(&v) == (VT_BYREF | VT_BOOL) ? V_BOOLREF(&v) : nullptr;
}

class EventSink final : public IDispatch, private RefCounted {
 public:
  EventSink(WebPageEvents events, IUnknown* page) : events_(std::move(events)) {
    if (page) page->QueryInterface(IID_PPV_ARGS(&page_));  // its identity, for comparing
  }

  // Also breaks the cycle: the page holds the sink while it is connected.
  void detach() noexcept {
    events_ = nullptr;
    page_.Reset();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
      *out = static_cast<IDispatch*>(this);
      addRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return release(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    try {
      // Arguments arrive last first: rgvarg[count - 1] is the first parameter.
      const UINT count = params ? params->cArgs : 0;
      const VARIANT* args = params ? params->rgvarg : nullptr;
      switch (id) {
        case DISPID_STATUSTEXTCHANGE:  // (Text)
          if (count == 1) raise(id, Event::StatusTextChange, textOf(args[0]), nullptr);
          break;
        case DISPID_BEFORENAVIGATE2:  // (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
          if (count == 7 && ofThePage(args[6])) {
            raise(id, Event::BeforeNavigate, textOf(args[5]), cancelOf(args[0]));
          }
          break;
        case DISPID_NEWWINDOW2:  // (ppDisp, Cancel)
          if (count == 2) raise(id, Event::NewWindow, {}, cancelOf(args[0]));
          break;
        case DISPID_NEWWINDOW3:  // (ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl)
          if (count == 5) raise(id, Event::NewWindow, {}, cancelOf(args[3]));
          break;
        default:
          break;
      }
    } catch (...) {
      // Must not unwind into the control.
      noteFailure("EventSink::Invoke", "web page event failed");
    }
    return S_OK;
  }

 private:
  // A frame inside the page navigates on its own: that is part of showing the page, not the
  // operator leaving it, so only the page's own navigations are reported.
  bool ofThePage(const VARIANT& from) const {
    if (!page_ || V_VT(&from) != VT_DISPATCH || !V_DISPATCH(&from)) return true;
    ComPtr<IUnknown> identity;
    V_DISPATCH(&from)->QueryInterface(IID_PPV_ARGS(&identity));
    return identity.Get() == page_.Get();
  }

  void raise(DISPID id, Event event, const std::wstring& text, VARIANT_BOOL* cancelArg) {
    // One request for a window may come as NewWindow2 and NewWindow3 both: the second
    // takes the first's answer instead of opening the link again.
    if (event == Event::NewWindow && pairedNewWindow_ != 0 && pairedNewWindow_ != id) {
      if (cancelArg) *cancelArg = pairedCancel_ ? VARIANT_TRUE : VARIANT_FALSE;
      pairedNewWindow_ = 0;
      return;
    }
    pairedNewWindow_ = event == Event::NewWindow ? id : 0;
    // A handler may close the window and its host: keep ourselves and the handler alive.
    ComPtr<IDispatch> self(this);
    const WebPageEvents events = events_;
    if (!events) return;
    bool cancel = cancelArg && *cancelArg != VARIANT_FALSE;
    events(event, text, cancel);
    if (cancelArg) *cancelArg = cancel ? VARIANT_TRUE : VARIANT_FALSE;
    pairedCancel_ = cancel;
  }

  WebPageEvents events_;
  ComPtr<IUnknown> page_;
  DISPID pairedNewWindow_ = 0;  // the NewWindow event just answered, 0 after any other
  bool pairedCancel_ = false;
};

// The container side: one site for the one control, in a window that is its frame too.
class Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame,
                   private RefCounted {
 public:
  explicit Site(HWND container) noexcept : container_(container) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
      *out = static_cast<IOleInPlaceFrame*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    addRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return release(); }

  // IOleClientSite: nothing is ever saved or linked.
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (of the site and of the frame alike)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
    if (!out) return E_POINTER;
    *out = container_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                             LPRECT position, LPRECT clip,
                                             LPOLEINPLACEFRAMEINFO info) override {
    if (!frame || !doc || !position || !clip || !info) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    addRef();
    *doc = nullptr;
    GetClientRect(container_, position);
    *clip = *position;
    info->fMDIApp = FALSE;
    info->hwndFrame = GetAncestor(container_, GA_ROOT);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow and IOleInPlaceFrame: no toolbars, menus or status line to share.
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
    return INPLACE_E_NOTOOLSPACE;
  }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  HWND container_;
};

}  // namespace

// Declared in the order they are made; ~WebBrowserHost takes them apart in reverse.
struct WebBrowserHost::Parts {
  ComPtr<Site> site;
  ComPtr<IOleObject> object;
  ComPtr<IWebBrowser2> browser;
  ComPtr<IDispatch> sink;
  ComPtr<IConnectionPoint> events;
  DWORD cookie = 0;
  bool active = false;
  HWND container = nullptr;
};

ComPtr<IDispatch> makeWebPageEventSink(WebPageEvents events, IUnknown* page) {
  ComPtr<IDispatch> sink;
  sink.Attach(new EventSink(std::move(events), page));
  return sink;
}

void detachWebPageEventSink(IDispatch* sink) noexcept {
  if (sink) static_cast<EventSink*>(sink)->detach();
}

std::unique_ptr<WebBrowserHost> WebBrowserHost::create(HWND container, const CLSID& browserClass,
                                                       bool requireEngine,
                                                       WebPageEvents events) noexcept {
  try {
    if (!container) return nullptr;
    if (requireEngine) {
      // Only asks for the class: a missing engine fails here at once, before the browser
      // would try (and, on some systems, offer) to install one.
      ComPtr<IClassFactory> engine;
      if (FAILED(CoGetClassObject(kHtmlDocumentClass, CLSCTX_INPROC_SERVER, nullptr,
                                  IID_PPV_ARGS(&engine)))) {
        return nullptr;
      }
    }
    auto parts = std::make_unique<Parts>();
    // The host owns the parts from here on: a failure below releases them in order.
    std::unique_ptr<WebBrowserHost> host(new WebBrowserHost(std::move(parts)));
    Parts& p = *host->parts_;
    p.site.Attach(new Site(container));
    if (FAILED(CoCreateInstance(browserClass, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&p.object)))) {
      return nullptr;
    }
    if (FAILED(p.object->SetClientSite(p.site.Get())) || FAILED(p.object.As(&p.browser))) {
      return nullptr;
    }
    // Script errors and certificate questions must not open dialogs over the login window.
    p.browser->put_Silent(VARIANT_TRUE);

    p.sink = makeWebPageEventSink(std::move(events), p.browser.Get());
    ComPtr<IConnectionPointContainer> points;
    if (FAILED(p.object.As(&points)) ||
        FAILED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, &p.events)) ||
        FAILED(p.events->Advise(p.sink.Get(), &p.cookie))) {
      p.events.Reset();
      return nullptr;
    }

    p.container = container;
    RECT area{};
    GetClientRect(container, &area);
    p.active = SUCCEEDED(p.object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, p.site.Get(), 0,
                                          container, &area));
    if (!p.active) return nullptr;
    ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(p.object.As(&inPlace))) inPlace->SetObjectRects(&area, &area);
    return host;
  } catch (...) {
    noteFailure("WebBrowserHost::create", "web browser control could not be made");
    return nullptr;
  }
}

WebBrowserHost::WebBrowserHost(std::unique_ptr<Parts> parts) noexcept : parts_(std::move(parts)) {}

WebBrowserHost::~WebBrowserHost() {
  Parts& p = *parts_;
  detachWebPageEventSink(p.sink.Get());
  if (p.events) p.events->Unadvise(p.cookie);
  p.events.Reset();
  if (p.browser) p.browser->Stop();
  if (p.active) {
    ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(p.object.As(&inPlace))) inPlace->InPlaceDeactivate();
  }
  if (p.object) {
    p.object->Close(OLECLOSE_NOSAVE);
    p.object->SetClientSite(nullptr);
  }
  p.browser.Reset();
  p.object.Reset();
  p.sink.Reset();
  p.site.Reset();
}

void WebBrowserHost::fitToContainer() noexcept {
  RECT area{};
  GetClientRect(parts_->container, &area);
  ComPtr<IOleInPlaceObject> inPlace;
  if (SUCCEEDED(parts_->object.As(&inPlace))) inPlace->SetObjectRects(&area, &area);
}

bool WebBrowserHost::navigate(std::wstring_view address) noexcept {
  try {
    BSTR url = SysAllocStringLen(address.data(), static_cast<UINT>(address.size()));
    if (!url) return false;
    VARIANT none;
    VariantInit(&none);
    const HRESULT hr = parts_->browser->Navigate(url, &none, &none, &none, &none);
    SysFreeString(url);
    return SUCCEEDED(hr);
  } catch (...) {
    noteFailure("WebBrowserHost::navigate", "navigation failed with an exception");
    return false;
  }
}

}  // namespace pv::win32ui
