#include "platform/extctrls.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QRadioButton>
#include <algorithm>
#include <climits>

#include "platform/qt/control_host.h"
#include "platform/qt/widgets_qt.h"

// ------------------------------------------------------------------------------ TGroupBox

TGroupBox::TGroupBox(TComponent* AOwner) : TTextControl(AOwner) {
  SetBorderStyle(bsNone);
  SetTabStop(false);
  SetBounds(0, 0, 185, 105);
}

void TGroupBox::Paint(TCanvas* c, const TRect&) {
  TRect r = ClientRect();
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  c->Font()->Assign(Font());
  int th = c->TextHeight("Wy");
  TRect frame{r.Left, r.Top + th / 2, r.Right, r.Bottom};
  c->Brush()->SetColor(clBtnShadow);
  c->FrameRect(frame);
  c->Brush()->SetColor(clBtnHighlight);
  c->FrameRect(TRect{frame.Left + 1, frame.Top + 1, frame.Right + 1, frame.Bottom + 1});
  if (!caption_.empty()) {
    c->Brush()->SetColor(Color());
    AnsiString text = StripHotkeyText(caption_);
    TSize sz = c->TextExtent(text);
    c->FillRect(TRect{6, 0, 10 + sz.cx, th});
    c->TextOut(8, 0, text);
  }
}

// ------------------------------------------------------------------------------ TRadioButton

TRadioButton::TRadioButton(TComponent* AOwner) : TTextControl(AOwner) {
  SetBorderStyle(bsNone);
  SetBounds(0, 0, 113, 17);
}

namespace {
// A radio button whose arrow keys choose within its group, as a dialog's do.
class TRadioWidget : public QRadioButton {
public:
  TRadioWidget(TRadioButton* control, const QString& text, QWidget* parent)
      : QRadioButton(text, parent), control_(control) {}

protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (!(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier))) {
      switch (e->key()) {
        case Qt::Key_Up: case Qt::Key_Left:
          GuardedCall(control_, [this] { control_->SelectInGroup(false); });
          return;
        case Qt::Key_Down: case Qt::Key_Right:
          GuardedCall(control_, [this] { control_->SelectInGroup(true); });
          return;
        default: break;
      }
    }
    QRadioButton::keyPressEvent(e);
  }

private:
  TRadioButton* control_;
};

// The radio buttons that share a parent with b (b among them), in the parent's order.
std::vector<TRadioButton*> RadioGroupOf(const TRadioButton* b) {
  std::vector<TRadioButton*> v;
  if (TWinControl* p = b->Parent())
    for (int i = 0; i < p->ControlCount(); ++i)
      if (auto* r = dynamic_cast<TRadioButton*>(p->Controls(i))) v.push_back(r);
  return v;
}
}  // namespace

void TRadioButton::CreateWnd() {
  TTextControl::CreateWnd();
  auto* b = new TRadioWidget(this, QStr(caption_), Host()->Frame());
  b->setAutoExclusive(false);  // siblings live in frames of their own: exclusive by hand
  b->setChecked(checked_);
  QObject::connect(b, &QRadioButton::toggled, b, [this, b](bool on) {
    if (!on && checked_) {
      // A click on the checked button leaves it checked.
      QSignalBlocker block(b);
      b->setChecked(true);
      return;
    }
    GuardedCall(this, [&] { SetChecked(on); });
  });
  UseNative(b);
}

void TRadioButton::SetCaption(const AnsiString& v) {
  caption_ = v;
  if (HandleAllocated() && Host()->Native()) static_cast<QRadioButton*>(Host()->Native())->setText(QStr(v));
}

void TRadioButton::SetChecked(bool v) {
  if (v == checked_) return;
  checked_ = v;
  if (HandleAllocated() && Host()->Native()) {
    auto* b = static_cast<QRadioButton*>(Host()->Native());
    QSignalBlocker block(b);
    b->setChecked(v);
  }
  if (!v) return;
  if (TWinControl* p = Parent())
    for (int i = 0; i < p->ControlCount(); ++i)
      if (auto* r = dynamic_cast<TRadioButton*>(p->Controls(i)); r && r != this) r->SetChecked(false);
  CallEvent(OnClick, this);
}

bool TRadioButton::IsTabStopNow() const {
  if (!TabStop()) return false;
  if (checked_) return true;
  std::vector<TRadioButton*> group = RadioGroupOf(this);
  if (std::any_of(group.begin(), group.end(), [](TRadioButton* r) { return r->Checked(); })) return false;
  auto first = std::find_if(group.begin(), group.end(), [](TRadioButton* r) { return r->CanFocus(); });
  return first != group.end() && *first == this;
}

void TRadioButton::SelectInGroup(bool Forward) {
  std::vector<TRadioButton*> group = RadioGroupOf(this);
  const int n = static_cast<int>(group.size());
  int at = static_cast<int>(std::find(group.begin(), group.end(), this) - group.begin());
  for (int k = 1; k < n; ++k) {
    TRadioButton* r = group[static_cast<size_t>(((at + (Forward ? k : -k)) % n + n) % n)];
    if (!r->CanFocus()) continue;
    r->FocusByKeyboard(!Forward);
    r->SetChecked(true);
    return;
  }
}

// ------------------------------------------------------------------------------ TRadioGroup

TRadioGroup::TRadioGroup(TComponent* AOwner) : TGroupBox(AOwner) {
  items_.OnChange = TNotifyEvent(this, &TRadioGroup::ItemsChange);
}

TRadioGroup::~TRadioGroup() { items_.OnChange = nullptr; }

void TRadioGroup::ItemsChange(TObject*) {
  updating_ = true;
  for (TRadioButton* b : buttons_) delete b;
  buttons_.clear();
  for (int i = 0; i < items_.Count(); ++i) {
    auto* b = new TRadioButton(this);
    b->SetCaption(items_[i]);
    b->SetParent(this);
    b->OnClick = TNotifyEvent(this, &TRadioGroup::ButtonClick);
    buttons_.push_back(b);
  }
  if (itemIndex_ >= items_.Count()) itemIndex_ = -1;
  if (itemIndex_ >= 0) buttons_[size_t(itemIndex_)]->SetChecked(true);
  updating_ = false;
  Arrange();
}

void TRadioGroup::ButtonClick(TObject* Sender) {
  if (updating_) return;
  auto it = std::find(buttons_.begin(), buttons_.end(), Sender);
  if (it == buttons_.end()) return;
  itemIndex_ = static_cast<int>(it - buttons_.begin());
  CallEvent(OnClick, this);
}

void TRadioGroup::SetItemIndex(int i) {
  if (i < -1 || i >= items_.Count()) i = -1;
  itemIndex_ = i;
  updating_ = true;
  for (size_t k = 0; k < buttons_.size(); ++k) buttons_[k]->SetChecked(static_cast<int>(k) == i);
  updating_ = false;
}

void TRadioGroup::Resize() {
  TGroupBox::Resize();
  Arrange();
}

void TRadioGroup::Arrange() {
  if (buttons_.empty()) return;
  int top = 16, h = std::max(17, (Height() - top - 4) / static_cast<int>(buttons_.size()));
  for (size_t k = 0; k < buttons_.size(); ++k)
    buttons_[k]->SetBounds(8, top + static_cast<int>(k) * h, std::max(0, Width() - 16), std::min(h, 20));
}

// ------------------------------------------------------------------------------ TListBox

TListBox::TListBox(TComponent* AOwner) : TTextControl(AOwner) {
  SetBorderStyle(bsNone);
  SetBounds(0, 0, 121, 97);
  SetColor(clWindow);
  items_.OnChange = TNotifyEvent(this, &TListBox::ItemsChange);
}

TListBox::~TListBox() { items_.OnChange = nullptr; }

void TListBox::CreateWnd() {
  TTextControl::CreateWnd();
  auto* l = new QListWidget(Host()->Frame());
  UseNative(l);
  PushItems();
  QObject::connect(l, &QListWidget::currentRowChanged, l, [this](int row) {
    if (syncing_) return;
    itemIndex_ = row;
    GuardedCall(this, [this] { CallEvent(OnClick, this); });
  });
}

void TListBox::ItemsChange(TObject*) {
  if (itemIndex_ >= items_.Count()) itemIndex_ = -1;
  PushItems();
}

void TListBox::PushItems() {
  if (!HandleAllocated() || !Host()->Native()) return;
  auto* l = static_cast<QListWidget*>(Host()->Native());
  syncing_ = true;
  l->clear();
  for (int i = 0; i < items_.Count(); ++i) l->addItem(QStr(items_[i]));
  l->setCurrentRow(itemIndex_);
  syncing_ = false;
}

int TListBox::ItemIndex() const { return itemIndex_ < items_.Count() ? itemIndex_ : -1; }

void TListBox::SetItemIndex(int i) {
  itemIndex_ = i >= 0 && i < items_.Count() ? i : -1;
  if (HandleAllocated() && Host()->Native()) {
    syncing_ = true;
    static_cast<QListWidget*>(Host()->Native())->setCurrentRow(itemIndex_);
    syncing_ = false;
  }
}

// ------------------------------------------------------------------------------ TUpDown

TUpDown::TUpDown(TComponent* AOwner) : TTextControl(AOwner) {
  SetBorderStyle(bsNone);
  SetTabStop(false);  // its edit takes the keys
  SetBounds(0, 0, 16, 21);
}

TUpDown::~TUpDown() { SetAssociate(nullptr); }

void TUpDown::SetAssociate(TEdit* e) {
  if (associate_) associate_->RemoveFreeNotification(this);
  associate_ = e;
  if (e) {
    e->FreeNotification(this);
    e->SetText(IntToStr(position_));
    // Placed at the right of its edit, as high as it.
    SetBounds(e->Left() + e->Width(), e->Top(), Width(), e->Height());
  }
}

void TUpDown::Notification(TComponent* AComponent, TOperation Operation) {
  TTextControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == associate_) associate_ = nullptr;
}

int TUpDown::Position() const {
  int v;
  if (associate_ && TryStrToInt(Trim(associate_->Text()), v)) return v;
  return position_;
}

void TUpDown::SetPosition(int v) {
  position_ = std::clamp(v, std::min(min_, max_), std::max(min_, max_));
  if (associate_) associate_->SetText(IntToStr(position_));
}

void TUpDown::Step(bool up) {
  long long next = static_cast<long long>(Position()) + (up ? 1 : -1);
  SetPosition(static_cast<int>(std::clamp<long long>(next, INT_MIN, INT_MAX)));
  CallEvent(OnClick, this);
}

void TUpDown::Paint(TCanvas* c, const TRect&) {
  TRect r = ClientRect();
  int mid = r.Height() / 2;
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(r);
  c->Brush()->SetColor(clBtnShadow);
  c->FrameRect(TRect{0, 0, r.Right, mid});
  c->FrameRect(TRect{0, mid, r.Right, r.Bottom});
  c->Pen()->SetColor(clBtnText);
  int cx = r.Width() / 2;
  for (int i = 0; i < 3; ++i) {
    int yu = mid / 2 - 1 + i, yd = mid + (r.Height() - mid) / 2 + 1 - i;
    c->MoveTo(cx - i, yu);
    c->LineTo(cx + i + 1, yu);
    c->MoveTo(cx - i, yd);
    c->LineTo(cx + i + 1, yd);
  }
}

void TUpDown::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TTextControl::MouseDown(Button, Shift, X, Y);
  if (Button == mbLeft) Step(Y < ClientHeight() / 2);
}

// ------------------------------------------------------------------------------ pages

TTabSheet::TTabSheet(TComponent* AOwner) : TTextControl(AOwner) {
  SetBorderStyle(bsNone);
  SetTabStop(false);
}

TTabSheet::~TTabSheet() { SetPageControl(nullptr); }

void TTabSheet::SetPageControl(TPageControl* pc) {
  if (pc == pageControl_) return;
  if (pageControl_) pageControl_->Remove(this);
  pageControl_ = pc;
  if (pc) {
    SetParent(pc);
    pc->Insert(this);
  }
}

int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  auto& v = pageControl_->pages_;
  return static_cast<int>(std::find(v.begin(), v.end(), this) - v.begin());
}

void TTabSheet::Paint(TCanvas* c, const TRect&) {
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
}

TPageControl::TPageControl(TComponent* AOwner) : TTextControl(AOwner) {
  SetBorderStyle(bsNone);
  // The tabs are chosen with the mouse; Tab goes on to the controls of the page shown.
  SetTabStop(false);
  SetBounds(0, 0, 289, 193);
}

TPageControl::~TPageControl() {
  for (TTabSheet* p : pages_) p->pageControl_ = nullptr;
  pages_.clear();
}

void TPageControl::Insert(TTabSheet* p) {
  pages_.push_back(p);
  if (active_ < 0) active_ = 0;
  Arrange();
}

void TPageControl::Remove(TTabSheet* p) {
  auto it = std::find(pages_.begin(), pages_.end(), p);
  if (it == pages_.end()) return;
  int i = static_cast<int>(it - pages_.begin());
  pages_.erase(it);
  if (active_ >= PageCount()) active_ = PageCount() - 1;
  else if (i < active_) --active_;
  Arrange();
}

TTabSheet* TPageControl::ActivePage() const { return active_ >= 0 ? pages_[size_t(active_)] : nullptr; }

void TPageControl::SetActivePage(TTabSheet* p) {
  auto it = std::find(pages_.begin(), pages_.end(), p);
  if (it != pages_.end()) SetActivePageIndex(static_cast<int>(it - pages_.begin()));
}

void TPageControl::SetActivePageIndex(int i) {
  if (i < 0 || i >= PageCount() || i == active_) return;
  active_ = i;
  Arrange();
  CallEvent(OnChange, this);
}

void TPageControl::Arrange() {
  for (size_t k = 0; k < pages_.size(); ++k) {
    pages_[k]->SetBounds(2, TabHeight() + 2, std::max(0, ClientWidth() - 4),
                         std::max(0, ClientHeight() - TabHeight() - 4));
    pages_[k]->SetVisible(static_cast<int>(k) == active_);
  }
  Invalidate();
}

void TPageControl::Resize() {
  TTextControl::Resize();
  Arrange();
}

namespace {
std::vector<TRect> TabRects(TPageControl* pc, TCanvas* c) {
  std::vector<TRect> v;
  int x = 2;
  for (int i = 0; i < pc->PageCount(); ++i) {
    int w = c->TextWidth(StripHotkeyText(pc->Pages(i)->Caption())) + 16;
    v.push_back(TRect{x, 2, x + w, pc->TabHeight()});
    x += w;
  }
  return v;
}
}  // namespace

int TPageControl::TabAt(int X, int Y) {
  TBitmap probe(1, 1);
  probe.Canvas()->Font()->Assign(Font());
  auto rects = TabRects(this, probe.Canvas());
  for (size_t i = 0; i < rects.size(); ++i)
    if (X >= rects[i].Left && X < rects[i].Right && Y >= 0 && Y < rects[i].Bottom) return static_cast<int>(i);
  return -1;
}

void TPageControl::Paint(TCanvas* c, const TRect&) {
  TRect r = ClientRect();
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  c->Font()->Assign(Font());
  auto rects = TabRects(this, c);
  c->Brush()->SetColor(clBtnShadow);
  c->FrameRect(TRect{0, TabHeight(), r.Right, r.Bottom});
  for (size_t i = 0; i < rects.size(); ++i) {
    TRect t = rects[i];
    bool on = static_cast<int>(i) == active_;
    if (on) t = TRect{t.Left - 2, t.Top - 2, t.Right + 2, t.Bottom + 1};
    c->Brush()->SetColor(Color());
    c->FillRect(t);
    c->Brush()->SetColor(clBtnShadow);
    c->FrameRect(TRect{t.Left, t.Top, t.Right, t.Bottom + (on ? 0 : 1)});
    if (on) {
      c->Brush()->SetColor(Color());
      c->FillRect(TRect{t.Left + 1, t.Bottom - 1, t.Right - 1, t.Bottom + 1});
    }
    c->Brush()->SetStyle(bsClear);
    c->TextOut(t.Left + 8, t.Top + (t.Height() - c->TextHeight("Wy")) / 2,
               StripHotkeyText(pages_[i]->Caption()));
    c->Brush()->SetStyle(bsSolid);
  }
}

void TPageControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TTextControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  int i = TabAt(X, Y);
  if (i >= 0) SetActivePageIndex(i);
}
