#pragma once
// The order-file import: the operator picks an exported order file (.csv, .txt, .xls or
// .xlsx), the reader its first bytes call for turns it into orders (text by our csv reader,
// workbooks by our workbook reader, a workbook it cannot read converted by the office suite
// first), and the orders are screened in batches of 20; the order numbers of the orders
// that come out ticked are collected.
//
// Threads: runs on the one-click worker. Boxes, the file dialog and the status bar go
// through the ports, which hand each call to the user-interface thread.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/batch/run.h"
#include "core/import/results_file.h"
#include "core/import/import_records.h"
#include "core/system/browser.h"
#include "core/ui/dialogs.h"
#include "core/ui/ui.h"

namespace pv {

// The open-file dialog, and the folder it starts in.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The chosen file's path (GBK), or empty when the operator cancelled. `filter` is
  // "description|patterns|description|patterns". The process's current folder is the same
  // afterwards, whatever the outcome.
  virtual std::string showOpenFileDialog(Window owner, std::string_view initialFolder,
                                         std::string_view title, std::string_view filter) = 0;
  virtual std::string desktopFolder() = 0;
};

// What the office suite made of one step: done, refused, or no answer within the time the
// step is given (the suite is then made to quit, and nothing more is asked of it).
enum class OfficeStep { Done, Failed, NoAnswer };

// The office suite driven to open a workbook and save a copy our reader can read (Excel,
// or WPS Spreadsheets where Excel is missing), with its alerts off: a prompt nobody can see
// would hold the import for ever. One object per import, used by the thread that made it.
class WorkbookConverter {
 public:
  virtual ~WorkbookConverter() = default;
  [[nodiscard]] virtual OfficeStep start() = 0;  // Failed: no office suite
  [[nodiscard]] virtual OfficeStep openWorkbook(std::string_view path) = 0;
  [[nodiscard]] virtual OfficeStep saveActiveWorkbookAs(std::string_view path) = 0;
  virtual void closeWorkbooks() = 0;
  virtual void quit() = 0;
};

struct ImportContext {
  Ui& ui;
  Dialogs& dialogs;
  Browser& browser;
  FileChooser& files;
  // A converter for one import (it may set up the thread for the office suite's objects).
  std::function<std::unique_ptr<WorkbookConverter>()> makeConverter;
  // The web console's batch-query page for the chosen project and service, offered for
  // files of no known type.
  std::function<std::string()> batchQueryAddress;
};

inline constexpr std::string_view kImportDialogTitle = "请选择数据文件路径";
inline constexpr std::string_view kImportFilter =
    "导入文件(*.xls;*.xlsx;*.csv;*.txt)|*.xls;*.xlsx;*.csv;*.txt|所有文件(*.*)|*.*";
inline constexpr std::string_view kUnknownTypeText =
    "无法识别数据内容，建议尝试网页版导入数据，是否前往网站后台批量查询页面？";
inline constexpr std::string_view kNoOfficeText =
    "Excel程序异常，请检查电脑是否安装office程序。是否前往下载office程序？";
inline constexpr std::string_view kNoOfficeTitle = "excel程序创建失败";
inline constexpr std::string_view kOfficeCannotOpenText = "Excel表格打开失败。";
inline constexpr std::string_view kCopyUnreadableTitle = "打开Excel表格失败";
inline constexpr std::string_view kOfficeNoAnswerText =
    "Excel长时间没有响应，已停止转换。请用Excel打开文件，另存为xlsx格式后再导入";
inline constexpr std::string_view kOfficeDownloadAddress = "https://www.wps.cn/";
// The subfolder of Documents that takes results files no source folder took.
inline constexpr std::string_view kResultsSubfolder = "Parcelvane\\筛单结果\\";

// "https://console…/service/query?open=product-P&select=business-S&token=T".
std::string batchQueryAddress(int productId, int serviceId, std::string_view token);

// Path pieces, stepping over double-byte characters ("\" may be a trail byte); "\" and "/"
// both separate folders.
// The text up to and including the last separator; the path itself when it is a folder.
std::string directoryOf(std::string_view path);
// The file-name part, without its extension unless `keepExtension` (empty after a separator).
std::string fileTitleOf(std::string_view path, bool keepExtension);
// The file name's extension with its dot, or empty.
std::string extensionOf(std::string_view path);

// Reads the order file into `orders` (appended). With an empty path the operator chooses
// the file and a workbook our reader cannot read is converted by the office suite; with a
// path (a converted copy) the file is read directly, and deleted after it gave orders.
// 1 when at least one order was read; 0 after a box said why (or the dialog was cancelled).
// With `source`, what a results file needs of the file is kept there.
int importOrderFile(ImportContext& context, std::vector<ImportedOrder>& orders,
                    const ImportProfile& profile, const ImportOptional& optional,
                    std::string_view path = {}, ImportSource* source = nullptr);

// The office-suite conversion of a workbook our reader could not read (`readerError` says
// why), then the read of the copy.
int convertWithExcel(ImportContext& context, std::vector<ImportedOrder>& orders,
                     const ImportProfile& profile, const ImportOptional& optional,
                     std::string_view path, std::string_view readerError, ImportSource* source = nullptr);

// The order-number column of a file whose profile names none (and of an ERP list's results).
inline constexpr std::string_view kDefaultOrderNoPattern = "订单号|订单编号|原始单号|来源单号";

// The defaults of a profile that names no address or order-number column.
void applyImportDefaults(ImportProfile& profile, ImportOptional& optional);

// The whole import: defaults, the file, then batches of 20 through the batch screening; the
// order numbers of ticked orders are appended to totals.orderNumbers, totals.total is the
// number of orders screened. With the run's files: an unfinished earlier run of the same
// file is offered to be taken up, each verdict is journalled, and the results file is
// written beside the file. Failed orders are offered to be screened again. 1 when every
// batch was screened.
int screenImportedOrders(ImportContext& context, RunContext& run, ScreeningTotals& totals,
                         ImportProfile& profile, ImportOptional& optional);

}  // namespace pv
