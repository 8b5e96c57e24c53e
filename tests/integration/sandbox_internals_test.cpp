// Pieces of the sandbox that its HTTP answers show only in part: address patterns,
// distances, session expiry, the fault queue and the rules file checks. Built into a
// program of its own because the sandbox's texts are UTF-8 (the client's are GBK).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tools/sandbox/faults.h"
#include "tools/sandbox/rulebase.h"
#include "tools/sandbox/screening.h"
#include "tools/sandbox/sessions.h"

namespace pv::sandbox {
namespace {

TEST(AddressPattern, MatchesWholeTextsCharacterByCharacter) {
  const struct {
    const char* pattern;
    const char* text;
    bool matches;
  } cases[] = {
      {"*附近", "黄龙体育中心附近", true},
      {"*附近", "附近的路", false},
      {"?号", "一号", true},  // one character, whatever its length in bytes
      {"?号", "12号", false},
      {"#号", "1号", true},
      {"#号", "一号", false},
      {"*##*", "楼12室", true},
      {"*##*", "1楼2室", false},
      {"a*b*c", "a楼b室c", true},
      {"a*b*c", "a楼b室", false},
      {"**x", "x", true},
      {"*", "", true},
      {"", "", true},
      {"", "x", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(matchesPattern(c.pattern, c.text), c.matches) << c.pattern << " / " << c.text;
  }
}

TEST(Distance, GreatCircleMetres) {
  EXPECT_EQ(distanceMetres({120, 30}, {120, 30}), 0);
  EXPECT_EQ(distanceMetres({120, 30}, {120, 31}), 111195);  // one degree of latitude
  EXPECT_EQ(distanceMetres({0, 0}, {180, 0}), 20015114);    // half the equator
  EXPECT_EQ(distanceMetres({120, 30}, {121, 30}), distanceMetres({121, 30}, {120, 30}));
}

TEST(Sessions, ATokenLivesItsLifetimeThenReadsExpiredThenUnknown) {
  Sessions sessions(100);
  const std::string token = sessions.open(7, 1000);
  int account = 0;
  EXPECT_EQ(sessions.check(token, 1100, account), Sessions::Check::kOk);
  EXPECT_EQ(account, 7);
  EXPECT_EQ(sessions.check(token, 1101, account), Sessions::Check::kExpired);
  EXPECT_EQ(sessions.check(token, 1200, account), Sessions::Check::kExpired);
  EXPECT_EQ(sessions.check(token, 1201, account), Sessions::Check::kUnknown);
  EXPECT_EQ(sessions.check("", 1000, account), Sessions::Check::kMissing);
  EXPECT_EQ(sessions.check(token + "0", 1000, account), Sessions::Check::kUnknown);
  EXPECT_NE(sessions.open(7, 1000), token);
}

TEST(FaultPlan, FaultsAreUsedUpInOrderPerEndpoint) {
  std::vector<Fault> faults;
  std::string error;
  ASSERT_TRUE(parseFaults(R"([{"endpoint":"pick","status":502,"times":2},
                              {"endpoint":"*","status":503},
                              {"endpoint":"auth","code":1,"times":-1}])",
                          faults, error))
      << error;
  FaultPlan plan;
  plan.add(faults);
  EXPECT_EQ(plan.take("pick")->status, 502);
  EXPECT_EQ(plan.take("global")->status, 503);  // the first one that fits
  EXPECT_EQ(plan.take("pick")->status, 502);
  EXPECT_FALSE(plan.take("pick"));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(plan.take("auth")->code, 1);
  plan.clear();
  EXPECT_FALSE(plan.take("auth"));
}

TEST(RulesFile, AFileThatDoesNotFitNamesTheMemberAtFault) {
  const struct {
    const char* json;
    const char* where;
  } cases[] = {
      {R"([1])", "root"},
      {R"({"accounts":[{"id":1,"account":"a"}]})", "accounts[0].password"},
      {R"({"projects":[{"id":1,"name":"p"}],"rules":[{"project":1,"type":7,"keywords":["x"]}]})",
       "rules[0].type"},
      {R"({"projects":[{"id":1,"name":"p"}],"rules":[{"project":1,"type":1}]})", "rules[0]"},
      {R"({"projects":[{"id":1,"name":"p"}],"rules":[{"project":2,"type":1,"keywords":["x"]}]})",
       "unknown project"},
      {R"({"sites":[{"id":1,"name":"s","location":[200,30]}]})", "sites[0].location"},
      {R"({"places":[{"match":"m","location":[120]}]})", "places[0].location"},
      {R"({"projects":[{"id":1,"name":"p"},{"id":1,"name":"q"}]})", "appears twice"},
      {R"({"client":{"versions":[{"id":1,"version":"1"}],"latest":"2"}})", "client.latest"},
      {R"({"contact":{"qqPicture":"missing.png"}})", "contact.qqPicture"},
      {R"({"settings":{"maxAddresses":0}})", "settings.maxAddresses"},
      {R"({"projects":[{"id":1,"name":"p"}],"rules":[{"project":1,"type":3,"detailUnder":-1}]})",
       "rules[0].detailUnder"},
      {R"({"nationwide":{"remote":["x"]}})", "nationwide.project"},
      {R"({"projects":[{"id":1,"name":"p"}],"nationwide":{"project":2}})", "nationwide.project"},
      {R"({"projects":[{"id":1,"name":"p"}],"nationwide":{"project":1,"islands":"x"}})",
       "nationwide.islands"},
  };
  const auto file = std::filesystem::temp_directory_path() /
                    ("sandbox-rules-" + std::to_string(::getpid()) + ".json");
  for (const auto& c : cases) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << c.json;
    RuleBase rules;
    std::string error;
    EXPECT_FALSE(rules.load(file.string(), error)) << c.json;
    EXPECT_NE(error.find(c.where), std::string::npos) << c.json << " -> " << error;
  }
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace pv::sandbox
