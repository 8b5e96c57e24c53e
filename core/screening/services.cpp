#include "core/screening/services.h"

#include <string>
#include <vector>

#include "core/api/api_call.h"
#include "core/text/codepage.h"

namespace pv {

namespace {

constexpr std::string_view kChooseProject = "请选择项目";
constexpr std::string_view kChooseService = "请选择服务";
constexpr std::string_view kScreeningTitle = "筛单提示";

std::string entryPointer(size_t k, std::string_view member) {
  return "/data/list/" + std::to_string(k) + "/" + std::string(member);
}

// Entries of "/data/list"; none when the answer holds no list.
size_t listSize(const JsonDocument& answer) {
  const JsonValue list = answer.at("/data/list");
  return list.isArray() ? list.size() : 0;
}

}  // namespace

void loadScreeningProducts(ClientContext& client) {
  Ui& ui = client.ui;
  {
    std::lock_guard loading(client.records.productsLoading);
    const std::shared_ptr<const ApiSession> session = client.records.session.load();
    const JsonDocument answer =
        callApi(client.apiTransport, kMethodGet,
                session->baseUrl + "/pub/serviceProducts?serviceTypeID=1&all=true&forbidden=false",
                session->authHeader);

    const int remembered = ui.selectedIndex(Window::Main, kProductBox);
    ui.clearItems(Window::Main, kProductBox);
    ProductNotices notices;
    const size_t count = listSize(answer);
    for (size_t k = 0; k < count; ++k) {
      const std::int32_t id = answer.at(entryPointer(k, "id")).toInt();
      notices[id] = utf8ToGbk(answer.at(entryPointer(k, "notice")).text());
      ui.addItem(Window::Main, kProductBox, utf8ToGbk(answer.at(entryPointer(k, "name")).text()),
                 id);
    }
    client.records.productNotices.update([&](ProductNotices& table) {
      for (auto& [id, notice] : notices) table[id] = std::move(notice);
    });
    // By position: after a change of the list another project may stand there.
    ui.setSelectedIndex(Window::Main, kProductBox, remembered);
  }
  onProductSelected(client);
}

void onProductSelected(ClientContext& client) {
  Ui& ui = client.ui;
  const int index = ui.selectedIndex(Window::Main, kProductBox);
  if (index < 0) {
    ui.setText(Window::Main, kProductBox, kChooseProject);
    return;
  }
  const std::int32_t id = ui.itemValue(Window::Main, kProductBox, index);
  const std::shared_ptr<const ProductNotices> notices = client.records.productNotices.load();
  const auto found = notices->find(id);
  ui.setText(Window::Main, kProductNoticeLabel,
             found == notices->end() ? std::string() : found->second);
  client.workers.start([&client] { loadScreeningServices(client); });
}

void loadScreeningServices(ClientContext& client) {
  Ui& ui = client.ui;
  std::lock_guard loading(client.records.servicesLoading);
  if (ui.selectedIndex(Window::Main, kProductBox) < 0) return;

  const int remembered = ui.selectedIndex(Window::Main, kServiceBox);
  ui.clearItems(Window::Main, kServiceBox);
  const std::shared_ptr<const ApiSession> session = client.records.session.load();
  const JsonDocument answer =
      callApi(client.apiTransport, kMethodGet,
              session->baseUrl + "/serviceBusinesses?currentUserID=" +
                  std::to_string(session->userId),
              session->authHeader);

  // The project chosen now, which may differ from the one that started this load.
  const int project = ui.selectedIndex(Window::Main, kProductBox);
  if (project >= 0) {
    const std::int32_t projectId = ui.itemValue(Window::Main, kProductBox, project);
    const size_t count = listSize(answer);
    for (size_t k = 0; k < count; ++k) {
      if (answer.at(entryPointer(k, "serviceProductID")).toInt() != projectId) continue;
      ui.addItem(Window::Main, kServiceBox,
                 utf8ToGbk(answer.at(entryPointer(k, "alias")).text()),
                 answer.at(entryPointer(k, "id")).toInt());
    }
  }
  ui.setSelectedIndex(Window::Main, kServiceBox, remembered);

  if (ui.selectedIndex(Window::Main, kProductBox) < 0) {
    ui.setText(Window::Main, kServiceBox, kChooseService);
    return;
  }
  if (ui.itemCount(Window::Main, kServiceBox) == 1) {
    ui.setSelectedIndex(Window::Main, kServiceBox, 0);
  } else if (ui.selectedIndex(Window::Main, kServiceBox) < 0) {
    ui.setText(Window::Main, kServiceBox, kChooseService);
  }
}

bool checkServiceChosen(Ui& ui, Dialogs& dialogs, WindowExtras& windows, bool silent) {
  const auto refuse = [&](std::string_view text, std::string_view box) {
    if (silent) return false;
    dialogs.show({.text = std::string(text),
                  .title = std::string(kScreeningTitle),
                  .buttons = DialogButtons::Ok,
                  .owner = Window::Main});
    windows.showDropDown(Window::Main, box);
    return false;
  };
  if (ui.selectedIndex(Window::Main, kProductBox) < 0) {
    return refuse("请选择筛单项目", kProductBox);
  }
  if (ui.selectedIndex(Window::Main, kServiceBox) >= 0) return true;
  return refuse("请选择筛单服务", kServiceBox);
}

}  // namespace pv
