// The fault table: every fault the local service can inject, against every flow of the
// client (the two queries, a run over the cloud client's list of 45 orders, a free import of
// 45 orders, an ERP client's import profile with 45 orders, the login and the hourly token
// refresh), on the first call of the flow, on a middle one and on the last. The flows run as
// the program runs them — in-memory windows and desktop, the curl transport, a sandbox of
// their own — and every cell is held to the same promises: it ends within the documented
// retries and time-outs, every order comes out once (its verdict, or a failure the operator
// can see, never another order's verdict), the clipboard and the result window list each
// matching order once, the client is ready for the next run, and the operator was told.
//
// What the operator saw in each cell is written as a markdown table to the build tree
// (fault-table.md); scripts/fault-table.sh puts it into the README, and the check
// fault-table-readme keeps the two the same.
//
// The cells run side by side on lanes, each lane a sandbox of its own, because a fault or a
// moved clock holds for the whole sandbox. The waits on the real time-outs (120 s for a
// screening call, 15 s for the others) dominate the run; the retries' pauses and the
// renderer's pacing go through RecordingPauses and cost nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/batch/main_window.h"
#include "core/client/address_query.h"
#include "core/client/login.h"
#include "core/client/one_click.h"
#include "core/client/summary.h"
#include "core/erp/memory_desktop.h"
#include "core/import/erp_profiles.h"
#include "core/net/http_request.h"
#include "core/screening/call.h"
#include "core/system/files.h"
#include "core/text/codepage.h"
#include "core/text/text.h"
#include "tests/integration/sandbox_client_rig.h"
#include "tests/integration/sandbox_fixture.h"
#include "tests/unit/import_fakes.h"
#include "tests/unit/screening_fakes.h"

namespace pv::testing {
namespace {

using SteadyClock = std::chrono::steady_clock;

// The 45 orders: each in a district of its own, so no two verdicts read alike and a
// verdict shown for the wrong order cannot pass for the right one.
constexpr const char* kPlaces[] = {
    "北京市通州区宋庄镇", "河北省保定市安新县刘李庄镇", "山西省大同市天镇县卅里铺乡",
    "山西省忻州市神池县贺职乡", "内蒙古自治区通辽市库伦旗额勒顺镇", "内蒙古自治区阿拉善盟额济纳旗赛汉陶来苏木",
    "辽宁省锦州市黑山县新立屯镇", "辽宁省葫芦岛市绥中县西平坡满族乡", "吉林省松原市乾安县余字乡",
    "黑龙江省双鸭山市集贤县七星林场", "黑龙江省绥化市明水县树人乡", "江苏省苏州市苏州工业园区唯亭街道",
    "江苏省泰州市兴化市沈伦镇", "浙江省绍兴市新昌县沙溪镇", "安徽省芜湖市繁昌区平铺镇",
    "安徽省黄山市歙县三阳镇", "安徽省宣城市旌德县俞村镇", "福建省南平市松溪县茶平乡",
    "江西省新余市分宜县钤山镇", "山东省济南市章丘区文祖街道", "山东省济宁市汶上县康驿镇",
    "山东省滨州市阳信县翟王镇", "河南省鹤壁市浚县屯子镇", "河南省南阳市淅川县金河镇",
    "湖北省黄石市铁山区铁山街道", "湖北省荆州市荆州经济技术开发区鱼农桥街道", "湖南省株洲市渌口区龙门镇",
    "湖南省益阳市安化县乐安镇", "广东省韶关市翁源县周陂镇", "广东省茂名市高州市石板镇",
    "广东省清远市连山壮族瑶族自治县福堂镇", "广西壮族自治区柳州市柳城县六塘镇", "广西壮族自治区玉林市陆川县乌石镇",
    "浙江省杭州市西湖区转塘街道", "四川省自贡市沿滩区联络镇", "四川省内江市威远县镇西镇",
    "四川省雅安市石棉县栗子坪彝族乡", "贵州省六盘水市水城区比德镇", "贵州省黔南布依族苗族自治州平塘县克度镇",
    "云南省普洱市镇沅彝族哈尼族拉祜族自治县九甲镇", "云南省德宏傣族景颇族自治州梁河县小厂乡",
    "西藏自治区山南市措美县乃西乡", "陕西省渭南市澄城县交道镇", "甘肃省嘉峪关市嘉峪关市新城镇",
    "甘肃省酒泉市肃北蒙古族自治县盐池湾乡"};
constexpr int kOrderCount = 45;
static_assert(std::size(kPlaces) == kOrderCount);

struct Order {
  std::string number;
  std::string region;  // the list's 地区 cell and the file's 省市区 column
  std::string street;  // the 地址 cell
  std::string address() const { return region + street; }
};

const std::vector<Order>& orders() {
  static const std::vector<Order> all = [] {
    std::vector<Order> out;
    for (int i = 0; i < kOrderCount; ++i) {
      out.push_back({"T" + std::to_string(10001 + i), kPlaces[i], "幸福路" + std::to_string(i + 1) + "号"});
    }
    return out;
  }();
  return all;
}

// ---------------------------------------------------------------------------------------
// The service's side of a cell: which call goes wrong, and how.

// The endpoint of a request as the sandbox names it, from its URL.
std::string endpointOf(std::string_view url) {
  if (url.ends_with("/pick")) return "pick";
  if (url.ends_with("/pub/auth")) return "auth";
  if (url.ends_with("/account")) return "account";
  if (url.ends_with("/auth/token")) return "token";
  return {};
}

// The platform's transport with a hand on the service: just before the n-th call (from 1)
// of an endpoint it runs the cell's action (a fault set up, the clock moved), so the fault
// meets exactly that call and no earlier one.
class TriggerTransport final : public HttpTransport {
 public:
  void arm(std::string endpoint, int call, std::function<void()> action) {
    std::lock_guard lock(mutex_);
    endpoint_ = std::move(endpoint);
    call_ = call;
    action_ = std::move(action);
    counts_.clear();
  }
  void disarm() {
    std::lock_guard lock(mutex_);
    action_ = nullptr;
  }
  std::optional<HttpWireResponse> exchange(const HttpWireRequest& request) noexcept override {
    std::function<void()> now;
    {
      std::lock_guard lock(mutex_);
      const std::string endpoint = endpointOf(request.url);
      const int n = ++counts_[endpoint];
      if (action_ && endpoint == endpoint_ && n == call_) now = std::exchange(action_, nullptr);
    }
    if (now) now();
    return platformHttpTransport().exchange(request);
  }

 private:
  std::mutex mutex_;
  std::string endpoint_;
  int call_ = 0;
  std::function<void()> action_;
  std::map<std::string, int> counts_;
};

enum class FlowId { Detailed, Quick, ErpList, FreeImport, ErpProfile, Login, Refresh };
constexpr FlowId kFlows[] = {FlowId::Detailed,   FlowId::Quick, FlowId::ErpList, FlowId::FreeImport,
                             FlowId::ErpProfile, FlowId::Login, FlowId::Refresh};

const char* flowHeading(FlowId flow) {
  switch (flow) {
    case FlowId::Detailed: return "详细查询";
    case FlowId::Quick: return "快速查询";
    case FlowId::ErpList: return "云端版订单页 45单";
    case FlowId::FreeImport: return "自由筛单 45单";
    case FlowId::ErpProfile: return "旺店通导入 45单";
    case FlowId::Login: return "登录";
    case FlowId::Refresh: return "每小时换令牌";
  }
  return "";
}

bool isBatchFlow(FlowId f) { return f == FlowId::ErpList || f == FlowId::FreeImport || f == FlowId::ErpProfile; }
bool isQuery(FlowId f) { return f == FlowId::Detailed || f == FlowId::Quick; }

// Where in a flow the fault lands: its first call, a middle one, its last; Every: all of
// them (the reference a degraded answer is judged against).
enum class Position { First, Middle, Last, Every };

// The call of the flow at that position: its endpoint and number.
std::pair<std::string, int> callAt(FlowId flow, Position at) {
  const int n = at == Position::Middle ? 2 : at == Position::Last ? 3 : 1;
  switch (flow) {
    case FlowId::Login: return {at == Position::Middle ? "account" : at == Position::Last ? "token" : "auth", 1};
    case FlowId::Refresh: return {"token", 1};
    case FlowId::Detailed:
    case FlowId::Quick: return {"pick", 1};
    default: return {"pick", n};
  }
}

int timeoutSecondsOf(const std::string& endpoint) {
  return endpoint == "pick" ? kScreeningTimeoutSeconds : 15;  // 15: httpRequest's default bound
}

struct FaultKind {
  std::string row;     // the table's row
  bool pickOnly = false;
  // The fault for a call of `endpoint` as the control endpoint takes it; empty with a clock.
  std::function<std::string(const std::string& endpoint)> fault;
  long long clockSeconds = 0;  // the service's clock moved this far just before the call
  bool waits = false;          // the cell waits on a real time-out
};

std::string faultJson(const std::string& endpoint, const std::string& members, int times = 1) {
  return "{\"endpoint\":\"" + endpoint + "\",\"times\":" + std::to_string(times) + "," + members + "}";
}

const std::vector<FaultKind>& faultKinds() {
  static const std::vector<FaultKind> kinds = [] {
    std::vector<FaultKind> k;
    const auto simple = [&](std::string row, std::string members, bool pickOnly = false, int times = 1) {
      k.push_back({std::move(row), pickOnly,
                   [members, times](const std::string& e) { return faultJson(e, members, times); }});
    };
    simple("HTTP 302", R"("status":302)");
    simple("HTTP 404", R"("status":404)");
    simple("HTTP 503 一次", R"("status":503)");
    simple("HTTP 500 三次", R"("status":500)", false, 3);
    k.push_back({"超时之外 (+2 s)", false,
                 [](const std::string& e) {
                   return faultJson(e, "\"delayMs\":" + std::to_string(timeoutSecondsOf(e) * 1000 + 2000));
                 },
                 0, true});
    k.push_back({"超时之内 (-3 s)", false,
                 [](const std::string& e) {
                   return faultJson(e, "\"delayMs\":" + std::to_string(timeoutSecondsOf(e) * 1000 - 3000));
                 },
                 0, true});
    for (const char* body : {"disconnect", "truncated", "garbage"}) {
      simple(body, std::string(R"("body":")") + body + "\"");
    }
    for (const char* body : {"undecryptable", "fewer", "wrapped", "nomsg", "nosites", "nopolicies"}) {
      simple(body, std::string(R"("body":")") + body + "\"", true);
    }
    simple("代码 20002", R"("code":20002,"msg":"登录已过期，请重新登录")");
    simple("代码 20701", R"("code":20701,"msg":"当前客户端版本已停止支持，请下载新版")");
    simple("代码 40302", R"("code":40302,"msg":"该服务已停用")");
    k.push_back({"令牌过期 (时钟 +2 h)", false, {}, 7300});
    k.push_back({"时间戳窗外 (时钟 +400 s)", false, {}, 400});
    return k;
  }();
  return kinds;
}

// ---------------------------------------------------------------------------------------
// The client's side: one rig per cell, wired as the program wires itself.

std::string scratchFolder() {
  static const std::string folder = [] {
    const auto path = std::filesystem::temp_directory_path() / ("pv-fault-table-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    return path.string();
  }();
  return folder;
}

// The orders as an export of the ERP client (and as a free import reads it): GBK csv.
const std::string& ordersFile() {
  static const std::string path = [] {
    std::string csv = "订单号,省市区,地址\r\n";
    for (const Order& o : orders()) csv += o.number + "," + o.region + "," + o.street + "\r\n";
    const std::string file = scratchFolder() + "/orders.csv";
    EXPECT_TRUE(writeFileBytes(file, csv));
    return file;
  }();
  return path;
}

struct FlowRig : SandboxClientRig {
  FlowRig(int port, TriggerTransport& transport) : SandboxClientRig(port, transport) {
    EXPECT_TRUE(registerAddressQueryEvents(queries));
    EXPECT_TRUE(registerResultWindowEvents(summary));
    EXPECT_TRUE(registerOneClickEvents(ui, control));
    files.answer = ordersFile();
  }

  // The operator logs in and chooses the project with demo's one service.
  bool logIn() {
    typeAccount("demo", "demo123");
    runLogin(client);
    workers.runAll();
    if (!ui.isShown(Window::Main) || !ui.pickItem(Window::Main, kProjectBox, 0)) return false;
    workers.runAll();
    return ui.itemValue(Window::Main, kServiceBox, ui.selectedIndex(Window::Main, kServiceBox)) == 101;
  }

  RunContext runContext(std::stop_token stop) {
    return RunContext{ui, dialogs, screening, output, [](std::chrono::milliseconds) {}, stop};
  }

  RecordingPauses pauses;
  MemoryClipboard clipboard;
  FakeRestartHost restart;
  QueryContext queries{client, pauses, clipboard, restart};
  MemoryDesktop desktop;
  MainWindowBatchScreening screening{MainWindowCall{ui, client.apiTransport, records.session, pauses},
                                     ServiceCodeReactions{dialogs, browser, restart}};
  OutputBoxWriter output{ui, pauses};
  Published<OrderNumbers> matching;
  SummaryContext summary{ui, dialogs, output, workers, matching, clipboard};
  ScriptedChooser files;
  ImportContext imports{ui, dialogs, browser, files, [] { return std::unique_ptr<WorkbookConverter>(); },
                        [] { return std::string(); }};
  OneClickContext oneClick{
      ui, dialogs, windows, desktop, screening, output, summary, [](std::chrono::milliseconds) {},
      [this](const ErpImportProfile& profile, ScreeningTotals& totals, std::stop_token stop) {
        RunContext run = runContext(stop);
        return runErpImportProfile(imports, run, profile, totals);
      },
      [this](ScreeningTotals& totals, std::stop_token stop) {
        RunContext run = runContext(stop);
        ImportProfile profile;
        ImportOptional optional;
        return screenImportedOrders(imports, run, totals, profile, optional);
      }};
  OneClickControl control{oneClick, workers};
  WindowHandle list = 0;  // the cloud client's order list, once put on the desktop
};

// One order as the output box shows it after a run.
struct Screened {
  std::string address;
  std::string verdict;  // after "【筛选结果】："
  bool ticked = false;  // "【勾选结果】：选中"
};

// What one run of a flow left for the operator to see.
struct RunSeen {
  std::vector<DialogMessage> boxes;
  std::vector<Screened> screened;   // batch flows
  bool halted = false;              // a "【筛单中止】" line
  std::string haltLine;
  std::string checks;               // the cloud client's rows after the run
  std::string clipboard;
  std::string resultText;
  bool resultShown = false;
  std::string caption;
  std::string verdict;              // queries: the "【匹配结果】：" line
  bool queryReady = true;           // queries: the button enabled again, no status left
  bool restarted = false;
  bool mainShown = false;           // login
  std::string greeting;
  bool loginReady = true;
  std::string tokenBefore, tokenAfter;  // refresh
  double seconds = 0;
};

std::string lineValue(const std::string& text, std::string_view label) {
  for (const std::string& line : splitText(text, "\r\n")) {
    if (startsWith(line, label)) return line.substr(label.size());
  }
  return {};
}

std::vector<Screened> parseRun(const std::string& output, bool& halted, std::string& haltLine) {
  std::vector<Screened> out;
  for (const std::string& line : splitText(output, "\r\n")) {
    if (startsWith(line, "【筛选地址】：")) {
      out.push_back({line.substr(std::string("【筛选地址】：").size()), "", false});
    } else if (startsWith(line, "【筛选结果】：") && !out.empty()) {
      out.back().verdict = line.substr(std::string("【筛选结果】：").size());
    } else if (startsWith(line, "【勾选结果】：") && !out.empty()) {
      out.back().ticked = line == "【勾选结果】：选中";
    } else if (startsWith(line, "【筛单中止】：")) {
      halted = true;
      haltLine = line;
    }
  }
  return out;
}

// Runs the flow once on a rig that is logged in (the login flow: at its login window).
RunSeen runFlow(FlowId flow, FlowRig& rig) {
  RunSeen seen;
  const size_t boxesBefore = rig.dialogs.count();
  const auto begun = SteadyClock::now();
  rig.restart.ended = -1;
  switch (flow) {
    case FlowId::Detailed: {
      rig.ui.setText(Window::Main, kAddressBox, orders()[0].address());
      EXPECT_TRUE(rig.ui.click(Window::Main, kQueryButton));
      rig.workers.runAll();
      seen.verdict = lineValue(rig.ui.text(Window::Main, kOutputBox), "【匹配结果】：");
      seen.queryReady = rig.ui.enabled(Window::Main, kQueryButton) &&
                        rig.ui.statusText(Window::Main, kMainStatusBar, kProgressPart).empty();
      break;
    }
    case FlowId::Quick: {
      rig.ui.setChecked(Window::Main, kQuickQueryCheck, true);
      EXPECT_TRUE(rig.clipboard.setText(orders()[1].address()));
      startClipboardWatch(rig.queries);
      rig.workers.runAll();
      seen.verdict = lineValue(rig.ui.text(Window::QuickTip, kQuickTipBox), "【匹配结果】：");
      seen.queryReady = rig.ui.timerInterval(Window::QuickTip, kWatchTimer) == kWatchIntervalMs &&
                        rig.ui.statusText(Window::Main, kMainStatusBar, kProgressPart).empty();
      break;
    }
    case FlowId::ErpList:
    case FlowId::FreeImport:
    case FlowId::ErpProfile: {
      if (flow == FlowId::FreeImport) rig.dialogs.script(DialogAnswer::Ok);  // 是否导入excel表格进行筛单？
      EXPECT_TRUE(rig.ui.click(Window::Main, kOneClickButton));
      rig.workers.runAll();
      seen.screened = parseRun(rig.ui.text(Window::Main, kOutputBox), seen.halted, seen.haltLine);
      if (rig.list != 0) seen.checks = rig.desktop.checks(rig.list);
      seen.clipboard = rig.clipboard.text();
      seen.resultShown = rig.ui.isShown(Window::Result);
      seen.resultText = rig.ui.text(Window::Result, kResultText);
      seen.caption = rig.ui.text(Window::Main, kOneClickButton);
      break;
    }
    case FlowId::Login: {
      rig.typeAccount("demo", "demo123");
      runLogin(rig.client);
      rig.workers.runAll();
      seen.mainShown = rig.ui.isShown(Window::Main);
      if (seen.mainShown) seen.greeting = rig.ui.text(Window::Main, kGreetingLabel);
      seen.loginReady = seen.mainShown || rig.ui.enabled(Window::Login, kLoginButton);
      break;
    }
    case FlowId::Refresh: {
      seen.tokenBefore = rig.records.session.load()->token;
      rig.clock.advance(std::chrono::minutes(61));
      EXPECT_TRUE(rig.ui.raise(Window::Main, "", Event::Activated));
      rig.workers.runAll();
      seen.tokenAfter = rig.records.session.load()->token;
      break;
    }
  }
  const auto boxes = rig.dialogs.shown();
  seen.boxes.assign(boxes.begin() + static_cast<std::ptrdiff_t>(std::min(boxesBefore, boxes.size())), boxes.end());
  seen.restarted = rig.restart.ended == 0;
  seen.seconds = std::chrono::duration<double>(SteadyClock::now() - begun).count();
  return seen;
}

// The list of the cloud client, or the window of the ERP client whose profile is run.
void setUpDesktop(FlowId flow, FlowRig& rig) {
  if (flow == FlowId::ErpList) {
    std::vector<std::vector<std::string>> rows;
    for (const Order& o : orders()) rows.push_back({o.number, o.region, o.street});
    const WindowHandle main = rig.desktop.addWindow(0, "TForm_main", "云端ERP - [订单审核]");
    const WindowHandle page =
        rig.desktop.addWindow(rig.desktop.addWindow(main, "TPageControl", ""), "TTabSheet", "订单审核");
    rig.list = rig.desktop.addList(rig.desktop.addWindow(page, "TPanel", ""), "TListView", {"订单编号", "地区", "地址"},
                                   rows);
  } else if (flow == FlowId::ErpProfile) {
    rig.desktop.addWindow(0, "CoolWindow", "旺店通ERP");
  }
}

// ---------------------------------------------------------------------------------------
// The lanes.

struct Lane {
  std::unique_ptr<SandboxProcess> sandbox;
  std::unique_ptr<SandboxClient> service;
};

struct Cell {
  Cell(FlowId f, int k, Position p) : flow(f), kind(k), at(p) {}
  FlowId flow;
  int kind = -1;  // index into faultKinds(); -1: no fault (the baseline)
  Position at = Position::First;
  RunSeen seen;   // with the fault
  RunSeen next;   // the next run, the fault gone
  bool setUp = true;
  std::string setUpFailure;
  double bound = 0;  // seconds the cell may take
};

std::string positionName(Position at) {
  switch (at) {
    case Position::First: return "first";
    case Position::Middle: return "middle";
    case Position::Last: return "last";
    case Position::Every: return "every";
  }
  return "";
}

std::string cellName(const Cell& c) {
  return std::string(flowHeading(c.flow)) + " × " + (c.kind < 0 ? "无故障" : faultKinds()[c.kind].row) + " @ " +
         positionName(c.at);
}

void runCell(Lane& lane, Cell& cell) {
  SandboxClient& service = *lane.service;
  service.reset();
  TriggerTransport transport;
  FlowRig rig(lane.sandbox->port(), transport);
  if (cell.flow != FlowId::Login && !rig.logIn()) {
    cell.setUp = false;
    cell.setUpFailure = "login before the flow failed";
    return;
  }
  setUpDesktop(cell.flow, rig);
  rig.dialogs.clear();

  if (cell.kind >= 0) {
    const FaultKind& kind = faultKinds()[cell.kind];
    const auto [endpoint, call] = callAt(cell.flow, cell.at);
    if (cell.at == Position::Every) {
      // Every call of the flow: the fault as it stands, for as long as the cell runs.
      std::string every = kind.fault(endpoint);
      const size_t times = every.find("\"times\":");
      every.replace(times, every.find(',', times) - times, "\"times\":-1");
      service.addFaults(gbkToUtf8(every));
    } else if (kind.fault) {
      const std::string json = gbkToUtf8(kind.fault(endpoint));
      transport.arm(endpoint, call, [&service, json] { service.addFaults(json); });
    } else {
      const long long seconds = kind.clockSeconds;
      transport.arm(endpoint, call, [&service, seconds] { service.setClockOffset(seconds); });
    }
  }
  cell.seen = runFlow(cell.flow, rig);
  transport.disarm();

  // The fault gone: the same client runs again. After a restart the operator logs in anew,
  // as the program comes back at its login window.
  service.call("DELETE", "/__control/faults");
  service.setClockOffset(0);
  if (cell.flow == FlowId::Login) {
    if (cell.seen.mainShown) return;  // logged in: the next login is another program's
  } else if (cell.seen.restarted) {
    FlowRig again(lane.sandbox->port(), transport);
    if (!again.logIn()) {
      cell.setUpFailure = "login after the restart failed";
      return;
    }
    setUpDesktop(cell.flow, again);
    again.dialogs.clear();
    cell.next = runFlow(cell.flow, again);
    return;
  }
  rig.dialogs.clear();
  EXPECT_TRUE(rig.clipboard.setText(""));
  if (cell.flow == FlowId::ErpList) {
    rig.desktop.changeList(rig.list, [](MemoryDesktop::List& list) {
      for (auto& row : list.rows) row.check = MemoryDesktop::Check::Unticked;
    });
  }
  cell.next = runFlow(cell.flow, rig);
}


// ---------------------------------------------------------------------------------------
// What a cell showed, in the client's own words, and whether it kept the promises.

// The verdict that screenAddresses gives an address it has no answer for: one blocking
// restriction named by the service's message (or 筛单失败), no site.
bool isFailure(const std::string& verdict) {
  return startsWith(verdict, "[") && endsWith(verdict, "]；") && verdict.size() > 4 &&
         findText(verdict.substr(1), "[") < 0;
}

std::string firstLine(const std::string& text) { return splitText(replaceAll(text, "\r\n", "\n"), "\n")[0]; }

// At most `chars` characters, "…" after a cut.
std::string abridged(const std::string& text, size_t chars = 18) {
  const std::u16string wide = gbkToUtf16(text);
  if (wide.size() <= chars) return text;
  return utf16ToGbk(wide.substr(0, chars)) + "…";
}

bool isSummaryBox(const DialogMessage& box) { return startsWith(box.text, "【筛单项目】："); }

struct References {
  const RunSeen* baseline = nullptr;
  const RunSeen* degraded = nullptr;  // the same fault on every call, for answers that stay valid
};

void addFragment(std::vector<std::string>& parts, const std::string& part) {
  if (!part.empty()) parts.push_back(part);
}

// The boxes of the run that its fault-free run does not show.
void describeBoxes(const RunSeen& seen, const RunSeen& baseline, std::vector<std::string>& parts) {
  for (const DialogMessage& box : seen.boxes) {
    const bool usual = std::any_of(baseline.boxes.begin(), baseline.boxes.end(),
                                   [&](const DialogMessage& b) { return b.text == box.text || (isSummaryBox(b) && isSummaryBox(box)); });
    if (usual) continue;
    addFragment(parts, "框「" + (box.text.empty() ? std::string("（空）") : abridged(firstLine(box.text))) + "」");
  }
  if (!baseline.boxes.empty() && std::any_of(baseline.boxes.begin(), baseline.boxes.end(), isSummaryBox) &&
      std::none_of(seen.boxes.begin(), seen.boxes.end(), isSummaryBox)) {
    addFragment(parts, "无汇总");
  }
  if (seen.restarted) addFragment(parts, "重启");
}

std::string describe(FlowId flow, const RunSeen& seen, const References& refs) {
  const RunSeen& baseline = *refs.baseline;
  std::vector<std::string> parts;
  if (isBatchFlow(flow)) {
    std::vector<std::pair<std::string, int>> groups;  // in the order first seen
    const auto count = [&](const std::string& what) {
      auto found = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == what; });
      if (found == groups.end()) {
        groups.emplace_back(what, 1);
      } else {
        ++found->second;
      }
    };
    for (size_t i = 0; i < seen.screened.size() && i < baseline.screened.size(); ++i) {
      const std::string& verdict = seen.screened[i].verdict;
      const std::string& usual = baseline.screened[i].verdict;
      if (verdict == usual) continue;
      if (isFailure(verdict)) {
        count(verdict.substr(0, verdict.size() - std::string("；").size()));
      } else if (containsText(verdict, "区域正常") && !containsText(usual, "区域正常")) {
        count("区域正常");
      } else if (endsWith(usual, verdict)) {
        count("无网点");
      } else {
        count("结果有变");
      }
    }
    for (const auto& [what, n] : groups) parts.push_back(std::to_string(n) + "单" + what);
    if (seen.halted) addFragment(parts, "筛单中止：" + abridged(seen.haltLine.substr(std::string("【筛单中止】：").size())));
    if (seen.screened.size() < orders().size())
      parts.push_back(std::to_string(orders().size() - seen.screened.size()) + "单未筛");
  } else if (isQuery(flow)) {
    if (seen.verdict != baseline.verdict) {
      if (isFailure(seen.verdict)) {
        parts.push_back(seen.verdict.substr(0, seen.verdict.size() - std::string("；").size()));
      } else if (containsText(seen.verdict, "区域正常")) {
        parts.push_back("区域正常");
      } else if (endsWith(baseline.verdict, seen.verdict)) {
        parts.push_back("无网点");
      } else {
        parts.push_back("结果有变");
      }
    }
  } else if (flow == FlowId::Login) {
    if (!seen.mainShown) parts.push_back("留在登录窗口");
  } else if (flow == FlowId::Refresh) {
    if (seen.tokenAfter == seen.tokenBefore) parts.push_back("无提示，沿用旧令牌");
  }
  describeBoxes(seen, baseline, parts);
  return parts.empty() ? "如常" : joinTexts(parts, "；");
}

void expectCell(bool kept, const Cell& cell, const std::string& what) {
  EXPECT_TRUE(kept) << cellName(cell) << ": " << what;
}

// The promises of a batch run: every order once and in order, a verdict of its own or a
// failure, the rows and the clipboard as the verdicts decide, the button back.
void checkBatchRun(const Cell& cell, const RunSeen& seen, const References& refs, bool mustBeBaseline) {
  const RunSeen& baseline = *refs.baseline;
  expectCell(seen.caption == kIdleCaption, cell, "the button reads " + seen.caption);
  expectCell(seen.screened.size() <= orders().size(), cell, "more orders screened than there are");
  for (size_t i = 0; i < seen.screened.size() && i < orders().size(); ++i) {
    const Screened& s = seen.screened[i];
    expectCell(s.address == orders()[i].address(), cell,
               "order " + std::to_string(i + 1) + " shown as " + s.address + " (lost, repeated or out of order)");
    if (i >= baseline.screened.size()) continue;
    const Screened& usual = baseline.screened[i];
    const bool own = s.verdict == usual.verdict ||
                     (refs.degraded && i < refs.degraded->screened.size() && s.verdict == refs.degraded->screened[i].verdict);
    expectCell(own || (!mustBeBaseline && isFailure(s.verdict)), cell,
               "order " + std::to_string(i + 1) + " got the verdict " + s.verdict + " instead of " + usual.verdict);
    if (s.verdict == usual.verdict) expectCell(s.ticked == usual.ticked, cell, "order " + std::to_string(i + 1) + " decided otherwise");
    if (isFailure(s.verdict)) expectCell(!s.ticked, cell, "order " + std::to_string(i + 1) + " ticked without a verdict");
  }
  if (seen.screened.size() < orders().size()) {
    // Only a run the service stopped ends early, after whole batches, and says so.
    expectCell(seen.halted && !seen.boxes.empty(), cell, "orders left unscreened without a word");
    expectCell(seen.screened.size() % kBatchSize == 0, cell, "a batch cut in two");
  }
  const bool summarised = std::any_of(seen.boxes.begin(), seen.boxes.end(), isSummaryBox);
  std::vector<std::string> matching;
  for (size_t i = 0; i < seen.screened.size(); ++i) {
    if (seen.screened[i].ticked) matching.push_back(orders()[i].number);
  }
  if (cell.flow == FlowId::ErpList) {
    std::string rows;
    for (size_t i = 0; i < orders().size(); ++i) rows += i < seen.screened.size() && seen.screened[i].ticked ? '1' : '0';
    expectCell(seen.checks == rows, cell, "rows ticked " + seen.checks + ", verdicts say " + rows);
    expectCell(seen.clipboard.empty(), cell, "the list run put something on the clipboard");
    matching.clear();
  } else {
    const std::string expected = summarised ? joinTexts(matching, "\r\n") : std::string();
    expectCell(seen.clipboard == expected, cell, "clipboard " + seen.clipboard + ", verdicts say " + expected);
  }
  if (summarised && !matching.empty()) {
    expectCell(seen.resultShown && seen.resultText == joinTexts(matching, "\r\n"), cell,
               "the result window shows " + seen.resultText);
  } else {
    expectCell(!seen.resultShown, cell, "the result window shown without order numbers");
  }
}

void checkCell(const Cell& cell, const References& refs) {
  const RunSeen& baseline = *refs.baseline;
  expectCell(cell.setUp && cell.setUpFailure.empty(), cell, cell.setUpFailure);
  if (!cell.setUp) return;
  const RunSeen& seen = cell.seen;
  if (seen.restarted) expectCell(!seen.boxes.empty(), cell, "restarted without a word");
  if (isBatchFlow(cell.flow)) {
    checkBatchRun(cell, seen, refs, false);
    checkBatchRun(cell, cell.next, {refs.baseline, nullptr}, true);
    expectCell(cell.next.screened.size() == orders().size(), cell, "the next run did not screen every order");
    expectCell(cell.next.clipboard == baseline.clipboard, cell, "the next run's clipboard differs");
  } else if (isQuery(cell.flow)) {
    const bool own = seen.verdict == baseline.verdict || (refs.degraded && seen.verdict == refs.degraded->verdict) ||
                     isFailure(seen.verdict);
    expectCell(own, cell, "shows " + seen.verdict + " for " + baseline.verdict);
    expectCell(seen.queryReady, cell, "the query is not ready for the next one");
    expectCell(cell.next.verdict == baseline.verdict && cell.next.queryReady, cell, "the next query shows " + cell.next.verdict);
  } else if (cell.flow == FlowId::Login) {
    expectCell(seen.loginReady, cell, "the login button stays disabled");
    if (!seen.mainShown) {
      expectCell(!seen.boxes.empty() && seen.boxes[0].title == "登录提示", cell, "the login failed without a box");
      expectCell(cell.next.mainShown && cell.next.greeting == "欢迎您，演示用户", cell, "the next login failed");
    } else {
      expectCell(seen.greeting == "欢迎您，演示用户", cell, "greets " + seen.greeting);
    }
  } else if (cell.flow == FlowId::Refresh) {
    expectCell(seen.boxes.empty(), cell, "the refresh showed a box");
    expectCell(cell.next.tokenAfter != cell.next.tokenBefore && !cell.next.tokenAfter.empty(), cell,
               "the next refresh brought no token");
  }
}

// Position texts merged into one cell: the same text once; texts that differ only in their
// numbers with the numbers side by side ("20/20/5单…"); otherwise each with its position.
std::vector<std::string> pieces(const std::string& text) {
  std::vector<std::string> out;
  for (char c : text) {
    const bool digit = c >= '0' && c <= '9';
    if (out.empty() || (digit != (out.back()[0] >= '0' && out.back()[0] <= '9'))) out.emplace_back();
    out.back() += c;
  }
  return out;
}

std::string mergePositions(const std::vector<std::string>& texts) {
  if (std::all_of(texts.begin(), texts.end(), [&](const std::string& t) { return t == texts[0]; })) return texts[0];
  const std::vector<std::string> first = pieces(texts[0]);
  bool sameShape = true;
  for (const std::string& t : texts) {
    const std::vector<std::string> p = pieces(t);
    sameShape = sameShape && p.size() == first.size();
    for (size_t i = 0; sameShape && i < p.size(); ++i) {
      const bool digits = p[i][0] >= '0' && p[i][0] <= '9';
      sameShape = digits == (first[i][0] >= '0' && first[i][0] <= '9') && (digits || p[i] == first[i]);
    }
  }
  if (sameShape) {
    std::string merged;
    for (size_t i = 0; i < first.size(); ++i) {
      std::vector<std::string> numbers;
      for (const std::string& t : texts) numbers.push_back(pieces(t)[i]);
      const bool same = std::all_of(numbers.begin(), numbers.end(), [&](const std::string& n) { return n == numbers[0]; });
      merged += same ? numbers[0] : joinTexts(numbers, "/");
    }
    return merged;
  }
  const char* names[] = {"首：", "中：", "末："};
  std::vector<std::string> lines;
  for (size_t i = 0; i < texts.size(); ++i) lines.push_back(names[i] + texts[i]);
  return joinTexts(lines, "<br>");
}

std::string markdownCell(std::string text) { return replaceAll(text, "|", "\\|"); }

std::string tableOf(const std::vector<Cell>& cells) {
  const auto find = [&](FlowId flow, int kind, Position at) -> const Cell* {
    for (const Cell& c : cells) {
      if (c.flow == flow && c.kind == kind && c.at == at) return &c;
    }
    return nullptr;
  };
  std::string table = "| 故障 |";
  for (FlowId f : kFlows) table += std::string(" ") + flowHeading(f) + " |";
  table += "\n|---|";
  for (size_t i = 0; i < std::size(kFlows); ++i) table += "---|";
  table += "\n";
  for (size_t k = 0; k < faultKinds().size(); ++k) {
    const FaultKind& kind = faultKinds()[k];
    table += "| " + markdownCell(kind.row) + " |";
    for (FlowId f : kFlows) {
      const Cell* baseline = find(f, -1, Position::First);
      const Cell* degraded = find(f, static_cast<int>(k), Position::Every);
      const References r{baseline ? &baseline->seen : nullptr, degraded ? &degraded->seen : nullptr};
      std::vector<std::string> texts;
      for (Position at : {Position::First, Position::Middle, Position::Last}) {
        if (const Cell* c = find(f, static_cast<int>(k), at); c && c->setUp && r.baseline) {
          texts.push_back(describe(f, c->seen, r));
        }
      }
      table += " " + (texts.empty() ? std::string("—") : markdownCell(mergePositions(texts))) + " |";
    }
    table += "\n";
  }
  return gbkToUtf8(table);
}

// ---------------------------------------------------------------------------------------
// The run: cells on lanes, a watchdog over them, then the promises and the table.

std::vector<Cell> allCells() {
  std::vector<Cell> cells;
  for (FlowId f : kFlows) cells.emplace_back(f, -1, Position::First);
  for (size_t k = 0; k < faultKinds().size(); ++k) {
    const FaultKind& kind = faultKinds()[k];
    for (FlowId f : kFlows) {
      if (kind.pickOnly && !isBatchFlow(f) && !isQuery(f)) continue;
      const bool three = isBatchFlow(f) || f == FlowId::Login;
      for (Position at : {Position::First, Position::Middle, Position::Last}) {
        if (at != Position::First && !three) continue;
        cells.emplace_back(f, static_cast<int>(k), at);
      }
      if (kind.row == "nosites" || kind.row == "nopolicies") cells.emplace_back(f, static_cast<int>(k), Position::Every);
    }
  }
  for (Cell& c : cells) {
    const bool waits = c.kind >= 0 && faultKinds()[c.kind].waits;
    c.bound = waits ? timeoutSecondsOf(callAt(c.flow, c.at).first) + 60.0 : 60.0;
  }
  // The long waits first, so they overlap from the start.
  std::stable_sort(cells.begin(), cells.end(), [](const Cell& a, const Cell& b) { return a.bound > b.bound; });
  return cells;
}

std::string tableFilePath() {
#ifdef PV_FAULT_TABLE_FILE
  return PV_FAULT_TABLE_FILE;
#else
  return "fault-table.md";
#endif
}

TEST(FaultTable, EveryFaultAgainstEveryFlow) {
  const auto begun = SteadyClock::now();
  std::vector<Cell> cells = allCells();
  size_t longCells = 0;
  for (const Cell& c : cells) longCells += c.bound > 100 ? 1 : 0;
  const size_t laneCount = std::min(cells.size(), longCells + 2);

  // Started on this thread: a sandbox ends with the thread that started it.
  std::vector<Lane> lanes(laneCount);
  for (Lane& lane : lanes) {
    lane.sandbox = std::make_unique<SandboxProcess>(std::vector<std::string>{}, true);
    lane.service = std::make_unique<SandboxClient>(lane.sandbox->port());
  }
  for (const Lane& lane : lanes) ASSERT_NE(lane.sandbox->port(), 0) << "parcelvane-sandbox did not start";
  const std::string orderFile = ordersFile();  // written before the lanes read it
  ASSERT_FALSE(orderFile.empty());

  // Each lane takes the next cell; the watchdog knows what each lane runs since when.
  struct Running {
    std::mutex mutex;
    const Cell* cell = nullptr;
    SteadyClock::time_point since;
  };
  std::vector<Running> running(laneCount);
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  std::vector<std::thread> threads;
  for (size_t l = 0; l < laneCount; ++l) {
    threads.emplace_back([&, l] {
      for (size_t i; (i = next.fetch_add(1)) < cells.size();) {
        {
          std::lock_guard lock(running[l].mutex);
          running[l].cell = &cells[i];
          running[l].since = SteadyClock::now();
        }
        runCell(lanes[l], cells[i]);
        {
          std::lock_guard lock(running[l].mutex);
          running[l].cell = nullptr;
        }
        ++done;
      }
    });
  }
  while (done.load() < cells.size()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (size_t l = 0; l < laneCount; ++l) {
      std::lock_guard lock(running[l].mutex);
      if (!running[l].cell) continue;
      const double took = std::chrono::duration<double>(SteadyClock::now() - running[l].since).count();
      if (took > running[l].cell->bound) {
        std::fprintf(stderr, "fault table: %s did not end within %.0f s (hangs)\n",
                     gbkToUtf8(cellName(*running[l].cell)).c_str(), running[l].cell->bound);
        for (Lane& lane : lanes) lane.sandbox->stop();
        std::fflush(stderr);
        std::_Exit(1);
      }
    }
  }
  for (std::thread& t : threads) t.join();
  for (Lane& lane : lanes) lane.sandbox->stop();
  std::filesystem::remove_all(scratchFolder());
  const double seconds = std::chrono::duration<double>(SteadyClock::now() - begun).count();

  std::map<std::pair<FlowId, int>, const RunSeen*> degraded;
  std::map<FlowId, const RunSeen*> baselines;
  for (const Cell& c : cells) {
    if (c.kind < 0) baselines[c.flow] = &c.seen;
    if (c.at == Position::Every) degraded[{c.flow, c.kind}] = &c.seen;
  }
  // The fault-free runs themselves: every order screened, some ticked and some not, and no
  // two verdicts alike (so none can stand in for another order's).
  for (FlowId f : kFlows) {
    ASSERT_TRUE(baselines.count(f));
    const RunSeen& b = *baselines[f];
    SCOPED_TRACE(flowHeading(f));
    EXPECT_TRUE(b.boxes.empty() || std::any_of(b.boxes.begin(), b.boxes.end(), isSummaryBox) || !isBatchFlow(f));
    if (isBatchFlow(f)) {
      ASSERT_EQ(b.screened.size(), orders().size());
      std::set<std::string> verdicts;
      int ticked = 0;
      for (const Screened& s : b.screened) {
        verdicts.insert(s.verdict);
        ticked += s.ticked ? 1 : 0;
        EXPECT_FALSE(isFailure(s.verdict)) << s.address << ": " << s.verdict;
      }
      EXPECT_EQ(verdicts.size(), orders().size());
      EXPECT_GT(ticked, 0);
      EXPECT_LT(ticked, kOrderCount);
    }
    if (isQuery(f)) {
      EXPECT_FALSE(b.verdict.empty() || isFailure(b.verdict)) << b.verdict;
    }
  }
  for (const Cell& c : cells) {
    const auto d = degraded.find({c.flow, c.kind});
    // A reference run is its own reference.
    checkCell(c, {baselines[c.flow], c.at == Position::Every ? &c.seen : d == degraded.end() ? nullptr : d->second});
  }

  std::ofstream(tableFilePath(), std::ios::binary) << tableOf(cells);
  std::printf("fault table: %zu cells on %zu lanes in %.0f s, written to %s\n", cells.size(), laneCount, seconds,
              tableFilePath().c_str());
}

}  // namespace
}  // namespace pv::testing
