#include "editor/word_wrap.h"

#include <algorithm>
#include <cstring>

TSrcWordWrapPlugin::TSrcWordWrapPlugin(TSrcWordWrapHost* Editor) : fEditor(Editor) {
  if (!Editor) throw Exception("TSrcWordWrapPlugin must be owned by TCustomSrcEdit");
  Reset();
}

void TSrcWordWrapPlugin::Check(bool Condition, int Where) const {
  if (!Condition) throw EAssertionFailed(Format("Assertion failed (SrcEditWordWrap, check %d)", {Where}));
}

void TSrcWordWrapPlugin::GrowLines(int Needed) {
  if (Needed <= fLineCapacity) return;
  fLineCapacity = Needed - Needed % 256 + 256;
  fLineOffsets.resize(static_cast<size_t>(fLineCapacity));
}

void TSrcWordWrapPlugin::GrowRows(int Needed) {
  if (Needed <= fRowCapacity) return;
  fRowCapacity = Needed + 512 - Needed % 512;
  fRowLengths.resize(static_cast<size_t>(fRowCapacity));
}

void TSrcWordWrapPlugin::Reset() {
  int w = std::min(fEditor->WrapCharsInWindow(), 255);
  if (w < 0) w = 0;
  fMaxRowLength = w;
  fMinRowLength = std::max(w - w / 3, 1);
  TSysCharSet ident;
  if (!fEditor->WrapIdentChars(ident)) ident = TSysCharSet::Range(33, 255);
  fBreakChars = TSysCharSet::Range(0, 255) - ident;
  WrapLines();
}

void TSrcWordWrapPlugin::DisplayChanged() {
  if (std::min(fEditor->WrapCharsInWindow(), 255) != fMaxRowLength) Reset();
}

void TSrcWordWrapPlugin::WrapLine(std::string_view s, std::vector<uint8_t>& out) const {
  ++fWrapped;
  const int n = static_cast<int>(s.size());
  const int tabWidth = std::max(fEditor->WrapTabWidth(), 1);
  int start = 0;
  int end = start + fMaxRowLength;
  while (end < n) {
    int p;
    char c = s[static_cast<size_t>(end)];
    if (c == ' ' || c == '\t') {
      // Blanks at a break stay at the end of the upper row.
      p = end;
      while (p < n && (s[static_cast<size_t>(p)] == ' ' || s[static_cast<size_t>(p)] == '\t')) ++p;
    } else {
      p = end;
      for (int b = end - 1; b >= start + fMinRowLength + 1; --b) {
        if (fBreakChars.Contains(s[static_cast<size_t>(b)])) {
          p = b + 1;
          break;
        }
      }
    }
    if (p - start >= 256) {
      p = start + 255;
      while (p < n && s[static_cast<size_t>(p)] == '\t' && p > start + 255 - (255 % tabWidth)) --p;
    }
    if (p < n && p > start && ByteType(s, static_cast<size_t>(p)) == mbTrailByte) --p;
    out.push_back(static_cast<uint8_t>(p - start));
    start = p;
    end = p + fMaxRowLength;
  }
  out.push_back(static_cast<uint8_t>(n - start));
}

void TSrcWordWrapPlugin::WrapLines() {
  TSrcEditStringList* lines = fEditor->WrapLines();
  int count = lines ? lines->Count() : 0;
  if (count == 0 || fMaxRowLength == 0) {
    fLineCount = 0;
    fLineOffsets.clear();
    fLineOffsets.shrink_to_fit();
    fRowLengths.clear();
    fRowLengths.shrink_to_fit();
    fLineCapacity = fRowCapacity = 0;
    return;
  }
  GrowLines(count);
  int rows = 0;
  AnsiString expanded;
  for (int i = 0; i < count; ++i) {
    std::string_view e = lines->ExpandedView(i, expanded);
    int maxRows = (static_cast<int>(e.size()) - 1) / fMinRowLength + 1;
    GrowRows(rows + std::max(maxRows, 1) + 1);
    fScratch.clear();
    WrapLine(e, fScratch);
    std::memcpy(fRowLengths.data() + rows, fScratch.data(), fScratch.size());
    rows += static_cast<int>(fScratch.size());
    fLineOffsets[static_cast<size_t>(i)] = rows;
  }
  fLineCount = count;
}

int TSrcWordWrapPlugin::ReWrapLine(int Index) {
  fScratch.clear();
  AnsiString expanded;
  WrapLine(fEditor->WrapLines()->ExpandedView(Index, expanded), fScratch);
  int newRows = static_cast<int>(fScratch.size());
  int first = StartOf(Index);
  int oldEnd = fLineOffsets[static_cast<size_t>(Index)];
  int delta = newRows - (oldEnd - first);
  int rowCount = RowCount();
  if (delta < 0) {
    if (oldEnd < rowCount)
      std::memmove(fRowLengths.data() + oldEnd + delta, fRowLengths.data() + oldEnd,
                   static_cast<size_t>(rowCount - oldEnd));
    for (int i = Index; i < fLineCount; ++i) fLineOffsets[static_cast<size_t>(i)] += delta;
  } else if (delta > 0) {
    GrowRows(rowCount + delta);
    for (int i = Index; i < fLineCount; ++i) fLineOffsets[static_cast<size_t>(i)] += delta;
    if (oldEnd < rowCount)
      std::memmove(fRowLengths.data() + oldEnd + delta, fRowLengths.data() + oldEnd,
                   static_cast<size_t>(rowCount - oldEnd));
  }
  std::memcpy(fRowLengths.data() + first, fScratch.data(), fScratch.size());
  return delta;
}

int TSrcWordWrapPlugin::LinesInserted(int Index, int Count) {
  if (fMaxRowLength == 0) return 0;
  Check(Index >= 0 && Index <= fLineCount && Count > 0, 1);
  GrowLines(fLineCount + Count);
  if (Index < fLineCount)
    std::memmove(fLineOffsets.data() + Index + Count, fLineOffsets.data() + Index,
                 static_cast<size_t>(fLineCount - Index) * sizeof(int));
  fLineCount += Count;
  int before = StartOf(Index);
  for (int i = Index; i < Index + Count; ++i) fLineOffsets[static_cast<size_t>(i)] = before;
  int sum = 0;
  for (int i = Index; i < Index + Count; ++i) sum += ReWrapLine(i);
  return sum;
}

int TSrcWordWrapPlugin::LinesDeleted(int Index, int Count) {
  if (fMaxRowLength == 0) return 0;
  Check(Index >= 0 && Count >= 0 && Index + Count <= fLineCount, 2);
  if (Count == 0) return 0;
  int first = StartOf(Index);
  int last = fLineOffsets[static_cast<size_t>(Index + Count - 1)];
  int rowCount = RowCount();
  if (last < rowCount)
    std::memmove(fRowLengths.data() + first, fRowLengths.data() + last, static_cast<size_t>(rowCount - last));
  if (Index + Count < fLineCount)
    std::memmove(fLineOffsets.data() + Index, fLineOffsets.data() + Index + Count,
                 static_cast<size_t>(fLineCount - Index - Count) * sizeof(int));
  fLineCount -= Count;
  for (int i = Index; i < fLineCount; ++i) fLineOffsets[static_cast<size_t>(i)] -= last - first;
  return last - first;
}

int TSrcWordWrapPlugin::LinesPutted(int Index, int Count) {
  if (fMaxRowLength == 0) return 0;
  Check(Index >= 0 && Count >= 0 && Index + Count <= fLineCount, 3);
  int sum = 0;
  for (int i = Index; i < Index + Count; ++i) sum += ReWrapLine(i);
  return sum;
}

TDisplayCoord TSrcWordWrapPlugin::BufferToDisplayPos(const TBufferCoord& Pos) {
  Check(Pos.Char >= 1 && Pos.Line >= 1, 4);
  if (Pos.Line > fLineCount) return TDisplayCoord{Pos.Char, RowCount() + Pos.Line - fLineCount};
  int first = StartOf(Pos.Line - 1);
  int last = fLineOffsets[static_cast<size_t>(Pos.Line - 1)];
  int sum = 0;
  for (int r = first; r < last; ++r) {
    sum += fRowLengths[static_cast<size_t>(r)];
    if (sum >= Pos.Char || r == last - 1)
      return TDisplayCoord{fRowLengths[static_cast<size_t>(r)] + Pos.Char - sum, r + 1};
  }
  return TDisplayCoord{Pos.Char, first + 1};
}

TBufferCoord TSrcWordWrapPlugin::DisplayToBufferPos(const TDisplayCoord& Pos) {
  Check(Pos.Column >= 1 && Pos.Row >= 1, 5);
  int rows = RowCount();
  if (Pos.Row > rows) return TBufferCoord{Pos.Column, Pos.Row + fLineCount - rows};
  int row = Pos.Row - 1;  // 0-based
  // The line whose rows hold the row: the first line whose offset passes it.
  int line = static_cast<int>(std::upper_bound(fLineOffsets.begin(), fLineOffsets.begin() + fLineCount, row) -
                              fLineOffsets.begin());
  int first = StartOf(line);
  int lastRow = fLineOffsets[static_cast<size_t>(line)] - 1;
  int len = fRowLengths[static_cast<size_t>(row)];
  int column = std::min(Pos.Column, row == lastRow ? fMaxRowLength + 1 : len + 1);
  for (int r = first; r < row; ++r) column += fRowLengths[static_cast<size_t>(r)];
  return TBufferCoord{column, line + 1};
}

int TSrcWordWrapPlugin::GetRowLength(int Row) {
  if (Row < 1 || Row > RowCount()) throw EListError(Format("List index out of bounds (%d)", {Row}));
  return fRowLengths[static_cast<size_t>(Row - 1)];
}
