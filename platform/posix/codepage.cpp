#include "core/text/codepage_backend.h"

#include <iconv.h>

namespace pv::codepage_backend {
namespace {

// One conversion through iconv; any invalid, unconvertible or incomplete input gives an
// empty result, as the Windows conversion does with its strict flags.
template <class Out>
Out convert(const char* to, const char* from, const void* data, size_t bytes) {
  if (bytes == 0) return {};
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string buffer(bytes * 4 + 16, '\0');
  char* in = const_cast<char*>(static_cast<const char*>(data));
  size_t inLeft = bytes;
  char* out = buffer.data();
  size_t outLeft = buffer.size();
  const size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1) || inLeft != 0) return {};
  const size_t produced = buffer.size() - outLeft;
  using Unit = typename Out::value_type;
  return Out(reinterpret_cast<const Unit*>(buffer.data()), produced / sizeof(Unit));
}

}  // namespace

std::u16string decode936(std::string_view bytes) {
  return convert<std::u16string>("UTF-16LE", "CP936", bytes.data(), bytes.size());
}

std::string encode936(std::u16string_view units) {
  return convert<std::string>("CP936", "UTF-16LE", units.data(), units.size() * sizeof(char16_t));
}

}  // namespace pv::codepage_backend
