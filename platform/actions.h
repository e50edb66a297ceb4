#pragma once
// Actions and their lists: what the user can do, with caption, hint, image, shortcuts and
// check-mark behaviour; menus, tool-bar buttons and shortcuts only fire actions. The action
// manager also lays actions out on action bars (main menu bars and tool bars) as a tree of
// items, drawn in one of two looks ("Standard" and "XP Style").
#include <memory>
#include <vector>

#include "platform/classes.h"
#include "platform/controls.h"
#include "platform/shortcuts.h"

class TCustomActionList;
class TImageList;

// A caption without its access-key marks ("&&" stays one "&").
AnsiString StripHotkey(const AnsiString& s);
class TAction;

// Told when an action's caption or state changes and when it goes away.
class TActionObserver {
public:
  virtual ~TActionObserver() = default;
  virtual void ActionChanged(TAction* Action) = 0;
  virtual void ActionFreed(TAction* Action) = 0;
};

class TAction : public TComponent {
public:
  explicit TAction(TComponent* AOwner);
  ~TAction() override;

  TCustomActionList* ActionList() const { return list_; }
  void SetActionList(TCustomActionList* list);
  const AnsiString& Category() const { return category_; }
  void SetCategory(const AnsiString& v) { category_ = v; Changed(); }
  // Caption with "&" before the access key.
  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& v);
  const AnsiString& Hint() const { return hint_; }
  void SetHint(const AnsiString& v) { hint_ = v; Changed(); }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int v) { imageIndex_ = v; Changed(); }
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut v) { shortCut_ = v; Changed(); }
  // Further shortcuts that fire the action (they are not shown in menus).
  const std::vector<TShortCut>& SecondaryShortCuts() const { return secondary_; }
  void AddSecondaryShortCut(TShortCut v) { secondary_.push_back(v); }
  void ClearSecondaryShortCuts() { secondary_.clear(); }
  bool HandlesShortCut(TShortCut sc) const;
  // Setting the mark of an action in a non-zero group clears the marks of its group's others.
  bool Checked() const { return checked_; }
  void SetChecked(bool v);
  // The action toggles its own mark when fired (an action of a group only sets it).
  bool AutoCheck() const { return autoCheck_; }
  void SetAutoCheck(bool v) { autoCheck_ = v; }
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int v);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);

  // Runs OnUpdate; true when a handler ran.
  virtual bool Update();
  // Updates the action, then, when it is enabled, applies AutoCheck and runs OnExecute; true
  // when a handler ran.
  virtual bool Execute();

  TNotifyEvent OnExecute, OnUpdate;

  void AddObserver(TActionObserver* o);
  void RemoveObserver(TActionObserver* o);

protected:
  friend class TCustomActionList;
  void Changed();

private:
  TCustomActionList* list_ = nullptr;
  AnsiString category_, caption_, hint_;
  int imageIndex_ = -1;
  TShortCut shortCut_ = 0;
  std::vector<TShortCut> secondary_;
  bool checked_ = false, autoCheck_ = false, enabled_ = true, visible_ = true;
  int groupIndex_ = 0;
  std::vector<TActionObserver*> observers_;
};

// A list of actions with a common image list.
class TCustomActionList : public TComponent {
public:
  explicit TCustomActionList(TComponent* AOwner);
  ~TCustomActionList() override;
  int ActionCount() const { return static_cast<int>(actions_.size()); }
  TAction* Actions(int i) const { return actions_.at(static_cast<size_t>(i)); }
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* v);
  // Creates an action owned by the list's owner, named and put into this list.
  TAction* NewAction(const AnsiString& name, const AnsiString& category, const AnsiString& caption,
                     TShortCut shortCut = 0);
  // The enabled, visible action that a shortcut fires (main or secondary), or nullptr.
  TAction* FindShortCut(TShortCut sc) const;
  // Fires the action of a shortcut; true when one took it.
  bool IsShortCut(TShortCut sc);
  // Runs every action's OnUpdate (the application does it when idle).
  void UpdateActions();

protected:
  friend class TAction;
  virtual void AddAction(TAction* a);
  virtual void RemoveAction(TAction* a);
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  std::vector<TAction*> actions_;
  TImageList* images_ = nullptr;
};

class TActionList : public TCustomActionList {
public:
  using TCustomActionList::TCustomActionList;
};

// One look of the action bars.
class TActionBarStyle {
public:
  explicit TActionBarStyle(AnsiString name) : name_(std::move(name)) {}
  const AnsiString& Name() const { return name_; }

private:
  AnsiString name_;
};
TActionBarStyle* StandardStyle();  // "Standard"
TActionBarStyle* XPStyle();        // "XP Style"
// The style of a name (exact), or nullptr.
TActionBarStyle* ActionBarStyleByName(const AnsiString& name);

class TCustomActionBar;

// An item of an action bar: an action, a separator ("-") or a submenu with items of its own.
class TActionClientItem {
public:
  explicit TActionClientItem(TActionClientItem* parent = nullptr) : parent_(parent) {}
  TAction* Action() const { return action_; }
  void SetAction(TAction* a) { action_ = a; }
  // The item's own caption; empty: the action's.
  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& c) { caption_ = c; }
  AnsiString DisplayCaption() const;
  bool IsSeparator() const { return !action_ && caption_ == "-"; }
  // A key shown beside the item when its action has no shortcut of its own: a key that the
  // focused control handles itself (the editor's Ctrl+C for Copy), which the action must not
  // take from the other controls.
  TShortCut ShownShortCut() const { return shownShortCut_; }
  void SetShownShortCut(TShortCut sc) { shownShortCut_ = sc; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  int Count() const { return static_cast<int>(items_.size()); }
  TActionClientItem* Items(int i) const { return items_.at(static_cast<size_t>(i)).get(); }
  TActionClientItem* Parent() const { return parent_; }

  TActionClientItem* Add();
  TActionClientItem* AddAction(TAction* a, const AnsiString& ownCaption = AnsiString());
  TActionClientItem* AddSeparator();
  TActionClientItem* AddSubmenu(const AnsiString& caption);
  void Clear() { items_.clear(); }
  // Drops every reference to an action that goes away.
  void ForgetAction(TAction* a);

private:
  TActionClientItem* parent_;
  TAction* action_ = nullptr;
  AnsiString caption_;
  TShortCut shownShortCut_ = 0;
  bool visible_ = true;
  std::vector<std::unique_ptr<TActionClientItem>> items_;
};

// Holds the actions and the item trees of its action bars, and their common look.
class TActionManager : public TCustomActionList {
public:
  explicit TActionManager(TComponent* AOwner);
  ~TActionManager() override;
  TActionBarStyle* Style() const { return style_; }
  void SetStyle(TActionBarStyle* s);
  // Gives a bar to the manager; the returned root item is the bar's item tree, filled in order.
  TActionClientItem* AddActionBar(TCustomActionBar* bar);
  int ActionBarCount() const { return static_cast<int>(bars_.size()); }
  TCustomActionBar* ActionBars(int i) const { return bars_.at(static_cast<size_t>(i)).bar; }
  TActionClientItem* ActionBarItems(int i) const { return bars_.at(static_cast<size_t>(i)).root.get(); }
  TActionClientItem* ItemsOf(const TCustomActionBar* bar) const;

protected:
  void RemoveAction(TAction* a) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  struct Bar {
    TCustomActionBar* bar;
    std::unique_ptr<TActionClientItem> root;
  };
  std::vector<Bar> bars_;
  TActionBarStyle* style_;
};

enum TBarOrientation { boLeftToRight, boTopToBottom };

// A bar that shows the items its action manager holds for it.
class TCustomActionBar : public TWinControl, public TActionObserver {
public:
  explicit TCustomActionBar(TComponent* AOwner);
  ~TCustomActionBar() override;
  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& v) { caption_ = v; }
  TActionManager* ActionManager() const { return manager_; }
  TActionClientItem* Items() const { return manager_ ? manager_->ItemsOf(this) : nullptr; }
  // Builds the bar's buttons or menus again from the item tree (after filling or changing it).
  void RecreateControls();
  // The look changed (the manager's style or shadows).
  virtual void ApplyStyle();
  // Number of top-level items shown.
  int ItemCount() const;
  // Fires the top-level item i as a click would (a submenu opens).
  void ClickItem(int i);

  void ActionChanged(TAction* Action) override;
  void ActionFreed(TAction* Action) override;

protected:
  friend class TActionManager;
  void SetManager(TActionManager* m) { manager_ = m; }
  void CreateWnd() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  virtual void Build() = 0;
  void Unobserve();
  // Builds the bar again once control returns to the event loop (an action's own handler may
  // be running from one of the bar's entries).
  void ScheduleRebuild();
  std::vector<TAction*> observed_;

private:
  AnsiString caption_;
  TActionManager* manager_ = nullptr;
};

// The menu bar of a window; several may exist, the one with menu events takes Alt and F10.
class TActionMainMenuBar : public TCustomActionBar {
public:
  explicit TActionMainMenuBar(TComponent* AOwner);
  bool Shadows() const { return shadows_; }
  void SetShadows(bool v);
  // The window's menu keys (Alt, F10) reach this bar (on by default).
  bool MenuEvents() const { return menuEvents_; }
  void SetMenuEvents(bool v);
  // Selects the first item and opens its menu for keyboard navigation.
  void EnterMenuLoop();
  // The window's menu key (Alt alone, F10) on the bar with menu events: marks the first item
  // without opening it and takes the keys, or, when marked, gives them back to the control that
  // had them.
  void ToggleMenuMode();
  // Index of the open (or selected) top-level item, -1 when none.
  int ActiveItem() const;
  void CloseMenus();
  // Opens the item whose caption's access key is the character typed (UTF-8); true when one.
  bool OpenByAccessKey(const std::string& typedUtf8);
  void ApplyStyle() override;
  void ActionChanged(TAction* Action) override;

protected:
  void CreateWnd() override;
  void Build() override;

private:
  bool shadows_ = true;
  bool menuEvents_ = true;
};

// A tool bar of buttons, with icons only unless an item asks for its caption.
class TActionToolBar : public TCustomActionBar {
public:
  explicit TActionToolBar(TComponent* AOwner);
  TBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TBarOrientation o);
  // Tool tips show the actions' hints.
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool v) { showHint_ = v; }
  void ApplyStyle() override;
  void ActionChanged(TAction* Action) override;
  // The length (width, or height when vertical) in pixels that every button of the bar needs
  // to show without an overflow arrow.
  int ContentLength();
  // Whether the button of top-level item i shows a picture (not its caption).
  bool ButtonShowsImage(int i);

protected:
  void CreateWnd() override;
  void Build() override;

private:
  TBarOrientation orientation_ = boLeftToRight;
  bool showHint_ = true;
};
