// Request bodies as they leave the client: whatever bytes the operator's texts hold (a cell
// cut in the middle of a character, a byte that is no GBK at all), the body on the wire is
// valid UTF-8 JSON, and every valid character arrives as it was typed.
#include <gtest/gtest.h>

#include "core/api/api_call.h"
#include "core/api/version_check.h"
#include "core/client/client_events.h"
#include "core/client/login.h"
#include "core/client/login_window.h"
#include "core/screening/request.h"
#include "core/text/codepage.h"
#include "core/client/window_lifecycle.h"
#include "tests/unit/api_fakes.h"

namespace pv {
namespace {

struct BodyCase {
  const char* name;
  std::string typed;  // GBK, as held by the program
  std::string read;   // what the service reads back, as GBK
};

const BodyCase kCases[] = {
    {"0x80 before a quote", "\x80\"", "?\""},
    {"lead byte before a quote", "abc\xB0\"def", "abc?\"def"},
    {"0xFF before a backslash", "\xFF\\", "?\\"},
    {"lead byte at the very end", "北京\xD6", "北京?"},
    {"trail byte is a backslash", "誠\\", "誠\\"},  // D5 5C, then a backslash of its own
    {"trail byte is a bar", "貄|", "貄|"},          // D8 7C
    {"a whole address", "上海市浦东\"誠\"路1号", "上海市浦东\"誠\"路1号"},
};

// The member's text of a body received as UTF-8, as GBK; fails the test when the body is
// not strict JSON.
std::string readBack(const Bytes& wire, std::string_view pointer) {
  JsonDocument doc;
  EXPECT_TRUE(doc.parse(wire.view())) << doc.errorText() << "\n" << wire.view();
  return utf8ToGbk(doc.at(pointer).text());
}

TEST(RequestBodies, LoginBodyCarriesEveryValidCharacter) {
  for (const BodyCase& c : kCases) {
    SCOPED_TRACE(c.name);
    testing::ClientRig rig;
    LoginWebPage page{rig.browser};
    ASSERT_TRUE(registerWindowLifecycleEvents(rig.client, rig.settings));
    ASSERT_TRUE(registerLoginWindowEvents(rig.client, page));
    ASSERT_TRUE(rig.ui.load(Window::Login, true));
    rig.ui.setEnabled(Window::Login, kLoginButton, true);
    rig.ui.setText(Window::Login, kAccountBox, c.typed);
    rig.ui.setText(Window::Login, kPasswordBox, "p" + c.typed);
    ASSERT_TRUE(rig.ui.pressKey(Window::Login, kPasswordBox, kEnterKey));
    rig.workers.runNext();
    const auto sent = rig.api.sentTo("POST", "/api/v2/pub/auth");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(readBack(sent[0].body, "/username"), c.read);
    EXPECT_EQ(readBack(sent[0].body, "/password"), "p" + c.read);
  }
}

TEST(RequestBodies, VersionBodyCarriesEveryValidCharacter) {
  // The version check builds its body the same way from its name and version.
  for (const BodyCase& c : kCases) {
    SCOPED_TRACE(c.name);
    testing::ScriptedTransport api;
    callApi(api, kMethodPost, std::string(testing::kFakeBaseUrl) + "/pub/versions/check", kJsonContentHeader,
            jsonStringObject({{"name", c.typed}, {"version", kClientVersion}}));
    const auto sent = api.sentTo("POST", "/api/v2/pub/versions/check");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(readBack(sent[0].body, "/name"), c.read);
    EXPECT_EQ(readBack(sent[0].body, "/version"), kClientVersion);
  }
}

TEST(RequestBodies, ScreeningBodyCarriesEveryValidCharacter) {
  std::vector<std::string> addresses;
  for (const BodyCase& c : kCases) addresses.push_back(c.typed);
  const ScreeningRequest request =
      buildScreeningRequest(7, addresses, 1765000000, "abcdefghij0123456x", "0123456789ABCDEF0123456789ABCDEF");
  for (size_t i = 0; i < std::size(kCases); ++i) {
    SCOPED_TRACE(kCases[i].name);
    std::string pointer = "/addresses/";
    pointer += std::to_string(i);
    EXPECT_EQ(readBack(request.body, pointer), kCases[i].read);
  }
  EXPECT_EQ(readBack(request.body, "/version"), "2.0.2");
}

}  // namespace
}  // namespace pv
