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
  if (Index >= fStaleFrom && OnRangeNeeded) OnRangeNeeded(Index);
  return fList[static_cast<size_t>(Index)].fRange;
}

void TSrcEditStringList::SetRangesStale(int From, int To) {
  if (From < 0 || From >= Count()) {
    fStaleFrom = fStaleTo = kNoStaleRange;
    return;
  }
  fStaleFrom = From;
  fStaleTo = std::max(From, std::min(To, Count() - 1));
}

void TSrcEditStringList::MarkRangesStale(int From, int To) {
  if (fStaleFrom == kNoStaleRange) SetRangesStale(From, To);
  else SetRangesStale(std::min(From, fStaleFrom), std::max(To, fStaleTo));
}

void TSrcEditStringList::ShiftStaleRanges(int Index, int Delta) {
  if (fStaleFrom == kNoStaleRange) return;
  auto move = [&](int m) {
    if (Delta > 0) return m >= Index ? m + Delta : m;
    if (m >= Index - Delta) return m + Delta;
    return m >= Index ? Index : m;
  };
  SetRangesStale(move(fStaleFrom), move(fStaleTo));
}

void TSrcEditStringList::InsertItem(int Index, AnsiString S) {
  if (Count() == fCapacity) Grow();
  fIndexOfLongestLine = -1;
  // Appending builds the record in place; inserting moves the following records down.
  auto it = Index == Count() ? fList.emplace(fList.end()) : fList.emplace(fList.begin() + Index);
  if (Index < Count() - 1) ShiftStaleRanges(Index, 1);
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
  ShiftStaleRanges(Index, -1);
  if (OnDeleted) OnDeleted(this, Index, 1);
}

void TSrcEditStringList::DeleteLines(int Index, int NumLines) {
  if (NumLines <= 0) return;
  if (Index < 0 || Index > Count()) ListIndexOutOfBounds(Index);
  UpdateScope u(this);
  int n = std::min(NumLines, Count() - Index);
  fList.erase(fList.begin() + Index, fList.begin() + Index + n);
  fIndexOfLongestLine = -1;
  ShiftStaleRanges(Index, -n);
  if (OnDeleted) OnDeleted(this, Index, n);
}

void TSrcEditStringList::InsertLines(int Index, int NumLines) {
  if (Index < 0 || Index > Count()) ListIndexOutOfBounds(Index);
  if (NumLines <= 0) return;
  UpdateScope u(this);
  SetCapacityRaw(Count() + NumLines);
  fList.insert(fList.begin() + Index, static_cast<size_t>(NumLines), TSrcEditStringRec{});
  fIndexOfLongestLine = -1;
  ShiftStaleRanges(Index, NumLines);
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
    fStaleFrom = fStaleTo = kNoStaleRange;
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

void TSrcEditStringList::ParseBlock(const char* data, size_t size, ParseState& st) {
  const char* p = data;
  const char* end = data + size;
  if (st.pendingCR && p < end) {
    // The block before ended with CR: an LF here belongs to the same break.
    st.pendingCR = false;
    if (*p == '\n') {
      ++p;
      st.sawLF = true;
    }
  }
  // The next CR and the next LF at or after p, each searched again only once passed, so the
  // whole text is scanned once whatever the mix of breaks.
  auto find = [end](const char* from, char c) {
    const void* q = std::memchr(from, c, static_cast<size_t>(end - from));
    return q ? static_cast<const char*>(q) : end;
  };
  const char* nextCR = find(p, '\r');
  const char* nextLF = find(p, '\n');
  while (p < end) {
    if (nextCR < p) nextCR = find(p, '\r');
    if (nextLF < p) nextLF = find(p, '\n');
    const char* brk = nextCR < nextLF ? nextCR : nextLF;
    if (brk == end) {
      // The line goes on in the next block (or is the last line, without a break).
      st.pending.append(p, static_cast<size_t>(end - p));
      st.open = true;
      return;
    }
    // Lines are added one by one, each with its own insertion event.
    if (st.open) {
      st.pending.append(p, static_cast<size_t>(brk - p));
      AddMoved(std::move(st.pending));
      st.pending = AnsiString();
      st.open = false;
    } else {
      AddMoved(AnsiString(p, static_cast<size_t>(brk - p)));
    }
    p = brk;
    if (*p == '\r') {
      ++p;
      st.sawCR = true;
      if (p == end) {
        st.pendingCR = true;
        return;
      }
    }
    if (p < end && *p == '\n') {
      ++p;
      st.sawLF = true;
    }
  }
}

void TSrcEditStringList::LoadFromStream(TStream* Stream) {
  UpdateScope u(this);
  // Everything is read before the lines change, so a read error leaves the text as it was. The
  // data is kept in blocks, each released once its lines are stored, so that the whole file is
  // held twice only for one block.
  constexpr size_t kBlock = size_t(8) << 20;
  // The size found at the start is read in full (a failure or a file that shrank raises the
  // stream's error); when the file grew meanwhile, what it grew by is read too. A device that
  // reports no size gives no data, as before.
  Stream->SetPosition(0);
  std::vector<std::pair<std::unique_ptr<char[]>, size_t>> blocks;
  size_t breaksLF = 0, breaksCR = 0;
  int64_t read = 0;
  for (int64_t size = std::max<int64_t>(Stream->Size(), 0); read < size;
       size = std::max<int64_t>(Stream->Size(), size)) {
    while (read < size) {
      size_t want = static_cast<size_t>(std::min<int64_t>(size - read, static_cast<int64_t>(kBlock)));
      std::unique_ptr<char[]> block(new char[want]);
      Stream->ReadBuffer(block.get(), static_cast<int64_t>(want));
      read += static_cast<int64_t>(want);
      breaksLF += static_cast<size_t>(std::count(block.get(), block.get() + want, '\n'));
      if (breaksLF == 0) breaksCR += static_cast<size_t>(std::count(block.get(), block.get() + want, '\r'));
      blocks.emplace_back(std::move(block), want);
    }
  }
  Clear();
  // Room for the lines at once, from a cheap count of the breaks.
  size_t breaks = breaksLF ? breaksLF : breaksCR;
  if (breaks + 1 > static_cast<size_t>(fCapacity)) SetCapacityRaw(static_cast<int>(breaks + 1));
  ParseState st;
  for (auto& b : blocks) {
    ParseBlock(b.first.get(), b.second, st);
    b.first.reset();
  }
  if (st.open) AddMoved(std::move(st.pending));
  if (st.sawLF && !st.sawCR) fFileFormat = lbLF;
  else if (st.sawCR && !st.sawLF) fFileFormat = lbCR;
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
  // Large enough that a big document goes out in few system calls.
  fBufferSize = 1 << 20;
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
