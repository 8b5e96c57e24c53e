#include "core/import/import_records.h"

#include "core/regex/regex.h"
#include "core/regex/regex_matcher.h"
#include "core/text/codepage.h"
#include "core/text/text.h"

namespace pv {
namespace {

// Exports often carry the shop's own address beside the consignee's (收货地址 … 发货地址),
// and the plain 地址 of most patterns finds both. Screening the shop's address tells the
// operator nothing, so such a header is skipped. Compared in UTF-16, which does not depend
// on how the literals were compiled.
constexpr std::u16string_view kSenderWords[] = {u"发货", u"发件", u"寄件", u"寄方", u"退货"};

bool namesSender(std::u16string_view text) {
  for (const std::u16string_view word : kSenderWords) {
    if (text.find(word) != std::u16string_view::npos) return true;
  }
  return false;
}

}  // namespace

const std::string& ImportProfile::pattern(int slot) const {
  return const_cast<ImportProfile*>(this)->pattern(slot);
}

std::string& ImportProfile::pattern(int slot) {
  switch (slot) {
    case 0: return regionPattern;
    case 1: return cityPattern;
    case 2: return districtPattern;
    case 3: return streetPattern;
    case 4: return addressPattern;
    default: return orderNoPattern;
  }
}

bool headerPatternFinds(std::string_view pattern, std::string_view text) {
  RegexMatcher matcher;
  return matcher.execute(pattern, text) && matcher.matchCount() > 0;
}

struct HeaderMatcher::Compiled {
  Regex regex;
  RegexMatches scratch;
};

HeaderMatcher::HeaderMatcher(const ImportProfile& profile) {
  for (int slot = 0; slot < kImportSlots; ++slot) {
    patterns_[slot] = profile.pattern(slot);
    if (patterns_[slot].empty()) continue;
    const std::u16string wide = gbkToUtf16(patterns_[slot]);
    if (wide.empty()) continue;  // does not convert: an invalid pattern, finds nothing
    skipsSender_[slot] = slot <= kAddressSlot && !namesSender(wide);
    auto compiled = std::make_unique<Compiled>();
    compiled->regex = Regex::compile(wide);
    compiled_[slot] = std::move(compiled);
  }
}

HeaderMatcher::~HeaderMatcher() = default;

bool HeaderMatcher::finds(int slot, std::string_view text) const {
  if (patterns_[slot].empty()) return false;
  return finds(slot, text, gbkToUtf16(text));
}

bool HeaderMatcher::finds(int slot, std::string_view text, std::u16string_view wide) const {
  const auto& compiled = compiled_[slot];
  if (!compiled || !compiled->regex.valid()) return false;
  if (wide.empty() && !text.empty()) {
    // A byte the code page refuses (a cell cut inside a character) stands for "?"; should
    // the text still not convert, it goes the matcher's slower lenient way.
    std::string clean;
    for (size_t i = 0; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c < 0x80) {
        clean.push_back(static_cast<char>(c));
      } else if (isGbkLeadByte(c) && i + 1 < text.size() && isGbkTrailByte(static_cast<unsigned char>(text[i + 1]))) {
        clean.append(text.substr(i++, 2));
      } else {
        clean.push_back('?');
      }
    }
    const std::u16string cleaned = gbkToUtf16(clean);
    if (cleaned.empty()) return headerPatternFinds(patterns_[slot], text);
    if (skipsSender_[slot] && namesSender(cleaned)) return false;
    compiled->scratch = RegexMatches();
    return compiled->regex.search(cleaned, 0, compiled->scratch, false);
  }
  if (skipsSender_[slot] && namesSender(wide)) return false;
  compiled->scratch = RegexMatches();
  return compiled->regex.search(wide, 0, compiled->scratch, false);
}

int firstMissingColumn(const ImportProfile& profile, const ImportOptional& optional,
                       const ImportColumns& columns) {
  for (int slot = 0; slot < kImportSlots; ++slot) {
    if (!profile.pattern(slot).empty() && columns.column[slot] == 0 &&
        optional.flags[slot] == 0)
      return slot;
  }
  return -1;
}

std::string missingColumnText(std::string_view pattern) {
  return std::string("请确认导入标题包含‘").append(pattern).append("’");
}

}  // namespace pv
