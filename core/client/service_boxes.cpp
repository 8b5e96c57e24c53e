#include "core/client/service_boxes.h"

#include <string>

#include "core/screening/service_code.h"

namespace pv {

namespace {

constexpr std::string_view kChooseProject = "请选择项目";
constexpr std::string_view kChooseService = "请选择服务";

}  // namespace

void loadScreeningProducts(ClientContext& client) {
  {
    std::lock_guard loading(client.records.productsLoading);
    const std::vector<ScreeningProduct> products =
        fetchScreeningProducts(client.apiTransport, *client.records.session.load());
    fillProductBox(client.ui, products, client.records.productNotices);
  }
  onProductSelected(client);
}

void fillProductBox(Ui& ui, const std::vector<ScreeningProduct>& products,
                    Published<ProductNotices>& notices) {
  const int remembered = ui.selectedIndex(Window::Main, kProjectBox);
  ui.clearItems(Window::Main, kProjectBox);
  for (const ScreeningProduct& product : products) {
    ui.addItem(Window::Main, kProjectBox, product.name, product.id);
  }
  notices.update([&](ProductNotices& table) {
    for (const ScreeningProduct& product : products) table[product.id] = product.notice;
  });
  // By position: after a change of the list another project may stand there.
  ui.setSelectedIndex(Window::Main, kProjectBox, remembered);
}

void onProductSelected(ClientContext& client) {
  Ui& ui = client.ui;
  const int index = ui.selectedIndex(Window::Main, kProjectBox);
  if (index < 0) {
    ui.setText(Window::Main, kProjectBox, kChooseProject);
    return;
  }
  const std::int32_t id = ui.itemValue(Window::Main, kProjectBox, index);
  const std::shared_ptr<const ProductNotices> notices = client.records.productNotices.load();
  const auto found = notices->find(id);
  ui.setText(Window::Main, kProductNoticeLabel,
             found == notices->end() ? std::string() : found->second);
  client.workers.start([&client] { loadScreeningServices(client); });
}

void loadScreeningServices(ClientContext& client) {
  Ui& ui = client.ui;
  std::lock_guard loading(client.records.servicesLoading);
  if (ui.selectedIndex(Window::Main, kProjectBox) < 0) return;

  const int remembered = ui.selectedIndex(Window::Main, kServiceBox);
  ui.clearItems(Window::Main, kServiceBox);
  const std::vector<ScreeningService> services =
      fetchScreeningServices(client.apiTransport, *client.records.session.load());

  // The project chosen now, which may differ from the one that started this load.
  const int project = ui.selectedIndex(Window::Main, kProjectBox);
  if (project >= 0) {
    const std::int32_t projectId = ui.itemValue(Window::Main, kProjectBox, project);
    for (const ScreeningService& service : services) {
      if (service.productId != projectId) continue;
      ui.addItem(Window::Main, kServiceBox, service.alias, service.id);
    }
  }
  ui.setSelectedIndex(Window::Main, kServiceBox, remembered);

  if (ui.selectedIndex(Window::Main, kProjectBox) < 0) {
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
  if (ui.selectedIndex(Window::Main, kProjectBox) < 0) {
    return refuse("请选择筛单项目", kProjectBox);
  }
  if (ui.selectedIndex(Window::Main, kServiceBox) >= 0) return true;
  return refuse("请选择筛单服务", kServiceBox);
}

}  // namespace pv
