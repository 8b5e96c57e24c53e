#pragma once
// Reading a stream out of a compound file (the container of xls workbooks) held in memory.
// Every sector number, chain and size is checked: chains that loop or leave the file end
// the read with an error, and a stream never reads past what its chain holds.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pv {

class CompoundFile {
 public:
  explicit CompoundFile(std::string_view bytes);
  bool ok() const noexcept { return ok_; }

  // True when a stream of that name (compared without letter case, ASCII) exists.
  bool hasStream(std::u16string_view name) const;
  // The stream's bytes; false when it is missing or its chain is broken.
  bool readStream(std::u16string_view name, std::string& out) const;

 private:
  struct Entry {
    std::u16string name;
    uint8_t type = 0;
    uint32_t start = 0;
    uint64_t size = 0;
  };
  bool open();
  bool chain(const std::vector<uint32_t>& table, uint32_t start, std::vector<uint32_t>& out) const;
  bool readChain(uint32_t start, uint64_t size, std::string& out) const;
  const Entry* findEntry(std::u16string_view name) const;

  std::string_view bytes_;
  bool ok_ = false;
  uint32_t sectorSize_ = 512, miniSectorSize_ = 64, miniCutoff_ = 4096;
  uint64_t sectorCount_ = 0;
  std::vector<uint32_t> fat_, miniFat_;
  std::vector<Entry> entries_;
  std::string miniStream_;
};

}  // namespace pv
