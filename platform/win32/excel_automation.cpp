#include "platform/win32/excel_automation.h"

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <vector>

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

}  // namespace

ExcelAutomation::ExcelAutomation() {
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  comReady_ = SUCCEEDED(hr);  // S_FALSE too: then the thread had it already, and we still balance it
}

ExcelAutomation::~ExcelAutomation() {
  if (workbook_) workbook_->Release();
  if (application_) application_->Release();
  if (comReady_) CoUninitialize();
}

bool ExcelAutomation::start() {
  if (application_) return true;
  for (const wchar_t* progId : kProgIds) {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(progId, &clsid))) continue;
    IDispatch* app = nullptr;
    if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&app))) &&
        app) {
      application_ = app;
      return true;
    }
  }
  return false;
}

bool ExcelAutomation::openWorkbook(std::string_view path) {
  const ComPtr<IDispatch> workbooks = property(application_, L"Workbooks");
  if (!workbooks) return false;
  Variant file;
  file.v.vt = VT_BSTR;
  file.v.bstrVal = SysAllocString(toWide(path).c_str());
  Variant result;
  if (FAILED(call(workbooks.Get(), L"Open", DISPATCH_METHOD, {&file.v}, &result.v))) return false;
  ComPtr<IDispatch> book = objectOf(result.v);
  if (!book) return false;
  if (workbook_) workbook_->Release();
  workbook_ = book.Detach();
  return true;
}

void ExcelAutomation::saveActiveWorkbookAs(std::string_view path) {
  const ComPtr<IDispatch> active = property(application_, L"ActiveWorkbook");
  if (!active) return;
  Variant file, format;
  file.v.vt = VT_BSTR;
  file.v.bstrVal = SysAllocString(toWide(path).c_str());
  format.v.vt = VT_I4;
  format.v.lVal = kXlOpenXmlWorkbook;
  Variant ignored;
  (void)call(active.Get(), L"SaveAs", DISPATCH_METHOD, {&file.v, &format.v}, &ignored.v);
}

void ExcelAutomation::closeWorkbooks() {
  const ComPtr<IDispatch> workbooks = property(application_, L"Workbooks");
  Variant ignored;
  if (workbooks) (void)call(workbooks.Get(), L"Close", DISPATCH_METHOD, {}, &ignored.v);
}

void ExcelAutomation::quit() {
  Variant ignored;
  (void)call(application_, L"Quit", DISPATCH_METHOD, {}, &ignored.v);
  if (workbook_) {
    workbook_->Release();
    workbook_ = nullptr;
  }
  if (application_) {
    application_->Release();
    application_ = nullptr;
  }
}

}  // namespace pv
