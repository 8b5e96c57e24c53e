#pragma once
// A service client with in-memory windows and recorded boxes, talking to a sandbox through
// the platform's transports (or an API transport the test puts in front of them).
#include <string>
#include <string_view>

#include "core/api/global_info.h"
#include "core/client/client_events.h"
#include "core/client/login_window.h"
#include "core/client/window_lifecycle.h"
#include "core/ui/memory_ui.h"
#include "tests/unit/api_fakes.h"
#include "tests/unit/settings_fakes.h"

namespace pv::testing {

inline std::string baseUrlOf(int port) { return "http://127.0.0.1:" + std::to_string(port) + "/api/v2"; }

struct SandboxClientRig : ClientFakes {
  explicit SandboxClientRig(int port, HttpTransport& apiTransport = platformHttpTransport())
      : client{ui, dialogs, browser, windows, clock, workers, apiTransport, platformWebTransport(), records} {
    records.session.update([port](ApiSession& s) { s.baseUrl = baseUrlOf(port); });
    records.contact.store(defaultServiceContact(kBuiltInQq, kBuiltInWechat));
    EXPECT_TRUE(registerWindowLifecycleEvents(client, settings));
    EXPECT_TRUE(registerLoginWindowEvents(client, page));
    EXPECT_TRUE(registerMainWindowEvents(client));
    EXPECT_TRUE(ui.load(Window::Login, true));
  }

  void typeAccount(std::string_view account, std::string_view password) {
    ui.setText(Window::Login, kAccountBox, account);
    ui.setText(Window::Login, kPasswordBox, password);
  }

  inline static const std::string kBuiltInQq = std::string("\x89PNG\r\n\x1a\n", 8) + "built-in";
  inline static const std::string kBuiltInWechat = std::string("\xFF\xD8\xFF\xE0", 4) + "built-in";

  RecordingWindowExtras windows{ui};
  ClientContext client;
  LoginWebPage page{browser};
  testing_settings::MapSettingsStore store;
  testing_settings::ReversingProtector protector;
  SettingsPorts settings{ui, store, protector};
};

}  // namespace pv::testing
