#include "core/erp/erp_clients.h"

#include "core/erp/erp_windows.h"

namespace pv {
namespace {

using Find = ErpWindowMatch::Find;

constexpr uint32_t slotBit(int slot) { return uint32_t{1} << (slot - 1); }

// What each client's export calls its columns, how the operator exports the file, and how
// to paste the matching order numbers back into the client's search box are its import
// profile; the cloud client's own order list is read instead.
constexpr ErpClient kClients[] = {
    {"网店管家云端版", {Find::ByClass, "TForm_main", ""}, ReadOrderList{}},
    {"网店管家在线版",
     {Find::ByTitlePart, "TfrmMain", "网店管家（在线版）"},
     ErpImportProfile{"", "", "", "", "^地址$", "订单号|订单编号", 0,
     "请在【网点管家在线版】订单列表，右键选择‘导出订单’，再点击‘确定’选择数据文件",
     "【网点管家在线版】数据筛单完毕，符合结果已复制至剪辑版"}},
    {"银狐库存管家系统",
     {Find::ByTitlePart, "", "银狐库存管家系统"},
     ErpImportProfile{"收件省份", "收件城市", "收件区/县", "收件街道地址", "收货地址", "订单编号", slotBit(1) | slotBit(2) | slotBit(3) | slotBit(4),
     "请在【银狐库存管家系统】订单列表，选择‘导出订单’，再点击‘确定’选择数据文件",
     "【银狐库存管家系统】数据筛单完毕，符合结果已复制至剪辑版"}},
    {"极速系列网店综合管理系统",
     {Find::ByTitlePart, "", "极速系列网店综合管理系统"},
     ErpImportProfile{"", "", "", "", "地址", "订单号", 0,
     "请在【极速软件】订单列表，右键选择‘导出订单’，再点击‘确定’选择数据文件\r\n如无法导出，请联系极速软件客服开通导出权限",
     "【极速软件】数据筛单完毕，符合结果已复制至剪辑版\r\n请打开‘高级查询’界面，使用Ctrl+V黏贴数据，点击‘快速查找’即可筛选数据。"}},
    {"旺店通",
     {Find::ByClass, "CoolWindow", ""},
     ErpImportProfile{"地区|省市区|省市县", "", "", "", "地址", "原始单号|来源单号|订单号|订单编号", 0,
     "1、打开【旺店通】订单列表，先按【Ctrl+A】全选，再按【Ctrl+C】复制\r\n2、新建一个空白excel文件\r\n3、在excel表格第二行，按下【Ctrl+V】粘贴复制的数据\r\n4、在excel表格第一行，设置对应的【订单号】、【省市区】、【地址】列\r\n5、保存数据后，点击【下一步】选择刚才处理的excel文件\r\n\r\nPs：如无法复制全部数据，请在【设置-安全设置-员工权限】，取消勾选【表格类型数据最多只能复制一行】选项后，重启旺店通即可。",
     "【旺店通】数据筛单完毕，符合结果已复制至剪辑版，请点击旺店通‘搜索’按钮，选择‘按原始单号|来源单号|订单号筛选订单’，使用【Ctrl+V】黏贴数据后点击确定即可筛选数据。"}},
    {"飞鱼",
     {Find::ByTitlePart, "", "飞鱼-"},
     ErpImportProfile{"", "", "", "", "地址", "订单号", 0,
     "请在【飞鱼】订单列表，右键选择‘导出表格到Excel数据’，再点击‘确定’选择数据文件",
     "【飞鱼】数据筛单完毕，符合结果已复制至剪辑版，\r\n请点击‘滤查’，单击‘显示指定昵称或订单号的订单’，再选中‘订单号’，\r\n使用Ctrl+V黏贴数据至搜索栏后，点击确定即可筛选数据。"}},
    {"淘打",
     {Find::ByTitlePart, "", "淘打 "},
     ErpImportProfile{"省", "市", "区", "", "收货详情|详细地址", "订单号", slotBit(1) | slotBit(2) | slotBit(3),
     "请在【淘打】订单列表，全选订单然后右键，选择‘导出订单’，再点击‘确定’选择数据文件",
     "【淘打】数据筛单完毕，符合结果已复制至剪辑版，\r\n请找到‘高级搜索栏’下‘面单、订单号’输入框\r\n使用Ctrl+V黏贴数据至搜索栏后，点击确定即可筛选数据。"}},
    {"精打",
     {Find::ByTitlePart, "", "精打 - "},
     ErpImportProfile{"省", "市", "区", "", "地址", "订单编号", 0,
     "请在【精打】订单列表，全选订单然后右键，选择‘导入 - 导出订单’，再点击‘确定’选择数据文件",
     "【精打】数据筛单完毕，符合结果已复制至剪辑版，\r\n请单击‘编辑-高级搜索-订单编号’\r\n使用Ctrl+V黏贴数据至搜索栏后，点击确定即可筛选数据。"}},
    {"富润网店管理系统",
     {Find::ByTitlePart, "", "富润网店管理系统"},
     ErpImportProfile{"", "", "", "", "收货地址", "网上订单号", 0,
     "请在【富润网店管理系统】订单列表，进入‘配货/发货'界面，导出订单之后，再点击‘确定’选择数据文件",
     "【富润网店管理系统】数据筛单完毕，符合结果已复制至剪辑版\r\n请选择‘网上订单号’使用‘批量查’，使用Ctrl+V黏贴数据，点击‘F8查询’即可筛选数据。"}},
    {"易掌柜",
     {Find::ByTitlePart, "", "易掌柜"},
     ErpImportProfile{"", "", "", "", "收货人详细地址", "订单编号", 0,
     "请在【易掌柜】订单列表，全选订单然后右键，选择‘导出订单’，再点击‘确定’选择数据文件",
     "【易掌柜】数据筛单完毕，符合结果已复制至剪辑版\r\n使用Ctrl+V黏贴数据至搜索栏后，点击‘查询’即可筛选数据。"}},
    {"善管ERP",
     {Find::ByTitlePart, "", "善管ERP"},
     ErpImportProfile{"", "", "", "", "地址", "平台单号", 0,
     "请在【善管ERP】订单列表，右键选择‘导出Excel’，再点击‘确定’选择数据文件",
     "【善管ERP】数据筛单完毕，符合结果已复制至剪辑版\r\n请使用Ctrl+V黏贴数据至搜索栏进行搜索"}},
};

}  // namespace

std::span<const ErpClient> erpClients() { return kClients; }

WindowHandle findErpClientWindow(Desktop& desktop, const ErpClient& client) {
  const ErpWindowMatch& match = client.window;
  return match.find == Find::ByClass ? findTopLevelWindowByClass(desktop, match.className)
                                     : findWindowByTitlePart(desktop, match.titlePart, match.className);
}

}  // namespace pv
