#pragma once
// The one-click run's screening call and output box, over the queries' screening call and
// the result renderer: the batch screens through the same call as every other query, and
// writes its lines into 超级编辑框_输出 the way every other writer does.
#include "core/client/address_query.h"
#include "core/erp/batch_screening.h"
#include "core/screening/render.h"

namespace pv {

class MainWindowBatchScreening final : public BatchScreening {
 public:
  explicit MainWindowBatchScreening(QueryContext& queries) : queries_(queries) {}
  std::string screenAddresses(const std::vector<std::string>& addresses, std::stop_token stop) override;
  [[nodiscard]] bool checkServiceCode(int code, std::string_view message) override;

 private:
  QueryContext& queries_;
};

class OutputBoxWriter final : public ScreeningOutput {
 public:
  OutputBoxWriter(Ui& ui, Pauses& pauses) : ui_(ui), box_(ui, Window::Main, kOutputBox), writer_{box_, pauses} {}
  void appendLabelledLine(std::string_view label, std::string_view value, Colour colour) override;
  void appendStyledText(std::string_view text, Colour colour) override;
  void scrollToEnd() override;

 private:
  Ui& ui_;
  UiRichTextBox box_;
  RichWriter writer_;
};

}  // namespace pv
