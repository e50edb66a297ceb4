#include "editor-services/print/header_footer.h"

#include <algorithm>
#include <ctime>

#include "editor-services/print/print_text.h"
#include "platform/datetime.h"
#include "platform/sysutils.h"

// ------------------------------------------------------------------------------ items

AnsiString THeaderFooterItem::ExpandText(const THeaderFooterValues& V) const {
  if (Trim(Text).empty()) return AnsiString();
  auto number = [&](int n) { return V.Roman ? PrintIntToRoman(n) : IntToStr(n); };
  auto macro = [&](const AnsiString& name, AnsiString& value) {
    if (name == "$PAGENUM$") value = number(V.PageNum);
    else if (name == "$PAGECOUNT$") value = number(V.PageCount);
    else if (name == "$TITLE$") value = V.Title;
    else if (name == "$DATE$") value = V.Date;
    else if (name == "$TIME$") value = V.Time;
    else if (name == "$DATETIME$") value = V.Date + " " + V.Time;
    else if (name == "$TIMEDATE$") value = V.Time + " " + V.Date;
    else return false;
    return true;
  };
  AnsiString out;
  size_t copyFrom = 0;
  for (;;) {
    size_t open = Text.find('$', copyFrom);
    if (open == AnsiString::npos) {
      out.append(Text, copyFrom);
      return out;
    }
    out.append(Text, copyFrom, open - copyFrom);
    // A candidate runs from its "$" to the next one; an unknown name keeps its text and its
    // closing "$" opens the next candidate.
    for (;;) {
      size_t close = Text.find('$', open + 1);
      if (close == AnsiString::npos) {
        out.append(Text, open);
        return out;
      }
      AnsiString value;
      if (macro(UpperCase(Text.substr(open, close - open + 1)), value)) {
        out += value;
        copyFrom = close + 1;
        break;
      }
      out.append(Text, open, close - open);
      open = close;
    }
  }
}

// ------------------------------------------------------------------------------ header and footer

struct THeaderFooter::SavedCanvas {
  TFont font;
  TPen pen;
  TBrush brush;
};

THeaderFooter::THeaderFooter(THeaderFooterType Type) : type_(Type) {
  defaultFont_.SetName("Arial");
  defaultFont_.SetSize(10);
  defaultFont_.SetColor(clBlack);
}

THeaderFooter::~THeaderFooter() = default;

int THeaderFooter::Add(const AnsiString& Text, TFont* Font, TAlignment Alignment, int LineNumber) {
  auto item = std::make_unique<THeaderFooterItem>();
  item->Text = Text;
  TFont* from = Font ? Font : &defaultFont_;
  item->Font()->SetPixelsPerInch(from->PixelsPerInch());
  item->Font()->Assign(from);
  item->Alignment = Alignment;
  item->LineNumber = LineNumber;
  item->Index = Count();
  items_.push_back(std::move(item));
  return Count() - 1;
}

void THeaderFooter::Delete(int Index) {
  if (Index < 0 || Index >= Count()) return;
  items_.erase(items_.begin() + Index);
}

void THeaderFooter::Clear() { items_.clear(); }

void THeaderFooter::SetItemFontsPPI(int DPI) {
  for (auto& it : items_) {
    int size = it->Font()->Size();
    it->Font()->SetPixelsPerInch(DPI);
    it->Font()->SetSize(size);
  }
}

void THeaderFooter::SaveCanvas(TCanvas* c) {
  saved_ = std::make_unique<SavedCanvas>();
  saved_->font.SetPixelsPerInch(c->Font()->PixelsPerInch());
  saved_->font.Assign(c->Font());
  saved_->pen.Assign(c->Pen());
  saved_->brush.Assign(c->Brush());
}

void THeaderFooter::RestoreCanvas(TCanvas* c) {
  if (!saved_) return;
  c->Font()->Assign(&saved_->font);
  c->Pen()->Assign(&saved_->pen);
  c->Brush()->Assign(&saved_->brush);
  saved_.reset();
}

void THeaderFooter::InitPrint(TCanvas* ACanvas, int NumPages, const TSrcEditPrintMargins* Margins,
                              const AnsiString& Title) {
  SaveCanvas(ACanvas);
  std::time_t now = std::time(nullptr);
  date_ = DateToStr(now);
  time_ = TimeToStr(now);
  numPages_ = NumPages;
  margins_ = Margins;
  title_ = Title;
  std::stable_sort(items_.begin(), items_.end(),
                   [](const auto& a, const auto& b) { return a->LineNumber < b->LineNumber; });
  // Lines numbered 1, 2, ... in the order of the items' numbers, gaps closed.
  lineInfo_.clear();
  int last = 0;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (i == 0 || items_[i]->LineNumber != last) {
      last = items_[i]->LineNumber;
      lineInfo_.emplace_back();
    }
    items_[i]->LineNumber = static_cast<int>(lineInfo_.size());
  }
  if (items_.empty()) {
    frameHeight_ = -1;
  } else {
    frameHeight_ = 0;
    int lineOffset = 0, curLine = 1;
    for (auto& it : items_) {
      if (it->LineNumber != curLine) lineOffset = frameHeight_;
      ACanvas->Font()->Assign(it->Font());
      int h = ACanvas->TextHeight("W");
      TEXTMETRICA tm;
      GetTextMetricsA(ACanvas->Handle(), &tm);
      TLineInfo& li = lineInfo_[static_cast<size_t>(it->LineNumber - 1)];
      li.Height = std::max(li.Height, h);
      li.BaseDistance = std::max(li.BaseDistance, tm.tmHeight - tm.tmDescent);
      frameHeight_ = std::max(frameHeight_, h + lineOffset);
      curLine = it->LineNumber;
    }
    frameHeight_ += 2 * Margins->PHFInternalMargin;
  }
  RestoreCanvas(ACanvas);
}

void THeaderFooter::DrawFrame(TCanvas* c) {
  if (frameTypes_.Empty()) return;
  const TSrcEditPrintMargins& m = *margins_;
  c->Pen()->SetColor(lineColor_);
  c->Brush()->SetColor(shadedColor_);
  c->Brush()->SetStyle(frameTypes_.Contains(ftShaded) ? bsSolid : bsClear);
  c->Pen()->SetStyle(frameTypes_.Contains(ftBox) ? psSolid : psClear);
  if (frameTypes_.Contains(ftBox) || frameTypes_.Contains(ftShaded)) {
    if (type_ == hftFooter) c->Rectangle(m.PLeft, m.PFooter, m.PRight, m.PFooter + frameHeight_);
    else c->Rectangle(m.PLeft, m.PHeader - frameHeight_, m.PRight, m.PHeader);
  }
  if (frameTypes_.Contains(ftLine)) {
    c->Pen()->SetStyle(psSolid);
    int y = type_ == hftFooter ? m.PFooter : m.PHeader;
    c->MoveTo(m.PLeft, y);
    c->LineTo(m.PRight, y);
  }
}

void THeaderFooter::Print(TCanvas* ACanvas, int PageNum) {
  if (frameHeight_ <= 0 || !margins_) return;
  const TSrcEditPrintMargins& m = *margins_;
  SaveCanvas(ACanvas);
  DrawFrame(ACanvas);
  ACanvas->Brush()->SetStyle(bsClear);
  int y = (type_ == hftFooter ? m.PFooter : m.PHeader - frameHeight_) + m.PHFInternalMargin;
  int curLine = 1;
  THeaderFooterValues v{PageNum, numPages_, romanNumbers_, title_, date_, time_};
  for (auto& it : items_) {
    ACanvas->Font()->Assign(it->Font());
    if (it->LineNumber != curLine) {
      y += lineInfo_[static_cast<size_t>(curLine - 1)].Height;
      curLine = it->LineNumber;
    }
    AnsiString text = it->ExpandText(v);
    TAlignment align = it->Alignment;
    if (mirrorPosition_ && PageNum % 2 == 0) {
      if (align == taLeftJustify) align = taRightJustify;
      else if (align == taRightJustify) align = taLeftJustify;
    }
    int w = ACanvas->TextWidth(text);
    int x = align == taLeftJustify    ? m.PLeftHFTextIndent
            : align == taRightJustify ? m.PRightHFTextIndent - w
                                      : (m.PLeftHFTextIndent + m.PRightHFTextIndent - w) / 2;
    // Written on the line's base line: the text's top lies its ascent above it.
    TEXTMETRICA tm;
    GetTextMetricsA(ACanvas->Handle(), &tm);
    int baseline = y + lineInfo_[static_cast<size_t>(curLine - 1)].BaseDistance;
    ACanvas->TextOut(x, baseline - tm.tmAscent, text);
  }
  RestoreCanvas(ACanvas);
}

void THeaderFooter::Assign(TPersistent* Source) {
  auto* s = dynamic_cast<THeaderFooter*>(Source);
  if (!s) {
    TPersistent::Assign(Source);
    return;
  }
  if (s == this) return;
  Clear();
  type_ = s->type_;
  frameTypes_ = s->frameTypes_;
  shadedColor_ = s->shadedColor_;
  lineColor_ = s->lineColor_;
  for (auto& it : s->items_) Add(it->Text, it->Font(), it->Alignment, it->LineNumber);
  defaultFont_.SetPixelsPerInch(s->defaultFont_.PixelsPerInch());
  defaultFont_.Assign(&s->defaultFont_);
  romanNumbers_ = s->romanNumbers_;
  mirrorPosition_ = s->mirrorPosition_;
}
