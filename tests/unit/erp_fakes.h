#pragma once
// Fakes for the ERP flows: the screening call answering from a table of verdicts, the
// output box as a transcript, and a desktop holding the cloud ERP client's order page.
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/erp/erp_clients.h"
#include "core/erp/list_screening.h"
#include "core/erp/memory_desktop.h"
#include "core/text/codepage.h"
#include "core/ui/memory_ui.h"

namespace pv::erp_test {

// A verdict item of the answer, written in GBK for the reader's sake and sent as UTF-8.
inline std::string policy(int type, bool pass = false, std::string_view name = "限制",
                          std::string_view object = "", std::string_view colour = "f06e33") {
  return "{\"type\":" + std::to_string(type) + ",\"pass\":" + (pass ? "true" : "false") + ",\"shortTypeName\":\"" +
         std::string(name) + "\",\"object\":\"" + std::string(object) + "\",\"color\":\"" + std::string(colour) +
         "\"}";
}
inline std::string verdict(const std::vector<std::string>& policies, const std::vector<std::string>& sites = {}) {
  std::string sitesJson;
  for (const auto& s : sites) {
    if (!sitesJson.empty()) sitesJson += ",";
    sitesJson += "{\"title\":\"" + s + "\"}";
  }
  std::string policiesJson;
  for (const auto& p : policies) {
    if (!policiesJson.empty()) policiesJson += ",";
    policiesJson += p;
  }
  return "{\"sites\":[" + sitesJson + "],\"policies\":[" + policiesJson + "]}";
}

class FakeScreening final : public BatchScreening {
 public:
  // The verdict of an address as sent; addresses not named get no site and no restriction.
  std::map<std::string, std::string> verdicts;
  // Answers of the calls by position (from 0) that are refused: code and message.
  std::map<size_t, std::pair<int, std::string>> refusals;
  // Calls by position (from 0) the service fails: every address comes back with the
  // failure restriction, as the completed answer of a call that failed after its retries.
  std::set<size_t> failures;
  // Runs while a call is out (the operator acting meanwhile).
  std::function<void(size_t call)> duringCall;

  std::string screenAddresses(const std::vector<std::string>& addresses, std::stop_token) override {
    size_t call;
    {
      std::lock_guard lock(mutex_);
      call = calls_.size();
      calls_.push_back(addresses);
    }
    if (duringCall) duringCall(call);
    if (auto refused = refusals.find(call); refused != refusals.end()) {
      return gbkToUtf8("{\"code\":" + std::to_string(refused->second.first) + ",\"msg\":\"" + refused->second.second +
                       "\"}");
    }
    std::string data;
    for (const auto& address : addresses) {
      auto found = verdicts.find(address);
      if (!data.empty()) data += ",";
      if (failures.contains(call)) {
        data += "{\"policies\":[{\"type\":99,\"mode\":1,\"color\":\"#f06e33\",\"typeStr\":\"筛单失败\","
                "\"modeStr\":\"地址解析\",\"typeName\":\"服务器错误\",\"remark\":\"服务器错误\"}]}";
        continue;
      }
      data += found == verdicts.end() ? verdict({}) : found->second;
    }
    return gbkToUtf8("{\"code\":0,\"msg\":\"成功\",\"data\":[" + data + "]}");
  }
  bool checkServiceCode(int code, std::string_view) override { return code == 0; }

  std::vector<std::vector<std::string>> calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::vector<std::string>> calls_;
};

// The output box as the operator would read it, and each run's colour.
class TranscriptOutput final : public ScreeningOutput {
 public:
  struct Run {
    std::string text;
    Colour colour;
  };
  void appendLabelledLine(std::string_view label, std::string_view value, Colour colour) override {
    if (value.empty()) return;
    std::lock_guard lock(mutex_);
    runs_.push_back({"【" + std::string(label) + "】：", kColourBlack});
    runs_.push_back({std::string(value), colour});
    runs_.push_back({"\r\n", kColourBlack});
  }
  void appendStyledText(std::string_view text, Colour colour) override {
    if (text.empty()) return;
    std::lock_guard lock(mutex_);
    runs_.push_back({std::string(text), colour});
  }
  void scrollToEnd() override {
    std::lock_guard lock(mutex_);
    ++scrolls_;
  }

  std::string text() const {
    std::lock_guard lock(mutex_);
    std::string all;
    for (const Run& run : runs_) all += run.text;
    return all;
  }
  std::vector<Run> runs() const {
    std::lock_guard lock(mutex_);
    return runs_;
  }
  int scrolls() const {
    std::lock_guard lock(mutex_);
    return scrolls_;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    runs_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Run> runs_;
  int scrolls_ = 0;
};

// The main window, the desktop and the fakes of one run, with the pauses recorded.
struct ErpRig {
  MemoryUi ui;
  RecordingDialogs dialogs;
  MemoryDesktop desktop;
  FakeScreening screening;
  TranscriptOutput output;
  std::vector<int> pauses;  // milliseconds
  std::stop_source stop;
  RunContext run{ui, dialogs, screening, output,
                    [this](std::chrono::milliseconds ms) { pauses.push_back(static_cast<int>(ms.count())); },
                    stop.get_token()};

  ErpRig() {
    ui.load(Window::Main, true);
    setOptions(false, false, false, false, false);
  }

  void setOptions(bool blindArea, bool surcharge, bool falseAddress, bool other, bool inverse) {
    ui.setChecked(Window::Main, kBlindAreaBox, blindArea);
    ui.setChecked(Window::Main, kSurchargeBox, surcharge);
    ui.setChecked(Window::Main, kFalseAddressBox, falseAddress);
    ui.setChecked(Window::Main, kOtherRestrictionBox, other);
    ui.setChecked(Window::Main, inverse ? kInverseRadio : std::string_view("单选框_正选"), true);
  }

  // The cloud client with its order page; the list's window.
  WindowHandle addClient(const std::vector<std::string>& headers, const std::vector<std::vector<std::string>>& rows,
                         std::string title = "云端ERP - [订单审核]") {
    const WindowHandle main = desktop.addWindow(0, "TForm_main", std::move(title));
    const WindowHandle page = desktop.addWindow(desktop.addWindow(main, "TPageControl", ""), "TTabSheet", "订单审核");
    return desktop.addList(desktop.addWindow(page, "TPanel", ""), "TListView", headers, rows);
  }

  // The cloud client's run, as the one-click run starts it for the window it found.
  bool screenList(ScreeningTotals& totals) {
    return screenListViewOrders(run, desktop, findErpClientWindow(desktop, erpClients()[0]), totals);
  }

  std::vector<std::string> messages() const {
    std::vector<std::string> texts;
    for (const auto& m : dialogs.shown()) texts.push_back(m.text);
    return texts;
  }
};

}  // namespace pv::erp_test
