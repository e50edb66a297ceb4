#include "platform/stdctrls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <limits>

#include "platform/forms.h"
#include "platform/menus.h"
#include "platform/qt/control_host.h"
#include "platform/qt/graphics_qt.h"
#include "platform/qt/widgets_qt.h"

namespace {

template <class W>
W* NativeOf(const TWinControl* c) {
  return c->HandleAllocated() ? static_cast<W*>(c->Host()->Native()) : nullptr;
}

// A single-line field without a length of its own takes text of any length: the toolkit's
// fields stop at 32,767 characters unless told otherwise.
constexpr int kNoLengthLimit = std::numeric_limits<int>::max();

// The text typed into a combo box stays as typed: the list offers its items, but nothing
// completes or replaces the typed text by one of them (an item that differs only in case would
// take its place once the box is left); and it may be as long as a field's.
void NoCompletion(QComboBox* c) {
  if (!c->lineEdit()) return;
  c->setCompleter(nullptr);
  c->lineEdit()->setMaxLength(kNoLengthLimit);
}

// A memo shows a line longer than kMemoPiece characters in pieces of that length, each piece
// after the first marked as continuing the line before: the toolkit lays out a paragraph as a
// whole (a line of megabytes takes seconds, wrapped minutes), pieces only when they are seen.
// The text read back joins the pieces again, so the memo's text is the text it was given.
constexpr int kMemoPiece = 1024;
constexpr int kContinuesLine = QTextFormat::UserProperty;

bool ContinuesLine(const QTextBlock& b) { return b.blockFormat().boolProperty(kContinuesLine); }

// The memo's text from position `from` to `to` of its widget's document, pieces joined.
QString MemoText(const QTextDocument* d, int from, int to) {
  QString out;
  for (QTextBlock b = d->findBlock(from); b.isValid() && b.position() <= to; b = b.next()) {
    if (b.position() > from && !ContinuesLine(b)) out += QChar('\n');
    int start = std::max(from, b.position()), end = std::min(to, b.position() + b.length() - 1);
    if (end > start) out += b.text().mid(start - b.position(), end - start);
  }
  out.replace(QChar::LineSeparator, QChar('\n'));
  return out;
}
QString MemoText(const QTextDocument* d) { return MemoText(d, 0, d->characterCount() - 1); }

bool IsLineBreak(QChar ch) {
  return ch == QChar('\n') || ch == QChar('\r') || ch == QChar::ParagraphSeparator ||
         ch == QChar(0xFDD0) || ch == QChar(0xFDD1);  // the toolkit breaks blocks at these too
}
bool HasLineBreak(const QString& s) { return std::any_of(s.begin(), s.end(), IsLineBreak); }

// Puts text from the user in place of the cursor's selection, as one edit: each line break in it
// (CR LF counted once) starts a line of its own. The toolkit would give the new block the format
// of the block it breaks, so a break inside a piece of a long line would read back as no break.
void InsertUserText(QTextCursor& c, const QString& text) {
  c.beginEditBlock();
  c.removeSelectedText();
  qsizetype from = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (!IsLineBreak(text[i])) continue;
    if (i > from) c.insertText(text.mid(from, i - from));
    if (text[i] == QChar('\r') && i + 1 < text.size() && text[i + 1] == QChar('\n')) ++i;
    c.insertBlock(QTextBlockFormat());
    from = i + 1;
  }
  if (from < text.size()) c.insertText(text.mid(from));
  c.endEditBlock();
}

// Puts the lines into the memo's widget, long ones in pieces.
void SetMemoText(QPlainTextEdit* e, TStrings& lines) {
  QString shown;
  std::vector<int> continued;  // block numbers of pieces after the first
  int block = 0;
  for (int i = 0; i < lines.Count(); ++i) {
    QString line = QStr(lines.Get(i));
    if (i > 0) {
      shown += QChar('\n');
      ++block;
    }
    for (qsizetype at = 0; at < line.size(); at += kMemoPiece) {
      if (at > 0) {
        shown += QChar('\n');
        continued.push_back(++block);
      }
      shown += QStringView(line).mid(at, kMemoPiece);
    }
  }
  e->setPlainText(shown);
  if (continued.empty()) return;
  QTextDocument* d = e->document();
  // One edit without undo: the marks are part of what the memo was given.
  d->setUndoRedoEnabled(false);
  QTextCursor c(d);
  c.beginEditBlock();
  QTextBlockFormat mark;
  mark.setProperty(kContinuesLine, true);
  size_t next = 0;
  int n = 0;
  for (QTextBlock b = d->begin(); b.isValid() && next < continued.size(); b = b.next(), ++n) {
    if (n != continued[next]) continue;
    c.setPosition(b.position());
    c.setBlockFormat(mark);
    ++next;
  }
  c.endEditBlock();
  d->setUndoRedoEnabled(true);
}

void DrawBevel(TCanvas* c, const TRect& r, TBevelCut cut) {
  if (cut == bvNone) return;
  TColor tl = cut == bvRaised ? clBtnHighlight : clBtnShadow;
  TColor br = cut == bvRaised ? clBtnShadow : clBtnHighlight;
  c->Pen()->SetColor(tl);
  c->MoveTo(r.Left, r.Bottom - 1);
  c->LineTo(r.Left, r.Top);
  c->LineTo(r.Right - 1, r.Top);
  c->Pen()->SetColor(br);
  c->MoveTo(r.Right - 1, r.Top);
  c->LineTo(r.Right - 1, r.Bottom - 1);
  c->LineTo(r.Left - 1, r.Bottom - 1);
}

}  // namespace

AnsiString StripHotkeyText(const AnsiString& caption) {
  AnsiString text;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    text += caption[i];
  }
  return text;
}

// ------------------------------------------------------------------------------ TTextControl

TTextControl::TTextControl(TComponent* AOwner) : TCustomControl(AOwner) {
  font_.OnChange = TNotifyEvent(this, &TTextControl::FontChange);
  SetColor(clBtnFace);
}

TTextControl::~TTextControl() {
  font_.OnChange = nullptr;
  // The native widget goes later, with the window: it must not call back into this control.
  if (HandleAllocated() && Host()->Native()) Host()->Native()->disconnect();
}

void TTextControl::SetCaption(const AnsiString& v) {
  caption_ = v;
  Invalidate();
}

void TTextControl::CreateWnd() { TCustomControl::CreateWnd(); }

void TTextControl::FontChanged() {
  if (QWidget* w = HandleAllocated() ? Host()->Native() : nullptr)
    if (const TFontData* d = FontData(font_.Handle())) w->setFont(d->font);
}

void TTextControl::UseNative(void* widget) {
  auto* w = static_cast<QWidget*>(widget);
  if (const TFontData* d = FontData(font_.Handle())) w->setFont(d->font);
  w->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(w, &QWidget::customContextMenuRequested, w, [this, w](const QPoint& p) {
    if (!PopupMenu()) return;
    QPoint g = w->mapToGlobal(p);
    GuardedCall(this, [&] {
      PopupMenu()->SetPopupComponent(this);
      PopupMenu()->Popup(g.x(), g.y());
    });
  });
  Host()->SetNative(w);
}

// ------------------------------------------------------------------------------ TPanel

TPanel::TPanel(TComponent* AOwner) : TTextControl(AOwner) {
  SetBorderStyle(bsNone);
  SetTabStop(false);
  SetBounds(0, 0, 185, 41);
}

void TPanel::SetCaption(const AnsiString& v) { TTextControl::SetCaption(v); }

void TPanel::Paint(TCanvas* c, const TRect&) {
  TRect r = ClientRect();
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  DrawBevel(c, r, bevelOuter_);
  if (caption_.empty()) return;
  c->Font()->Assign(Font());
  c->Brush()->SetStyle(bsClear);
  TSize sz = c->TextExtent(caption_);
  int x = alignment_ == taLeftJustify ? 2
          : alignment_ == taRightJustify ? r.Width() - sz.cx - 2
                                         : (r.Width() - sz.cx) / 2;
  c->TextOut(x, (r.Height() - sz.cy) / 2, caption_);
  c->Brush()->SetStyle(bsSolid);
}

void TPanel::Click() { CallEvent(OnClick, this); }

void TPanel::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TTextControl::MouseUp(Button, Shift, X, Y);
  if (Button == mbLeft && X >= 0 && Y >= 0 && X < ClientWidth() && Y < ClientHeight()) Click();
}

// ------------------------------------------------------------------------------ TLabel

TLabel::TLabel(TComponent* AOwner) : TTextControl(AOwner) {
  SetBorderStyle(bsNone);
  SetTabStop(false);
  SetBounds(0, 0, 65, 17);
}

void TLabel::SetCaption(const AnsiString& v) { TTextControl::SetCaption(v); }

void TLabel::Paint(TCanvas* c, const TRect&) {
  TRect r = ClientRect();
  c->Brush()->SetColor(Parent() ? Parent()->Color() : Color());
  c->FillRect(r);
  c->Font()->Assign(Font());
  c->Brush()->SetStyle(bsClear);
  AnsiString text = StripHotkeyText(caption_);
  TSize sz = c->TextExtent(text);
  int x = alignment_ == taLeftJustify ? 0 : alignment_ == taRightJustify ? r.Width() - sz.cx : (r.Width() - sz.cx) / 2;
  c->TextOut(x, 0, text);
  c->Brush()->SetStyle(bsSolid);
}

void TLabel::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TTextControl::MouseUp(Button, Shift, X, Y);
  if (Button == mbLeft) CallEvent(OnClick, this);
}

// ------------------------------------------------------------------------------ TButton

TButton::TButton(TComponent* AOwner) : TTextControl(AOwner) {
  SetBorderStyle(bsNone);
  SetBounds(0, 0, 75, 25);
}

void TButton::CreateWnd() {
  TTextControl::CreateWnd();
  auto* b = new QPushButton(QStr(caption_), Host()->Frame());
  b->setDefault(default_);
  b->setAutoDefault(false);
  QObject::connect(b, &QPushButton::clicked, b, [this] { GuardedCall(this, [this] { Click(); }); });
  UseNative(b);
}

void TButton::SetCaption(const AnsiString& v) {
  caption_ = v;
  if (auto* b = NativeOf<QPushButton>(this)) b->setText(QStr(v));
}

void TButton::SetDefault(bool v) {
  default_ = v;
  if (auto* b = NativeOf<QPushButton>(this)) b->setDefault(v);
}

void TButton::Click() {
  CallEvent(OnClick, this);
  if (modalResult_ != 0)
    if (TCustomForm* f = GetParentForm(this)) f->SetModalResult(modalResult_);
}

// ------------------------------------------------------------------------------ TCheckBox

TCheckBox::TCheckBox(TComponent* AOwner) : TTextControl(AOwner) {
  SetBorderStyle(bsNone);
  SetBounds(0, 0, 97, 17);
}

void TCheckBox::CreateWnd() {
  TTextControl::CreateWnd();
  auto* b = new QCheckBox(QStr(caption_), Host()->Frame());
  b->setChecked(checked_);
  QObject::connect(b, &QCheckBox::toggled, b, [this](bool on) {
    GuardedCall(this, [&] { SetChecked(on); });
  });
  UseNative(b);
}

void TCheckBox::SetCaption(const AnsiString& v) {
  caption_ = v;
  if (auto* b = NativeOf<QCheckBox>(this)) b->setText(QStr(v));
}

void TCheckBox::SetChecked(bool v) {
  if (v == checked_) return;
  checked_ = v;
  if (auto* b = NativeOf<QCheckBox>(this)) {
    QSignalBlocker block(b);
    b->setChecked(v);
  }
  CallEvent(OnClick, this);
}

// ------------------------------------------------------------------------------ TEdit

TEdit::TEdit(TComponent* AOwner) : TTextControl(AOwner) {
  SetBorderStyle(bsNone);
  SetBounds(0, 0, 121, 21);
  SetColor(clWindow);
}

void TEdit::CreateWnd() {
  TTextControl::CreateWnd();
  auto* e = new QLineEdit(QStr(text_), Host()->Frame());
  e->setReadOnly(readOnly_);
  if (passwordChar_) e->setEchoMode(QLineEdit::Password);
  e->setMaxLength(maxLength_ > 0 ? maxLength_ : kNoLengthLimit);
  QObject::connect(e, &QLineEdit::textChanged, e, [this](const QString& t) {
    text_ = FromQStr(t);
    GuardedCall(this, [this] { CallEvent(OnChange, this); });
  });
  UseNative(e);
}

AnsiString TEdit::Text() const { return text_; }

void TEdit::SetText(const AnsiString& v) {
  if (auto* e = NativeOf<QLineEdit>(this)) {
    e->setText(QStr(v));  // the widget reports the change
    text_ = v;
  } else if (v != text_) {
    text_ = v;
    CallEvent(OnChange, this);
  }
}

void TEdit::SetPasswordChar(char c) {
  passwordChar_ = c;
  if (auto* e = NativeOf<QLineEdit>(this)) e->setEchoMode(c ? QLineEdit::Password : QLineEdit::Normal);
}

void TEdit::SetMaxLength(int n) {
  maxLength_ = n;
  if (n > 0 && static_cast<int>(text_.size()) > n) SetText(text_.substr(0, static_cast<size_t>(n)));
  if (auto* e = NativeOf<QLineEdit>(this)) e->setMaxLength(n > 0 ? n : kNoLengthLimit);
}

void TEdit::SetReadOnly(bool v) {
  readOnly_ = v;
  if (auto* e = NativeOf<QLineEdit>(this)) e->setReadOnly(v);
}

// ------------------------------------------------------------------------------ TMemo

TMemo::TMemo(TComponent* AOwner) : TTextControl(AOwner) {
  SetBorderStyle(bsNone);
  SetBounds(0, 0, 185, 89);
  SetColor(clWindow);
  lines_.OnChange = TNotifyEvent(this, &TMemo::LinesChange);
}

TMemo::~TMemo() { lines_.OnChange = nullptr; }

namespace {
// A memo in a dialog leaves Tab to the dialog, which moves the focus on (Ctrl+Tab types one), so
// that the keyboard reaches the dialog's other controls and buttons.
class TMemoWidget : public QPlainTextEdit {
public:
  TMemoWidget(TMemo* control, QWidget* parent) : QPlainTextEdit(parent), control_(control) {}

protected:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::KeyPress) {
      auto* k = static_cast<QKeyEvent*>(e);
      bool tab = k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab;
      if (tab && !(k->modifiers() & Qt::AltModifier) && DialogManagesKeys(control_)) {
        if (!(k->modifiers() & Qt::ControlModifier))
          return focusNextPrevChild(k->key() == Qt::Key_Tab && !(k->modifiers() & Qt::ShiftModifier));
        if (k->key() == Qt::Key_Tab && !isReadOnly()) insertPlainText(QStringLiteral("\t"));
        return true;
      }
    }
    return QPlainTextEdit::event(e);
  }
  // A line break typed inside a piece of a long line starts a line of its own.
  void keyPressEvent(QKeyEvent* ev) override {
    bool lineBreak = ev->key() == Qt::Key_Return || ev->key() == Qt::Key_Enter;
    if (lineBreak && !isReadOnly() && !(ev->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
      QTextCursor c = textCursor();
      c.insertBlock(QTextBlockFormat());
      setTextCursor(c);
      ensureCursorVisible();
      ev->accept();
      return;
    }
    // A key that types text with line breaks in it (which the toolkit would type as it types text).
    QString text = ev->text();
    bool typed = !text.isEmpty() && (text[0].isPrint() || text[0] == QChar('\t'));
    if (typed && HasLineBreak(text) && !isReadOnly() &&
        !(ev->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
      QTextCursor c = textCursor();
      InsertUserText(c, text);
      setTextCursor(c);
      ensureCursorVisible();
      ev->accept();
      return;
    }
    if (!isReadOnly() && !textCursor().hasSelection() && DeleteAcrossPieces(ev)) {
      ev->accept();
      return;
    }
    QPlainTextEdit::keyPressEvent(ev);
  }
  // Delete at the end of a piece of a long line, Backspace at the start of one (and the same
  // keys for words) delete what the caret meets in the line, past the boundaries between the
  // pieces, which are no characters: the toolkit would delete only the boundary.
  bool DeleteAcrossPieces(QKeyEvent* ev) {
    bool forward = ev == QKeySequence::Delete || ev == QKeySequence::DeleteEndOfWord;
    bool word = ev == QKeySequence::DeleteEndOfWord || ev == QKeySequence::DeleteStartOfWord;
    bool back = ev == QKeySequence::DeleteStartOfWord ||
                (ev->key() == Qt::Key_Backspace && !(ev->modifiers() & ~Qt::ShiftModifier));
    if (!forward && !back) return false;
    QTextCursor c = textCursor();
    const int from = c.position();
    int at = from;
    for (;;) {
      QTextBlock b = document()->findBlock(at);
      if (forward && at == b.position() + b.length() - 1 && b.next().isValid() && ContinuesLine(b.next()))
        at = b.next().position();
      else if (back && at == b.position() && ContinuesLine(b) && b.previous().isValid())
        at = b.previous().position() + b.previous().length() - 1;
      else
        break;
    }
    if (at == from) return false;
    const int count = document()->characterCount();
    c.beginEditBlock();
    c.setPosition(at);
    if (word) {  // the word and the boundaries before it
      c.movePosition(forward ? QTextCursor::NextWord : QTextCursor::PreviousWord);
      c.setPosition(from, QTextCursor::KeepAnchor);
      c.removeSelectedText();
    } else {  // the character only: the caret stays where it was in the line
      if (forward) c.deleteChar();
      else c.deletePreviousChar();
      c.setPosition(forward ? from : from - (count - document()->characterCount()));
    }
    c.endEditBlock();
    setTextCursor(c);
    ensureCursorVisible();
    return true;
  }
  // Text committed by an input method with line breaks in it: the toolkit ends what was being
  // composed, the memo puts in the text, the toolkit shows what is composed next.
  void inputMethodEvent(QInputMethodEvent* ev) override {
    if (isReadOnly() || !HasLineBreak(ev->commitString())) return QPlainTextEdit::inputMethodEvent(ev);
    QTextCursor edit(document());  // one edit for undo
    edit.beginEditBlock();
    QInputMethodEvent end;
    QPlainTextEdit::inputMethodEvent(&end);
    QTextCursor c = textCursor();
    c.removeSelectedText();
    c.setPosition(c.position() + ev->replacementStart());
    c.setPosition(c.position() + ev->replacementLength(), QTextCursor::KeepAnchor);
    InsertUserText(c, ev->commitString());
    setTextCursor(c);
    QInputMethodEvent next(ev->preeditString(), ev->attributes());
    QPlainTextEdit::inputMethodEvent(&next);
    edit.endEditBlock();
    ev->accept();
  }
  // Pasted or dropped text goes in as plain text, its line breaks as typed ones.
  void insertFromMimeData(const QMimeData* source) override {
    if (isReadOnly() || !source) return;
    QString text = source->text();
    if (text.isNull() && source->hasFormat(QStringLiteral("text/markdown")))
      text = QString::fromUtf8(source->data(QStringLiteral("text/markdown")));
    if (text.isEmpty()) return;
    QTextCursor c = textCursor();
    InsertUserText(c, text);
    setTextCursor(c);
    ensureCursorVisible();
  }
  // What is copied or dragged out has the pieces of long lines joined.
  QMimeData* createMimeDataFromSelection() const override {
    QTextCursor c = textCursor();
    auto* m = new QMimeData;
    m->setText(MemoText(document(), c.selectionStart(), c.selectionEnd()));
    return m;
  }

private:
  TMemo* control_;
};
}  // namespace

void TMemo::CreateWnd() {
  TTextControl::CreateWnd();
  auto* e = new TMemoWidget(this, Host()->Frame());
  syncing_ = true;
  SetMemoText(e, lines_);
  syncing_ = false;
  QObject::connect(e, &QPlainTextEdit::textChanged, e, [this, e] {
    if (syncing_) return;
    syncing_ = true;
    lines_.SetText(FromQStr(MemoText(e->document())));
    syncing_ = false;
    modified_ = true;
    GuardedCall(this, [this] { CallEvent(OnChange, this); });
  });
  UseNative(e);
  SetScrollBars(scrollBars_);
  SetWordWrap(wordWrap_);
  SetReadOnly(readOnly_);
}

void TMemo::LinesChange(TObject*) {
  if (syncing_) return;
  modified_ = false;
  PushText();
  CallEvent(OnChange, this);
}

void TMemo::PushText() {
  auto* e = NativeOf<QPlainTextEdit>(this);
  if (!e) return;
  syncing_ = true;
  SetMemoText(e, lines_);
  syncing_ = false;
}

AnsiString TMemo::Text() const { return lines_.Text(); }
void TMemo::SetText(const AnsiString& v) { lines_.SetText(v); }

void TMemo::SetScrollBars(TScrollStyle s) {
  scrollBars_ = s;
  if (auto* e = NativeOf<QPlainTextEdit>(this)) {
    bool v = s == ssVertical || s == ssBoth, h = s == ssHorizontal || s == ssBoth;
    e->setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    e->setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  }
}

void TMemo::SetWordWrap(bool v) {
  wordWrap_ = v;
  if (auto* e = NativeOf<QPlainTextEdit>(this))
    e->setLineWrapMode(v ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void TMemo::SetReadOnly(bool v) {
  readOnly_ = v;
  if (auto* e = NativeOf<QPlainTextEdit>(this)) e->setReadOnly(v);
}

void TMemo::SelectAll() {
  if (auto* e = NativeOf<QPlainTextEdit>(this)) e->selectAll();
}

AnsiString TMemo::SelText() const {
  auto* e = NativeOf<QPlainTextEdit>(this);
  if (!e) return AnsiString();
  QTextCursor c = e->textCursor();
  QString s = MemoText(e->document(), c.selectionStart(), c.selectionEnd());
  s.replace(QChar('\n'), QStringLiteral("\r\n"));
  return FromQStr(s);
}

void TMemo::CutToClipboard() {
  if (auto* e = NativeOf<QPlainTextEdit>(this)) e->cut();
}
void TMemo::CopyToClipboard() {
  if (auto* e = NativeOf<QPlainTextEdit>(this)) e->copy();
}
void TMemo::PasteFromClipboard() {
  if (auto* e = NativeOf<QPlainTextEdit>(this)) e->paste();
}

// ------------------------------------------------------------------------------ TComboBox

TComboBox::TComboBox(TComponent* AOwner) : TTextControl(AOwner) {
  SetBorderStyle(bsNone);
  SetBounds(0, 0, 145, 21);
  SetColor(clWindow);
  items_.OnChange = TNotifyEvent(this, &TComboBox::ItemsChange);
}

TComboBox::~TComboBox() { items_.OnChange = nullptr; }

void TComboBox::CreateWnd() {
  TTextControl::CreateWnd();
  auto* c = new QComboBox(Host()->Frame());
  c->setEditable(style_ == csDropDown);
  c->setInsertPolicy(QComboBox::NoInsert);
  NoCompletion(c);
  UseNative(c);
  PushItems();
  QObject::connect(c, &QComboBox::currentIndexChanged, c, [this, c](int i) {
    if (syncing_) return;
    itemIndex_ = i;
    text_ = FromQStr(c->currentText());
    GuardedCall(this, [this] { CallEvent(OnChange, this); });
  });
  QObject::connect(c, &QComboBox::editTextChanged, c, [this](const QString& t) {
    if (syncing_) return;
    text_ = FromQStr(t);
    itemIndex_ = items_.IndexOf(text_);
    GuardedCall(this, [this] { CallEvent(OnChange, this); });
  });
}

void TComboBox::ItemsChange(TObject*) { PushItems(); }

void TComboBox::PushItems() {
  auto* c = NativeOf<QComboBox>(this);
  if (!c) return;
  syncing_ = true;
  c->clear();
  for (int i = 0; i < items_.Count(); ++i) c->addItem(QStr(items_[i]));
  c->setCurrentIndex(itemIndex_ < items_.Count() ? itemIndex_ : -1);
  if (style_ == csDropDown) c->setEditText(QStr(text_));
  syncing_ = false;
}

void TComboBox::SetStyle(TComboBoxStyle s) {
  style_ = s;
  if (auto* c = NativeOf<QComboBox>(this)) {
    c->setEditable(s == csDropDown);
    NoCompletion(c);
    PushItems();
  }
}

AnsiString TComboBox::Text() const { return text_; }

void TComboBox::SetText(const AnsiString& v) {
  text_ = v;
  itemIndex_ = items_.IndexOf(v);
  if (style_ == csDropDownList && itemIndex_ < 0) text_.clear();
  PushItems();
}

int TComboBox::ItemIndex() const { return itemIndex_ < items_.Count() ? itemIndex_ : -1; }

void TComboBox::SetItemIndex(int i) {
  itemIndex_ = i >= 0 && i < items_.Count() ? i : -1;
  text_ = itemIndex_ >= 0 ? items_[itemIndex_] : AnsiString();
  PushItems();
}

// ------------------------------------------------------------------------------ TStatusBar

void TStatusPanel::SetText(const AnsiString& v) {
  if (v == text_) return;
  text_ = v;
  bar_->Invalidate();
}

void TStatusPanel::SetWidth(int v) {
  width_ = v;
  bar_->Invalidate();
}

TStatusPanel* TStatusPanels::Add() {
  items_.push_back(std::make_unique<TStatusPanel>(bar_));
  bar_->Invalidate();
  return items_.back().get();
}

void TStatusPanels::Clear() {
  items_.clear();
  bar_->Invalidate();
}

TStatusBar::TStatusBar(TComponent* AOwner) : TTextControl(AOwner), panels_(this) {
  SetBorderStyle(bsNone);
  SetTabStop(false);
  SetAlign(alBottom);
  SetBounds(0, 0, 200, 19);
}

int TStatusBar::PanelAt(int X) const {
  int x = 0;
  for (int i = 0; i < panels_.Count(); ++i) {
    int w = i == panels_.Count() - 1 ? std::max(panels_[i]->Width(), ClientWidth() - x) : panels_[i]->Width();
    if (X >= x && X < x + w) return i;
    x += w;
  }
  return -1;
}

void TStatusBar::Paint(TCanvas* c, const TRect&) {
  TRect r = ClientRect();
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(r);
  c->Font()->Assign(Font());
  auto cell = [&](const TRect& cr, const AnsiString& text) {
    DrawBevel(c, cr, bvLowered);
    c->Brush()->SetStyle(bsClear);
    int th = c->TextHeight("Wy");
    c->TextRect(TRect{cr.Left + 1, cr.Top + 1, cr.Right - 1, cr.Bottom - 1}, cr.Left + 3,
                cr.Top + (cr.Height() - th) / 2, text);
    c->Brush()->SetStyle(bsSolid);
  };
  if (simplePanel_) {
    cell(TRect{r.Left, r.Top + 2, r.Right, r.Bottom}, simpleText_);
    return;
  }
  int x = 0;
  for (int i = 0; i < panels_.Count(); ++i) {
    TStatusPanel* p = panels_[i];
    int w = i == panels_.Count() - 1 ? std::max(p->Width(), r.Width() - x) : p->Width();
    cell(TRect{x, r.Top + 2, x + w - 2, r.Bottom}, p->Text());
    x += w;
  }
}
