#pragma once
// Standard controls: panels, labels and the status bar paint themselves; buttons, edits, memos,
// check boxes and combo boxes wrap the desktop's native widgets. All are children of a form or
// panel through SetParent and show inside it.
#include <memory>
#include <vector>

#include "platform/classes.h"
#include "platform/controls.h"
#include "platform/graphics.h"

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// A caption as shown: the access-key marks taken out ("&&" shows one "&").
AnsiString StripHotkeyText(const AnsiString& caption);
enum TBevelCut { bvNone, bvLowered, bvRaised };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// A windowed control with a font and a caption (the caption is used where a control shows one).
class TTextControl : public TCustomControl {
public:
  explicit TTextControl(TComponent* AOwner);
  ~TTextControl() override;
  TFont* Font() { return &font_; }
  const AnsiString& Caption() const { return caption_; }
  virtual void SetCaption(const AnsiString& v);

protected:
  void CreateWnd() override;
  virtual void FontChanged();
  // Sets up a native widget in place of the painted client area (font, context menu).
  void UseNative(void* widget);
  AnsiString caption_;

private:
  void FontChange(TObject*) { FontChanged(); }
  TFont font_;
};

class TPanel : public TTextControl {
public:
  explicit TPanel(TComponent* AOwner);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut b) { bevelOuter_ = b; Invalidate(); }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a) { alignment_ = a; Invalidate(); }
  void SetCaption(const AnsiString& v) override;
  // What a left click does: OnClick.
  virtual void Click();

protected:
  void Paint(TCanvas* Canvas, const TRect& Clip) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void FontChanged() override { Invalidate(); }

private:
  TBevelCut bevelOuter_ = bvRaised;
  TAlignment alignment_ = taCenter;
};

class TLabel : public TTextControl {
public:
  explicit TLabel(TComponent* AOwner);
  void SetCaption(const AnsiString& v) override;
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a) { alignment_ = a; Invalidate(); }

protected:
  void Paint(TCanvas* Canvas, const TRect& Clip) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void FontChanged() override { Invalidate(); }

private:
  TAlignment alignment_ = taLeftJustify;
};

class TButton : public TTextControl {
public:
  explicit TButton(TComponent* AOwner);
  void SetCaption(const AnsiString& v) override;
  // Clicking sets the form's modal result to this value (when not mrNone).
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int v) { modalResult_ = v; }
  bool Default() const { return default_; }
  void SetDefault(bool v);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  // As a user's click: OnClick, then the modal result.
  virtual void Click();

protected:
  void CreateWnd() override;

private:
  int modalResult_ = 0;
  bool default_ = false, cancel_ = false;
};

class TCheckBox : public TTextControl {
public:
  explicit TCheckBox(TComponent* AOwner);
  void SetCaption(const AnsiString& v) override;
  bool Checked() const { return checked_; }
  // Fires OnClick when the state changes, as a click does.
  void SetChecked(bool v);

protected:
  void CreateWnd() override;

private:
  bool checked_ = false;
};

class TEdit : public TTextControl {
public:
  explicit TEdit(TComponent* AOwner);
  AnsiString Text() const;
  void SetText(const AnsiString& v);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  // A character other than #0 is shown in place of every typed one (passwords).
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char c);
  // The most characters the user may type; 0 for no limit.
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int n);
  TNotifyEvent OnChange;

protected:
  void CreateWnd() override;

private:
  AnsiString text_;
  bool readOnly_ = false;
  char passwordChar_ = 0;
  int maxLength_ = 0;
};

// Several lines of plain text. Lines holds the text; edits by the user are written back to it.
class TMemo : public TTextControl {
public:
  explicit TMemo(TComponent* AOwner);
  ~TMemo() override;
  TStrings* Lines() { return &lines_; }
  AnsiString Text() const;
  void SetText(const AnsiString& v);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle s);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  void SelectAll();
  AnsiString SelText() const;
  void CutToClipboard();
  void CopyToClipboard();
  void PasteFromClipboard();
  // Whether the user changed the text (typing, cutting, pasting) since the program last set it
  // through Lines or SetText.
  bool Modified() const { return modified_; }
  void SetModified(bool v) { modified_ = v; }
  TNotifyEvent OnChange;

protected:
  void CreateWnd() override;

private:
  void LinesChange(TObject*);
  void PushText();
  TStringList lines_;
  TScrollStyle scrollBars_ = ssNone;
  bool wordWrap_ = true, readOnly_ = false, syncing_ = false, modified_ = false;
};

enum TComboBoxStyle { csDropDown, csDropDownList };

class TComboBox : public TTextControl {
public:
  explicit TComboBox(TComponent* AOwner);
  ~TComboBox() override;
  TStrings* Items() { return &items_; }
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle s);
  AnsiString Text() const;
  void SetText(const AnsiString& v);
  int ItemIndex() const;
  void SetItemIndex(int i);
  TNotifyEvent OnChange;

protected:
  void CreateWnd() override;

private:
  void ItemsChange(TObject*);
  void PushItems();
  TStringList items_;
  TComboBoxStyle style_ = csDropDown;
  AnsiString text_;
  int itemIndex_ = -1;
  bool syncing_ = false;
};

// ---- status bar

class TStatusBar;

class TStatusPanel {
public:
  explicit TStatusPanel(TStatusBar* bar) : bar_(bar) {}
  const AnsiString& Text() const { return text_; }
  void SetText(const AnsiString& v);
  int Width() const { return width_; }
  void SetWidth(int v);

private:
  TStatusBar* bar_;
  AnsiString text_;
  int width_ = 50;
};

class TStatusPanels {
public:
  explicit TStatusPanels(TStatusBar* bar) : bar_(bar) {}
  TStatusPanel* Add();
  int Count() const { return static_cast<int>(items_.size()); }
  TStatusPanel* Items(int i) const { return items_.at(static_cast<size_t>(i)).get(); }
  TStatusPanel* operator[](int i) const { return Items(i); }
  void Clear();

private:
  TStatusBar* bar_;
  std::vector<std::unique_ptr<TStatusPanel>> items_;
};

// A bar of text panels along the bottom of a form; the last panel takes what width is left.
class TStatusBar : public TTextControl {
public:
  explicit TStatusBar(TComponent* AOwner);
  TStatusPanels* Panels() { return &panels_; }
  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool v) { simplePanel_ = v; Invalidate(); }
  const AnsiString& SimpleText() const { return simpleText_; }
  void SetSimpleText(const AnsiString& v) { simpleText_ = v; Invalidate(); }
  // The panel under a client point, -1 when none.
  int PanelAt(int X) const;

protected:
  void Paint(TCanvas* Canvas, const TRect& Clip) override;
  void FontChanged() override { Invalidate(); }

private:
  TStatusPanels panels_;
  bool simplePanel_ = false;
  AnsiString simpleText_;
};
