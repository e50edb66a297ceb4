#pragma once
// More standard controls for dialogs: group boxes, radio buttons and radio groups, list boxes
// and page controls with tab sheets.
#include <vector>

#include "platform/stdctrls.h"

// A frame with a caption around controls placed inside it.
class TGroupBox : public TTextControl {
public:
  explicit TGroupBox(TComponent* AOwner);

protected:
  void Paint(TCanvas* Canvas, const TRect& Clip) override;
  void FontChanged() override { Invalidate(); }
};

// A radio button; checking one unchecks the other radio buttons of the same parent.
class TRadioButton : public TTextControl {
public:
  explicit TRadioButton(TComponent* AOwner);
  void SetCaption(const AnsiString& v) override;
  bool Checked() const { return checked_; }
  // Fires OnClick when it becomes checked.
  void SetChecked(bool v);
  // An arrow key: the focus goes to the next (or previous) radio button of the same parent that
  // can take it, around the end, and checks it.
  void SelectInGroup(bool Forward);

protected:
  void CreateWnd() override;
  // Tab stops at one button of a group: the checked one, or the first when none is.
  bool IsTabStopNow() const override;

private:
  bool checked_ = false;
};

// A group box of radio buttons, one per item; ItemIndex is the checked one (-1: none).
class TRadioGroup : public TGroupBox {
public:
  explicit TRadioGroup(TComponent* AOwner);
  ~TRadioGroup() override;
  TStrings* Items() { return &items_; }
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int i);
  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  TRadioButton* Buttons(int i) const { return buttons_.at(static_cast<size_t>(i)); }

protected:
  void Resize() override;

private:
  void ItemsChange(TObject*);
  void ButtonClick(TObject* Sender);
  void Arrange();
  TStringList items_;
  std::vector<TRadioButton*> buttons_;
  int itemIndex_ = -1;
  bool updating_ = false;
};

class TListBox : public TTextControl {
public:
  explicit TListBox(TComponent* AOwner);
  ~TListBox() override;
  TStrings* Items() { return &items_; }
  int ItemIndex() const;
  void SetItemIndex(int i);

protected:
  void CreateWnd() override;

private:
  void ItemsChange(TObject*);
  void PushItems();
  TStringList items_;
  int itemIndex_ = -1;
  bool syncing_ = false;
};

// Two arrow buttons that step a number shown in an associated edit.
class TUpDown : public TTextControl {
public:
  explicit TUpDown(TComponent* AOwner);
  ~TUpDown() override;
  // The edit that shows the position (cleared when the edit goes away).
  TEdit* Associate() const { return associate_; }
  void SetAssociate(TEdit* e);
  int Min() const { return min_; }
  void SetMin(int v) { min_ = v; SetPosition(position_); }
  int Max() const { return max_; }
  void SetMax(int v) { max_ = v; SetPosition(position_); }
  // The edit's number when it holds one, else the last position set.
  int Position() const;
  void SetPosition(int v);
  // As a click on the upper (true) or lower arrow.
  void Step(bool up);

protected:
  void Paint(TCanvas* Canvas, const TRect& Clip) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  TEdit* associate_ = nullptr;
  int min_ = 0, max_ = 100, position_ = 0;
};

class TPageControl;

// A page of a page control: a panel shown while its tab is active.
class TTabSheet : public TTextControl {
public:
  explicit TTabSheet(TComponent* AOwner);
  ~TTabSheet() override;
  TPageControl* PageControl() const { return pageControl_; }
  void SetPageControl(TPageControl* pc);
  int PageIndex() const;

protected:
  void Paint(TCanvas* Canvas, const TRect& Clip) override;

private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
};

// Tabs along the top; the sheet of the active tab fills the rest.
class TPageControl : public TTextControl {
public:
  explicit TPageControl(TComponent* AOwner);
  ~TPageControl() override;
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* Pages(int i) const { return pages_.at(static_cast<size_t>(i)); }
  TTabSheet* ActivePage() const;
  void SetActivePage(TTabSheet* p);
  int ActivePageIndex() const { return active_; }
  void SetActivePageIndex(int i);
  // The tab under a client point, -1 when none.
  int TabAt(int X, int Y);
  int TabHeight() const { return 22; }
  TNotifyEvent OnChange;

protected:
  void Paint(TCanvas* Canvas, const TRect& Clip) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void Resize() override;

private:
  friend class TTabSheet;
  void Insert(TTabSheet* p);
  void Remove(TTabSheet* p);
  void Arrange();
  std::vector<TTabSheet*> pages_;
  int active_ = -1;
};
