// The settings stores: our ini files, and on Windows the private-profile functions, meet one
// contract. IniDocument's own cases pin the file behaviour it copies from the platform.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "core/settings/ini_file.h"
#include "core/settings/settings_codec.h"
#include "tests/unit/settings_fakes.h"
#ifdef _WIN32
#include "platform/win32/settings_store.h"
#endif

namespace pv {
namespace {

using testing_settings::fileBytes;
using testing_settings::ScratchFolder;

TEST(IniDocument, ReadsValuesAsThePrivateProfileFunctionsDo) {
  const IniDocument doc(
      "; written by hand\r\n"
      "[编辑框]\r\n"
      "  编辑框_地址 =  北京 \t\r\n"
      "Quoted=\"  kept  \"\r\n"
      "single='x'\r\n"
      "half=\"x\r\n"
      "mixed=\"x'\r\n"
      "nothing=\r\n"
      "no equals sign\r\n"
      "编辑框_地址=second\r\n"
      "[ Other ]\n"
      "k=v=w\n"
      "[last]\n"
      "tail=1");
  struct Case {
    const char* section;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"编辑框", "编辑框_地址", "北京"},  // blanks around names and value go; first key wins
      {"编辑框", "quoted", "  kept  "},   // names ignore ASCII case; one pair of quotes goes
      {"编辑框", "single", "x"},
      {"编辑框", "half", "\"x"},
      {"编辑框", "mixed", "\"x'"},
      {"编辑框", "nothing", ""},
      {"编辑框", "no equals sign", ""},
      {"other", "K", "v=w"},
      {"last", "tail", "1"},  // no line end at the end of the file
      {"编辑框", "k", ""},
      {"missing", "k", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    EXPECT_EQ(doc.get(c.section, c.key), c.value);
  }
}

TEST(IniDocument, WritesInPlaceAndKeepsForeignLines) {
  IniDocument doc(
      "; comment\n"
      "[选择框]\n"
      "选择框_盲区停发=真\n"
      "\n"
      "[组合框]\n"
      "x=1\n");
  EXPECT_TRUE(doc.set("选择框", "选择框_盲区停发", "假"));      // replaced where it stands
  EXPECT_TRUE(doc.set("选择框", "选择框_超区加收", "真"));      // after the last key, not the gap
  EXPECT_TRUE(doc.set("编辑框", "编辑框_地址", "甲><br><乙"));  // new section at the end
  EXPECT_EQ(doc.text(),
            "; comment\r\n"
            "[选择框]\r\n"
            "选择框_盲区停发=假\r\n"
            "选择框_超区加收=真\r\n"
            "\r\n"
            "[组合框]\r\n"
            "x=1\r\n"
            "[编辑框]\r\n"
            "编辑框_地址=甲><br><乙\r\n");

  IniDocument empty;
  EXPECT_TRUE(empty.set("编辑框", "编辑框_账户", ""));
  EXPECT_EQ(empty.text(), "[编辑框]\r\n编辑框_账户=\r\n");
}

TEST(IniDocument, StrayLeadByteInANameIsACharacterOfItsOwn) {
  // The "=" after a lead byte is no trail byte: it still ends the key.
  IniDocument doc;
  ASSERT_TRUE(doc.set("s", "k\xE1", "v"));
  EXPECT_EQ(doc.text(), "[s]\r\nk\xE1=v\r\n");
  EXPECT_EQ(IniDocument(doc.text()).get("s", "k\xE1"), "v");
  // Before "]" it would pair with it ("\xE1]" is a GBK character): such a section is refused.
  EXPECT_FALSE(doc.set("s\xE1", "k", "v"));
  EXPECT_TRUE(doc.set("s\xE1\xA1", "k", "v"));
  EXPECT_EQ(IniDocument(doc.text()).get("s\xE1\xA1", "k"), "v");
}

TEST(IniDocument, RefusesLinesThatWouldNotReadBack) {
  IniDocument doc("[s]\r\nk=v\r\n");
  EXPECT_FALSE(doc.set("s", "k", "a\r\nb"));
  EXPECT_FALSE(doc.set("s", "k", "a\nb"));
  EXPECT_FALSE(doc.set("s\n", "k", "v"));
  EXPECT_FALSE(doc.set("s", "k\r", "v"));
  EXPECT_FALSE(doc.set("s", "a=b", "v"));
  EXPECT_FALSE(doc.set("s]", "k", "v"));
  EXPECT_FALSE(doc.set("s", ";k", "v"));
  EXPECT_FALSE(doc.set("s", "[k", "v"));
  EXPECT_FALSE(doc.set("", "k", "v"));
  EXPECT_FALSE(doc.set("s", " ", "v"));
  EXPECT_EQ(doc.text(), "[s]\r\nk=v\r\n");
}

// One store under test, with the folder that stands for the program's folder.
struct StoreMaker {
  const char* name;
  friend void PrintTo(const StoreMaker& b, std::ostream* os) { *os << b.name; }
  std::function<std::unique_ptr<SettingsStore>(const std::filesystem::path&)> make;
};

std::vector<StoreMaker> storeMakers() {
  std::vector<StoreMaker> makers{
      {"IniFileStore", [](const std::filesystem::path& folder) -> std::unique_ptr<SettingsStore> {
         return std::make_unique<IniFileStore>(folder);
       }}};
#ifdef _WIN32
  makers.push_back({"PrivateProfileStore",
                    [](const std::filesystem::path& folder) -> std::unique_ptr<SettingsStore> {
                      return std::make_unique<PrivateProfileStore>(folder, folder);
                    }});
#endif
  return makers;
}

class SettingsStoreContract : public ::testing::TestWithParam<StoreMaker> {
 protected:
  ScratchFolder folder;
  std::unique_ptr<SettingsStore> store = GetParam().make(folder.path());
};

TEST_P(SettingsStoreContract, MissingFileSectionOrKeyReadsEmpty) {
  EXPECT_EQ(store->read("absent.ini", "编辑框", "编辑框_地址"), "");
  ASSERT_TRUE(store->write("a.ini", "编辑框", "编辑框_地址", "北京"));
  EXPECT_EQ(store->read("a.ini", "选择框", "编辑框_地址"), "");
  EXPECT_EQ(store->read("a.ini", "编辑框", "编辑框_账户"), "");
}

TEST_P(SettingsStoreContract, GbkNamesAndValuesRoundTripAndOverwrite) {
  ASSERT_TRUE(store->write("a.ini", "编辑框", "编辑框_地址", "甲><br><乙#引号"));
  ASSERT_TRUE(store->write("a.ini", "选择框", "选择框_盲区停发", "假"));
  ASSERT_TRUE(store->write("a.ini", "编辑框", "编辑框_偏远距离", "50000"));
  EXPECT_EQ(store->read("a.ini", "编辑框", "编辑框_地址"), "甲><br><乙#引号");
  EXPECT_EQ(store->read("a.ini", "选择框", "选择框_盲区停发"), "假");
  ASSERT_TRUE(store->write("a.ini", "编辑框", "编辑框_地址", ""));
  EXPECT_EQ(store->read("a.ini", "编辑框", "编辑框_地址"), "");
  EXPECT_EQ(store->read("a.ini", "编辑框", "编辑框_偏远距离"), "50000");
  // Files are apart.
  EXPECT_EQ(store->read("b.ini", "选择框", "选择框_盲区停发"), "");
  // The file is the system's kind: GBK text with CRLF line ends.
  const std::string bytes = fileBytes(folder.path() / "a.ini");
  EXPECT_NE(bytes.find("[选择框]\r\n选择框_盲区停发=假\r\n"), std::string::npos) << bytes;
}

TEST_P(SettingsStoreContract, OuterBlanksAndOnePairOfQuotesAreDroppedOnReading) {
  ASSERT_TRUE(store->write("a.ini", "s", "blanks", "  x y  "));
  ASSERT_TRUE(store->write("a.ini", "s", "quoted", "\"x\""));
  ASSERT_TRUE(store->write("a.ini", "s", "inner", "a\"b\"c"));
  EXPECT_EQ(store->read("a.ini", "s", "blanks"), "x y");
  EXPECT_EQ(store->read("a.ini", "s", "quoted"), "x");
  EXPECT_EQ(store->read("a.ini", "s", "inner"), "a\"b\"c");
}

TEST_P(SettingsStoreContract, RefusesValuesThatAreNotOneLine) {
  EXPECT_FALSE(store->write("a.ini", "s", "k", "a\r\nb=c"));
  EXPECT_EQ(store->read("a.ini", "s", "b"), "");
}

TEST_P(SettingsStoreContract, EmptyFileNameIsTheDefaultFileUnderTheProgramFolder) {
  ASSERT_FALSE(std::filesystem::exists(folder.path() / "data"));
  EXPECT_EQ(store->read("", "编辑框", "编辑框_地址"), "");
  EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "data"));
  ASSERT_TRUE(store->write("", "编辑框", "编辑框_地址", "北京"));
  EXPECT_EQ(store->read("", "编辑框", "编辑框_地址"), "北京");
  EXPECT_NE(fileBytes(folder.path() / "data" / "setsoft.ini").find("编辑框_地址=北京"),
            std::string::npos);
}

TEST_P(SettingsStoreContract, LongValuesReadBackAtLeastToTheLimit) {
  std::string value;
  while (value.size() < 12000) value += "中文abc";
  ASSERT_TRUE(store->write("a.ini", "编辑框", "编辑框_地址", value));
  const std::string read = limitSettingsValue(store->read("a.ini", "编辑框", "编辑框_地址"));
  EXPECT_EQ(read, limitSettingsValue(value));
  EXPECT_GE(read.size(), kSettingsValueLimit - 1);
}

INSTANTIATE_TEST_SUITE_P(Stores, SettingsStoreContract, ::testing::ValuesIn(storeMakers()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pv
