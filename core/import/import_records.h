#pragma once
// The records of an order-file import. Every record has six slots in one fixed order:
// region, city, district, street, address, order number. Texts are GBK.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pv {

enum class ImportSlot { Region, City, District, Street, Address, OrderNo };
inline constexpr int kImportSlots = 6;
inline constexpr int kAddressSlot = 4;  // 0-based index of ImportSlot::Address
inline constexpr int kOrderNoSlot = 5;  // 0-based index of ImportSlot::OrderNo

// Regular expressions naming the header of each column; an empty text leaves the slot unused.
struct ImportProfile {
  std::string regionPattern;
  std::string cityPattern;
  std::string districtPattern;
  std::string streetPattern;
  std::string addressPattern;
  std::string orderNoPattern;

  // Slot i (0-based) in the fixed order.
  const std::string& pattern(int slot) const;
  std::string& pattern(int slot);
};

// Non-zero: the file may lack that slot's column.
struct ImportOptional {
  std::array<int32_t, kImportSlots> flags{};
};

// 1-based column numbers; 0 means not found.
struct ImportColumns {
  std::array<int32_t, kImportSlots> column{};
};

struct ImportedOrder {
  std::string orderNumber;
  // Region, city, district and street cells that were found, then the address cell, joined
  // without separator.
  std::string address;
  // The sheet row (from 1) of an order number read from a number too long for a
  // spreadsheet to keep exact; 0 for every other order.
  int cutNumberRow = 0;
  // The row of the file it came from (0-based: a sheet's row, a text file's record), where
  // its results go; -1 when unknown. Not part of what the order is.
  int sourceRow = -1;

  friend bool operator==(const ImportedOrder& a, const ImportedOrder& b) {
    return a.orderNumber == b.orderNumber && a.address == b.address && a.cutNumberRow == b.cutNumberRow;
  }
};

// True when the header pattern finds at least one match in `text` (letter case ignored,
// multi-line). An invalid pattern finds nothing.
bool headerPatternFinds(std::string_view pattern, std::string_view text);

// The six header patterns of a profile, compiled once for a whole file. Finds as
// headerPatternFinds does, with one exception: a header that names the shop's own side of
// the parcel (发货, 发件, 寄件, 寄方, 退货: the sender's or the return address) is never
// taken for an address-side slot (region to address) unless that slot's own pattern
// names one of these words.
class HeaderMatcher {
 public:
  explicit HeaderMatcher(const ImportProfile& profile);
  ~HeaderMatcher();
  HeaderMatcher(const HeaderMatcher&) = delete;
  HeaderMatcher& operator=(const HeaderMatcher&) = delete;

  bool used(int slot) const { return !patterns_[slot].empty(); }
  // True when slot's pattern is set and finds a match in the GBK `text`.
  bool finds(int slot, std::string_view text) const;
  // The same for a text already converted to UTF-16 (empty `wide` for a text that did not
  // convert, which is then matched through its GBK form).
  bool finds(int slot, std::string_view text, std::u16string_view wide) const;

 private:
  struct Compiled;
  std::array<std::string, kImportSlots> patterns_;
  std::array<std::unique_ptr<Compiled>, kImportSlots> compiled_;
  std::array<bool, kImportSlots> skipsSender_{};
};

// The first slot whose pattern is set, whose column was not found and which is not
// optional, or -1 when the columns are complete.
int firstMissingColumn(const ImportProfile& profile, const ImportOptional& optional,
                       const ImportColumns& columns);

// A row of the file that gave no order although it is no blank line, and why: its
// results file row says so.
struct SkippedRow {
  int row = 0;
  std::string reason;
};
inline constexpr std::string_view kNoAddressReason = "收货地址为空";
inline constexpr std::string_view kNoOrderNumberReason = "订单号为空";
inline constexpr std::string_view kMaskedAddressReason = "收货地址已加密";

// The texts of the import's boxes that more than one reader shows.
inline constexpr std::string_view kImportFailedTitle = "导入失败";
inline constexpr std::string_view kImportNoticeTitle = "导入提示";
inline constexpr std::string_view kNoImportDataText = "没有检测到导入数据";
// "请确认导入标题包含‘" + pattern + "’".
std::string missingColumnText(std::string_view pattern);

}  // namespace pv
