#include "platform/menus.h"

#include <QActionGroup>
#include <QApplication>
#include <QIconEngine>
#include <QMenu>
#include <QPointer>
#include <QTextDocument>
#include <algorithm>

#include "platform/actions.h"
#include "platform/graphics.h"
#include "platform/qt/control_host.h"
#include "platform/qt/graphics_qt.h"
#include "platform/qt/widgets_qt.h"

// ------------------------------------------------------------------------------ helpers

namespace {

// An image of a list as the icon of a button or menu entry, drawn when first shown: bars built
// at start make only the pictures they show (those of a hidden bar, none), and a picture taken
// from the desktop's icon theme is looked up only then. Everything but the size is asked of the
// icon the picture makes, so that it looks and scales as that icon does.
class TImageListIconEngine : public QIconEngine {
public:
  explicit TImageListIconEngine(std::shared_ptr<TImageList::TEntry> image) : image_(std::move(image)) {}
  QIconEngine* clone() const override { return new TImageListIconEngine(*this); }
  QString key() const override { return QStringLiteral("TImageListIconEngine"); }
  bool isNull() override { return false; }
  // The icon's one picture, made smaller to fit when it does not.
  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
    QSize s(image_->Width, image_->Height);
    if (s.width() > size.width() || s.height() > size.height()) s.scale(size, Qt::KeepAspectRatio);
    return s;
  }
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return Icon().pixmap(size, 1.0, mode, state);
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
    // The icon scales the size back up by the same factor.
    return scale > 1.0 ? Icon().pixmap(size / scale, scale, mode, state) : pixmap(size, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return Icon().availableSizes(mode, state);
  }
  void addPixmap(const QPixmap& pixmap, QIcon::Mode mode, QIcon::State state) override {
    Icon().addPixmap(pixmap, mode, state);
  }
  void addFile(const QString& fileName, const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    Icon().addFile(fileName, size, mode, state);
  }

private:
  QIcon& Icon() {
    if (made_) return icon_;
    made_ = true;
    // Drawn onto a transparent picture: the list leaves its mask colour out and blends pictures
    // that carry their own transparency.
    QImage img(image_->Width, image_->Height, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    GuardedCall(nullptr, [&] {
      QPainter p(&img);
      auto canvas = CreateCanvasOnPainter(&p, img.rect());
      TImageList::Draw(canvas.get(), 0, 0, *image_);
    });
    icon_ = QIcon(QPixmap::fromImage(img));
    return icon_;
  }
  std::shared_ptr<TImageList::TEntry> image_;
  bool made_ = false;
  QIcon icon_;
};

}  // namespace

QIcon ImageListIcon(TImageList* images, int index) {
  std::shared_ptr<TImageList::TEntry> image = images ? images->Image(index) : nullptr;
  if (!image || image->Width <= 0 || image->Height <= 0) return QIcon();
  return QIcon(new TImageListIconEngine(std::move(image)));
}

QString PlainToolTip(const AnsiString& s) {
  QString t = QStr(s);
  return Qt::mightBeRichText(t) ? Qt::convertFromPlainText(t, Qt::WhiteSpacePre) : t;
}

QString MenuText(const AnsiString& caption, TShortCut shortCut) {
  QString t = QStr(caption);
  if (shortCut) t += QLatin1Char('\t') + QStr(ShortCutToText(shortCut));
  return t;
}

void FillMenu(QMenu* menu, TMenuItem* item) {
  QActionGroup* group = nullptr;
  for (int i = 0; i < item->Count(); ++i) {
    TMenuItem* sub = item->Items(i);
    if (!sub->Visible()) continue;
    if (sub->Action()) sub->Action()->Update();
    if (sub->IsLine()) {
      menu->addSeparator();
      continue;
    }
    if (sub->Count() > 0) {
      QMenu* m = menu->addMenu(QStr(sub->Caption()));
      m->setEnabled(sub->Enabled());
      FillMenu(m, sub);
      continue;
    }
    QAction* a = menu->addAction(MenuText(sub->Caption(), sub->ShortCut()));
    a->setEnabled(sub->Enabled());
    bool radio = sub->RadioItem() || (sub->Action() && sub->Action()->GroupIndex() > 0);
    bool checkable = sub->Checked() || radio || (sub->Action() && sub->Action()->AutoCheck());
    if (checkable) {
      a->setCheckable(true);
      a->setChecked(sub->Checked());
      if (radio) {
        if (!group) group = new QActionGroup(menu);
        group->addAction(a);
      }
    }
    if (sub->Action() && sub->Action()->ActionList())
      a->setIcon(ImageListIcon(sub->Action()->ActionList()->Images(), sub->Action()->ImageIndex()));
    QObject::connect(a, &QAction::triggered, menu, [sub] { GuardedCall(sub, [sub] { sub->Click(); }); });
  }
}

// ------------------------------------------------------------------------------ TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
  BeginDestroy();
  SetAction(nullptr);
  if (parentItem_) parentItem_->Remove(this);
  auto items = items_;
  items_.clear();
  for (TMenuItem* i : items) {
    i->parentItem_ = nullptr;
    if (i->Owner() == this) delete i;
  }
}

AnsiString TMenuItem::Caption() const {
  return action_ && caption_.empty() ? action_->Caption() : caption_;
}
bool TMenuItem::Checked() const { return action_ ? action_->Checked() : checked_; }
bool TMenuItem::Enabled() const { return action_ ? action_->Enabled() && enabled_ : enabled_; }
bool TMenuItem::Visible() const { return action_ ? action_->Visible() && visible_ : visible_; }
TShortCut TMenuItem::ShortCut() const { return action_ && !shortCut_ ? action_->ShortCut() : shortCut_; }

void TMenuItem::SetAction(TAction* a) {
  if (action_ == a) return;
  if (action_) action_->RemoveFreeNotification(this);
  action_ = a;
  if (a) a->FreeNotification(this);
}

void TMenuItem::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == action_) action_ = nullptr;
}

void TMenuItem::Add(TMenuItem* item) {
  if (!item || item->parentItem_ == this) return;
  if (item->parentItem_) item->parentItem_->Remove(item);
  item->parentItem_ = this;
  items_.push_back(item);
}

TMenuItem* TMenuItem::AddItem(const AnsiString& caption) {
  auto* i = new TMenuItem(this);
  i->SetCaption(caption);
  Add(i);
  return i;
}

TMenuItem* TMenuItem::AddAction(TAction* a) {
  auto* i = new TMenuItem(this);
  i->SetAction(a);
  Add(i);
  return i;
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  items_.erase(it);
  item->parentItem_ = nullptr;
}

void TMenuItem::Clear() {
  auto items = items_;
  for (TMenuItem* i : items) {
    Remove(i);
    if (i->Owner() == this) delete i;
  }
}

void TMenuItem::Click() {
  if (action_) {
    action_->Execute();
    return;
  }
  if (radio_ || group_ > 0) {
    if (parentItem_)
      for (TMenuItem* s : parentItem_->items_)
        if (s != this && s->group_ == group_) s->checked_ = false;
    checked_ = true;
  }
  CallEvent(OnClick, this);
}

// ------------------------------------------------------------------------------ TPopupMenu

struct TPopupMenu::Impl {
  QPointer<QMenu> menu;
};

TPopupMenu::TPopupMenu(TComponent* AOwner)
    : TComponent(AOwner), impl_(std::make_unique<Impl>()), root_(new TMenuItem(this)) {}

TPopupMenu::~TPopupMenu() { delete impl_->menu.data(); }

void TPopupMenu::Popup(int X, int Y) {
  EnsureGuiApplication();
  CallEvent(OnPopup, this);
  delete impl_->menu.data();
  impl_->menu = new QMenu();
  impl_->menu->setAttribute(Qt::WA_DeleteOnClose, false);
  FillMenu(impl_->menu, root_);
  impl_->menu->popup(QPoint(X, Y));
}

bool TPopupMenu::IsPoppedUp() const { return impl_->menu && impl_->menu->isVisible(); }

void TPopupMenu::CloseUp() {
  if (impl_->menu) impl_->menu->close();
}
