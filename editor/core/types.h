#pragma once
// Positions and small shared types of the editor family.
#include <cstdint>

#include "platform/sysutils.h"

// 1-based (character index, line) in the text.
struct TBufferCoord {
  int Char = 1;
  int Line = 1;
  bool operator==(const TBufferCoord& o) const { return Char == o.Char && Line == o.Line; }
  bool operator!=(const TBufferCoord& o) const { return !(*this == o); }
};

// 1-based (display column, display row): columns count tab expansion, rows count wrapped rows.
struct TDisplayCoord {
  int Column = 1;
  int Row = 1;
  bool operator==(const TDisplayCoord& o) const { return Column == o.Column && Row == o.Row; }
  bool operator!=(const TDisplayCoord& o) const { return !(*this == o); }
};

inline TBufferCoord BufferCoord(int AChar, int ALine) { return TBufferCoord{AChar, ALine}; }
inline TDisplayCoord DisplayCoord(int AColumn, int ARow) { return TDisplayCoord{AColumn, ARow}; }

enum TSrcSelectionMode : uint8_t { smNormal, smLine, smColumn };

VT_DECLARE_EXCEPTION(ESrcEditError, Exception);
