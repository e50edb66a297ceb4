#include "editor/core/line_store.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ansi.h"
#include "platform/sysutils.h"

namespace {
constexpr const char* kIndexError = "Invalid stringlist index %d";
constexpr const char* kLineTooLong =
    "Строка %s длиннее 2 147 483 646 байт или шире 2 147 483 646 столбцов: такую строку редактор не держит. "
    "Текст не изменён.";
constexpr const char* kTooManyLines = "Строк больше 2 147 483 647: столько строк редактор не держит. Текст не изменён.";

// The text of every empty line that has none of its own; never written to.
char gEmptyText[1] = {0};

}  // namespace

void* AllocateLargeBlock(void* Old, size_t Size) {
  void* p = std::realloc(Old, Size ? Size : 1);
  if (!p) throw std::bad_alloc();
  constexpr size_t kLargePage = size_t(2) << 20;
  if (Size >= 2 * kLargePage) {
    // Only whole large pages inside the block can be given; the advice is a wish, not a need.
    auto first = (reinterpret_cast<uintptr_t>(p) + kLargePage - 1) & ~(kLargePage - 1);
    auto last = (reinterpret_cast<uintptr_t>(p) + Size) & ~(kLargePage - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
  return p;
}

void ReleaseFreedMemory(size_t Bytes) {
  // Below this the allocator's own trimming suffices, and small clears stay cheap.
  constexpr size_t kWorthReleasing = size_t(16) << 20;
  if (Bytes >= kWorthReleasing) malloc_trim(0);
}

TSrcEditStringList::TSrcEditStringList() : fTexts(1, TTextSlot{gEmptyText}), fConvertTabsProc(PickTabConverterEx(8)) {}

TSrcEditStringList::~TSrcEditStringList() {
  // No events while going away.
  OnChange = OnChanging = OnCleared = nullptr;
  OnDeleted = OnInserted = OnPutted = nullptr;
  FreeTexts(0, fList.size());
}

void TSrcEditStringList::ListIndexOutOfBounds(int Index) const {
  throw ESrcEditStringList(Format(kIndexError, {Index}));
}

void TSrcEditStringList::LineTooLong(int64_t Line) {
  throw ESrcEditStringList(Format(W1251(kLineTooLong), {IntToStr(Line)}));
}

void TSrcEditStringList::TooManyLines() { throw ESrcEditStringList(W1251(kTooManyLines)); }

void TSrcEditStringList::CheckWidth(int64_t Line, std::string_view A, std::string_view B, std::string_view C) const {
  if (!MayBeTooWide(static_cast<int64_t>(A.size() + B.size() + C.size()))) return;
  if (ColumnAfter(C, ColumnAfter(B, ColumnAfter(A))) > kMaxLineLength) LineTooLong(Line);
}

void TSrcEditStringList::SetUpdateState(bool Updating) {
  if (Updating) CallEvent(OnChanging, this);
  else CallEvent(OnChange, this);
}

void TSrcEditStringList::SetOwnedText(TSrcEditStringRec& r, std::string_view S) {
  // The copy is made before the old text goes: S may be a view of it.
  if (S.empty()) {
    FreeText(r);
  } else {
    char* p = static_cast<char*>(AllocateLargeBlock(nullptr, S.size() + 1));
    std::memcpy(p, S.data(), S.size());
    p[S.size()] = 0;
    TakeText(r, p);
  }
  r.fLength = static_cast<int32_t>(S.size());
}

void TSrcEditStringList::TakeText(TSrcEditStringRec& r, char* P) {
  uint32_t slot = fFreeText;
  if (slot != 0) {
    fFreeText = fTexts[slot].fNextFree;
  } else {
    try {
      if (fTexts.size() > UINT32_MAX) throw std::bad_alloc();
      fTexts.push_back(TTextSlot{nullptr});
    } catch (...) {
      std::free(P);
      throw;
    }
    slot = static_cast<uint32_t>(fTexts.size() - 1);
  }
  FreeText(r);
  fTexts[slot].fText = P;
  r.fRef = slot;
  r.fRefHigh = TSrcEditStringRec::kOwnedText;
}

void TSrcEditStringList::ResetTexts() noexcept {
  // Every entry is free by now; the table goes back to the empty text alone.
  fTexts.resize(1);
  fTexts.shrink_to_fit();
  fFreeText = 0;
  fLoaded.reset();
}

void TSrcEditStringList::FreeTexts(size_t From, size_t To) {
  // A table holding the empty text alone means no line has text of its own: a document as
  // loaded goes without a pass over its records.
  if (fTexts.size() == 1) return;
  for (size_t i = From; i < To; ++i) FreeText(fList[i]);
}

void TSrcEditStringList::SetCapacityRaw(int NewCapacity) {
  if (NewCapacity > static_cast<int>(fList.capacity())) {
    fList.reserve(static_cast<size_t>(NewCapacity));
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
  return AnsiString(Text(fList[static_cast<size_t>(Index)]));
}

TObject* TSrcEditStringList::GetObject(int Index) const {
  return reinterpret_cast<TObject*>(GetObjectValue(Index));
}

intptr_t TSrcEditStringList::GetObjectValue(int Index) const {
  if (Index < 0 || Index >= Count() || fObjects.empty()) return 0;
  return fObjects[static_cast<size_t>(Index)];
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

void TSrcEditStringList::InsertItem(int Index, std::string_view S) {
  if (static_cast<int64_t>(S.size()) > kMaxLineLength) LineTooLong(int64_t(Index) + 1);
  CheckWidth(int64_t(Index) + 1, S);
  if (Count() >= kMaxLineCount) TooManyLines();
  if (Count() == fCapacity) Grow();
  TSrcEditStringRec r;
  SetOwnedText(r, S);
  r.fRange = -1;
  r.fFlags = sfExpandedLengthUnknown;
  // Appending builds the record in place; inserting moves the following records down.
  if (Index == Count()) {
    fList.push_back(r);
  } else {
    try {
      fList.insert(fList.begin() + Index, r);
    } catch (...) {
      FreeText(r);
      throw;
    }
  }
  if (!fObjects.empty()) fObjects.insert(fObjects.begin() + Index, 0);
  if (!fExpanded.empty()) fExpanded.insert(fExpanded.begin() + Index, 0);
  if (fIndexOfLongestLine >= Index) ++fIndexOfLongestLine;
  LineStored(static_cast<size_t>(Index));
  if (Index < Count() - 1) ShiftStaleRanges(Index, 1);
}

int TSrcEditStringList::Add(const AnsiString& S) {
  UpdateScope u(this);
  int index = Count();
  InsertItem(index, S);
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
  if (int64_t(Count()) + n > kMaxLineCount) TooManyLines();
  for (int i = 0; i < n; ++i) {
    AnsiString s = Strings->Get(i);
    if (static_cast<int64_t>(s.size()) > kMaxLineLength) LineTooLong(int64_t(Count()) + i + 1);
    CheckWidth(int64_t(Count()) + i + 1, s);
  }
  UpdateScope u(this);
  fIndexOfLongestLine = -1;
  int first = Count();
  if (fCapacity < first + n) SetCapacityRaw(((first + n + 15) / 16) * 16);
  for (int i = 0; i < n; ++i) {
    TSrcEditStringRec r;
    SetOwnedText(r, Strings->Get(i));
    r.fRange = -1;
    r.fFlags = sfExpandedLengthUnknown;
    fList.push_back(r);
    if (!fExpanded.empty()) fExpanded.push_back(0);
    auto obj = reinterpret_cast<intptr_t>(Strings->GetObject(i));
    if (obj != 0 && fObjects.empty()) fObjects.assign(fList.size() - 1, 0);
    if (!fObjects.empty()) fObjects.push_back(obj);
  }
  if (OnInserted) OnInserted(this, first, n);
}

void TSrcEditStringList::Put(int Index, const AnsiString& S) {
  if (Index == Count()) {
    Add(S);
    return;
  }
  PutText(Index, S);
}

void TSrcEditStringList::PutText(int Index, std::string_view S) {
  if (Index == Count()) {
    Add(AnsiString(S));
    return;
  }
  if (Index < 0 || Index >= Count()) ListIndexOutOfBounds(Index);
  if (static_cast<int64_t>(S.size()) > kMaxLineLength) LineTooLong(int64_t(Index) + 1);
  CheckWidth(int64_t(Index) + 1, S);
  UpdateScope u(this);
  auto& r = fList[static_cast<size_t>(Index)];
  SetOwnedText(r, S);
  r.fFlags = static_cast<uint8_t>((r.fFlags & ~(sfHasTabs | sfHasNoTabs)) | sfExpandedLengthUnknown);
  LineStored(static_cast<size_t>(Index));
  if (OnPutted) OnPutted(this, Index, 1);
}

void TSrcEditStringList::DeleteText(int Index, size_t Start, size_t Length, size_t Keep) {
  if (Index < 0 || Index >= Count()) ListIndexOutOfBounds(Index);
  UpdateScope u(this);
  auto& r = fList[static_cast<size_t>(Index)];
  auto len = static_cast<size_t>(r.fLength);
  if (len > 0) {
    // A non-empty text lies in storage of this store's own: its own, or its part of a loaded
    // buffer, which no other line shares.
    char* p = const_cast<char*>(TextOf(r));
    Start = std::min(Start, len);
    Length = std::min(Length, len - Start);
    std::memmove(p + Start, p + Start + Length, len - Start - Length);
    len = std::min(len - Length, Keep);
    p[len] = 0;
    r.fLength = static_cast<int32_t>(len);
  }
  r.fFlags = static_cast<uint8_t>((r.fFlags & ~(sfHasTabs | sfHasNoTabs)) | sfExpandedLengthUnknown);
  LineStored(static_cast<size_t>(Index));
  if (OnPutted) OnPutted(this, Index, 1);
}

void TSrcEditStringList::InsertText(int Index, size_t Start, std::string_view S) {
  if (Index < 0 || Index >= Count()) ListIndexOutOfBounds(Index);
  if (static_cast<uint64_t>(fList[static_cast<size_t>(Index)].fLength) + S.size() > uint64_t(kMaxLineLength))
    LineTooLong(int64_t(Index) + 1);
  {
    std::string_view line = Text(fList[static_cast<size_t>(Index)]);
    size_t at = std::min(Start, line.size());
    CheckWidth(int64_t(Index) + 1, line.substr(0, at), S, line.substr(at));
  }
  UpdateScope u(this);
  auto& r = fList[static_cast<size_t>(Index)];
  auto len = static_cast<size_t>(r.fLength);
  Start = std::min(Start, len);
  char* p;
  if (r.HasOwnText()) {
    p = static_cast<char*>(AllocateLargeBlock(fTexts[r.fRef].fText, len + S.size() + 1));
    fTexts[r.fRef].fText = p;
    std::memmove(p + Start + S.size(), p + Start, len - Start);
  } else {
    const char* old = TextOf(r);
    p = static_cast<char*>(AllocateLargeBlock(nullptr, len + S.size() + 1));
    std::memcpy(p, old, Start);
    std::memcpy(p + Start + S.size(), old + Start, len - Start);
  }
  if (!S.empty()) std::memcpy(p + Start, S.data(), S.size());
  p[len + S.size()] = 0;
  if (!r.HasOwnText()) TakeText(r, p);
  r.fLength = static_cast<int32_t>(len + S.size());
  r.fFlags = static_cast<uint8_t>((r.fFlags & ~(sfHasTabs | sfHasNoTabs)) | sfExpandedLengthUnknown);
  LineStored(static_cast<size_t>(Index));
  if (OnPutted) OnPutted(this, Index, 1);
}

// ---------------------------------------------------------------------------- whole-text changes

namespace {
constexpr const char* kExchangeMismatch = "Текст для обмена не совпадает со строками редактора: текст не изменён.";

// Room for Size bytes in S, in large pages where the system offers them: a text the size of
// the document is filled with few page faults.
void ReserveLarge(AnsiString& S, size_t Size) {
  S.clear();
  S.reserve(Size);
  constexpr size_t kLargePage = size_t(2) << 20;
  if (Size < 2 * kLargePage) return;
  auto first = (reinterpret_cast<uintptr_t>(S.data()) + kLargePage - 1) & ~(kLargePage - 1);
  auto last = (reinterpret_cast<uintptr_t>(S.data()) + Size) & ~(kLargePage - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

// The high bit of every byte of X that is a tab.
inline uint64_t TabBytes(uint64_t X) {
  constexpr uint64_t kTabs = 0x0909090909090909ull, kLow = 0x7F7F7F7F7F7F7F7Full;
  uint64_t y = X ^ kTabs;
  return ~(((y & kLow) + kLow) | y | kLow);
}

// Exchanges Length bytes of A and B; true when a tab of one is not a tab of the other.
bool SwapBytes(char* A, char* B, size_t Length) {
  uint64_t differ = 0;
  size_t k = 0;
  for (; k + 8 <= Length; k += 8) {
    uint64_t a, b;
    std::memcpy(&a, A + k, 8);
    std::memcpy(&b, B + k, 8);
    std::memcpy(A + k, &b, 8);
    std::memcpy(B + k, &a, 8);
    differ |= TabBytes(a) ^ TabBytes(b);
  }
  bool tabs = differ != 0;
  for (; k < Length; ++k) {
    char a = A[k];
    A[k] = B[k];
    B[k] = a;
    tabs = tabs || ((a == '\t') != (A[k] == '\t'));
  }
  return tabs;
}
}  // namespace

void TSrcEditStringList::MapText(const std::array<unsigned char, 256>& Map, AnsiString* Old) {
  const size_t n = fList.size();
  if (n == 0) {
    if (Old) Old->clear();
    return;
  }
  // Room first: once the lines begin to change nothing can fail.
  if (Old) ReserveLarge(*Old, TotalLength() + 2 * (n - 1));
  bool asciiKept = true;
  for (int c = 0; c < 0x80 && asciiKept; ++c) asciiKept = Map[static_cast<size_t>(c)] == c;
  UpdateScope u(this);
  for (size_t i = 0, bytes = ListBytes(); i < n; ++i) {
    PrefetchAhead(i, bytes);
    if (Old && i > 0) Old->append("\r\n", 2);
    auto& r = fList[i];
    if (r.fLength == 0) continue;
    // A non-empty text lies in storage that belongs to this line alone: its own, or its part
    // of a loaded buffer.
    auto* p = reinterpret_cast<unsigned char*>(const_cast<char*>(TextOf(r)));
    const size_t len = static_cast<size_t>(r.fLength);
    if (Old) Old->append(reinterpret_cast<const char*>(p), len);
    // Eight bytes at a time; eight that the map leaves as they are (plain ASCII under a map of
    // the upper half only, as code pages are) are not written at all.
    size_t k = 0;
    for (; k + 8 <= len; k += 8) {
      uint64_t w;
      std::memcpy(&w, p + k, 8);
      if (asciiKept && !(w & 0x8080808080808080ull)) continue;
      uint64_t m = 0;
      for (int b = 0; b < 64; b += 8) m |= uint64_t(Map[(w >> b) & 0xFF]) << b;
      std::memcpy(p + k, &m, 8);
    }
    for (; k < len; ++k) p[k] = Map[p[k]];
  }
  // A map that keeps the tab and gives it no other byte leaves every line's expanded length.
  bool tabsKept = Map['\t'] == '\t';
  for (int c = 0; c < 256 && tabsKept; ++c) tabsKept = c == '\t' || Map[static_cast<size_t>(c)] != '\t';
  if (!tabsKept) {
    for (auto& r : fList) r.fFlags = static_cast<uint8_t>((r.fFlags & ~(sfHasTabs | sfHasNoTabs)) | sfExpandedLengthUnknown);
    fIndexOfLongestLine = -1;
  }
  if (OnPutted) OnPutted(this, 0, static_cast<int>(n));
}

void TSrcEditStringList::ExchangeText(AnsiString& Texts) {
  const size_t n = fList.size();
  // The text must hold the present lines' lengths, each line after the first behind a CR LF.
  bool fits = n == 0 ? Texts.empty() : Texts.size() == TotalLength() + 2 * (n - 1);
  for (size_t i = 0, at = 0; fits && i < n; ++i) {
    if (i > 0) {
      fits = Texts[at] == '\r' && Texts[at + 1] == '\n';
      at += 2;
    }
    at += static_cast<size_t>(fList[i].fLength);
  }
  if (!fits) throw ESrcEditStringList(W1251(kExchangeMismatch));
  if (n == 0) return;
  UpdateScope u(this);
  char* q = Texts.data();
  for (size_t i = 0, at = 0, bytes = ListBytes(); i < n; ++i) {
    PrefetchAhead(i, bytes);
    auto& r = fList[i];
    const size_t len = static_cast<size_t>(r.fLength);
    if (len > 0 && SwapBytes(const_cast<char*>(TextOf(r)), q + at, len)) {
      // Its tabs changed: the line is measured again.
      r.fFlags = static_cast<uint8_t>((r.fFlags & ~(sfHasTabs | sfHasNoTabs)) | sfExpandedLengthUnknown);
      LineStored(i);
    }
    at += len + 2;
  }
  if (OnPutted) OnPutted(this, 0, static_cast<int>(n));
}

void TSrcEditStringList::PutObject(int Index, TObject* Obj) {
  PutObjectValue(Index, reinterpret_cast<intptr_t>(Obj));
}

void TSrcEditStringList::PutObjectValue(int Index, intptr_t Obj) {
  if (Index < 0 || Index >= Count()) ListIndexOutOfBounds(Index);
  UpdateScope u(this);
  if (Obj != 0 && fObjects.empty()) fObjects.assign(fList.size(), 0);
  if (!fObjects.empty()) fObjects[static_cast<size_t>(Index)] = Obj;
}

void TSrcEditStringList::PutRange(int Index, intptr_t Range) {
  if (Index < 0 || Index >= Count()) ListIndexOutOfBounds(Index);
  UpdateScope u(this);
  fList[static_cast<size_t>(Index)].fRange = static_cast<int16_t>(Range);
}

void TSrcEditStringList::Delete(int Index) {
  if (Index < 0 || Index >= Count()) ListIndexOutOfBounds(Index);
  DeleteLines(Index, 1);
}

void TSrcEditStringList::DeleteLines(int Index, int NumLines) {
  if (NumLines <= 0) return;
  if (Index < 0 || Index > Count()) ListIndexOutOfBounds(Index);
  UpdateScope u(this);
  int n = std::min(NumLines, Count() - Index);
  FreeTexts(static_cast<size_t>(Index), static_cast<size_t>(Index + n));
  fList.erase(fList.begin() + Index, fList.begin() + Index + n);
  if (!fObjects.empty()) fObjects.erase(fObjects.begin() + Index, fObjects.begin() + Index + n);
  if (!fExpanded.empty()) fExpanded.erase(fExpanded.begin() + Index, fExpanded.begin() + Index + n);
  if (fList.empty()) {
    // No line refers to a loaded buffer or an owned text any more.
    ResetTexts();
    fObjects.clear();
    fExpanded.clear();
  }
  if (fIndexOfLongestLine >= Index + n) fIndexOfLongestLine -= n;
  else if (fIndexOfLongestLine >= Index) fIndexOfLongestLine = -1;
  ShiftStaleRanges(Index, -n);
  if (OnDeleted) OnDeleted(this, Index, n);
}

void TSrcEditStringList::InsertLines(int Index, int NumLines) {
  if (Index < 0 || Index > Count()) ListIndexOutOfBounds(Index);
  if (NumLines <= 0) return;
  if (int64_t(Count()) + NumLines > kMaxLineCount) TooManyLines();
  UpdateScope u(this);
  SetCapacityRaw(Count() + NumLines);
  fList.insert(fList.begin() + Index, static_cast<size_t>(NumLines), TSrcEditStringRec{});
  if (!fObjects.empty()) fObjects.insert(fObjects.begin() + Index, static_cast<size_t>(NumLines), 0);
  if (!fExpanded.empty()) fExpanded.insert(fExpanded.begin() + Index, static_cast<size_t>(NumLines), 0);
  // The new lines are empty: the longest line stays the longest.
  if (fIndexOfLongestLine >= Index) fIndexOfLongestLine += NumLines;
  ShiftStaleRanges(Index, NumLines);
  if (OnInserted) OnInserted(this, Index, NumLines);
}

void TSrcEditStringList::Exchange(int Index1, int Index2) {
  if (Index1 < 0 || Index1 >= Count()) ListIndexOutOfBounds(Index1);
  if (Index2 < 0 || Index2 >= Count()) ListIndexOutOfBounds(Index2);
  UpdateScope u(this);
  std::swap(fList[static_cast<size_t>(Index1)], fList[static_cast<size_t>(Index2)]);
  if (!fObjects.empty()) std::swap(fObjects[static_cast<size_t>(Index1)], fObjects[static_cast<size_t>(Index2)]);
  if (!fExpanded.empty()) std::swap(fExpanded[static_cast<size_t>(Index1)], fExpanded[static_cast<size_t>(Index2)]);
  if (fIndexOfLongestLine == Index1) fIndexOfLongestLine = Index2;
  else if (fIndexOfLongestLine == Index2) fIndexOfLongestLine = Index1;
}

void TSrcEditStringList::Clear() {
  if (!fList.empty()) {
    UpdateScope u(this);
    const size_t freed = fTexts.size() > 1 ? TotalLength() + fList.size() * sizeof(TSrcEditStringRec) : 0;
    FreeTexts(0, fList.size());
    decltype(fList)().swap(fList);
    std::vector<intptr_t>().swap(fObjects);
    std::vector<int32_t>().swap(fExpanded);
    ResetTexts();
    fCapacity = 0;
    fStaleFrom = fStaleTo = kNoStaleRange;
    ReleaseFreedMemory(freed);
    CallEvent(OnCleared, this);
  } else {
    ResetTexts();  // a load that failed part-way may have left its buffer behind
  }
  fIndexOfLongestLine = -1;
}

size_t TSrcEditStringList::TotalLength() const {
  // Two sums side by side: the compilers' vector form of a single sum gathers the lengths of
  // the 12-byte records through the stack and runs slower than this.
  size_t a = 0, b = 0, i = 0, n = fList.size();
  for (; i + 1 < n; i += 2) {
    a += static_cast<uint32_t>(fList[i].fLength);
    b += static_cast<uint32_t>(fList[i + 1].fLength);
  }
  if (i < n) a += static_cast<uint32_t>(fList[i].fLength);
  return a + b;
}

AnsiString TSrcEditStringList::Text() const {
  if (fList.empty()) return AnsiString();
  size_t total = TotalLength() + 2 * fList.size();
  AnsiString s;
  s.reserve(total - 2);
  for (size_t i = 0; i < fList.size(); ++i) {
    if (i) s += "\r\n";
    s += Text(fList[i]);
  }
  return s;
}

void TSrcEditStringList::SetExpandedLength(size_t I, int32_t Length, bool HasTabs) {
  auto& r = fList[I];
  r.fFlags = HasTabs ? sfHasTabs : sfHasNoTabs;
  if (!HasTabs) return;
  if (fExpanded.empty()) fExpanded.assign(fList.size(), 0);
  fExpanded[I] = Length;
}

void TSrcEditStringList::ExpandLine(size_t I) {
  auto& r = fList[I];
  // A line without a tab expands to itself: its length is known without building it.
  if (r.fLength == 0 || !std::memchr(TextOf(r), '\t', static_cast<size_t>(r.fLength))) {
    r.fFlags = sfHasNoTabs;
    return;
  }
  // Measured without being expanded; no line is wider than an int32 holds.
  SetExpandedLength(I, static_cast<int32_t>(ColumnAfter(Text(r))), true);
}

std::string_view TSrcEditStringList::ExpandedView(int Index, AnsiString& Scratch) {
  auto i = static_cast<size_t>(static_cast<ptrdiff_t>(Index));
  const size_t bytes = ListBytes();
  if (i * sizeof(TSrcEditStringRec) >= bytes) return std::string_view("", 0);
  PrefetchAhead(i, bytes);
  auto& r = fList[i];
  if (!(r.fFlags & sfHasNoTabs)) {
    if (r.fLength == 0 || !std::memchr(TextOf(r), '\t', static_cast<size_t>(r.fLength))) {
      r.fFlags = sfHasNoTabs;  // as measuring it would find
    } else {
      bool hasTabs;
      Scratch = fConvertTabsProc(AnsiString(Text(r)), fTabWidth, hasTabs);
      SetExpandedLength(i, static_cast<int32_t>(Scratch.size()), hasTabs);
      return Scratch;
    }
  }
  return Text(r);
}

AnsiString TSrcEditStringList::ExpandedStrings(int Index) {
  AnsiString scratch;
  std::string_view v = ExpandedView(Index, scratch);
  if (v.data() == scratch.data()) return scratch;
  return AnsiString(v);
}

int TSrcEditStringList::ExpandedStringLengths(int Index) {
  if (Index < 0 || Index >= Count()) return 0;
  return ExpandedLength(static_cast<size_t>(Index));
}

int TSrcEditStringList::LengthOfLongestLine() {
  if (fIndexOfLongestLine < 0) {
    int32_t longest = -1;
    for (size_t i = 0, n = fList.size(), bytes = ListBytes(); i < n; ++i) {
      // Only a line not measured yet is read.
      if (i + kLookAhead < n && (fList[i + kLookAhead].fFlags & sfExpandedLengthUnknown)) PrefetchAhead(i, bytes);
      int32_t length = ExpandedLength(i);
      if (length > longest) {
        longest = length;
        fIndexOfLongestLine = static_cast<int>(i);
      }
    }
    fLongestLength = std::max(longest, 0);
  }
  return fIndexOfLongestLine >= 0 ? fLongestLength : 0;
}

void TSrcEditStringList::LineStored(size_t I) {
  // Kept up to date only once it is known: a store that is never asked measures nothing.
  if (fIndexOfLongestLine < 0) return;
  int32_t length = ExpandedLength(I);
  if (static_cast<int>(I) == fIndexOfLongestLine) {
    if (length >= fLongestLength) fLongestLength = length;
    else fIndexOfLongestLine = -1;  // it shrank: another line may be the longest now
  } else if (length > fLongestLength) {
    fIndexOfLongestLine = static_cast<int>(I);
    fLongestLength = length;
  }
}

void TSrcEditStringList::SetTabWidth(int Value) {
  if (Value == fTabWidth) return;
  // A tab width that would make a line too wide is refused before anything changes.
  if (Value > 1) {
    const int64_t reach = kMaxLineLength / Value;
    for (size_t i = 0, n = fList.size(); i < n; ++i)
      if (fList[i].fLength > reach && ExpandedWidth(Text(fList[i]), Value) > kMaxLineLength) LineTooLong(int64_t(i) + 1);
  }
  fTabWidth = Value;
  fConvertTabsProc = PickTabConverterEx(Value);
  fIndexOfLongestLine = -1;
  for (auto& r : fList) r.fFlags = static_cast<uint8_t>((r.fFlags & ~(sfHasTabs | sfHasNoTabs)) | sfExpandedLengthUnknown);
}

void TSrcEditStringList::LoadFromFile(const AnsiString& FileName) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyNone);
  LoadFromStream(&f);
}

void TSrcEditStringList::ParseLoaded(char* Data, size_t Size) {
  char* p = Data;
  char* end = Data + Size;
  bool sawCR = false, sawLF = false;
  // The next CR and the next LF at or after p, each searched again only once passed, so the
  // whole text is scanned once whatever the mix of breaks.
  auto find = [end](char* from, char c) {
    void* q = std::memchr(from, c, static_cast<size_t>(end - from));
    return q ? static_cast<char*>(q) : end;
  };
  char* nextCR = find(p, '\r');
  char* nextLF = find(p, '\n');
  *end = 0;  // the spare byte ends a last line without a break
  while (p < end) {
    if (nextCR < p) nextCR = find(p, '\r');
    if (nextLF < p) nextLF = find(p, '\n');
    char* brk = nextCR < nextLF ? nextCR : nextLF;
    char* next = brk;
    if (brk < end) {
      if (*brk == '\r') {
        ++next;
        sawCR = true;
        if (next < end && *next == '\n') {
          ++next;
          sawLF = true;
        }
      } else {
        ++next;
        sawLF = true;
      }
      // The first byte of the break becomes the #0 that ends the line's text, before anyone
      // (the insertion event) reads the line.
      *brk = 0;
    }
    // Each line fires its own insertion event, as Add does.
    if (Count() == fCapacity) Grow();
    TSrcEditStringRec r;
    auto offset = static_cast<uint64_t>(p - Data);
    r.fRef = static_cast<uint32_t>(offset);
    r.fRefHigh = static_cast<uint8_t>(offset >> 32);
    r.fLength = static_cast<int32_t>(brk - p);
    r.fRange = -1;
    r.fFlags = sfExpandedLengthUnknown;
    fList.push_back(r);
    // The insertion event may have measured an earlier line with tabs.
    if (!fExpanded.empty()) fExpanded.push_back(0);
    if (OnInserted) OnInserted(this, Count() - 1, 1);
    p = next;
  }
  if (sawLF && !sawCR) fFileFormat = lbLF;
  else if (sawCR && !sawLF) fFileFormat = lbCR;
  else fFileFormat = lbCRLF;
}

void TSrcEditStringList::CheckLoadedLimits(const char* Data, size_t Size) {
  // A text no longer than a line may be, has neither a line too long nor too many lines.
  if (Size <= static_cast<size_t>(kMaxLineLength)) return;
  const char* p = Data;
  const char* end = Data + Size;
  auto find = [end](const char* from, char c) {
    auto* hit = static_cast<const char*>(std::memchr(from, c, static_cast<size_t>(end - from)));
    return hit ? hit : end;
  };
  const char* nextCR = find(p, '\r');
  const char* nextLF = find(p, '\n');
  int64_t lines = 0;
  while (p < end) {
    if (nextCR < p) nextCR = find(p, '\r');
    if (nextLF < p) nextLF = find(p, '\n');
    const char* brk = std::min(nextCR, nextLF);
    if (++lines > kMaxLineCount) TooManyLines();
    if (brk - p > kMaxLineLength) LineTooLong(lines);
    p = brk + (brk < end && *brk == '\r' && brk + 1 < end && brk[1] == '\n' ? 2 : 1);
  }
}

void TSrcEditStringList::CheckLoadedWidths(const char* Data, size_t Size) const {
  // Only a line of more than `reach` bytes may be too wide. The text is stepped through that far
  // at a time, looking back from each step for the last line break before it, so that a text of
  // shorter lines is hardly read; a line with no break in reach is measured.
  if (!MayBeTooWide(static_cast<int64_t>(Size))) return;
  const auto reach = static_cast<size_t>(kMaxLineLength / std::max(fTabWidth, 1));
  const char* end = Data + Size;
  auto lastBreak = [](const char* from, const char* to) -> const char* {
    const auto* lf = static_cast<const char*>(memrchr(from, '\n', static_cast<size_t>(to - from)));
    const char* after = lf ? lf + 1 : from;
    const auto* cr = static_cast<const char*>(memrchr(after, '\r', static_cast<size_t>(to - after)));
    return cr ? cr : lf;
  };
  auto find = [end](const char* from, char c) {
    auto* hit = static_cast<const char*>(std::memchr(from, c, static_cast<size_t>(end - from)));
    return hit ? hit : end;
  };
  for (const char* p = Data; static_cast<size_t>(end - p) > reach;) {
    const char* stop = p + reach + 1;
    if (const char* brk = lastBreak(p, stop)) {
      p = brk + 1;
      continue;
    }
    const char* lineEnd = std::min(find(stop, '\r'), find(stop, '\n'));
    if (ColumnAfter(std::string_view(p, static_cast<size_t>(lineEnd - p))) > kMaxLineLength) {
      // The line's number, counted only for the message.
      int64_t line = 1;
      for (const char* q = Data; q < p; ++q)
        if (*q == '\n' || (*q == '\r' && q[1] != '\n')) ++line;
      LineTooLong(line);
    }
    if (lineEnd == end) break;
    p = lineEnd + 1;
  }
}

void TSrcEditStringList::SetText(const AnsiString& Value) {
  CheckLoadedLimits(Value.data(), Value.size());
  CheckLoadedWidths(Value.data(), Value.size());
  TStrings::SetText(Value);
}

void TSrcEditStringList::LoadFromStream(TStream* Stream) {
  UpdateScope u(this);
  // Everything is read before the lines change, so a read error leaves the text as it was. The
  // lines then stay in the buffer read: only a line stored later gets storage of its own.
  constexpr size_t kPiece = size_t(8) << 20;
  // The size found at the start is read in full (a failure or a file that shrank raises the
  // stream's error); when the file grew meanwhile, what it grew by is read too. A device that
  // reports no size gives no data, as before.
  Stream->SetPosition(0);
  std::unique_ptr<char, FreeDeleter> buffer;
  size_t room = 0;
  int64_t read = 0;
  for (int64_t size = std::max<int64_t>(Stream->Size(), 0); read < size;
       size = std::max<int64_t>(Stream->Size(), size)) {
    // A loaded line is found by its 40-bit offset, short of the mark of an owned text: nearly
    // a terabyte, more than any memory that could hold the text.
    if (static_cast<uint64_t>(size) >= uint64_t(TSrcEditStringRec::kOwnedText) << 32) throw std::bad_alloc();
    // One spare byte for the #0 after the last line.
    size_t need = static_cast<size_t>(size) + 1;
    if (need > room) {
      void* grown = AllocateLargeBlock(buffer.get(), need);
      buffer.release();
      buffer.reset(static_cast<char*>(grown));
      room = need;
    }
    while (read < size) {
      size_t want = static_cast<size_t>(std::min<int64_t>(size - read, static_cast<int64_t>(kPiece)));
      Stream->ReadBuffer(buffer.get() + read, static_cast<int64_t>(want));
      read += static_cast<int64_t>(want);
    }
  }
  CheckLoadedLimits(buffer.get(), static_cast<size_t>(read));
  CheckLoadedWidths(buffer.get(), static_cast<size_t>(read));
  Clear();
  fFileFormat = lbCRLF;
  if (read == 0) return;
  char* data = buffer.get();
  auto size = static_cast<size_t>(read);
  // Room for the lines at once, from a cheap count of the breaks.
  auto count = [data, size](char c) {
    size_t n = 0;
    for (const char* p = data; (p = static_cast<const char*>(std::memchr(p, c, size - static_cast<size_t>(p - data)))); ++p) ++n;
    return n;
  };
  size_t breaks = count('\n');
  if (breaks == 0) breaks = count('\r');
  if (breaks + 1 > static_cast<size_t>(fCapacity)) SetCapacityRaw(static_cast<int>(breaks + 1));
  fLoaded = std::move(buffer);
  ParseLoaded(data, size);
}

void TSrcEditStringList::SaveToStream(TStream* Stream) {
  size_t breakLen = fFileFormat == lbCRLF ? 2 : 1;
  size_t total = TotalLength() + breakLen * fList.size();
  AnsiString s;
  s.reserve(total);
  const char* brk = fFileFormat == lbCRLF ? "\r\n" : fFileFormat == lbLF ? "\n" : "\r";
  for (size_t i = 0, n = fList.size(), bytes = ListBytes(); i < n; ++i) {
    PrefetchAhead(i, bytes);
    s += Text(fList[i]);
    s.append(brk, breakLen);
  }
  Stream->WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
}

void TSrcEditStringList::SaveToFile(const AnsiString& FileName) {
  // The writer saves safely: a failed save leaves the file as it was (see TSafeFileStream).
  int64_t breakLen = fFileFormat == lbCRLF ? 2 : 1;
  auto total = static_cast<int64_t>(TotalLength()) + breakLen * static_cast<int64_t>(fList.size());
  TSrcEditFileWriter writer(FileName, total);
  writer.SetFileFormat(fFileFormat);
  for (size_t i = 0, n = fList.size(), bytes = ListBytes(); i < n; ++i) {
    PrefetchAhead(i, bytes);
    writer.WriteLine(Text(fList[i]));
  }
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

void TSrcEditFileWriter::WriteLine(std::string_view S) {
  int breakLen = fFileFormat == lbCRLF ? 2 : 1;
  int64_t need = static_cast<int64_t>(S.size()) + breakLen;
  if (fFilled + need > fBufferSize) {
    Flush();
    if (need > fBufferSize) {
      // A line longer than the buffer goes out from where it is, its break through the buffer.
      if (fStream) fStream->WriteBuffer(S.data(), static_cast<int64_t>(S.size()));
      S = std::string_view();
    }
  }
  if (!S.empty()) std::memcpy(fBuffer.data() + fFilled, S.data(), S.size());
  fFilled += static_cast<int>(S.size());
  if (fFileFormat != lbLF) fBuffer[static_cast<size_t>(fFilled++)] = '\r';
  if (fFileFormat != lbCR) fBuffer[static_cast<size_t>(fFilled++)] = '\n';
}
