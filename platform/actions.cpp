#include "platform/actions.h"

#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "platform/graphics.h"
#include "platform/qt/bar_style.h"
#include "platform/qt/control_host.h"
#include "platform/qt/widgets_qt.h"

// ------------------------------------------------------------------------------ TAction

TAction::TAction(TComponent* AOwner) : TComponent(AOwner) {}

TAction::~TAction() {
  auto obs = observers_;
  observers_.clear();
  for (TActionObserver* o : obs) o->ActionFreed(this);
  SetActionList(nullptr);
}

void TAction::SetActionList(TCustomActionList* list) {
  if (list == list_) return;
  if (list_) list_->RemoveAction(this);
  list_ = list;
  if (list_) list_->AddAction(this);
}

void TAction::SetCaption(const AnsiString& v) {
  caption_ = v;
  Changed();
}

bool TAction::HandlesShortCut(TShortCut sc) const {
  if (!sc) return false;
  if (sc == shortCut_) return true;
  return std::find(secondary_.begin(), secondary_.end(), sc) != secondary_.end();
}

void TAction::SetChecked(bool v) {
  if (v == checked_) return;
  checked_ = v;
  if (v && groupIndex_ > 0 && list_) {
    for (int i = 0; i < list_->ActionCount(); ++i) {
      TAction* a = list_->Actions(i);
      if (a != this && a->groupIndex_ == groupIndex_ && a->checked_) {
        a->checked_ = false;
        a->Changed();
      }
    }
  }
  Changed();
}

void TAction::SetGroupIndex(int v) {
  groupIndex_ = v;
  // A newly grouped mark keeps the group exclusive.
  if (checked_ && v > 0) {
    checked_ = false;
    SetChecked(true);
  }
}

void TAction::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Changed();
}

void TAction::SetVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  Changed();
}

bool TAction::Update() {
  if (!OnUpdate.Assigned()) return false;
  OnUpdate(this);
  return true;
}

bool TAction::Execute() {
  Update();
  if (!enabled_) return false;
  // A grouped mark is only ever set by firing; an ungrouped one toggles.
  if (autoCheck_ && (!checked_ || groupIndex_ == 0)) SetChecked(!checked_);
  if (!OnExecute.Assigned()) return false;
  OnExecute(this);
  return true;
}

void TAction::AddObserver(TActionObserver* o) {
  if (std::find(observers_.begin(), observers_.end(), o) == observers_.end()) observers_.push_back(o);
}

void TAction::RemoveObserver(TActionObserver* o) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), o), observers_.end());
}

void TAction::Changed() {
  auto obs = observers_;
  for (TActionObserver* o : obs) o->ActionChanged(this);
}

// ------------------------------------------------------------------------------ lists

TCustomActionList::TCustomActionList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomActionList::~TCustomActionList() {
  auto acts = actions_;
  for (TAction* a : acts) a->list_ = nullptr;
  actions_.clear();
}

void TCustomActionList::SetImages(TImageList* v) {
  if (images_) images_->RemoveFreeNotification(this);
  images_ = v;
  if (v) v->FreeNotification(this);
}

void TCustomActionList::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == images_) images_ = nullptr;
}

TAction* TCustomActionList::NewAction(const AnsiString& name, const AnsiString& category,
                                      const AnsiString& caption, TShortCut shortCut) {
  auto* a = new TAction(Owner() ? Owner() : this);
  a->SetName(name);
  a->SetCategory(category);
  a->SetCaption(caption);
  a->SetShortCut(shortCut);
  a->SetActionList(this);
  return a;
}

void TCustomActionList::AddAction(TAction* a) { actions_.push_back(a); }

void TCustomActionList::RemoveAction(TAction* a) {
  actions_.erase(std::remove(actions_.begin(), actions_.end(), a), actions_.end());
}

TAction* TCustomActionList::FindShortCut(TShortCut sc) const {
  for (TAction* a : actions_)
    if (a->HandlesShortCut(sc)) return a;
  return nullptr;
}

bool TCustomActionList::IsShortCut(TShortCut sc) {
  TAction* a = FindShortCut(sc);
  if (!a) return false;
  a->Update();
  if (!a->Enabled() || !a->Visible()) return false;
  a->Execute();
  return true;
}

void TCustomActionList::UpdateActions() {
  auto acts = actions_;
  for (TAction* a : acts) a->Update();
}

// ------------------------------------------------------------------------------ styles

TActionBarStyle* StandardStyle() {
  static TActionBarStyle s("Standard");
  return &s;
}
TActionBarStyle* XPStyle() {
  static TActionBarStyle s("XP Style");
  return &s;
}
TActionBarStyle* ActionBarStyleByName(const AnsiString& name) {
  if (name == StandardStyle()->Name()) return StandardStyle();
  if (name == XPStyle()->Name()) return XPStyle();
  return nullptr;
}

// ------------------------------------------------------------------------------ items

AnsiString TActionClientItem::DisplayCaption() const {
  if (!caption_.empty() || !action_) return caption_;
  return action_->Caption();
}

TActionClientItem* TActionClientItem::Add() {
  items_.push_back(std::make_unique<TActionClientItem>(this));
  return items_.back().get();
}

TActionClientItem* TActionClientItem::AddAction(TAction* a, const AnsiString& ownCaption) {
  TActionClientItem* i = Add();
  i->action_ = a;
  i->caption_ = ownCaption;
  return i;
}

TActionClientItem* TActionClientItem::AddSeparator() {
  TActionClientItem* i = Add();
  i->caption_ = "-";
  return i;
}

TActionClientItem* TActionClientItem::AddSubmenu(const AnsiString& caption) {
  TActionClientItem* i = Add();
  i->caption_ = caption;
  return i;
}

void TActionClientItem::ForgetAction(TAction* a) {
  if (action_ == a) action_ = nullptr;
  for (auto& i : items_) i->ForgetAction(a);
}

// ------------------------------------------------------------------------------ manager

TActionManager::TActionManager(TComponent* AOwner) : TCustomActionList(AOwner), style_(XPStyle()) {}

TActionManager::~TActionManager() {
  for (auto& b : bars_) {
    b.bar->RemoveFreeNotification(this);
    b.bar->SetManager(nullptr);
  }
  bars_.clear();
}

void TActionManager::SetStyle(TActionBarStyle* s) {
  if (!s || s == style_) return;
  style_ = s;
  for (auto& b : bars_) b.bar->ApplyStyle();
}

TActionClientItem* TActionManager::AddActionBar(TCustomActionBar* bar) {
  if (TActionClientItem* have = ItemsOf(bar)) return have;
  if (bar->ActionManager() && bar->ActionManager() != this) return nullptr;
  bars_.push_back(Bar{bar, std::make_unique<TActionClientItem>()});
  bar->SetManager(this);
  bar->FreeNotification(this);
  return bars_.back().root.get();
}

TActionClientItem* TActionManager::ItemsOf(const TCustomActionBar* bar) const {
  for (auto& b : bars_)
    if (b.bar == bar) return b.root.get();
  return nullptr;
}

void TActionManager::RemoveAction(TAction* a) {
  TCustomActionList::RemoveAction(a);
  for (auto& b : bars_) b.root->ForgetAction(a);
}

void TActionManager::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomActionList::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  bars_.erase(std::remove_if(bars_.begin(), bars_.end(),
                             [&](const Bar& b) { return b.bar == AComponent; }),
              bars_.end());
}

// ------------------------------------------------------------------------------ bars

namespace {

std::vector<TActionClientItem*> ShownItems(TActionClientItem* root) {
  std::vector<TActionClientItem*> v;
  if (!root) return v;
  for (int i = 0; i < root->Count(); ++i) {
    TActionClientItem* it = root->Items(i);
    if (!it->Visible() || it->IsSeparator()) continue;
    if (it->Action() && !it->Action()->Visible()) continue;
    v.push_back(it);
  }
  return v;
}

void ObserveTree(TActionClientItem* item, TCustomActionBar* bar, std::vector<TAction*>& seen) {
  for (int i = 0; i < item->Count(); ++i) {
    TActionClientItem* it = item->Items(i);
    if (TAction* a = it->Action()) {
      if (std::find(seen.begin(), seen.end(), a) == seen.end()) {
        seen.push_back(a);
        a->AddObserver(bar);
      }
    }
    ObserveTree(it, bar, seen);
  }
}

QAction* MakeQAction(QObject* parent, TActionClientItem* it, TImageList* images, bool withShortcut) {
  TAction* act = it->Action();
  auto* qa = new QAction(parent);
  TShortCut key = act && act->ShortCut() ? act->ShortCut() : it->ShownShortCut();
  qa->setText(withShortcut ? MenuText(it->DisplayCaption(), key) : QStr(it->DisplayCaption()));
  if (act) {
    qa->setEnabled(act->Enabled());
    qa->setToolTip(PlainToolTip(act->Hint().empty() ? StripHotkey(act->Caption()) : act->Hint()));
    qa->setIcon(ImageListIcon(images, act->ImageIndex()));
    if (act->AutoCheck() || act->GroupIndex() > 0 || act->Checked()) {
      qa->setCheckable(true);
      qa->setChecked(act->Checked());
    }
    qa->setProperty("vtAction", QVariant::fromValue(static_cast<void*>(act)));
    QObject::connect(qa, &QAction::triggered, qa, [act] {
      // The bar keeps the state of the action, not Qt's own toggling.
      GuardedCall(act, [act] { act->Execute(); });
    });
  }
  return qa;
}

}  // namespace

AnsiString StripHotkey(const AnsiString& s) {
  AnsiString r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&') {
      if (i + 1 < s.size() && s[i + 1] == '&') r += '&', ++i;
      continue;
    }
    r += s[i];
  }
  return r;
}

void FillActionMenu(QMenu* menu, TActionClientItem* item, TImageList* images) {
  menu->clear();
  QActionGroup* group = nullptr;
  for (int i = 0; i < item->Count(); ++i) {
    TActionClientItem* it = item->Items(i);
    if (!it->Visible()) continue;
    if (it->IsSeparator()) {
      menu->addSeparator();
      continue;
    }
    TAction* act = it->Action();
    if (act) {
      act->Update();
      if (!act->Visible()) continue;
    }
    if (it->Count() > 0) {
      // Filled when it opens, as every drop-down is.
      QMenu* sub = menu->addMenu(QStr(it->DisplayCaption()));
      QObject::connect(sub, &QMenu::aboutToShow, sub, [sub, it, images] { FillActionMenu(sub, it, images); });
      continue;
    }
    QAction* qa = MakeQAction(menu, it, images, true);
    if (act && act->GroupIndex() > 0) {
      if (!group) {
        group = new QActionGroup(menu);
        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
      }
      group->addAction(qa);
    }
    menu->addAction(qa);
  }
}

TCustomActionBar::TCustomActionBar(TComponent* AOwner) : TWinControl(AOwner) {
  SetBorderStyle(bsNone);
  SetTabStop(false);  // reached by the menu keys, not by Tab
  SetColor(clBtnFace);
}

TCustomActionBar::~TCustomActionBar() {
  Unobserve();
}

void TCustomActionBar::Unobserve() {
  for (TAction* a : observed_) a->RemoveObserver(this);
  observed_.clear();
}

void TCustomActionBar::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == manager_) {
    Unobserve();
    manager_ = nullptr;
  }
}

void TCustomActionBar::CreateWnd() { TWinControl::CreateWnd(); }

void TCustomActionBar::RecreateControls() {
  if (!HandleAllocated()) return;
  Unobserve();
  if (Items()) ObserveTree(Items(), this, observed_);
  Build();
  ApplyStyle();
}

void TCustomActionBar::ApplyStyle() {}

int TCustomActionBar::ItemCount() const { return static_cast<int>(ShownItems(Items()).size()); }

void TCustomActionBar::ClickItem(int i) {
  auto items = ShownItems(Items());
  if (i < 0 || i >= static_cast<int>(items.size())) return;
  TActionClientItem* it = items[size_t(i)];
  if (it->Count() > 0) {
    if (auto* mb = dynamic_cast<TActionMainMenuBar*>(this)) {
      HandleNeeded();
      auto* bar = static_cast<QMenuBar*>(Host()->Native());
      auto acts = bar->actions();
      if (i < acts.size()) bar->setActiveAction(acts[i]);
      (void)mb;
    }
    return;
  }
  if (it->Action()) it->Action()->Execute();
}

void TCustomActionBar::ActionChanged(TAction*) { ScheduleRebuild(); }

void TCustomActionBar::ScheduleRebuild() {
  if (!HandleAllocated()) return;
  QWidget* w = Host()->Native();
  if (!w || w->property("vtRebuildPending").toBool()) return;
  w->setProperty("vtRebuildPending", true);
  QPointer<QWidget> guard(w);
  QTimer::singleShot(0, w, [this, guard] {
    if (!guard) return;
    guard->setProperty("vtRebuildPending", false);
    GuardedCall(this, [this] { Build(); });
  });
}

void TCustomActionBar::ActionFreed(TAction* a) {
  observed_.erase(std::remove(observed_.begin(), observed_.end(), a), observed_.end());
  if (Items()) Items()->ForgetAction(a);
  ActionChanged(a);
}

// ---- main menu bar

TActionMainMenuBar::TActionMainMenuBar(TComponent* AOwner) : TCustomActionBar(AOwner) {
  SetAlign(alTop);
  SetHeight(24);
}

namespace {

// The menu bar of an action bar. The bar that takes the window's menu keys (Alt, F10) works as
// the desktop's menu bar does: the key marks its first entry without opening it and takes the
// keys, the arrows move the mark, Enter or Down opens the marked menu, and Escape or a chosen
// command gives the keys back to the control that had them.
class TMenuBarWidget : public QMenuBar {
public:
  explicit TMenuBarWidget(QWidget* parent) : QMenuBar(parent) {
    QObject::connect(this, &QMenuBar::triggered, this, [this] { GiveKeysBack(); });
  }

  bool Marked() const { return hasFocus() && activeAction(); }
  void Mark() {
    QAction* first = nullptr;
    for (QAction* a : actions())
      if (a->isVisible() && !actionGeometry(a).isEmpty()) {
        first = a;
        break;
      }
    if (!first || Marked()) return;
    QWidget* had = window()->focusWidget();
    if (had && had != this) keysOwner_ = had;
    // The entry the pointer rests on is marked without opening its menu.
    QPoint at = actionGeometry(first).center();
    QMouseEvent rest(QEvent::MouseMove, at, mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(this, &rest);
    setFocus(Qt::MenuBarFocusReason);
  }
  void Unmark() {
    setActiveAction(nullptr);
    GiveKeysBack();
  }

protected:
  void keyPressEvent(QKeyEvent* e) override {
    QMenuBar::keyPressEvent(e);
    if (e->key() == Qt::Key_Escape && !activeAction()) GiveKeysBack();
  }
  void focusOutEvent(QFocusEvent* e) override {
    QMenuBar::focusOutEvent(e);
    // Left for another control of the window (not for an open menu): that one has the keys now.
    if (e->reason() != Qt::PopupFocusReason && window()->focusWidget() != this) keysOwner_ = nullptr;
  }

private:
  // The control that had the keys before the bar took them gets them back; the bar keeps them
  // only while it is worked from the keyboard.
  void GiveKeysBack() {
    QPointer<QWidget> owner = keysOwner_;
    keysOwner_ = nullptr;
    if (window()->focusWidget() != this) return;
    if (owner && owner->isVisible() && owner->isEnabled()) owner->setFocus(Qt::MenuBarFocusReason);
    else clearFocus();
  }

  QPointer<QWidget> keysOwner_;
};

}  // namespace

void TActionMainMenuBar::CreateWnd() {
  TCustomActionBar::CreateWnd();
  auto* bar = new TMenuBarWidget(Host()->Frame());
  bar->setProperty(kMenuKeysProperty, menuEvents_);
  bar->setNativeMenuBar(false);
  Host()->SetNative(bar);
  RecreateControls();
}

void TActionMainMenuBar::Build() {
  auto* bar = static_cast<QMenuBar*>(Host()->Native());
  bar->clear();
  TImageList* images = ActionManager() ? ActionManager()->Images() : nullptr;
  for (TActionClientItem* it : ShownItems(Items())) {
    // Without the menu events the window's menu keys do not reach this bar: no access keys.
    AnsiString caption = it->DisplayCaption();
    QString text = menuEvents_ ? QStr(caption) : QStr(StripHotkey(caption));
    if (it->Count() > 0) {
      // A drop-down is filled each time it opens (its entries' states and pictures as they
      // are then); a window that shows its menu bar makes none of the entries before.
      QMenu* m = bar->addMenu(text);
      QObject::connect(m, &QMenu::aboutToShow, m, [m, it, images] { FillActionMenu(m, it, images); });
    } else {
      QAction* qa = MakeQAction(bar, it, images, false);
      qa->setText(text);
      bar->addAction(qa);
    }
  }
}

void TActionMainMenuBar::ActionChanged(TAction* a) {
  // Drop-down menus are filled each time they open; only a top-level item needs the bar built
  // again (which would close an open menu).
  for (TActionClientItem* it : ShownItems(Items()))
    if (it->Action() == a) {
      ScheduleRebuild();
      return;
    }
  TActionClientItem* root = Items();
  for (int i = 0; root && i < root->Count(); ++i)
    if (root->Items(i)->Action() == a) ScheduleRebuild();  // hidden one may show now
}

void TActionMainMenuBar::ApplyStyle() {
  if (!HandleAllocated()) return;
  bool xp = !ActionManager() || ActionManager()->Style() == XPStyle();
  SetActionBarLook(Host()->Native(), xp, shadows_);
}

void TActionMainMenuBar::SetShadows(bool v) {
  if (v == shadows_) return;
  shadows_ = v;
  ApplyStyle();
}

void TActionMainMenuBar::SetMenuEvents(bool v) {
  if (v == menuEvents_) return;
  menuEvents_ = v;
  if (!HandleAllocated()) return;
  Host()->Native()->setProperty(kMenuKeysProperty, v);
  Build();
}

void TActionMainMenuBar::EnterMenuLoop() {
  HandleNeeded();
  auto* bar = static_cast<QMenuBar*>(Host()->Native());
  auto acts = bar->actions();
  if (acts.isEmpty()) return;
  // The open menu takes the keys; once it closes they are where they were.
  bar->setActiveAction(acts.first());
}

void TActionMainMenuBar::ToggleMenuMode() {
  HandleNeeded();
  auto* bar = static_cast<TMenuBarWidget*>(Host()->Native());
  if (bar->Marked()) bar->Unmark();
  else bar->Mark();
}

int TActionMainMenuBar::ActiveItem() const {
  if (!HandleAllocated()) return -1;
  auto* bar = static_cast<QMenuBar*>(Host()->Native());
  QAction* a = bar->activeAction();
  return a ? static_cast<int>(bar->actions().indexOf(a)) : -1;
}

void TActionMainMenuBar::CloseMenus() {
  if (!HandleAllocated()) return;
  auto* bar = static_cast<TMenuBarWidget*>(Host()->Native());
  if (QAction* a = bar->activeAction())
    if (a->menu()) a->menu()->close();
  bar->setActiveAction(nullptr);
  bar->Unmark();
}

bool TActionMainMenuBar::OpenByAccessKey(const std::string& typedUtf8) {
  if (!menuEvents_ || typedUtf8.empty()) return false;
  QString typed = QString::fromStdString(typedUtf8).toUpper();
  auto items = ShownItems(Items());
  for (size_t i = 0; i < items.size(); ++i) {
    QString cap = QStr(items[i]->DisplayCaption());
    for (int k = 0; k + 1 < cap.size(); ++k) {
      if (cap[k] != QLatin1Char('&')) continue;
      if (cap[k + 1] == QLatin1Char('&')) {
        ++k;
        continue;
      }
      if (QString(cap[k + 1]).toUpper() == typed) {
        ClickItem(static_cast<int>(i));
        return true;
      }
      break;
    }
  }
  return false;
}

// ---- tool bar

TActionToolBar::TActionToolBar(TComponent* AOwner) : TCustomActionBar(AOwner) {
  SetAlign(alTop);
  SetHeight(26);
}

void TActionToolBar::CreateWnd() {
  TCustomActionBar::CreateWnd();
  auto* bar = new QToolBar(Host()->Frame());
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setIconSize(QSize(16, 16));
  bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  Host()->SetNative(bar);
  SetOrientation(orientation_);
  RecreateControls();
}

void TActionToolBar::SetOrientation(TBarOrientation o) {
  orientation_ = o;
  if (HandleAllocated())
    static_cast<QToolBar*>(Host()->Native())
        ->setOrientation(o == boTopToBottom ? Qt::Vertical : Qt::Horizontal);
}

void TActionToolBar::Build() {
  auto* bar = static_cast<QToolBar*>(Host()->Native());
  for (QAction* a : bar->actions()) {
    bar->removeAction(a);
    if (a->parent() == bar) delete a;
  }
  TImageList* images = ActionManager() ? ActionManager()->Images() : nullptr;
  TActionClientItem* root = Items();
  if (!root) return;
  for (int i = 0; i < root->Count(); ++i) {
    TActionClientItem* it = root->Items(i);
    if (!it->Visible()) continue;
    if (it->IsSeparator()) {
      bar->addSeparator();
      continue;
    }
    if (it->Action()) {
      it->Action()->Update();
      if (!it->Action()->Visible()) continue;
    }
    QAction* qa = MakeQAction(bar, it, images, false);
    if (!showHint_) qa->setToolTip(QString());
    if (it->Count() > 0) {
      auto* m = new QMenu(bar);
      QObject::connect(m, &QMenu::aboutToShow, m, [m, it, images] { FillActionMenu(m, it, images); });
      qa->setMenu(m);
    }
    bar->addAction(qa);
  }
}

void TActionToolBar::ActionChanged(TAction* a) {
  if (!HandleAllocated()) return;
  // Buttons follow their action in place; a change of visibility lays the bar out again.
  auto* bar = static_cast<QToolBar*>(Host()->Native());
  TImageList* images = ActionManager() ? ActionManager()->Images() : nullptr;
  bool found = false;
  for (QAction* q : bar->actions()) {
    if (q->property("vtAction").value<void*>() != a) continue;
    found = true;
    if (!a->Visible()) {
      ScheduleRebuild();
      return;
    }
    q->setEnabled(a->Enabled());
    q->setChecked(a->Checked());
    q->setIcon(ImageListIcon(images, a->ImageIndex()));
    if (showHint_) q->setToolTip(PlainToolTip(a->Hint().empty() ? StripHotkey(a->Caption()) : a->Hint()));
  }
  if (!found && a->Visible()) ScheduleRebuild();  // a hidden button shows again
}

void TActionToolBar::ApplyStyle() {
  if (!HandleAllocated()) return;
  bool xp = !ActionManager() || ActionManager()->Style() == XPStyle();
  SetActionBarLook(Host()->Native(), xp, false);
}

int TActionToolBar::ContentLength() {
  HandleNeeded();
  auto* bar = static_cast<QToolBar*>(Host()->Native());
  QSize hint = bar->sizeHint();
  return orientation_ == boTopToBottom ? hint.height() : hint.width();
}

bool TActionToolBar::ButtonShowsImage(int i) {
  HandleNeeded();
  auto* bar = static_cast<QToolBar*>(Host()->Native());
  int n = 0;
  for (QAction* q : bar->actions()) {
    if (q->isSeparator()) continue;
    if (n++ != i) continue;
    auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(q));
    return button && !q->icon().isNull() && button->toolButtonStyle() == Qt::ToolButtonIconOnly;
  }
  return false;
}
