#pragma once
// What the version check shows: it enables the login button only for a supported version,
// offers the download page, and appends a download item to the login window's menu once.
#include "core/client/client_context.h"

namespace pv {

// Command id of the download item appended to the login window's menu bar.
inline constexpr int kDownloadMenuCommand = 90000;

// Who started a version check: start-up or a retry, or the operator (menu "检测新版"), who
// is then also told when the version is the newest.
enum class VersionCheckBy { Program, Operator };

// Worker routine.
void runVersionCheck(ClientContext& client, VersionCheckBy by);

// The download item's action: opens UpdateInfo's download page.
void openDownloadPage(ClientContext& client);

}  // namespace pv
