#pragma once
// Menu items and context menus. A menu item may be linked to an action, whose caption, state
// and shortcut it then shows and which it fires when clicked.
#include <memory>
#include <vector>

#include "platform/classes.h"
#include "platform/shortcuts.h"

class TAction;

class TMenuItem : public TComponent {
public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;

  // The caption with "&" before the access key; "-" makes a separator.
  AnsiString Caption() const;
  void SetCaption(const AnsiString& v) { caption_ = v; }
  bool IsLine() const { return Caption() == "-"; }
  bool Checked() const;
  void SetChecked(bool v) { checked_ = v; }
  bool Enabled() const;
  void SetEnabled(bool v) { enabled_ = v; }
  bool Visible() const;
  void SetVisible(bool v) { visible_ = v; }
  bool RadioItem() const { return radio_; }
  void SetRadioItem(bool v) { radio_ = v; }
  int GroupIndex() const { return group_; }
  void SetGroupIndex(int v) { group_ = v; }
  TShortCut ShortCut() const;
  void SetShortCut(TShortCut v) { shortCut_ = v; }
  // The linked action (cleared when the action goes away).
  TAction* Action() const { return action_; }
  void SetAction(TAction* a);

  // Sub-items, owned by this item.
  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int i) const { return items_.at(static_cast<size_t>(i)); }
  TMenuItem* Parent() const { return parentItem_; }
  void Add(TMenuItem* item);
  // Convenience for building: a new sub-item with a caption or an action, or a separator.
  TMenuItem* AddItem(const AnsiString& caption);
  TMenuItem* AddAction(TAction* a);
  TMenuItem* AddSeparator() { return AddItem("-"); }
  void Remove(TMenuItem* item);
  void Clear();

  // What a click does: the action's Execute when linked, else OnClick.
  virtual void Click();
  TNotifyEvent OnClick;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  AnsiString caption_;
  bool checked_ = false, enabled_ = true, visible_ = true, radio_ = false;
  int group_ = 0;
  TShortCut shortCut_ = 0;
  TAction* action_ = nullptr;
  TMenuItem* parentItem_ = nullptr;
  std::vector<TMenuItem*> items_;
};

// A context menu: a root item whose sub-items pop up at a screen point.
class TPopupMenu : public TComponent {
public:
  explicit TPopupMenu(TComponent* AOwner);
  ~TPopupMenu() override;
  TMenuItem* Items() const { return root_; }
  // Shows the menu at a screen point and returns at once (the menu stays open until the user
  // picks or dismisses it).
  virtual void Popup(int X, int Y);
  // The control that was right-clicked.
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* c) { popupComponent_ = c; }
  // Whether the menu is showing now (for tests).
  bool IsPoppedUp() const;
  // Closes an open menu.
  void CloseUp();
  TNotifyEvent OnPopup;

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  TMenuItem* root_;
  TComponent* popupComponent_ = nullptr;
};
