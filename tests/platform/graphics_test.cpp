// Colours, fonts, device contexts, canvases and bitmaps.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/dc.h"
#include "platform/graphics.h"

namespace {

HFONT MakeFont(const char* face, int height, int weight = FW_NORMAL, uint8_t pitch = DEFAULT_PITCH) {
  LOGFONTA lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfPitchAndFamily = pitch;
  std::strcpy(lf.lfFaceName, face);
  return CreateFontIndirectA(lf);
}

// Columns of a bitmap row band holding a pixel different from the background.
std::vector<int> InkColumns(TBitmap& b, TColor bk, int top, int bottom) {
  std::vector<int> cols;
  for (int x = 0; x < b.Width(); ++x)
    for (int y = top; y < bottom; ++y)
      if (b.Pixel(x, y) != bk) {
        cols.push_back(x);
        break;
      }
  return cols;
}

}  // namespace

TEST(Colors, NamesAndNumbers) {
  EXPECT_EQ(ColorToString(clNavy), "clNavy");
  EXPECT_EQ(ColorToString(clInfoBk), "clInfoBk");
  EXPECT_EQ(ColorToString(clNone), "clNone");
  EXPECT_EQ(ColorToString(RGB(1, 2, 3)), "$00030201");
  EXPECT_EQ(StringToColor("clnavy"), clNavy);
  EXPECT_EQ(StringToColor("$00030201"), RGB(1, 2, 3));
  EXPECT_EQ(StringToColor("255"), clRed);
  EXPECT_EQ(StringToColor(ColorToString(clHighlightText)), clHighlightText);
  EXPECT_THROW(StringToColor("clNoSuchColour"), EConvertError);
}

TEST(Colors, SystemColoursComeFromThePalette) {
  EnsureGuiApplication();
  for (TColor c : {clWindow, clWindowText, clHighlight, clHighlightText, clBtnFace, clInfoBk}) {
    TColor rgb = ColorToRGB(c);
    EXPECT_GE(rgb, 0) << ColorToString(c);
    EXPECT_LE(rgb, 0xFFFFFF);
  }
  EXPECT_NE(ColorToRGB(clWindow), ColorToRGB(clWindowText));
  EXPECT_EQ(ColorToRGB(clSilver), clSilver);
  EXPECT_EQ(ColorToRGB(clNone), clNone);
}

TEST(Fonts, SizeHeightAndChangeEvents) {
  TFont f;
  int changes = 0;
  f.OnChange = TNotifyEvent(
      [](void* n, TObject*) { ++*static_cast<int*>(n); }, &changes);
  f.SetSize(10);
  EXPECT_EQ(f.Height(), -13);
  EXPECT_EQ(f.Size(), 10);
  EXPECT_EQ(changes, 1);
  f.SetSize(10);
  f.SetName(f.Name());
  EXPECT_EQ(changes, 1);
  HFONT h = f.Handle();
  EXPECT_EQ(f.Handle(), h);
  f.SetStyle({fsBold});
  EXPECT_EQ(changes, 2);
  LOGFONTA lf{};
  ASSERT_EQ(GetObjectA(f.Handle(), sizeof lf, &lf), int(sizeof lf));
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_EQ(lf.lfHeight, -13);
  EXPECT_FALSE(IsFontHandle(h));  // the old handle went with the change

  TFont g;
  g.Assign(&f);
  EXPECT_TRUE(g.SameAs(f));
  f.Assign(&g);  // equal: nothing reported
  EXPECT_EQ(changes, 2);
}

TEST(Fonts, FacesResolveThroughTheSystem) {
  HDC dc = GetDC(nullptr);
  HFONT mono = MakeFont("Courier New", -16);
  SelectObject(dc, mono);
  TEXTMETRICA tm{};
  ASSERT_TRUE(GetTextMetricsA(dc, &tm));
  EXPECT_EQ(tm.tmPitchAndFamily & TMPF_FIXED_PITCH, 0) << "Courier New should be fixed pitch";
  EXPECT_EQ(tm.tmAveCharWidth, tm.tmMaxCharWidth);
  EXPECT_GT(tm.tmHeight, 0);
  EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);

  HFONT sans = MakeFont("Arial", -16);
  SelectObject(dc, sans);
  ASSERT_TRUE(GetTextMetricsA(dc, &tm));
  EXPECT_NE(tm.tmPitchAndFamily & TMPF_FIXED_PITCH, 0) << "Arial should be proportional";
  int wi = 0, wm = 0;
  GetCharWidth32A(dc, 'i', 'i', &wi);
  GetCharWidth32A(dc, 'M', 'M', &wm);
  EXPECT_LT(wi, wm);
  ReleaseDC(nullptr, dc);
  DeleteObject(mono);
  DeleteObject(sans);
}

TEST(DeviceContext, SaveRestoreAndSelection) {
  HDC dc = GetDC(nullptr);
  HFONT a = MakeFont("Liberation Sans", -12), b = MakeFont("Liberation Sans", -20);
  SelectObject(dc, a);
  SetTextColor(dc, 0x0000FF);
  int level = SaveDC(dc);
  EXPECT_EQ(level, 1);
  EXPECT_EQ(SelectObject(dc, b), a);
  SetTextColor(dc, 0x00FF00);
  SetBkColor(dc, 0x123456);
  SetTextCharacterExtra(dc, 3);
  EXPECT_EQ(SaveDC(dc), 2);
  SetTextCharacterExtra(dc, 7);
  ASSERT_TRUE(RestoreDC(dc, level));  // back past both levels
  EXPECT_EQ(GetCurrentObjectFont(dc), a);
  EXPECT_EQ(GetTextColor(dc), 0x0000FFu);
  EXPECT_EQ(GetTextCharacterExtra(dc), 0);
  EXPECT_FALSE(RestoreDC(dc, 1));
  // A deleted font cannot be selected any more.
  DeleteObject(b);
  EXPECT_EQ(SelectObject(dc, b), a);
  EXPECT_EQ(GetCurrentObjectFont(dc), a);
  ReleaseDC(nullptr, dc);
  DeleteObject(a);
}

TEST(DeviceContext, AbcWidthsExtentsAndSpacing) {
  HDC dc = GetDC(nullptr);
  HFONT f = MakeFont("Liberation Serif", -18, FW_NORMAL);
  SelectObject(dc, f);
  ABC abc[3];
  ASSERT_TRUE(GetCharABCWidthsA(dc, 'A', 'C', abc));
  int w[3];
  ASSERT_TRUE(GetCharWidth32A(dc, 'A', 'C', w));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(abc[i].abcA + int(abc[i].abcB) + abc[i].abcC, w[i]);
  TSize s;
  GetTextExtentPoint32A(dc, "ABC", 3, &s);
  EXPECT_EQ(s.cx, w[0] + w[1] + w[2]);
  SetTextCharacterExtra(dc, 2);
  GetTextExtentPoint32A(dc, "ABC", 3, &s);
  EXPECT_EQ(s.cx, w[0] + w[1] + w[2] + 6);
  SetDCCharABCWidthsAvailable(dc, false);
  EXPECT_FALSE(GetCharABCWidthsA(dc, 'A', 'A', abc));
  EXPECT_EQ(GetFontLanguageInfo(dc) & GCP_DBCS, 0u);
  ReleaseDC(nullptr, dc);
  DeleteObject(f);
}

TEST(DeviceContext, ExtTextOutFillsClipsAndDecodesCyrillic) {
  TBitmap bmp(120, 40);
  TCanvas* c = bmp.Canvas();
  c->Brush()->SetColor(clWhite);
  c->FillRect(Rect(0, 0, 120, 40));
  HDC dc = c->Handle();
  HFONT f = MakeFont("Liberation Sans", -20);
  SelectObject(dc, f);
  SetTextColor(dc, 0x000000);
  SetBkColor(dc, ColorToColorRef(clYellow));
  TRect r = Rect(10, 5, 50, 35);
  ExtTextOutA(dc, 10, 5, ETO_OPAQUE | ETO_CLIPPED, &r, "WWWWWWWW", 8, nullptr);
  EXPECT_EQ(bmp.Pixel(49, 34), clYellow);   // the rectangle is filled
  EXPECT_EQ(bmp.Pixel(50, 20), clWhite);    // and the text clipped to it
  EXPECT_EQ(bmp.Pixel(9, 20), clWhite);
  auto ink = InkColumns(bmp, clWhite, 0, 40);
  ASSERT_FALSE(ink.empty());
  EXPECT_GE(ink.front(), 10);
  EXPECT_LT(ink.back(), 50);

  // A Cyrillic letter is drawn as itself, not as a replacement mark.
  TBitmap a(40, 40), b(40, 40);
  for (TBitmap* p : {&a, &b}) {
    SelectObject(p->Canvas()->Handle(), f);
    SetBkMode(p->Canvas()->Handle(), TRANSPARENT);
  }
  AnsiString zhe = W1251("Ж");
  TextOutA(a.Canvas()->Handle(), 5, 5, zhe.data(), 1);
  TextOutA(b.Canvas()->Handle(), 5, 5, "?", 1);
  int differ = 0, inked = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      differ += a.Pixel(x, y) != b.Pixel(x, y);
      inked += a.Pixel(x, y) != clWhite;
    }
  EXPECT_GT(inked, 20);
  EXPECT_GT(differ, 20);
  DeleteObject(f);
}

TEST(Canvas, LinesRectanglesAndMaskedCopies) {
  TBitmap bmp(20, 20);
  TCanvas* c = bmp.Canvas();
  c->Brush()->SetColor(clWhite);
  c->FillRect(Rect(0, 0, 20, 20));
  c->Pen()->SetColor(clRed);
  c->MoveTo(5, 2);
  c->LineTo(5, 10);
  EXPECT_EQ(bmp.Pixel(5, 2), clRed);
  EXPECT_EQ(bmp.Pixel(5, 9), clRed);
  EXPECT_EQ(bmp.Pixel(5, 10), clWhite);  // the end point is left out
  EXPECT_EQ(c->PenPos(), Point(5, 10));
  EXPECT_EQ(c->ClipRect(), Rect(0, 0, 20, 20));
  bmp.SetSize(30, 20);
  EXPECT_EQ(c->ClipRect(), Rect(0, 0, 30, 20));
  EXPECT_EQ(bmp.Pixel(5, 2), clRed);  // resizing keeps the picture
  EXPECT_EQ(bmp.Pixel(25, 2), clWhite);
  bmp.SetSize(20, 20);

  TBitmap glyph(4, 4);
  glyph.Canvas()->Brush()->SetColor(clLime);
  glyph.Canvas()->FillRect(Rect(0, 0, 4, 4));
  glyph.Canvas()->SetPixel(1, 1, clBlue);
  c->BrushCopy(Bounds(10, 10, 4, 4), &glyph, Rect(0, 0, 4, 4), clLime);
  EXPECT_EQ(bmp.Pixel(11, 11), clBlue);
  EXPECT_EQ(bmp.Pixel(10, 10), clWhite);  // the mask colour is transparent
  c->CopyRect(Bounds(0, 14, 4, 4), glyph.Canvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(bmp.Pixel(0, 14), clLime);  // a plain copy keeps it

  TBitmap copy;
  copy.Assign(&bmp);
  EXPECT_EQ(copy.Width(), 20);
  EXPECT_EQ(copy.Pixel(11, 11), clBlue);
  bmp.Canvas()->SetPixel(11, 11, clBlack);
  EXPECT_EQ(copy.Pixel(11, 11), clBlue);  // pictures are copied, not shared
}

TEST(Bitmaps, ResourcesAndImageLists) {
  RegisterBitmapResource("TestStrip", [](TBitmap& b) {
    b.SetSize(8, 4);
    b.Canvas()->Brush()->SetColor(clRed);
    b.Canvas()->FillRect(Rect(0, 0, 4, 4));
    b.Canvas()->Brush()->SetColor(clBlue);
    b.Canvas()->FillRect(Rect(4, 0, 8, 4));
  });
  TBitmap b;
  EXPECT_FALSE(b.LoadFromResourceName(HInstance, "NoSuchResource"));
  ASSERT_TRUE(b.LoadFromResourceName(HInstance, "TESTSTRIP"));
  TImageList list(nullptr, 4, 4);
  EXPECT_EQ(list.Add(&b), 0);
  EXPECT_EQ(list.Count(), 2);
  TBitmap target(10, 10);
  list.Draw(target.Canvas(), 2, 2, 1);
  EXPECT_EQ(target.Pixel(2, 2), clBlue);
  EXPECT_EQ(target.Pixel(6, 6), clWhite);
}

TEST(DeviceContext, UnderlineAndStrikeOutSpanTheCells) {
  for (bool strike : {false, true}) {
    LOGFONTA lf{};
    lf.lfHeight = -20;
    lf.lfWeight = FW_NORMAL;
    (strike ? lf.lfStrikeOut : lf.lfUnderline) = 1;
    std::strcpy(lf.lfFaceName, "Liberation Mono");
    HFONT f = CreateFontIndirectA(lf);
    TBitmap bmp(100, 30);
    HDC dc = bmp.Canvas()->Handle();
    SelectObject(dc, f);
    SetBkMode(dc, TRANSPARENT);
    int dx[4] = {20, 20, 20, 20};
    ExtTextOutA(dc, 10, 2, 0, nullptr, "    ", 4, dx);
    auto ink = InkColumns(bmp, clWhite, 0, 30);
    ASSERT_FALSE(ink.empty()) << strike;
    EXPECT_LE(ink.front(), 12);
    EXPECT_GE(ink.back(), 80);  // the line runs under every cell, blanks too
    DeleteObject(f);
  }
}

TEST(Fonts, FixedPitchAskedOfAProportionalFace) {
  TFont f;
  f.SetName("Arial");
  f.SetHeight(-16);
  f.SetPitch(fpFixed);
  HDC dc = GetDC(nullptr);
  SelectObject(dc, f.Handle());
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  EXPECT_EQ(tm.tmPitchAndFamily & TMPF_FIXED_PITCH, 0);
  EXPECT_EQ(tm.tmAveCharWidth, tm.tmMaxCharWidth);
  // Whatever fonts the machine has, and for a face it lacks.
  TFont g;
  g.SetName("No Such Face");
  g.SetHeight(-16);
  g.SetPitch(fpFixed);
  SelectObject(dc, g.Handle());
  GetTextMetricsA(dc, &tm);
  EXPECT_EQ(tm.tmPitchAndFamily & TMPF_FIXED_PITCH, 0);
  EXPECT_EQ(tm.tmAveCharWidth, tm.tmMaxCharWidth);
  ReleaseDC(nullptr, dc);
}

TEST(DeviceContext, CharactersTheFaceLacksStillKeepTheirCells) {
  TBitmap bmp(100, 30);
  HDC dc = bmp.Canvas()->Handle();
  HFONT f = MakeFont("Liberation Mono", -20);
  SelectObject(dc, f);
  SetBkMode(dc, TRANSPARENT);
  int dx[3] = {30, 30, 30};
  // The middle byte has no glyph in the face; the letters around it stay in their cells.
  ExtTextOutA(dc, 0, 2, 0, nullptr, "H\x01H", 3, dx);
  auto ink = InkColumns(bmp, clWhite, 0, 30);
  ASSERT_FALSE(ink.empty());
  bool inFirst = false, inLast = false;
  for (int x : ink) inFirst |= x < 30, inLast |= x >= 60 && x < 90;
  EXPECT_TRUE(inFirst);
  EXPECT_TRUE(inLast);
  DeleteObject(f);
}

TEST(Canvas, TextUsesTheCanvasFontAndBrush) {
  TBitmap bmp(80, 30);
  TCanvas* c = bmp.Canvas();
  c->Font()->SetName("Liberation Sans");
  c->Font()->SetHeight(-18);
  c->Font()->SetColor(clBlue);
  c->Brush()->SetColor(clAqua);
  TSize s = c->TextExtent("Hi");
  EXPECT_GT(s.cx, 0);
  HDC dc = GetDC(nullptr);
  SelectObject(dc, c->Font()->Handle());
  TSize direct;
  GetTextExtentPoint32A(dc, "Hi", 2, &direct);
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(s, direct);
  c->TextOut(4, 4, "Hi");
  EXPECT_EQ(c->PenPos(), Point(4 + s.cx, 4));
  EXPECT_EQ(bmp.Pixel(4, 4), clAqua);  // the opaque text box in the brush colour
  EXPECT_EQ(bmp.Pixel(4 + s.cx, 4), clWhite);
  bool blue = false;
  for (int y = 4; y < 4 + s.cy; ++y)
    for (int x = 4; x < 4 + s.cx; ++x) blue |= bmp.Pixel(x, y) == clBlue;
  EXPECT_TRUE(blue);
}

TEST(Application, ToolkitTextsFollowTheLocaleWhereATranslationIsInstalled) {
  EnsureGuiApplication();
  EXPECT_TRUE(LoadToolkitTranslations("ru_RU"));  // Debian's Qt translations (scripts/setup.sh)
  EXPECT_FALSE(LoadToolkitTranslations("xx_XX"));
  LoadToolkitTranslations("C");
}

// Text runs are batched: glyphs may be drawn after later steps, but never over what a later step
// drew over them, never with the wrong face or colour, and always before the pixels are read.
TEST(DeviceContext, BatchedTextKeepsItsPlaceAmongLaterDrawing) {
  TBitmap bmp(240, 60);
  TCanvas* c = bmp.Canvas();
  HDC dc = c->Handle();
  c->Brush()->SetColor(clWhite);
  c->FillRect(Rect(0, 0, 240, 60));
  HFONT thin = MakeFont("Courier New", -18, FW_NORMAL, FIXED_PITCH);
  HFONT bold = MakeFont("Courier New", -18, FW_BOLD, FIXED_PITCH);
  SetBkColor(dc, 0xFFFFFF);
  TRect left = Rect(0, 0, 120, 30), right = Rect(120, 0, 240, 30);
  SelectObject(dc, thin);
  SetTextColor(dc, ColorToColorRef(clRed));
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE | ETO_CLIPPED, &left, "MMMMMMMMMM", 10, nullptr);
  SelectObject(dc, bold);
  SetTextColor(dc, ColorToColorRef(clBlue));
  ExtTextOutA(dc, 120, 0, ETO_OPAQUE | ETO_CLIPPED, &right, "MMMMMMMMMM", 10, nullptr);
  // The fonts go while their glyphs may still wait.
  DeleteObject(thin);
  DeleteObject(bold);
  // A fill over the first run's right half and a line through the second run: the text stays
  // below them.
  c->Brush()->SetColor(clLime);
  c->FillRect(Rect(60, 0, 120, 30));
  c->Pen()->SetColor(clYellow);
  c->MoveTo(180, 0);
  c->LineTo(180, 30);
  int red = 0, blue = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 240; ++x) {
      TColor p = bmp.Pixel(x, y);
      if (x >= 60 && x < 120) {
        ASSERT_EQ(p, clLime) << x << "," << y;
      }
      if (x == 180) {
        ASSERT_EQ(p, clYellow) << y;
      }
      // Each run in its own colour: red on white blends to reds, blue on white to blues.
      if (x < 60 && p != clWhite) {
        ++red;
        EXPECT_EQ(p & 0xFF, 0xFFu) << x << "," << y;
      }
      if (x >= 120 && x < 180 && p != clWhite) {
        ++blue;
        EXPECT_EQ((p >> 16) & 0xFF, 0xFFu) << x << "," << y;
      }
    }
  // Five letters each: the bold face is the heavier one.
  EXPECT_GT(red, 30);
  EXPECT_GT(blue, red + red / 10);
}
