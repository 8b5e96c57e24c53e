#pragma once
// The ERP clients the one-click run knows, in the order it tries them: how each one's
// top-level window is recognised, the name the run writes for it ("匹配软件"), and the flow
// that screens its orders — its own order list, read and ticked through the Desktop, or a
// file the operator exports, read with the client's import profile. A client's row holds
// its flow, so no client can be written down without one.
#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

#include "core/erp/desktop.h"
#include "core/import/erp_profiles.h"

namespace pv {

struct ErpWindowMatch {
  enum class Find { ByClass, ByTitlePart };
  Find find;
  std::string_view className;  // ByClass: the class; ByTitlePart: empty for any class
  std::string_view titlePart;
};

// The client's own order list, read and ticked (core/erp/list_screening.h).
struct ReadOrderList {};
using ErpFlow = std::variant<ReadOrderList, ErpImportProfile>;

struct ErpClient {
  std::string_view displayName;
  ErpWindowMatch window;
  ErpFlow flow;
};

// The known clients, tried top to bottom; every one found runs its flow.
std::span<const ErpClient> erpClients();

// The client's top-level window on the desktop, or 0 when it is not running.
WindowHandle findErpClientWindow(Desktop& desktop, const ErpClient& client);

}  // namespace pv
