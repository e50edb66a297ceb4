#pragma once
// The entries of an archive being copied between a volume set and an ordinary archive: where
// each entry's local header went (disk and offset on it) and its compressed size as the
// central directory gives it.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ansi.h"

struct MZipData {
  uint16_t DiskNo = 0;
  uint32_t RelOffLocal = 0;
  uint16_t FileNameLen = 0;
  std::string FileName;
  uint32_t ComprSize = 0;
};

class TMZipDataList {
public:
  explicit TMZipDataList(size_t Count) { items_.reserve(Count < 65536 ? Count : 65536); }
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises Exception "Index (i) outside range 1..Count-1" for an index beyond the list.
  MZipData& Items(int Index);
  MZipData& Add(const std::string& Name);
  // The index of the next record named Name (compared case-insensitively) not yet handed out
  // by this search, so that entries of equal names pair up in order; EZipKeeper 11026 when
  // there is none.
  int IndexOf(const std::string& Name);

private:
  struct TSlots {
    std::vector<int> Indexes;
    size_t Next = 0;
  };
  std::vector<MZipData> items_;
  std::unordered_map<std::string, TSlots> byName_;
};
