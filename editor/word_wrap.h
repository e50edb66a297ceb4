#pragma once
// Word wrap: the map between buffer lines and display rows, kept in step with every change of
// the line store. Each line of the tab-expanded text gets as many rows as it needs to fit the
// window's width, broken after a word where possible.
#include <cstdint>
#include <vector>

#include "editor/buffer_plugin.h"
#include "editor/core/line_store.h"
#include "editor/core/types.h"

VT_DECLARE_EXCEPTION(EAssertionFailed, Exception);

// What the plugin reads of the control that owns it.
class TSrcWordWrapHost {
public:
  virtual ~TSrcWordWrapHost() = default;
  virtual int WrapCharsInWindow() const = 0;
  virtual TSrcEditStringList* WrapLines() const = 0;
  virtual int WrapTabWidth() const = 0;
  // The highlighter's identifier characters; false without a highlighter.
  virtual bool WrapIdentChars(TSysCharSet& Chars) const = 0;
};

// The lengths of all display rows in row order, kept as a gap buffer: rows before the gap lie at
// the front of the storage, rows after it at the back, so that a run of edits moving through the
// text (the lines of a paste, one after the other) moves only the rows it passes. Each length
// takes one byte until a row longer than 255 characters is stored (a window that wide), then two
// bytes, and four for rows beyond 65,535.
class TSrcWrapRowLengths {
public:
  int Count() const { return fCount; }
  int Get(int Row) const { return Read(static_cast<size_t>(Row < fGapStart ? Row : Row + fGapSize)); }
  // Rows [First, End) become the rows of New.
  void Replace(int First, int End, const std::vector<int>& New);
  void Clear();
  int ElementBytes() const { return fWidth; }
  size_t Capacity() const { return fData.size() / static_cast<size_t>(fWidth); }
  // Lengths moved or rewritten since construction.
  long long Moved() const { return fMoved; }

private:
  int Read(size_t I) const;
  void Write(size_t I, int Value);
  void MoveGap(int To);
  // Storage for Rows rows with elements of Width bytes, the gap kept where it is.
  void Relayout(size_t Rows, int Width);

  std::vector<uint8_t> fData;
  int fWidth = 1;
  int fCount = 0, fGapStart = 0, fGapSize = 0;
  long long fMoved = 0;
};

class TSrcWordWrapPlugin : public ISrcEditBufferPlugin {
public:
  explicit TSrcWordWrapPlugin(TSrcWordWrapHost* Editor);

  TDisplayCoord BufferToDisplayPos(const TBufferCoord& Pos) override;
  TBufferCoord DisplayToBufferPos(const TDisplayCoord& Pos) override;
  int RowCount() override { return fLineCount < 1 ? 0 : Offset(fLineCount - 1); }
  int GetRowLength(int Row) override;
  int LinesInserted(int Index, int Count) override;
  int LinesDeleted(int Index, int Count) override;
  int LinesPutted(int Index, int Count) override;
  void DisplayChanged() override;
  void Reset() override;
  int LineToRow(int Line) override { return BufferToDisplayPos(TBufferCoord{1, Line}).Row; }
  int RowToLine(int Row) override { return DisplayToBufferPos(TDisplayCoord{1, Row}).Line; }

  int LineCount() const { return fLineCount; }
  int LineCapacity() const { return fLineCapacity; }
  int MinRowLength() const { return fMinRowLength; }
  int MaxRowLength() const { return fMaxRowLength; }
  // Bytes that one row length takes at present.
  int RowLengthBytes() const { return fRows.ElementBytes(); }
  // Lines wrapped since construction: a full rewrap counts every line, an edit only its own.
  long long WrappedLines() const { return fWrapped; }
  // Characters the wrapping looked at since construction beyond one per row: blanks of a run at
  // a break, candidates for a word break and steps over double-byte characters.
  long long WrapSteps() const { return fWrapSteps; }
  // Line offsets and row lengths an edit moved or adjusted since construction; an edit moves
  // those between it and the previous edit, and those of the lines it changes.
  long long ShiftedEntries() const { return fShifted + fRows.Moved(); }
  // Rows after line i (0-based), for tests and painting.
  int LineOffset(int Index) const {
    Check(Index >= 0 && Index < fLineCount, 6);
    return Offset(Index);
  }

private:
  void WrapLines();
  // Wraps lines Index .. Index + Count - 1 anew (Inserted: they had no rows yet); returns the
  // change in rows.
  int ReWrapLines(int Index, int Count, bool Inserted);
  // Appends the rows of one expanded line to Out.
  void WrapLine(std::string_view Expanded, std::vector<int>& Out) const;
  void GrowLines(int Needed);
  void Check(bool Condition, int Where) const;
  // Offsets are stored as they were before the changes still to be added to the lines from
  // fShiftFrom on: a change of rows in one line is added to every later line only when an
  // edit elsewhere needs it, by the lines in between.
  int Offset(int Index) const {
    return fLineOffsets[static_cast<size_t>(Index)] + (Index >= fShiftFrom ? fShift : 0);
  }
  int StartOf(int Index) const { return Index == 0 ? 0 : Offset(Index - 1); }
  // Moves the start of the pending shift to Index, the offsets staying what they are.
  void MoveShiftTo(int Index);
  // Every line from Index on gets Delta more rows before it.
  void ShiftFrom(int Index, int Delta);

  TSrcWordWrapHost* fEditor;
  std::vector<int> fLineOffsets;
  int fShiftFrom = 0, fShift = 0;
  TSrcWrapRowLengths fRows;
  int fLineCapacity = 0, fLineCount = 0;
  int fMinRowLength = 0, fMaxRowLength = 0;
  TSysCharSet fBreakChars;
  std::vector<int> fScratch;
  mutable long long fWrapped = 0, fWrapSteps = 0;
  long long fShifted = 0;
};
