// The office-suite conversion on Windows. Where no suite is installed (under Wine none is),
// starting it fails and the import says so in the "excel程序创建失败" box.
#ifdef _WIN32
#include <gtest/gtest.h>

#include "core/import/import_flow.h"
#include "core/system/files.h"
#include "core/text/codepage.h"
#include "platform/win32/excel_automation.h"
#include "tests/unit/erp_fakes.h"
#include "tests/unit/settings_fakes.h"

namespace pv {
namespace {

class NoChooser final : public FileChooser {
 public:
  std::string path;
  std::string showOpenFileDialog(Window, std::string_view, std::string_view, std::string_view) override {
    return path;
  }
  std::string desktopFolder() override { return {}; }
};

TEST(ExcelAutomation, WithoutAnOfficeSuiteTheImportSaysSo) {
  {
    ExcelAutomation probe;
    if (probe.start() != OfficeStep::Failed) GTEST_SKIP() << "an office suite is installed here";
  }
  testing_settings::ScratchFolder scratch;
  const std::string folder = utf16ToGbk(scratch.path().u16string());
  const std::string path = folder + "\\导出.xls";
  ASSERT_TRUE(writeFileBytes(path, readFileBytes(std::string(PV_TEST_FIXTURES) + "/spreadsheets/html-export.xls")));
  erp_test::ErpRig rig;
  RecordingBrowser browser;
  NoChooser chooser;
  chooser.path = path;
  ImportContext context{rig.ui, rig.dialogs, browser, chooser, [] { return std::make_unique<ExcelAutomation>(); },
                        [] { return std::string(); }};
  ImportProfile profile;
  ImportOptional optional;
  applyImportDefaults(profile, optional);
  std::vector<ImportedOrder> orders;
  EXPECT_EQ(importOrderFile(context, orders, profile, optional), 0);
  const auto shown = rig.dialogs.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].title, "excel程序创建失败");
  EXPECT_EQ(shown[0].buttons, DialogButtons::YesNo);
  EXPECT_NE(shown[0].text.find("网页(HTML)"), std::string::npos);
  EXPECT_TRUE(readFileBytes(folder + "\\导出_temp.xlsx").empty());
}

}  // namespace
}  // namespace pv
#endif
