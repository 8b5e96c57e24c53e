#pragma once
// China's administrative divisions (provinces, cities, districts, towns and street
// offices) and the address parser built on them. Loaded once at start and read-only
// afterwards, so any number of request threads may parse at once.
#include <array>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pv::sandbox {

struct ParsedAddress {
  // Display names; empty where the address names no such division and none follows from
  // a lower one. A municipality's city is the municipality itself; a county-level city
  // governed directly by its province has no city.
  std::string province, city, district, street;
  std::string districtCode;   // deepest recognised division's code, "" when none
  std::string detail;         // what follows the recognised divisions
  std::string normalized;     // divisions in full followed by the detail
  bool isVillage = false;     // the detail names a village, hamlet or group

  // The non-empty division names from the province down, without repeats.
  std::vector<std::string> districts() const;
};

class Gazetteer {
 public:
  struct Entry {
    std::string code;
    std::string name;
    int level;  // 0 province, 1 city, 2 district, 3 town or street office
  };

  // Reads "code<TAB>name" lines (codes of 2, 4, 6 or 9 digits; '#' starts a comment).
  // False with a reason in `error` when the file cannot be read or holds no province.
  bool load(const std::string& path, std::string& error);

  ParsedAddress parse(std::string_view address) const;

  size_t size() const noexcept { return entries_.size(); }

  // Every division in code order, so a parent comes before its children.
  const std::vector<Entry>& divisions() const noexcept { return entries_; }
  const Entry* find(std::string_view code) const;
  // The name an address shows for the division: a municipality's container reads as the
  // municipality, the container of counties governed by the province as nothing.
  std::string displayName(const Entry* entry) const;

 private:
  struct Match {
    const Entry* entry;
    size_t bytes;  // length of the matched text
    bool full;     // the full name, not a short form
  };
  struct Candidate;

  void index();
  void addName(const Entry& entry, const std::string& name, bool full);
  std::vector<Match> matchesAt(std::string_view text, int level, std::string_view parent) const;
  void search(std::string_view text, size_t pos, int level, const Entry* parent,
              Candidate& current, Candidate& best) const;

  std::vector<Entry> entries_;  // sorted by code
  std::unordered_map<std::string_view, const Entry*> byCode_;
  // Keys view texts owned by entries_ or shortForms_, so a lookup needs no copy.
  std::array<std::unordered_map<std::string_view, std::vector<Match>>, 4> names_;
  std::deque<std::string> shortForms_;
  std::array<size_t, 4> longestName_{};  // in characters
};

}  // namespace pv::sandbox
