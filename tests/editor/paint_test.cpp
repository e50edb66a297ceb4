// Pixels of a painted control and word wrap driven through the control.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "editor/src_edit.h"
#include "tests/editor/shown_editor.h"
#include "highlighters/html.h"
#include "platform/dc.h"
#include "platform/input_simulation.h"

namespace {

// Middle of the background band of a cell (column, row), left of any glyph ink.
TColor CellBg(TSrcEdit* e, int col, int row) {
  int x = e->TextOffset() + (col - 1) * e->CharWidth() + 1;
  int y = (row - e->TopLine()) * e->LineHeight() + 1;
  return ClientPixel(e, x, y);
}

}  // namespace

TEST(SrcEditPaint, HtmlTokensInTheirColoursAndCells) {
  TSrcHTMLSrc hl(nullptr);
  hl.KeyAttri()->SetBackground(clYellow);
  hl.CommentAttri()->SetBackground(clAqua);
  auto e = Shown("<b>x</b> <!-- c -->", 700);
  e->SetHighlighter(&hl);
  e->Update();
  EXPECT_EQ(CellBg(e.get(), 2, 1), ColorToRGB(clYellow));   // tag name "b"
  EXPECT_EQ(CellBg(e.get(), 11, 1), ColorToRGB(clAqua));    // inside the comment
  EXPECT_EQ(CellBg(e.get(), 30, 1), ColorToRGB(clWindow));  // past the line end
  e->SetHighlighter(nullptr);
}

TEST(SrcEditPaint, SelectionCoversExactlyItsCells) {
  auto e = Shown("0123456789\r\n0123456789\r\n0123456789", 700);
  TColor sel = ColorToRGB(clHighlight), bg = ColorToRGB(clWindow);
  e->SetBlockBegin(BufferCoord(3, 1));
  e->SetBlockEnd(BufferCoord(5, 3));
  e->Update();
  EXPECT_EQ(CellBg(e.get(), 2, 1), bg);
  EXPECT_EQ(CellBg(e.get(), 3, 1), sel);
  EXPECT_EQ(CellBg(e.get(), 40, 1), sel);  // normal mode: the rest of the start row
  EXPECT_EQ(CellBg(e.get(), 1, 2), sel);
  EXPECT_EQ(CellBg(e.get(), 4, 3), sel);
  EXPECT_EQ(CellBg(e.get(), 5, 3), bg);
  e->SetSelectionMode(smColumn);
  e->SetBlockBegin(BufferCoord(3, 1));
  e->SetBlockEnd(BufferCoord(5, 3));
  e->Update();
  EXPECT_EQ(CellBg(e.get(), 2, 2), bg);
  EXPECT_EQ(CellBg(e.get(), 3, 2), sel);
  EXPECT_EQ(CellBg(e.get(), 4, 2), sel);
  EXPECT_EQ(CellBg(e.get(), 5, 2), bg);
  e->SetSelectionMode(smLine);
  e->SetBlockBegin(BufferCoord(3, 1));
  e->SetBlockEnd(BufferCoord(5, 2));
  e->Update();
  EXPECT_EQ(CellBg(e.get(), 1, 1), sel);
  EXPECT_EQ(CellBg(e.get(), 30, 2), sel);
  EXPECT_EQ(CellBg(e.get(), 1, 3), bg);
}

TEST(SrcEditPaint, CaretLineRightEdgeAndLineNumbers) {
  auto e = Shown("a\r\nb\r\nc", 900, 200);
  e->SetActiveLineColor(clYellow);
  e->SetCaretXY(BufferCoord(1, 2));
  e->Update();
  EXPECT_EQ(CellBg(e.get(), 5, 2), ColorToRGB(clYellow));
  EXPECT_EQ(CellBg(e.get(), 5, 1), ColorToRGB(clWindow));
  EXPECT_EQ(CellBg(e.get(), 5, 6), ColorToRGB(clWindow));  // below the text
  int x = e->TextOffset() + 80 * e->CharWidth();
  EXPECT_EQ(ClientPixel(e.get(), x, 2), ColorToRGB(clSilver));
  EXPECT_EQ(ClientPixel(e.get(), x, e->LineHeight() * 5 + 2), ColorToRGB(clSilver));
  EXPECT_NE(ClientPixel(e.get(), x - 1, 2), ColorToRGB(clSilver));
  // Line numbers: ink of the gutter font inside the gutter's first row.
  e->Gutter()->SetShowLineNumbers(true);
  e->Update();
  TColor gutter = ColorToRGB(e->Gutter()->Color());
  int ink = 0;
  for (int y = 0; y < e->LineHeight(); ++y)
    for (int gx = 0; gx < e->GutterWidth() - 2; ++gx)
      if (ClientPixel(e.get(), gx, y) != gutter) ++ink;
  EXPECT_GT(ink, 3);
}

TEST(SrcEditWrap, RoundTripsAndToggle) {
  AnsiString text;
  for (int i = 0; i < 6; ++i) text += AnsiString(130 + i * 17, 'a' + i) + "\tb c\r\n";
  auto e = Shown(text, 500, 300);
  e->SetLeftChar(5);
  e->SetWordWrap(true);
  EXPECT_EQ(e->LeftChar(), 1);
  EXPECT_FALSE(e->ScrollBarVisible(SB_HORZ));
  ASSERT_GT(e->DisplayLineCount(), e->Lines()->Count());
  for (int line = 1; line <= e->Lines()->Count(); ++line) {
    int len = static_cast<int>(e->Lines()->Get(line - 1).size());
    for (int c = 1; c <= len + 1; ++c) {
      TBufferCoord b = BufferCoord(c, line);
      TDisplayCoord d = e->BufferToDisplayPos(b);
      ASSERT_EQ(e->DisplayToBufferPos(d), b) << line << ":" << c;
    }
  }
  e->Update();
  e->SetWordWrap(false);
  EXPECT_TRUE(e->ScrollBarVisible(SB_HORZ));
  EXPECT_EQ(e->DisplayLineCount(), e->Lines()->Count());
}

TEST(SrcEditPaint, BadInputPaintsAndScreenshot) {
  TSrcHTMLSrc hl(nullptr);
  AnsiString big(1 << 20, 'x');
  auto e = Shown(big + "\r\n\t\t\t\r\n\x01\x02\x7f\x98 z", 600, 300);
  e->SetHighlighter(&hl);
  e->Update();
  e->SetLeftChar(1 << 19);
  e->Update();
  e->SetWordWrap(true);
  e->SetTopLine(2000);
  e->Update();
  e->SetOptions(e->Options().With(eoShowSpecialChars));
  e->Update();
  e->SetBounds(0, 0, 40, 100);  // narrower than one character right of the gutter
  ProcessMessages();
  e->Update();
  e->SetHighlighter(nullptr);

  auto page = Shown("<html>\r\n<head><title>Page</title></head>\r\n<!-- a comment -->\r\n<body>\r\n"
                    "<p class=\"x\">A long paragraph of text that goes on and on so that it wraps in the window "
                    "at least once or twice.</p>\r\n</body>\r\n</html>",
                    500, 260);
  page->SetHighlighter(&hl);
  page->Gutter()->SetShowLineNumbers(true);
  page->SetWordWrap(true);
  page->SetBlockBegin(BufferCoord(3, 2));
  page->SetBlockEnd(BufferCoord(10, 5));
  page->Update();
  std::string dir = VT_TEST_OUTPUT_DIR;
  ForceDirectories(dir);
  EXPECT_TRUE(SaveClientImage(page.get(), dir + "/editor_paint.png"));
  page->SetHighlighter(nullptr);
}

namespace {
struct PaintableEdit : TSrcEdit {
  using TSrcEdit::TSrcEdit;
  void PaintInto(TCanvas* c, const TRect& r) { Paint(c, r); }
};
}  // namespace

TEST(SrcEditPaint, PartialRepaintChangesOnlyItsRow) {
  PaintableEdit e(nullptr);
  e.Lines()->SetText("aaaa\r\nbbbb\r\ncccc\r\ndddd");
  e.Gutter()->SetShowLineNumbers(true);
  ShowForTest(&e, 300, 150);
  int w = e.ClientWidth(), h = e.ClientHeight(), lh = e.LineHeight();
  TBitmap bmp(w, h);
  e.PaintInto(bmp.Canvas(), TRect{0, 0, w, h});
  TBitmap before;
  before.Assign(&bmp);
  // Everything would look different now, but only the second row is repainted.
  e.SelectAll();
  e.Gutter()->SetColor(clRed);
  e.PaintInto(bmp.Canvas(), TRect{0, lh, w, 2 * lh});
  int changedInside = 0, changedOutside = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      bool changed = bmp.Pixel(x, y) != before.Pixel(x, y);
      if (y >= lh && y < 2 * lh)
        changedInside += changed;
      else
        changedOutside += changed;
    }
  EXPECT_GT(changedInside, w / 2);
  EXPECT_EQ(changedOutside, 0);
  EXPECT_EQ(bmp.Pixel(1, lh + 1), ColorToRGB(clRed));
}

// Text runs are batched by the device context (drawn later, by face and colour, without a clip of
// their own); the pixels must be those of drawing every run at once, clipped exactly: with fonts
// changing between runs, a selection splitting tokens, blanks and tabs shown, a caret line
// colour, glyphs reaching above the cell (Cyrillic capitals with marks), a last row only partly
// visible and a clip rectangle that cuts cells, over a page already painted.
TEST(SrcEditPaint, BatchedTextPaintsWhatRunByRunPaints) {
  TSrcHTMLSrc hl(nullptr);
  hl.KeyAttri()->SetStyle(TFontStyles{fsBold});
  hl.CommentAttri()->SetStyle(TFontStyles{fsItalic});
  hl.ValueAttri()->SetStyle(TFontStyles{fsUnderline});
  hl.SymbolAttri()->SetBackground(clAqua);
  hl.AndAttri()->SetStyle(TFontStyles{fsBold, fsItalic});
  PaintableEdit e(nullptr);
  AnsiString page;
  for (int i = 0; i < 12; ++i)
    page += W1251("<td class=\"c\" id=x>\tЙЁЩ &amp; <b>W</b> <!-- fff --> text\t\tmore</td> жЖ ") + std::to_string(i) +
            "\r\n";
  e.Lines()->SetText(page);
  e.SetHighlighter(&hl);
  e.Gutter()->SetShowLineNumbers(true);
  e.SetOptions(e.Options().With(eoShowSpecialChars));
  e.SetActiveLineColor(clYellow);
  e.SetRightEdge(30);
  ShowForTest(&e, 420, 0);
  e.SetBounds(0, 0, 420, e.LineHeight() * 7 + e.LineHeight() / 2 + (e.Height() - e.ClientHeight()));
  ProcessMessages();
  e.SetCaretXY(BufferCoord(3, 3));
  e.SetBlockBegin(BufferCoord(5, 2));
  e.SetBlockEnd(BufferCoord(17, 4));
  e.SetLeftChar(2);
  ASSERT_TRUE(e.SelAvail());
  const int w = e.ClientWidth(), h = e.ClientHeight();
  TBitmap batched(w, h), single(w, h);
  auto paint = [&](TBitmap& b, bool batching) {
    GdiSetBatchLimit(batching ? 0 : 1);
    e.PaintInto(b.Canvas(), TRect{0, 0, w, h});
    // Over the page painted: a clip that cuts cells and rows.
    e.SetSelectionMode(smColumn);
    e.PaintInto(b.Canvas(), TRect{37, 5, w - 23, h - 9});
    e.SetSelectionMode(smNormal);
    GdiSetBatchLimit(0);
  };
  paint(batched, true);
  paint(single, false);
  int differ = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) differ += batched.Pixel(x, y) != single.Pixel(x, y);
  EXPECT_EQ(differ, 0);
  std::string dir = VT_TEST_OUTPUT_DIR;
  ForceDirectories(dir);
  batched.SaveToFile((dir + "/editor_paint_batched.png").c_str());
  e.SetHighlighter(nullptr);
}

namespace {
// Fills a rectangle for each transient paint: the one after a paint in red, the one before a
// change (never inside a paint) in blue.
struct TransientMarker {
  TRect after{60, 2, 70, 8}, before{80, 2, 90, 8};
  void Paint(TObject*, TCanvas* c, TTransientType t) {
    c->Brush()->SetColor(t == ttAfter ? clRed : clBlue);
    c->FillRect(t == ttAfter ? after : before);
  }
};
struct PaintCounter {
  int paints = 0;
  void Paint(TObject*, TCanvas*) { ++paints; }
};
void RunEventsFor(int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    ProcessMessages();
    usleep(2000);
  }
}
}  // namespace

TEST(SrcEditPaint, TransientPaintingReachesTheWindow) {
  auto e = Shown("abc");
  TransientMarker m;
  e->OnPaintTransient = TPaintTransient(&m, &TransientMarker::Paint);
  e->Invalidate();
  e->Update();
  EXPECT_EQ(ClientPixel(e.get(), 65, 5), ColorToRGB(clRed));  // drawn with the paint
  EXPECT_EQ(ClientPixel(e.get(), 85, 5), ColorToRGB(clWindow));
  // A caret move paints before and after it, outside any paint: straight on the window, where
  // it stays until the control repaints that part.
  e->SetCaretXY(BufferCoord(2, 1));
  ProcessMessages();
  EXPECT_EQ(ClientPixel(e.get(), 85, 5), ColorToRGB(clBlue));
  e->Invalidate();
  e->Update();
  EXPECT_EQ(ClientPixel(e.get(), 85, 5), ColorToRGB(clWindow));
  EXPECT_EQ(ClientPixel(e.get(), 65, 5), ColorToRGB(clRed));
  e->OnPaintTransient = nullptr;
}

// With its caret shown and blinking, an idle editor is never repainted: the caret alone is shown
// again where it blinks.
TEST(SrcEditPaint, IdleEditorWithItsCaretShownPaintsNothing) {
  auto e = Shown(NumberedLines(30));
  e->SetFocus();
  ProcessMessages();
  ASSERT_TRUE(e->Focused());
  ASSERT_TRUE(CaretVisible());
  e->SetCaretXY(BufferCoord(3, 2));
  TPoint caret = GetCaretPos();
  EXPECT_EQ(ClientPixel(e.get(), caret.X, caret.Y + 2), ColorToRGB(clBlack));  // a new place shows it
  PaintCounter count;
  e->OnPaint = TPaintEvent(&count, &PaintCounter::Paint);
  RunEventsFor(1200);
  EXPECT_EQ(count.paints, 0);
  e->OnPaint = nullptr;
}

// The first paint of an editor goes straight into its window, so that it shows at once; the
// copy of its pixels that its caret blinks over is made after it.
TEST(SrcEditPaint, TheFirstPaintShowsBeforeTheCopyOfThePixelsIsMade) {
  struct FirstPaint {
    TSrcEdit* editor = nullptr;
    int paints = 0;
    bool copyDuringFirst = true;
    void Paint(TObject*, TCanvas*) {
      if (paints++ == 0) copyDuringFirst = HoldsPixelCopy(editor);
    }
  } watch;
  auto e = std::make_unique<TSrcEdit>(nullptr);
  e->Lines()->SetText(NumberedLines(10));
  watch.editor = e.get();
  e->OnPaint = TPaintEvent(&watch, &FirstPaint::Paint);
  ShowForTest(e.get(), 400, 300);
  for (int i = 0; i < 10 && !HoldsPixelCopy(e.get()); ++i) ProcessMessages();
  ASSERT_GE(watch.paints, 1);
  EXPECT_FALSE(watch.copyDuringFirst);
  EXPECT_TRUE(HoldsPixelCopy(e.get()));
  e->OnPaint = nullptr;
}

TEST(SrcEditPaint, FreedBookmarkImagesAreForgotten) {
  auto e = Shown(NumberedLines(5));
  auto images = std::make_unique<TImageList>(nullptr, 12, 12);
  TBitmap strip;
  strip.SetSize(24, 12);
  images->Add(&strip);
  e->BookMarkOptions()->SetBookmarkImages(images.get());
  e->PutBookmark(1, 1, 2);  // index 1: the last image
  e->PutBookmark(2, 1, 3);  // index 2: one past the last, not drawn
  e->Update();
  images.reset();
  EXPECT_EQ(e->BookMarkOptions()->BookmarkImages(), nullptr);
  e->Invalidate();
  e->Update();  // paints the gutter without the freed list
}
