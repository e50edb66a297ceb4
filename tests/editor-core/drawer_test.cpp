// The fixed-cell text drawer: shared font infos, cell metrics, the advance array and output.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "editor/core/text_drawer.h"

namespace {

std::unique_ptr<TFont> NewFont(const char* name, int height, TFontStyles style = {}) {
  auto f = std::make_unique<TFont>();
  f->SetName(name);
  f->SetHeight(height);
  f->SetStyle(style);
  return f;
}

// What the platform reports for a font: the ABC sum of "M" and the cell height.
void PlatformMetrics(TFont* font, TFontStyles style, int& advance, int& height) {
  TFont f;
  f.Assign(font);
  f.SetStyle(style);
  HDC dc = GetDC(nullptr);
  SelectObject(dc, f.Handle());
  ABC abc{};
  GetCharABCWidthsA(dc, 'M', 'M', &abc);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  advance = abc.abcA + int(abc.abcB) + abc.abcC;
  height = tm.tmHeight;
  ReleaseDC(nullptr, dc);
}

class NoAbcFontStock : public TheFontStock {
public:
  using TheFontStock::TheFontStock;

protected:
  HDC AcquireDC() override {
    HDC dc = TheFontStock::AcquireDC();
    SetDCCharABCWidthsAvailable(dc, false);
    return dc;
  }
};

int ColourDistance(TColor a, TColor b) {
  return std::abs((a & 0xFF) - (b & 0xFF)) + std::abs(((a >> 8) & 0xFF) - ((b >> 8) & 0xFF)) +
         std::abs(((a >> 16) & 0xFF) - ((b >> 16) & 0xFF));
}

}  // namespace

TEST(FontsInfo, SharedByNormalisedFontAndCounted) {
  auto& m = TheFontsInfoManager::Instance();
  int before = m.Count();
  auto plain = NewFont("Liberation Mono", -17);
  auto slanted = NewFont("Liberation Mono", -17, {fsItalic, fsUnderline, fsStrikeOut});
  auto heavy = NewFont("Liberation Mono", -17, {fsBold});
  auto a = std::make_unique<TheTextDrawer>(TFontStyles{fsBold}, plain.get());
  auto b = std::make_unique<TheTextDrawer>(TFontStyles{fsBold}, slanted.get());
  TFontsInfo* info = a->FontStock()->FontsInfo();
  EXPECT_EQ(b->FontStock()->FontsInfo(), info);
  EXPECT_EQ(info->RefCount, 2);
  EXPECT_EQ(info->LockCount, 2);
  EXPECT_EQ(m.Count(), before + 1);
  EXPECT_EQ(b->FontStock()->Style(), (TFontStyles{fsItalic, fsUnderline, fsStrikeOut}));

  // A different weight is a different base font.
  TheTextDrawer c(TFontStyles{fsBold}, heavy.get());
  EXPECT_NE(c.FontStock()->FontsInfo(), info);
  EXPECT_EQ(m.Count(), before + 2);

  // The same base font again changes nothing.
  a->SetBaseFont(plain.get());
  EXPECT_EQ(a->FontStock()->FontsInfo(), info);
  EXPECT_EQ(info->RefCount, 2);

  // Style fonts are made once per info, whichever drawer asks first.
  b->SelectStyle({fsBold, fsItalic});
  HFONT shared = info->FontsData[TFontStyles{fsBold, fsItalic}.Bits()].Handle;
  ASSERT_NE(shared, nullptr);
  a->SelectStyle({fsBold, fsItalic});
  EXPECT_EQ(a->CurrentFont(), shared);

  b.reset();
  EXPECT_EQ(info->RefCount, 1);
  EXPECT_EQ(info->LockCount, 1);
  a.reset();
  EXPECT_EQ(m.Count(), before + 1);
}

TEST(FontsInfo, HandlesLiveWhileLockedAndAreRemadeAfterGivingBack) {
  auto font = NewFont("Liberation Serif", -15);
  TheTextDrawer a(TFontStyles{fsBold}, font.get());
  TheTextDrawer b(TFontStyles{fsBold}, font.get());
  TFontsInfo* info = a.FontStock()->FontsInfo();
  HFONT boldHandle = info->FontsData[1].Handle;
  ASSERT_TRUE(IsFontHandle(boldHandle));
  a.GiveBackResources();
  EXPECT_EQ(info->LockCount, 1);
  EXPECT_TRUE(IsFontHandle(boldHandle));  // b still holds them
  b.GiveBackResources();
  EXPECT_EQ(info->LockCount, 0);
  EXPECT_FALSE(IsFontHandle(boldHandle));
  for (auto& slot : info->FontsData) EXPECT_EQ(slot.Handle, nullptr);
  // The next selection of the same style makes a live handle again.
  a.SelectStyle({});
  EXPECT_TRUE(IsFontHandle(a.CurrentFont()));
  EXPECT_EQ(info->LockCount, 1);

  auto& m = TheFontsInfoManager::Instance();
  auto other = NewFont("Liberation Serif", -29);
  TFontsInfo* lone = m.AcquireFontsInfo(other.get());
  m.LockFontHandles(lone);
  try {
    m.DropFontsInfo(lone);
    ADD_FAILURE() << "dropping a locked info must fail";
  } catch (const EheAssertionFailed& e) {
    EXPECT_EQ(e.Message(), "Call DeactivateFontsInfo before calling this.");
  }
  m.UnlockFontHandles(lone);
  m.DropFontsInfo(lone);
}

TEST(TextDrawer, CellSizeComesFromTheMeasuringStyle) {
  auto font = NewFont("Courier New", -14);
  TheTextDrawer d(TFontStyles{fsBold}, font.get());
  int adv = 0, h = 0;
  PlatformMetrics(font.get(), {fsBold}, adv, h);
  EXPECT_EQ(d.CellWidth(), adv);
  EXPECT_EQ(d.CellHeight(), h);
  EXPECT_EQ(d.FontStock()->Style(), TFontStyles{});  // output uses the font's own style
  EXPECT_EQ(d.Foreground(), clWindowText);
  EXPECT_EQ(d.Background(), clWindow);

  auto sans = NewFont("Liberation Sans", -22);
  d.SetBaseFont(sans.get());
  d.SetMeasureStyle({fsItalic});
  PlatformMetrics(sans.get(), {fsItalic}, adv, h);
  EXPECT_EQ(d.CellWidth(), adv);
  EXPECT_EQ(d.CellHeight(), h);

  try {
    d.SetBaseFont(nullptr);
    ADD_FAILURE();
  } catch (const EheTextDrawerException& e) {
    EXPECT_EQ(e.Message(), "SetBaseFont: 'Value' must be specified.");
  }
  EXPECT_EQ(d.CellWidth(), adv);  // nothing changed
  EXPECT_THROW(TheFontStock(nullptr), EheFontStockException);
}

TEST(TextDrawer, AdvanceArrayGrowsInBlocksAndKeepsOldWidths) {
  auto font = NewFont("Liberation Mono", -13);
  TheTextDrawer d(TFontStyles{fsBold}, font.get());
  HDC dc = GetDC(nullptr);
  d.BeginDraw(dc);
  std::string text(200, 'x');
  const int w = d.CellWidth();
  d.TextOutCells(0, 0, 0, nullptr, text.data(), 65);
  ASSERT_EQ(d.AdvanceArrayLength(), 128);
  const int* array = d.AdvanceArray();
  d.TextOutCells(0, 0, 0, nullptr, text.data(), 10);
  EXPECT_EQ(d.AdvanceArrayLength(), 128);
  EXPECT_EQ(d.AdvanceArray(), array);  // reused, not reallocated

  d.SetExtraSpacing(2);
  EXPECT_EQ(d.CellWidth(), w + 2);
  EXPECT_EQ(GetTextCharacterExtra(dc), 2);
  d.TextOutCells(0, 0, 0, nullptr, text.data(), 130);
  EXPECT_EQ(d.AdvanceArrayLength(), 192);
  EXPECT_EQ(d.AdvanceArray()[127], w);      // made before the spacing changed
  EXPECT_EQ(d.AdvanceArray()[128], w + 2);  // made after
  d.EndDraw();
  EXPECT_EQ(GetTextCharacterExtra(dc), 0);  // the DC got its state back

  d.SetMeasureStyle({fsBold});  // unchanged: the array stays
  EXPECT_EQ(d.AdvanceArrayLength(), 192);
  d.SetMeasureStyle({});
  EXPECT_EQ(d.AdvanceArrayLength(), 0);
  ReleaseDC(nullptr, dc);
}

TEST(TextDrawer, AverageWidthWhenAbcWidthsAreMissing) {
  // A size no other test uses, so that this stock measures the slot first (after construction:
  // during it the stock is not yet of the derived class).
  auto first = NewFont("Liberation Sans", -30);
  auto font = NewFont("Liberation Sans", -31);
  NoAbcFontStock stock(first.get());
  stock.SetBaseFont(font.get());
  HDC dc = GetDC(nullptr);
  SelectObject(dc, stock.FontHandle());
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  ABC abc{};
  GetCharABCWidthsA(dc, 'M', 'M', &abc);
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(stock.CharAdvance(), tm.tmAveCharWidth);
  EXPECT_NE(stock.CharAdvance(), abc.abcA + int(abc.abcB) + abc.abcC);
  EXPECT_EQ(stock.DCUseCount(), 0);
}

TEST(TextDrawer, BeginAndEndDrawNestAndRestoreTheDC) {
  auto font = NewFont("Liberation Mono", -13);
  TheTextDrawer d(TFontStyles{fsBold}, font.get());
  HDC dc = GetDC(nullptr), other = GetDC(nullptr);
  SetTextColor(dc, 0x010203);
  EXPECT_THROW(d.EndDraw(), EheAssertionFailed);
  EXPECT_THROW(d.BeginDraw(nullptr), EheAssertionFailed);
  d.BeginDraw(dc);
  EXPECT_EQ(GetTextColor(dc), ColorToColorRef(clWindowText));
  EXPECT_EQ(GetBkColor(dc), ColorToColorRef(clWindow));
  EXPECT_EQ(GetCurrentObjectFont(dc), d.CurrentFont());
  d.BeginDraw(dc);
  EXPECT_THROW(d.BeginDraw(other), EheAssertionFailed);
  d.SetForeground(clRed);
  EXPECT_EQ(GetTextColor(dc), COLORREF(clRed));
  d.SelectStyle({fsUnderline});
  EXPECT_EQ(GetCurrentObjectFont(dc), d.CurrentFont());
  d.EndDraw();
  EXPECT_EQ(d.AttachedDC(), dc);
  d.EndDraw();
  EXPECT_EQ(d.AttachedDC(), nullptr);
  EXPECT_EQ(GetTextColor(dc), 0x010203u);
  EXPECT_THROW(d.EndDraw(), EheAssertionFailed);
  ReleaseDC(nullptr, dc);
  ReleaseDC(nullptr, other);
}

// Text written cell by cell into an image: every character sits in its own cell whatever its
// glyph width, in the colours set, for plain, bold and italic output.
TEST(TextDrawer, CellsLandInTheirOwnColumns) {
  auto font = NewFont("Liberation Sans", -20);
  TheTextDrawer d(TFontStyles{fsBold}, font.get());
  const AnsiString text = W1251("iWiЖ.Mil");
  const int n = int(text.size()), cw = d.CellWidth(), ch = d.CellHeight(), x0 = 12;
  const TColor fg = clRed, bk = clYellow;
  const TFontStyles styles[3] = {{}, {fsBold}, {fsItalic}};
  const int rowPitch = ch + 6;
  TBitmap image(x0 * 2 + n * cw, 6 + 3 * rowPitch);
  image.Canvas()->Brush()->SetColor(clWhite);
  image.Canvas()->FillRect(Rect(0, 0, image.Width(), image.Height()));

  auto writeRow = [&](TBitmap& target, int row, const char* chars, int count, int firstCell) {
    int y = 6 + row * rowPitch;
    TRect r = Rect(x0, y, x0 + n * cw, y + ch);
    d.BeginDraw(target.Canvas()->Handle());
    d.SelectStyle(styles[row]);
    d.SetForeground(fg);
    d.SetBackground(bk);
    d.TextOutCells(x0 + firstCell * cw, y, ETO_OPAQUE | ETO_CLIPPED, &r, chars, count);
    d.EndDraw();
  };
  for (int row = 0; row < 3; ++row) writeRow(image, row, text.data(), n, 0);

  std::filesystem::create_directories(VT_TEST_OUTPUT_DIR);
  image.SaveToFile(AnsiString(VT_TEST_OUTPUT_DIR) + "/drawer_cells.png");

  for (int row = 0; row < 3; ++row) {
    int top = 6 + row * rowPitch;
    SCOPED_TRACE(row);
    // The rectangle is filled with the background, nothing outside it.
    EXPECT_EQ(image.Pixel(x0, top), bk);
    EXPECT_EQ(image.Pixel(x0 + n * cw - 1, top + ch - 1), bk);
    EXPECT_EQ(image.Pixel(x0 - 1, top + ch / 2), clWhite);
    EXPECT_EQ(image.Pixel(x0 + n * cw, top + ch / 2), clWhite);
    EXPECT_EQ(image.Pixel(x0, top + ch), clWhite);
    // The strongest ink is the foreground colour.
    TColor darkest = bk;
    for (int y = top; y < top + ch; ++y)
      for (int x = x0; x < x0 + n * cw; ++x)
        if (ColourDistance(image.Pixel(x, y), bk) > ColourDistance(darkest, bk))
          darkest = image.Pixel(x, y);
    EXPECT_LE(ColourDistance(darkest, fg), 60);

    for (int i = 0; i < n; ++i) {
      SCOPED_TRACE(i);
      // The character alone, written at its own cell, inks only around that cell...
      TBitmap alone(image.Width(), image.Height());
      writeRow(alone, row, text.data() + i, 1, i);
      int left = x0 + i * cw, right = left + cw, minX = 1 << 20, maxX = -1;
      long long sum = 0, count = 0;
      for (int y = top; y < top + ch; ++y)
        for (int x = x0; x < x0 + n * cw; ++x)
          if (ColourDistance(alone.Pixel(x, y), bk) > 100) {
            minX = std::min(minX, x), maxX = std::max(maxX, x);
            sum += x, ++count;
          }
      ASSERT_GT(count, 0);
      EXPECT_GE(minX, left - 2);
      EXPECT_LT(maxX, right + 4);
      double centre = double(sum) / double(count);
      EXPECT_GT(centre, left);
      EXPECT_LT(centre, right);
      // ...and the whole row shows the same ink inside that cell.
      int differ = 0;
      for (int y = top; y < top + ch; ++y)
        for (int x = left + 2; x < right - 2; ++x)
          differ += ColourDistance(alone.Pixel(x, y), image.Pixel(x, y)) > 100;
      EXPECT_LE(differ, ch / 2);
    }
  }
  // A proportional face: written without cells the row would be much narrower.
  HDC dc = GetDC(nullptr);
  SelectObject(dc, font->Handle());
  TSize natural;
  GetTextExtentPoint32A(dc, text.data(), n, &natural);
  ReleaseDC(nullptr, dc);
  EXPECT_LT(natural.cx, n * cw - cw);
}
