#pragma once
// ExcelAutomation: the office suite driven through its automation interface (late-bound
// calls by member name) to open a workbook and save an xlsx copy. Excel first; where it is
// missing, WPS Spreadsheets under either of its automation names. The suite runs hidden as
// an automation server; no property of it is set.
//
// Threads: construct, use and destroy on one thread. The constructor initialises COM for
// it (single-threaded apartment), the destructor releases the references and uninitialises.
#include <string_view>

#include "core/import/import_flow.h"

struct IDispatch;

namespace pv {

class ExcelAutomation final : public WorkbookConverter {
 public:
  ExcelAutomation();
  ~ExcelAutomation() override;
  ExcelAutomation(const ExcelAutomation&) = delete;
  ExcelAutomation& operator=(const ExcelAutomation&) = delete;

  bool start() override;
  bool openWorkbook(std::string_view path) override;
  void saveActiveWorkbookAs(std::string_view path) override;  // as an xlsx workbook
  void closeWorkbooks() override;
  void quit() override;

  // The automation names tried by start, in order.
  static constexpr const wchar_t* kProgIds[] = {L"Excel.Application", L"Ket.Application", L"ET.Application"};

 private:
  bool comReady_ = false;
  IDispatch* application_ = nullptr;
  IDispatch* workbook_ = nullptr;
};

}  // namespace pv
