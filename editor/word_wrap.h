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

class TSrcWordWrapPlugin : public ISrcEditBufferPlugin {
public:
  explicit TSrcWordWrapPlugin(TSrcWordWrapHost* Editor);

  TDisplayCoord BufferToDisplayPos(const TBufferCoord& Pos) override;
  TBufferCoord DisplayToBufferPos(const TDisplayCoord& Pos) override;
  int RowCount() override { return fLineCount < 1 ? 0 : fLineOffsets[static_cast<size_t>(fLineCount - 1)]; }
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
  int RowCapacity() const { return fRowCapacity; }
  int MinRowLength() const { return fMinRowLength; }
  int MaxRowLength() const { return fMaxRowLength; }
  // Rows after line i (0-based), for tests and painting.
  // Lines wrapped since construction: a full rewrap counts every line, an edit only its own.
  long long WrappedLines() const { return fWrapped; }
  int LineOffset(int Index) const { return fLineOffsets.at(static_cast<size_t>(Index)); }

private:
  void WrapLines();
  int ReWrapLine(int Index);
  // Appends the rows of one expanded line to Out.
  void WrapLine(std::string_view Expanded, std::vector<uint8_t>& Out) const;
  void GrowLines(int Needed);
  void GrowRows(int Needed);
  void Check(bool Condition, int Where) const;
  int StartOf(int Index) const { return Index == 0 ? 0 : fLineOffsets[static_cast<size_t>(Index - 1)]; }

  TSrcWordWrapHost* fEditor;
  std::vector<int> fLineOffsets;
  std::vector<uint8_t> fRowLengths;
  int fLineCapacity = 0, fRowCapacity = 0, fLineCount = 0;
  int fMinRowLength = 0, fMaxRowLength = 0;
  TSysCharSet fBreakChars;
  std::vector<uint8_t> fScratch;
  mutable long long fWrapped = 0;
};
