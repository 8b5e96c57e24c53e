#pragma once
// What the version check shows: it enables the login button only for a supported version,
// offers the download page, and appends a download item to the login window's menu once.
#include "core/client/client_context.h"

namespace pv {

// Command id of the download item appended to the login window's menu bar.
inline constexpr int kDownloadMenuCommand = 90000;

// Worker routine. manual is 1 when the operator asked for the check (it then also says
// when the version is the newest), 0 at start-up and after a retry.
void runVersionCheck(ClientContext& client, int manual);

// The download item's action: opens UpdateInfo's download page.
void openDownloadPage(ClientContext& client);

}  // namespace pv
