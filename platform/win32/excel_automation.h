#pragma once
// ExcelAutomation: the office suite driven through its automation interface (late-bound
// calls by member name) to open a workbook and save an xlsx copy. Excel first; where it is
// missing, WPS Spreadsheets under either of its automation names. The suite runs hidden as
// an automation server with its alerts off, and a file is opened so that it asks nothing
// (links not updated, read-only, a password given so that a protected file fails instead
// of prompting).
//
// Every call into the suite runs on a thread of this object's own (its single-threaded COM
// apartment) and is waited for at most kStepLimit: a suite that does not answer in time is
// ended (its process, found through its main window) and the step answers NoAnswer.
//
// Threads: construct, use and destroy on one thread.
#include <chrono>
#include <memory>
#include <string_view>

#include "core/import/import_flow.h"
#include "core/system/bounded_thread.h"

namespace pv {

class ExcelAutomation final : public WorkbookConverter {
 public:
  ExcelAutomation();
  ~ExcelAutomation() override;
  ExcelAutomation(const ExcelAutomation&) = delete;
  ExcelAutomation& operator=(const ExcelAutomation&) = delete;

  OfficeStep start() override;
  OfficeStep openWorkbook(std::string_view path) override;
  OfficeStep saveActiveWorkbookAs(std::string_view path) override;  // as an xlsx workbook
  void closeWorkbooks() override;
  void quit() override;

  // The automation names tried by start, in order.
  static constexpr const wchar_t* kProgIds[] = {L"Excel.Application", L"Ket.Application", L"ET.Application"};
  // The longest a step may take: a big workbook opens in well under a minute.
  static constexpr std::chrono::seconds kStepLimit{90};

 private:
  struct Suite;
  // One step on the suite's thread; NoAnswer (and the suite ended) when it overstays.
  OfficeStep step(bool (*job)(Suite&, const std::wstring&), std::wstring argument);

  std::shared_ptr<Suite> suite_;
  BoundedThread thread_;
};

}  // namespace pv
