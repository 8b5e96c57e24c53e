#pragma once
// The main window's project box and service box: filled from the service, the project's
// notice, and the check every screening path makes first.
#include <string_view>
#include <vector>

#include "core/client/client_context.h"
#include "core/screening/services.h"

namespace pv {

// Worker routine (main window opened, refresh link): fetches the service's projects,
// fillProductBox, then onProductSelected.
void loadScreeningProducts(ClientContext& client);

// Refills the project box with `products` and keeps the selection by position; their
// notices join the table of notices.
void fillProductBox(Ui& ui, const std::vector<ScreeningProduct>& products,
                    Published<ProductNotices>& notices);

// A project was chosen (or the project list was reloaded): shows its notice and starts
// loadScreeningServices on a worker; with no project chosen, asks for one in the box.
void onProductSelected(ClientContext& client);

// Worker routine: refills the service box with the operator's services of the chosen
// project, keeps the selection by position and selects a project's only service.
void loadScreeningServices(ClientContext& client);

// True when a project and a service are chosen. Otherwise, unless silent, says which one
// is missing and opens that box's drop-down list.
[[nodiscard]] bool checkServiceChosen(Ui& ui, Dialogs& dialogs, WindowExtras& windows, bool silent = false);

}  // namespace pv
