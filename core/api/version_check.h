#pragma once
// The version check: asks the service whether this client version may still be used and
// whether a newer one exists. It enables the login button only for a supported version,
// offers the download page, and appends a download item to the login window's menu once.
#include <string>
#include <string_view>

#include "core/api/client.h"

namespace pv {

// Name and version this client reports to the service.
inline constexpr std::string_view kClientName = "客户端";
inline constexpr std::string_view kClientVersion = "2.0.2";

// Command id of the download item appended to the login window's menu bar.
inline constexpr int kDownloadMenuCommand = 90000;

// Worker routine. manual is 1 when the operator asked for the check (it then also says
// when the version is the newest), 0 at start-up and after a retry.
void runVersionCheck(ClientContext& client, int manual);

// The download item's action: opens UpdateInfo's download page.
void openDownloadPage(ClientContext& client);

}  // namespace pv
