#include "platform/win32/excel_automation.h"

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "core/system/note_failure.h"
#include "platform/win32/unique.h"
#include "platform/win32/wide_text.h"

namespace pv {
namespace {

using Microsoft::WRL::ComPtr;

constexpr int kXlOpenXmlWorkbook = 51;  // SaveAs file format: an xlsx workbook

// A VARIANT that is cleared when it goes.
struct Variant {
  VARIANT v;
  Variant() { VariantInit(&v); }
  ~Variant() { VariantClear(&v); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
};

// One late-bound call. `args` in the order of the member's parameters. S_OK or the error.
HRESULT call(IDispatch* object, const wchar_t* name, WORD kind, std::vector<VARIANT*> args, VARIANT* result) {
  if (!object) return E_POINTER;
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  std::vector<VARIANT> reversed;  // automation takes its arguments last first
  for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(**it);
  DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  EXCEPINFO error{};
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, &error, nullptr);
  SysFreeString(error.bstrSource);
  SysFreeString(error.bstrDescription);
  SysFreeString(error.bstrHelpFile);
  return hr;
}

// The object a property or method gave, or none.
ComPtr<IDispatch> objectOf(VARIANT& value) {
  ComPtr<IDispatch> out;
  if (value.vt == VT_DISPATCH && value.pdispVal) out = value.pdispVal;
  return out;
}

ComPtr<IDispatch> property(IDispatch* object, const wchar_t* name) {
  Variant result;
  if (FAILED(call(object, name, DISPATCH_PROPERTYGET, {}, &result.v))) return nullptr;
  return objectOf(result.v);
}

// A VARIANT holding a string, a number, a flag or "argument left out".
struct Argument : Variant {
  explicit Argument(const std::wstring& text) {
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text.c_str());
  }
  explicit Argument(long number) {
    v.vt = VT_I4;
    v.lVal = number;
  }
  static Argument flag(bool on) {
    Argument a(0L);
    a.v.vt = VT_BOOL;
    a.v.boolVal = on ? VARIANT_TRUE : VARIANT_FALSE;
    return a;
  }
  static Argument missing() {
    Argument a(0L);
    a.v.vt = VT_ERROR;
    a.v.scode = DISP_E_PARAMNOTFOUND;
    return a;
  }
  Argument(Argument&& o) noexcept {
    v = o.v;
    VariantInit(&o.v);
  }
};

// Never anybody's password: a protected file the reader did not recognise fails to open
// instead of asking for its password in a window nobody sees.
constexpr wchar_t kNoPassword[] = L"\x01parcelvane";

}  // namespace

// What the suite's thread owns. Shared with the thread's jobs: a job abandoned in a call
// that never returns still finds it whole when the call finally does.
struct ExcelAutomation::Suite {
  bool comReady = false;
  ComPtr<IDispatch> application;
  ComPtr<IDispatch> workbook;
  DWORD process = 0;  // the suite's process, to end it when it stops answering
};

ExcelAutomation::ExcelAutomation()
    : suite_(std::make_shared<Suite>()),
      thread_([suite = suite_] {
        // S_FALSE too: then the thread had it already, and we still balance it.
        suite->comReady = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
      },
              [suite = suite_] {
                suite->workbook.Reset();
                suite->application.Reset();
                if (suite->comReady) CoUninitialize();
              }) {}

ExcelAutomation::~ExcelAutomation() = default;

OfficeStep ExcelAutomation::step(bool (*job)(Suite&, const std::wstring&), std::wstring argument) {
  if (thread_.abandoned()) return OfficeStep::NoAnswer;
  auto done = std::make_shared<bool>(false);
  const bool answered = thread_.run(
      [suite = suite_, job, argument = std::move(argument), done] { *done = job(*suite, argument); },
      std::chrono::duration_cast<std::chrono::milliseconds>(kStepLimit));
  if (answered) return *done ? OfficeStep::Done : OfficeStep::Failed;
  // The suite is stuck (most likely behind a prompt): end it, which also ends the call the
  // thread is waiting in.
  if (suite_->process != 0) {
    const UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, suite_->process));
    if (process) (void)TerminateProcess(process.get(), 1);
  }
  noteFailure("office conversion", "the office suite did not answer in time and was ended");
  return OfficeStep::NoAnswer;
}

OfficeStep ExcelAutomation::start() {
  return step(
      [](Suite& suite, const std::wstring&) {
        if (suite.application) return true;
        for (const wchar_t* progId : kProgIds) {
          CLSID clsid;
          if (FAILED(CLSIDFromProgID(progId, &clsid))) continue;
          ComPtr<IDispatch> app;
          if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IDispatch,
                                      reinterpret_cast<void**>(app.GetAddressOf()))) ||
              !app) {
            continue;
          }
          suite.application = app;
          // Alerts off: no "format and extension don't match", no "save changes?".
          Argument off = Argument::flag(false);
          Variant ignored;
          (void)call(app.Get(), L"DisplayAlerts", DISPATCH_PROPERTYPUT, {&off.v}, &ignored.v);
          Variant window;
          if (SUCCEEDED(call(app.Get(), L"Hwnd", DISPATCH_PROPERTYGET, {}, &window.v)) &&
              SUCCEEDED(VariantChangeType(&window.v, &window.v, 0, VT_I4))) {
            GetWindowThreadProcessId(reinterpret_cast<HWND>(static_cast<LONG_PTR>(window.v.lVal)), &suite.process);
          }
          return true;
        }
        return false;
      },
      {});
}

OfficeStep ExcelAutomation::openWorkbook(std::string_view path) {
  return step(
      [](Suite& suite, const std::wstring& file) {
        const ComPtr<IDispatch> workbooks = property(suite.application.Get(), L"Workbooks");
        if (!workbooks) return false;
        // Open(FileName, UpdateLinks, ReadOnly, Format, Password, WriteResPassword,
        //      IgnoreReadOnlyRecommended): nothing that would ask the operator anything.
        const std::wstring noPassword(kNoPassword);
        Argument name(file), links(0L), readOnly = Argument::flag(true), format = Argument::missing(),
            password(noPassword), writePassword(noPassword), ignoreRecommended = Argument::flag(true);
        Variant result;
        if (FAILED(call(workbooks.Get(), L"Open", DISPATCH_METHOD,
                        {&name.v, &links.v, &readOnly.v, &format.v, &password.v, &writePassword.v,
                         &ignoreRecommended.v},
                        &result.v))) {
          return false;
        }
        ComPtr<IDispatch> book = objectOf(result.v);
        if (!book) return false;
        suite.workbook = book;
        return true;
      },
      toWide(path));
}

OfficeStep ExcelAutomation::saveActiveWorkbookAs(std::string_view path) {
  return step(
      [](Suite& suite, const std::wstring& file) {
        const ComPtr<IDispatch> active = property(suite.application.Get(), L"ActiveWorkbook");
        if (!active) return false;
        Argument name(file), format(static_cast<long>(kXlOpenXmlWorkbook));
        Variant ignored;
        return SUCCEEDED(call(active.Get(), L"SaveAs", DISPATCH_METHOD, {&name.v, &format.v}, &ignored.v));
      },
      toWide(path));
}

void ExcelAutomation::closeWorkbooks() {
  (void)step(
      [](Suite& suite, const std::wstring&) {
        const ComPtr<IDispatch> workbooks = property(suite.application.Get(), L"Workbooks");
        Variant ignored;
        return workbooks && SUCCEEDED(call(workbooks.Get(), L"Close", DISPATCH_METHOD, {}, &ignored.v));
      },
      {});
}

void ExcelAutomation::quit() {
  (void)step(
      [](Suite& suite, const std::wstring&) {
        Variant ignored;
        const bool quit = SUCCEEDED(call(suite.application.Get(), L"Quit", DISPATCH_METHOD, {}, &ignored.v));
        suite.workbook.Reset();
        suite.application.Reset();
        return quit;
      },
      {});
}

}  // namespace pv
