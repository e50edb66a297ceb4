// The view on the text: first visible column and row, scroll bars, keeping the caret visible
// and the conversions between client pixels and display positions.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "editor/src_edit.h"

namespace {
constexpr int kMaxScrollPos = 0x7FFF;

int ClampPixel(int64_t Pixel) {
  return static_cast<int>(std::clamp<int64_t>(Pixel, -TCustomSrcEdit::kFarPixel, TCustomSrcEdit::kFarPixel));
}

// A column or row reckoned wide, as the int that every position is.
int ClampPosition(int64_t Position) { return static_cast<int>(std::clamp<int64_t>(Position, 1, INT_MAX)); }

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
}  // namespace

int TCustomSrcEdit::ColumnToPixelX(int64_t Column) const {
  return ClampPixel(fGutterWidth + 2 + (Column - fLeftChar) * fCharWidth);
}

int TCustomSrcEdit::RowToPixelY(int64_t Row) const { return ClampPixel((Row - fTopLine) * fTextHeight); }

int TCustomSrcEdit::ScrollWidth() const {
  int longest = fLines->LengthOfLongestLine();
  return fOptions.Contains(eoScrollPastEol) ? std::max(fMaxScrollWidth, longest) : std::max(longest, 1);
}

void TCustomSrcEdit::SetLeftChar(int Value) {
  int maxVal;
  if (fOptions.Contains(eoScrollPastEol)) {
    maxVal = fOptions.Contains(eoAutoSizeMaxScrollWidth) ? INT_MAX - fCharsInWindow
                                                         : ScrollWidth() - fCharsInWindow + 1;
  } else {
    int longest = fLines->LengthOfLongestLine();
    maxVal = longest > fCharsInWindow ? longest - fCharsInWindow + 1 : 1;
  }
  if (fWordWrapPlugin) Value = 1;
  Value = std::max(std::min(Value, maxVal), 1);
  if (Value == fLeftChar) return;
  int delta = fLeftChar - Value;
  fLeftChar = Value;
  fTextOffset = fGutterWidth + 2 - static_cast<int64_t>(fLeftChar - 1) * fCharWidth;
  if (HandleAllocated()) {
    if (std::abs(delta) < fCharsInWindow) {
      TRect r{fGutterWidth, 0, ClientWidth(), ClientHeight()};
      ScrollWindow(delta * fCharWidth, 0, &r);
    } else {
      InvalidateLines(-1, -1);
    }
  }
  if (fOptions.Contains(eoAutoSizeMaxScrollWidth) && fOptions.Contains(eoScrollPastEol) &&
      fMaxScrollWidth < fLeftChar + fCharsInWindow)
    SetMaxScrollWidth(fLeftChar + fCharsInWindow);
  else
    UpdateScrollBars();
  StatusChanged(scLeftChar);
}

void TCustomSrcEdit::SetTopLine(int Value) {
  int rows = DisplayLineCount();
  int upper = fOptions.Contains(eoScrollPastEof) ? rows : rows - fLinesInWindow + 1;
  Value = std::max(std::min(Value, upper), 1);
  if (Value == fTopLine) return;
  int delta = fTopLine - Value;
  fTopLine = Value;
  if (HandleAllocated()) {
    if (std::abs(delta) < fLinesInWindow)
      ScrollWindow(0, fTextHeight * delta);
    else
      Invalidate();
  }
  UpdateScrollBars();
  StatusChanged(scTopLine);
}

void TCustomSrcEdit::UpdateScrollBars() {
  if (!HandleAllocated() || fPaintLock != 0) {
    IncludeState(sfScrollBarsUpdatePending);
    return;
  }
  ExcludeState(sfScrollBarsUpdatePending);
  bool hideShow = fOptions.Contains(eoHideShowScrollbars);
  bool disableArrows = fOptions.Contains(eoDisableScrollArrows);
  if (fScrollBars == ssNone) {
    ShowScrollBar(SB_BOTH, false);
    return;
  }
  TScrollInfo si;
  si.fMask = SIF_ALL;
  if (!hideShow) si.fMask |= SIF_DISABLENOSCROLL;

  // Horizontal bar.
  if ((fScrollBars == ssBoth || fScrollBars == ssHorizontal) && !fWordWrapPlugin) {
    int extent = ScrollWidth();
    bool scaled = extent > kMaxScrollPos;
    if (scaled) {
      si.nMin = 0;
      si.nMax = kMaxScrollPos;
      si.nPage = static_cast<unsigned>(std::max(MulDiv(kMaxScrollPos, fCharsInWindow, extent), 0));
      si.nPos = MulDiv(kMaxScrollPos, fLeftChar, extent);
    } else {
      si.nMin = 1;
      si.nMax = extent;
      si.nPage = static_cast<unsigned>(std::max(fCharsInWindow, 0));
      si.nPos = fLeftChar;
    }
    si.nTrackPos = si.nPos;
    bool show = !(hideShow && !scaled && static_cast<int>(si.nPage) >= si.nMax);
    ShowScrollBar(SB_HORZ, show);
    SetScrollInfo(SB_HORZ, si);
    // The window's right end is reckoned wide: a window widened after it scrolled to the
    // largest column reaches past the largest int.
    const int64_t rightEnd = static_cast<int64_t>(fLeftChar) + fCharsInWindow;
    if (disableArrows || fCharsInWindow >= extent) {
      if (fLeftChar > 1 || rightEnd - 1 < extent) {
        EnableScrollBar(SB_HORZ, ESB_ENABLE_BOTH);
        if (fLeftChar <= 1)
          EnableScrollBar(SB_HORZ, ESB_DISABLE_LEFT);
        else if (rightEnd > extent)
          EnableScrollBar(SB_HORZ, ESB_DISABLE_RIGHT);
      } else {
        EnableScrollBar(SB_HORZ, ESB_DISABLE_BOTH);
      }
    } else {
      EnableScrollBar(SB_HORZ, ESB_ENABLE_BOTH);
    }
  } else {
    ShowScrollBar(SB_HORZ, false);
  }

  // Vertical bar.
  if (fScrollBars == ssBoth || fScrollBars == ssVertical) {
    int rows = DisplayLineCount();
    // Rows past the end are reckoned wide and held at the largest int.
    int extent = rows;
    if (fOptions.Contains(eoScrollPastEof))
      extent = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(rows) + std::max(fLinesInWindow - 1, 0), INT_MAX));
    bool scaled = extent > kMaxScrollPos;
    if (scaled) {
      si.nMin = 0;
      si.nMax = kMaxScrollPos;
      si.nPage = static_cast<unsigned>(std::max(MulDiv(kMaxScrollPos, fLinesInWindow, extent), 0));
      si.nPos = MulDiv(kMaxScrollPos, fTopLine, extent);
    } else {
      si.nMin = 1;
      si.nMax = std::max(1, extent);
      si.nPage = static_cast<unsigned>(std::max(fLinesInWindow, 0));
      si.nPos = fTopLine;
    }
    si.nTrackPos = si.nPos;
    bool show = !(hideShow && !scaled && static_cast<int>(si.nPage) >= si.nMax);
    ShowScrollBar(SB_VERT, show);
    SetScrollInfo(SB_VERT, si);
    if (disableArrows || fLinesInWindow >= extent) {
      if (fTopLine > 1 || fLinesInWindow < extent) {
        EnableScrollBar(SB_VERT, ESB_ENABLE_BOTH);
        if (fTopLine <= 1)
          EnableScrollBar(SB_VERT, ESB_DISABLE_UP);
        else if (static_cast<int64_t>(fTopLine) + fLinesInWindow - 1 == rows)
          EnableScrollBar(SB_VERT, ESB_DISABLE_DOWN);
      } else {
        EnableScrollBar(SB_VERT, ESB_DISABLE_BOTH);
      }
    } else {
      EnableScrollBar(SB_VERT, ESB_ENABLE_BOTH);
    }
  } else {
    ShowScrollBar(SB_VERT, false);
  }
}

void TCustomSrcEdit::EnsureCursorPosVisibleEx(bool ForceToMiddle) {
  IncPaintLock();
  try {
    TDisplayCoord d = DisplayXY();
    int x = d.Column;
    // A window that was never measured holds no columns or rows: there is nothing to keep
    // the caret inside, and scrolling by its zero size would push the view past the caret.
    if (fCharsInWindow <= 0) {
    } else if (x < fLeftChar)
      SetLeftChar(x);
    else if (x < static_cast<int64_t>(fLeftChar) + fCharsInWindow)
      SetLeftChar(fLeftChar);
    else
      SetLeftChar(x - fCharsInWindow + 1);
    int y = d.Row;
    int L = fLinesInWindow;
    if (L <= 0) {
    } else if (ForceToMiddle) {
      if (y < fTopLine - 1) {
        int v = y - L / 2;
        SetTopLine(v < 0 ? 1 : v + 1);
      } else if (y > static_cast<int64_t>(fTopLine) + L - 2) {
        SetTopLine(y - (L - 1) + L / 2);
      }
    } else {
      if (y < fTopLine)
        SetTopLine(y);
      else if (y > static_cast<int64_t>(fTopLine) + std::max(1, L) - 1)
        SetTopLine(y - L + 1);
      else
        SetTopLine(fTopLine);
    }
  } catch (...) {
    DecPaintLock();
    throw;
  }
  DecPaintLock();
}

// Pixels become columns and rows in 64 bits: a view far to the right or down, or a point far
// outside the window, gives a position past the largest int, which is held there.
TDisplayCoord TCustomSrcEdit::PixelsToRowColumn(int X, int Y) const {
  int64_t cw = std::max(fCharWidth, 1), lh = std::max(fTextHeight, 1);
  return DisplayCoord(ClampPosition(FloorDiv(static_cast<int64_t>(X) - fGutterWidth - 2, cw) + fLeftChar),
                      ClampPosition(FloorDiv(Y, lh) + fTopLine));
}

TDisplayCoord TCustomSrcEdit::PixelsToNearestRowColumn(int X, int Y) const {
  int cw = std::max(fCharWidth, 1), lh = std::max(fTextHeight, 1);
  Y = static_cast<int>(std::clamp<int64_t>(Y, 0, std::max<int64_t>(static_cast<int64_t>(fLinesInWindow) * lh - 1, 0)));
  double f = (static_cast<double>(X) - fGutterWidth - 2) / cw;
  int64_t col = static_cast<int64_t>(std::nearbyint(f)) + fLeftChar;
  return DisplayCoord(ClampPosition(col), ClampPosition(static_cast<int64_t>(Y / lh) + fTopLine));
}

TPoint TCustomSrcEdit::RowColumnToPixels(const TDisplayCoord& P) const {
  return TPoint{ColumnToPixelX(P.Column), RowToPixelY(P.Row)};
}

void TCustomSrcEdit::ComputeCaret(int X, int Y) {
  TDisplayCoord d = PixelsToNearestRowColumn(X, Y);
  d.Row = std::clamp(d.Row, 1, std::max(1, DisplayLineCount()));
  SetInternalDisplayXY(d);
}

void TCustomSrcEdit::ComputeScroll(int X, int Y) {
  if (!MouseCapture() && !fDragRunning) {
    fScrollTimer->SetEnabled(false);
    return;
  }
  TRect r{fGutterWidth, 0, fGutterWidth + fCharsInWindow * fCharWidth, fLinesInWindow * fTextHeight};
  if (BorderStyle() == bsNone) {
    r.Left += 2;
    r.Top += 2;
    r.Right -= 2;
    r.Bottom -= 2;
  }
  int cw = std::max(fCharWidth, 1), lh = std::max(fTextHeight, 1);
  if (X < r.Left)
    fScrollDeltaX = (X - r.Left) / cw - 1;
  else if (X >= r.Right)
    fScrollDeltaX = (X - r.Right) / cw + 1;
  else
    fScrollDeltaX = 0;
  if (Y < r.Top)
    fScrollDeltaY = (Y - r.Top) / lh - 1;
  else if (Y >= r.Bottom)
    fScrollDeltaY = (Y - r.Bottom) / lh + 1;
  else
    fScrollDeltaY = 0;
  fScrollTimer->SetEnabled(fScrollDeltaX != 0 || fScrollDeltaY != 0);
}
