#pragma once
// Fakes and fixtures shared by the settings tests.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "core/settings/secret_protector.h"
#include "core/settings/settings_store.h"

namespace pv::testing_settings {

// Seals by reversing the bytes behind a marker, so a sealed value never shows the plain
// text and a value sealed by anything else does not open. Refuses to seal "fail".
class ReversingProtector final : public SecretProtector {
 public:
  std::string protect(std::string_view plain) override {
    if (plain == "fail") return {};
    return std::string(kMark) + std::string(plain.rbegin(), plain.rend());
  }
  std::optional<std::string> unprotect(std::string_view sealed) override {
    if (sealed.substr(0, kMark.size()) != kMark) return std::nullopt;
    sealed.remove_prefix(kMark.size());
    return std::string(sealed.rbegin(), sealed.rend());
  }

 private:
  static constexpr std::string_view kMark = "sealed:";
};

// Values kept in memory, by file, section and key, for tests that need a store but not its
// file format.
class MapSettingsStore final : public SettingsStore {
 public:
  std::string read(std::string_view file, std::string_view section, std::string_view key) override {
    std::lock_guard lock(mutex_);
    const auto found = values_.find(keyOf(file, section, key));
    return found == values_.end() ? std::string() : found->second;
  }
  bool write(std::string_view file, std::string_view section, std::string_view key,
             std::string_view value) override {
    std::lock_guard lock(mutex_);
    values_[keyOf(file, section, key)] = std::string(value);
    return true;
  }

 private:
  static std::string keyOf(std::string_view file, std::string_view section, std::string_view key) {
    return std::string(file) + '\n' + std::string(section) + '\n' + std::string(key);
  }
  std::mutex mutex_;
  std::map<std::string, std::string> values_;
};

// A fresh, empty folder for one test, removed with everything in it afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    static std::atomic<int> counter{0};
    path_ =
        std::filesystem::temp_directory_path() /
        ("pv-settings-" + std::to_string(std::random_device{}()) + "-" + std::to_string(counter++));
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    std::filesystem::create_directories(path_, ignored);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The bytes of a file, or none when it cannot be read.
inline std::string fileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace pv::testing_settings
