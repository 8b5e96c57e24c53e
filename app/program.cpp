#include "app/program.h"

#include <shlobj.h>

#include <memory>
#include <string>

#include "core/api/global_info.h"
#include "core/client/client_events.h"
#include "core/client/service_boxes.h"
#include "core/client/window_lifecycle.h"
#include "core/batch/journal.h"
#include "core/import/erp_profiles.h"
#include "core/text/codepage.h"
#include "platform/win32/lifecycle/shell.h"
#include "core/product/product.h"
#include "platform/win32/excel_automation.h"
#include "platform/win32/program_folders.h"
#include "platform/win32/ui/picture_bitmap.h"

namespace pv {

Program::Program()
    : settingsStore(runningExecutablePath().parent_path(), windowsFolder()),
      imports{ui, dialogs, browser, files, [] { return std::make_unique<ExcelAutomation>(); },
              [this] { return chosenBatchQueryAddress(); }},
      oneClick{ui,
               dialogs,
               windowExtras,
               desktop,
               screening,
               output,
               summary,
               [this](std::chrono::milliseconds time) { pause(time); },
               [this](const ErpImportProfile& profile, ScreeningTotals& totals, std::stop_token stop) {
                 return runErpImport(profile, totals, stop);
               },
               [this](ScreeningTotals& totals, std::stop_token stop) { return runFreeImport(totals, stop); },
               &runFiles} {
  runFiles.journalFolder = journalFolder();
  runFiles.documentsFolder = [] {
    const std::string documents = shellFolder(CSIDL_PERSONAL);
    return documents.empty() ? documents : documents + "\\";
  };
  runFiles.now = [this] { return clock.now(); };
  // Before any worker reads them: where the service is, and the built-in contact until the
  // global information replaces it.
  state.records.session.update([](ApiSession& s) { s.baseUrl = std::string(kApiBaseUrl); });
  state.records.contact.store(defaultServiceContact(std::string(assetBytes(Asset::QqContactCard)),
                                                    std::string(assetBytes(Asset::WechatContactCard))));
}

std::string Program::journalFolder() {
  const std::filesystem::path program = runningExecutablePath().parent_path();
  if (program.empty()) return {};
  const std::string folder = utf16ToGbk((program / "data" / "journal").u16string());
  return folder.empty() ? folder : folder + "\\";
}

bool Program::wire() {
  // Every registration is tried, so one refusal does not hide another.
  bool ok = registerWindowLifecycleEvents(client, settings);
  ok = registerLoginWindowEvents(client, loginPage) && ok;
  ok = registerMainWindowEvents(client) && ok;
  ok = registerAddressQueryEvents(queries) && ok;
  ok = registerResultWindowEvents(summary) && ok;
  return registerOneClickEvents(ui, oneClickControl) && ok;
}

void Program::pause(std::chrono::milliseconds time) { (void)pauses.pause(time); }

RunContext Program::runContext(std::stop_token stop) {
  return RunContext{ui, dialogs, screening, output, [this](std::chrono::milliseconds time) { pause(time); },
                    stop, &runFiles};
}

std::string Program::chosenBatchQueryAddress() {
  const auto chosen = [this](std::string_view box) {
    const int i = ui.selectedIndex(Window::Main, box);
    return i >= 0 ? ui.itemValue(Window::Main, box, i) : 0;
  };
  return batchQueryAddress(chosen(kProjectBox), chosen(kServiceBox), state.records.session.load()->token);
}

int Program::runErpImport(const ErpImportProfile& profile, ScreeningTotals& totals, std::stop_token stop) {
  RunContext run = runContext(stop);
  return runErpImportProfile(imports, run, profile, totals);
}

int Program::runFreeImport(ScreeningTotals& totals, std::stop_token stop) {
  RunContext run = runContext(stop);
  ImportProfile profile;
  ImportOptional optional;
  return screenImportedOrders(imports, run, totals, profile, optional);
}

}  // namespace pv
