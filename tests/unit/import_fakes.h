#pragma once
// The open-file dialog as a script: it answers with the path a test chose and remembers
// what it was asked.
#include <string>
#include <string_view>
#include <vector>

#include "core/import/import_flow.h"

namespace pv::testing {

class ScriptedChooser final : public FileChooser {
 public:
  std::string answer;              // the chosen path; empty: the operator cancelled
  std::vector<std::string> asked;  // "folder|title|filter"
  std::string showOpenFileDialog(Window, std::string_view folder, std::string_view title,
                                 std::string_view filter) override {
    asked.push_back(std::string(folder) + "|" + std::string(title) + "|" + std::string(filter));
    return answer;
  }
  std::string desktopFolder() override { return "C:\\Users\\op\\Desktop"; }
};

}  // namespace pv::testing
