#include "core/text/random.h"

#include <chrono>
#include <mutex>
#include <random>

namespace pv {

int64_t unixTimeSeconds(bool milliseconds) {
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  return milliseconds ? std::chrono::duration_cast<std::chrono::milliseconds>(since).count()
                      : std::chrono::duration_cast<std::chrono::seconds>(since).count();
}

std::string randomText(int length, unsigned classes) {
  // One generator seeded once from the system's entropy source. Reseeding from the tick
  // count at every call would give two requests made in the same millisecond the same
  // random text, and with it the same signature and response key.
  static std::mutex lock;
  static std::mt19937_64 generator{[] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device(),
                       static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
    return std::mt19937_64(seed);
  }()};

  std::string pool;
  if (classes & kRandomDigits) pool += "0123456789";
  if (classes & kRandomLower) pool += "abcdefghijklmnopqrstuvwxyz";
  if (classes & kRandomUpper) pool += "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  if (classes & kRandomPunctuation) pool += " !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
  // No class, or only bits that name none: digits, never a draw from an empty pool.
  if (pool.empty()) pool = "0123456789";

  std::string out;
  if (length <= 0) return out;
  out.reserve(static_cast<size_t>(length));
  std::uniform_int_distribution<size_t> pick(0, pool.size() - 1);
  std::lock_guard guard(lock);
  for (int i = 0; i < length; ++i) out.push_back(pool[pick(generator)]);
  return out;
}

}  // namespace pv
