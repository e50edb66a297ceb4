#pragma once
// Windows and controls: a control's window is a real Qt widget whose events arrive as window
// messages at the control's WndProc. Also the system caret, scroll bars, key state, mouse
// capture and timers.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/classes.h"
#include "platform/colors.h"
#include "platform/graphics_types.h"
#include "platform/keys.h"

class TCanvas;
class TControlHost;  // the Qt side of a window (platform-internal)

// Window message numbers as the controls know them.
enum : unsigned {
  WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_SIZE = 0x0005, WM_SETFOCUS = 0x0007,
  WM_KILLFOCUS = 0x0008, WM_SETTEXT = 0x000C, WM_GETTEXT = 0x000D, WM_GETTEXTLENGTH = 0x000E,
  WM_PAINT = 0x000F, WM_ERASEBKGND = 0x0014, WM_CANCELMODE = 0x001F, WM_SETCURSOR = 0x0020, WM_GETDLGCODE = 0x0087,
  WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101, WM_CHAR = 0x0102, WM_SYSKEYDOWN = 0x0104,
  WM_SYSKEYUP = 0x0105, WM_SYSCHAR = 0x0106, WM_IME_STARTCOMPOSITION = 0x010D,
  WM_IME_ENDCOMPOSITION = 0x010E, WM_IME_COMPOSITION = 0x010F, WM_TIMER = 0x0113,
  WM_HSCROLL = 0x0114, WM_VSCROLL = 0x0115, WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202, WM_LBUTTONDBLCLK = 0x0203, WM_RBUTTONDOWN = 0x0204,
  WM_RBUTTONUP = 0x0205, WM_RBUTTONDBLCLK = 0x0206, WM_MBUTTONDOWN = 0x0207,
  WM_MBUTTONUP = 0x0208, WM_MBUTTONDBLCLK = 0x0209, WM_MOUSEWHEEL = 0x020A,
  WM_CAPTURECHANGED = 0x0215, WM_DROPFILES = 0x0233, WM_CUT = 0x0300, WM_COPY = 0x0301,
  WM_PASTE = 0x0302, WM_CLEAR = 0x0303, WM_UNDO = 0x0304,
};
// Mouse-message key flags in WParam.
enum : unsigned { MK_LBUTTON = 1, MK_RBUTTON = 2, MK_SHIFT = 4, MK_CONTROL = 8, MK_MBUTTON = 0x10 };
// Scroll-bar message codes (low word of WParam; the high word holds a 16-bit thumb position).
enum : unsigned { SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3,
                  SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5, SB_TOP = 6, SB_BOTTOM = 7,
                  SB_ENDSCROLL = 8 };
enum : int { SB_HORZ = 0, SB_VERT = 1, SB_BOTH = 3 };
enum : unsigned { SIF_RANGE = 1, SIF_PAGE = 2, SIF_POS = 4, SIF_DISABLENOSCROLL = 8,
                  SIF_TRACKPOS = 0x10, SIF_ALL = 0x17 };
enum : unsigned { ESB_ENABLE_BOTH = 0, ESB_DISABLE_LEFT = 1, ESB_DISABLE_UP = 1,
                  ESB_DISABLE_RIGHT = 2, ESB_DISABLE_DOWN = 2, ESB_DISABLE_BOTH = 3 };
// Dialog codes answered to WM_GETDLGCODE.
enum : unsigned { DLGC_WANTARROWS = 1, DLGC_WANTTAB = 2, DLGC_WANTALLKEYS = 4,
                  DLGC_WANTCHARS = 0x80 };
// Window styles the controls set in CreateParams.
enum : uint32_t { WS_BORDER = 0x00800000, WS_CLIPCHILDREN = 0x02000000, WS_VSCROLL = 0x00200000,
                  WS_HSCROLL = 0x00100000, WS_TABSTOP = 0x00010000 };
enum : uint32_t { WS_EX_ACCEPTFILES = 0x10, WS_EX_TOOLWINDOW = 0x80, WS_EX_CLIENTEDGE = 0x200,
                  WS_EX_NOACTIVATE = 0x08000000 };
enum : uint32_t { CS_VREDRAW = 1, CS_HREDRAW = 2, CS_DBLCLKS = 8 };
// Hit-test code of WM_SETCURSOR (low word of LParam): the pointer is over the client area.
constexpr unsigned HTCLIENT = 1;
// Key-data bit of key and character messages: Alt is held.
constexpr intptr_t KF_ALTDOWN_BIT = 0x20000000;
// Composition-message flag: the result string is ready.
constexpr uintptr_t GCS_RESULTSTR = 0x800;

struct TMessage {
  unsigned Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  intptr_t Result = 0;
};

inline int LoWordSigned(intptr_t v) { return static_cast<int16_t>(v & 0xFFFF); }
inline int HiWordSigned(intptr_t v) { return static_cast<int16_t>((v >> 16) & 0xFFFF); }
inline unsigned LoWord(uintptr_t v) { return static_cast<unsigned>(v & 0xFFFF); }
inline unsigned HiWord(uintptr_t v) { return static_cast<unsigned>((v >> 16) & 0xFFFF); }
inline intptr_t MakeLParam(int lo, int hi) {
  return static_cast<intptr_t>(static_cast<uint32_t>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)));
}

struct TCreateParams {
  uint32_t Style = 0;
  uint32_t ExStyle = 0;
  uint32_t WindowClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
};

struct TScrollInfo {
  unsigned fMask = 0;
  int nMin = 0, nMax = 0;
  unsigned nPage = 0;
  int nPos = 0, nTrackPos = 0;
};

enum TBorderStyle { bsNone, bsSingle };
// Where a control sits in its parent: aligned controls are laid out when the parent resizes
// (top and bottom first, then left and right, the client control takes what is left).
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TWinControl;
class TPopupMenu;

// Dragging of controls within the program (the drag in progress: platform/drag.h).
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
using TDragOverEvent = TMethod<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = TMethod<void(TObject* Sender, TObject* Source, int X, int Y)>;

// A visual element with a position inside its parent.
class TControl : public TComponent {
public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* AParent);
  int Left() const { return bounds_.Left; }
  int Top() const { return bounds_.Top; }
  int Width() const { return bounds_.Width(); }
  int Height() const { return bounds_.Height(); }
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  void SetWidth(int w) { SetBounds(Left(), Top(), w, Height()); }
  void SetHeight(int h) { SetBounds(Left(), Top(), Width(), h); }
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool v);
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool v);
  TColor Color() const { return color_; }
  virtual void SetColor(TColor c);
  TCursor Cursor() const { return cursor_; }
  virtual void SetCursor(TCursor c);

  TAlign Align() const { return align_; }
  void SetAlign(TAlign a);
  // The context menu shown on a right click (a free notification clears it).
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* m);

  virtual void Invalidate() {}
  // The message entry: every window message of the control passes here.
  virtual void WndProc(TMessage& Message);
  intptr_t Perform(unsigned Msg, uintptr_t WParam, intptr_t LParam);

  // Dragging of this control: at once, or once the pointer has moved by Threshold pixels (the
  // system drag distance when below 0) with the button still down. The drag ends at the
  // release (a drop on the control under the pointer when it accepts) or with Escape.
  void BeginDrag(bool Immediate, int Threshold = -1);
  bool Dragging() const;
  void EndDrag(bool Drop);
  // The cursor shown while a drag over this control would be accepted.
  TCursor DragCursor() const { return dragCursor_; }
  void SetDragCursor(TCursor c) { dragCursor_ = c; }
  // The target's side, in its client coordinates: DragOver answers whether a drop would be
  // taken (the default asks OnDragOver, refusing when it is unassigned), DragDrop takes it.
  // The source hears DragCanceled when its drag ends without a drop.
  virtual void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept);
  virtual void DragDrop(TObject* Source, int X, int Y);
  virtual void DragCanceled() {}
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;

protected:
  friend class TWinControl;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  TWinControl* parent_ = nullptr;
  TAlign align_ = alNone;
  TPopupMenu* popupMenu_ = nullptr;
  TRect bounds_{0, 0, 0, 0};
  bool visible_ = true, enabled_ = true;
  TColor color_ = clWindow;
  TCursor cursor_ = crDefault;
  TCursor dragCursor_ = crDrag;
};

// A control with a window of its own.
class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  // The window: created on demand and destroyed with DestroyHandle (state kept by the control).
  bool HandleAllocated() const { return host_ != nullptr; }
  void HandleNeeded();
  void DestroyHandle();
  TControlHost* Host() const { return host_.get(); }
  // Re-creates the window, as a change of a creation parameter requires.
  void RecreateWnd();
  // Controls whose parent this is, in the order they were given it.
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int i) const { return controls_.at(static_cast<size_t>(i)); }
  // Lays the aligned children out in the client area.
  void Realign();

  void SetParent(TWinControl* AParent) override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void SetVisible(bool v) override;
  void SetEnabled(bool v) override;
  void SetCursor(TCursor c) override;
  int ClientWidth() const;
  int ClientHeight() const;
  TRect ClientRect() const { return TRect{0, 0, ClientWidth(), ClientHeight()}; }
  TPoint ClientToScreen(TPoint p) const;
  TPoint ScreenToClient(TPoint p) const;
  virtual void SetClientSize(int w, int h);

  void Invalidate() override;
  void InvalidateRect(const TRect& r);
  // Paints what is invalid now, before returning.
  void Update();
  // Moves the pixels of rect (the client area when empty) by dx, dy; the uncovered strip is
  // repainted.
  void ScrollWindow(int dx, int dy, const TRect* rect = nullptr);

  // The tool tip shown while the pointer rests on the window.
  const AnsiString& Hint() const { return hint_; }
  void SetHint(const AnsiString& v);

  virtual void SetFocus();
  bool Focused() const;
  virtual bool CanFocus() const;
  // Whether Tab stops at the control. Panels, labels, group boxes and other controls that only
  // show or hold others are no tab stops, and a click does not give them the focus either.
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool v);
  // The control's place among the windowed controls of its parent, in the order Tab visits
  // them (the order they were given the parent; a value past the end makes it the last).
  int TabOrder() const;
  void SetTabOrder(int Value);
  // The next control that Tab (GoForward) or Shift+Tab reaches from Current among the controls
  // inside this one: a tab stop, visible and enabled together with its parents. Wraps around;
  // nullptr when there is none. Current may be nullptr (the first or the last one is found).
  TWinControl* FindNextControl(TWinControl* Current, bool GoForward) const;
  // Moves the focus there as the keyboard does (an edit's text is selected); false when there
  // is nowhere to go.
  bool SelectNext(TWinControl* Current, bool GoForward);
  // Gives the focus to the first control of the tab order.
  bool SelectFirst() { return SelectNext(nullptr, true); }
  void SetMouseCapture(bool capture);
  bool MouseCapture() const;

  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle b);
  bool AcceptsDroppedFiles() const { return acceptFiles_; }
  void DragAcceptFiles(bool accept);

  // Scroll bars of the window.
  void SetScrollInfo(int Bar, const TScrollInfo& Info, bool Redraw = true);
  TScrollInfo GetScrollInfo(int Bar) const;
  void ShowScrollBar(int Bar, bool Show);
  bool ScrollBarVisible(int Bar) const;
  void EnableScrollBar(int Bar, unsigned Arrows);
  bool ScrollBarEnabled(int Bar) const;

  void WndProc(TMessage& Message) override;
  // Called by the window with the rectangle being painted and a canvas on it.
  void PaintWindow(TCanvas* Canvas, const TRect& ClipRect);
  // Whether the window keeps a copy of its pixels, made as soon as its first paint is shown: a
  // control with a caret blinking over it, or one that draws on itself between paints, is then
  // shown again from the copy instead of being asked to paint. Others paint straight into the
  // window and get a copy only when a canvas on them first draws outside a paint.
  virtual bool KeepsPixels() const { return false; }

  // Key and mouse events of the class library, fired by the default message handling.
  TKeyEvent OnKeyDown, OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TMouseEvent OnMouseDown, OnMouseUp;
  TMethod<void(TObject*, TShiftState, int, int)> OnMouseMove;
  TNotifyEvent OnEnter, OnExit, OnResize, OnDblClick, OnClick;

protected:
  virtual void CreateParams(TCreateParams& Params);
  virtual void CreateWnd();
  virtual void DestroyWnd();
  virtual void Paint(TCanvas* Canvas, const TRect& ClipRect);
  virtual void KeyDown(Word& Key, TShiftState Shift);
  virtual void KeyUp(Word& Key, TShiftState Shift);
  virtual void KeyPress(char& Key);
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void DblClick();
  virtual void Resize();
  virtual void DoEnter();
  virtual void DoExit();
  const TCreateParams& Params() const { return params_; }
  // Whether Tab stops here now: a tab stop by default; a group of choices stops only at one.
  virtual bool IsTabStopNow() const { return tabStop_; }
  // Gives the focus as the keyboard does (Tab, Shift+Tab, opening a dialog).
  void FocusByKeyboard(bool Backwards = false);

private:
  friend class TControl;
  void DestroyChildHandles();
  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tabList_;  // windowed children in tab order
  bool tabStop_ = true;
  bool realigning_ = false;
  std::unique_ptr<TControlHost> host_;
  TCreateParams params_;
  TBorderStyle borderStyle_ = bsSingle;
  AnsiString hint_;
  bool acceptFiles_ = false;
  bool destroyingHandle_ = false;
};

// A windowed control that paints itself.
class TCustomControl : public TWinControl {
public:
  using TWinControl::TWinControl;
};

// Shift state of a mouse message's key flags, with Alt from the keyboard.
TShiftState MouseKeysToShiftState(uintptr_t Keys);
// Shift state of the keyboard now.
TShiftState KeyboardShiftState();
// Key state: bit 0x8000 set while the key is down, bit 1 when a lock key is toggled on.
int16_t GetKeyState(int VirtualKey);
TControl* GetCaptureControl();
// Whether Caps Lock, Num Lock or Scroll Lock (VK_CAPITAL, VK_NUMLOCK, VK_SCROLL) is toggled on:
// the X keyboard indicators under X11; always off where the window system offers nothing
// (offscreen, Wayland). A held key that is not toggled cannot be seen.
bool LockKeyToggled(int VirtualKey);
// Calls Changed whenever one of the three lock keys changes, in whichever window it was
// pressed, as the window system tells it: nothing is asked of the window system meanwhile.
// Returns a number for StopWatchingLockKeys. Never called where the keys cannot be read.
int WatchLockKeys(std::function<void()> Changed);
void StopWatchingLockKeys(int Watch);

// A canvas that paints on a control's window outside its paint: what it draws shows once the
// canvas goes, and stays until the control repaints those parts. On a control without a window
// it draws nowhere.
std::unique_ptr<TCanvas> CreateControlCanvas(TWinControl* Control);

// The system caret: one for the application, owned by the control that created it.
void CreateCaret(TWinControl* Owner, int Width, int Height);
void DestroyCaret();
void SetCaretPos(int X, int Y);
TPoint GetCaretPos();
void ShowSystemCaret(TWinControl* Owner);
void HideSystemCaret(TWinControl* Owner);
bool CaretVisible();
int CaretBlinkTime();
// The text of the last composition result of the input method for a control (dropped
// characters that the code page cannot hold).
AnsiString ImmGetCompositionResult(TWinControl* Control);
// Files of a WM_DROPFILES message (WParam).
std::vector<AnsiString> DragQueryFiles(uintptr_t Drop);
// The drop point of a WM_DROPFILES message, in client coordinates of the window it reached.
TPoint DragQueryPoint(uintptr_t Drop);
// Shows a cursor of the screen's cursor table over the control's window until the next
// change (the answer to WM_SETCURSOR).
void SetShownCursor(TWinControl* Control, TCursor Cursor);
// The cursor shown over the control's window now (the nearest of the cursor table).
TCursor ShownCursor(TWinControl* Control);

// A timer on the user-interface thread.
class TTimer : public TComponent {
public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);
  TNotifyEvent OnTimer;

private:
  void Restart();
  struct Impl;
  std::unique_ptr<Impl> impl_;
  bool enabled_ = true;
  unsigned interval_ = 1000;
};

// The application object's handling of an exception that escaped an event handler. Every
// place where Qt calls into the program catches and hands it here.
void HandleException(TObject* Sender);
// Where handled exceptions are shown (the application object sets a message box); unset, they
// are written to the standard error stream.
void SetExceptionSink(std::function<void(TObject*, const Exception*)> sink);
// Runs pending events of the user-interface thread.
void ProcessMessages();
