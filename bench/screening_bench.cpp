// The client's own work on one batch of 20 addresses, without the network: building,
// signing and encrypting the request; then decrypting, completing and rendering an answer
// as the service would send it (two sites and two restrictions per address) into the
// in-memory windows, with the renderer's pauses counted instead of taken. Prints the
// processor time per batch beside the floor the pauses put under a rendered batch.
// Asserts nothing.
//
//   screening_bench [--batches N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "core/crypto/base64.h"
#include "core/crypto/crypto.h"
#include "core/json/json.h"
#include "core/screening/call.h"
#include "core/screening/render.h"
#include "core/text/codepage.h"
#include "core/ui/memory_ui.h"

namespace {

using namespace pv;

// Counts the pauses it is asked for and returns at once.
class CountingPauses final : public Pauses {
 public:
  bool pause(milliseconds duration, std::stop_token) override {
    total += duration;
    ++count;
    return true;
  }
  milliseconds total{0};
  long count = 0;
};

std::vector<std::string> batchAddresses() {
  std::vector<std::string> out;
  for (int i = 1; i <= 20; ++i) out.push_back("浙江省杭州市淳安县枫树岭镇下姜村" + std::to_string(i) + "组");
  return out;
}

// The verdicts the service would send for the request, sealed with its response keys.
std::string serviceAnswer(const ScreeningRequest& request, const std::vector<std::string>& addresses) {
  std::string verdicts = "[";
  for (const std::string& address : addresses) {
    const std::string a = gbkToUtf8(address);
    if (verdicts.size() > 1) verdicts += ",";
    verdicts += "{\"input\":\"" + a + "\",\"analysis\":{\"address\":\"" + a + "\",\"province\":\"" +
                gbkToUtf8("浙江省") + "\"},\"districts\":[\"" + gbkToUtf8("浙江省") + "\",\"" + gbkToUtf8("杭州市") +
                "\"],\"isVillage\":true,\"sites\":[";
    for (int s = 0; s < 2; ++s) {
      if (s) verdicts += ",";
      verdicts += "{\"title\":\"" + gbkToUtf8("淳安网点") + "\",\"name\":\"" + gbkToUtf8("淳安") +
                  "\",\"linkPerson\":\"" + gbkToUtf8("王五") + "\",\"linkPhone\":\"0571-88886666\",\"labels\":[\"" +
                  gbkToUtf8("自营") + "\"],\"deliveryArea\":\"" + gbkToUtf8("全县含下姜村") +
                  "\",\"acceptor\":{\"fmtAddress\":\"" + a + "\",\"distance\":" + std::to_string(12000 + s * 6000) + "}}";
    }
    verdicts += "],\"policies\":[{\"type\":1,\"mode\":2,\"pass\":false,\"color\":\"#f06e33\",\"typeStr\":\"" +
                gbkToUtf8("盲区停发") + "\",\"shortTypeName\":\"" + gbkToUtf8("盲区") + "\",\"object\":\"" +
                gbkToUtf8("下姜村") + "\",\"remark\":\"" + gbkToUtf8("下姜村停发") + "\"},{\"type\":2,\"color\":\"0000ff\"," +
                "\"typeName\":\"" + gbkToUtf8("超区加收") + "\",\"object\":\"" + gbkToUtf8("淳安县") + "\"}]}";
  }
  verdicts += "]";
  const std::string sealed = CryptoToolkit().encryptSymmetric(verdicts, request.responseKey, request.responseIv,
                                                              CipherMode::Cbc, CryptoAlgorithm::Aes256);
  return "{\"code\":0,\"msg\":\"ok\",\"data\":\"" + base64Encode(sealed) + "\"}";
}

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

int main(int argc, char** argv) {
  int batches = 2000;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--batches") == 0) batches = std::max(1, std::atoi(argv[i + 1]));
  }
  const std::vector<std::string> addresses = batchAddresses();
  const ScreeningSettings settings{.serviceBusinessId = 101, .blockVillages = true, .villageLimit = 15000,
                                   .blockRemote = true, .remoteLimit = 50000};

  // The answers are made outside the timed part: they are the service's work.
  std::vector<ScreeningRequest> requests;
  std::vector<std::string> answers;
  double buildCpu = 0;
  {
    const double start = cpuSeconds();
    for (int b = 0; b < batches; ++b) requests.push_back(buildScreeningRequest(101, addresses));
    buildCpu = cpuSeconds() - start;
  }
  for (const ScreeningRequest& r : requests) answers.push_back(serviceAnswer(r, addresses));

  MemoryUi ui;
  ui.load(Window::Main, false);
  UiRichTextBox box(ui, Window::Main, kOutputBox);
  CountingPauses pauses;
  RichWriter writer{box, pauses};

  double completeCpu = 0;
  double summaryCpu = 0;
  double detailCpu = 0;
  size_t bodyBytes = 0;
  for (int b = 0; b < batches; ++b) {
    double start = cpuSeconds();
    const std::string completed = completeScreeningAnswer(answers[b], requests[b], addresses.size(), settings);
    JsonDocument answer;
    answer.parse(completed);
    completeCpu += cpuSeconds() - start;
    bodyBytes += requests[b].body.size();

    ui.setText(Window::Main, kOutputBox, "");
    for (size_t n = 0; n < addresses.size(); ++n) {
      start = cpuSeconds();
      const std::string keywords = renderSummaryBlock(writer, answer, n, addresses[n], SummaryLayout::Detailed);
      const double middle = cpuSeconds();
      renderDetailedSections(writer, answer, n, keywords);
      summaryCpu += middle - start;
      detailCpu += cpuSeconds() - middle;
    }
  }

  const double perBatch = 1000.0 / batches;
  std::printf("screening_bench: %d batches of 20 addresses, request body %zu bytes on average\n", batches,
              bodyBytes / static_cast<size_t>(batches));
  std::printf("  build + sign + encrypt           %8.3f ms CPU per batch\n", buildCpu * perBatch);
  std::printf("  decrypt + complete + parse       %8.3f ms CPU per batch\n", completeCpu * perBatch);
  std::printf("  render 20 summary blocks         %8.3f ms CPU per batch\n", summaryCpu * perBatch);
  std::printf("  render 20 detail sections        %8.3f ms CPU per batch\n", detailCpu * perBatch);
  std::printf("  client total, summaries only     %8.3f ms CPU per batch\n",
              (buildCpu + completeCpu + summaryCpu) * perBatch);
  std::printf("  pacing floor of the render       %8.1f ms per batch (%ld pauses of 10 ms)\n",
              static_cast<double>(pauses.total.count()) / batches, pauses.count / batches);
  std::printf("  output box after the last batch: %zu runs, %d lines\n",
              ui.richRuns(Window::Main, kOutputBox).size(), ui.lineCount(Window::Main, kOutputBox));
  return 0;
}
