#include "zip/component/zip_volume_list.h"

#include "zip/component/zip_types.h"

MZipData& TMZipDataList::Items(int Index) {
  if (Index < 0 || Index >= Count()) throw Exception(Format("Index (%d) outside range 1..%d", {Index, Count() - 1}));
  return items_[static_cast<size_t>(Index)];
}

MZipData& TMZipDataList::Add(const std::string& Name) {
  byName_[AnsiUpperCase(Name)].Indexes.push_back(Count());
  MZipData& d = items_.emplace_back();
  d.FileName = Name;
  d.FileNameLen = static_cast<uint16_t>(Name.size());
  return d;
}

int TMZipDataList::IndexOf(const std::string& Name) {
  auto it = byName_.find(AnsiUpperCase(Name));
  if (it == byName_.end() || it->second.Next >= it->second.Indexes.size()) throw EZipKeeper(11026, AnsiString(Name));
  return it->second.Indexes[it->second.Next++];
}
