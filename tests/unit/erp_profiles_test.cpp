// The ERP import profiles: each client's columns and boxes around the import of its export.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/erp/erp_clients.h"
#include "core/import/erp_profiles.h"
#include "core/system/files.h"
#include "core/text/codepage.h"
#include "tests/unit/erp_fakes.h"
#include "tests/unit/import_fakes.h"
#include "tests/unit/settings_fakes.h"

namespace pv {
namespace {

struct ClientRun {
  int result = 0;
  std::vector<std::string> boxes;  // "title: text"
  std::vector<std::string> screened;
};

// The import profile of a client of the table, by its name.
const ErpImportProfile* profileOf(std::string_view name) {
  for (const ErpClient& client : erpClients()) {
    if (client.displayName == name) return std::get_if<ErpImportProfile>(&client.flow);
  }
  return nullptr;
}

ClientRun runClient(std::string_view client, std::string_view csv) {
  testing_settings::ScratchFolder scratch;
  testing::ScriptedChooser chooser;
  if (!csv.empty()) {
    chooser.answer = utf16ToGbk(scratch.path().u16string()) + "/export.csv";
    EXPECT_TRUE(writeFileBytes(chooser.answer, csv));
  }
  erp_test::ErpRig rig;
  RecordingBrowser browser;
  ImportContext context{rig.ui, rig.dialogs, browser, chooser, [] { return nullptr; }, [] { return std::string(); }};
  const ErpImportProfile* profile = profileOf(client);
  EXPECT_NE(profile, nullptr) << client;
  ClientRun run;
  if (!profile) return run;
  ScreeningTotals totals;
  run.result = runErpImportProfile(context, rig.run, *profile, totals);
  for (const auto& m : rig.dialogs.shown()) {
    run.boxes.push_back(m.title + ": " + m.text);
    EXPECT_EQ(m.buttons, DialogButtons::Ok);
  }
  for (const auto& call : rig.screening.calls()) run.screened.insert(run.screened.end(), call.begin(), call.end());
  return run;
}

TEST(ErpProfiles, ImportsEachClientsExportWithItsColumns) {
  struct Case {
    const char* client;
    std::string csv;
    int result;
    std::vector<std::string> screened;
    std::string lastBox;
  };
  const Case cases[] = {
      {"银狐库存管家系统", "订单编号,收件人,收货地址\n1,张三,北京路1号\n", 1, {"北京路1号"},
       "筛单提示: 【银狐库存管家系统】数据筛单完毕，符合结果已复制至剪辑版"},
      {"银狐库存管家系统", "订单编号,收件省份,收件城市,收件区/县,收件街道地址,收货地址\n1,浙江省,杭州市,西湖区,北山街道,北山路1号\n",
       1, {"浙江省杭州市西湖区北山街道北山路1号"}, "筛单提示: 【银狐库存管家系统】数据筛单完毕，符合结果已复制至剪辑版"},
      {"淘打", "订单号,收货详情\n1,某路2号\n", 1, {"某路2号"},
       "筛单提示: 【淘打】数据筛单完毕，符合结果已复制至剪辑版，\r\n请找到‘高级搜索栏’下‘面单、订单号’输入框\r\n"
       "使用Ctrl+V黏贴数据至搜索栏后，点击确定即可筛选数据。"},
      {"网店管家在线版", "订单号,收货地址\n1,x\n", 0, {}, "导入失败: 请确认导入标题包含‘^地址$’"},
      {"精打", "订单编号,省,市,地址\n1,a,b,c\n", 0, {}, "导入失败: 请确认导入标题包含‘区’"},
      {"善管ERP", "", 0, {}, ""},  // the dialog was cancelled
  };
  for (const Case& c : cases) {
    const ClientRun run = runClient(c.client, c.csv);
    EXPECT_EQ(run.result, c.result) << c.client;
    EXPECT_EQ(run.screened, c.screened) << c.client;
    ASSERT_FALSE(run.boxes.empty()) << c.client;
    // The instruction comes first, whatever follows.
    EXPECT_EQ(run.boxes.front(), "筛单提示: " + std::string(profileOf(c.client)->instruction)) << c.client;
    EXPECT_EQ(run.boxes.size(), c.lastBox.empty() ? 1u : 2u) << c.client;
    if (!c.lastBox.empty()) {
      EXPECT_EQ(run.boxes.back(), c.lastBox) << c.client;
    }
  }
}

}  // namespace
}  // namespace pv
