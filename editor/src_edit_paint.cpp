// Painting of the control: the gutter (line numbers, marks, the wrap glyph, the border) and the
// text rows (highlighter tokens merged into runs of equal colour and style, the selection in
// its three modes, the caret line, special line colours, visible blanks and the right edge).
// Every pixel of the clip rectangle is painted here; nothing is erased beforehand.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "editor/core/text_utils.h"
#include "editor/src_edit.h"
#include "platform/dc.h"

namespace {

constexpr char kMiddleDot = static_cast<char>(183);
constexpr char kPilcrow = static_cast<char>(182);
constexpr char kTabGlyph = static_cast<char>(187);

bool AllSpaces(const char* s, int n) {
  for (int i = 0; i < n; ++i)
    if (s[i] != ' ') return false;
  return true;
}

}  // namespace

TColor TCustomSrcEdit::LineBackground(bool CurrentLine) const {
  if (fActiveLineColor != clNone && CurrentLine) return fActiveLineColor;
  if (fHighlighter) {
    TSrcHighlighterAttributes* ws = fHighlighter->GetDefaultAttribute(SRC_ATTR_DEFAULT_WHITESPACE);
    if (ws && ws->Background() != clNone) return ws->Background();
  }
  return Color();
}

// The state of one text paint: rows, columns, selection, colours and the token run.
class TSrcEditPainter {
public:
  TSrcEditPainter(TCustomSrcEdit& e, TCanvas* c) : E(e), Canvas(c) {}

  void PaintTextLines(const TRect& AClip, int FirstRow, int LastRow, int FirstCol, int LastCol);

private:
  // Columns are reckoned in 64 bits: the column after the widest line is the largest int, and
  // a run or a row's selection may end one or two further.
  struct TokenRun {
    std::vector<char> Text;
    int Len = 0;
    int64_t CharsBefore = 0;
    TColor FG = clNone, BG = clNone;
    TFontStyles Style;
  };

  int ColumnToPixelX(int64_t Col) const { return E.ColumnToPixelX(Col); }
  TColor LineBG() const { return E.LineBackground(CurrentLine); }
  void ComputeSelection(int FirstLine, int LastLine);
  void PaintLines(int FirstLine, int LastLine);
  void RowSelection(int Row);
  void SelectDrawingColors(bool Selected);
  void DrawTokenPart(const char* Text, int Length, int64_t CharsBefore, int64_t First, int64_t Last);
  void AppendToTokenRun(const char* Token, int64_t CharsBefore, int Length, TFontStyles Style, TColor BG, TColor FG);
  void FlushTokenRun(bool Fill);
  int Overhang();
  void FillPart(int Right, bool Selected);

  TCustomSrcEdit& E;
  TCanvas* Canvas;
  TRect Clip{}, RowRect{}, TokenRect{};
  int64_t FirstCol = 1, LastCol = 1;
  int FirstRowP = 1, LastRowP = 0;
  bool AnySelection = false;
  TDisplayCoord SelStart{}, SelEnd{};
  bool CurrentLine = false, SpecialLine = false;
  TColor LineFG = clNone, LineBGc = clNone, SelFG = clNone, SelBG = clNone;
  int64_t RowSelStart = 0, RowSelEnd = 0;
  bool ComplexRow = false, RowSelected = false;
  bool DoRightEdge = false;
  int RightEdgeX = 0;
  bool ShowSpecial = false;
  TokenRun Run;
  std::vector<char> PartBuf, RowBuf;
  static constexpr int kTokenBatch = 64;
  TSrcTokenSpan Tokens[kTokenBatch];
};

// ---------------------------------------------------------------------------- Paint

void TCustomSrcEdit::Paint(TCanvas* Canvas, const TRect& ClipRect) {
  TRect clip = ClipRect;
  int cw = fCharWidth, lh = fTextHeight;
  if (cw <= 0 || lh <= 0) {
    Canvas->Brush()->SetColor(Color());
    Canvas->FillRect(clip);
    return;
  }
  // Columns and rows of the clip rectangle, reckoned in 64 bits (the view may stand at the
  // largest column or row) and held at the largest int, past which no line has a column.
  int64_t firstCol = fLeftChar;
  if (clip.Left > fGutterWidth + 2) firstCol += (static_cast<int64_t>(clip.Left) - fGutterWidth - 2) / cw;
  int64_t lastCol = fLeftChar + (static_cast<int64_t>(clip.Right) + cw - fGutterWidth - 3) / cw;
  int64_t firstRow = std::max<int64_t>(fTopLine + static_cast<int64_t>(clip.Top) / lh, fTopLine);
  int64_t lastRow = std::min<int64_t>(fTopLine + (static_cast<int64_t>(clip.Bottom) + lh - 1) / lh, DisplayLineCount());
  if (lastRow < 1) lastRow = 0;  // nothing to paint but the background
  // The painting stays inside the rectangle being painted, as a window's paint does.
  HDC dc = Canvas->Handle();
  int saved = SaveDC(dc);
  IntersectClipRect(dc, clip.Left, clip.Top, clip.Right, clip.Bottom);
  HideCaret();
  try {
    if (clip.Left < fGutterWidth) {
      TRect r = clip;
      r.Right = fGutterWidth;
      PaintGutter(Canvas, r, static_cast<int>(std::min<int64_t>(firstRow, INT_MAX)), static_cast<int>(lastRow));
    }
    if (clip.Right > fGutterWidth) {
      TRect r = clip;
      r.Left = std::max(r.Left, fGutterWidth);
      PaintTextLines(Canvas, r, static_cast<int>(std::min<int64_t>(firstRow, INT_MAX)), static_cast<int>(lastRow),
                     static_cast<int>(std::min<int64_t>(firstCol, INT_MAX)),
                     static_cast<int>(std::min<int64_t>(lastCol, INT_MAX)));
    }
    RestoreDC(dc, saved);
    saved = 0;
    DoOnPaint(Canvas);
    fPaintCanvas = Canvas;
    DoOnPaintTransient(ttAfter);
    fPaintCanvas = nullptr;
  } catch (...) {
    fPaintCanvas = nullptr;
    if (saved) RestoreDC(dc, saved);
    UpdateCaret();
    throw;
  }
  UpdateCaret();
}

// ---------------------------------------------------------------------------- gutter

void TCustomSrcEdit::PaintGutter(TCanvas* Canvas, const TRect& AClip, int FirstRow, int LastRow) {
  const int lh = fTextHeight;
  int firstLine = RowToLine(FirstRow);
  int lastLine = LastRow >= FirstRow ? RowToLine(LastRow) : firstLine - 1;
  Canvas->Brush()->SetColor(fGutter->Color());
  if (fGutter->ShowLineNumbers()) {
    bool useFont = fGutter->UseFontStyle();
    if (useFont)
      fTextDrawer->SetBaseFont(fGutter->Font());
    else
      fTextDrawer->SelectStyle(TFontStyles{});
    fTextDrawer->BeginDraw(Canvas->Handle());
    try {
      fTextDrawer->SetForeground(useFont ? fGutter->Font()->Color() : fFont->Color());
      fTextDrawer->SetBackground(fGutter->Color());
      TRect rcLine = AClip;
      rcLine.Right = std::max(AClip.Right, fGutterWidth - 2);
      rcLine.Bottom = RowToPixelY(FirstRow);
      int cell = fTextDrawer->CellWidth();
      for (int line = firstLine; line <= lastLine; ++line) {
        // A wrapped line may start far above the window.
        int y = RowToPixelY(LineToRow(line));
        if (fWordWrapPlugin && y > rcLine.Bottom) {
          // Continuation rows of the line before.
          TRect band{AClip.Left, rcLine.Bottom, AClip.Right, y};
          Canvas->FillRect(band);
        }
        rcLine.Top = y;
        rcLine.Bottom = y + lh;
        AnsiString s = fGutter->FormatLineNumber(line);
        CallEvent(OnGutterGetText, this, line, s);
        TSize ext{0, 0};
        GetTextExtentPoint32A(Canvas->Handle(), s.data(), static_cast<int>(s.size()), &ext);
        // Drawn in cells: the drawn width is what lines up with the gutter's right offset.
        int width = static_cast<int>(s.size()) * cell;
        int x = fGutterWidth - fGutter->RightOffset() - 2 - width;
        fTextDrawer->TextOutCells(x, y + (lh - ext.cy) / 2, ETO_OPAQUE | ETO_CLIPPED, &rcLine, s.data(),
                                  static_cast<int>(s.size()));
      }
      if (rcLine.Bottom < AClip.Bottom) {
        TRect rest{AClip.Left, rcLine.Bottom, AClip.Right, AClip.Bottom};
        Canvas->FillRect(rest);
      }
    } catch (...) {
      fTextDrawer->EndDraw();
      if (useFont) fTextDrawer->SetBaseFont(fFont.get());
      throw;
    }
    fTextDrawer->EndDraw();
    if (useFont) fTextDrawer->SetBaseFont(fFont.get());
  } else {
    Canvas->FillRect(AClip);
  }

  if (fWordWrapPlugin && fWordWrapGlyph->Visible()) {
    int x = fGutterWidth - fGutter->RightOffset() - fWordWrapGlyph->GlyphWidth() - 2;
    for (int row = FirstRow; row <= LastRow; ++row)
      if (LineToRow(RowToLine(row)) != row) fWordWrapGlyph->Draw(Canvas, x, RowToPixelY(row), lh);
  }

  if (fGutter->BorderStyle() != gbsNone && AClip.Right >= fGutterWidth - 2) {
    TPen* pen = Canvas->Pen();
    pen->SetWidth(1);
    pen->SetColor(Color());
    if (fGutter->BorderStyle() == gbsMiddle) {
      Canvas->MoveTo(fGutterWidth - 2, AClip.Top);
      Canvas->LineTo(fGutterWidth - 2, AClip.Bottom);
      pen->SetColor(fGutter->Color());
    }
    Canvas->MoveTo(fGutterWidth - 1, AClip.Top);
    Canvas->LineTo(fGutterWidth - 1, AClip.Bottom);
  }

  auto rowTop = [&](int line) { return RowToPixelY(LineToRow(line)); };
  if (fBookMarkOpt->GlyphsVisible() && fMarkList->Count() > 0 && LastRow >= FirstRow) {
    std::vector<int> offsets(static_cast<size_t>(LastRow - FirstRow + 1), 0);
    TImageList* images = fBookMarkOpt->BookmarkImages();
    bool firstKind = fBookMarkOpt->DrawBookmarksFirst();
    auto drawMark = [&](TSrcEditMark* m) {
      int row = LineToRow(m->Line());
      if (row < FirstRow || row > LastRow) return;
      int& off = offsets[static_cast<size_t>(row - FirstRow)];
      int y = RowToPixelY(row);
      if (images && !m->InternalImage()) {
        if (m->ImageIndex() < 0 || m->ImageIndex() >= images->Count()) return;
        if (m->IsBookmark() == firstKind)
          off = 0;
        else if (off == 0)
          off = fBookMarkOpt->Xoffset();
        images->Draw(Canvas, fBookMarkOpt->LeftMargin() + off, y, m->ImageIndex());
        off += fBookMarkOpt->Xoffset();
      } else if (m->ImageIndex() >= 0 && m->ImageIndex() <= 9) {
        if (!fInternalBookmarkImage)
          fInternalBookmarkImage = std::make_unique<TSrcInternalImage>(HInstance, kInternalImagesResource, 10);
        if (off == 0)
          fInternalBookmarkImage->DrawMark(Canvas, m->ImageIndex(), fBookMarkOpt->LeftMargin() + off, y, lh);
        off += fBookMarkOpt->Xoffset();
      }
    };
    bool others = false;
    for (int i = 0; i < fMarkList->Count(); ++i) {
      TSrcEditMark* m = fMarkList->Items(i);
      if (!m->Visible() || m->Line() < firstLine || m->Line() > lastLine) continue;
      if (m->IsBookmark() == firstKind)
        drawMark(m);
      else
        others = true;
    }
    if (others)
      for (int i = 0; i < fMarkList->Count(); ++i) {
        TSrcEditMark* m = fMarkList->Items(i);
        if (!m->Visible() || m->Line() < firstLine || m->Line() > lastLine) continue;
        if (m->IsBookmark() != firstKind) drawMark(m);
      }
    if (OnGutterPaint.Assigned())
      for (int line = firstLine; line <= lastLine; ++line) {
        int row = LineToRow(line);
        int x = row >= FirstRow && row <= LastRow ? offsets[static_cast<size_t>(row - FirstRow)] : 0;
        OnGutterPaint(this, line, x, rowTop(line));
      }
  } else if (OnGutterPaint.Assigned()) {
    for (int line = firstLine; line <= lastLine; ++line) OnGutterPaint(this, line, 0, rowTop(line));
  }
}

// ---------------------------------------------------------------------------- text

void TCustomSrcEdit::PaintTextLines(TCanvas* Canvas, const TRect& AClip, int FirstRow, int LastRow, int FirstCol,
                                    int LastCol) {
  TSrcEditPainter painter(*this, Canvas);
  painter.PaintTextLines(AClip, FirstRow, LastRow, FirstCol, LastCol);
}

void TSrcEditPainter::PaintTextLines(const TRect& AClip, int FirstRow, int LastRow, int AFirstCol, int ALastCol) {
  FirstCol = AFirstCol;
  LastCol = ALastCol;
  FirstRowP = FirstRow;
  LastRowP = LastRow;
  ShowSpecial = E.fOptions.Contains(eoShowSpecialChars);
  int firstLine = LastRow >= FirstRow ? E.RowToLine(FirstRow) : 1;
  int lastLine = LastRow >= FirstRow ? E.RowToLine(LastRow) : 0;
  Clip = AClip;
  if (E.fRightEdge > 0) {
    RightEdgeX = ColumnToPixelX(static_cast<int64_t>(E.fRightEdge) + 1);
    if (RightEdgeX >= Clip.Left && RightEdgeX <= Clip.Right) {
      DoRightEdge = true;
      Canvas->Pen()->SetColor(E.fRightEdgeColor);
      Canvas->Pen()->SetWidth(1);
    }
  }
  if (Clip.Left < E.fGutterWidth + 2) {
    TRect strip = Clip;
    strip.Left = std::max(Clip.Left, E.fGutterWidth);
    strip.Right = E.fGutterWidth + 2;
    if (E.fHighlighter) E.fHighlighter->ResetRange();
    Canvas->Brush()->SetColor(LineBG());
    Canvas->FillRect(strip);
    Clip.Left = E.fGutterWidth + 2;
  }
  if (lastLine >= firstLine) {
    ComputeSelection(firstLine, lastLine);
    E.fTextDrawer->SelectStyle(E.fFont->Style());
    E.fTextDrawer->BeginDraw(Canvas->Handle());
    try {
      PaintLines(firstLine, lastLine);
    } catch (...) {
      E.fTextDrawer->EndDraw();
      throw;
    }
    E.fTextDrawer->EndDraw();
  }
  // Below the text: the caret line's colour belongs to the caret line only.
  CurrentLine = false;
  TRect below = Clip;
  below.Top = E.RowToPixelY(static_cast<int64_t>(std::max(LastRow, FirstRow - 1)) + 1);
  if (below.Top < below.Bottom) {
    Canvas->Brush()->SetColor(LineBG());
    Canvas->FillRect(below);
    if (DoRightEdge) {
      Canvas->Pen()->SetColor(E.fRightEdgeColor);
      Canvas->MoveTo(RightEdgeX, below.Top);
      Canvas->LineTo(RightEdgeX, below.Bottom + 1);
    }
  }
}

void TSrcEditPainter::ComputeSelection(int FirstLine, int LastLine) {
  AnySelection = false;
  if ((E.fHideSelection && !E.Focused()) || !E.SelAvail()) return;
  TBufferCoord b = E.fBlockBegin, e = E.fBlockEnd;
  if (e.Line < b.Line || (e.Line == b.Line && e.Char < b.Char)) std::swap(b, e);
  if (e.Line < FirstLine || b.Line > LastLine) return;
  if (E.fSelectionMode == smColumn && e.Char < b.Char) std::swap(b.Char, e.Char);
  AnySelection = true;
  SelStart = E.BufferToDisplayPos(b);
  SelEnd = E.BufferToDisplayPos(e);
}

void TSrcEditPainter::RowSelection(int Row) {
  RowSelStart = RowSelEnd = 0;
  ComplexRow = false;
  if (!AnySelection || Row < SelStart.Row || Row > SelEnd.Row) return;
  RowSelStart = FirstCol;
  RowSelEnd = LastCol + 1;
  bool column = E.fSelectionMode == smColumn;
  if (column || (E.fSelectionMode == smNormal && Row == SelStart.Row)) {
    if (SelStart.Column > LastCol) {
      RowSelStart = RowSelEnd = 0;
    } else if (SelStart.Column > FirstCol) {
      RowSelStart = SelStart.Column;
      ComplexRow = true;
    }
  }
  if (column || (E.fSelectionMode == smNormal && Row == SelEnd.Row)) {
    if (SelEnd.Column < FirstCol) {
      RowSelStart = RowSelEnd = 0;
    } else if (SelEnd.Column < LastCol) {
      RowSelEnd = SelEnd.Column;
      ComplexRow = true;
    }
  }
  if (RowSelStart == 0) ComplexRow = false;
}

void TSrcEditPainter::PaintLines(int FirstLine, int LastLine) {
  const int lh = E.fTextHeight;
  TSrcCustomHighlighter* hl = E.fHighlighter;
  TSrcEditStringList* lines = E.fLines.get();
  TSrcHighlighterAttributes* wsAttr = hl ? hl->GetDefaultAttribute(SRC_ATTR_DEFAULT_WHITESPACE) : nullptr;
  TSrcHighlighterAttributes* comAttr = hl ? hl->GetDefaultAttribute(SRC_ATTR_DEFAULT_COMMENT) : nullptr;
  bool wrap = E.fWordWrapPlugin != nullptr;
  RowRect = Clip;
  RowRect.Bottom = E.RowToPixelY(FirstRowP);
  const int FirstRowTop = RowRect.Bottom;
  size_t want = static_cast<size_t>(std::max(128, E.fCharsInWindow));
  if (Run.Text.size() < want) Run.Text.resize(want);
  AnsiString expanded;  // a line with tabs, expanded
  for (int line = FirstLine; line <= LastLine; ++line) {
    const std::string_view sLine = lines->ExpandedView(line - 1, expanded);
    const int lineLen = static_cast<int>(sLine.size());
    CurrentLine = line == E.fCaretY;
    LineFG = E.fFont->Color();
    LineBGc = LineBG();
    SpecialLine = E.DoOnSpecialLineColors(line, LineFG, LineBGc);
    if (SpecialLine) {
      SelFG = LineBGc;
      SelBG = LineFG;
    } else {
      SelFG = E.fSelectedColor->Foreground();
      SelBG = E.fSelectedColor->Background();
    }
    int rowFirst = std::max(E.LineToRow(line), FirstRowP);
    int rowLast = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(E.LineToRow(line + 1)) - 1, LastRowP));
    // The scanner runs once over the line, handing its tokens over a batch at a time; a token
    // that crosses into the next row is kept for it.
    bool started = false, eol = false;
    int tokCount = 0, tokIndex = 0;
    for (int row = rowFirst; row <= rowLast; ++row) {
      // With word wrap the view stands at column 1 and the columns are a window's width.
      int64_t firstChar = FirstCol, lastChar = LastCol;
      if (wrap) {
        firstChar = E.fWordWrapPlugin->DisplayToBufferPos(TDisplayCoord{hl ? static_cast<int>(FirstCol) : 1, row}).Char;
        lastChar = E.fWordWrapPlugin->DisplayToBufferPos(TDisplayCoord{static_cast<int>(LastCol), row}).Char;
      }
      RowSelection(row);
      RowRect.Top = RowRect.Bottom;
      RowRect.Bottom += lh;
      RowSelected = !ComplexRow && RowSelStart > 0;
      TokenRect = RowRect;
      if (hl) {
        if (!started) {
          if (line == 1)
            hl->ResetRange();
          else
            hl->SetRange(reinterpret_cast<TSrcRange>(lines->GetRange(line - 2)));
          hl->SetLineText(sLine, line - 1);
          started = true;
        }
        Run.Len = 0;
        int64_t shift = FirstCol - firstChar;
        TSrcHighlighterAttributes* lastAttr = nullptr;
        while (!eol) {
          if (tokIndex == tokCount) {
            tokCount = hl->NextTokens(Tokens, kTokenBatch);
            tokIndex = 0;
            eol = tokCount == 0;
            continue;
          }
          const TSrcTokenSpan& tok = Tokens[tokIndex];
          if (static_cast<int64_t>(tok.Pos) + tok.Len < firstChar) {
            ++tokIndex;
            continue;
          }
          if (static_cast<int64_t>(tok.Pos) + 1 >= lastChar) break;
          int len = tok.Len;
          bool cut = static_cast<int64_t>(tok.Pos) + len >= lastChar;
          if (cut) len = static_cast<int>(lastChar - tok.Pos - 1);
          // A token is the line's text from its position on.
          const char* text = sLine.data() + tok.Pos;
          if (TSrcHighlighterAttributes* a = tok.Attr)
            AppendToTokenRun(text, tok.Pos + shift, len, a->Style(), a->Background(), a->Foreground());
          else
            AppendToTokenRun(text, tok.Pos + shift, len, E.fFont->Style(), LineBGc, LineFG);
          lastAttr = tok.Attr;
          if (cut) break;
          ++tokIndex;
        }
        if (ShowSpecial && eol) {
          TSrcHighlighterAttributes* a = lastAttr && lastAttr == comAttr ? comAttr : wsAttr;
          AppendToTokenRun(&kPilcrow, lineLen + shift, 1, TFontStyles{}, a ? a->Background() : clNone,
                           a ? a->Foreground() : clNone);
        }
        FlushTokenRun(true);
      } else {
        const char* text = sLine.data();
        int n = lineLen;
        if (wrap) {
          int a = static_cast<int>(std::min<int64_t>(std::max<int64_t>(firstChar - 1, 0), lineLen));
          int b = static_cast<int>(std::min<int64_t>(std::max<int64_t>(lastChar - 1, a), lineLen));
          text += a;
          n = b - a;
        }
        // DrawTokenPart uses PartBuf for each part: the row's text is kept apart.
        std::vector<char>& part = RowBuf;
        part.assign(text, text + n);
        if (ShowSpecial && (wrap ? lineLen < lastChar : lineLen + 1 < LastCol + 1)) part.push_back(kPilcrow);
        n = static_cast<int>(part.size());
        if (ComplexRow) {
          SelectDrawingColors(false);
          TokenRect.Left = std::max(RowRect.Left, ColumnToPixelX(FirstCol));
          TokenRect.Right = std::min(RowRect.Right, ColumnToPixelX(RowSelStart));
          DrawTokenPart(part.data(), n, 0, FirstCol, RowSelStart - 1);
          TokenRect.Left = std::max(RowRect.Left, ColumnToPixelX(RowSelEnd));
          TokenRect.Right = RowRect.Right;
          DrawTokenPart(part.data(), n, 0, RowSelEnd, LastCol);
          SelectDrawingColors(true);
          TokenRect.Left = std::max(RowRect.Left, ColumnToPixelX(RowSelStart));
          TokenRect.Right = std::min(RowRect.Right, ColumnToPixelX(RowSelEnd));
          DrawTokenPart(part.data(), n, 0, RowSelStart, RowSelEnd - 1);
        } else {
          SelectDrawingColors(RowSelected);
          TokenRect.Right = RowRect.Right;
          DrawTokenPart(part.data(), n, 0, FirstCol, LastCol);
        }
      }
    }
  }
  // The right edge over every row painted, from the first row's top to one pixel below the last
  // row: what a line after each row gives (the pixel below a row is the next row's, which its own
  // line covers again), drawn once after the text so that it does not interrupt the text's
  // batching.
  if (DoRightEdge && RowRect.Bottom > FirstRowTop) {
    Canvas->Pen()->SetColor(E.fRightEdgeColor);
    Canvas->MoveTo(RightEdgeX, FirstRowTop);
    Canvas->LineTo(RightEdgeX, RowRect.Bottom + 1);
  }
}

void TSrcEditPainter::SelectDrawingColors(bool Selected) {
  TColor fg = Selected ? SelFG : LineFG;
  TColor bg = Selected ? SelBG : LineBGc;
  E.fTextDrawer->SetForeground(fg);
  E.fTextDrawer->SetBackground(bg);
  Canvas->Brush()->SetColor(bg);
}

void TSrcEditPainter::DrawTokenPart(const char* Text, int Length, int64_t CharsBefore, int64_t First, int64_t Last) {
  if (Last < First || TokenRect.Right <= TokenRect.Left) return;
  const int cw = E.fCharWidth;
  int x = ColumnToPixelX(First);
  const int64_t start64 = First - CharsBefore;  // 1-based in Text
  int count = 0;
  const char* p = nullptr;
  if (start64 >= 1 && start64 <= Length) {
    int start = static_cast<int>(start64);
    if (start > 1 && IsLeadByte(Text[start - 2]) &&
        ByteType(std::string_view(Text, static_cast<size_t>(start)), static_cast<size_t>(start - 1)) == mbTrailByte) {
      --start;
      x -= cw;
    }
    count = static_cast<int>(std::min<int64_t>(Last - First + 1, Length - start + 1));
    PartBuf.assign(Text + start - 1, Text + start - 1 + count);
    bool tabs = false;
    for (char& c : PartBuf) {
      if (c == '\t') {
        c = ' ';
        tabs = true;
      } else if (c == ' ' && ShowSpecial) {
        c = kMiddleDot;
      }
    }
    p = PartBuf.data();
    E.fTextDrawer->TextOutCells(x, TokenRect.Top, ETO_OPAQUE | ETO_CLIPPED, &TokenRect, p, count);
    if (tabs && ShowSpecial) {
      // One glyph in the middle of each run of tab cells; a run ends at a tab stop.
      const int tw = E.fTabWidth;
      int i = start - 1;  // 0-based in Text
      int end = start - 1 + count;
      // Back to the start of the run the part begins in.
      while (i > 0 && Text[i] == '\t' && Text[i - 1] == '\t' && (i + CharsBefore) % tw != 0) --i;
      while (i < end) {
        if (Text[i] != '\t') {
          ++i;
          continue;
        }
        int runStart = i;
        int64_t col = i + CharsBefore;  // 0-based column
        int h = static_cast<int>(tw - col % tw);
        int runEnd = std::min(runStart + h, Length);
        int j = runStart;
        while (j < runEnd && Text[j] == '\t') ++j;
        h = j - runStart;
        int gx = ColumnToPixelX(col + 1 + h / 2 - 1) + (h % 2 ? cw : cw / 2);
        TRect cell{std::max(gx, TokenRect.Left), TokenRect.Top, std::min(gx + cw, TokenRect.Right), TokenRect.Bottom};
        if (cell.Right > cell.Left) E.fTextDrawer->TextOutCells(gx, TokenRect.Top, ETO_OPAQUE | ETO_CLIPPED, &cell, &kTabGlyph, 1);
        i = j;
      }
    }
  } else {
    E.fTextDrawer->TextOutCells(x, TokenRect.Top, ETO_OPAQUE | ETO_CLIPPED, &TokenRect, nullptr, 0);
  }
  TokenRect.Left = TokenRect.Right;
}

void TSrcEditPainter::AppendToTokenRun(const char* Token, int64_t CharsBefore, int Length, TFontStyles Style, TColor BG,
                                       TColor FG) {
  if (Length <= 0) return;
  if (BG == clNone || (E.fActiveLineColor != clNone && CurrentLine)) BG = LineBG();
  if (FG == clNone) FG = E.fFont->Color();
  bool spaces = AllSpaces(Token, Length);
  bool canJoin = false;
  if (Run.Len > 0 &&
      (Run.Style == Style ||
       (!Run.Style.Contains(fsUnderline) && !Style.Contains(fsUnderline) && spaces))) {
    canJoin = (SpecialLine && !E.fOptions.Contains(eoSpecialLineDefaultFg)) || RowSelected ||
              (Run.BG == BG && (Run.FG == FG || spaces));
  }
  if (canJoin && Run.CharsBefore + Run.Len == CharsBefore) {
    size_t need = static_cast<size_t>(Run.Len + Length);
    if (Run.Text.size() < need) Run.Text.resize(need + 32);
    std::copy(Token, Token + Length, Run.Text.begin() + Run.Len);
    Run.Len += Length;
    return;
  }
  FlushTokenRun(false);
  size_t need = static_cast<size_t>(Length);
  if (Run.Text.size() < need) Run.Text.resize(need + 32);
  std::copy(Token, Token + Length, Run.Text.begin());
  Run.Len = Length;
  Run.CharsBefore = CharsBefore;
  Run.FG = FG;
  Run.BG = BG;
  Run.Style = Style;
}

int TSrcEditPainter::Overhang() {
  if (Run.Len <= 0 || Run.Style == TFontStyles{}) return 0;
  unsigned char c = static_cast<unsigned char>(Run.Text[static_cast<size_t>(Run.Len - 1)]);
  HDC dc = Canvas->Handle();
  int w = 0;
  ABC abc{};
  if (GetCharABCWidthsA(dc, c, c, &abc)) {
    w = abc.abcA + static_cast<int>(abc.abcB) + (abc.abcC >= 0 ? abc.abcC : 0);
  } else {
    int cw = 0;
    if (GetCharWidth32A(dc, c, c, &cw)) w = cw;
  }
  return std::max(0, w - E.fCharWidth);
}

void TSrcEditPainter::FillPart(int Right, bool Selected) {
  Right = std::min(Right, RowRect.Right);
  if (TokenRect.Left >= Right) return;
  SelectDrawingColors(Selected);
  TRect r{TokenRect.Left, RowRect.Top, Right, RowRect.Bottom};
  Canvas->FillRect(r);
  TokenRect.Left = Right;
}

void TSrcEditPainter::FlushTokenRun(bool Fill) {
  int64_t c1 = std::max(FirstCol, Run.CharsBefore + 1);
  int64_t c2 = std::min(LastCol, Run.CharsBefore + Run.Len + 1);
  bool before, inside, after, split;
  if (ComplexRow) {
    before = c1 < RowSelStart;
    inside = c1 < RowSelEnd && c2 >= RowSelStart;
    after = c2 >= RowSelEnd;
    split = inside && (before || after);
  } else {
    before = after = split = false;
    inside = RowSelected;
  }
  int overhang = 0;
  if (Run.Len > 0) {
    if (!SpecialLine) {
      LineFG = Run.FG;
      LineBGc = Run.BG;
    } else if (E.fOptions.Contains(eoSpecialLineDefaultFg)) {
      LineFG = Run.FG;
    }
    E.fTextDrawer->SelectStyle(Run.Style);
    // A bold or italic last character may reach past its cell: its part is widened so that the
    // overhang is drawn on its own background and the fill starts after it.
    if (Fill && c2 == Run.CharsBefore + Run.Len + 1) overhang = Overhang();
    auto rightOf = [&](int64_t col, bool last) {
      return std::min(RowRect.Right, ColumnToPixelX(col) + (last ? overhang : 0));
    };
    const char* text = Run.Text.data();
    if (split) {
      if (before) {
        SelectDrawingColors(false);
        TokenRect.Right = rightOf(RowSelStart, false);
        DrawTokenPart(text, Run.Len, Run.CharsBefore, c1, RowSelStart - 1);
      }
      SelectDrawingColors(true);
      int64_t e = std::min(RowSelEnd, c2);
      TokenRect.Right = rightOf(e, !after);
      DrawTokenPart(text, Run.Len, Run.CharsBefore, std::max(RowSelStart, c1), e - 1);
      if (after) {
        SelectDrawingColors(false);
        TokenRect.Right = rightOf(c2, true);
        DrawTokenPart(text, Run.Len, Run.CharsBefore, RowSelEnd, c2 - 1);
      }
    } else {
      SelectDrawingColors(inside);
      TokenRect.Right = rightOf(c2, true);
      DrawTokenPart(text, Run.Len, Run.CharsBefore, c1, c2 - 1);
    }
  }
  if (Fill && TokenRect.Left < RowRect.Right) {
    if (!SpecialLine) LineBGc = LineBG();
    if (ComplexRow) {
      FillPart(ColumnToPixelX(RowSelStart), false);
      FillPart(ColumnToPixelX(RowSelEnd), true);
      FillPart(RowRect.Right, false);
    } else {
      FillPart(RowRect.Right, RowSelected);
    }
  }
}
