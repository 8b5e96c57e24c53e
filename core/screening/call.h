#pragma once
// The screening call: one batch of addresses sent for a screening service, retried while
// the service fails, its answer decrypted and completed. Every path that screens addresses
// (the single queries, the ERP batch, the import) goes through screenAddresses.
//
// No window here: the caller reads the operator's settings from the main window into
// ScreeningSettings and shows the call's progress.
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "core/net/http_transport.h"
#include "core/screening/request.h"
#include "core/system/pauses.h"

namespace pv {

// The operator's choices that shape a call, read at each call.
struct ScreeningSettings {
  std::int32_t serviceBusinessId = 0;
  bool blockVillages = false;      // village addresses farther than villageLimit from a site
  std::int64_t villageLimit = 0;   // metres
  bool blockRemote = false;        // any address farther than remoteLimit from a site
  std::int64_t remoteLimit = 0;    // metres
};

// A distance limit as the operator typed it: the leading decimal digits, 0 without any.
// Digits beyond the integer range give the largest value.
std::int64_t readDistanceLimit(std::string_view text) noexcept;

using RequestBuilder =
    std::function<ScreeningRequest(std::int32_t serviceBusinessId, const std::vector<std::string>& addresses)>;

// What a call needs besides the addresses. Every member outlives the call.
struct ScreeningLink {
  HttpTransport& transport;
  std::string baseUrl;     // ends in /api/v2
  std::string authHeader;  // the session's header block with the bearer token
  Pauses& pauses;          // between attempts
  // Builds the signed request; buildScreeningRequest unless a test fixes time and random.
  RequestBuilder build = {};
  // A stop cuts the retries short: no further attempt is made and no pause is waited out.
  std::stop_token stop = {};
};

// The type text of the restriction an address gets when the service gave no verdict for it;
// it tells a failed order from a screened one.
inline constexpr std::string_view kFailureTypeText = "筛单失败";

// Attempts of a call that the service keeps failing (HTTP 500 and above), and the pause
// taken after each: 7, 8 and 9 s.
inline constexpr int kScreeningAttempts = 3;
inline constexpr int kScreeningTimeoutSeconds = 120;
milliseconds retryPause(int attempt) noexcept;

// Screens GBK `addresses` and returns the completed answer as compact JSON (UTF-8):
// root `code`, `msg`, and `data` with one verdict per address in the order sent, each
// with a `policies` array. Never fails: an address the service did not answer for (no
// connection, refused call, unreadable or undecryptable answer) carries the "筛单失败"
// restriction; the village and distance rules of `settings` add restrictions of their own.
std::string screenAddresses(const ScreeningLink& link, const ScreeningSettings& settings,
                            const std::vector<std::string>& addresses);

// The completion on its own: `responseBody` as it came (UTF-8), decrypted with the keys of
// `request`, filled up to `addressCount` entries and given the restrictions of `settings`.
std::string completeScreeningAnswer(std::string_view responseBody, const ScreeningRequest& request,
                                    std::size_t addressCount, const ScreeningSettings& settings);

}  // namespace pv
