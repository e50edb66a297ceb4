// Option objects, the bookmark image strip and line marks.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "editor/core/edit_options.h"

namespace {

struct Counter {
  int n = 0;
  void Hit(TObject*) { ++n; }
  TNotifyEvent Event() { return TNotifyEvent(this, &Counter::Hit); }
};

// Stands in for the editor control: a component that owns a mark list.
class FakeEditor : public TComponent, public TSrcMarkOwner {
public:
  FakeEditor() : TComponent(nullptr), marks(this) {}
  TSrcEditMarkList* MarkList() override { return &marks; }
  void InvalidateGutterLines(int first, int last) override { invalid.push_back({first, last}); }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove) removed.push_back(c);
  }
  TSrcEditMarkList marks;
  std::vector<std::pair<int, int>> invalid;
  std::vector<TComponent*> removed;
};

}  // namespace

TEST(SelectedColor, DefaultsChangesAndAssign) {
  TSrcSelectedColor a, b;
  Counter c;
  a.OnChange = c.Event();
  EXPECT_EQ(a.Background(), clHighlight);
  EXPECT_EQ(a.Foreground(), clHighlightText);
  a.SetBackground(clHighlight);
  EXPECT_EQ(c.n, 0);
  a.SetBackground(clNavy);
  a.SetForeground(clWhite);
  EXPECT_EQ(c.n, 2);
  b.Assign(&a);
  EXPECT_EQ(b.Background(), clNavy);
  EXPECT_EQ(b.Foreground(), clWhite);
  TSrcGutter g;
  EXPECT_THROW(a.Assign(&g), EConvertError);
}

TEST(Gutter, DefaultsAndClamping) {
  TSrcGutter g;
  Counter c;
  g.OnChange = c.Event();
  EXPECT_EQ(g.Font()->Name(), "Courier New");
  EXPECT_EQ(g.Font()->Size(), 8);
  EXPECT_TRUE(g.Font()->Style().Empty());
  EXPECT_TRUE(g.UseFontStyle());
  EXPECT_EQ(g.Color(), clBtnFace);
  EXPECT_TRUE(g.Visible());
  EXPECT_EQ(g.Width(), 30);
  EXPECT_EQ(g.LeftOffset(), 16);
  EXPECT_EQ(g.RightOffset(), 2);
  EXPECT_EQ(g.DigitCount(), 4);
  EXPECT_EQ(g.AutoSizeDigitCountValue(), 4);
  EXPECT_FALSE(g.AutoSize() || g.ShowLineNumbers() || g.LeadingZeros() || g.ZeroStart());
  EXPECT_EQ(g.BorderStyle(), gbsMiddle);
  EXPECT_EQ(g.Cursor(), crDefault);

  g.SetDigitCount(1);
  EXPECT_EQ(g.DigitCount(), 2);
  g.SetDigitCount(20);
  EXPECT_EQ(g.DigitCount(), 12);
  EXPECT_EQ(g.AutoSizeDigitCountValue(), 12);
  g.SetWidth(-5);
  g.SetLeftOffset(-1);
  g.SetRightOffset(-1);
  EXPECT_EQ(g.Width(), 0);
  EXPECT_EQ(g.LeftOffset(), 0);
  EXPECT_EQ(g.RightOffset(), 0);
  EXPECT_EQ(c.n, 5);
  g.SetWidth(-9);  // still 0: nothing to report
  g.SetColor(clBtnFace);
  EXPECT_EQ(c.n, 5);
  g.SetBorderStyle(gbsMiddle);  // reported even when equal
  EXPECT_EQ(c.n, 6);
  g.Font()->SetColor(clRed);  // the font's own changes count too
  EXPECT_EQ(c.n, 7);
  TFont same;
  same.Assign(g.Font());
  g.SetFont(&same);
  EXPECT_EQ(c.n, 7);
}

TEST(Gutter, AutoSizedDigitsAndLineNumbers) {
  TSrcGutter g;
  Counter c;
  g.OnChange = c.Event();
  g.SetShowLineNumbers(true);
  g.SetAutoSize(true);
  c.n = 0;
  g.AutoSizeDigitCount(12345);
  EXPECT_EQ(g.AutoSizeDigitCountValue(), 5);
  EXPECT_EQ(c.n, 1);
  g.AutoSizeDigitCount(12345);
  EXPECT_EQ(c.n, 1);
  g.AutoSizeDigitCount(12);
  EXPECT_EQ(g.AutoSizeDigitCountValue(), 4);  // never below DigitCount
  g.SetZeroStart(true);
  g.AutoSizeDigitCount(10000);
  EXPECT_EQ(g.AutoSizeDigitCountValue(), 4);
  g.AutoSizeDigitCount(10001);
  EXPECT_EQ(g.AutoSizeDigitCountValue(), 5);
  g.SetAutoSize(false);
  int before = c.n;
  g.AutoSizeDigitCount(123456);
  EXPECT_EQ(g.AutoSizeDigitCountValue(), 4);  // reset silently
  EXPECT_EQ(c.n, before);

  g.SetZeroStart(false);
  EXPECT_EQ(g.FormatLineNumber(7), "   7");
  g.SetLeadingZeros(true);
  EXPECT_EQ(g.FormatLineNumber(7), "0007");
  EXPECT_EQ(g.FormatLineNumber(123456), "123456");
  g.SetZeroStart(true);
  EXPECT_EQ(g.FormatLineNumber(1), "0000");

  EXPECT_EQ(g.RealGutterWidth(8), 16 + 2 + 8 * 4 + 2);
  g.SetShowLineNumbers(false);
  EXPECT_EQ(g.RealGutterWidth(8), 30);
  g.SetVisible(false);
  EXPECT_EQ(g.RealGutterWidth(8), 0);
}

TEST(Gutter, AssignCopiesAndReportsOnce) {
  TSrcGutter a, b;
  a.SetWidth(44);
  a.SetDigitCount(6);
  a.SetShowLineNumbers(true);
  a.SetAutoSize(true);
  a.AutoSizeDigitCount(12345678);
  a.Font()->SetName("Liberation Sans");
  a.Font()->SetStyle({fsBold});
  Counter c;
  b.OnChange = c.Event();
  b.Assign(&a);
  EXPECT_EQ(c.n, 1);
  EXPECT_EQ(b.Width(), 44);
  EXPECT_EQ(b.DigitCount(), 6);
  EXPECT_EQ(b.AutoSizeDigitCountValue(), 8);
  EXPECT_TRUE(b.Font()->SameAs(*a.Font()));
  EXPECT_NE(b.Font(), a.Font());
}

TEST(BookMarkOpt, DefaultsChangesAndFreeNotification) {
  FakeEditor editor;
  TSrcBookMarkOpt o(&editor);
  Counter c;
  o.OnChange = c.Event();
  EXPECT_EQ(o.BookmarkImages(), nullptr);
  EXPECT_TRUE(o.DrawBookmarksFirst() && o.EnableKeys() && o.GlyphsVisible());
  EXPECT_EQ(o.LeftMargin(), 2);
  EXPECT_EQ(o.Xoffset(), 12);
  o.SetLeftMargin(2);
  o.SetXoffset(12);
  EXPECT_EQ(c.n, 0);
  o.SetXoffset(20);
  o.SetGlyphsVisible(false);
  EXPECT_EQ(c.n, 2);
  {
    TImageList images(nullptr);
    o.SetBookmarkImages(&images);
    EXPECT_EQ(c.n, 3);
    TSrcBookMarkOpt copy(&editor);
    copy.Assign(&o);
    EXPECT_EQ(copy.BookmarkImages(), &images);
    EXPECT_EQ(copy.Xoffset(), 20);
    EXPECT_FALSE(copy.GlyphsVisible());
  }
  ASSERT_FALSE(editor.removed.empty());  // the editor hears that the list is gone
  o.SetBookmarkImages(nullptr);
}

TEST(Glyph, DrawsTheMiddleBandWithTheMaskTransparent) {
  TSrcGlyph g(HInstance, "", clLime);
  EXPECT_EQ(g.GlyphWidth(), 0);
  EXPECT_EQ(g.InternalMaskColor(), clNone);
  Counter c;
  g.OnChange = c.Event();
  // 40 rows, each in its own shade of blue; column 0 is the mask colour.
  TBitmap pic(6, 40);
  for (int y = 0; y < 40; ++y) {
    pic.Canvas()->Brush()->SetColor(RGB(0, 0, 100 + y));
    pic.Canvas()->FillRect(Rect(0, y, 6, y + 1));
    pic.Canvas()->SetPixel(0, y, clFuchsia);
  }
  g.SetGlyph(&pic);
  EXPECT_EQ(c.n, 1);
  g.SetMaskColor(clFuchsia);
  EXPECT_EQ(c.n, 2);
  EXPECT_EQ(g.GlyphWidth(), 6);

  TBitmap target(20, 30);
  g.Draw(target.Canvas(), 4, 5, 16);
  EXPECT_EQ(target.Pixel(5, 5), RGB(0, 0, 112));   // row 12 at the top
  EXPECT_EQ(target.Pixel(5, 20), RGB(0, 0, 127));  // row 27 at the bottom
  EXPECT_EQ(target.Pixel(5, 21), clWhite);
  EXPECT_EQ(target.Pixel(4, 10), clWhite);  // masked
  TBitmap tall(20, 60);
  g.Draw(tall.Canvas(), 0, 0, 50);  // a higher line centres the whole picture
  EXPECT_EQ(tall.Pixel(1, 5), RGB(0, 0, 100));
  EXPECT_EQ(tall.Pixel(1, 4), clWhite);

  TSrcGlyph copy(HInstance, "", clNone);
  copy.Assign(&g);
  EXPECT_EQ(copy.MaskColor(), clFuchsia);
  EXPECT_NE(copy.Glyph(), g.Glyph());
  EXPECT_EQ(copy.Glyph()->Pixel(3, 3), RGB(0, 0, 103));
}

TEST(Glyph, WordWrapGlyphFromTheResource) {
  TSrcGlyph g(HInstance, kWrappedGlyphResource, clLime);
  EXPECT_GT(g.GlyphWidth(), 0);
  EXPECT_EQ(g.InternalMaskColor(), clLime);
  TBitmap target(30, 30);
  target.Canvas()->Brush()->SetColor(clBtnFace);
  target.Canvas()->FillRect(Rect(0, 0, 30, 30));
  g.Draw(target.Canvas(), 2, 2, 20);
  int lime = 0, ink = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) {
      lime += target.Pixel(x, y) == clLime;
      ink += target.Pixel(x, y) == clNavy;
    }
  EXPECT_EQ(lime, 0);
  EXPECT_GT(ink, 10);
  std::filesystem::create_directories(VT_TEST_OUTPUT_DIR);
  target.SaveToFile(AnsiString(VT_TEST_OUTPUT_DIR) + "/wrap_glyph.png");
}

TEST(InternalImage, SharedStripAndBands) {
  EXPECT_EQ(TSrcInternalImage::SharedUsage(kInternalImagesResource), 0);
  auto a = std::make_unique<TSrcInternalImage>(HInstance, kInternalImagesResource, 10);
  auto b = std::make_unique<TSrcInternalImage>(HInstance, "SRCEDITINTERNALIMAGES", 10);
  EXPECT_EQ(a->Bitmap(), b->Bitmap());
  EXPECT_EQ(TSrcInternalImage::SharedUsage(kInternalImagesResource), 2);
  EXPECT_EQ(a->Width() * 10, a->Bitmap()->Width());
  std::filesystem::create_directories(VT_TEST_OUTPUT_DIR);
  a->Bitmap()->SaveToFile(AnsiString(VT_TEST_OUTPUT_DIR) + "/bookmark_images.png");
  a.reset();
  EXPECT_EQ(TSrcInternalImage::SharedUsage(kInternalImagesResource), 1);

  TBitmap target(40, 40);
  b->DrawMark(target.Canvas(), 10, 0, 0, 20);  // out of range: nothing
  b->DrawMark(target.Canvas(), -1, 0, 0, 20);
  EXPECT_EQ(target.Pixel(0, 3), clWhite);
  b->DrawMark(target.Canvas(), 3, 0, 0, 20);
  int top = (20 - b->Height()) / 2;
  for (int y = 0; y < b->Height(); ++y)
    for (int x = 0; x < b->Width(); ++x)
      ASSERT_EQ(target.Pixel(x, top + y), b->Bitmap()->Pixel(3 * b->Width() + x, y));
  TBitmap low(40, 40);
  b->DrawMark(low.Canvas(), 7, 1, 1, 8);  // a lower line: the middle band only
  int skip = (b->Height() - 8) / 2;
  EXPECT_EQ(low.Pixel(1 + 4, 1), b->Bitmap()->Pixel(7 * b->Width() + 4, skip));
  EXPECT_EQ(low.Pixel(1 + 4, 9), clWhite);
  b.reset();
  EXPECT_EQ(TSrcInternalImage::SharedUsage(kInternalImagesResource), 0);
}

TEST(Marks, AttachmentRepaintsAndLineQueries) {
  FakeEditor editor;
  Counter c;
  editor.marks.OnChange = c.Event();
  auto* m = new TSrcEditMark(&editor);
  EXPECT_EQ(m->BookmarkNumber(), -1);
  EXPECT_FALSE(m->IsBookmark() || m->Visible() || m->InternalImage());
  EXPECT_EQ(m->Line(), 0);
  EXPECT_EQ(m->GetEdit(), nullptr);  // not in the editor's list: forgets it
  delete m;

  m = new TSrcEditMark(&editor);
  editor.marks.Add(m);
  EXPECT_EQ(c.n, 1);
  m->SetLine(5);  // invisible: no repaint
  EXPECT_TRUE(editor.invalid.empty());
  m->SetVisible(true);
  m->SetLine(9);
  m->SetImage(3);
  m->SetChar(4);
  EXPECT_EQ(editor.invalid, (std::vector<std::pair<int, int>>{{5, 5}, {5, 5}, {9, 9}, {9, 9}}));
  EXPECT_EQ(m->GetEdit(), &editor);

  for (int i = 0; i < 20; ++i) {
    auto* k = new TSrcEditMark(&editor);
    k->SetLine(i % 2 ? 9 : 2);
    k->SetBookmarkNumber(i);
    editor.marks.Add(k);
  }
  TSrcEditMarks found;
  editor.marks.GetMarksForLine(9, found);
  EXPECT_EQ(found[0], m);
  for (int i = 1; i < 11; ++i) EXPECT_EQ(found[size_t(i)]->BookmarkNumber(), 2 * i - 1);
  EXPECT_EQ(found[11], nullptr);
  for (int i = 0; i < 20; ++i) editor.marks.Items(i + 1)->SetLine(2);
  editor.marks.GetMarksForLine(2, found);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(found[size_t(i)]->BookmarkNumber(), i);

  EXPECT_EQ(editor.marks.Remove(m), 0);
  EXPECT_EQ(m->GetEdit(), nullptr);
  delete m;
}
