#pragma once
// A position in the text: 1-based character index and line.

struct TBufferCoord {
  int Char = 0;
  int Line = 0;
  bool operator==(const TBufferCoord&) const = default;
};

inline TBufferCoord BufferCoord(int AChar, int ALine) { return TBufferCoord{AChar, ALine}; }
