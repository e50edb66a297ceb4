#include "editor/word_wrap.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

TSrcWordWrapPlugin::TSrcWordWrapPlugin(TSrcWordWrapHost* Editor) : fEditor(Editor) {
  if (!Editor) throw Exception("TSrcWordWrapPlugin must be owned by TCustomSrcEdit");
  Reset();
}

void TSrcWordWrapPlugin::Check(bool Condition, int Where) const {
  if (!Condition) throw EAssertionFailed(Format("Assertion failed (SrcEditWordWrap, check %d)", {Where}));
}

namespace {

int ReadLength(const uint8_t* Data, int Width, size_t I) {
  const uint8_t* p = Data + I * static_cast<size_t>(Width);
  if (Width == 1) return *p;
  if (Width == 2) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void WriteLength(uint8_t* Data, int Width, size_t I, int Value) {
  uint8_t* p = Data + I * static_cast<size_t>(Width);
  if (Width == 1) {
    *p = static_cast<uint8_t>(Value);
  } else if (Width == 2) {
    auto v = static_cast<uint16_t>(Value);
    std::memcpy(p, &v, 2);
  } else {
    auto v = static_cast<int32_t>(Value);
    std::memcpy(p, &v, 4);
  }
}

int LargestLength(int Width) { return Width == 1 ? 0xFF : Width == 2 ? 0xFFFF : INT32_MAX; }

}  // namespace

int TSrcWrapRowLengths::Read(size_t I) const { return ReadLength(fData.data(), fWidth, I); }

void TSrcWrapRowLengths::Write(size_t I, int Value) { WriteLength(fData.data(), fWidth, I, Value); }

void TSrcWrapRowLengths::Clear() {
  fData.clear();
  fData.shrink_to_fit();
  fWidth = 1;
  fCount = fGapStart = fGapSize = 0;
}

void TSrcWrapRowLengths::MoveGap(int To) {
  if (To != fGapStart && fGapSize > 0) {
    const auto w = static_cast<size_t>(fWidth);
    uint8_t* d = fData.data();
    if (To < fGapStart)
      std::memmove(d + static_cast<size_t>(To + fGapSize) * w, d + static_cast<size_t>(To) * w,
                   static_cast<size_t>(fGapStart - To) * w);
    else
      std::memmove(d + static_cast<size_t>(fGapStart) * w, d + static_cast<size_t>(fGapStart + fGapSize) * w,
                   static_cast<size_t>(To - fGapStart) * w);
    fMoved += std::abs(To - fGapStart);
  }
  fGapStart = To;
}

void TSrcWrapRowLengths::Relayout(size_t Rows, int Width) {
  std::vector<uint8_t> data(Rows * static_cast<size_t>(Width));
  const int gap = static_cast<int>(Rows) - fCount;
  if (Width == fWidth) {
    const auto w = static_cast<size_t>(fWidth);
    if (fGapStart > 0) std::memcpy(data.data(), fData.data(), static_cast<size_t>(fGapStart) * w);
    if (fCount > fGapStart)
      std::memcpy(data.data() + static_cast<size_t>(fGapStart + gap) * w,
                  fData.data() + static_cast<size_t>(fGapStart + fGapSize) * w,
                  static_cast<size_t>(fCount - fGapStart) * w);
  } else {
    for (int r = 0; r < fCount; ++r)
      WriteLength(data.data(), Width, static_cast<size_t>(r < fGapStart ? r : r + gap), Get(r));
  }
  fMoved += fCount;
  fData.swap(data);
  fWidth = Width;
  fGapSize = gap;
}

void TSrcWrapRowLengths::Replace(int First, int End, const std::vector<int>& New) {
  const int n = static_cast<int>(New.size()), old = End - First;
  int width = fWidth;
  for (int v : New)
    while (v > LargestLength(width)) width *= 2;
  MoveGap(End);  // the rows after End lie behind the gap, the rows replaced right before it
  if (width != fWidth || n > old + fGapSize) {
    size_t capacity = Capacity();
    size_t need = static_cast<size_t>(fCount - old + n);
    // Grown by half at a time, so that a run of growing edits copies each row a few times only.
    if (need > capacity) capacity = std::max(need, capacity + capacity / 2) + 512;
    Relayout(capacity, width);
  }
  for (int k = 0; k < n; ++k) Write(static_cast<size_t>(First + k), New[static_cast<size_t>(k)]);
  fMoved += n;
  fGapSize += old - n;
  fGapStart = First + n;
  fCount += n - old;
}

void TSrcWordWrapPlugin::GrowLines(int Needed) {
  if (Needed <= fLineCapacity) return;
  fLineCapacity = Needed - Needed % 256 + 256;
  fLineOffsets.resize(static_cast<size_t>(fLineCapacity));
}

void TSrcWordWrapPlugin::MoveShiftTo(int Index) {
  if (fShiftFrom >= fLineCount) fShift = 0;  // no line carries it
  if (fShift != 0) {
    for (int i = fShiftFrom; i < Index; ++i) fLineOffsets[static_cast<size_t>(i)] += fShift;
    for (int i = Index; i < fShiftFrom; ++i) fLineOffsets[static_cast<size_t>(i)] -= fShift;
    fShifted += std::abs(Index - fShiftFrom);
  }
  fShiftFrom = Index;
}

void TSrcWordWrapPlugin::ShiftFrom(int Index, int Delta) {
  if (Delta == 0) return;
  MoveShiftTo(Index);
  fShift += Delta;
}

void TSrcWordWrapPlugin::Reset() {
  int w = std::max(fEditor->WrapCharsInWindow(), 0);
  fMaxRowLength = w;
  fMinRowLength = std::max(w - w / 3, 1);
  TSysCharSet ident;
  if (!fEditor->WrapIdentChars(ident)) ident = TSysCharSet::Range(33, 255);
  fBreakChars = TSysCharSet::Range(0, 255) - ident;
  WrapLines();
}

void TSrcWordWrapPlugin::DisplayChanged() {
  if (std::max(fEditor->WrapCharsInWindow(), 0) != fMaxRowLength) Reset();
}

void TSrcWordWrapPlugin::WrapLine(std::string_view s, std::vector<int>& out) const {
  ++fWrapped;
  const int n = static_cast<int>(s.size());
  const int tabWidth = std::max(fEditor->WrapTabWidth(), 1);
  // Blanks at a break may take a row past the window's width, up to this many characters.
  const int longest = std::max(fMaxRowLength, 255);
  auto blank = [&](int i) { return s[static_cast<size_t>(i)] == ' ' || s[static_cast<size_t>(i)] == '\t'; };
  // Characters from blanksFrom up to blanksTo are blanks, and blanksTo is the first character
  // after their run (or the line's end): a run longer than a row is read once, not once for
  // every row it fills.
  int blanksFrom = 0, blanksTo = 0;
  // The character that holds the last position asked for starts at charAt, the next one at
  // charStart: the positions asked for only grow, so that the line's characters are walked once.
  const bool multiByte = MultiByteSupport();
  int charAt = 0, charStart = 0;
  auto trailByte = [&](int i) {
    if (i < charAt) charAt = charStart = 0;  // not expected: walk again from the line's start
    while (charStart <= i) {
      charAt = charStart;
      charStart += IsLeadByte(s[static_cast<size_t>(charStart)]) ? 2 : 1;
      ++fWrapSteps;
    }
    return charAt < i;
  };
  int start = 0;
  // The rest is compared with the wrap width as a distance, which cannot overflow on a line
  // that reaches the largest column.
  while (n - start > fMaxRowLength) {
    const int end = start + fMaxRowLength;
    int p;
    if (blank(end)) {
      // Blanks at a break stay at the end of the upper row.
      if (end < blanksFrom || end >= blanksTo) {
        blanksFrom = blanksTo = end;
        while (blanksTo < n && blank(blanksTo)) {
          ++blanksTo;
          ++fWrapSteps;
        }
      }
      p = blanksTo;
    } else {
      p = end;
      for (int b = end - 1; b >= start + fMinRowLength + 1; --b) {
        ++fWrapSteps;
        if (fBreakChars.Contains(s[static_cast<size_t>(b)])) {
          p = b + 1;
          break;
        }
      }
    }
    if (p - start > longest) {
      // Cut at the longest row, backed over tab cells to a tab stop so that a tab stays whole;
      // with no stop after the row's start (a tab wider than the longest row) the cut stays
      // where it is: every row takes at least one character.
      p = start + longest;
      const int stop = start + longest - longest % tabWidth;
      if (stop > start)
        while (p > stop && s[static_cast<size_t>(p)] == '\t') --p;
    }
    // A double-byte character goes to the next row whole, or stays whole on a row it starts.
    if (multiByte && p < n && trailByte(p)) p = p - 1 > start ? p - 1 : p + 1;
    out.push_back(p - start);
    start = p;
  }
  out.push_back(n - start);
}

void TSrcWordWrapPlugin::WrapLines() {
  TSrcEditStringList* lines = fEditor->WrapLines();
  int count = lines ? lines->Count() : 0;
  fRows.Clear();
  fShiftFrom = fShift = 0;
  if (count == 0 || fMaxRowLength == 0) {
    fLineCount = 0;
    fLineOffsets.clear();
    fLineOffsets.shrink_to_fit();
    fLineCapacity = 0;
    return;
  }
  GrowLines(count);
  int rows = 0;
  AnsiString expanded;
  for (int i = 0; i < count; ++i) {
    fScratch.clear();
    WrapLine(lines->ExpandedView(i, expanded), fScratch);
    fRows.Replace(rows, rows, fScratch);
    rows += static_cast<int>(fScratch.size());
    fLineOffsets[static_cast<size_t>(i)] = rows;
  }
  fLineCount = count;
  fShiftFrom = count;
}

int TSrcWordWrapPlugin::ReWrapLines(int Index, int Count, bool Inserted) {
  MoveShiftTo(Index + Count);  // the lines rewrapped hold their offsets as they are
  const int first = StartOf(Index);
  const int oldEnd = Inserted ? first : fLineOffsets[static_cast<size_t>(Index + Count - 1)];
  fScratch.clear();
  AnsiString expanded;
  TSrcEditStringList* lines = fEditor->WrapLines();
  for (int i = Index; i < Index + Count; ++i) {
    WrapLine(lines->ExpandedView(i, expanded), fScratch);
    fLineOffsets[static_cast<size_t>(i)] = first + static_cast<int>(fScratch.size());
  }
  fShifted += Count;
  const int delta = static_cast<int>(fScratch.size()) - (oldEnd - first);
  fRows.Replace(first, oldEnd, fScratch);
  ShiftFrom(Index + Count, delta);
  return delta;
}

int TSrcWordWrapPlugin::LinesInserted(int Index, int Count) {
  if (fMaxRowLength == 0) return 0;
  Check(Index >= 0 && Index <= fLineCount && Count > 0, 1);
  GrowLines(fLineCount + Count);
  MoveShiftTo(Index);  // the lines that move carry the pending shift with them
  if (Index < fLineCount) {
    std::memmove(fLineOffsets.data() + Index + Count, fLineOffsets.data() + Index,
                 static_cast<size_t>(fLineCount - Index) * sizeof(int));
    fShifted += fLineCount - Index;
  }
  fLineCount += Count;
  fShiftFrom = Index + Count;
  return ReWrapLines(Index, Count, true);
}

int TSrcWordWrapPlugin::LinesDeleted(int Index, int Count) {
  if (fMaxRowLength == 0) return 0;
  Check(Index >= 0 && Count >= 0 && Index + Count <= fLineCount, 2);
  if (Count == 0) return 0;
  const int first = StartOf(Index);
  const int last = Offset(Index + Count - 1);
  fScratch.clear();
  fRows.Replace(first, last, fScratch);
  MoveShiftTo(Index + Count);  // the lines that move carry the pending shift with them
  if (Index + Count < fLineCount) {
    std::memmove(fLineOffsets.data() + Index, fLineOffsets.data() + Index + Count,
                 static_cast<size_t>(fLineCount - Index - Count) * sizeof(int));
    fShifted += fLineCount - Index - Count;
  }
  fLineCount -= Count;
  fShiftFrom = Index;
  fShift -= last - first;
  return last - first;
}

int TSrcWordWrapPlugin::LinesPutted(int Index, int Count) {
  if (fMaxRowLength == 0) return 0;
  Check(Index >= 0 && Count >= 0 && Index + Count <= fLineCount, 3);
  if (Count == 0) return 0;
  return ReWrapLines(Index, Count, false);
}

TDisplayCoord TSrcWordWrapPlugin::BufferToDisplayPos(const TBufferCoord& Pos) {
  Check(Pos.Char >= 1 && Pos.Line >= 1, 4);
  if (Pos.Line > fLineCount) return TDisplayCoord{Pos.Char, RowCount() + Pos.Line - fLineCount};
  int first = StartOf(Pos.Line - 1);
  int last = Offset(Pos.Line - 1);
  int sum = 0;
  for (int r = first; r < last; ++r) {
    int len = fRows.Get(r);
    sum += len;
    if (sum >= Pos.Char || r == last - 1) return TDisplayCoord{len + Pos.Char - sum, r + 1};
  }
  return TDisplayCoord{Pos.Char, first + 1};
}

TBufferCoord TSrcWordWrapPlugin::DisplayToBufferPos(const TDisplayCoord& Pos) {
  Check(Pos.Column >= 1 && Pos.Row >= 1, 5);
  int rows = RowCount();
  if (Pos.Row > rows) return TBufferCoord{Pos.Column, Pos.Row + fLineCount - rows};
  int row = Pos.Row - 1;  // 0-based
  // The line whose rows hold the row: the first line whose offset passes it.
  int line = 0, past = fLineCount;
  while (line < past) {
    int mid = line + (past - line) / 2;
    if (Offset(mid) > row)
      past = mid;
    else
      line = mid + 1;
  }
  int first = StartOf(line);
  int lastRow = Offset(line) - 1;
  int len = fRows.Get(row);
  int column = std::min(Pos.Column, row == lastRow ? fMaxRowLength + 1 : len + 1);
  for (int r = first; r < row; ++r) column += fRows.Get(r);
  return TBufferCoord{column, line + 1};
}

int TSrcWordWrapPlugin::GetRowLength(int Row) {
  if (Row < 1 || Row > RowCount()) throw EListError(Format("List index out of bounds (%d)", {Row}));
  return fRows.Get(Row - 1);
}
