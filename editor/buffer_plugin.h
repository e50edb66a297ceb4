#pragma once
#include "editor/core/types.h"

// What a buffer plugin offers the control; coordinates are 1-based, line indexes of the
// line-store changes 0-based as the store reports them.
class ISrcEditBufferPlugin {
public:
  virtual ~ISrcEditBufferPlugin() = default;
  // (column in the expanded line, line) -> (column, row)
  virtual TDisplayCoord BufferToDisplayPos(const TBufferCoord& Pos) = 0;
  // (column, row) -> (column in the expanded line, line)
  virtual TBufferCoord DisplayToBufferPos(const TDisplayCoord& Pos) = 0;
  virtual int RowCount() = 0;
  virtual int GetRowLength(int Row) = 0;
  virtual int LinesInserted(int Index, int Count) = 0;
  virtual int LinesDeleted(int Index, int Count) = 0;
  virtual int LinesPutted(int Index, int Count) = 0;
  virtual void DisplayChanged() = 0;
  virtual void Reset() = 0;
  virtual int LineToRow(int Line) = 0;
  virtual int RowToLine(int Row) = 0;
};
