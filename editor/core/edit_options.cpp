// Option objects, the shared bookmark image strip and line marks.
#include "editor/core/edit_options.h"

#include <algorithm>
#include <map>

#include "platform/sysutils.h"

// ------------------------------------------------------------------------------ selected colours

void TSrcSelectedColor::SetBackground(TColor v) {
  if (v == bg_) return;
  bg_ = v;
  CallEvent(OnChange, this);
}

void TSrcSelectedColor::SetForeground(TColor v) {
  if (v == fg_) return;
  fg_ = v;
  CallEvent(OnChange, this);
}

void TSrcSelectedColor::Assign(TPersistent* Source) {
  if (auto* s = dynamic_cast<TSrcSelectedColor*>(Source)) {
    bg_ = s->bg_;
    fg_ = s->fg_;
    CallEvent(OnChange, this);
    return;
  }
  TPersistent::Assign(Source);
}

// ------------------------------------------------------------------------------ gutter

TSrcGutter::TSrcGutter() : font_(std::make_unique<TFont>()) {
  font_->SetName("Courier New");
  font_->SetSize(8);
  font_->SetStyle({});
  font_->OnChange = TNotifyEvent(this, &TSrcGutter::FontChanged);
}

TSrcGutter::~TSrcGutter() = default;

void TSrcGutter::Changed() { CallEvent(OnChange, this); }

void TSrcGutter::FontChanged(TObject*) {
  if (!assigning_) Changed();
}

void TSrcGutter::SetFont(TFont* v) { font_->Assign(v); }

#define VT_GUTTER_SETTER(Name, Type, field)   \
  void TSrcGutter::Set##Name(Type v) {        \
    if (v == field) return;                   \
    field = v;                                \
    Changed();                                \
  }
VT_GUTTER_SETTER(UseFontStyle, bool, useFontStyle_)
VT_GUTTER_SETTER(Color, TColor, color_)
VT_GUTTER_SETTER(Visible, bool, visible_)
VT_GUTTER_SETTER(AutoSize, bool, autoSize_)
VT_GUTTER_SETTER(ShowLineNumbers, bool, showLineNumbers_)
VT_GUTTER_SETTER(LeadingZeros, bool, leadingZeros_)
VT_GUTTER_SETTER(ZeroStart, bool, zeroStart_)
VT_GUTTER_SETTER(Cursor, TCursor, cursor_)
#undef VT_GUTTER_SETTER

void TSrcGutter::SetWidth(int v) {
  v = std::max(0, v);
  if (v == width_) return;
  width_ = v;
  Changed();
}

void TSrcGutter::SetLeftOffset(int v) {
  v = std::max(0, v);
  if (v == leftOffset_) return;
  leftOffset_ = v;
  Changed();
}

void TSrcGutter::SetRightOffset(int v) {
  v = std::max(0, v);
  if (v == rightOffset_) return;
  rightOffset_ = v;
  Changed();
}

void TSrcGutter::SetDigitCount(int v) {
  v = std::clamp(v, 2, 12);
  if (v == digitCount_) return;
  digitCount_ = v;
  autoSizeDigitCount_ = v;
  Changed();
}

void TSrcGutter::SetBorderStyle(TSrcGutterBorderStyle v) {
  borderStyle_ = v;
  Changed();
}

void TSrcGutter::AutoSizeDigitCount(int LinesCount) {
  if (visible_ && autoSize_ && showLineNumbers_) {
    if (zeroStart_) --LinesCount;
    int digits = 1;
    for (int n = LinesCount; n >= 10; n /= 10) ++digits;
    int count = std::max(digits, digitCount_);
    if (count != autoSizeDigitCount_) {
      autoSizeDigitCount_ = count;
      Changed();
    }
  } else {
    autoSizeDigitCount_ = digitCount_;
  }
}

AnsiString TSrcGutter::FormatLineNumber(int Line) const {
  if (zeroStart_) --Line;
  AnsiString s = IntToStr(Line);
  if (int(s.size()) < autoSizeDigitCount_) s.insert(0, size_t(autoSizeDigitCount_) - s.size(), ' ');
  if (leadingZeros_)
    for (size_t i = 0; i + 1 < s.size() && s[i] == ' '; ++i) s[i] = '0';
  return s;
}

int TSrcGutter::RealGutterWidth(int CharWidth) const {
  if (!visible_) return 0;
  if (showLineNumbers_) return leftOffset_ + rightOffset_ + CharWidth * autoSizeDigitCount_ + 2;
  return width_;
}

void TSrcGutter::Assign(TPersistent* Source) {
  if (auto* g = dynamic_cast<TSrcGutter*>(Source)) {
    assigning_ = true;
    font_->Assign(g->font_.get());
    assigning_ = false;
    useFontStyle_ = g->useFontStyle_;
    color_ = g->color_;
    visible_ = g->visible_;
    width_ = g->width_;
    showLineNumbers_ = g->showLineNumbers_;
    leadingZeros_ = g->leadingZeros_;
    zeroStart_ = g->zeroStart_;
    leftOffset_ = g->leftOffset_;
    digitCount_ = g->digitCount_;
    rightOffset_ = g->rightOffset_;
    autoSize_ = g->autoSize_;
    autoSizeDigitCount_ = g->autoSizeDigitCount_;
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}

// ------------------------------------------------------------------------------ bookmark options

TSrcBookMarkOpt::TSrcBookMarkOpt(TComponent* AOwner) : owner_(AOwner) {}

void TSrcBookMarkOpt::SetBookmarkImages(TImageList* v) {
  if (v == images_) return;
  images_ = v;
  if (v && owner_) v->FreeNotification(owner_);
  Changed();
}

void TSrcBookMarkOpt::SetDrawBookmarksFirst(bool v) {
  if (v == drawFirst_) return;
  drawFirst_ = v;
  Changed();
}

void TSrcBookMarkOpt::SetGlyphsVisible(bool v) {
  if (v == glyphsVisible_) return;
  glyphsVisible_ = v;
  Changed();
}

void TSrcBookMarkOpt::SetLeftMargin(int v) {
  if (v == leftMargin_) return;
  leftMargin_ = v;
  Changed();
}

void TSrcBookMarkOpt::SetXoffset(int v) {
  if (v == xOffset_) return;
  xOffset_ = v;
  Changed();
}

void TSrcBookMarkOpt::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TSrcBookMarkOpt*>(Source)) {
    images_ = b->images_;
    if (images_ && owner_) images_->FreeNotification(owner_);
    drawFirst_ = b->drawFirst_;
    enableKeys_ = b->enableKeys_;
    glyphsVisible_ = b->glyphsVisible_;
    leftMargin_ = b->leftMargin_;
    xOffset_ = b->xOffset_;
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}

// ------------------------------------------------------------------------------ glyph

TSrcGlyph::TSrcGlyph(HINSTANCE aModule, const AnsiString& aName, TColor aMaskColor)
    : internalGlyph_(std::make_unique<TBitmap>()),
      internalMaskColor_(aName.empty() ? clNone : aMaskColor),
      glyph_(std::make_unique<TBitmap>()) {
  if (!aName.empty()) {
    RegisterEditorBitmaps();
    internalGlyph_->LoadFromResourceName(aModule, aName);
  }
  glyph_->OnChange = TNotifyEvent(this, &TSrcGlyph::GlyphChange);
}

TSrcGlyph::~TSrcGlyph() = default;

void TSrcGlyph::GlyphChange(TObject*) {
  if (!assigning_) CallEvent(OnChange, this);
}

void TSrcGlyph::SetGlyph(TBitmap* v) { glyph_->Assign(v); }

void TSrcGlyph::SetMaskColor(TColor v) {
  if (v == maskColor_) return;
  maskColor_ = v;
  CallEvent(OnChange, this);
}

void TSrcGlyph::SetVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  CallEvent(OnChange, this);
}

void TSrcGlyph::Draw(TCanvas* aCanvas, int aX, int aY, int aLineHeight) {
  TBitmap* bmp;
  TColor mask;
  if (!glyph_->Empty()) {
    bmp = glyph_.get();
    mask = maskColor_;
  } else if (!internalGlyph_->Empty()) {
    bmp = internalGlyph_.get();
    mask = internalMaskColor_;
  } else {
    return;
  }
  int w = bmp->Width(), h = bmp->Height();
  TRect src, dest;
  if (aLineHeight < h) {
    int top = (h - aLineHeight) / 2;
    src = Rect(0, top, w, top + aLineHeight);
    dest = Rect(aX, aY, aX + w, aY + aLineHeight);
  } else {
    src = Rect(0, 0, w, h);
    dest = Bounds(aX, aY + (aLineHeight - h) / 2, w, h);
  }
  aCanvas->BrushCopy(dest, bmp, src, mask);
}

int TSrcGlyph::GlyphWidth() const {
  if (!glyph_->Empty()) return glyph_->Width();
  if (!internalGlyph_->Empty()) return internalGlyph_->Width();
  return 0;
}

void TSrcGlyph::Assign(TPersistent* Source) {
  if (auto* g = dynamic_cast<TSrcGlyph*>(Source)) {
    if (g == this) return;
    assigning_ = true;
    internalGlyph_->Assign(g->internalGlyph_.get());
    internalMaskColor_ = g->internalMaskColor_;
    visible_ = g->visible_;
    glyph_->Assign(g->glyph_->Empty() ? nullptr : g->glyph_.get());
    maskColor_ = g->maskColor_;
    assigning_ = false;
    CallEvent(OnChange, this);
    return;
  }
  TPersistent::Assign(Source);
}

// ------------------------------------------------------------------------------ internal images

namespace {

struct SharedImage {
  int usage = 0;
  std::unique_ptr<TBitmap> bitmap;
};

// Created when the first strip is loaded and freed with the last entry.
std::map<AnsiString, SharedImage>* gInternalImages = nullptr;

}  // namespace

TSrcInternalImage::TSrcInternalImage(HINSTANCE aModule, const AnsiString& Name, int Count)
    : count_(std::max(1, Count)) {
  RegisterEditorBitmaps();
  if (!gInternalImages) gInternalImages = new std::map<AnsiString, SharedImage>;
  AnsiString key = AnsiUpperCase(Name);
  auto it = gInternalImages->find(key);
  if (it == gInternalImages->end()) {
    SharedImage entry;
    entry.bitmap = std::make_unique<TBitmap>();
    entry.bitmap->LoadFromResourceName(aModule, Name);
    it = gInternalImages->emplace(key, std::move(entry)).first;
  }
  ++it->second.usage;
  images_ = it->second.bitmap.get();
  width_ = (images_->Width() + count_ / 2) / count_;
  height_ = images_->Height();
}

TSrcInternalImage::~TSrcInternalImage() {
  if (!gInternalImages) return;
  for (auto it = gInternalImages->begin(); it != gInternalImages->end(); ++it)
    if (it->second.bitmap.get() == images_) {
      if (--it->second.usage <= 0) gInternalImages->erase(it);
      break;
    }
  if (gInternalImages->empty()) {
    delete gInternalImages;
    gInternalImages = nullptr;
  }
}

int TSrcInternalImage::SharedUsage(const AnsiString& Name) {
  if (!gInternalImages) return 0;
  auto it = gInternalImages->find(AnsiUpperCase(Name));
  return it == gInternalImages->end() ? 0 : it->second.usage;
}

void TSrcInternalImage::DrawMark(TCanvas* ACanvas, int Number, int X, int Y, int LineHeight) {
  if (Number < 0 || Number >= count_ || images_->Empty()) return;
  int left = Number * width_;
  TRect src, dest;
  if (LineHeight < height_) {
    int top = (height_ - LineHeight) / 2;
    src = Rect(left, top, left + width_, top + LineHeight);
    dest = Rect(X, Y, X + width_, Y + LineHeight);
  } else {
    src = Rect(left, 0, left + width_, height_);
    dest = Bounds(X, Y + (LineHeight - height_) / 2, width_, height_);
  }
  ACanvas->CopyRect(dest, images_->Canvas(), src);
}

// ------------------------------------------------------------------------------ marks

TSrcEditMark::TSrcEditMark(TSrcMarkOwner* AOwner) : edit_(AOwner) {}

TSrcMarkOwner* TSrcEditMark::GetEdit() {
  if (edit_) {
    TSrcEditMarkList* list = edit_->MarkList();
    if (!list || list->IndexOf(this) < 0) edit_ = nullptr;
  }
  return edit_;
}

void TSrcEditMark::InvalidateOwnLine() {
  if (TSrcMarkOwner* e = GetEdit()) e->InvalidateGutterLines(line_, line_);
}

void TSrcEditMark::SetLine(int Value) {
  if (visible_) {
    if (TSrcMarkOwner* e = GetEdit()) {
      if (line_ > 0) e->InvalidateGutterLines(line_, line_);
      e->InvalidateGutterLines(Value, Value);
    }
  }
  line_ = Value;
}

void TSrcEditMark::SetImage(int Value) {
  image_ = Value;
  if (visible_) InvalidateOwnLine();
}

void TSrcEditMark::SetInternalImage(bool Value) {
  internalImage_ = Value;
  if (visible_) InvalidateOwnLine();
}

void TSrcEditMark::SetVisible(bool Value) {
  if (Value == visible_) return;
  visible_ = Value;
  InvalidateOwnLine();
}

TSrcEditMarkList::~TSrcEditMarkList() {
  for (int i = 0; i < Count(); ++i) delete Items(i);
  Clear();
}

int TSrcEditMarkList::Add(TSrcEditMark* Item) {
  int i = TList::Add(Item);
  CallEvent(OnChange, this);
  return i;
}

int TSrcEditMarkList::Remove(TSrcEditMark* Item) {
  int i = TList::Remove(Item);
  if (i >= 0) CallEvent(OnChange, this);
  return i;
}

void TSrcEditMarkList::GetMarksForLine(int Line, TSrcEditMarks& Marks) const {
  Marks.fill(nullptr);
  size_t n = 0;
  for (int i = 0; i < Count() && n < Marks.size(); ++i) {
    TSrcEditMark* m = Items(i);
    if (m->Line() == Line) Marks[n++] = m;
  }
}

// ------------------------------------------------------------------------------ built-in bitmaps

namespace {

// Digits 0..9 in a 5 x 7 pixel face, one text row per pixel row.
constexpr const char* kDigits[10][7] = {
    {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."},
    {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."},
    {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"},
    {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."},
    {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."},
    {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."},
    {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."},
    {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."},
    {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."},
    {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."},
};

constexpr int kMarkWidth = 11, kMarkHeight = 14;

// Ten bookmark tags side by side: a framed light tag with its digit.
void PaintInternalImages(TBitmap& b) {
  b.SetSize(kMarkWidth * 10, kMarkHeight);
  TCanvas* c = b.Canvas();
  for (int d = 0; d < 10; ++d) {
    int x0 = d * kMarkWidth;
    c->Brush()->SetColor(RGB(0, 0, 128));
    c->FillRect(Bounds(x0, 0, kMarkWidth, kMarkHeight));
    c->Brush()->SetColor(RGB(255, 255, 200));
    c->FillRect(Bounds(x0 + 1, 1, kMarkWidth - 2, kMarkHeight - 2));
    for (int row = 0; row < 7; ++row)
      for (int col = 0; col < 5; ++col)
        if (kDigits[d][row][col] == '#') c->SetPixel(x0 + 3 + col, 3 + row, clBlack);
  }
}

// A return arrow on the mask colour (lime): down the right side, then left to an arrow head.
void PaintWrappedGlyph(TBitmap& b) {
  b.SetSize(14, 14);
  TCanvas* c = b.Canvas();
  c->Brush()->SetColor(clLime);
  c->FillRect(Rect(0, 0, 14, 14));
  c->Brush()->SetColor(clNavy);
  c->FillRect(Rect(10, 2, 12, 10));  // the stem
  c->FillRect(Rect(4, 8, 12, 10));   // the stroke back to the left
  c->FillRect(Rect(5, 6, 6, 12));    // the arrow head
  c->FillRect(Rect(4, 7, 5, 11));
  c->FillRect(Rect(3, 8, 4, 10));
  c->FillRect(Rect(6, 5, 7, 13));
}

}  // namespace

void RegisterEditorBitmaps() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterBitmapResource(kInternalImagesResource, PaintInternalImages);
  RegisterBitmapResource(kWrappedGlyphResource, PaintWrappedGlyph);
}
