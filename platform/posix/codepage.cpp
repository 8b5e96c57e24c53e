#include "core/text/codepage.h"

#include <iconv.h>

#include <cerrno>

namespace pv {
namespace {

enum Direction { kUtf8ToGbk, kGbkToUtf8, kGbkToUtf16, kUtf16ToGbk, kDirections };

// Opening a conversion loads and unloads its module each time; a reader converting every
// cell of a 100,000-row sheet would spend most of its time there. Each thread keeps its
// open conversions.
struct OpenConversions {
  iconv_t cd[kDirections];
  OpenConversions() {
    for (iconv_t& c : cd) c = reinterpret_cast<iconv_t>(-1);
  }
  ~OpenConversions() {
    for (iconv_t c : cd) {
      if (c != reinterpret_cast<iconv_t>(-1)) iconv_close(c);
    }
  }
};

iconv_t conversion(Direction direction, const char* to, const char* from) {
  thread_local OpenConversions open;
  iconv_t& cd = open.cd[direction];
  if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open(to, from);
  else iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  return cd;
}

// One conversion through iconv; any invalid or incomplete input gives an empty result,
// as the Windows conversion with MB_ERR_INVALID_CHARS would.
template <class Out>
Out convert(Direction direction, const char* to, const char* from, const void* data, size_t bytes) {
  if (bytes == 0) return {};
  iconv_t cd = conversion(direction, to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string buffer(bytes * 4 + 16, '\0');
  char* in = const_cast<char*>(static_cast<const char*>(data));
  size_t inLeft = bytes;
  char* out = buffer.data();
  size_t outLeft = buffer.size();
  const size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
  if (rc == static_cast<size_t>(-1) || inLeft != 0) return {};
  const size_t produced = buffer.size() - outLeft;
  using Unit = typename Out::value_type;
  return Out(reinterpret_cast<const Unit*>(buffer.data()), produced / sizeof(Unit));
}

}  // namespace

std::string utf8ToGbk(std::string_view utf8) {
  return convert<std::string>(kUtf8ToGbk, "CP936", "UTF-8", utf8.data(), utf8.size());
}

std::string gbkToUtf8(std::string_view gbk) {
  return convert<std::string>(kGbkToUtf8, "UTF-8", "CP936", gbk.data(), gbk.size());
}

std::u16string gbkToUtf16(std::string_view gbk) {
  return convert<std::u16string>(kGbkToUtf16, "UTF-16LE", "CP936", gbk.data(), gbk.size());
}

std::string utf16ToGbk(std::u16string_view utf16) {
  return convert<std::string>(kUtf16ToGbk, "CP936", "UTF-16LE", utf16.data(), utf16.size() * sizeof(char16_t));
}

}  // namespace pv
