#pragma once
// Forms: top-level windows with a caption, a position rule, window state and placement (frame
// geometry), modal showing with a modal result, closing with a close query and a close action,
// key preview and the shortcuts of the actions the form owns.
#include <vector>

#include "platform/controls.h"
#include "platform/shortcuts.h"

using TModalResult = int;
enum : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
             mrYes = 6, mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10 };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter,
                 poDesktopCenter, poMainFormCenter, poOwnerFormCenter };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
// Window frames of a form (bsNone and bsSingle come from TBorderStyle).
enum TFormBorderStyle : int { fbsNone = 0, fbsSingle = 1, bsSizeable = 2, bsDialog = 3,
                              bsToolWindow = 4, bsSizeToolWin = 5 };

using TCloseEvent = TMethod<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = TMethod<void(TObject* Sender, bool& CanClose)>;

class TCustomForm : public TWinControl {
public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;

  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& v);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition p) { position_ = p; }
  TWindowState WindowState() const;
  void SetWindowState(TWindowState s);
  int FormBorderStyle() const { return formBorder_; }
  void SetFormBorderStyle(int s);
  // The control that has the keyboard focus when the form shows.
  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* c);
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool v) { keyPreview_ = v; }

  // Placement is the frame's geometry (decorations included); while maximised, a new placement
  // becomes the normal-state placement and the form stays maximised.
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  // A client size asked for before the window manager told the decorations stays the client
  // size: the frame grows by them when they become known.
  void SetClientSize(int w, int h) override;
  void SetVisible(bool v) override;
  void SetEnabled(bool v) override;
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Shows the form modally and returns its modal result. The dialog hook (dialogs.h) is asked
  // first with the form showing; its answer becomes the modal result (no answer: the form is
  // cancelled when no user can answer).
  virtual int ShowModal();
  bool Modal() const { return modal_; }
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult r);
  // Asks OnCloseQuery; true when the form may close.
  virtual bool CloseQuery();
  // Closes the form: close query, OnClose with caHide (the main form ends the application,
  // caFree frees the form after the current message, caMinimize minimises, caNone keeps it).
  void Close();
  // Frees the form once control returns to the message loop.
  void Release();
  // Whether the form is the active window.
  bool Active() const;
  void BringToFront();
  // The form whose window owns this one's: the first form among the owners, else the
  // application's main form. The window system keeps an owned window above its owner's (its
  // transient parent) while both show; while the owner is switched off (SetEnabled(false)) for
  // the owned window, the control that had the focus in it gets it back when it is switched on
  // again, and closing the owned window activates the owner.
  TCustomForm* OwnerForm() const;
  // The form whose window the window system keeps this one above now (the transient parent of
  // its window), or nullptr.
  TCustomForm* ShownAbove() const;

  // Fires an action of the form's action lists for a shortcut; true when one took it.
  virtual bool IsShortCut(TShortCut sc);
  // Called by the application with each key that reaches the form's window; true when the
  // key was consumed (key preview, action shortcuts, menu keys).
  bool HandleFormKey(Word vk, TShiftState shift, const std::string& textUtf8);
  bool HandleMenuKey();

  // OnCreate and OnDestroy: run by the application object after construction and by Release
  // before freeing (a form freed by a plain delete runs OnDestroy from its destructor).
  void DoCreate();
  void DoDestroy();
  TNotifyEvent OnCreate, OnDestroy, OnShow, OnHide, OnActivate, OnDeactivate;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

  // Platform use: the frame was moved, resized or changed state by the window system.
  void FrameGeometryChanged();
  void FrameStateChanged();
  void FrameCloseRequested();

protected:
  void CreateWnd() override;
  void DestroyWnd() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // The client area in the form's colour, where no control covers it.
  void Paint(TCanvas* Canvas, const TRect& Clip) override;
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& Action);

private:
  void ApplyGeometry();
  // Gives the frame back the normal-state placement after the window first left the state it
  // was shown in (below), once the window system tells the frame's decorations.
  void FitRestoredFrame();
  void ApplyPosition();
  void CloseModal();
  // Hides the window; the owner's window is activated when this one was the active one.
  void HideFrame(bool NotifyHide);
  AnsiString caption_;
  TWinControl* activeControl_ = nullptr;
  TPosition position_ = poDesigned;
  TWindowState state_ = wsNormal;
  TRect normal_{0, 0, 0, 0};
  int formBorder_ = bsSizeable;
  bool keyPreview_ = false;
  bool modal_ = false;
  bool positioned_ = false;
  bool created_ = false, destroyed_ = false;
  bool applying_ = false;
  bool frameFitPending_ = false;  // shown before the window system told the frame's size
  bool clientSized_ = false;      // the placement's size is the client area's, decorations unknown
  // Shown maximised or minimised before the window system told the decorations: the size the
  // window manager keeps for the normal state is the placement's as a client size.
  bool restoreFitPending_ = false;
  bool restoreFitTimed_ = false;
  int mappedWidth_ = 0, mappedHeight_ = 0;  // the client size the window was mapped with
  TModalResult modalResult_ = mrNone;
  void* watcher_ = nullptr;
};

class TForm : public TCustomForm {
public:
  explicit TForm(TComponent* AOwner) : TCustomForm(AOwner) {}
};

// The form that holds a control, or nullptr.
TCustomForm* GetParentForm(TControl* Control);

// For tests and scripted runs: the window system puts the shown window of a form in a state by
// itself, as the window manager does when the user clicks its maximise or restore button (not
// through SetWindowState).
void SimulateWindowManagerState(TCustomForm* Form, TWindowState State);

// The screen: size of the primary screen and the forms that exist.
class TScreen {
public:
  int Width() const;
  int Height() const;
  int FormCount() const { return static_cast<int>(forms_.size()); }
  TCustomForm* Forms(int i) const { return forms_.at(static_cast<size_t>(i)); }
  TCustomForm* ActiveForm() const;

private:
  friend class TCustomForm;
  std::vector<TCustomForm*> forms_;
};
extern TScreen* const Screen;
