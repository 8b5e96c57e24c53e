#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <string>

#include "core/json/json.h"
#include "core/text/codepage.h"
#include "tests/unit/utf8_literal.h"

namespace pv {
namespace {

struct GetterCase {
  const char* value;  // JSON text of the member "v"
  std::int32_t wantInt;
  bool wantBool;
  const char* wantText;
};

TEST(JsonGetters, IntegerBooleanAndStringRules) {
  const GetterCase cases[] = {
      {"\"20103\"", 20103, false, "20103"},
      {"20103.9", 20103, false, ""},
      {"-20103.9", -20103, false, ""},
      {"\"  -42abc\"", -42, false, "  -42abc"},
      {"\"\\t+7\"", 7, false, "\t+7"},
      {"\"abc\"", 0, false, "abc"},
      {"\"- 5\"", 0, false, "- 5"},
      {"\"\"", 0, false, ""},
      {"1", 1, false, ""},  // a number is never a boolean
      {"true", 0, true, ""},
      {"false", 0, false, ""},
      {"null", 0, false, ""},
      {"[7]", 0, false, ""},
      {"{\"a\":7}", 0, false, ""},
      {"1e12", INT_MAX, false, ""},  // beyond 32 bits: the nearest end of the range
      {"-1e12", INT_MIN, false, ""},
      {"\"99999999999999999999999\"", INT_MAX, false, "99999999999999999999999"},
      {"18446744073709551615", INT_MAX, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(std::string("{\"v\":") + c.value + "}"));
    const JsonValue v = doc.member("v");
    EXPECT_EQ(v.toInt(), c.wantInt);
    EXPECT_EQ(v.toBool(), c.wantBool);
    EXPECT_EQ(v.text(), c.wantText);
  }
}

TEST(JsonGetters, SixtyFourBitAndRealNumbers) {
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(R"({"t":1733829387123,"s":"-9000000000x","r":2.5,"n":"2.5"})"));
  EXPECT_EQ(doc.member("t").toInt64(), 1733829387123);
  EXPECT_EQ(doc.member("s").toInt64(), -9000000000);
  EXPECT_EQ(doc.member("r").toDouble(), 2.5);
  EXPECT_EQ(doc.member("n").toDouble(), 0.0);  // strings are not read as reals
}

TEST(JsonParse, FailedParseLeavesAnEmptyDocumentThatReadsNeutral) {
  const std::string bad[] = {
      "",
      "  \r\n",
      "{",
      "{}x",
      std::string("{}\0x", 4),  // the reader takes a zero byte for the end
      "{\"a\":1,}",
      "[1 2]",
      "{'a':1}",
      "{\"a\":01}",
      "{\"a\":1.}",
      "NaN",
      "// note\n{}",
      "\"a\nb\"",        // raw control character in a string
      "\"\xFF\"",        // not UTF-8
      "\"\xD6\xD0\"",    // GBK is not UTF-8 either
      "\xEF\xBB\xBF{}",  // byte-order mark
  };
  for (const std::string& text : bad) {
    SCOPED_TRACE(text);
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"data":{"token":"old"}})"));
    EXPECT_FALSE(doc.parse(text));
    EXPECT_TRUE(doc.empty());
    EXPECT_FALSE(doc.root());
    EXPECT_EQ(doc.root().type(), JsonType::None);
    EXPECT_EQ(doc.at("/data/token").text(), "");
    EXPECT_EQ(doc.member("data").size(), 0u);
    EXPECT_EQ(doc.at("/data").toInt(), 0);
    EXPECT_FALSE(doc.at("/data").toBool());
    EXPECT_EQ(doc.root().toJson(), "");
    EXPECT_NE(doc.errorText().find("\r\n错误位置: "), std::string::npos) << doc.errorText();
  }
}

TEST(JsonParse, AcceptsAnyValueWithBlanksAround) {
  JsonDocument doc;
  EXPECT_TRUE(doc.parse(" \t{\"a\":[]}\r\n "));
  EXPECT_EQ(doc.errorText(), "");
  EXPECT_TRUE(doc.parse("5"));
  EXPECT_EQ(doc.root().type(), JsonType::Number);
  EXPECT_TRUE(doc.parse(std::vector<std::uint8_t>{'[', '"', 0xE4, 0xB8, 0xAD, '"', ']'}));
  EXPECT_EQ(doc.at("/0").text(), utf8Text(u8"中"));
  EXPECT_TRUE(doc.parse(R"(["a\u0000b"])"));
  EXPECT_EQ(doc.root().element(0).size(), 3u);
  EXPECT_EQ(doc.root().element(0).text(), std::string("a\0b", 3));
}

TEST(JsonParse, ErrorTextNamesCodePositionAndReason) {
  JsonDocument doc;
  EXPECT_FALSE(doc.parse("{\"a\" 1}"));
  EXPECT_EQ(doc.errorText().rfind("错误类型: ", 0), 0u) << doc.errorText();
  EXPECT_NE(doc.errorText().find("\r\n错误位置: 5\r\n错误原因: "), std::string::npos) << doc.errorText();
}

TEST(JsonParse, DeepNestingNeitherOverflowsNorLoses) {
  const std::string deep = std::string(200000, '[') + std::string(200000, ']');
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(deep));
  EXPECT_EQ(doc.root().toJson(), deep);
}

TEST(JsonLookup, KeysAndPointers) {
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(R"({"data":{"token":"t1","list":[{"id":5},{"id":6}]},)"
                        R"("a/b":"slash","m~n":"tilde","":"empty","dup":"first","dup":"second","du":"short"})"));
  struct Case {
    const char* pointer;
    const char* want;  // nullptr: finds nothing
  };
  const Case cases[] = {
      {"/data/token", "t1"},
      {"data/token", nullptr},
      {"", nullptr},
      {"#/data/token", nullptr},
      {"/", "empty"},
      {"/a~1b", "slash"},
      {"/m~0n", "tilde"},
      {"/m~2n", nullptr},
      {"/m~", nullptr},
      {"/dup", "first"},
      {"/DUP", nullptr},
      {"/data/token/x", nullptr},
      {"/data/missing", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pointer);
    const JsonValue v = doc.at(c.pointer);
    EXPECT_EQ(static_cast<bool>(v), c.want != nullptr);
    if (c.want) {
      EXPECT_EQ(v.text(), c.want);
    }
  }
  struct IndexCase {
    const char* pointer;
    int want;  // 0: finds nothing
  };
  const IndexCase indexCases[] = {
      {"/data/list/0/id", 5}, {"/data/list/1/id", 6}, {"/data/list/01/id", 0},
      {"/data/list/2/id", 0}, {"/data/list/-", 0},    {"/data/list/+1/id", 0},
  };
  for (const auto& c : indexCases) {
    SCOPED_TRACE(c.pointer);
    EXPECT_EQ(doc.at(c.pointer).toInt(), c.want);
  }
  EXPECT_EQ(doc.at("/data/list").size(), 2u);
  EXPECT_EQ(doc.member("dup").text(), "first");
  EXPECT_EQ(doc.member("du").text(), "short");
  EXPECT_FALSE(doc.member("d"));
  // A pointer from a value starts at that value.
  EXPECT_EQ(doc.at("/data").at("/list/1/id").toInt(), 6);
  EXPECT_EQ(doc.member("data").member("token").text(), "t1");
}

TEST(JsonLookup, IteratesMembersAndElementsInOrder) {
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(R"({"b":1,"a":[10,20,30],"b":2})"));
  std::string seen;
  for (const auto& [key, value] : doc.root().members()) seen += key + "=" + value.toJson() + ";";
  EXPECT_EQ(seen, "b=1;a=[10,20,30];b=2;");
  int sum = 0;
  for (JsonValue e : doc.member("a").elements()) sum += e.toInt();
  EXPECT_EQ(sum, 60);
  EXPECT_EQ(doc.root().keys(), (std::vector<std::string>{"b", "a", "b"}));
  EXPECT_EQ(JsonValue().members().begin() == JsonValue().members().end(), true);
}

TEST(JsonBuild, CompactOutputInMemberOrder) {
  JsonMutableDocument doc;
  JsonMutValue root = doc.createObjectRoot();
  EXPECT_TRUE(root.setString("name", utf8Text(u8"客户端")));
  EXPECT_TRUE(root.setString("version", "2.0.2"));
  EXPECT_TRUE(root.setInt("id", 7));
  JsonMutValue list = root.setNewArray("addresses");
  EXPECT_TRUE(list.appendString("a"));
  EXPECT_TRUE(list.appendInt(-1733829387123));
  EXPECT_TRUE(list.appendNewObject().setBool("ok", true));
  EXPECT_TRUE(list.appendParsed(" [null , 2.5] "));
  EXPECT_EQ(doc.serialize(), utf8Text(u8"{\"name\":\"客户端\",\"version\":\"2.0.2\",\"id\":7,"
                                      u8"\"addresses\":[\"a\",-1733829387123,{\"ok\":true},[null,2.5]]}"));
}

TEST(JsonBuild, ReplaceFlagKeepsOneMemberOrAddsASecond) {
  JsonMutableDocument doc;
  JsonMutValue root = doc.createObjectRoot();
  root.setInt("k", 1);
  root.setString("other", "x");
  root.setInt("k", 2);
  EXPECT_EQ(doc.serialize(), R"({"k":2,"other":"x"})");
  root.setInt("k", 3, false);
  EXPECT_EQ(doc.serialize(), R"({"k":2,"other":"x","k":3})");
  EXPECT_TRUE(root.removeMember("k"));
  EXPECT_EQ(doc.serialize(), R"({"other":"x"})");
  EXPECT_FALSE(root.removeMember("k"));
}

TEST(JsonBuild, ArrayIndexReplacesOrFails) {
  JsonMutableDocument doc;
  JsonMutValue arr = doc.createArrayRoot();
  arr.appendInt(1);
  arr.appendInt(2);
  EXPECT_TRUE(arr.element(1).assignString("two"));
  EXPECT_FALSE(arr.element(2).assignString("beyond"));  // one past the end is beyond it
  EXPECT_TRUE(arr.appendNull());
  EXPECT_EQ(doc.serialize(), R"([1,"two",null])");
  EXPECT_TRUE(arr.removeElement(0));
  EXPECT_FALSE(arr.removeElement(2));
  EXPECT_EQ(doc.serialize(), R"(["two",null])");
  // Setters of the wrong kind of container do nothing.
  EXPECT_FALSE(arr.setInt("k", 1));
  EXPECT_FALSE(doc.root().element(0).appendInt(1));
  EXPECT_FALSE(JsonMutValue().assignInt(1));
  EXPECT_FALSE(arr.appendDouble(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(doc.serialize(), R"(["two",null])");
}

TEST(JsonBuild, ParsedTextReplacesAMemberOnlyWhenValid) {
  JsonMutableDocument doc;
  ASSERT_TRUE(doc.parse(R"({"code":0,"msg":"ok","data":"c2VjcmV0"})"));
  EXPECT_FALSE(doc.root().setParsed("data", "[{\"input\":"));
  EXPECT_EQ(doc.member("data").text(), "c2VjcmV0");
  EXPECT_TRUE(doc.root().setParsed("data", R"([{"input":"x","policies":[]}])"));
  EXPECT_EQ(doc.at("/data/0/input").text(), "x");
  EXPECT_EQ(doc.serialize(), R"({"code":0,"msg":"ok","data":[{"input":"x","policies":[]}]})");
}

TEST(JsonBuild, HandlesStayValidWhileTheDocumentGrows) {
  JsonMutableDocument doc;
  ASSERT_TRUE(doc.parse(R"({"data":[{"input":"a","sites":[{"name":"s1"}]}]})"));
  JsonMutValue data = doc.member("data");
  JsonMutValue entry = data.element(0);
  JsonMutValue sites = entry.member("sites");
  // Growing the containers that hold these values moves them inside the library.
  JsonMutValue policies = entry.setNewArray("policies");
  for (int i = 0; i < 50; ++i) entry.setInt(std::to_string(i), i);
  for (int i = 0; i < 50; ++i) data.appendNewObject();
  JsonMutValue policy = policies.appendNewObject();
  for (int i = 0; i < 50; ++i) policies.appendNull();
  EXPECT_TRUE(policy.setInt("type", 1));
  EXPECT_TRUE(policy.setString("object", sites.element(0).member("name").text()));
  EXPECT_EQ(doc.at("/data/0/policies/0").toJson(), R"({"type":1,"object":"s1"})");
  EXPECT_EQ(data.size(), 51u);

  // A handle whose place is gone reads as nothing; a new root invalidates every handle.
  JsonMutValue last = data.element(50);
  data.removeElement(0);
  EXPECT_FALSE(last);
  doc.createObjectRoot();
  EXPECT_FALSE(data);
  EXPECT_FALSE(data.appendInt(1));
  EXPECT_EQ(doc.serialize(), "{}");
}

TEST(JsonBuild, MutableReadsFollowTheSameRules) {
  JsonMutableDocument doc;
  ASSERT_TRUE(doc.parse(R"({"code":"20103","flag":1,"sites":[{"acceptor":{"distance":16000.7}}]})"));
  EXPECT_EQ(doc.member("code").toInt(), 20103);
  EXPECT_FALSE(doc.member("flag").toBool());
  EXPECT_EQ(doc.at("/sites/0/acceptor/distance").toInt(), 16000);
  EXPECT_FALSE(doc.at("sites"));
  EXPECT_FALSE(doc.parse(""));
  EXPECT_EQ(doc.serialize(), "");
  EXPECT_FALSE(doc.root().setInt("a", 1));
}

struct EscapeCase {
  const char* name;
  std::string value;
  std::uint32_t flags;
  std::string want;  // the serialised string, quotes included
};

TEST(JsonSerialize, EscapesOnlyWhatJsonRequires) {
  const EscapeCase cases[] = {
      {"quote and backslash", "a\"b\\c", 0, R"("a\"b\\c")"},
      {"slash stays", "http://x/y", 0, R"("http://x/y")"},
      {"named controls", "\b\t\n\f\r", 0, R"("\b\t\n\f\r")"},
      {"other controls", std::string("\x00\x01\x1F\x7F", 4), 0, "\"\\u0000\\u0001\\u001F\x7F\""},
      {"utf-8 as it is", utf8Text(u8"中/文😀"), 0, utf8Text(u8"\"中/文😀\"")},
      // Without the flag the output stays UTF-8: a byte that starts no character is U+FFFD.
      // "誠" is D5 5C in GBK: its second byte is then a backslash of its own.
      {"gbk without the flag", "\xD5\x5C", 0, "\"\xEF\xBF\xBD\\\\\""},
      {"stray continuation", "a\x80" "b", 0, "\"a\xEF\xBF\xBD" "b\""},
      {"overlong slash", "\xC0\xAF", 0, "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"encoded surrogate", "\xED\xA0\x80", 0, "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", 0, "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"cut before the quote", "\xE4\xB8\"", 0, "\"\xEF\xBF\xBD\xEF\xBF\xBD\\\"\""},
      // With the double-byte flag a GBK pair is copied whole, whatever its trail byte...
      {"gbk pair kept", "\xD5\x5C\xAB\x7C\xD6\xD0", kJsonDoubleByteText, "\"\xD5\x5C\xAB\x7C\xD6\xD0\""},
      {"pair then escapes", "\xD5\x5C\"\n", kJsonDoubleByteText, "\"\xD5\x5C\\\"\\n\""},
      {"pair of the highest bytes", "\xFE\xFE", kJsonDoubleByteText, "\"\xFE\xFE\""},
      // ...and any other byte of 0x80 or above is "?": it must not take the next byte along.
      {"0x80 before a quote", "\x80\"", kJsonDoubleByteText, "\"?\\\"\""},
      {"lead before a quote", "abc\xB0\"def", kJsonDoubleByteText, "\"abc?\\\"def\""},
      {"0xFF before a backslash", "\xFF\\", kJsonDoubleByteText, "\"?\\\\\""},
      {"lead before 0x7F", "\x81\x7F", kJsonDoubleByteText, "\"?\x7F\""},
      {"lead before a control", "\xB0\n", kJsonDoubleByteText, "\"?\\n\""},
      {"lead byte at the end", "a\xD6", kJsonDoubleByteText, "\"a?\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    JsonMutableDocument doc;
    doc.createArrayRoot().appendString(c.value);
    EXPECT_EQ(doc.serialize(c.flags), "[" + c.want + "]");
    // Keys are written the same way.
    JsonMutableDocument keyed;
    keyed.createObjectRoot().setInt(c.value, 1);
    EXPECT_EQ(keyed.serialize(c.flags), "{" + c.want + ":1}");
  }
}

TEST(JsonSerialize, NumbersAndEmptyContainers) {
  JsonMutableDocument doc;
  ASSERT_TRUE(doc.parse("[1,-2,3.5,1e2,0.1,-0.0,12345678901234,18446744073709551615,{},[],true]"));
  EXPECT_EQ(doc.serialize(), "[1,-2,3.5,100.0,0.1,-0.0,12345678901234,18446744073709551615,{},[],true]");
  JsonMutableDocument empty;
  EXPECT_EQ(empty.serialize(), "");
}

// Zero written as a real once read as a huge or tiny non-zero number ("0e100" as -2e146).
TEST(JsonParse, ZeroWrittenAsARealReadsAsZero) {
  const struct {
    std::string text;
    std::string want;
  } cases[] = {
      {"[0e100]", "[0.0]"},
      {"[0E+100,-0e38,0.000e200,-0.0E-50]", "[0.0,-0.0,0.0,-0.0]"},
      {"[0." + std::string(30, '0') + "]", "[0.0]"},
      {"[0e400]", "[0.0]"},
      {"[10e100,0.5e100,0e5,1e-400]", "[1e101,5e99,0.0,0.0]"},
      {R"({"0e100":"0e100"})", R"({"0e100":"0e100"})"},  // strings are left alone
      {"[0e300, -0e100, 0." + std::string(400, '0') + "e300, -0." + std::string(40, '0') + "1e-300]",
       "[0.0,-0.0,0.0,-0.0]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(c.text)) << doc.errorText();
    EXPECT_EQ(doc.root().toJson(), c.want);
    JsonMutableDocument mut;  // the document that is written to reads numbers the same way
    ASSERT_TRUE(mut.parse(c.text)) << mut.errorText();
    EXPECT_EQ(mut.serialize(), c.want);
  }
  // Invalid numbers stay invalid, and a fault after a zero is reported where it stands.
  for (const char* bad : {"[00e5]", "[0.e5]", "[0e]", "[-e5]", "[0e3e100]", "[0.0e1.5]", "0e100-1"}) {
    JsonDocument doc;
    EXPECT_FALSE(doc.parse(bad)) << bad;
  }
  JsonDocument doc;
  EXPECT_FALSE(doc.parse("[0e100x]"));
  EXPECT_NE(doc.errorText().find("错误位置: 6\r\n"), std::string::npos) << doc.errorText();
}

// Beyond the range of a double: too big is refused (as "1e400" always was), too small is
// zero. Many digits once read past the end of the reader's table of powers.
TEST(JsonParse, NumbersBeyondADoubleAreRefusedOrZero) {
  const std::string seventyDigits = "8999999990000000000000000000000000000000000326517937946610000000053";
  const std::string tooBig[] = {"[" + seventyDigits + "61e308]", "[1e400]", "[-1e309]", "[0.1e311]",
                                "[1" + std::string(320, '0') + "]", "[1" + std::string(300, '0') + "e10]"};
  for (const std::string& big : tooBig) {
    JsonDocument doc;
    EXPECT_FALSE(doc.parse(big)) << big;
    EXPECT_NE(doc.errorText().find("错误位置: 1\r\n"), std::string::npos) << doc.errorText();
  }
  const struct {
    std::string text;
    std::string want;
  } cases[] = {
      {"[1e-400,-1e-999999999999,0.0000001e-330]", "[0.0,-0.0,0.0]"},
      {"[1.7976931348623157e308,4.9e-324,1e-323]", "[1.7976931348623157e308,5e-324,1e-323]"},
      {"[123e-2,0.05e3," + seventyDigits + "e-60]", "[1.23,50.0,8999999.99]"},
      // 2^64 - 1 and more digits once read as -2.58e266.
      {"[18446744073709551615744,-18446744073709551615.5,18446744073709551615e2]",
       "[1.8446744073709552e22,-18446744073709553000.0,1.8446744073709552e21]"},
      {"[18446744073709551615,18446744073709551616]", "[18446744073709551615,18446744073709553000.0]"},
      {"[1844674407370955161.55]", "[1844674407370955300.0]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(c.text)) << doc.errorText();
    EXPECT_EQ(doc.root().toJson(), c.want);
  }
  JsonDocument fraction;  // the same twenty digits after the point
  ASSERT_TRUE(fraction.parse("[0.000000018446744073709551615666]"));
  EXPECT_DOUBLE_EQ(fraction.at("/0").toDouble(), 1.8446744073709552e-8);
}

TEST(JsonSerialize, GbkTextSurvivesTheTripToUtf8AndBack) {
  // The request body is built from GBK texts, serialised with the double-byte flag, and
  // reaches the service as UTF-8; the service must read back the very characters.
  const std::string address = "北京市朝阳区誠珅路\"1\"号\\2";
  JsonMutableDocument doc;
  doc.createObjectRoot().setString("address", address);
  const std::string gbkBody = doc.serialize(kJsonDoubleByteText);
  JsonDocument wire;
  ASSERT_TRUE(wire.parse(gbkToUtf8(gbkBody))) << wire.errorText();
  EXPECT_EQ(utf8ToGbk(wire.member("address").text()), address);
}

// A \u escape of half a surrogate pair names no character. The reader takes it as U+FFFD
// rather than refusing the document: one broken character in a remark must not cost a whole
// answer, and what the strict reader accepts the writer must give back as UTF-8.
TEST(JsonParse, LoneSurrogateEscapesReadAsReplacementCharacter) {
  const std::string fffd = "\xEF\xBF\xBD";
  const std::string grin = "\xF0\x9F\x98\x80";  // U+1F600 from \ud83d\ude00
  const struct {
    const char* name;
    const char* escaped;
    std::string want;
    std::string gbkWant;  // read with kJsonDoubleByteText: every escape beyond ASCII is "?"
  } cases[] = {
      {"lone high", R"(a\ud83d)", "a" + fffd, "a?"},
      {"lone low", R"(\ude00b)", fffd + "b", "?b"},
      {"reversed pair", R"(\ude00\ud83d)", fffd + fffd, "??"},
      {"high before a letter", R"(\uD83Dx)", fffd + "x", "?x"},
      {"high before another escape", R"(\ud83d\n)", fffd + "\n", "?\n"},
      {"high before a high and its low", R"(\ud83d\ud83d\ude00)", fffd + grin, "??"},
      {"a whole pair stays", R"(\ud83d\ude00)", grin, "?"},
      {"escaped backslash before u", R"(\\ud800)", "\\ud800", "\\ud800"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = std::string("{\"") + c.escaped + "\":\"" + c.escaped + "\"}";
    JsonMutableDocument doc;
    ASSERT_TRUE(doc.parse(text)) << doc.errorText();
    ASSERT_EQ(doc.root().keys(), std::vector<std::string>{c.want});
    EXPECT_EQ(doc.member(c.want).text(), c.want);
    const std::string once = doc.serialize();
    JsonDocument again;
    ASSERT_TRUE(again.parse(once)) << again.errorText();
    EXPECT_EQ(again.root().toJson(), once);
    JsonDocument gbk;
    ASSERT_TRUE(gbk.parse(text, kJsonDoubleByteText)) << gbk.errorText();
    EXPECT_EQ(gbk.member(c.gbkWant).text(), c.gbkWant);
  }
  // The mended text keeps its length: a later fault is reported where it stands.
  JsonDocument doc;
  EXPECT_FALSE(doc.parse(R"(["\ud800",x])"));
  EXPECT_NE(doc.errorText().find("错误位置: 10\r\n"), std::string::npos) << doc.errorText();
}

// With the double-byte flag both sides pair bytes the same way: a lead byte 0x81-0xFE and a
// trail byte 0x40-0xFE but 0x7F make a character; every other byte stands alone. A document
// read with the flag and written again is the same document, and writing is a fixed point.
TEST(JsonDoubleByte, ReaderAndWriterPairBytesByOneRule) {
  const struct {
    const char* name;
    std::string text;   // a JSON string as it stands in the document
    std::string value;  // the bytes read, empty when the document is refused
    std::string out;    // written again
  } cases[] = {
      {"trail byte is a backslash", "\"x\xD5\x5Cy\"", "x\xD5\x5Cy", "\"x\xD5\x5Cy\""},
      {"backslash pair before the quote", "\"\xD5\x5C\"", "\xD5\x5C", "\"\xD5\x5C\""},
      {"trail byte is a bar", "\"\xD8\x7C\"", "\xD8\x7C", "\"\xD8\x7C\""},
      {"pair then an escaped quote", "\"\xF2\x5C\\\"\"", "\xF2\x5C\"", "\"\xF2\x5C\\\"\""},
      {"lead takes the backslash, the quote closes", "\"\xB0\\\"", "\xB0\x5C", "\"\xB0\x5C\""},
      {"lead takes the backslash, the quote is escaped", "\"\xB0\\\\\"", "", ""},
      {"lead before the quote stands alone", "\"a\x81\"", "a\x81", "\"a?\""},
      {"0x80 stands alone", "\"\x80\"", "\x80", "\"?\""},
      {"0xFF then an escaped backslash", "\"\xFF\\\\\"", "\xFF\\", "\"?\\\\\""},
      {"0x7F is no trail byte", "\"\x81\x7F\"", "\x81\x7F", "\"?\x7F\""},
      {"escapes beyond ascii are ?", "\"\\u4e2d\\u0041\\ud800\"", "?A?", "\"?A?\""},
      {"raw control still refused", "\"\xD5\n\"", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool asKey : {false, true}) {
      const std::string text = asKey ? "{" + c.text + ":0}" : "[" + c.text + "]";
      JsonMutableDocument doc;
      if (c.value.empty()) {
        EXPECT_FALSE(doc.parse(text, kJsonDoubleByteText));
        continue;
      }
      ASSERT_TRUE(doc.parse(text, kJsonDoubleByteText)) << doc.errorText();
      EXPECT_EQ(asKey ? doc.root().keyAt(0) : doc.root().element(0).text(), c.value);
      const std::string once = doc.serialize();
      EXPECT_EQ(once, asKey ? "{" + c.out + ":0}" : "[" + c.out + "]");
      JsonMutableDocument again;
      ASSERT_TRUE(again.parse(once, kJsonDoubleByteText)) << again.errorText();
      EXPECT_EQ(again.serialize(), once);
    }
  }
  // A whole GBK document, refused before because 誠's second byte looked like an escape.
  JsonDocument doc;
  ASSERT_TRUE(doc.parse("{\"a\":\"x誠y\"}", kJsonDoubleByteText)) << doc.errorText();
  EXPECT_EQ(doc.member("a").text(), "x誠y");
}

TEST(JsonSerialize, ParsedDoubleByteFlagCarriesOver) {
  JsonMutableDocument doc;
  ASSERT_TRUE(doc.parse("[\"\xD6\xD0\"]", kJsonDoubleByteText));  // not UTF-8, accepted
  doc.root().appendString("\xD5\x5C");
  EXPECT_EQ(doc.serialize(), "[\"\xD6\xD0\",\"\xD5\x5C\"]");
}

}  // namespace
}  // namespace pv
