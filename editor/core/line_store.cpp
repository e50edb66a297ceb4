#include "editor/core/line_store.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char* kIndexError = "Invalid stringlist index %d";

}  // namespace

TSrcEditStringList::TSrcEditStringList() : fConvertTabsProc(PickTabConverterEx(8)) {}

TSrcEditStringList::~TSrcEditStringList() {
  // No events while going away.
  OnChange = OnChanging = OnCleared = nullptr;
  OnDeleted = OnInserted = OnPutted = nullptr;
}

void TSrcEditStringList::ListIndexOutOfBounds(int Index) const {
  throw ESrcEditStringList(Format(kIndexError, {Index}));
}

void TSrcEditStringList::SetUpdateState(bool Updating) {
  if (Updating) CallEvent(OnChanging, this);
  else CallEvent(OnChange, this);
}

void TSrcEditStringList::SetCapacityRaw(int NewCapacity) {
  if (NewCapacity > static_cast<int>(fList.capacity())) {
    std::vector<TSrcEditStringRec> grown;
    grown.reserve(static_cast<size_t>(NewCapacity));
    std::move(fList.begin(), fList.end(), std::back_inserter(grown));
    fList.swap(grown);
  } else if (NewCapacity < static_cast<int>(fList.capacity()) / 2) {
    fList.shrink_to_fit();
  }
  fCapacity = NewCapacity;
}

void TSrcEditStringList::SetCapacity(int NewCapacity) {
  if (NewCapacity < Count()) throw EListError("Stringlist capacity cannot be smaller than count");
  SetCapacityRaw(NewCapacity);
}

void TSrcEditStringList::Grow() {
  int delta = fCapacity > 64 ? fCapacity / 4 : 16;
  SetCapacityRaw(fCapacity + delta);
}

AnsiString TSrcEditStringList::Get(int Index) const {
  if (Index < 0 || Index >= Count()) return AnsiString();
  return fList[static_cast<size_t>(Index)].fString;
}

TObject* TSrcEditStringList::GetObject(int Index) const {
  return reinterpret_cast<TObject*>(GetObjectValue(Index));
}

intptr_t TSrcEditStringList::GetObjectValue(int Index) const {
  if (Index < 0 || Index >= Count()) return 0;
  return fList[static_cast<size_t>(Index)].fObject;
}

intptr_t TSrcEditStringList::GetRange(int Index) const {
  if (Index < 0 || Index >= Count()) return 0;
  return fList[static_cast<size_t>(Index)].fRange;
}

void TSrcEditStringList::InsertItem(int Index, AnsiString S) {
  if (Count() == fCapacity) Grow();
  fIndexOfLongestLine = -1;
  // Appending builds the record in place; inserting moves the following records down.
  auto it = Index == Count() ? fList.emplace(fList.end()) : fList.emplace(fList.begin() + Index);
  it->fString = std::move(S);
  it->fObject = 0;
  it->fRange = -1;
  it->fExpandedLength = -1;
  it->fFlags = sfExpandedLengthUnknown;
}

int TSrcEditStringList::Add(const AnsiString& S) { return AddMoved(AnsiString(S)); }

int TSrcEditStringList::AddMoved(AnsiString S) {
  UpdateScope u(this);
  int index = Count();
  InsertItem(index, std::move(S));
  if (OnInserted) OnInserted(this, index, 1);
  return index;
}

void TSrcEditStringList::Insert(int Index, const AnsiString& S) {
  if (Index < 0 || Index > Count()) ListIndexOutOfBounds(Index);
  UpdateScope u(this);
  InsertItem(Index, S);
  if (OnInserted) OnInserted(this, Index, 1);
}

void TSrcEditStringList::AddStrings(TStrings* Strings) {
  int n = Strings->Count();
  if (n <= 0) return;
  UpdateScope u(this);
  fIndexOfLongestLine = -1;
  int first = Count();
  if (fCapacity < first + n) SetCapacityRaw(((first + n + 15) / 16) * 16);
  for (int i = 0; i < n; ++i) {
    TSrcEditStringRec r;
    r.fString = Strings->Get(i);
    r.fObject = reinterpret_cast<intptr_t>(Strings->GetObject(i));
    r.fRange = -1;
    r.fExpandedLength = -1;
    r.fFlags = sfExpandedLengthUnknown;
    fList.push_back(std::move(r));
  }
  if (OnInserted) OnInserted(this, first, n);
}

void TSrcEditStringList::Put(int Index, const AnsiString& S) {
  if (Index == Count()) {
    Add(S);
    return;
  }
  if (Index < 0 || Index >= Count()) ListIndexOutOfBounds(Index);
  UpdateScope u(this);
  fIndexOfLongestLine = -1;
  auto& r = fList[static_cast<size_t>(Index)];
  r.fFlags = static_cast<uint8_t>((r.fFlags & ~(sfHasTabs | sfHasNoTabs)) | sfExpandedLengthUnknown);
  r.fString = S;
  if (OnPutted) OnPutted(this, Index, 1);
}

void TSrcEditStringList::PutObject(int Index, TObject* Obj) {
  PutObjectValue(Index, reinterpret_cast<intptr_t>(Obj));
}

void TSrcEditStringList::PutObjectValue(int Index, intptr_t Obj) {
  if (Index < 0 || Index >= Count()) ListIndexOutOfBounds(Index);
  UpdateScope u(this);
  fList[static_cast<size_t>(Index)].fObject = Obj;
}

void TSrcEditStringList::PutRange(int Index, intptr_t Range) {
  if (Index < 0 || Index >= Count()) ListIndexOutOfBounds(Index);
  UpdateScope u(this);
  fList[static_cast<size_t>(Index)].fRange = Range;
}

void TSrcEditStringList::Delete(int Index) {
  if (Index < 0 || Index >= Count()) ListIndexOutOfBounds(Index);
  UpdateScope u(this);
  fList.erase(fList.begin() + Index);
  fIndexOfLongestLine = -1;
  if (OnDeleted) OnDeleted(this, Index, 1);
}

void TSrcEditStringList::DeleteLines(int Index, int NumLines) {
  if (NumLines <= 0) return;
  if (Index < 0 || Index > Count()) ListIndexOutOfBounds(Index);
  UpdateScope u(this);
  int n = std::min(NumLines, Count() - Index);
  fList.erase(fList.begin() + Index, fList.begin() + Index + n);
  fIndexOfLongestLine = -1;
  if (OnDeleted) OnDeleted(this, Index, n);
}

void TSrcEditStringList::InsertLines(int Index, int NumLines) {
  if (Index < 0 || Index > Count()) ListIndexOutOfBounds(Index);
  if (NumLines <= 0) return;
  UpdateScope u(this);
  SetCapacityRaw(Count() + NumLines);
  fList.insert(fList.begin() + Index, static_cast<size_t>(NumLines), TSrcEditStringRec{});
  fIndexOfLongestLine = -1;
  if (OnInserted) OnInserted(this, Index, NumLines);
}

void TSrcEditStringList::Exchange(int Index1, int Index2) {
  if (Index1 < 0 || Index1 >= Count()) ListIndexOutOfBounds(Index1);
  if (Index2 < 0 || Index2 >= Count()) ListIndexOutOfBounds(Index2);
  UpdateScope u(this);
  std::swap(fList[static_cast<size_t>(Index1)], fList[static_cast<size_t>(Index2)]);
  if (fIndexOfLongestLine == Index1) fIndexOfLongestLine = Index2;
  else if (fIndexOfLongestLine == Index2) fIndexOfLongestLine = Index1;
}

void TSrcEditStringList::Clear() {
  if (!fList.empty()) {
    UpdateScope u(this);
    std::vector<TSrcEditStringRec>().swap(fList);
    fCapacity = 0;
    CallEvent(OnCleared, this);
  }
  fIndexOfLongestLine = -1;
}

AnsiString TSrcEditStringList::Text() const {
  if (fList.empty()) return AnsiString();
  size_t total = 0;
  for (auto& r : fList) total += r.fString.size() + 2;
  AnsiString s;
  s.reserve(total - 2);
  for (size_t i = 0; i < fList.size(); ++i) {
    if (i) s += "\r\n";
    s += fList[i].fString;
  }
  return s;
}

void TSrcEditStringList::ExpandLine(TSrcEditStringRec& r) {
  if (r.fString.empty()) {
    r.fExpandedLength = 0;
    r.fFlags = sfHasNoTabs;
    return;
  }
  bool hasTabs;
  AnsiString e = fConvertTabsProc(r.fString, fTabWidth, hasTabs);
  r.fExpandedLength = static_cast<int32_t>(e.size());
  r.fFlags = hasTabs ? sfHasTabs : sfHasNoTabs;
}

AnsiString TSrcEditStringList::ExpandedStrings(int Index) {
  if (Index < 0 || Index >= Count()) return AnsiString();
  auto& r = fList[static_cast<size_t>(Index)];
  if (r.fFlags & sfHasNoTabs) return r.fString;
  if (r.fString.empty()) {
    ExpandLine(r);
    return AnsiString();
  }
  bool hasTabs;
  AnsiString e = fConvertTabsProc(r.fString, fTabWidth, hasTabs);
  r.fExpandedLength = static_cast<int32_t>(e.size());
  r.fFlags = hasTabs ? sfHasTabs : sfHasNoTabs;
  return e;
}

int TSrcEditStringList::ExpandedStringLengths(int Index) {
  if (Index < 0 || Index >= Count()) return 0;
  auto& r = fList[static_cast<size_t>(Index)];
  if (r.fFlags & sfExpandedLengthUnknown) ExpandLine(r);
  return r.fExpandedLength;
}

int TSrcEditStringList::LengthOfLongestLine() {
  if (fIndexOfLongestLine < 0) {
    int longest = 0;
    for (int i = 0; i < Count(); ++i) {
      auto& r = fList[static_cast<size_t>(i)];
      if (r.fFlags & sfExpandedLengthUnknown) ExpandLine(r);
      if (r.fExpandedLength > longest) {
        longest = r.fExpandedLength;
        fIndexOfLongestLine = i;
      }
    }
  }
  if (fIndexOfLongestLine >= 0 && fIndexOfLongestLine < Count())
    return fList[static_cast<size_t>(fIndexOfLongestLine)].fExpandedLength;
  return 0;
}

void TSrcEditStringList::SetTabWidth(int Value) {
  if (Value == fTabWidth) return;
  fTabWidth = Value;
  fConvertTabsProc = PickTabConverterEx(Value);
  fIndexOfLongestLine = -1;
  for (auto& r : fList) {
    r.fExpandedLength = -1;
    r.fFlags = static_cast<uint8_t>((r.fFlags & ~sfHasNoTabs) | sfExpandedLengthUnknown);
  }
}

void TSrcEditStringList::LoadFromFile(const AnsiString& FileName) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyNone);
  LoadFromStream(&f);
}

void TSrcEditStringList::ParseText(const char* data, size_t size, bool& sawCR, bool& sawLF) {
  const char* p = data;
  const char* end = data + size;
  // The next CR and the next LF at or after p, each searched again only once passed, so the
  // whole text is scanned once whatever the mix of breaks.
  const char* nextCR = data;
  const char* nextLF = data;
  auto find = [end](const char* from, char c) {
    const void* q = std::memchr(from, c, static_cast<size_t>(end - from));
    return q ? static_cast<const char*>(q) : end;
  };
  if (size) {
    nextCR = find(data, '\r');
    nextLF = find(data, '\n');
  }
  while (p < end) {
    if (nextCR < p) nextCR = find(p, '\r');
    if (nextLF < p) nextLF = find(p, '\n');
    const char* brk = nextCR < nextLF ? nextCR : nextLF;
    // Lines are added one by one, each with its own insertion event.
    AddMoved(AnsiString(p, static_cast<size_t>(brk - p)));
    p = brk;
    if (p < end && *p == '\r') {
      ++p;
      sawCR = true;
    }
    if (p < end && *p == '\n') {
      ++p;
      sawLF = true;
    }
  }
}

void TSrcEditStringList::LoadFromStream(TStream* Stream) {
  UpdateScope u(this);
  // Read everything before touching the lines, so a read error leaves the text as it was.
  int64_t size = std::max<int64_t>(Stream->Size(), 0);
  Stream->SetPosition(0);
  std::unique_ptr<char[]> data(new char[static_cast<size_t>(size) + 1]);
  if (size > 0) Stream->ReadBuffer(data.get(), size);
  const char* begin = data.get();
  const char* end = begin + size;
  Clear();
  // Room for the lines at once, from a cheap count of the breaks.
  size_t breaks = static_cast<size_t>(std::count(begin, end, '\n'));
  if (breaks == 0) breaks = static_cast<size_t>(std::count(begin, end, '\r'));
  if (breaks + 1 > static_cast<size_t>(fCapacity)) SetCapacityRaw(static_cast<int>(breaks + 1));
  bool sawCR = false, sawLF = false;
  ParseText(begin, static_cast<size_t>(size), sawCR, sawLF);
  if (sawLF && !sawCR) fFileFormat = lbLF;
  else if (sawCR && !sawLF) fFileFormat = lbCR;
  else fFileFormat = lbCRLF;
}

void TSrcEditStringList::SaveToStream(TStream* Stream) {
  size_t breakLen = fFileFormat == lbCRLF ? 2 : 1;
  size_t total = 0;
  for (auto& r : fList) total += r.fString.size() + breakLen;
  AnsiString s;
  s.reserve(total);
  const char* brk = fFileFormat == lbCRLF ? "\r\n" : fFileFormat == lbLF ? "\n" : "\r";
  for (auto& r : fList) {
    s += r.fString;
    s.append(brk, breakLen);
  }
  Stream->WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
}

void TSrcEditStringList::SaveToFile(const AnsiString& FileName) {
  // The writer saves safely: a failed save leaves the file as it was (see TSafeFileStream).
  int64_t total = 0;
  int64_t breakLen = fFileFormat == lbCRLF ? 2 : 1;
  for (auto& r : fList) total += static_cast<int64_t>(r.fString.size()) + breakLen;
  TSrcEditFileWriter writer(FileName, total);
  writer.SetFileFormat(fFileFormat);
  for (auto& r : fList) writer.WriteLine(r.fString);
  writer.Close();
}

// ---------------------------------------------------------------------------- file writer

TSrcEditFiler::TSrcEditFiler(const AnsiString& FileName) : fFileName(FileName) {
  fBufferSize = 0x4000;
  fBuffer.assign(static_cast<size_t>(fBufferSize), 0);
  fBuffer[0] = 0;
}

TSrcEditFiler::~TSrcEditFiler() { Finish(); }

void TSrcEditFiler::Finish() {
  if (fStream) {
    try {
      Flush();
    } catch (...) {
      // A destructor cannot report; Close is the path that reports write failures.
    }
    fStream.reset();
  }
}

TSrcEditFileWriter::TSrcEditFileWriter(const AnsiString& FileName, int64_t ExpectedSize) : TSrcEditFiler(FileName) {
  fStream = std::make_unique<TSafeFileStream>(FileName, ExpectedSize);
}

TSrcEditFileWriter::~TSrcEditFileWriter() { Finish(); }

void TSrcEditFileWriter::Flush() {
  if (fFilled != 0 && fStream) {
    int n = fFilled;
    fFilled = 0;
    fStream->WriteBuffer(fBuffer.data(), n);
  }
}

void TSrcEditFileWriter::Close() {
  Flush();
  if (fStream) fStream->Commit();
  fStream.reset();
}

void TSrcEditFileWriter::WriteLine(const AnsiString& S) {
  int breakLen = fFileFormat == lbCRLF ? 2 : 1;
  int need = static_cast<int>(S.size()) + breakLen;
  if (fFilled + need > fBufferSize) {
    Flush();
    if (fBufferSize < need) {
      fBufferSize = need;
      fBuffer.resize(static_cast<size_t>(need));
    }
  }
  std::memcpy(fBuffer.data() + fFilled, S.data(), S.size());
  fFilled += static_cast<int>(S.size());
  if (fFileFormat != lbLF) fBuffer[static_cast<size_t>(fFilled++)] = '\r';
  if (fFileFormat != lbCR) fBuffer[static_cast<size_t>(fFilled++)] = '\n';
}
