#pragma once
// Screening the orders of the cloud ERP client's open order page: finding the order list,
// mapping its region and address columns, reading the rows in batches of 20, screening
// each batch as every run does (core/batch), and ticking or unticking each row.
//
// Threads: runs on the one-click worker; the foreign list is read and ticked through the
// Desktop port.
#include <string>
#include <string_view>
#include <vector>

#include "core/batch/run.h"
#include "core/erp/desktop.h"

namespace pv {

// 1-based column numbers; 0 when not found.
struct ColumnMap {
  int region = 0;
  int address = 0;
  int orderNo = 0;  // the first header the import's order-number pattern finds; for the results file only
};

// The text between the first "[" and the next "]" of a title; empty without both.
std::string orderPageName(std::string_view title);

// The region column is the last header containing "地区"; the address column is the header
// exactly "地址" when there is one, otherwise the last one containing "地址".
ColumnMap mapColumns(const std::vector<std::string>& headers);

// Screens every order of the open order page of the client whose top-level window is
// `client` (named `clientName` in the results file's name). Failed orders are offered to be
// screened again; with the run's files, verdicts are journalled and the results written
// to Documents. True when every row was processed; false when the run ended early (the
// reason has been shown) or was stopped.
[[nodiscard]] bool screenListViewOrders(RunContext& run, Desktop& desktop, WindowHandle client,
                                        ScreeningTotals& totals, std::string_view clientName = {});

}  // namespace pv
