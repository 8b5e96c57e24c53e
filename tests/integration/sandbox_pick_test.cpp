// The screening call end to end: requests signed by the client's builder, verified and
// answered by the sandbox, answers decrypted with the key the builder derived.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/screening/request.h"
#include "core/text/codepage.h"
#include "tests/integration/sandbox_fixture.h"
#include "tests/unit/utf8_literal.h"

namespace pv::testing {
namespace {

constexpr int kVillageLimit = 15000;  // the client's default village distance, metres

struct Screening {
  Reply reply;
  JsonDocument verdicts;  // the decrypted data; empty when refused or undecryptable
};

std::string pickPath(int serviceId) {
  return "/effectiveServiceBusinesses/" + std::to_string(serviceId) + "/pick";
}

class PickTest : public SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    token_ = api().login();
    ASSERT_FALSE(token_.empty());
  }

  Reply post(int pathId, const std::string& body) {
    return api().call("POST", pickPath(pathId), body, token_);
  }
  Reply post(int pathId, const Bytes& body) { return post(pathId, std::string(body.view())); }

  // Screens GBK addresses as the client does: build, send, decrypt.
  Screening screen(const std::vector<std::string>& addresses, int serviceId = 101) {
    const ScreeningRequest request = buildScreeningRequest(serviceId, addresses);
    Screening s;
    s.reply = post(serviceId, request.body);
    if (s.reply.code() == 0) {
      s.verdicts.parse(decryptData(s.reply.json.at("/data").text(), request.responseKey,
                                   request.responseIv));
    }
    return s;
  }

  // Verdicts of UTF-8 addresses, 20 to a call, in order.
  std::vector<JsonDocument> screenAll(const std::vector<std::string>& addresses) {
    std::vector<JsonDocument> out;
    for (size_t first = 0; first < addresses.size(); first += 20) {
      std::vector<std::string> batch;
      for (size_t i = first; i < addresses.size() && i < first + 20; ++i) {
        batch.push_back(utf8ToGbk(addresses[i]));
      }
      const Screening s = screen(batch);
      EXPECT_EQ(s.reply.code(), 0) << s.reply.body;
      for (JsonValue verdict : s.verdicts.root().elements()) {
        out.emplace_back();
        out.back().parse(verdict.toJson());
      }
    }
    return out;
  }

  std::string token_;
};

std::vector<int> policyTypes(JsonValue verdict) {
  std::vector<int> types;
  for (JsonValue p : verdict.member("policies").elements()) types.push_back(p.member("type").toInt());
  return types;
}

long long nearestDistance(JsonValue verdict) {
  long long nearest = -1;
  for (JsonValue site : verdict.member("sites").elements()) {
    const long long d = site.at("/acceptor/distance").toInt64();
    if (nearest < 0 || d < nearest) nearest = d;
  }
  return nearest;
}

enum class Distance { kAny, kWithinVillageLimit, kBeyondVillageLimit };

struct VerdictCase {
  const char* name;
  const char* address;  // GBK, as the client holds it
  std::vector<int> types;
  bool village;
  Distance distance;
};

const VerdictCase kVerdictCases[] = {
    {"blind area", "浙江省杭州市西湖区转塘街道之江路1号", {1}, false, Distance::kAny},
    {"blind area by street office", "北京朝阳区首都机场街道机场路1号", {1}, false, Distance::kAny},
    {"surcharge", "杭州市余杭区文一西路998号", {2}, false, Distance::kAny},
    {"false address by keyword", "浙江省杭州市上城区测试地址", {3}, false, Distance::kAny},
    {"false address by pattern", "杭州市西湖区黄龙体育中心附近", {3}, false, Distance::kAny},
    {"other restriction", "杭州市西湖区浙江大学玉泉校区", {99}, false, Distance::kAny},
    {"village within the distance", "浙江省杭州市西湖区双浦镇铜鉴湖村", {}, true,
     Distance::kWithinVillageLimit},
    {"village beyond the distance", "浙江省杭州市淳安县枫树岭镇下姜村3组", {2}, true,
     Distance::kBeyondVillageLimit},
    {"in no rule", "浙江省杭州市上城区湖滨街道平海路1号", {}, false, Distance::kAny},
};

TEST_F(PickTest, VerdictsForATableOfAddresses) {
  for (const VerdictCase& c : kVerdictCases) {
    SCOPED_TRACE(c.name);
    const Screening s = screen({c.address});
    ASSERT_EQ(s.reply.code(), 0) << s.reply.body;
    EXPECT_FALSE(s.reply.msg().empty());  // the client decrypts only when msg is not empty
    ASSERT_TRUE(s.verdicts.root().isArray()) << "data did not decrypt to an array";
    ASSERT_EQ(s.verdicts.root().size(), 1u);
    const JsonValue v = s.verdicts.at("/0");
    EXPECT_EQ(v.member("input").text(), gbkToUtf8(c.address));
    EXPECT_FALSE(v.at("/analysis/address").text().empty());
    EXPECT_TRUE(v.member("policies").isArray());
    EXPECT_EQ(policyTypes(v), c.types);
    EXPECT_EQ(v.member("isVillage").type(), JsonType::Boolean);
    EXPECT_EQ(v.member("isVillage").toBool(), c.village);
    ASSERT_TRUE(v.member("sites").isArray());
    const long long nearest = nearestDistance(v);
    if (c.distance == Distance::kWithinVillageLimit) {
      EXPECT_GE(nearest, 0);
      EXPECT_LT(nearest, kVillageLimit);
    } else if (c.distance == Distance::kBeyondVillageLimit) {
      EXPECT_GE(nearest, kVillageLimit);
    }
  }
}

TEST_F(PickTest, PoliciesAndSitesCarryEveryMemberTheClientReads) {
  const Screening s = screen({"浙江省杭州市西湖区转塘街道之江路1号", "杭州市西湖区浙江大学玉泉校区"});
  ASSERT_EQ(s.reply.code(), 0) << s.reply.body;
  const JsonValue blind = s.verdicts.at("/0/policies/0");
  EXPECT_EQ(blind.member("type").toInt(), 1);
  EXPECT_EQ(blind.member("pass").type(), JsonType::Boolean);
  EXPECT_FALSE(blind.member("pass").toBool());
  EXPECT_EQ(blind.member("typeStr").text(), utf8Text(u8"盲区停发"));
  EXPECT_EQ(blind.member("object").text(), utf8Text(u8"转塘街道"));
  for (const char* key : {"color", "typeName", "shortTypeName", "modeStr", "source", "creator", "remark"}) {
    EXPECT_FALSE(blind.member(key).text().empty()) << key;
  }
  EXPECT_GE(blind.member("mode").toInt(), 1);
  EXPECT_TRUE(s.verdicts.at("/1/policies/0/pass").toBool()) << "a hint-only rule";

  const JsonValue site = s.verdicts.at("/0/sites/0");
  for (const char* key : {"title", "name", "linkPerson", "linkPhone", "groupName", "address",
                          "deliveryArea", "specialArea"}) {
    EXPECT_TRUE(site.member(key).isString()) << key;
  }
  EXPECT_FALSE(site.member("name").text().empty());
  EXPECT_TRUE(site.member("labels").isArray());
  EXPECT_FALSE(site.at("/firstSite/name").text().empty());
  EXPECT_TRUE(site.member("extra").isObject());
  EXPECT_FALSE(site.at("/acceptor/fmtAddress").text().empty());
  EXPECT_GT(site.at("/acceptor/distance").toInt64(), 0);
  // Sites come nearest first.
  const JsonValue sites = s.verdicts.at("/0/sites");
  for (size_t i = 1; i < sites.size(); ++i) {
    EXPECT_LE(sites.element(i - 1).at("/acceptor/distance").toInt64(),
              sites.element(i).at("/acceptor/distance").toInt64());
  }
}

TEST_F(PickTest, AddressesAreReadIntoDivisionsAndVillageMarks) {
  struct Case {
    const char* address;
    std::u8string_view districts;  // joined with "|"
    bool village;
  };
  const Case cases[] = {
      {"杭州西湖区西溪路88号", u8"浙江省|杭州市|西湖区", false},  // a road, not 西溪街道
      {"北京市北京市朝阳区三里屯街道工体北路", u8"北京市|朝阳区|三里屯街道", false},
      {"吉林市昌邑区解放大路", u8"吉林省|吉林市|昌邑区", false},
      {"延边州延吉市", u8"吉林省|延边朝鲜族自治州|延吉市", false},
      {"上海浦东张江镇", u8"上海市|浦东新区|张江镇", false},
      {"湖北省仙桃市干河街道", u8"湖北省|仙桃市|干河街道", false},
      {"浙江省杭州市西湖区转塘街道象山村12号", u8"浙江省|杭州市|西湖区|转塘街道", true},
      {"浙江省杭州市西湖区中关村大街1号", u8"浙江省|杭州市|西湖区", false},
      {"浙江省杭州市上城区曹杨新村5号", u8"浙江省|杭州市|上城区", false},
      {"浙江省杭州市淳安县枫树岭镇五组", u8"浙江省|杭州市|淳安县|枫树岭镇", true},
      {"ＡＢＣ１２３号", u8"", false},
  };
  std::vector<std::string> addresses;
  for (const Case& c : cases) addresses.push_back(c.address);
  const Screening s = screen(addresses);
  ASSERT_EQ(s.reply.code(), 0) << s.reply.body;
  ASSERT_EQ(s.verdicts.root().size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].address);
    const JsonValue v = s.verdicts.root().element(i);
    std::string joined;
    for (JsonValue d : v.member("districts").elements()) joined += (joined.empty() ? "" : "|") + d.text();
    EXPECT_EQ(joined, utf8Text(cases[i].districts));
    EXPECT_EQ(v.member("isVillage").toBool(), cases[i].village);
  }
  EXPECT_EQ(s.verdicts.at("/10/analysis/address").text(), utf8Text(u8"ABC123号"));
}

TEST_F(PickTest, ABatchOfTwentyAnswersEachAddressInOrderAsItWouldAlone) {
  std::vector<std::string> batch;
  for (const VerdictCase& c : kVerdictCases) batch.push_back(c.address);
  for (int i = 0; batch.size() < 20; ++i) {
    batch.push_back("浙江省杭州市西湖区文三路" + std::to_string(100 + i) + "号");
  }
  const Screening all = screen(batch);
  ASSERT_EQ(all.reply.code(), 0) << all.reply.body;
  ASSERT_EQ(all.verdicts.root().size(), 20u);
  for (size_t i = 0; i < batch.size(); ++i) {
    SCOPED_TRACE(batch[i]);
    const Screening one = screen({batch[i]});
    ASSERT_EQ(one.reply.code(), 0);
    EXPECT_EQ(all.verdicts.root().element(i).toJson(), one.verdicts.at("/0").toJson());
  }

  batch.push_back("浙江省杭州市西湖区文三路1号");
  const Screening tooMany = screen(batch);
  EXPECT_NE(tooMany.reply.code(), 0);
  EXPECT_TRUE(tooMany.verdicts.empty());

  // The service's record of answered requests: the batch, then each address alone; the
  // refused batch is not among them.
  const Reply record = api().call("GET", "/__control/requests");
  ASSERT_EQ(record.code(), 0) << record.body;
  const auto sizes = record.json.at("/data/pick");
  ASSERT_EQ(sizes.size(), 21u);
  EXPECT_EQ(sizes.element(0).toInt64(), 20);
  for (size_t i = 1; i < sizes.size(); ++i) EXPECT_EQ(sizes.element(i).toInt64(), 1) << i;
  api().reset();
  EXPECT_EQ(api().call("GET", "/__control/requests").json.at("/data/pick").size(), 0u);
}

TEST_F(PickTest, EscapedAndDoubleByteCharactersKeepTheSignatureValid) {
  // "碶" is D5 5C in GBK: its second byte is a backslash.
  const std::vector<std::string> addresses = {
      "浙江省宁波市北仑区大碶街道\"新大路\"1号",
      "浙江省杭州市上城区平海路1号\\2\t室/3\r\n",
      "浙江省杭州市上城区\x01平海路\x1f",
  };
  const Screening s = screen(addresses);
  ASSERT_EQ(s.reply.code(), 0) << s.reply.body;
  ASSERT_EQ(s.verdicts.root().size(), addresses.size());
  for (size_t i = 0; i < addresses.size(); ++i) {
    EXPECT_EQ(s.verdicts.root().element(i).member("input").text(), gbkToUtf8(addresses[i]));
  }
  EXPECT_EQ(s.verdicts.at("/0/analysis/street").text(), utf8Text(u8"大碶街道"));
}

TEST_F(PickTest, RulesBelongToTheServicesProject) {
  const char* address = "浙江省杭州市西湖区双浦镇铜鉴湖村";
  EXPECT_EQ(policyTypes(screen({address}, 101).verdicts.at("/0")), std::vector<int>{});
  EXPECT_EQ(policyTypes(screen({address}, 201).verdicts.at("/0")), std::vector<int>{1});
}

// Another byte in the same place: digits, letters and other characters stay of their kind
// where they can, so that the copy still looks like a request.
char otherByte(char c) {
  if (c >= '0' && c <= '9') return static_cast<char>('0' + (c - '0' + 1) % 10);
  if (c >= 'a' && c <= 'z') return static_cast<char>('a' + (c - 'a' + 1) % 26);
  if (c >= 'A' && c <= 'Z') return static_cast<char>('A' + (c - 'A' + 1) % 26);
  return static_cast<char>(c ^ 0x01);
}

TEST_F(PickTest, AChangeOfAnyByteGetsARefusalNeverAVerdict) {
  const ScreeningRequest request = buildScreeningRequest(101, {"浙江省杭州市西湖区转塘街道之江路1号"});
  ASSERT_EQ(post(101, request.body).code(), 0);
  for (size_t i = 0; i < request.body.size(); ++i) {
    std::string copy(request.body.view());
    copy[i] = otherByte(copy[i]);
    const Reply r = post(101, copy);
    ASSERT_EQ(r.status, 200) << "byte " << i;
    EXPECT_NE(r.code(), 0) << "byte " << i << ": " << copy;
    EXPECT_TRUE(r.json.at("/data").text().empty()) << "byte " << i;
  }
}

TEST_F(PickTest, ChangedFieldsOfAFreshRequestFailTheSignature) {
  const std::vector<std::string> addresses = {"浙江省杭州市西湖区转塘街道之江路1号"};
  struct Case {
    const char* name;
    std::string from, to;
    int pathId;
  };
  const std::string address = gbkToUtf8(addresses[0]);
  const Case cases[] = {
      {"timestamp", "\"timestamp\":", "\"timestamp\":1", 101},  // filled in below
      {"service", "\"serviceBusinessID\":101", "\"serviceBusinessID\":201", 201},
      {"address", address, gbkToUtf8("浙江省杭州市西湖区转塘街道之江路2号"), 101},
      {"version", "\"version\":\"2.0.2\"", "\"version\":\"2.0.1\"", 101},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string body(buildScreeningRequest(101, addresses).body.view());
    const size_t at = body.find(c.from);
    ASSERT_NE(at, std::string::npos);
    if (std::string(c.name) == "timestamp") {
      // One second earlier: still inside the window, so only the signature can tell.
      const size_t digits = at + c.from.size();
      const size_t end = body.find(',', digits);
      const long long t = std::stoll(body.substr(digits, end - digits));
      body.replace(digits, end - digits, std::to_string(t - 1));
    } else {
      body.replace(at, c.from.size(), c.to);
    }
    const Reply r = post(c.pathId, body);
    EXPECT_EQ(r.code(), 40003) << r.body;
    EXPECT_FALSE(r.msg().empty());
  }
}

TEST_F(PickTest, MembersOutOfOrderAreRefused) {
  const ScreeningRequest request = buildScreeningRequest(101, {"浙江省杭州市上城区湖滨街道平海路1号"});
  JsonDocument sent;
  ASSERT_TRUE(sent.parse(request.body.view()));
  JsonMutableDocument reordered;
  JsonMutValue root = reordered.createObjectRoot();
  for (const char* key : {"serviceBusinessID", "addresses", "source", "timestamp", "version", "sign"}) {
    root.setParsed(key, sent.member(key).toJson());
  }
  const Reply r = post(101, reordered.serialize());
  EXPECT_NE(r.code(), 0);
  EXPECT_NE(r.msg().find("addresses"), std::string::npos) << r.msg();
}

TEST_F(PickTest, ARepeatedRequestIsRefusedButARetryAfterAServerErrorIsAnswered) {
  const ScreeningRequest request = buildScreeningRequest(101, {"浙江省杭州市上城区湖滨街道平海路1号"});
  api().addFaults(R"({"endpoint":"pick","status":502})");
  EXPECT_EQ(post(101, request.body).status, 502);
  const Reply answered = post(101, request.body);  // the client's retry sends the same body
  EXPECT_EQ(answered.code(), 0) << answered.body;
  const Reply again = post(101, request.body);
  EXPECT_EQ(again.code(), 40006);
  EXPECT_TRUE(again.json.at("/data").text().empty());
}

TEST_F(PickTest, TheTimestampMayBeUpTo300SecondsFromTheServiceClock) {
  const struct {
    long long offset;  // service clock minus client clock; the request is built just before
    bool accepted;
  } cases[] = {{299, true}, {302, false}, {-299, true}, {-302, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    api().setClockOffset(c.offset);
    const Screening s = screen({"浙江省杭州市上城区湖滨街道平海路1号"});
    if (c.accepted) {
      EXPECT_EQ(s.reply.code(), 0) << s.reply.body;
    } else {
      EXPECT_EQ(s.reply.code(), 40004) << s.reply.body;
    }
  }
}

TEST_F(PickTest, InvalidSessionsGetSessionCodes) {
  const ScreeningRequest request = buildScreeningRequest(101, {"浙江省杭州市上城区湖滨街道平海路1号"});
  for (const std::string& token : {std::string(), std::string("not-a-token")}) {
    const Reply r = api().call("POST", pickPath(101), std::string(request.body.view()), token);
    EXPECT_GE(r.code(), 20001);
    EXPECT_LE(r.code(), 20099);
  }
  api().setClockOffset(2 * 3600 + 10);
  const Reply expired = post(101, buildScreeningRequest(101, {"浙江省杭州市"}).body);
  EXPECT_GE(expired.code(), 20001);
  EXPECT_LE(expired.code(), 20099);
  EXPECT_FALSE(expired.msg().empty());
}

TEST_F(PickTest, OnlyTheAccountsOwnEnabledServiceScreens) {
  const std::vector<std::string> one = {"浙江省杭州市上城区湖滨街道平海路1号"};
  const struct {
    const char* name;
    int built, path, code;
  } cases[] = {
      {"path names another service", 101, 201, 40007},
      {"another account's service", 401, 401, 40301},
      {"no such service", 999, 999, 40401},
      {"disabled service", 204, 204, 40302},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Reply r = post(c.path, buildScreeningRequest(c.built, one).body);
    EXPECT_EQ(r.code(), c.code) << r.body;
  }
}

TEST_F(PickTest, ScreeningFaults) {
  const std::vector<std::string> three = {"杭州市余杭区文一西路998号", "浙江省杭州市上城区测试地址",
                                          "浙江省杭州市上城区湖滨街道平海路1号"};
  api().addFaults(R"({"endpoint":"pick","body":"undecryptable"})");
  const Screening undecryptable = screen(three);
  EXPECT_EQ(undecryptable.reply.code(), 0);
  EXPECT_FALSE(undecryptable.reply.msg().empty());
  EXPECT_FALSE(undecryptable.reply.json.at("/data").text().empty());
  EXPECT_TRUE(undecryptable.verdicts.empty());

  api().addFaults(R"({"endpoint":"pick","body":"fewer"})");
  EXPECT_EQ(screen(three).verdicts.root().size(), 2u);
  api().addFaults(R"({"endpoint":"pick","body":"fewer","entries":0})");
  const Screening none = screen(three);
  EXPECT_TRUE(none.verdicts.root().isArray());
  EXPECT_EQ(none.verdicts.root().size(), 0u);

  api().addFaults(utf8Text(u8R"({"endpoint":"pick","code":20002,"msg":"登录已过期"})"));
  const Screening expired = screen(three);
  EXPECT_EQ(expired.reply.code(), 20002);
  EXPECT_EQ(expired.reply.msg(), utf8Text(u8"登录已过期"));

  EXPECT_EQ(screen(three).verdicts.root().size(), 3u);
}

TEST_F(PickTest, AnswersSpoiledTheWaysTheClientMustCope) {
  const std::vector<std::string> two = {"浙江省杭州市西湖区转塘街道之江路1号",
                                        "杭州市西湖区浙江大学玉泉校区"};
  const Screening plain = screen(two);
  ASSERT_EQ(plain.verdicts.root().size(), 2u);

  // Base64 in lines of 76 characters ended by CRLF, the last line shorter or equal.
  api().addFaults(R"({"endpoint":"pick","body":"wrapped"})");
  const ScreeningRequest request = buildScreeningRequest(101, two);
  const Reply wrapped = post(101, request.body);
  ASSERT_EQ(wrapped.code(), 0) << wrapped.body;
  const std::string data = wrapped.json.at("/data").text();
  std::string joined;
  size_t lines = 0;
  for (size_t at = 0; at <= data.size(); ++lines) {
    const size_t end = std::min(data.find("\r\n", at), data.size());
    const size_t length = end - at;
    if (end < data.size()) {
      EXPECT_EQ(length, 76u) << "line " << lines;
    } else {
      EXPECT_LE(length, 76u);
      EXPECT_GT(length, 0u);
    }
    joined += data.substr(at, length);
    at = end + 2;
  }
  EXPECT_GT(lines, 2u);
  EXPECT_EQ(data.find('\n', data.size() - 1), std::string::npos) << "no break at the end";
  JsonDocument unwrapped;
  ASSERT_TRUE(unwrapped.parse(decryptData(joined, request.responseKey, request.responseIv)));
  EXPECT_EQ(unwrapped.root().toJson(), plain.verdicts.root().toJson());

  // Code 0 with an empty message and real data.
  api().addFaults(R"({"endpoint":"pick","body":"nomsg"})");
  const Screening silent = screen(two);
  EXPECT_EQ(silent.reply.code(), 0);
  EXPECT_TRUE(silent.reply.json.at("/msg").isString());
  EXPECT_EQ(silent.reply.msg(), "");
  EXPECT_EQ(silent.verdicts.root().toJson(), plain.verdicts.root().toJson());

  // Entries without one member, everything else as it was.
  for (const char* member : {"sites", "policies"}) {
    SCOPED_TRACE(member);
    api().addFaults(std::string(R"({"endpoint":"pick","body":"no)") + member + "\"}");
    const Screening missing = screen(two);
    ASSERT_EQ(missing.verdicts.root().size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
      const JsonValue got = missing.verdicts.root().element(i);
      const JsonValue had = plain.verdicts.root().element(i);
      EXPECT_FALSE(got.member(member)) << "still has " << member;
      EXPECT_EQ(got.member("input").text(), had.member("input").text());
      const char* other = std::string(member) == "sites" ? "policies" : "sites";
      EXPECT_EQ(got.member(other).toJson(), had.member(other).toJson());
    }
  }
}

TEST_F(PickTest, OnlyTheDesktopSourceIsServed) {
  const std::vector<std::string> one = {"浙江省杭州市上城区湖滨街道平海路1号"};
  for (const char* source : {"web", "PC", "", "pc "}) {
    SCOPED_TRACE(source);
    std::string body(buildScreeningRequest(101, one).body.view());
    const std::string sent = "\"source\":\"pc\"";
    const size_t at = body.find(sent);
    ASSERT_NE(at, std::string::npos);
    body.replace(at, sent.size(), "\"source\":\"" + std::string(source) + "\"");
    const Reply r = post(101, body);
    EXPECT_EQ(r.code(), 40001) << r.body;  // refused for the source, not the signature
    EXPECT_NE(r.msg().find("pc"), std::string::npos) << r.msg();
  }
}

// Addresses as shops receive them, from every part of the country: every 97th town of the
// gazetteer beside the sandbox, written out in full, with the kinds of detail that come in
// (a road and number, a village group, a parcel locker, a rough landmark, nothing at all).
std::vector<std::string> broadSampleOfAddresses() {
  const std::filesystem::path gazetteer =
      std::filesystem::path(defaultRulesPath()).parent_path() / "divisions.tsv";
  std::ifstream in(gazetteer, std::ios::binary);
  std::map<std::string, std::string> names;  // code -> name, UTF-8
  std::vector<std::string> towns;
  for (std::string line; std::getline(in, line);) {
    const size_t tab = line.find('\t');
    if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
    const std::string code = line.substr(0, tab);
    names[code] = line.substr(tab + 1);
    if (code.size() == 9) towns.push_back(code);
  }
  const std::vector<std::string> details = {
      utf8Text(u8"人民路18号"), utf8Text(u8"东风村3组"), utf8Text(u8"幸福小区5栋2单元301"),
      utf8Text(u8"菜鸟驿站"), utf8Text(u8"中心小学对面"), utf8Text(u8"新建村"), ""};
  std::vector<std::string> sample;
  for (size_t i = 0; i < towns.size(); i += 97) {
    const std::string& code = towns[i];
    std::string city = names[code.substr(0, 4)];
    // Containers of a municipality's districts and of counties governed by the province
    // are not written in addresses.
    if (city == utf8Text(u8"市辖区") || city == utf8Text(u8"县") ||
        city.find(utf8Text(u8"直辖")) != std::string::npos) {
      city.clear();
    }
    sample.push_back(names[code.substr(0, 2)] + city + names[code.substr(0, 6)] + names[code] +
                     details[sample.size() % details.size()]);
  }
  return sample;
}

TEST_F(PickTest, ABroadSampleOfTheCountryMeetsEveryKindOfVerdict) {
  const std::vector<std::string> sample = broadSampleOfAddresses();
  ASSERT_GE(sample.size(), 200u);
  const std::vector<JsonDocument> verdicts =
      screenAll(sample);
  ASSERT_EQ(verdicts.size(), sample.size());

  std::map<int, int> byType;
  int unrestricted = 0, farVillages = 0, farAddresses = 0;
  for (size_t i = 0; i < sample.size(); ++i) {
    SCOPED_TRACE(sample[i]);
    const JsonValue v = verdicts[i].root();
    EXPECT_EQ(v.member("input").text(), gbkToUtf8(utf8ToGbk(sample[i])));
    // Every district has a site, so every address (each names its district) has one.
    ASSERT_GE(v.member("sites").size(), 1u);
    for (size_t s = 1; s < v.member("sites").size(); ++s) {
      EXPECT_LE(v.at("/sites/" + std::to_string(s - 1) + "/acceptor/distance").toInt64(),
                v.at("/sites/" + std::to_string(s) + "/acceptor/distance").toInt64());
    }
    for (JsonValue p : v.member("policies").elements()) ++byType[p.member("type").toInt()];
    unrestricted += v.member("policies").size() == 0;
    const long long nearest = nearestDistance(v);
    farVillages += v.member("isVillage").toBool() && nearest >= kVillageLimit;
    farAddresses += nearest >= 50000;  // the client's default limit for remote addresses
  }
  for (int type : {1, 2, 3, 99}) EXPECT_GT(byType[type], 0) << "no restriction of type " << type;
  EXPECT_GT(unrestricted, static_cast<int>(sample.size()) / 4) << "most addresses are ordinary";
  EXPECT_GT(farVillages, 0);
  EXPECT_GT(farAddresses, 0);

  // The same sample again: the same verdicts, byte for byte.
  const std::vector<JsonDocument> again =
      screenAll(sample);
  ASSERT_EQ(again.size(), verdicts.size());
  for (size_t i = 0; i < sample.size(); ++i) {
    EXPECT_EQ(again[i].root().toJson(), verdicts[i].root().toJson()) << sample[i];
  }
}

TEST_F(PickTest, TheNationwideNetworkBySortOfPlace) {
  struct Case {
    const char* name;
    const char* address;  // GBK
    long long nearestFrom, nearestTo;  // metres
    std::u8string_view typeName;       // a restriction it must carry, empty: none at all
  };
  const Case cases[] = {
      {"street office", "北京市东城区东华门街道南池子大街10号", 600, 6100, u8""},
      {"town", "江苏省苏州市吴江区震泽镇宝塔街1号", 8000, 29500, u8""},
      {"village of that town", "江苏省苏州市吴江区震泽镇众安桥村3组", 10000, 40500, u8""},
      {"island", "浙江省舟山市普陀区沈家门街道海滨路1号", 600, 6100, u8"海岛加收"},
      {"remote area", "西藏自治区拉萨市城关区八廓街道北京东路1号", 1000, 11000, u8"偏远加收"},
      {"development zone", "北京市大兴区北京经济技术开发区荣华中路1号", 5000, 21500, u8"园区限制"},
      {"farm", "黑龙江省哈尔滨市南岗区红旗农场场部", 5000, 21500, u8"场区自提"},
      {"airport", "北京市大兴区大兴国际机场航站楼", 5000, 21500, u8"盲区停发"},
      {"parcel locker", "四川省成都市武侯区玉林街道丰巢快递柜", 600, 6100, u8"代收点"},
      {"detail too short", "湖南省长沙市岳麓区", 800, 7800, u8"地址不详"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Screening s = screen({c.address});
    ASSERT_EQ(s.reply.code(), 0) << s.reply.body;
    const JsonValue v = s.verdicts.at("/0");
    const long long nearest = nearestDistance(v);
    EXPECT_GE(nearest, c.nearestFrom) << v.toJson();
    EXPECT_LE(nearest, c.nearestTo) << v.toJson();
    EXPECT_EQ(v.at("/sites/0/name").text().rfind(utf8Text(u8"星河速运"), 0), 0u) << v.toJson();
    std::vector<std::string> names;
    for (JsonValue p : v.member("policies").elements()) names.push_back(p.member("typeName").text());
    if (c.typeName.empty()) {
      EXPECT_TRUE(names.empty()) << v.toJson();
    } else {
      EXPECT_NE(std::find(names.begin(), names.end(), utf8Text(c.typeName)), names.end()) << v.toJson();
    }
  }
  // Another project's addresses are not served by this network.
  const Screening other = screen({"江苏省苏州市吴江区震泽镇宝塔街1号"}, 201);
  EXPECT_EQ(other.verdicts.at("/0/sites").size(), 0u);
  EXPECT_EQ(other.verdicts.at("/0/policies").size(), 0u);
}

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(PickVersion, AVersionTheServiceNoLongerSupportsGets20701) {
  // The default rules with the current version blocked, beside copies of its pictures.
  const std::filesystem::path rules = defaultRulesPath();
  const auto folder = std::filesystem::temp_directory_path() /
                      ("sandbox-blocked-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  for (const char* picture : {"contact-qq.png", "contact-wechat.png"}) {
    std::filesystem::copy_file(rules.parent_path() / picture, folder / picture,
                               std::filesystem::copy_options::overwrite_existing);
  }
  std::string text = readAll(rules);
  const std::string current = R"({"id": 3, "version": "2.0.2", "forbidden": false})";
  const size_t at = text.find(current);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, current.size(), R"({"id": 3, "version": "2.0.2", "forbidden": true})");
  std::ofstream(folder / "rules.json", std::ios::binary) << text;

  SandboxProcess sandbox({"--rules", (folder / "rules.json").string()});
  ASSERT_NE(sandbox.port(), 0);
  SandboxClient api(sandbox.port());
  const std::string token = api.login();
  const Reply r = api.call("POST", pickPath(101),
                           std::string(buildScreeningRequest(101, {"浙江省杭州市上城区湖滨街道平海路1号"}).body.view()), token);
  EXPECT_EQ(r.code(), 20701);
  EXPECT_FALSE(r.msg().empty());
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace pv::testing
