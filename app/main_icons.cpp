// The pictures of the main window's actions. Each has the standard icon names that fit it
// (tried in order in the desktop's icon theme) and a drawing of our own for when the theme has
// none of them; the tag, symbol and table actions have no standard icon and are always drawn.
// The drawings use one palette of soft colours so that they sit well beside theme icons.
#include "app/main_icons.h"

#include <cstring>
#include <initializer_list>
#include <memory>

#include "platform/graphics.h"
#include "platform/icons.h"

namespace {

using TPaint = void (*)(TIconCanvas&);

constexpr TColor kInk = RGB(46, 52, 54);
constexpr TColor kGrey = RGB(136, 138, 133);
constexpr TColor kSilver = RGB(211, 215, 207);
constexpr TColor kPaper = RGB(255, 255, 255);
constexpr TColor kBlue = RGB(52, 101, 164);
constexpr TColor kDarkBlue = RGB(32, 74, 135);
constexpr TColor kSky = RGB(164, 196, 232);
constexpr TColor kGreen = RGB(78, 154, 6);
constexpr TColor kLightGreen = RGB(138, 226, 52);
constexpr TColor kRed = RGB(204, 0, 0);
constexpr TColor kOrange = RGB(245, 121, 0);
constexpr TColor kButter = RGB(252, 233, 79);
constexpr TColor kDarkButter = RGB(196, 160, 0);
constexpr TColor kBrown = RGB(143, 89, 2);
constexpr TColor kTan = RGB(233, 185, 110);
constexpr TColor kPlum = RGB(117, 80, 123);

// ---- pieces shared by several pictures

void Page(TIconCanvas& c, double x = 2.5, double y = 1.5, double w = 11, double h = 13) {
  c.SetPen(kGrey);
  c.SetFill(kPaper);
  c.Polygon({x, y, x + w - 3, y, x + w, y + 3, x + w, y + h, x, y + h});
  c.SetFill(kSilver);
  c.Polygon({x + w - 3, y, x + w - 3, y + 3, x + w, y + 3});
}

void TextLines(TIconCanvas& c, double x, double y, double w, int n, double step = 2,
               TColor color = kGrey) {
  c.SetPen(color);
  for (int i = 0; i < n; ++i) c.Line(x, y + i * step, x + w - (i % 2 ? 2 : 0), y + i * step);
}

void Magnifier(TIconCanvas& c, double x, double y, double d) {
  c.SetPen(kBrown, 2.2);
  c.Line(x + d * 0.85, y + d * 0.85, x + d * 1.45, y + d * 1.45);
  c.SetPen(kInk, 1.4);
  c.SetFill(RGB(220, 232, 246));
  c.Ellipse(x, y, d, d);
}

void Arrow(TIconCanvas& c, double x, double y, bool right, TColor fill = kGreen) {
  // A block arrow 7 units long and 6 high with its tail at (x, y + 3) when pointing right.
  c.SetPen(RGB(60, 110, 10));
  c.SetFill(fill);
  if (right) c.Polygon({x, y + 1.5, x + 3.5, y + 1.5, x + 3.5, y, x + 7, y + 3, x + 3.5, y + 6, x + 3.5, y + 4.5, x, y + 4.5});
  else c.Polygon({x + 7, y + 1.5, x + 3.5, y + 1.5, x + 3.5, y, x, y + 3, x + 3.5, y + 6, x + 3.5, y + 4.5, x + 7, y + 4.5});
}

void Badge(TIconCanvas& c, const char* text, TColor fill, TColor textColor = kPaper, double height = 7.5) {
  c.SetPen(kInk, 1);
  c.SetFill(fill);
  c.Rect(0.5, 3.5, 15, 9, 2);
  c.SetPen(textColor);
  c.Text(0, 3, 16, 10, W1251(text), height, {fsBold});
}

void Glyph(TIconCanvas& c, const char* text, double height, TColor color, TFontStyles style = {fsBold},
           bool serif = false) {
  c.SetPen(color);
  c.Text(0, 0, 16, 16, W1251(text), height, style, serif);
}

void Floppy(TIconCanvas& c) {
  c.SetPen(kDarkBlue);
  c.SetFill(kBlue);
  c.Rect(1.5, 1.5, 13, 13, 1);
  c.SetPen(kGrey);
  c.SetFill(kPaper);
  c.Rect(3.5, 1.5, 9, 6);
  c.SetFill(kSilver);
  c.Rect(4.5, 10.5, 7, 4);
  c.SetPen(kInk);
  c.Line(9.5, 11, 9.5, 14);
}

void Envelope(TIconCanvas& c, double y = 3.5) {
  c.SetPen(kGrey);
  c.SetFill(kPaper);
  c.Rect(1.5, y, 13, 9);
  c.Polyline({1.5, y, 8, y + 5.5, 14.5, y});
}

void Grid(TIconCanvas& c, int hiRow, int hiCol) {
  c.SetPen(kGrey);
  c.SetFill(kPaper);
  c.Rect(1.5, 2.5, 13, 11);
  c.SetPen(clNone);
  c.SetFill(kSky);
  c.Rect(2, 3, 12, 3);
  if (hiRow >= 0) {
    c.SetFill(RGB(252, 175, 62));
    double y = 6 + hiRow * 2.5;
    if (hiCol >= 0) c.Rect(hiCol == 0 ? 2 : hiCol == 1 ? 6 : 10, y, 4, 2.5);
    else c.Rect(2, y, 12, 2.5);
  }
  c.SetPen(kGrey);
  c.Line(1.5, 6, 14.5, 6);
  c.Line(1.5, 8.5, 14.5, 8.5);
  c.Line(1.5, 11, 14.5, 11);
  c.Line(6, 2.5, 6, 13.5);
  c.Line(10, 2.5, 10, 13.5);
}

void Align(TIconCanvas& c, int mode) {
  // mode 0 left, 1 centre, 2 right, 3 both edges
  static const double widths[] = {12, 8, 11, 6, 12};
  c.SetPen(kInk);
  for (int i = 0; i < 5; ++i) {
    double w = mode == 3 ? (i == 4 ? 7 : 12) : widths[i];
    double x = mode == 0 || mode == 3 ? 2 : mode == 1 ? 8 - w / 2 : 14 - w;
    c.Line(x, 2.5 + i * 2.75, x + w, 2.5 + i * 2.75);
  }
}

// ---- the pictures

void PaintNew(TIconCanvas& c) {
  Page(c);
  c.SetPen(kDarkButter);
  c.SetFill(kButter);
  c.Polygon({4, 9, 5.2, 11, 7.5, 11.5, 5.7, 12.8, 6, 15, 4, 13.8, 2, 15, 2.3, 12.8, 0.5, 11.5, 2.8, 11});
}
void PaintOpen(TIconCanvas& c) {
  c.SetPen(kBrown);
  c.SetFill(kTan);
  c.Polygon({1.5, 3.5, 6, 3.5, 7.5, 5, 13.5, 5, 13.5, 13.5, 1.5, 13.5});
  c.SetFill(RGB(252, 233, 170));
  c.Polygon({4, 7.5, 15.5, 7.5, 13.5, 13.5, 1.5, 13.5});
}
void PaintSave(TIconCanvas& c) { Floppy(c); }
void PaintSaveAs(TIconCanvas& c) {
  Floppy(c);
  c.SetPen(kBrown);
  c.SetFill(kOrange);
  c.Polygon({8.5, 15.5, 9, 12.5, 14, 7.5, 16, 9.5, 11, 14.5});
}
void PaintNewWindow(TIconCanvas& c) {
  c.SetPen(kGrey);
  c.SetFill(kPaper);
  c.Rect(1.5, 3.5, 13, 11);
  c.SetPen(kDarkBlue);
  c.SetFill(kBlue);
  c.Rect(1.5, 3.5, 13, 3);
  c.SetPen(kDarkButter);
  c.SetFill(kButter);
  c.Polygon({13, 0.5, 14, 2.5, 16, 3, 14, 3.6, 13, 5.5, 12, 3.6, 10, 3, 12, 2.5});
}
void PaintWizard(TIconCanvas& c) {
  c.SetPen(kInk, 2);
  c.Line(2, 14, 10, 6);
  c.SetPen(kPaper, 2);
  c.Line(8.6, 7.4, 10, 6);
  c.SetPen(kDarkButter);
  c.SetFill(kButter);
  c.Polygon({12, 0.5, 13, 3, 15.5, 4, 13, 5, 12, 7.5, 11, 5, 8.5, 4, 11, 3});
  c.SetPen(kOrange, 1.2);
  c.Line(4, 3, 4, 6);
  c.Line(2.5, 4.5, 5.5, 4.5);
}
void PaintPrint(TIconCanvas& c) {
  c.SetPen(kGrey);
  c.SetFill(kPaper);
  c.Rect(4.5, 1.5, 7, 6);
  c.SetPen(kInk);
  c.SetFill(kSilver);
  c.Rect(1.5, 6.5, 13, 6, 1);
  c.SetPen(kGrey);
  c.SetFill(kPaper);
  c.Rect(4.5, 10.5, 7, 4);
  c.SetPen(clNone);
  c.SetFill(kLightGreen);
  c.Rect(11.5, 8, 1.5, 1.5);
}
void PaintPreview(TIconCanvas& c) {
  Page(c, 1.5, 1.5, 10, 13);
  TextLines(c, 3.5, 5.5, 5, 3);
  Magnifier(c, 7, 7, 5.5);
}
void PaintGlobe(TIconCanvas& c) {
  c.SetPen(kDarkBlue);
  c.SetFill(RGB(114, 159, 207));
  c.Ellipse(1.5, 1.5, 13, 13);
  c.SetPen(RGB(60, 110, 10));
  c.SetFill(kLightGreen);
  c.Polygon({4, 4, 7.5, 3, 8, 6, 6, 8, 6.5, 11, 4.5, 12, 3, 8});
  c.Polygon({10, 7, 13.5, 6.5, 13, 10.5, 10.5, 12});
}
void PaintExit(TIconCanvas& c) {
  c.SetPen(kBrown);
  c.SetFill(kTan);
  c.Rect(2.5, 1.5, 8, 13);
  c.SetPen(kInk);
  c.SetFill(kInk);
  c.Ellipse(7.5, 8, 1.5, 1.5);
  Arrow(c, 8.5, 2.5, true);
}
void PaintHelp(TIconCanvas& c) {
  c.SetPen(kDarkBlue);
  c.SetFill(kBlue);
  c.Ellipse(1, 1, 14, 14);
  Glyph(c, "?", 11, kPaper);
}
void PaintAbout(TIconCanvas& c) {
  c.SetPen(kDarkBlue);
  c.SetFill(kBlue);
  c.Ellipse(1, 1, 14, 14);
  Glyph(c, "i", 11, kPaper, {fsBold}, true);
}
void PaintLetter(TIconCanvas& c) {
  Envelope(c);
  c.SetPen(kBrown);
  c.SetFill(kOrange);
  c.Polygon({9.5, 15.5, 10, 13, 14, 9, 16, 11, 12, 15});
}
void PaintSite(TIconCanvas& c) {
  c.SetPen(kInk);
  c.SetFill(kPaper);
  c.Rect(3.5, 7.5, 9, 7);
  c.SetFill(kTan);
  c.Rect(7, 10.5, 3, 4);
  c.SetPen(RGB(164, 0, 0));
  c.SetFill(kRed);
  c.Polygon({0.5, 8.5, 8, 1.5, 15.5, 8.5, 13.5, 8.5, 8, 3.5, 2.5, 8.5});
}
void PaintUndo(TIconCanvas& c) {
  c.SetPen(kDarkBlue, 2);
  c.Arc(4, 4, 10, 9, 180, -240);
  c.SetPen(kDarkBlue);
  c.SetFill(kBlue);
  c.Polygon({0.5, 8.5, 4, 4.5, 7.5, 8.5});
}
void PaintRedo(TIconCanvas& c) {
  c.SetPen(kDarkBlue, 2);
  c.Arc(2, 4, 10, 9, 0, 240);
  c.SetPen(kDarkBlue);
  c.SetFill(kBlue);
  c.Polygon({8.5, 8.5, 12, 4.5, 15.5, 8.5});
}
void PaintCut(TIconCanvas& c) {
  c.SetPen(kGrey, 1.5);
  c.Line(5.5, 10.5, 11, 1);
  c.Line(10.5, 10.5, 5, 1);
  c.SetPen(kRed, 1.5);
  c.SetFill(clNone);
  c.Ellipse(2, 10, 4.5, 4.5);
  c.Ellipse(9.5, 10, 4.5, 4.5);
}
void PaintCopy(TIconCanvas& c) {
  c.SetPen(kGrey);
  c.SetFill(kPaper);
  c.Rect(1.5, 1.5, 8, 10);
  TextLines(c, 3, 4, 5, 3);
  c.SetFill(kPaper);
  c.Rect(6.5, 4.5, 8, 10);
  TextLines(c, 8, 7, 5, 3);
}
void PaintPaste(TIconCanvas& c) {
  c.SetPen(kBrown);
  c.SetFill(kTan);
  c.Rect(1.5, 2.5, 10, 12, 1);
  c.SetPen(kInk);
  c.SetFill(kSilver);
  c.Rect(4.5, 1.5, 4, 2.5);
  c.SetPen(kGrey);
  c.SetFill(kPaper);
  c.Rect(6.5, 6.5, 8, 9);
  TextLines(c, 8, 9, 5, 3);
}
void PaintDelete(TIconCanvas& c) {
  c.SetPen(kRed, 2.5);
  c.Line(3.5, 3.5, 12.5, 12.5);
  c.Line(12.5, 3.5, 3.5, 12.5);
}
void PaintSelectAll(TIconCanvas& c) {
  Page(c);
  c.SetPen(clNone);
  c.SetFill(kSky);
  c.Rect(4, 4.5, 8, 8);
  TextLines(c, 4.5, 5.5, 7, 4, 2, kDarkBlue);
}
void PaintFind(TIconCanvas& c) { Magnifier(c, 1.5, 1.5, 8.5); }
void PaintReplace(TIconCanvas& c) {
  Magnifier(c, 1, 1, 6.5);
  c.SetPen(kInk);
  c.Text(8, 7, 8, 9, "ab", 6.5, {fsBold});
  c.SetPen(kOrange, 1.5);
  c.Line(8.5, 15, 15.5, 15);
}
void PaintFindNext(TIconCanvas& c) {
  Magnifier(c, 1, 1, 7);
  Arrow(c, 8.5, 9.5, true);
}
void PaintFindBack(TIconCanvas& c) {
  Magnifier(c, 1, 1, 7);
  Arrow(c, 8.5, 9.5, false);
}
void PaintSettings(TIconCanvas& c) {
  c.SetPen(kGrey, 1.5);
  for (double y : {3.5, 8.0, 12.5}) c.Line(1.5, y, 14.5, y);
  c.SetPen(kDarkBlue);
  c.SetFill(kBlue);
  c.Rect(3.5, 1.5, 3, 4);
  c.Rect(9.5, 6, 3, 4);
  c.Rect(5.5, 10.5, 3, 4);
}
void PaintBold(TIconCanvas& c) { Glyph(c, "B", 13, kInk, {fsBold}); }
void PaintItalic(TIconCanvas& c) { Glyph(c, "I", 13, kInk, {fsBold, fsItalic}, true); }
void PaintUnderline(TIconCanvas& c) {
  c.SetPen(kInk);
  c.Text(0, 0, 16, 13, "U", 11.5, {fsBold});
  c.SetPen(kBlue, 1.5);
  c.Line(3, 14.5, 13, 14.5);
}
void PaintStrike(TIconCanvas& c) {
  Glyph(c, "S", 13, kInk, {fsBold});
  c.SetPen(kRed, 1.5);
  c.Line(1.5, 8.5, 14.5, 8.5);
}
void PaintAlignLeft(TIconCanvas& c) { Align(c, 0); }
void PaintAlignCenter(TIconCanvas& c) { Align(c, 1); }
void PaintAlignRight(TIconCanvas& c) { Align(c, 2); }
void PaintAlignBoth(TIconCanvas& c) { Align(c, 3); }
void PaintIndent(TIconCanvas& c) {
  c.SetPen(kInk);
  c.Line(2, 2.5, 14, 2.5);
  for (int i = 1; i < 4; ++i) c.Line(7, 2.5 + i * 2.75, 14, 2.5 + i * 2.75);
  c.Line(2, 13.5, 14, 13.5);
  c.SetPen(kDarkBlue);
  c.SetFill(kBlue);
  c.Polygon({1.5, 5.5, 5, 8, 1.5, 10.5});
}
void PaintMail(TIconCanvas& c) {
  Envelope(c, 1.5);
  Arrow(c, 8.5, 9.5, true);
}
void PaintExport(TIconCanvas& c) {
  Page(c, 1.5, 1.5, 10, 13);
  TextLines(c, 3.5, 5.5, 5, 3);
  Arrow(c, 8.5, 9, true);
}
void PaintHeading(TIconCanvas& c) { Badge(c, "H1", kPlum); }
void PaintBreak(TIconCanvas& c) {
  c.SetPen(kInk, 1.5);
  c.Polyline({13, 2.5, 13, 10, 4.5, 10});
  c.SetPen(kInk);
  c.SetFill(kInk);
  c.Polygon({1, 10, 5, 6.5, 5, 13.5});
}
void PaintParagraph(TIconCanvas& c) { Glyph(c, "¶", 14, kInk, {fsBold}); }
void PaintList(TIconCanvas& c) {
  for (int i = 0; i < 3; ++i) {
    double y = 2.5 + i * 4.5;
    c.SetPen(kDarkBlue);
    c.SetFill(kBlue);
    c.Ellipse(1.5, y - 0.5, 3, 3);
    c.SetPen(kInk);
    c.Line(6.5, y + 1, 14.5, y + 1);
  }
}
void PaintListItem(TIconCanvas& c) {
  c.SetPen(kDarkBlue);
  c.SetFill(kBlue);
  c.Ellipse(1.5, 2, 3, 3);
  c.SetPen(kInk);
  c.Line(6.5, 3.5, 14.5, 3.5);
  c.SetPen(kGreen, 2);
  c.Line(3, 11, 9, 11);
  c.Line(6, 8, 6, 14);
}
void PaintCode(TIconCanvas& c) { Glyph(c, "</>", 8, kDarkBlue); }
void PaintAddress(TIconCanvas& c) { Glyph(c, "@", 13, kGreen); }
void PaintKeyboard(TIconCanvas& c) {
  c.SetPen(kGrey);
  c.SetFill(kSilver);
  c.Rect(1.5, 2.5, 13, 11, 2);
  c.SetFill(kPaper);
  c.Rect(3.5, 3.5, 9, 7.5, 1);
  c.SetPen(kInk);
  c.Text(3.5, 3.5, 9, 7.5, "K", 7, {fsBold});
}
void PaintNoBreak(TIconCanvas& c) {
  c.SetPen(kInk);
  c.Text(0, 1, 16, 9, "a b", 8, {fsBold});
  c.SetPen(kOrange, 1.5);
  c.Arc(3, 7, 10, 6, 180, 180);
}
void PaintRule(TIconCanvas& c) {
  TextLines(c, 2, 3, 12, 2, 2, kSilver);
  c.SetPen(kInk, 2);
  c.Line(1, 8, 15, 8);
  TextLines(c, 2, 11.5, 12, 2, 2, kSilver);
}
void PaintLink(TIconCanvas& c) {
  c.SetPen(kBlue, 1.6);
  c.SetFill(clNone);
  c.Rect(1, 5.5, 8, 5, 2.5);
  c.Rect(7, 5.5, 8, 5, 2.5);
}
void PaintBookmark(TIconCanvas& c) {
  c.SetPen(RGB(164, 0, 0));
  c.SetFill(kRed);
  c.Polygon({4.5, 1.5, 11.5, 1.5, 11.5, 14.5, 8, 11, 4.5, 14.5});
}
void PaintPicture(TIconCanvas& c) {
  c.SetPen(kGrey);
  c.SetFill(RGB(220, 232, 246));
  c.Rect(1.5, 2.5, 13, 11);
  c.SetPen(clNone);
  c.SetFill(kButter);
  c.Ellipse(9.5, 4, 3, 3);
  c.SetFill(kGreen);
  c.Polygon({2, 13, 6, 7, 9, 11, 11, 9, 14, 13});
}
void PaintColorCode(TIconCanvas& c) {
  c.SetPen(kInk);
  c.Text(0, 0, 16, 11, "#", 10, {fsBold});
  c.SetPen(clNone);
  c.SetFill(kRed);
  c.Rect(1.5, 11.5, 4, 3.5);
  c.SetFill(kGreen);
  c.Rect(6, 11.5, 4, 3.5);
  c.SetFill(kBlue);
  c.Rect(10.5, 11.5, 4, 3.5);
}
void PaintScript(TIconCanvas& c) { Badge(c, "JS", kButter, kInk); }
void PaintComment(TIconCanvas& c) {
  c.SetPen(kGrey);
  c.SetFill(kPaper);
  c.Polygon({2.5, 1.5, 14.5, 1.5, 14.5, 10.5, 8, 10.5, 4, 14.5, 4.5, 10.5, 1.5, 10.5, 1.5, 1.5});
  c.SetPen(clNone);
  c.SetFill(kGrey);
  for (double x : {4.0, 7.0, 10.0}) c.Ellipse(x, 5, 2, 2);
}
void PaintFontSize(TIconCanvas& c) {
  c.SetPen(kInk);
  c.Text(0, 1, 10, 15, "A", 13, {fsBold});
  c.Text(9, 6, 7, 10, "A", 7, {fsBold});
}
void PaintFontColor(TIconCanvas& c) {
  c.SetPen(kInk);
  c.Text(0, 0, 16, 12, "A", 11, {fsBold});
  c.SetPen(clNone);
  c.SetFill(kRed);
  c.Rect(1.5, 12, 13, 3);
}
void PaintFontName(TIconCanvas& c) { Glyph(c, "Aa", 10.5, kInk, {fsBold}, true); }
void PaintSuperscript(TIconCanvas& c) {
  c.SetPen(kInk);
  c.Text(0, 4, 11, 12, "x", 11, {fsBold});
  c.SetPen(kBlue);
  c.Text(9, 0, 7, 8, "2", 7, {fsBold});
}
void PaintSubscript(TIconCanvas& c) {
  c.SetPen(kInk);
  c.Text(0, 0, 11, 12, "x", 11, {fsBold});
  c.SetPen(kBlue);
  c.Text(9, 8, 7, 8, "2", 7, {fsBold});
}
void PaintTable(TIconCanvas& c) { Grid(c, -1, -1); }
void PaintRow(TIconCanvas& c) { Grid(c, 1, -1); }
void PaintCell(TIconCanvas& c) { Grid(c, 1, 1); }
void PaintCopyright(TIconCanvas& c) { Glyph(c, "©", 14, kInk, {fsBold}); }
void PaintRegistered(TIconCanvas& c) { Glyph(c, "®", 14, kInk, {fsBold}); }
void PaintTrademark(TIconCanvas& c) { Glyph(c, "™", 13, kInk, {fsBold}); }
void PaintSpace(TIconCanvas& c) {
  c.SetPen(kInk, 1.5);
  c.Polyline({2.5, 8, 2.5, 12, 13.5, 12, 13.5, 8});
}
void PaintLess(TIconCanvas& c) { Glyph(c, "<", 14, kDarkBlue); }
void PaintGreater(TIconCanvas& c) { Glyph(c, ">", 14, kDarkBlue); }
void PaintUpper(TIconCanvas& c) { Glyph(c, "AB", 9.5, kInk); }
void PaintLower(TIconCanvas& c) { Glyph(c, "ab", 10, kInk); }
void PaintCapital(TIconCanvas& c) { Glyph(c, "Ab", 10, kInk); }
void PaintMarquee(TIconCanvas& c) {
  c.SetPen(kGrey);
  c.SetFill(kPaper);
  c.Rect(0.5, 2.5, 15, 7);
  c.SetPen(kInk);
  c.Text(0.5, 2.5, 15, 7, "abc", 6.5, {fsBold});
  c.SetPen(kGreen, 1.5);
  c.Line(5, 13, 15, 13);
  c.SetPen(kGreen);
  c.SetFill(kGreen);
  c.Polygon({1, 13, 5, 10.5, 5, 15.5});
}
void PaintBlink(TIconCanvas& c) {
  c.SetPen(kDarkButter);
  c.SetFill(kButter);
  c.Polygon({8, 0.5, 9.8, 6.2, 15.5, 8, 9.8, 9.8, 8, 15.5, 6.2, 9.8, 0.5, 8, 6.2, 6.2});
}

struct TPicture {
  const char* Key;
  std::initializer_list<const char*> ThemeNames;
  TPaint Paint;
};

const TPicture kPictures[] = {
    {"new", {"document-new"}, PaintNew},
    {"open", {"document-open"}, PaintOpen},
    {"save", {"document-save"}, PaintSave},
    {"save-as", {"document-save-as"}, PaintSaveAs},
    {"new-window", {"window-new"}, PaintNewWindow},
    {"wizard", {}, PaintWizard},
    {"print", {"document-print"}, PaintPrint},
    {"preview", {"document-print-preview"}, PaintPreview},
    {"browser", {"internet-web-browser", "web-browser"}, PaintGlobe},
    {"exit", {"application-exit", "system-log-out"}, PaintExit},
    {"help", {"help-contents", "help-browser"}, PaintHelp},
    {"letter", {"mail-message-new"}, PaintLetter},
    {"site", {"go-home"}, PaintSite},
    {"about", {"help-about"}, PaintAbout},
    {"undo", {"edit-undo"}, PaintUndo},
    {"redo", {"edit-redo"}, PaintRedo},
    {"cut", {"edit-cut"}, PaintCut},
    {"copy", {"edit-copy"}, PaintCopy},
    {"paste", {"edit-paste"}, PaintPaste},
    {"delete", {"edit-delete"}, PaintDelete},
    {"select-all", {"edit-select-all"}, PaintSelectAll},
    {"find", {"edit-find"}, PaintFind},
    {"replace", {"edit-find-replace"}, PaintReplace},
    {"find-next", {}, PaintFindNext},
    {"find-back", {}, PaintFindBack},
    {"settings", {"preferences-system"}, PaintSettings},
    {"bold", {"format-text-bold"}, PaintBold},
    {"italic", {"format-text-italic"}, PaintItalic},
    {"underline", {"format-text-underline"}, PaintUnderline},
    {"strike", {"format-text-strikethrough"}, PaintStrike},
    {"align-left", {"format-justify-left"}, PaintAlignLeft},
    {"align-center", {"format-justify-center"}, PaintAlignCenter},
    {"align-right", {"format-justify-right"}, PaintAlignRight},
    {"align-both", {"format-justify-fill"}, PaintAlignBoth},
    {"indent", {"format-indent-more"}, PaintIndent},
    {"mail", {"mail-send", "mail-forward"}, PaintMail},
    {"export", {"document-export"}, PaintExport},
    {"heading", {}, PaintHeading},
    {"break", {}, PaintBreak},
    {"paragraph", {}, PaintParagraph},
    {"list", {}, PaintList},
    {"list-item", {}, PaintListItem},
    {"code", {}, PaintCode},
    {"address", {}, PaintAddress},
    {"keyboard", {}, PaintKeyboard},
    {"no-break", {}, PaintNoBreak},
    {"rule", {}, PaintRule},
    {"link", {"insert-link"}, PaintLink},
    {"bookmark", {"bookmark-new"}, PaintBookmark},
    {"picture", {"insert-image"}, PaintPicture},
    {"color-code", {}, PaintColorCode},
    {"script", {}, PaintScript},
    {"comment", {}, PaintComment},
    {"font-size", {}, PaintFontSize},
    {"font-color", {}, PaintFontColor},
    {"font-name", {"preferences-desktop-font"}, PaintFontName},
    {"superscript", {}, PaintSuperscript},
    {"subscript", {}, PaintSubscript},
    {"table", {}, PaintTable},
    {"row", {}, PaintRow},
    {"cell", {}, PaintCell},
    {"copyright", {}, PaintCopyright},
    {"registered", {}, PaintRegistered},
    {"trademark", {}, PaintTrademark},
    {"space", {}, PaintSpace},
    {"less", {}, PaintLess},
    {"greater", {}, PaintGreater},
    {"upper", {}, PaintUpper},
    {"lower", {}, PaintLower},
    {"capital", {}, PaintCapital},
    {"marquee", {}, PaintMarquee},
    {"blink", {}, PaintBlink},
};

struct TActionPicture {
  const char* Action;
  const char* Picture;
};

// Actions with a check mark (insert mode, the selection modes, the notes panel), the code-page
// and number conversions and the tag-menu key have no picture: menus show their marks and
// captions alone.
const TActionPicture kActionPictures[] = {
    {"FileNewActin", "new"},       {"FileOpenAction", "open"},      {"FileSave", "save"},
    {"SaveFileAs", "save-as"},     {"NewWnd", "new-window"},        {"FileNewFileWizard", "wizard"},
    {"FilePrint", "print"},        {"FilePreView", "preview"},      {"Action1", "browser"},
    {"FileExit", "exit"},          {"HelpMe", "help"},              {"HelpLetter", "letter"},
    {"GoToSite", "site"},          {"HelpAboutProgram", "about"},   {"EditUndo", "undo"},
    {"EditRedo", "redo"},          {"EditCuuut", "cut"},            {"EditCopy", "copy"},
    {"EditPaaaste", "paste"},      {"EdEl", "delete"},              {"EditSelectAll", "select-all"},
    {"EditRpls", "find"},          {"Action21", "replace"},         {"NaitiDalee", "find-next"},
    {"Action16", "find-back"},     {"Setuuup", "settings"},         {"Bold", "bold"},
    {"FontItalic", "italic"},      {"FontUnder", "underline"},      {"Stricked", "strike"},
    {"FormatAlignLeft", "align-left"}, {"FormatAlignCenter", "align-center"},
    {"FormatAlignRight", "align-right"}, {"FormatAlignOba", "align-both"}, {"Otstup", "indent"},
    {"NCut", "cut"},               {"NCopy", "copy"},               {"NPaste", "paste"},
    {"noteSave", "save"},          {"Xport", "export"},             {"MailSend", "mail"},
    {"TagH1", "heading"},          {"NewStroka", "break"},          {"Parf", "paragraph"},
    {"addlist", "list"},           {"additem", "list-item"},        {"FormCod", "code"},
    {"AdressTag", "address"},      {"Kbd", "keyboard"},             {"NoBreak", "no-break"},
    {"HR", "rule"},                {"Action12", "link"},            {"BookMarkIns", "bookmark"},
    {"Action13", "picture"},       {"Action14", "color-code"},      {"Action15", "script"},
    {"Action5", "comment"},        {"RazMer", "font-size"},         {"FontColor", "font-color"},
    {"FontName", "font-name"},     {"Sup", "superscript"},          {"Sub", "subscript"},
    {"AddTable", "table"},         {"AddRow", "row"},               {"AddCell", "cell"},
    {"InsSymb", "copyright"},      {"RegTM", "registered"},         {"Action17", "trademark"},
    {"Action18", "space"},         {"Action19", "less"},            {"Action20", "greater"},
    {"Action6", "upper"},          {"Action7", "lower"},            {"Action8", "capital"},
    {"Action2", "marquee"},        {"Action3", "blink"},
};

constexpr int kPictureCount = static_cast<int>(sizeof kPictures / sizeof kPictures[0]);

int PictureIndex(const char* key) {
  for (int i = 0; i < kPictureCount; ++i)
    if (std::strcmp(kPictures[i].Key, key) == 0) return i;
  return -1;
}

}  // namespace

int ActionImageCount() { return kPictureCount; }

const char* ActionImageKey(int Index) {
  return Index >= 0 && Index < kPictureCount ? kPictures[Index].Key : "";
}

int ActionImageIndex(const AnsiString& ActionName) {
  for (const TActionPicture& p : kActionPictures)
    if (ActionName == p.Action) return PictureIndex(p.Picture);
  return -1;
}

namespace {

// Paints a picture at a size: the first theme icon it names that the theme has, else its drawing.
TActionImageSource MakePicture(const TPicture& p, int size, TBitmap& bmp) {
  for (const char* name : p.ThemeNames)
    if (LoadThemeIcon(name, size, bmp)) return aisTheme;
  DrawIcon(size, bmp, p.Paint);
  return aisDrawn;
}

}  // namespace

std::vector<TActionImageSource> FillActionImages(TImageList* List) {
  std::vector<TActionImageSource> sources;
  if (!List) return sources;
  List->Clear();
  const int size = List->Width();
  for (const TPicture& p : kPictures) {
    TBitmap bmp;
    sources.push_back(MakePicture(p, size, bmp));
    List->Add(&bmp);
  }
  return sources;
}

void DeferActionImages(TImageList* List) {
  if (!List) return;
  List->Clear();
  const int size = List->Width();
  for (const TPicture& p : kPictures) List->AddDeferred([&p, size](TBitmap& bmp) { MakePicture(p, size, bmp); });
}
